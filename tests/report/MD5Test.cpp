// MD5_CTX against RFC 1321's test suite and against OpenSSL on random input,
// with one context reused across messages and updates split at odd places.
#include "report/MD5.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>

namespace {

std::string Hex(const unsigned char* d, size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += digits[d[i] >> 4];
    s += digits[d[i] & 15];
  }
  return s;
}

std::string Digest(MD5_CTX& ctx, const std::string& msg) {
  ctx.MD5Update(reinterpret_cast<const unsigned char*>(msg.data()), static_cast<unsigned>(msg.size()));
  unsigned char d[16];
  ctx.MD5Final(d);
  return Hex(d, 16);
}

std::string OpenSslMd5(const std::string& msg) {
  unsigned char d[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EVP_Digest(msg.data(), msg.size(), d, &n, EVP_md5(), nullptr);
  return Hex(d, n);
}

TEST(MD5Test, Rfc1321Suite) {
  const std::pair<const char*, const char*> suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  MD5_CTX reused;
  for (const auto& [msg, expected] : suite) {
    MD5_CTX fresh;
    EXPECT_EQ(Digest(fresh, msg), expected) << '"' << msg << '"';
    EXPECT_EQ(Digest(reused, msg), expected) << "reused context, \"" << msg << '"';
  }
}

TEST(MD5Test, EqualsOpenSslOnRandomInputInPieces) {
  std::mt19937 rng(20240611);
  MD5_CTX ctx;  // one object for every message: each MD5Final starts it afresh
  // Lengths around the 55/56/64-byte padding edges and a few large ones.
  std::vector<size_t> lengths = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000, 65536, 100003};
  for (int i = 0; i < 40; ++i) lengths.push_back(rng() % 5000);
  for (size_t len : lengths) {
    std::string msg(len, '\0');
    for (char& c : msg) c = static_cast<char>(rng());
    size_t pos = 0;
    while (pos < len) {
      const size_t piece = std::min<size_t>(len - pos, rng() % 150);
      ctx.MD5Update(reinterpret_cast<const unsigned char*>(msg.data() + pos), static_cast<unsigned>(piece));
      pos += piece;
    }
    unsigned char d[16];
    ctx.MD5Final(d);
    EXPECT_EQ(Hex(d, 16), OpenSslMd5(msg)) << "length " << len;
  }
}

TEST(MD5Test, UpperHexHelper) {
  EXPECT_EQ(Md5HexUpper("abc"), "900150983CD24FB0D6963F7D28E17F72");
}

}  // namespace
