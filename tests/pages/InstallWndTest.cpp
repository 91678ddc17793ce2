// The install page on the headless window back end, driven by real clicks:
// folder proposal, agreement box, install checks, custom-install area,
// folder chooser and the agreement link.
#include "pages/InstallWnd.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "PageHarness.h"
#include "app/UIHelp.h"
#include "comm/Deployment.h"
#include "pages/PageCommon.h"
#include "platform/Text.h"
#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"
#include "support/ScratchEnv.h"
#include "ui/controls/OptionUI.h"

namespace {

using platform::Utf8ToWide;
using SkinUI::CControlUI;

// Client points of the skin's controls.
constexpr POINT kOption{34, 401};
constexpr POINT kInstall{300, 365};
constexpr POINT kExpand{530, 400};
constexpr POINT kReduce{555, 478};
constexpr POINT kPathBtn{480, 430};
constexpr POINT kProtocol{90, 400};

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class InstallWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pagetest::InitHeadlessPages();
    setenv("INSTALLER_USER_SCOPE", "1", 1);
    m_savedDir = CUIHelp::GetInstance()->m_strInstallDir;
  }
  void TearDown() override {
    CUIHelp::GetInstance()->m_strInstallDir = m_savedDir;
    platform::headless::SetFolderAnswer(nullptr);
    unsetenv("INSTALLER_USER_SCOPE");
  }

  testsupport::ScratchEnv m_env;
  pagetest::BoxRecorder m_boxes;
  std::wstring m_savedDir;
};

// One open install page with its pump.
struct OpenPage {
  CInstallWnd page;
  pagetest::Pump pump;
  HWND hwnd = nullptr;

  OpenPage() {
    hwnd = pages::CreatePage(page);
    pump.Watch(hwnd);
  }
  CControlUI* Control(const wchar_t* name) { return page.Manager().ControlByName(name); }
  bool Click(POINT pt) {
    bool ok = platform::headless::Click(hwnd, pt.x, pt.y);
    pump.For(60);
    return ok;
  }
  bool Ready() { return pump.Until([this] { return page.HasProposal(); }) && pump.UntilPainted(); }
  RECT WindowRect() {
    RECT rc;
    platform::GetWindowRect(hwnd, &rc);
    return rc;
  }
};

TEST_F(InstallWndTest, ProposesTheFolderWithoutOverwritingTypedText) {
  {
    OpenPage p;
    ASSERT_TRUE(p.hwnd);
    ASSERT_TRUE(p.Ready());
    EXPECT_EQ(p.Control(L"path_edit")->Text(), Utf8ToWide(m_env.Home()) + L"/.local/opt/devadazuzirev");
  }
  {
    OpenPage p;
    // Typed before the proposal has been served on this thread.
    p.Control(L"path_edit")->SetText(L"/typed/by/the/user");
    ASSERT_TRUE(p.Ready());
    EXPECT_EQ(p.Control(L"path_edit")->Text(), L"/typed/by/the/user");
  }
}

TEST_F(InstallWndTest, AgreementBoxEnablesTheInstallButton) {
  OpenPage p;
  ASSERT_TRUE(p.Ready());
  CControlUI* install = p.Control(L"install");
  auto* option = dynamic_cast<SkinUI::COptionUI*>(p.Control(L"option"));
  ASSERT_TRUE(install && option);
  EXPECT_FALSE(install->IsEnabled());

  p.Click(kInstall);  // disabled: nothing happens
  EXPECT_TRUE(platform::IsWindow(p.hwnd));
  EXPECT_TRUE(m_boxes.Boxes().empty());

  p.Click(kOption);
  EXPECT_TRUE(option->IsSelected());
  EXPECT_TRUE(install->IsEnabled());
  p.Click(kOption);
  EXPECT_FALSE(option->IsSelected());
  EXPECT_FALSE(install->IsEnabled());
}

// The first paint focuses the first button ("closebtn"); Return must not reach
// it, or the key would close the installer.
TEST_F(InstallWndTest, ReturnAndEscapeDoNothing) {
  OpenPage p;
  ASSERT_TRUE(p.Ready());
  ASSERT_TRUE(platform::headless::Key(p.hwnd, VK_RETURN));
  ASSERT_TRUE(platform::headless::Key(p.hwnd, VK_ESCAPE));
  p.pump.For(200);
  EXPECT_TRUE(platform::IsWindow(p.hwnd));
}

TEST_F(InstallWndTest, InstallChecksTheFolder) {
  const std::string valid = m_env.Home() + "/Apps";
  struct Case {
    std::string text;
    const wchar_t* message;  // null: accepted
  };
  const std::vector<Case> cases = {
      {"", L"路径为空，点击浏览选择安装路径"},
      {"apps/cloud", L"安装盘符本机上不存在,点击浏览选择安装路径"},
      {"/no-such-top-folder-7f3a/cloud", L"安装盘符本机上不存在,点击浏览选择安装路径"},
      {"/", L"安装路径不正确，请勿安装在磁盘根目录"},
      {"/proc/", L"安装路径不正确，请勿安装在磁盘根目录"},
      {valid, nullptr},
      {valid + "/", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("folder \"" + c.text + "\"");
    CUIHelp::GetInstance()->m_rcWindow = RECT{};
    CUIHelp::GetInstance()->m_strInstallDir = L"/unchanged/";
    const size_t boxesBefore = m_boxes.Boxes().size();
    OpenPage p;
    ASSERT_TRUE(p.Ready());
    p.Click(kOption);
    p.Control(L"path_edit")->SetText(Utf8ToWide(c.text));
    const RECT before = p.WindowRect();
    p.Click(kInstall);
    p.pump.Until([&] { return !platform::IsWindow(p.hwnd) || m_boxes.Boxes().size() > boxesBefore; }, 3000);

    // The rectangle is saved whatever the outcome.
    EXPECT_TRUE(SameRect(CUIHelp::GetInstance()->m_rcWindow, before));
    const auto boxes = m_boxes.Boxes();
    if (c.message) {
      ASSERT_EQ(boxes.size(), boxesBefore + 1);
      EXPECT_EQ(boxes.back().text, c.message);
      EXPECT_EQ(boxes.back().caption, L"错误提示");
      EXPECT_EQ(boxes.back().type, MB_ICONERROR);
      EXPECT_TRUE(platform::IsWindow(p.hwnd)) << "the page stays open for a correction";
      EXPECT_EQ(CUIHelp::GetInstance()->m_strInstallDir, L"/unchanged/");
    } else {
      EXPECT_EQ(boxes.size(), boxesBefore);
      ASSERT_TRUE(p.pump.UntilGone());
      EXPECT_EQ(p.pump.CloseCode(), 1);
      EXPECT_EQ(CUIHelp::GetInstance()->m_strInstallDir, Utf8ToWide(valid) + L"/");
    }
  }
}

TEST_F(InstallWndTest, ExpandAndCollapseKeepTheOriginAndTheTypedFolder) {
  OpenPage p;
  pages::MovePageTo(p.hwnd, RECT{100, 80, 0, 0});
  ASSERT_TRUE(p.Ready());
  const RECT collapsed = p.WindowRect();
  EXPECT_EQ(collapsed.left, 100);
  EXPECT_EQ(collapsed.top, 80);
  EXPECT_EQ(collapsed.bottom - collapsed.top, 422);
  EXPECT_FALSE(p.Control(L"path_edit")->IsVisible());

  p.Click(kExpand);
  RECT rc = p.WindowRect();
  EXPECT_TRUE(SameRect(rc, RECT{100, 80, 700, 580}));
  EXPECT_FALSE(p.Control(L"expand")->IsVisible());
  EXPECT_TRUE(p.Control(L"reduce")->IsVisible());
  EXPECT_TRUE(p.Control(L"path_btn")->IsVisible());
  EXPECT_TRUE(p.Control(L"path_edit")->IsVisible());
  p.pump.For(100);
  EXPECT_TRUE(SameRect(p.Control(L"option")->Rect(), RECT{26, 471, 42, 487}));
  EXPECT_TRUE(SameRect(p.Control(L"protocol")->Rect(), RECT{48, 468, 148, 488}));

  // The folder chooser: cancelled leaves the folder, a choice gets the subfolder.
  platform::headless::SetFolderAnswer([](const std::wstring&, std::wstring*) { return false; });
  p.Control(L"path_edit")->SetText(L"/kept");
  p.Click(kPathBtn);
  EXPECT_EQ(p.Control(L"path_edit")->Text(), L"/kept");
  std::wstring title;
  platform::headless::SetFolderAnswer([&title](const std::wstring& t, std::wstring* path) {
    title = t;
    *path = L"/data/Games";
    return true;
  });
  p.Click(kPathBtn);
  EXPECT_EQ(title, L"选择云电脑安装目录");
  EXPECT_EQ(p.Control(L"path_edit")->Text(), L"/data/Games/devadazuzirev");

  p.Click(kReduce);
  rc = p.WindowRect();
  EXPECT_TRUE(SameRect(rc, RECT{100, 80, 700, 502}));
  EXPECT_TRUE(p.Control(L"expand")->IsVisible());
  EXPECT_FALSE(p.Control(L"reduce")->IsVisible());
  EXPECT_FALSE(p.Control(L"path_edit")->IsVisible());
  p.pump.For(100);
  EXPECT_TRUE(SameRect(p.Control(L"option")->Rect(), RECT{26, 393, 42, 409}));
  EXPECT_TRUE(SameRect(p.Control(L"protocol")->Rect(), RECT{48, 390, 148, 410}));
  EXPECT_EQ(p.Control(L"path_edit")->Text(), L"/data/Games/devadazuzirev");
}

TEST_F(InstallWndTest, AgreementLinkOpensTheServicePageInTheBrowser) {
  DeploymentValues d = GetDeployment();
  d.apiHost = "127.0.0.1";
  d.httpsPort = 8443;
  SetDeploymentForTest(d);
  // A stand-in xdg-open that records its argument.
  const std::string bin = m_env.Path("bin");
  const std::string record = m_env.Path("xdg-open.args");
  testsupport::WriteFile(bin + "/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > " + record + ".tmp && mv " +
                                                record + ".tmp " + record + "\n");
  std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
  setenv("PATH", (bin + ":" + oldPath).c_str(), 1);

  const std::string expected = "https://127.0.0.1:8443/pc/getAgreement?code=pcinstall&channel=&epcode=";
  EXPECT_EQ(CInstallWnd::AgreementUrl(), expected);
  {
    OpenPage p;
    ASSERT_TRUE(p.Ready());
    p.Click(kProtocol);
    EXPECT_TRUE(p.pump.Until([&] { return std::filesystem::exists(record); }, 5000));
    EXPECT_EQ(testsupport::ReadFile(record), expected);
    EXPECT_FALSE(dynamic_cast<SkinUI::COptionUI*>(p.Control(L"option"))->IsSelected());
  }
  setenv("PATH", oldPath.c_str(), 1);
  ResetDeploymentForTest();
}

}  // namespace
