// Inputs that once stopped the package extractor, kept so the suite guards them.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "install/ArchiveExtract.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

namespace {

// Damaged 7z headers that name absurd sizes: the decoder's allocation fails
// (or is never touched) and the extraction ends with 1, writing nothing beside
// the output folder. huge_file_count.7z names about 10^8 files, which the
// library allocates room for (5 GB, untouched) before reading any of them.
TEST(ArchiveExtractFuzzRegression, HeaderNamingAHugeSizeFails) {
  for (const char* name : {"huge_header.7z", "huge_file_count.7z"}) {
    testsupport::ScratchEnv env;
    const std::string out = env.Path("out");
    ASSERT_TRUE(platform::CreateDirectories(platform::Utf8ToWide(out)));
    const std::string before = env.Root();
    const std::set<std::string> beside = testsupport::ListFolder(before);
    const std::string archive = testsupport::RegressionPath("install", name);
    EXPECT_EQ(ExtractClientArchive(archive.c_str(), platform::Utf8ToWide(out).c_str(), nullptr), 1) << name;
    EXPECT_EQ(testsupport::ListFolder(before), beside) << name;
    EXPECT_TRUE(testsupport::ListFolder(out).empty()) << name;
  }
}

}  // namespace
