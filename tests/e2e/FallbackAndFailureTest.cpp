// Runs that end early: the browser-download boxes after a failed check, the
// pipeline's error box (CRC mismatch, download failure), and the complete
// page's close button after an install into a typed folder.
#include <filesystem>

#include "E2eSteps.h"
#include "support/ScratchEnv.h"

namespace e2etest {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kQuickArgs = {"quick"};

TEST(E2eFallback, BrowserDownloadBoxes) {
  E2eHarness h;
  ASSERT_TRUE(h.Start()) << h.Error();
  const std::string fallbackUrl =
      "https://127.0.0.1:" + std::to_string(h.Service().HttpsPort()) + "/person/cloud_pc.7z";
  struct Case {
    const char* what;
    bool reachable;        // false: both listeners closed
    std::string scenario;  // [update] of a reachable service
    bool ok;               // the answer to the box
  };
  const std::vector<Case> cases = {
      {"unreachable, Cancel", false, "", false},
      {"size 0, OK", true, "[update]\nsize = \"0\"\n", true},
      {"unreachable, OK", false, "", true},
  };
  std::vector<std::string> looks;  // the box as drawn: its text tells the two apart
  size_t opened = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string listen = c.reachable ? "" : "[listen]\nhttps = off\nhttp = off\n";
    ASSERT_TRUE(h.Service().WriteScenario(c.scenario + listen));
    ASSERT_TRUE(h.Service().WaitListening(true, c.reachable));
    ASSERT_TRUE(h.Service().WaitListening(false, c.reachable));
    const size_t reports = h.ReportCount();

    ASSERT_TRUE(h.Launch(kQuickArgs));
    Window box = h.WaitWindow("错误提示", kPageTimeoutMs);
    ASSERT_TRUE(box.valid()) << "no fallback box";
    looks.push_back(h.Capture(box));
    EXPECT_EQ(h.SeenPages(), 1u) << "a page came with the fallback box";
    h.Screenshot(std::string("fallback-") + (c.reachable ? "size0" : "unreachable"));
    ASSERT_TRUE(h.AnswerBox(box, c.ok, true));
    int code = -1;
    ASSERT_TRUE(h.WaitExit(kExitTimeoutMs, &code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(h.SeenPages(), 1u);
    EXPECT_EQ(h.DownloadRequests(), 0u);
    EXPECT_EQ(h.ReportEvents(reports), c.reachable ? std::vector<int>{9} : std::vector<int>{});
    if (c.ok) {
      // xdg-open is a stand-in here: no browser can run on the test X server.
      ASSERT_TRUE(h.WaitXdgOpenCalls(opened + 1, 5000)) << "OK opened no browser";
      EXPECT_EQ(h.XdgOpenCalls().back(), fallbackUrl);
      ++opened;
    } else {
      usleep(500000);
    }
    EXPECT_EQ(h.XdgOpenCalls().size(), opened) << "Cancel opened the browser";
  }
  // Two texts: the network one twice, the environment one in between.
  ASSERT_EQ(looks.size(), 3u);
  EXPECT_FALSE(looks[0].empty());
  EXPECT_NE(looks[0], looks[1]);
  EXPECT_EQ(looks[0], looks[2]);
}

class E2ePipeline : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(h.Start()) << h.Error(); }

  // Check page, install page (agreement ticked, optionally a typed folder),
  // install button; returns the install page.
  Window StartInstall(const std::string& folder = "") {
    Window check, page;
    if (!h.Launch(kQuickArgs)) return Window();
    PassCheck(h, &check, &page);
    if (HasFatalFailure()) return Window();
    if (!folder.empty()) {
      Click(h, page, kExpand);
      for (int i = 0; i < 40 && h.Refresh(page).height != 500; ++i) usleep(50000);
      Click(h, page, kPathEdit);
      usleep(300000);
      h.Key(page, "ctrl+a BackSpace", false);
      h.Type(folder);
      Click(h, page, kOptionExpanded);
    } else {
      Click(h, page, kOption);
    }
    Click(h, page, kInstallButton);
    return page;
  }

  E2eHarness h;
};

TEST_F(E2ePipeline, ErrorBoxEndsTheInstaller) {
  // A folder below a regular file: the package file cannot be opened.
  const std::string blocker = h.Env().Path("blocker");
  testsupport::WriteFile(blocker, "a file, not a folder");
  struct Case {
    const char* what;
    std::string scenario;
    std::string folder;  // typed into the page; empty: the proposal
    int boxes;           // error boxes before the installer ends
    std::vector<int> events;
  };
  const std::vector<Case> cases = {
      {"crc mismatch", "[update]\ncrc = \"12345\"\n", "", 1, {9, 1, 2, 6}},
      // Both transfers cut short: the plain-HTTP attempt counts as finished, so
      // the package check is what stops the install.
      {"download cut short", "[download]\nfault = close\n", "", 1, {9, 1, 2, 6}},
      {"download answers 404", "[download]\nfault = 404\n", "", 1, {9, 1, 2, 6}},
      {"package file not writable", "", blocker + "/cloud", 2, {9, 1, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(h.Service().WriteScenario(c.scenario));
    const size_t reports = h.ReportCount();
    Window page = StartInstall(c.folder);
    ASSERT_TRUE(page.valid());
    Window progress = h.WaitNewPage(kPageTimeoutMs);
    ASSERT_TRUE(progress.valid()) << "no progress page";
    std::set<std::string> answered;
    for (int i = 0; i < c.boxes; ++i) {
      Window box = h.WaitWindow("错误", kInstallTimeoutMs, answered);
      ASSERT_TRUE(box.valid()) << "error box " << i + 1 << " of " << c.boxes << " missing";
      answered.insert(box.id);
      h.Screenshot(std::string("error-") + c.what + "-" + std::to_string(i + 1));
      ASSERT_TRUE(h.AnswerBox(box, true, false));
    }
    int code = -1;
    ASSERT_TRUE(h.WaitExit(kExitTimeoutMs, &code)) << "the installer did not end after the error box";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(h.SeenPages(), 3u) << "a complete page came after the error";
    EXPECT_EQ(h.ReportEvents(reports), c.events);
    EXPECT_TRUE(h.ReportsValid(reports));
    bool found = true;
    h.SettingsValue("installDir", &found);
    EXPECT_FALSE(found) << "registered after a failed install";
    EXPECT_FALSE(fs::exists(h.ProposedInstallDir() + "tvClient.exe")) << "unpacked after a failed check";
    EXPECT_FALSE(h.Marker().present);
  }
}

TEST_F(E2ePipeline, TypedFolderAndCompletePageCloseButton) {
  const std::string folder = h.Env().Path("apps/cloud");
  const size_t reports = h.ReportCount();
  Window page = StartInstall(folder);
  ASSERT_TRUE(page.valid());
  Window progress, complete;
  ReachComplete(h, page, &progress, &complete);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(Click(h, complete, kCloseButton));
  int code = -1;
  ASSERT_TRUE(h.WaitExit(kExitTimeoutMs, &code));
  EXPECT_EQ(code, 0);
  usleep(500000);
  EXPECT_FALSE(h.Marker().present) << "the close button started the client";
  EXPECT_TRUE(h.ProcessesIn(folder).empty());
  EXPECT_TRUE(fs::is_regular_file(folder + "/tvClient.exe"));
  EXPECT_TRUE(fs::is_regular_file(folder + "/NetLink.dat"));
  EXPECT_FALSE(fs::exists(h.ProposedInstallDir())) << "installed into the proposal instead of the typed folder";
  EXPECT_EQ(h.SettingsValue("installDir"), folder + "/");
  EXPECT_EQ(h.ReportEvents(reports), (std::vector<int>{9, 1, 2, 0}));
}

}  // namespace
}  // namespace e2etest
