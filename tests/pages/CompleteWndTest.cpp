// The complete page on the headless back end: its note, the start button,
// Escape, and the close button that ends the process.
#include "pages/CompleteWnd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <thread>

#include "PageHarness.h"
#include "ui/controls/ControlUI.h"
#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"
#include "support/ScratchEnv.h"

namespace {

constexpr POINT kStart{300, 365};
constexpr POINT kCloseBtn{583, 16};

int g_exitCode = INT_MIN;
void RecordExit(int code) { g_exitCode = code; }

class CompleteWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pagetest::InitHeadlessPages();
    g_exitCode = INT_MIN;
    CompleteWnd::SetExitForTest(&RecordExit);
    m_page = CompleteWnd::GetInstance();
    m_hwnd = m_page->Create(nullptr, L"Tarvolen云电脑安装程序", SkinUI::kPageStyle, WS_EX_WINDOWEDGE);
    m_page->CenterOnOwner();
    m_pump.Watch(m_hwnd);
  }
  void TearDown() override {
    CompleteWnd::DestroyInstance();
    CompleteWnd::SetExitForTest(nullptr);
  }
  // Runs the page's own modal loop; a guard ends it with 77 after 3 s.
  int RunModalGuarded() {
    std::thread guard([hwnd = m_hwnd] {
      for (int i = 0; i < 300 && platform::IsWindow(hwnd); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      platform::PostMessageW(hwnd, WM_CLOSE, 77, 0);
    });
    const int code = m_page->RunModal();
    guard.join();
    return code;
  }

  testsupport::ScratchEnv m_env;
  CompleteWnd* m_page = nullptr;
  HWND m_hwnd = nullptr;
  pagetest::Pump m_pump;
};

TEST_F(CompleteWndTest, StartButtonClosesWithEight) {
  ASSERT_TRUE(m_hwnd);
  EXPECT_EQ(m_page->Manager().ControlByName(L"note")->Text(), L"安装完成");
  ASSERT_TRUE(m_pump.UntilPainted());
  platform::headless::Click(m_hwnd, kStart.x, kStart.y);
  EXPECT_EQ(RunModalGuarded(), IDCLOSE);
  EXPECT_EQ(g_exitCode, INT_MIN);
}

TEST_F(CompleteWndTest, EscapeClosesWithOne) {
  ASSERT_TRUE(m_pump.UntilPainted());
  platform::headless::Key(m_hwnd, VK_ESCAPE);
  EXPECT_EQ(RunModalGuarded(), 1);
}

// Return acts on the focused button, which must be "start": the close button
// would end the installer without starting the client.
TEST_F(CompleteWndTest, ReturnStartsInsteadOfEndingTheProcess) {
  ASSERT_TRUE(m_pump.UntilPainted());
  platform::headless::Key(m_hwnd, VK_RETURN);
  EXPECT_EQ(RunModalGuarded(), IDCLOSE);
  EXPECT_EQ(g_exitCode, INT_MIN);
}

TEST_F(CompleteWndTest, CloseButtonEndsTheProcessWithZero) {
  ASSERT_TRUE(m_pump.UntilPainted());
  platform::headless::Click(m_hwnd, kCloseBtn.x, kCloseBtn.y);
  EXPECT_TRUE(m_pump.Until([] { return g_exitCode != INT_MIN; }, 3000));
  EXPECT_EQ(g_exitCode, 0);
  // The stand-in exit returned: nothing else closed the page.
  EXPECT_TRUE(platform::IsWindow(m_hwnd));
}

}  // namespace
