// The start / upgrade / repair page in each mode, on the headless back end.
#include "pages/StartUpdateWnd.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "PageHarness.h"
#include "ui/controls/ControlUI.h"
#include "app/UIHelp.h"
#include "pages/PageCommon.h"
#include "platform/Resources.h"
#include "platform/Text.h"
#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"
#include "support/ScratchEnv.h"

namespace {

namespace fs = std::filesystem;
using platform::Utf8ToWide;

constexpr POINT kButton{300, 335};

class StartUpdateWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pagetest::InitHeadlessPages();
    CUIHelp* ctx = CUIHelp::GetInstance();
    m_saved = {ctx->m_nType, ctx->m_strInstallDir, ctx->m_strClientExe};
    m_dir = m_env.Path("inst") + "/";
    ctx->m_strInstallDir = Utf8ToWide(m_dir);
    ctx->m_strClientExe = L"tvClient.exe";
    // A client that notes each start.
    testsupport::WriteFile(m_dir + "tvClient.exe", "#!/bin/sh\necho started >> " + m_env.Path("starts") + "\n");
    fs::permissions(m_dir + "tvClient.exe", fs::perms::owner_all);
  }
  void TearDown() override {
    CUIHelp* ctx = CUIHelp::GetInstance();
    ctx->m_nType = m_saved.type;
    ctx->m_strInstallDir = m_saved.dir;
    ctx->m_strClientExe = m_saved.exe;
  }

  struct Saved {
    int32_t type;
    std::wstring dir, exe;
  } m_saved;
  testsupport::ScratchEnv m_env;
  std::string m_dir;
};

TEST_F(StartUpdateWndTest, EachModeShowsItsTextsAndEndsWithItsCode) {
  struct Case {
    int32_t type;
    const wchar_t* sentence;
    const wchar_t* button;
    int closeCode;  // INT_MIN: the click does nothing
  };
  const Case cases[] = {
      {CHECK_UPDATE, L"云电脑需要升级", L"升级", 1},
      {CHECK_REPAIR, L"Tarvolen云电脑修复", L"修复", 1},
      {CHECK_START, L"已安装最新版", L"立即启动", IDCLOSE},
      {CHECK_INSTALL, L"", L"", INT_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type));
    CUIHelp::GetInstance()->m_nType = c.type;
    CUIHelp::GetInstance()->m_rcWindow = RECT{};
    CStartUpdateWnd page;
    HWND hwnd = pages::CreatePage(page);
    ASSERT_TRUE(hwnd);
    pages::MovePageTo(hwnd, RECT{40, 30, 0, 0});
    pagetest::Pump pump(hwnd);
    ASSERT_TRUE(pump.UntilPainted());
    EXPECT_EQ(page.Manager().ControlByName(L"text")->Text(), c.sentence);
    EXPECT_EQ(page.Manager().ControlByName(L"button")->Text(), c.button);

    platform::headless::Click(hwnd, kButton.x, kButton.y);
    if (c.closeCode == INT_MIN) {
      pump.For(300);
      EXPECT_TRUE(platform::IsWindow(hwnd));
      EXPECT_EQ(CUIHelp::GetInstance()->m_rcWindow.left, 40);  // saved all the same
    } else {
      ASSERT_TRUE(pump.UntilGone());
      EXPECT_EQ(pump.CloseCode(), c.closeCode);
      // Saved after the click was handled: the next page opens here.
      EXPECT_EQ(CUIHelp::GetInstance()->m_rcWindow.left, 40);
      EXPECT_EQ(CUIHelp::GetInstance()->m_rcWindow.top, 30);
      EXPECT_EQ(CUIHelp::GetInstance()->m_rcWindow.right, 640);
    }
  }
}

TEST_F(StartUpdateWndTest, StartModeRewritesTheLinkFileAndStartsTheClientOnce) {
  CUIHelp::GetInstance()->m_nType = CHECK_START;
  testsupport::WriteFile(m_dir + "NetLink.dat", "stale");
  CStartUpdateWnd page;
  HWND hwnd = pages::CreatePage(page);
  pagetest::Pump pump(hwnd);
  ASSERT_TRUE(pump.UntilPainted());
  platform::headless::Click(hwnd, kButton.x, kButton.y);
  ASSERT_TRUE(pump.UntilGone());
  EXPECT_EQ(pump.CloseCode(), IDCLOSE);

  platform::ResourceBlob blob;
  ASSERT_TRUE(platform::FindResource(platform::kResData, platform::kIdNetLinkDat, &blob));
  EXPECT_EQ(testsupport::ReadFile(m_dir + "NetLink.dat"),
            std::string(reinterpret_cast<const char*>(blob.data), blob.size));

  const std::string starts = m_env.Path("starts");
  ASSERT_TRUE(pump.Until([&] { return fs::exists(starts); }, 5000)) << "the client was not started";
  pump.For(300);
  EXPECT_EQ(testsupport::ReadFile(starts), "started\n");
}

}  // namespace
