// The installer killed (SIGKILL) at each stage of an installation, then started
// again: the settings never claim files that are not there, and the second run
// ends with a complete installation.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "FaultHarness.h"
#include "platform/Registry.h"

namespace faults {
namespace {

namespace fs = std::filesystem;

enum class Left { PartPackage, WholePackage, SomeFiles, AllFiles, Registered };

struct CrashCase {
  const char* name;
  const char* pauseAt;  // empty: held at the settings lock instead
  bool upgrade;         // v1 installed first, the killed run installs v2
  Left left;
  int nextCheck;        // install type of the run after the kill
};
void PrintTo(const CrashCase& c, std::ostream* os) { *os << c.name; }

class CrashRecovery : public FaultsTest, public ::testing::WithParamInterface<CrashCase> {};

TEST_P(CrashRecovery, NextRunInstallsWhole) {
  const CrashCase& c = GetParam();
  std::string version = "1.0.0.1";
  if (c.upgrade) {
    auto first = RunToEnd();
    ASSERT_TRUE(first->Completed());
    Scenario("[update]\npackage = v2\nversion = \"2.0\"\n");
    version = "2.0";
  }
  const uint64_t whole = fs::file_size(m_service->PackagePath(c.upgrade ? 2 : 1));
  Mark();

  int lockFd = -1;
  std::unique_ptr<ChildRun> run;
  if (*c.pauseAt) {
    run = Start({c.pauseAt});
    ASSERT_TRUE(run->WaitCall(std::string("paused:") + c.pauseAt, 30000))
        << ::testing::PrintToString(run->Calls());
  } else {
    // Everything before the settings is done once the desktop entry exists;
    // the run then waits for the settings lock that this test holds.
    // The check reads the settings first, so the lock is taken once it is over.
    run = Start();
    ASSERT_TRUE(run->WaitCall("check:1", 30000)) << ::testing::PrintToString(run->Calls());
    const std::string user = platform::RegistryFilePath(platform::HKEY_CURRENT_USER);
    fs::create_directories(fs::path(user).parent_path());
    lockFd = ::open((user + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lockFd, 0);
    ASSERT_EQ(::flock(lockFd, LOCK_EX), 0);
    const std::string entry = m_env.Home() + "/Desktop/Tarvolen云电脑.desktop";
    bool reached = false;
    for (int i = 0; i < 1500 && !reached; ++i) {
      reached = fs::exists(entry);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(reached) << ::testing::PrintToString(run->Calls());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  run->Kill();
  if (lockFd >= 0) ::close(lockFd);

  // What the crash left.
  const bool packageThere = fs::exists(Dir() + "tmpClient");
  switch (c.left) {
    case Left::PartPackage:
      ASSERT_TRUE(packageThere);
      EXPECT_LT(fs::file_size(Dir() + "tmpClient"), whole);
      break;
    case Left::WholePackage:
      ASSERT_TRUE(packageThere);
      EXPECT_EQ(fs::file_size(Dir() + "tmpClient"), whole);
      break;
    case Left::SomeFiles:
    case Left::AllFiles:
      EXPECT_TRUE(packageThere);
      break;
    case Left::Registered:
      EXPECT_FALSE(packageThere);
      EXPECT_EQ(Utf8(Product(L"Version").c_str()), version);
      break;
  }
  if (!c.upgrade && c.left != Left::Registered) {
    EXPECT_EQ(Product(L"Version"), L"<no key>") << "registered before the files were in place";
  }
  if (c.upgrade && c.left != Left::Registered) {
    EXPECT_EQ(Utf8(Product(L"Version").c_str()), "1.0.0.1");
  }
  if (c.left == Left::AllFiles) {
    EXPECT_TRUE(fs::exists(Dir() + "Cloud.ico"));
  }
  ExpectHonestSettings();
  EXPECT_EQ(WrittenElsewhere(), std::vector<std::string>());

  auto again = RunToEnd();
  ASSERT_FALSE(again->Calls().empty());
  EXPECT_EQ(again->Calls().front(), "check:" + std::to_string(c.nextCheck));
  if (c.nextCheck != 3) {
    EXPECT_TRUE(again->Completed()) << ::testing::PrintToString(again->Calls());
  }
  ExpectInstalled(version);
  ExpectHonestSettings();
}

INSTANTIATE_TEST_SUITE_P(
    Stages, CrashRecovery,
    ::testing::Values(
        CrashCase{"DuringDownload", "download", false, Left::PartPackage, 1},
        CrashCase{"AfterDownload", "extracting", false, Left::WholePackage, 1},
        CrashCase{"MidExtraction", "extract50", false, Left::SomeFiles, 1},
        CrashCase{"BeforeSettings", "", false, Left::AllFiles, 1},
        CrashCase{"AfterSettings", "hide", false, Left::Registered, 3},
        CrashCase{"UpgradeMidExtraction", "extract50", true, Left::SomeFiles, 2}),
    [](const ::testing::TestParamInfo<CrashCase>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace faults
