// The install page's folder rules: proposal, typed-folder checks, browse
// result, and the progress percentage.
#include "pages/InstallPathRules.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Text.h"
#include "support/ScratchEnv.h"

namespace {

using pages::PathCheck;
using platform::Utf8ToWide;

constexpr uint64_t MiB = 1ull << 20;

const char* Name(PathCheck c) {
  switch (c) {
    case PathCheck::Ok: return "Ok";
    case PathCheck::Empty: return "Empty";
    case PathCheck::NoDrive: return "NoDrive";
    case PathCheck::DiskRoot: return "DiskRoot";
  }
  return "?";
}

TEST(ChooseProgramFolder, MostFreeMiBWinsEarliestOnTiesNeverBelowOneMiB) {
  struct Case {
    const char* what;
    std::vector<pages::ProgramFolderCandidate> candidates;
    std::wstring expected;
  };
  const std::vector<Case> cases = {
      {"larger free space wins", {{L"/opt", 20 * 1024 * MiB, true}, {L"/data/opt", 100 * 1024 * MiB, true}},
       L"/data/opt"},
      {"equal MiB: the earlier one", {{L"/a", 5 * MiB + 10, true}, {L"/b", 5 * MiB + 900, true}}, L"/a"},
      {"a byte more is not a MiB more", {{L"/a", 5 * MiB, true}, {L"/b", 6 * MiB - 1, true}}, L"/a"},
      {"less than 1 MiB is never chosen", {{L"/a", MiB - 1, true}}, L""},
      {"an unusable folder is skipped", {{L"/a", 900 * MiB, false}, {L"/b", 2 * MiB, true}}, L"/b"},
      {"nothing usable", {{L"/a", 900 * MiB, false}}, L""},
      {"no candidates", {}, L""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(pages::ChooseProgramFolder(c.candidates), c.expected) << c.what;
}

TEST(ParseMountTable, DecodesEscapesAndReadOnly) {
  const auto mounts = pages::ParseMountTable(
      "/dev/sda1 / ext4 rw,relatime 0 0\n"
      "/dev/sdb1 /mnt/my\\040disk ext4 ro,nosuid 0 0\n"
      "garbage\n"
      "proc /proc proc rw 0 0\n");
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[1].mountPoint, "/mnt/my disk");
  EXPECT_TRUE(mounts[1].readOnly);
  EXPECT_FALSE(mounts[0].readOnly);
  EXPECT_EQ(mounts[2].type, "proc");
}

class PathCheckTest : public ::testing::Test {
 protected:
  testsupport::ScratchEnv m_env;
};

TEST_F(PathCheckTest, TypedFolders) {
  const std::string existing = m_env.Home();
  struct Case {
    std::string path;
    PathCheck expected;
  };
  const std::vector<Case> cases = {
      {"", PathCheck::Empty},
      {"relative/dir", PathCheck::NoDrive},
      {"~/apps", PathCheck::NoDrive},
      {"/no-such-top-folder-7f3a/apps", PathCheck::NoDrive},
      {"/", PathCheck::DiskRoot},
      {"//", PathCheck::DiskRoot},
      {"/proc", PathCheck::DiskRoot},   // a real mount root
      {"/proc/", PathCheck::DiskRoot},
      {"/opt/..", PathCheck::DiskRoot},  // names "/" after all
      {existing + "/Apps", PathCheck::Ok},
      {existing + "/Apps/", PathCheck::Ok},
      {existing + "/not/yet/made", PathCheck::Ok},  // the folder itself need not exist
  };
  for (const Case& c : cases) {
    const PathCheck got = pages::CheckInstallPath(Utf8ToWide(c.path));
    EXPECT_EQ(got, c.expected) << "path \"" << c.path << "\": expected " << Name(c.expected) << ", got "
                               << Name(got);
  }
}

TEST_F(PathCheckTest, MountRootOfTheTableIsRefused) {
  const std::string home = m_env.Home();
  auto isRoot = [&](const std::string& p) { return p == home; };
  EXPECT_EQ(pages::CheckInstallPath(Utf8ToWide(home), isRoot), PathCheck::DiskRoot);
  EXPECT_EQ(pages::CheckInstallPath(Utf8ToWide(home + "//"), isRoot), PathCheck::DiskRoot);
  EXPECT_EQ(pages::CheckInstallPath(Utf8ToWide(home + "/sub"), isRoot), PathCheck::Ok);
  EXPECT_TRUE(pages::IsMountRoot("/proc"));
  EXPECT_FALSE(pages::IsMountRoot(home));
}

TEST(InstallPathText, TrailingSeparatorAndBrowseResult) {
  EXPECT_EQ(pages::WithTrailingSeparator(L"/home/u/Apps"), L"/home/u/Apps/");
  EXPECT_EQ(pages::WithTrailingSeparator(L"/home/u/Apps/"), L"/home/u/Apps/");
  EXPECT_EQ(pages::WithTrailingSeparator(L"/home/u/Apps\\"), L"/home/u/Apps\\");

  EXPECT_EQ(pages::BrowseResultPath(L"/", L""), L"/devadazuzirev");
  EXPECT_EQ(pages::BrowseResultPath(L"/data/Games", L""), L"/data/Games/devadazuzirev");
  EXPECT_EQ(pages::BrowseResultPath(L"/data/Games/", L"MyCloud"), L"/data/Games/MyCloud");
}

TEST_F(PathCheckTest, ProposalInTheUsersOwnScope) {
  setenv("INSTALLER_USER_SCOPE", "1", 1);
  const std::wstring home = Utf8ToWide(m_env.Home());
  // $HOME/.local/opt does not exist yet: its space is its nearest folder's.
  const auto candidates = pages::ProgramFolderCandidates();
  ASSERT_EQ(candidates.size(), 1u);
  EXPECT_EQ(candidates[0].folder, home + L"/.local/opt");
  EXPECT_TRUE(candidates[0].usable);
  EXPECT_EQ(pages::DefaultInstallPath(L""), home + L"/.local/opt/devadazuzirev");
  EXPECT_EQ(pages::DefaultInstallPath(L"MyCloud"), home + L"/.local/opt/MyCloud");
  unsetenv("INSTALLER_USER_SCOPE");
}

TEST(DownloadPercent, Table) {
  struct Case {
    int32_t total, received;
    int expected;
  };
  const Case cases[] = {
      {1000, 0, 0}, {1000, 370, 37}, {1000, 999, 99}, {1000, 1000, 100},
      {0, 5, 500},   // a total of 0 counts as 1
      {3, 1, 33},    {3, 2, 66},
      // 99.99999995 rounds to 100 in single precision before the cut.
      {2000000000, 1999999999, 100},
  };
  for (const Case& c : cases)
    EXPECT_EQ(pages::DownloadPercent(c.total, c.received), c.expected) << c.total << ", " << c.received;
}

}  // namespace
