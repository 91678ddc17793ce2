// The install page on its own: the folder checks with their error boxes, the
// custom-install area, leaving by the close button or Alt+F4 (no progress page),
// a second instance, and Escape / Return on the pages that ignore them.
#include <filesystem>

#include "E2eSteps.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

namespace e2etest {
namespace {

namespace fs = std::filesystem;

const char kErrorCaption[] = "错误提示";
// Any argument shortens the check page to one second; it is no "repair".
const std::vector<std::string> kQuickArgs = {"quick"};

class E2eInstallPage : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(h.Start()) << h.Error(); }

  // Launches and returns the install page (asserted by the caller through valid()).
  Window OpenInstallPage() {
    if (!h.Launch(kQuickArgs)) return Window();
    Window check, install;
    PassCheck(h, &check, &install);
    return install;
  }

  // Ends the run and checks that no progress page ran.
  void ExpectEndedWithoutProgress(const std::string& how) {
    int code = -1;
    ASSERT_TRUE(h.WaitExit(kExitTimeoutMs, &code)) << "the installer did not end after " << how;
    EXPECT_EQ(code, 0) << how;
    EXPECT_EQ(h.SeenPages(), 2u) << "a page followed the install page after " << how;
    EXPECT_EQ(h.DownloadRequests(), 0u) << how;
    EXPECT_EQ(h.ReportEvents(), std::vector<int>(h.ReportCount(), 9)) << "only check reports expected";
  }

  // Replaces the folder in the (visible) path field.
  bool TypeFolder(const Window& page, const std::string& text) {
    if (!Click(h, page, kPathEdit)) return false;  // opens the editor with all text selected
    usleep(300000);
    if (!h.Key(page, "ctrl+a BackSpace", false)) return false;
    return text.empty() || h.Type(text);
  }

  E2eHarness h;
  int m_code = -1;
};

TEST_F(E2eInstallPage, FolderChecksCustomAreaAndCloseButton) {
  Window page = OpenInstallPage();
  ASSERT_TRUE(page.valid());
  const int left = page.x, top = page.y;

  // The custom area grows the page downwards only.
  ASSERT_TRUE(Click(h, page, kExpand));
  for (int i = 0; i < 40 && h.Refresh(page).height != 500; ++i) usleep(50000);
  page = h.Refresh(page);
  EXPECT_EQ(page.height, 500);
  EXPECT_EQ(page.x, left);
  EXPECT_EQ(page.y, top);
  ASSERT_TRUE(Click(h, page, kOptionExpanded));
  h.Screenshot("custom-area");

  // Folders the page refuses: a box each, and the page stays for a correction.
  struct Case {
    const char* what;
    std::string folder;
  };
  const std::vector<Case> cases = {
      {"empty", ""},
      {"missing first component", "/no-such-top-folder-e2e/cloud"},
      {"relative", "apps/cloud"},
      {"root", "/"},
  };
  std::vector<int> widths;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(TypeFolder(page, c.folder));
    ASSERT_TRUE(Click(h, page, kInstallButton));
    Window box = h.WaitWindow(kErrorCaption, 5000);
    ASSERT_TRUE(box.valid()) << "no error box for the " << c.what << " folder";
    widths.push_back(box.width);
    h.Screenshot(std::string("box-") + c.what);
    ASSERT_TRUE(h.AnswerBox(box, true, false));
    EXPECT_TRUE(h.WaitGone(box, 5000));
    EXPECT_TRUE(h.Exists(page)) << "the page went after the " << c.what << " folder";
  }
  // Three different texts: the empty-path one is the shortest, the missing
  // drive one the longest; relative paths fail as a missing drive.
  ASSERT_EQ(widths.size(), 4u);
  EXPECT_LT(widths[0], widths[3]);
  EXPECT_LT(widths[3], widths[1]);
  EXPECT_EQ(widths[1], widths[2]);
  EXPECT_EQ(h.DownloadRequests(), 0u);

  // Collapsing keeps the typed folder and the position.
  ASSERT_TRUE(TypeFolder(page, h.Env().Path("apps/cloud")));
  ASSERT_TRUE(Click(h, page, kReduce));
  for (int i = 0; i < 40 && h.Refresh(page).height != 422; ++i) usleep(50000);
  page = h.Refresh(page);
  EXPECT_EQ(page.height, 422);
  EXPECT_EQ(page.x, left);
  EXPECT_EQ(page.y, top);
  h.Screenshot("collapsed");

  ASSERT_TRUE(Click(h, page, kCloseButton));
  ExpectEndedWithoutProgress("the close button");
  EXPECT_FALSE(fs::exists(h.Env().Path("apps/cloud"))) << "the folder was created without an install";
}

TEST_F(E2eInstallPage, SecondInstanceAndAltF4) {
  Window page = OpenInstallPage();
  ASSERT_TRUE(page.valid());

  // A second installer while the first one runs ends at once with 0, after
  // telling the user; the first one is not disturbed.
  const pid_t other = h.LaunchOther({});
  ASSERT_GT(other, 0);
  Window box = h.WaitWindow(kErrorCaption, 10000, {}, other);
  ASSERT_TRUE(box.valid()) << "the second instance said nothing";
  h.Screenshot("second-instance");
  ASSERT_TRUE(h.AnswerBox(box, true, false));
  int code = -1;
  ASSERT_TRUE(h.WaitExitOf(other, kExitTimeoutMs, &code)) << "the second instance did not end";
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(h.Windows(other).empty());
  EXPECT_TRUE(h.Exists(page));

  ASSERT_TRUE(h.Key(page, "alt+F4"));
  ExpectEndedWithoutProgress("Alt+F4");
}

// Return and Escape do nothing on the install page and on the start page.
TEST_F(E2eInstallPage, ReturnAndEscapeIgnored) {
  Window page = OpenInstallPage();
  ASSERT_TRUE(page.valid());
  ASSERT_TRUE(h.Key(page, "Escape"));
  EXPECT_TRUE(StaysAlone(h, page, 700)) << "Escape acted on the install page";
  ASSERT_TRUE(h.Key(page, "Return"));
  EXPECT_TRUE(StaysAlone(h, page, 1000)) << "Return acted on the install page (exit code " << (h.WaitExit(2000, &m_code) ? m_code : -1) << ")";
  if (h.Running()) {
    ASSERT_TRUE(Click(h, page, kCloseButton));
    ExpectEndedWithoutProgress("the close button");
  }

  // An installed, current client: the start page.
  const std::string dir = h.ProposedInstallDir();
  fs::create_directories(dir);
  fs::copy(std::string(INSTALLER_BINARY_DIR) + "/tools/democlient/pkg/1.0.0", dir,
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  platform::HKEY key = nullptr;
  ASSERT_EQ(platform::RegCreateKeyW(platform::HKEY_CURRENT_USER, L"Software\\Tarvolen\\RoruvAZ", &key),
            platform::ERROR_SUCCESS);
  platform::RegSetValueExW(key, L"installDir", 0, platform::REG_SZ, platform::Utf8ToWide(dir));
  platform::RegSetValueExW(key, L"Start", 0, platform::REG_SZ, L"tvClient.exe");
  platform::RegSetValueExW(key, L"Version", 0, platform::REG_SZ, L"1.0.0.1");
  platform::RegCloseKey(key);

  ASSERT_TRUE(h.Launch(kQuickArgs));
  Window check, start;
  PassCheck(h, &check, &start);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(h.Key(start, "Escape"));
  EXPECT_TRUE(StaysAlone(h, start, 700)) << "Escape acted on the start page";
  ASSERT_TRUE(h.Key(start, "Return"));
  EXPECT_TRUE(StaysAlone(h, start, 1000)) << "Return acted on the start page (exit code " << (h.WaitExit(2000, &m_code) ? m_code : -1) << ")";
  if (h.Running()) {
    ASSERT_TRUE(Click(h, start, kCloseButton));
    int code = -1;
    ASSERT_TRUE(h.WaitExit(kExitTimeoutMs, &code));
    EXPECT_EQ(code, 0);
  }
  usleep(300000);
  EXPECT_FALSE(h.Marker().present) << "the client started without the start button";
}

}  // namespace
}  // namespace e2etest
