// Inputs that once broke the skin archive reader, kept so the suite guards them.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ui/utils/ZipArchive.h"

namespace {

std::string ReadInput(const char* name) {
  std::ifstream in(std::string(INSTALLER_SOURCE_DIR) + "/tests/ui/regress/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A stored entry whose directory names 4 GiB: refused before any buffer is made.
TEST(ZipArchiveFuzzRegression, DirectorySizesBeyondTheDataAreCorrupt) {
  const std::string bytes = ReadInput("zip_huge_size.zip");
  ASSERT_FALSE(bytes.empty());
  SkinUI::CZipArchive zip;
  ASSERT_TRUE(zip.OpenMemory(std::vector<unsigned char>(bytes.begin(), bytes.end())));
  bool sawHuge = false;
  for (size_t i = 0; i < zip.EntryCount(); ++i) {
    std::string out;
    const SkinUI::ZipResult rc = zip.Extract(static_cast<int>(i), &out);
    if (zip.Entry(i).uncompressedSize > (1u << 30)) {
      sawHuge = true;
      EXPECT_EQ(rc, SkinUI::ZipResult::Corrupt) << zip.Entry(i).name;
    }
  }
  EXPECT_TRUE(sawHuge);
}

}  // namespace
