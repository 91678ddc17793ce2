// Inputs that once stopped the package extractor, kept so the suite guards them.
#include <gtest/gtest.h>
#include <dirent.h>

#include <set>
#include <string>

#include "install/ArchiveExtract.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

namespace {

std::set<std::string> List(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.insert(n);
    }
    closedir(d);
  }
  return names;
}

// A damaged 7z header that names an absurd size: the decoder's allocation fails
// and the extraction ends with 1, writing nothing beside the output folder.
TEST(ArchiveExtractFuzzRegression, HeaderNamingAHugeSizeFails) {
  testsupport::ScratchEnv env;
  const std::string out = env.Path("out");
  ASSERT_TRUE(platform::CreateDirectories(platform::Utf8ToWide(out)));
  const std::string before = env.Root();
  const std::set<std::string> beside = List(before);
  const std::string archive = std::string(INSTALLER_SOURCE_DIR) + "/tests/install/regress/huge_header.7z";
  EXPECT_EQ(ExtractClientArchive(archive.c_str(), platform::Utf8ToWide(out).c_str(), nullptr), 1);
  EXPECT_EQ(List(before), beside);
}

}  // namespace
