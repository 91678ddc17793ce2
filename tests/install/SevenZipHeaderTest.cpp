// The header size check in front of the archive library: real archives pass,
// a header past the end of the file or one that unpacks to more than the
// limit is refused, and the extractor then ends with 1 having written nothing.
#include "install/SevenZipHeader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "ArchiveMaker.h"
#include "install/ArchiveExtract.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

namespace {

using Check = SevenZipHeaderCheck;

std::string Le64(uint64_t v) {
  std::string s(8, '\0');
  for (int i = 0; i < 8; ++i) s[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

// Start header naming a header of `size` bytes after `offset` bytes of data.
std::string Start(uint64_t offset, uint64_t size) {
  return std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8) + std::string(4, '\0') + Le64(offset) + Le64(size) +
         std::string(4, '\0');
}

// An encoded header as 7-Zip writes it: one packed stream of 16 bytes, one
// LZMA folder whose unpack size is `size` (already in 7z NUMBER form).
std::string Encoded(const std::string& size) {
  return std::string("\x17\x06\x00\x01\x09\x10\x00\x07\x0B\x01\x00\x01\x23\x03\x01\x01\x05\x5D\x00\x00\x10\x00\x0C", 23) +
         size + std::string("\x00", 1);
}

TEST(SevenZipHeaderTest, SizesAgainstTheLimit) {
  const uint64_t limit = 1000;
  const struct {
    const char* what;
    std::string unpackSize;
    Check want;
  } cases[] = {
      {"one-byte number", std::string("\x7F", 1), Check::kPlausible},
      {"two-byte number at the limit", std::string("\x83\xE8", 2), Check::kPlausible},     // 1000
      {"two-byte number past the limit", std::string("\x83\xE9", 2), Check::kTooLarge},    // 1001
      {"three-byte number", std::string("\xC0\x00\x01", 3), Check::kPlausible},            // 256
      {"three-byte number, high bits", std::string("\xC1\x00\x00", 3), Check::kTooLarge},  // 65536
      {"nine-byte number, 20 GiB", std::string("\xFF", 1) + Le64(20ull << 30), Check::kTooLarge},
      {"cut inside the number", std::string("\xFF\x01", 2), Check::kPlausible},  // left to the library
  };
  for (const auto& c : cases) {
    const std::string header = Encoded(c.unpackSize);
    const std::string start = Start(16, header.size());
    const uint64_t fileSize = start.size() + 16 + header.size();
    EXPECT_EQ(CheckSevenZipHeaderBytes(start, fileSize, header, limit), c.want) << c.what;
  }

  const std::string header = Encoded(std::string("\x10", 1));
  // The start header alone decides these.
  EXPECT_EQ(CheckSevenZipHeaderBytes(Start(16, 2000), 32 + 16 + 2000, "", limit), Check::kTooLarge);
  EXPECT_EQ(CheckSevenZipHeaderBytes(Start(16, header.size()), 32 + 16 + header.size() - 1, header, limit),
            Check::kBeyondFile);
  EXPECT_EQ(CheckSevenZipHeaderBytes(Start(UINT64_MAX - 8, 16), 64, "", limit), Check::kBeyondFile);
  EXPECT_EQ(CheckSevenZipHeaderBytes(Start(0, UINT64_MAX), 64, "", limit), Check::kBeyondFile);
  EXPECT_EQ(CheckSevenZipHeaderBytes("PK\x03\x04 not a 7z file at all, long enough", 64, "", limit),
            Check::kPlausible);
  // A plain (not encoded) header is only held to its own size.
  EXPECT_EQ(CheckSevenZipHeaderBytes(Start(16, 5), 32 + 16 + 5, std::string("\x01\x04\x06\x00\x00", 5), limit),
            Check::kPlausible);
}

class SevenZipHeaderFileTest : public ::testing::Test {
 protected:
  int Extract(const std::string& archive) {
    ::testing::internal::CaptureStdout();
    const int rc = ExtractClientArchive(archive.c_str(), platform::Utf8ToWide(m_out).c_str(), nullptr);
    m_console = ::testing::internal::GetCapturedStdout();
    return rc;
  }
  bool OutEmpty() const { return testsupport::ListFolder(m_out).empty(); }
  void SetUp() override { ASSERT_EQ(::mkdir(m_out.c_str(), 0755), 0); }

  testsupport::ScratchEnv m_env;
  std::string m_out = m_env.Path("out");
  std::string m_console;
};

TEST_F(SevenZipHeaderFileTest, RealArchivesPassAndDamagedHeadersAreRefusedBeforeDecoding) {
  const std::string good = m_env.Path("good.7z");
  std::vector<testinstall::ArchiveItem> items;
  for (int i = 0; i < 200; ++i) items.push_back({testinstall::ArchiveItem::File, "bin/f" + std::to_string(i), "x"});
  ASSERT_TRUE(testinstall::Make7z(good, items));
  EXPECT_EQ(CheckSevenZipHeader(good), Check::kPlausible);
  // The limit is what stops it, not a misreading: the real header is small.
  EXPECT_EQ(CheckSevenZipHeader(good, 16), Check::kTooLarge);
  EXPECT_EQ(Extract(good), 0);

  // Found by fuzzing: a start header naming a header far past the end of the
  // file, on which the library went on to allocate 20 GiB and fill it.
  const std::string huge = testsupport::RegressionPath("install", "header_past_the_end.7z");
  EXPECT_EQ(CheckSevenZipHeader(huge), Check::kBeyondFile);
  std::filesystem::remove_all(m_out);
  std::filesystem::create_directory(m_out);
  EXPECT_EQ(Extract(huge), 1);
  EXPECT_NE(m_console.find("ERROR: archive header lies beyond the end of the file"), std::string::npos)
      << m_console;
  EXPECT_TRUE(OutEmpty());

  // The good archive cut short: its header now lies past the end.
  const std::string cut = m_env.Path("cut.7z");
  std::string bytes = testsupport::ReadFile(good);
  bytes.pop_back();
  testsupport::WriteFile(cut, bytes);
  EXPECT_EQ(CheckSevenZipHeader(cut), Check::kBeyondFile);
  EXPECT_EQ(Extract(cut), 1);
  EXPECT_NE(m_console.find("ERROR: archive header lies beyond the end of the file"), std::string::npos);
  EXPECT_TRUE(OutEmpty());
}

}  // namespace
