// The link-file cipher against OpenSSL's DES, and the file padding and length rules.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/des.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/LinkCipher.h"
#include "support/ScratchEnv.h"

namespace {

uint8_t ReverseBits(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r |= static_cast<uint8_t>(((b >> i) & 1) << (7 - i));
  return r;
}

// Standard DES-ECB decryption with every byte of key, input and output bit-reversed.
void ReferenceDecrypt(const uint8_t key[8], const uint8_t in[8], uint8_t out[8]) {
  DES_cblock k, i, o;
  for (int n = 0; n < 8; ++n) {
    k[n] = ReverseBits(key[n]);
    i[n] = ReverseBits(in[n]);
  }
  DES_key_schedule ks;
  DES_set_key_unchecked(&k, &ks);
  DES_ecb_encrypt(&i, &o, &ks, DES_DECRYPT);
  for (int n = 0; n < 8; ++n) out[n] = ReverseBits(o[n]);
}

void MakeKeys(const uint8_t key[8], DesSubKeys sub, bool exception) {
  uint8_t cells[64];
  BytesToCells(key, 8, cells);
  DesMakeSubKeys(cells, sub, exception);
}

TEST(LinkCipherTest, CellsAreLeastSignificantBitFirst) {
  const uint8_t bytes[2] = {0x01, 0x80};
  uint8_t cells[16];
  BytesToCells(bytes, 2, cells);
  EXPECT_EQ(cells[0], 1);
  EXPECT_EQ(cells[7], 0);
  EXPECT_EQ(cells[8], 0);
  EXPECT_EQ(cells[15], 1);
  uint8_t back[2];
  CellsToBytes(cells, 2, back);
  EXPECT_EQ(back[0], 0x01);
  EXPECT_EQ(back[1], 0x80);
}

TEST(LinkCipherTest, WithoutExceptionMatchesBitReversedDes) {
  std::mt19937 rng(12345);
  for (int trial = 0; trial < 200; ++trial) {
    uint8_t key[8], in[8], ours[8], ref[8];
    for (int n = 0; n < 8; ++n) {
      key[n] = static_cast<uint8_t>(rng());
      in[n] = static_cast<uint8_t>(rng());
    }
    if (trial == 0) std::copy(kLinkKey, kLinkKey + 8, key);
    DesSubKeys sub;
    MakeKeys(key, sub, false);
    DesDecryptBlock(in, ours, sub);
    ReferenceDecrypt(key, in, ref);
    ASSERT_EQ(std::vector<uint8_t>(ours, ours + 8), std::vector<uint8_t>(ref, ref + 8)) << "trial " << trial;
  }
}

TEST(LinkCipherTest, ExceptionChangesTheCipherAndRoundTrips) {
  std::mt19937 rng(777);
  int differs = 0;
  for (int trial = 0; trial < 100; ++trial) {
    uint8_t in[8], plain[8], enc[8], dec[8], ref[8];
    for (int n = 0; n < 8; ++n) in[n] = static_cast<uint8_t>(rng());
    DesSubKeys sub;
    MakeKeys(kLinkKey, sub, true);
    DesDecryptBlock(in, plain, sub);
    ReferenceDecrypt(kLinkKey, in, ref);
    if (!std::equal(plain, plain + 8, ref)) ++differs;
    DesEncryptBlock(plain, enc, sub);
    ASSERT_TRUE(std::equal(enc, enc + 8, in)) << "trial " << trial;
    DesDecryptBlock(enc, dec, sub);
    ASSERT_TRUE(std::equal(dec, dec + 8, plain)) << "trial " << trial;
  }
  EXPECT_GT(differs, 90);  // the altered PC-2 entry is not a no-op
}

class LinkFileTest : public ::testing::Test {
 protected:
  // Enciphers `plain` block by block, as it stands (no padding added).
  std::string Encipher(const std::string& plain) {
    DesSubKeys sub;
    MakeKeys(kLinkKey, sub, true);
    std::string out(plain.size(), '\0');
    for (size_t off = 0; off + 8 <= plain.size(); off += 8) {
      DesEncryptBlock(reinterpret_cast<const uint8_t*>(plain.data() + off),
                      reinterpret_cast<uint8_t*>(&out[off]), sub);
    }
    return out;
  }
  int Decrypt(const std::string& cipherBytes) {
    testsupport::WriteFile(in, cipherBytes);
    return DecryptLinkFile(in.c_str(), kLinkKey, out.c_str());
  }

  testsupport::ScratchEnv env;
  std::string in = env.Path("NetLink.dat");
  std::string out = env.Path("NetLink.ini");
};

TEST_F(LinkFileTest, PaddingRule) {
  using S = std::string;
  struct Case {
    const char* name;
    std::string lastBlock;
    std::string expected;
  };
  const Case cases[] = {
      {"ends in 3, bytes 5 and 6 zero", S("abcde\0\0\3", 8), "abcde"},
      {"ends in 3, byte 5 not zero", S("abcdeX\0\3", 8), S("abcdeX\0\3", 8)},
      {"ends in 1, nothing checked", S("abcdefg\1", 8), "abcdefg"},
      {"ends in 7, bytes 1..6 zero", S("a\0\0\0\0\0\0\7", 8), "a"},
      {"ends in 0", S("abcdefg\0", 8), S("abcdefg\0", 8)},
      {"ends in 8", S("abcdefg\x08", 8), S("abcdefg\x08", 8)},
      {"ends in a negative byte", S("abcdefg\xFE", 8), S("abcdefg\xFE", 8)},
  };
  for (const Case& c : cases) {
    for (const S& head : {S(), S("[Public]")}) {
      ASSERT_EQ(Decrypt(Encipher(head + c.lastBlock)), kDecryptOk) << c.name;
      EXPECT_EQ(testsupport::ReadFile(out), head + c.expected) << c.name << " after " << head.size() << " bytes";
    }
  }
}

TEST_F(LinkFileTest, OutputIsTruncatedAndRepeatable) {
  const std::string longPlain = "[Public]\nchannel=a-long-channel-name\nepCode=E1\n\n";
  ASSERT_EQ(longPlain.size() % 8, 0u);
  ASSERT_EQ(Decrypt(Encipher(longPlain)), kDecryptOk);
  ASSERT_EQ(Decrypt(Encipher(std::string("[Public]abcde\0\0\3", 16))), kDecryptOk);
  EXPECT_EQ(testsupport::ReadFile(out), "[Public]abcde");
  ASSERT_EQ(DecryptLinkFile(in.c_str(), kLinkKey, out.c_str()), kDecryptOk);
  EXPECT_EQ(testsupport::ReadFile(out), "[Public]abcde");
}

TEST_F(LinkFileTest, BadInputLeavesTheOutputAlone) {
  testsupport::WriteFile(out, "previous");
  for (size_t len : {0, 1, 7, 9, 47}) {
    EXPECT_EQ(Decrypt(std::string(len, 'x')), kDecryptBadLength) << len;
    EXPECT_EQ(testsupport::ReadFile(out), "previous") << len;
  }
  const std::string missing = env.Path("missing.dat");
  EXPECT_EQ(DecryptLinkFile(missing.c_str(), kLinkKey, out.c_str()), kDecryptInputFailed);
  EXPECT_EQ(testsupport::ReadFile(out), "previous");

  const std::string newOut = env.Path("fresh.ini");
  testsupport::WriteFile(in, "");
  EXPECT_EQ(DecryptLinkFile(in.c_str(), kLinkKey, newOut.c_str()), kDecryptBadLength);
  EXPECT_FALSE(std::ifstream(newOut).good());

  testsupport::WriteFile(in, std::string(8, 'x'));
  const std::string noFolder = env.Path("no/such/NetLink.ini");
  EXPECT_EQ(DecryptLinkFile(in.c_str(), kLinkKey, noFolder.c_str()), kDecryptOutputFailed);
}

TEST_F(LinkFileTest, EncryptThenDecryptRoundTrips) {
  const std::string enc = env.Path("enc.dat");
  for (size_t len : {1, 7, 8, 9, 15, 16, 48, 49}) {
    std::string plain;
    for (size_t i = 0; i < len; ++i) plain.push_back(static_cast<char>('a' + i % 26));
    const std::string src = env.Path("plain.ini");
    testsupport::WriteFile(src, plain);
    ASSERT_EQ(EncryptLinkFile(src.c_str(), kLinkKey, enc.c_str()), kDecryptOk) << len;
    const std::string cipher = testsupport::ReadFile(enc);
    EXPECT_EQ(cipher.size(), (len + 7) / 8 * 8) << len;
    ASSERT_EQ(DecryptLinkFile(enc.c_str(), kLinkKey, out.c_str()), kDecryptOk) << len;
    EXPECT_EQ(testsupport::ReadFile(out), plain) << len;
  }
  // A whole last block that would read as padding is refused rather than cut later.
  const std::string src = env.Path("ambiguous.ini");
  testsupport::WriteFile(src, std::string("abcdefg\1", 8));
  EXPECT_EQ(EncryptLinkFile(src.c_str(), kLinkKey, enc.c_str()), kEncryptAmbiguous);
  testsupport::WriteFile(src, "");
  EXPECT_EQ(EncryptLinkFile(src.c_str(), kLinkKey, enc.c_str()), kDecryptBadLength);
}

TEST_F(LinkFileTest, PackagedDemoFileDecryptsToItsSource) {
  const std::string dat = std::string(INSTALLER_SOURCE_DIR) + "/res/NetLink.dat";
  ASSERT_EQ(DecryptLinkFile(dat.c_str(), kLinkKey, out.c_str()), kDecryptOk);
  EXPECT_EQ(testsupport::ReadFile(out), testsupport::ReadFile(std::string(INSTALLER_SOURCE_DIR) + "/res/NetLink.ini.demo"));
  EXPECT_EQ(testsupport::ReadFile(dat).size(), 48u);
}

}  // namespace
