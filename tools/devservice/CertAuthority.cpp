// Test PKI built with OpenSSL 3: EC P-256 keys, SHA-256 signatures.
#include "tools/devservice/CertAuthority.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace devservice {
namespace {

struct KeyFree { void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); } };
struct CertFree { void operator()(X509* p) const { X509_free(p); } };
struct BioFree { void operator()(BIO* p) const { BIO_free(p); } };
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertPtr = std::unique_ptr<X509, CertFree>;
using BioPtr = std::unique_ptr<BIO, BioFree>;

KeyPtr NewKey() {
  return KeyPtr(EVP_EC_gen("P-256"));
}

bool AddExt(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (!ext) return false;
  bool ok = X509_add_ext(cert, ext, -1) == 1;
  X509_EXTENSION_free(ext);
  return ok;
}

bool RandomSerial(X509* cert) {
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1) return false;
  bytes[0] &= 0x7f;  // positive
  BIGNUM* bn = BN_bin2bn(bytes, sizeof bytes, nullptr);
  if (!bn) return false;
  ASN1_INTEGER* serial = BN_to_ASN1_INTEGER(bn, nullptr);
  BN_free(bn);
  if (!serial) return false;
  bool ok = X509_set_serialNumber(cert, serial) == 1;
  ASN1_INTEGER_free(serial);
  return ok;
}

// A certificate for `subjectKey` named `cn`; issuer == nullptr means self-signed.
CertPtr NewCert(EVP_PKEY* subjectKey, const char* cn, X509* issuer, EVP_PKEY* issuerKey,
                bool isCa) {
  CertPtr cert(X509_new());
  if (!cert) return nullptr;
  if (X509_set_version(cert.get(), 2) != 1 || !RandomSerial(cert.get())) return nullptr;
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600L);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 30L * 24 * 3600);
  if (X509_set_pubkey(cert.get(), subjectKey) != 1) return nullptr;
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("Installer Test PKI"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(cn),
                             -1, -1, 0);
  X509* issuerCert = issuer ? issuer : cert.get();
  if (X509_set_issuer_name(cert.get(), X509_get_subject_name(issuerCert)) != 1) return nullptr;
  bool ok;
  if (isCa) {
    ok = AddExt(cert.get(), issuerCert, NID_basic_constraints, "critical,CA:TRUE") &&
         AddExt(cert.get(), issuerCert, NID_key_usage, "critical,keyCertSign,cRLSign") &&
         AddExt(cert.get(), issuerCert, NID_subject_key_identifier, "hash");
  } else {
    ok = AddExt(cert.get(), issuerCert, NID_basic_constraints, "critical,CA:FALSE") &&
         AddExt(cert.get(), issuerCert, NID_key_usage, "critical,digitalSignature,keyEncipherment") &&
         AddExt(cert.get(), issuerCert, NID_ext_key_usage, "serverAuth") &&
         AddExt(cert.get(), issuerCert, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
  }
  if (ok && issuer) ok = AddExt(cert.get(), issuerCert, NID_authority_key_identifier, "keyid");
  if (!ok) return nullptr;
  if (X509_sign(cert.get(), issuerKey, EVP_sha256()) == 0) return nullptr;
  return cert;
}

bool BioToString(BIO* bio, std::string* out) {
  char* data = nullptr;
  long len = BIO_get_mem_data(bio, &data);
  if (len <= 0 || !data) return false;
  out->assign(data, static_cast<size_t>(len));
  return true;
}

bool CertPem(X509* cert, std::string* out) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  return bio && PEM_write_bio_X509(bio.get(), cert) == 1 && BioToString(bio.get(), out);
}

bool KeyPem(EVP_PKEY* key, std::string* out) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  return bio &&
         PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1 &&
         BioToString(bio.get(), out);
}

bool WriteOne(const std::string& path, const std::string& bytes, mode_t mode) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  return ok && chmod(path.c_str(), mode) == 0;
}

}  // namespace

bool MakePki(TestPki* out) {
  if (!out) return false;
  KeyPtr caKey = NewKey();
  KeyPtr serverKey = NewKey();
  if (!caKey || !serverKey) return false;
  CertPtr ca = NewCert(caKey.get(), "Installer Test CA", nullptr, caKey.get(), true);
  if (!ca) return false;
  CertPtr server = NewCert(serverKey.get(), "localhost", ca.get(), caKey.get(), false);
  if (!server) return false;
  TestPki pki;
  if (!CertPem(ca.get(), &pki.caCertPem) || !CertPem(server.get(), &pki.serverCertPem) ||
      !KeyPem(serverKey.get(), &pki.serverKeyPem))
    return false;
  *out = std::move(pki);
  return true;
}

bool MakeSelfSigned(TestPki* out) {
  if (!out) return false;
  KeyPtr key = NewKey();
  if (!key) return false;
  CertPtr cert = NewCert(key.get(), "localhost", nullptr, key.get(), false);
  if (!cert) return false;
  TestPki pki;
  if (!CertPem(cert.get(), &pki.serverCertPem) || !KeyPem(key.get(), &pki.serverKeyPem))
    return false;
  pki.caCertPem = pki.serverCertPem;
  *out = std::move(pki);
  return true;
}

bool WritePkiFiles(const TestPki& pki, const std::string& dir) {
  if (dir.empty()) return false;
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
  struct stat st;
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return WriteOne(dir + "/ca.pem", pki.caCertPem, 0644) &&
         WriteOne(dir + "/server.pem", pki.serverCertPem, 0644) &&
         WriteOne(dir + "/server.key", pki.serverKeyPem, 0600);
}

}  // namespace devservice
