// The disk under the installation: full during the download or the unpacking,
// turning read-only mid-run, and settings files that cannot be written or do
// not parse.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "FaultHarness.h"
#include "install/InstallPipeline.h"
#include "platform/Registry.h"

namespace faults {
namespace {

namespace fs = std::filesystem;

class DiskFaults : public FaultsTest {
 protected:
  void SetUp() override {
    FaultsTest::SetUp();
    if (HasFatalFailure()) return;
    std::string why = m_volume.Mount(m_env.Path("vol"), m_env.Path("vol.img"), 24);
    if (!why.empty()) GTEST_SKIP() << "no small volume for the install folder: " << why;
    std::printf("install folder on a %s\n", m_volume.How().c_str());
    SetInstallDir(m_env.Path("vol/DevAdazuZirev/"));
    m_package = fs::file_size(m_service->PackagePath(1));
  }

  void TearDown() override {
    // A client started by the last run writes its marker; let it before the
    // volume goes.
    for (int i = 0; i < 100 && fs::exists(Dir() + "tvClient.exe") &&
                    !fs::exists(Dir() + "client.started");
         ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    FaultsTest::TearDown();
  }

  SmallVolume m_volume;
  uint64_t m_package = 0;
};

TEST_F(DiskFaults, FullDuringDownload) {
  ASSERT_TRUE(m_volume.LeaveFree(256 << 10));
  Mark();
  auto run = RunToEnd();
  // The package file's short writes end the transfer; the check of the
  // incomplete package is what stops the installation.
  EXPECT_EQ(run->Error(), Utf8(kErrCrc)) << ::testing::PrintToString(run->Calls());
  EXPECT_FALSE(Contains(run->Calls(), "hide"));
  EXPECT_FALSE(fs::exists(Dir() + "tvClient.exe"));
  EXPECT_EQ(Product(L"Version"), L"<no key>");
  EXPECT_LT(fs::file_size(Dir() + "tmpClient"), m_package);
  EXPECT_EQ(WrittenElsewhere(), std::vector<std::string>());

  m_volume.RemoveFiller();  // the user makes room
  auto again = RunToEnd();
  EXPECT_TRUE(again->Completed()) << ::testing::PrintToString(again->Calls());
  ExpectInstalled("1.0.0.1");
  ExpectHonestSettings();
}

TEST_F(DiskFaults, FullDuringExtraction) {
  // Room for the package and about a sixth of its files.
  ASSERT_TRUE(m_volume.LeaveFree(m_package + (768u << 10)));
  Mark();
  auto run = RunToEnd();
  EXPECT_EQ(run->Error(), Utf8(kErrExtract)) << ::testing::PrintToString(run->Calls());
  EXPECT_FALSE(Contains(run->Calls(), "hide")) << "an incomplete install reached the complete page";
  EXPECT_EQ(NewEvents(3), (std::vector<int>{9, 1, 2}));
  EXPECT_EQ(Product(L"Version"), L"<no key>") << "an incomplete install was registered";
  EXPECT_EQ(Uninstall(L"DisplayVersion"), L"<no key>");
  EXPECT_EQ(fs::file_size(Dir() + "tmpClient"), m_package) << "the package stays";
  EXPECT_EQ(WrittenElsewhere(), std::vector<std::string>());
  ExpectHonestSettings();

  m_volume.RemoveFiller();
  auto again = RunToEnd();
  EXPECT_EQ(again->Calls().front(), "check:1");
  EXPECT_TRUE(again->Completed()) << ::testing::PrintToString(again->Calls());
  ExpectInstalled("1.0.0.1");
}

TEST_F(DiskFaults, InstallFolderTurnsReadOnlyBeforeAnUpgradeUnpacks) {
  auto first = RunToEnd();
  ASSERT_TRUE(first->Completed());
  Scenario("[update]\npackage = v2\nversion = \"2.0\"\n");
  auto run = Start({"extracting"});
  ASSERT_TRUE(run->WaitCall("paused:extracting", 30000));
  ASSERT_TRUE(m_volume.SetReadOnly(true));
  run->Go();
  ASSERT_TRUE(run->WaitExit(30000));
  EXPECT_EQ(run->Error(), Utf8(kErrExtract)) << ::testing::PrintToString(run->Calls());
  EXPECT_EQ(Utf8(Product(L"Version").c_str()), "1.0.0.1") << "the failed upgrade was registered";
  EXPECT_NE(testsupport::ReadFile(Dir() + "tvClient.exe").find("# v1"), std::string::npos);
  ExpectHonestSettings();

  ASSERT_TRUE(m_volume.SetReadOnly(false));
  auto again = RunToEnd();
  EXPECT_EQ(again->Calls().front(), "check:2");
  EXPECT_TRUE(again->Completed()) << ::testing::PrintToString(again->Calls());
  ExpectInstalled("2.0");
}

// The settings folders mounted read-only during an upgrade: settings failures
// are silent, so the user sees the complete page, the old version stays
// recorded, and the next run offers the upgrade again.
TEST_F(DiskFaults, SettingsReadOnly) {
  auto first = RunToEnd();
  ASSERT_TRUE(first->Completed());
  std::vector<std::string> folders;
  for (platform::HKEY root : {platform::HKEY_CURRENT_USER, platform::HKEY_LOCAL_MACHINE})
    folders.push_back(fs::path(platform::RegistryFilePath(root)).parent_path().string());
  const std::string userBefore = testsupport::ReadFile(platform::RegistryFilePath(platform::HKEY_CURRENT_USER));
  for (const std::string& f : folders) {
    ASSERT_EQ(::mount(f.c_str(), f.c_str(), nullptr, MS_BIND, nullptr), 0) << f;
    ASSERT_EQ(::mount(nullptr, f.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
  }
  Scenario("[update]\npackage = v2\nversion = \"2.0\"\n");
  auto run = RunToEnd();
  for (const std::string& f : folders) ::umount2(f.c_str(), MNT_DETACH);
  EXPECT_TRUE(run->Completed()) << ::testing::PrintToString(run->Calls());
  EXPECT_EQ(testsupport::ReadFile(platform::RegistryFilePath(platform::HKEY_CURRENT_USER)),
            userBefore);
  EXPECT_EQ(Utf8(Product(L"Version").c_str()), "1.0.0.1");
  ExpectHonestSettings();

  auto again = RunToEnd();
  EXPECT_EQ(again->Calls().front(), "check:2") << "a stale version leads to the upgrade again";
  EXPECT_TRUE(again->Completed());
  ExpectInstalled("2.0");
}

// Settings files that do not parse are kept aside and written anew.
struct CorruptCase {
  const char* name;
  bool user;
  bool machine;
};
void PrintTo(const CorruptCase& c, std::ostream* os) { *os << c.name; }

class CorruptSettings : public FaultsTest, public ::testing::WithParamInterface<CorruptCase> {};

TEST_P(CorruptSettings, KeptAsideAndRewritten) {
  static const char kGarbage[] = "\x01\xff[[[ not a settings file\n\0\0 =";
  const std::string garbage(kGarbage, sizeof kGarbage - 1);
  std::vector<std::string> files;
  if (GetParam().user) files.push_back(platform::RegistryFilePath(platform::HKEY_CURRENT_USER));
  if (GetParam().machine) files.push_back(platform::RegistryFilePath(platform::HKEY_LOCAL_MACHINE));
  for (const std::string& f : files) testsupport::WriteFile(f, garbage);
  auto run = RunToEnd();
  EXPECT_EQ(run->Calls().front(), "check:1");
  EXPECT_TRUE(run->Completed()) << ::testing::PrintToString(run->Calls());
  ExpectInstalled("1.0.0.1");
  ExpectHonestSettings();
  for (const std::string& f : files)
    EXPECT_EQ(testsupport::ReadFile(f + ".corrupt-1"), garbage) << "the damaged file was lost";

  auto again = RunToEnd();
  EXPECT_EQ(again->Calls().front(), "check:3") << "the rewritten settings are read back";
}

INSTANTIATE_TEST_SUITE_P(Files, CorruptSettings,
                         ::testing::Values(CorruptCase{"User", true, false},
                                           CorruptCase{"Machine", false, true},
                                           CorruptCase{"Both", true, true}),
                         [](const ::testing::TestParamInfo<CorruptCase>& i) {
                           return std::string(i.param.name);
                         });

}  // namespace
}  // namespace faults
