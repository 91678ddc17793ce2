// A fresh install through every page, then the runs that find the client
// installed: repair (both spellings), plain start and upgrade. They share one
// installation, so they run in order in one test.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "E2eSteps.h"
#include "support/ScratchEnv.h"

namespace e2etest {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

std::string SourceFile(const std::string& rel) { return ReadFile(std::string(INSTALLER_SOURCE_DIR) + "/" + rel); }

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

// The lines of a .desktop file that matter here.
std::string EntryLine(const std::string& text, const std::string& key) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
  return "";
}

class E2eFreshInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    e2e::HarnessOptions options;
    // Slow enough that the progress page stays up for a few seconds.
    options.scenario = "[download]\nrate = 16000\n";
    ASSERT_TRUE(h.Start(options)) << h.Error();
    dir = h.ProposedInstallDir();
  }

  // The installed client, as the marker it wrote at start says.
  void ExpectClientStarted(const std::string& version, pid_t previous, e2e::ClientMarker* out) {
    e2e::ClientMarker m;
    ASSERT_TRUE(h.WaitMarker(10000, &m, previous)) << "the client did not start";
    EXPECT_EQ(m.version, version);
    EXPECT_TRUE(SameFolder(m.folder, dir)) << m.folder;
    EXPECT_TRUE(E2eHarness::Alive(m.pid));
    if (out) *out = m;
  }

  // From the branch page's click to the complete page, ending it by `end`
  // ("start", "escape" or "alt+F4"); the installer must then end with 0.
  void FinishInstall(const Window& branch, const std::string& end, const std::string& tag) {
    Window progress, complete;
    ReachComplete(h, branch, &progress, &complete);
    if (HasFatalFailure()) return;
    h.Screenshot(tag + "-complete");
    EXPECT_FALSE(h.Exists(progress)) << "the progress page is not hidden under the complete page";
    if (end == "start") {
      ASSERT_TRUE(Click(h, complete, kStartButton));
    } else {
      ASSERT_TRUE(h.Key(complete, end == "escape" ? "Escape" : "alt+F4"));
    }
    int code = -1;
    ASSERT_TRUE(h.WaitExit(kExitTimeoutMs, &code)) << "the installer did not end after the complete page";
    EXPECT_EQ(code, 0);
  }

  E2eHarness h;
  std::string dir;
};

TEST_F(E2eFreshInstall, InstallThenRepairStartAndUpgrade) {
  // --- 1. fresh install, no argument -------------------------------------
  size_t reports = h.ReportCount();
  ASSERT_TRUE(h.Launch());
  Window check = h.WaitNewPage(kPageTimeoutMs);
  ASSERT_TRUE(check.valid()) << "no check page";
  EXPECT_EQ(check.width, 600);
  EXPECT_EQ(check.height, 422);
  h.Screenshot("check-page");
  // The check page cannot be closed or dismissed while the check runs.
  ASSERT_TRUE(h.Key(check, "Escape"));
  ASSERT_TRUE(h.Key(check, "Return"));
  ASSERT_TRUE(h.Key(check, "alt+F4"));
  EXPECT_TRUE(h.Exists(check)) << "the check page went on a key";
  Window install = h.WaitNewPage(kPageTimeoutMs);
  ASSERT_TRUE(install.valid()) << "no install page";
  EXPECT_EQ(install.x, check.x);
  EXPECT_EQ(install.y, check.y);
  EXPECT_EQ(install.height, 422);
  EXPECT_TRUE(h.WaitGone(check, 5000));
  h.Screenshot("install-page");

  // Escape and the disabled install button do nothing (Return: KeysTest).
  ASSERT_TRUE(h.Key(install, "Escape"));
  const long disabled = h.Pixel(install.x + 215, install.y + 350);
  ASSERT_TRUE(Click(h, install, kInstallButton));
  EXPECT_TRUE(StaysAlone(h, install, 1500)) << "the disabled install button or a key acted";
  EXPECT_EQ(h.DownloadRequests(), 0u);

  // The agreement link opens the agreement page of this deployment.
  ASSERT_TRUE(Click(h, install, kProtocol));
  ASSERT_TRUE(h.WaitXdgOpenCalls(1, 5000)) << "the agreement link opened nothing";
  EXPECT_EQ(h.XdgOpenCalls()[0], "https://127.0.0.1:" + std::to_string(h.Service().HttpsPort()) +
                                     "/pc/getAgreement?code=pcinstall&channel=demo-channel&epcode=DEMO-EP-001");

  // Ticking the agreement enables the button; unticking disables it again.
  ASSERT_TRUE(Click(h, install, kOption));
  h.MoveTo(install, 300, 200);
  const long enabled = h.Pixel(install.x + 215, install.y + 350);
  EXPECT_NE(enabled, disabled) << "the install button looks the same after the agreement was ticked";
  ASSERT_TRUE(Click(h, install, kOption));
  h.MoveTo(install, 300, 200);
  EXPECT_EQ(h.Pixel(install.x + 215, install.y + 350), disabled);
  ASSERT_TRUE(Click(h, install, kInstallButton));
  EXPECT_TRUE(StaysAlone(h, install, 1000)) << "the install button acted after the agreement was unticked";
  ASSERT_TRUE(Click(h, install, kOption));
  h.Screenshot("install-agreed");
  ASSERT_TRUE(Click(h, install, kInstallButton));

  Window progress = h.WaitNewPage(kPageTimeoutMs);
  ASSERT_TRUE(progress.valid()) << "no progress page";
  EXPECT_EQ(progress.x, install.x);
  EXPECT_EQ(progress.y, install.y);
  EXPECT_FALSE(h.Exists(install));
  // Keys do nothing on the progress page either; the download goes on.
  ASSERT_TRUE(h.Key(progress, "Escape"));
  ASSERT_TRUE(h.Key(progress, "Return"));
  EXPECT_TRUE(h.Exists(progress) || h.ReportEvents(reports).size() >= 4) << "the progress page went on a key";
  h.Screenshot("progress-page");
  // The bar follows the (throttled) download: a point at 10 % gets filled.
  const long empty = h.Pixel(progress.x + 60, progress.y + 314);
  bool moved = false;
  for (int i = 0; i < 100 && !moved && h.Exists(progress); ++i) {
    moved = h.Pixel(progress.x + 60, progress.y + 314) != empty;
    if (!moved) usleep(100000);
  }
  EXPECT_TRUE(moved) << "the progress bar did not move during the download";
  h.Screenshot("progress-later");
  Window complete = h.WaitNewPage(kInstallTimeoutMs);
  ASSERT_TRUE(complete.valid()) << "no complete page";
  EXPECT_FALSE(h.Exists(progress)) << "the progress page is not hidden under the complete page";
  h.Screenshot("complete-page");
  ASSERT_TRUE(Click(h, complete, kStartButton));
  int code = -1;
  ASSERT_TRUE(h.WaitExit(kExitTimeoutMs, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(h.SeenPages(), 4u) << "check, install, progress and complete pages expected";

  // The package and the installer's own files.
  for (const char* f : {"tvClient.exe", "QtWebEngineProcess.exe", "Uninstaller.exe", "version.txt",
                        "resources/client.ini", "resources/locales/zh_CN.txt", "dat.ini", "Cloud.ico",
                        "boot_background_game.png", "oem.png", "NetLink.dat"})
    EXPECT_TRUE(fs::is_regular_file(dir + f)) << f;
  EXPECT_FALSE(fs::exists(dir + "tmpClient")) << "the package was left behind";
  EXPECT_EQ(Trimmed(ReadFile(dir + "version.txt")), "1.0.0");
  struct stat st {};
  ASSERT_EQ(stat((dir + "tvClient.exe").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR) << "the client lost its execute bit";
  EXPECT_EQ(ReadFile(dir + "dat.ini"), SourceFile("res/dat.ini"));
  EXPECT_EQ(ReadFile(dir + "NetLink.dat"), SourceFile("res/NetLink.dat"));
  EXPECT_EQ(ReadFile(dir + "oem.png"), SourceFile("res/oem.png"));
  EXPECT_EQ(ReadFile(dir + "boot_background_game.png"), SourceFile("res/boot_background_game.png"));
  const std::string ico = ReadFile(dir + "Cloud.ico");
  ASSERT_GE(ico.size(), 6u);
  EXPECT_EQ(ico.substr(0, 4), std::string("\0\0\1\0", 4)) << "Cloud.ico is not an icon file";

  // Menu and desktop entries start the installed client.
  for (const std::string& entry : {h.MenuEntryPath(), h.DesktopEntryPath()}) {
    const std::string text = ReadFile(entry);
    ASSERT_FALSE(text.empty()) << "missing " << entry;
    EXPECT_EQ(EntryLine(text, "Type"), "Application");
    EXPECT_EQ(EntryLine(text, "Name"), "Tarvolen云电脑");
    EXPECT_EQ(EntryLine(text, "Exec"), dir + "tvClient.exe");
    EXPECT_TRUE(SameFolder(EntryLine(text, "Icon"), dir + "Cloud.ico")) << EntryLine(text, "Icon");
  }

  // Settings and the uninstall entry.
  EXPECT_EQ(h.SettingsValue("installDir"), dir);
  EXPECT_EQ(h.SettingsValue("Start"), "tvClient.exe");
  EXPECT_EQ(h.SettingsValue("Version"), "1.0.0.1");
  EXPECT_EQ(h.UninstallValue("DisplayName"), "Tarvolen云电脑");
  EXPECT_EQ(h.UninstallValue("DisplayVersion"), "1.0.0.1");
  EXPECT_EQ(h.UninstallValue("UninstallString"), dir + "Uninstaller.exe");
  EXPECT_EQ(h.UninstallValue("InstallSource"), h.InstallerPath());

  // Reports: check, download started, downloaded, installed; all signed right.
  EXPECT_EQ(h.ReportEvents(reports), (std::vector<int>{9, 1, 2, 0}));
  EXPECT_TRUE(h.ReportsValid(reports));
  e2e::ClientMarker first;
  ExpectClientStarted("1.0.0", 0, &first);
  if (HasFatalFailure()) return;

  // --- 2. "repair": a package file is restored, the running client restarted
  h.Service().WriteScenario("");  // full speed from here on
  fs::remove(dir + "resources/client.ini");
  reports = h.ReportCount();
  ASSERT_TRUE(h.Launch({"repair"}));
  Window repair;
  PassCheck(h, &check, &repair);
  if (HasFatalFailure()) return;
  h.Screenshot("repair-page");
  ASSERT_TRUE(h.Key(repair, "Escape"));
  EXPECT_TRUE(StaysAlone(h, repair, 800)) << "Escape acted on the repair page";
  ASSERT_TRUE(Click(h, repair, kBranchButton));
  FinishInstall(repair, "escape", "repair");
  if (HasFatalFailure()) return;
  EXPECT_TRUE(fs::is_regular_file(dir + "resources/client.ini")) << "repair did not restore the package";
  EXPECT_FALSE(E2eHarness::Alive(first.pid)) << "the running client was not stopped";
  EXPECT_EQ(h.ReportEvents(reports), (std::vector<int>{9, 1, 2, 0}));
  e2e::ClientMarker second;
  ExpectClientStarted("1.0.0", first.pid, &second);
  if (HasFatalFailure()) return;

  // --- 3. "REPAIR" in capitals is a repair as well -------------------------
  reports = h.ReportCount();
  ASSERT_TRUE(h.Launch({"REPAIR"}));
  PassCheck(h, &check, &repair);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(Click(h, repair, kBranchButton));
  FinishInstall(repair, "alt+F4", "repair-caps");
  if (HasFatalFailure()) return;
  EXPECT_EQ(h.ReportEvents(reports), (std::vector<int>{9, 1, 2, 0}));
  e2e::ClientMarker third;
  ExpectClientStarted("1.0.0", second.pid, &third);
  if (HasFatalFailure()) return;

  // --- 4. same version installed: the start page starts the client ---------
  kill(third.pid, SIGKILL);
  for (int i = 0; i < 100 && E2eHarness::Alive(third.pid); ++i) usleep(20000);
  h.KillScratchProcesses();  // its browser component too
  h.RemoveMarkers();
  WriteFile(dir + "NetLink.dat", "damaged");
  reports = h.ReportCount();
  const size_t downloads = h.DownloadRequests();
  ASSERT_TRUE(h.Launch());
  Window start;
  PassCheck(h, &check, &start);
  if (HasFatalFailure()) return;
  EXPECT_EQ(start.x, check.x);
  EXPECT_EQ(start.y, check.y);
  h.Screenshot("start-page");
  ASSERT_TRUE(h.Key(start, "Escape"));
  EXPECT_TRUE(StaysAlone(h, start, 800)) << "Escape acted on the start page";
  EXPECT_FALSE(h.Marker().present) << "the client started before the button was used";
  ASSERT_TRUE(Click(h, start, kBranchButton));
  ASSERT_TRUE(h.WaitExit(kExitTimeoutMs, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(h.SeenPages(), 2u) << "a page followed the start page";
  EXPECT_EQ(h.DownloadRequests(), downloads);
  EXPECT_EQ(h.ReportEvents(reports), (std::vector<int>{9}));
  e2e::ClientMarker started;
  ExpectClientStarted("1.0.0", 0, &started);
  if (HasFatalFailure()) return;
  usleep(500000);
  EXPECT_EQ(h.ProcessesIn(dir).size(), 2u) << "expected one client and its browser component";
  EXPECT_EQ(ReadFile(dir + "NetLink.dat"), SourceFile("res/NetLink.dat")) << "NetLink.dat not rewritten";

  // --- 5. the service offers 2.1.0: upgrade, the running client is stopped --
  ASSERT_TRUE(h.Service().WriteScenario("[update]\npackage = v2\nversion = 2.1.0\n"));
  reports = h.ReportCount();
  ASSERT_TRUE(h.Launch());
  Window upgrade;
  PassCheck(h, &check, &upgrade);
  if (HasFatalFailure()) return;
  h.Screenshot("upgrade-page");
  ASSERT_TRUE(Click(h, upgrade, kBranchButton));
  FinishInstall(upgrade, "start", "upgrade");
  if (HasFatalFailure()) return;
  EXPECT_FALSE(E2eHarness::Alive(started.pid)) << "the old client was not stopped";
  EXPECT_EQ(Trimmed(ReadFile(dir + "version.txt")), "2.1.0");
  EXPECT_EQ(h.SettingsValue("Version"), "2.1.0");
  EXPECT_EQ(h.UninstallValue("DisplayVersion"), "2.1.0");
  EXPECT_EQ(h.ReportEvents(reports), (std::vector<int>{9, 1, 2, 0}));
  EXPECT_TRUE(h.ReportsValid());
  ExpectClientStarted("2.1.0", started.pid, nullptr);
}

}  // namespace
}  // namespace e2etest
