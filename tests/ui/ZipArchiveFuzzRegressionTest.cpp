// Inputs that once broke the skin archive reader, kept so the suite guards them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/utils/ZipArchive.h"
#include "support/ScratchEnv.h"

namespace {

std::string ReadInput(const char* name) { return testsupport::ReadRegressionInput("ui", name); }

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
