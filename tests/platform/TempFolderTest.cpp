// The private temporary folder refuses anything another user could have planted.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/TempFolder.h"
#include "support/ScratchEnv.h"

namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st.st_mode;
}

TEST(TempFolderTest, UsesRuntimeFolderCreatedPrivate) {
  testsupport::ScratchEnv env;
  const std::string folder = platform::TempFolderA();
  EXPECT_EQ(folder, env.Path("runtime/RoruvAZ/"));
  EXPECT_EQ(ModeOf(folder) & 07777, 0700u);
  EXPECT_EQ(platform::TempFolderA(), folder);  // decided once
}

TEST(TempFolderTest, FallsBackToTmpdirWithUid) {
  testsupport::ScratchEnv env;
  unsetenv("XDG_RUNTIME_DIR");
  platform::ResetTempFolderForTest();
  EXPECT_EQ(platform::TempFolderA(), env.Path("tmp/RoruvAZ-" + std::to_string(geteuid()) + "/"));
}

TEST(TempFolderTest, PlantedFoldersAreNotUsed) {
  struct Plant {
    const char* name;
    void (*make)(const std::string& at, const std::string& target);
  };
  const Plant plants[] = {
      {"symlink to a directory", [](const std::string& at, const std::string& t) { fs::create_directory_symlink(t, at); }},
      {"regular file", [](const std::string& at, const std::string&) { testsupport::WriteFile(at, "x"); }},
      {"directory open to others",
       [](const std::string& at, const std::string&) {
         fs::create_directory(at);
         chmod(at.c_str(), 0777);
       }},
  };
  for (const Plant& p : plants) {
    testsupport::ScratchEnv env;
    const std::string target = env.Path("attacker");
    fs::create_directories(target);
    chmod(target.c_str(), 0700);
    const std::string planted = env.Path("runtime/RoruvAZ");
    p.make(planted, target);
    const std::string folder = platform::TempFolderA();
    EXPECT_NE(folder, planted + "/") << p.name;
    EXPECT_EQ(folder.back(), '/') << p.name;
    EXPECT_TRUE(S_ISDIR(ModeOf(folder))) << p.name;
    EXPECT_EQ(ModeOf(folder) & 07777, 0700u) << p.name;
    EXPECT_EQ(fs::canonical(folder).string().rfind(fs::canonical(target).string(), 0), std::string::npos) << p.name;
  }
}

}  // namespace
