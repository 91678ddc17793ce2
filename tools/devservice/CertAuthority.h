// A throw-away certificate authority for loopback TLS: a fresh CA and a server
// certificate it signs, made in memory at run time so no key is ever checked in.
#pragma once

#include <string>

namespace devservice {

struct TestPki {
  std::string caCertPem;
  std::string serverCertPem;
  std::string serverKeyPem;
};

// A fresh CA and a server certificate for "localhost" and IP 127.0.0.1
// (subjectAltName) signed by it, valid from now-1h for 30 days.
bool MakePki(TestPki* out);

// A self-signed server certificate that chains to no CA. caCertPem holds the
// same self-signed certificate (it is its own issuer).
bool MakeSelfSigned(TestPki* out);

// Writes ca.pem, server.pem, server.key into dir (created if missing); false on failure.
bool WritePkiFiles(const TestPki& pki, const std::string& dir);

}  // namespace devservice
