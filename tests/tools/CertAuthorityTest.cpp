// The test PKI against a real loopback TLS server and a verifying client.
#include "tools/devservice/CertAuthority.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <memory>
#include <thread>

#include "support/ScratchEnv.h"

namespace {

// An HTTPS server on 127.0.0.1 with the given PKI's server certificate.
class TlsServer {
 public:
  explicit TlsServer(const std::string& dir)
      : m_server(std::make_unique<httplib::SSLServer>((dir + "/server.pem").c_str(),
                                                      (dir + "/server.key").c_str())) {
    m_server->Get("/ping", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("pong", "text/plain");
    });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port > 0) m_thread = std::thread([this] { m_server->listen_after_bind(); });
  }
  ~TlsServer() {
    m_server->stop();
    if (m_thread.joinable()) m_thread.join();
  }
  bool Valid() const { return m_server->is_valid() && m_port > 0; }
  int Port() const { return m_port; }

 private:
  std::unique_ptr<httplib::SSLServer> m_server;
  int m_port = -1;
  std::thread m_thread;
};

httplib::Result Ping(const std::string& host, int port, const std::string& caPath) {
  httplib::SSLClient client(host, port);
  client.set_ca_cert_path(caPath.c_str());
  client.enable_server_certificate_verification(true);
  client.set_connection_timeout(5);
  client.set_read_timeout(5);
  return client.Get("/ping");
}

TEST(CertAuthority, ServerCertificateVerifiesAgainstItsCaByNameAndAddress) {
  testsupport::ScratchEnv env;
  devservice::TestPki pki;
  ASSERT_TRUE(devservice::MakePki(&pki));
  EXPECT_NE(pki.caCertPem.find("BEGIN CERTIFICATE"), std::string::npos);
  EXPECT_NE(pki.serverKeyPem.find("PRIVATE KEY"), std::string::npos);
  EXPECT_NE(pki.caCertPem, pki.serverCertPem);
  const std::string dir = env.Path("pki");
  ASSERT_TRUE(devservice::WritePkiFiles(pki, dir));
  EXPECT_EQ(testsupport::ReadFile(dir + "/ca.pem"), pki.caCertPem);

  TlsServer server(dir);
  ASSERT_TRUE(server.Valid());
  for (const char* host : {"localhost", "127.0.0.1"}) {
    SCOPED_TRACE(host);
    auto res = Ping(host, server.Port(), dir + "/ca.pem");
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, "pong");
  }
}

TEST(CertAuthority, CertificatesFromAnotherAuthorityAreRejected) {
  testsupport::ScratchEnv env;
  devservice::TestPki good, other, selfSigned;
  ASSERT_TRUE(devservice::MakePki(&good));
  ASSERT_TRUE(devservice::MakePki(&other));
  ASSERT_TRUE(devservice::MakeSelfSigned(&selfSigned));
  ASSERT_TRUE(devservice::WritePkiFiles(good, env.Path("good")));
  ASSERT_TRUE(devservice::WritePkiFiles(other, env.Path("other")));
  ASSERT_TRUE(devservice::WritePkiFiles(selfSigned, env.Path("self")));

  // Each fresh CA is its own: one CA never vouches for another's server.
  {
    TlsServer server(env.Path("other"));
    ASSERT_TRUE(server.Valid());
    auto res = Ping("localhost", server.Port(), env.Path("good") + "/ca.pem");
    ASSERT_FALSE(res);
    EXPECT_EQ(res.error(), httplib::Error::SSLServerVerification);
  }
  {
    TlsServer server(env.Path("self"));
    ASSERT_TRUE(server.Valid());
    auto res = Ping("localhost", server.Port(), env.Path("good") + "/ca.pem");
    ASSERT_FALSE(res);
    EXPECT_EQ(res.error(), httplib::Error::SSLServerVerification);
  }
}

TEST(CertAuthority, WritePkiFilesFailsOnUnusableFolder) {
  testsupport::ScratchEnv env;
  devservice::TestPki pki;
  ASSERT_TRUE(devservice::MakePki(&pki));
  testsupport::WriteFile(env.Path("file"), "x");
  EXPECT_FALSE(devservice::WritePkiFiles(pki, env.Path("file")));
  EXPECT_FALSE(devservice::WritePkiFiles(pki, env.Path("missing/parent")));
  EXPECT_FALSE(devservice::WritePkiFiles(pki, ""));
}

}  // namespace
