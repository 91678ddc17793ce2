// The package CRC check: known answers, chunk boundaries, unreadable files and
// the 64-bit comparison.
#include <gtest/gtest.h>
#include <zlib.h>

#include "install/CrcCheck.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

namespace {

std::wstring W(const std::string& s) { return platform::Utf8ToWide(s); }

TEST(CrcCheck, TableMatchesTheReflectedPolynomial) {
  BuildCrcTable();
  EXPECT_EQ(CrcTable()[0], 0x00000000u);
  EXPECT_EQ(CrcTable()[1], 0x77073096u);
  EXPECT_EQ(CrcTable()[128], 0xEDB88320u);
  EXPECT_EQ(CrcTable()[255], 0x2D02EF8Du);
}

TEST(CrcCheck, KnownAnswers) {
  testsupport::ScratchEnv env;
  struct Case {
    std::string content;
    uint32_t crc;
  } cases[] = {
      {"", 0x00000000u},
      {"123456789", 0xCBF43926u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
  };
  for (const Case& c : cases) {
    std::string path = env.Path("f.bin");
    testsupport::WriteFile(path, c.content);
    uint32_t crc = 0x12345678;
    EXPECT_EQ(FileCrc32(W(path), &crc), 0) << c.content;
    EXPECT_EQ(crc, c.crc) << "content \"" << c.content << "\"";
  }
}

TEST(CrcCheck, FileLongerThanOneReadMatchesZlib) {
  testsupport::ScratchEnv env;
  std::string data(3 * 1024 * 1024 + 7, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 131) ^ (i >> 9));
  std::string path = env.Path("big.bin");
  testsupport::WriteFile(path, data);
  uint32_t crc = 0;
  ASSERT_EQ(FileCrc32(W(path), &crc), 0);
  uint32_t expect = static_cast<uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
  EXPECT_EQ(crc, expect);
}

TEST(CrcCheck, UnopenableFileFailsAndStoresNothing) {
  testsupport::ScratchEnv env;
  for (const std::string& path : {env.Path("missing.bin"), env.Root()}) {
    uint32_t crc = 0xDEADBEEF;
    EXPECT_EQ(FileCrc32(W(path), &crc), -1) << path;
    EXPECT_EQ(crc, 0xDEADBEEFu) << path;
  }
}

TEST(CrcCheck, ComparisonWidensToSixtyFourBits) {
  struct Case {
    uint32_t computed;
    int64_t expected;
    bool match;
  } cases[] = {
      {0xCBF43926u, 0xCBF43926LL, true},
      {0u, 0LL, true},
      {0xFFFFFFFFu, 0xFFFFFFFFLL, true},
      {0xCBF43926u, 0xCBF43926LL + (1LL << 32), false},  // above 32 bits never matches
      {0xFFFFFFFFu, -1LL, false},                        // no sign extension
      {0x12345678u, 0x12345679LL, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CrcMatches(c.computed, c.expected), c.match)
        << std::hex << c.computed << " vs " << c.expected;
}

}  // namespace
