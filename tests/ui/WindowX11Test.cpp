// A page on the X11 back end, on a private Xvfb driven by xdotool: the
// borderless window appears where it was asked for with its rounded shape, a
// drag in the caption moves it, and clicks and typed text reach its controls.
#include <gtest/gtest.h>

#include "platform/window/NativeWindow.h"
#include "tests/platform_window/XvfbHarness.h"
#include "ui/controls/ControlUI.h"
#include "ui/core/WindowImplBase.h"
#include "ui/utils/SkinResources.h"

namespace {

using namespace SkinUI;

class X11Page : public WindowImplBase {
 public:
  std::wstring typed;

 protected:
  const wchar_t* WindowClassName() const override { return L"X11Page"; }
  std::wstring SkinFolder() override { return L""; }
  std::wstring SkinFileName() override {
    return L"<Window size=\"400,300\" caption=\"0,0,0,60\" roundcorner=\"12,12\">"
           L"<VerticalLayout bkcolor=\"#FF1E64C8\">"
           L"<Edit name=\"name\" float=\"true\" pos=\"20,100,300,130\" bkcolor=\"#FFFFFFFF\"/>"
           L"<Button name=\"go\" float=\"true\" pos=\"20,200,160,240\" bkcolor=\"#FFC83232\" text=\"Go\"/>"
           L"</VerticalLayout></Window>";
  }
  void OnClick(UINotification& msg) override {
    if (msg.sender && msg.sender->Name() == L"go") {
      typed = m_pm.ControlByName(L"name")->Text();
      Close(typed == L"hello安装" ? 3 : 4);
      return;
    }
    WindowImplBase::OnClick(msg);
  }
};

TEST(X11PageScenario, DISABLED_Page) {
  ASSERT_TRUE(xtest::InChild());
  ResetSkinResourcesForTest();
  SetResourceFolder(L"/nonexistent/");
  X11Page page;
  ASSERT_NE(page.Create(nullptr, L"安装程序", kPageStyle, WS_EX_WINDOWEDGE, 200, 150), nullptr);
  page.ShowWindow();
  platform::UpdateWindow(page.GetHWND());
  static HWND s_page;
  s_page = page.GetHWND();
  // Reports once the first frame is up, and ends a loop that runs too long.
  UINT_PTR shown = platform::SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
    platform::KillTimer(nullptr, id);
    xtest::Report("shown");
  });
  UINT_PTR reaper = platform::SetTimer(nullptr, 0, 30000, [](HWND, UINT, UINT_PTR, DWORD) {
    ADD_FAILURE() << "page loop did not end";
    platform::DestroyWindow(s_page);
  });
  const int code = page.RunModal();
  platform::KillTimer(nullptr, shown);
  platform::KillTimer(nullptr, reaper);
  xtest::Report("typed " + std::to_string(page.typed.size()));
  EXPECT_EQ(code, 3);
}

TEST(WindowX11Test, BorderlessPageMovesByItsCaptionAndTakesClicksAndText) {
  xtest::Xvfb x;
  if (!xtest::HaveTool("Xvfb") || !xtest::HaveTool("xdotool") || !x.Ok()) GTEST_SKIP() << "Xvfb or xdotool missing";
  xtest::Child child(x, "X11PageScenario.DISABLED_Page");
  ASSERT_EQ(child.ReadLine(15000), "shown");
  ASSERT_TRUE(x.Screenshot("x11-page-before.png"));
  EXPECT_EQ(xtest::Xvfb::PixelOf("x11-page-before.png", 300, 170), "30,100,200");
  EXPECT_EQ(xtest::Xvfb::PixelOf("x11-page-before.png", 200, 150), "0,0,0") << "rounded corner";
  EXPECT_EQ(xtest::Xvfb::PixelOf("x11-page-before.png", 199, 200), "0,0,0") << "placed at 200,150";
  EXPECT_EQ(xtest::Xvfb::PixelOf("x11-page-before.png", 300, 260), "255,255,255") << "the edit";
  // Drag by the caption: 80 right, 50 down.
  x.Cmd("xdotool mousemove 300 170 mousedown 1 sleep 0.1 mousemove 340 190 sleep 0.1 mousemove 380 220 sleep 0.1 "
        "mouseup 1");
  // The move is drawn when the page gets to it: look again for up to 3 s.
  for (int i = 0; i < 30; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(x.Screenshot("x11-page-moved.png"));
    if (xtest::Xvfb::PixelOf("x11-page-moved.png", 380, 310) == "255,255,255") break;
  }
  EXPECT_EQ(xtest::Xvfb::PixelOf("x11-page-moved.png", 260, 170), "0,0,0");
  EXPECT_EQ(xtest::Xvfb::PixelOf("x11-page-moved.png", 380, 310), "255,255,255") << "the edit, moved";
  // Into the edit, type, then press the button.
  x.Cmd("xdotool mousemove 430 315 click 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the editor opens
  x.Cmd("xdotool type --delay 30 hello");
  x.Cmd("xdotool type --delay 60 安装");
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  ASSERT_TRUE(x.Screenshot("x11-page-typed.png"));
  x.Cmd("xdotool mousemove 370 420 click 1");
  EXPECT_EQ(child.ReadLine(10000), "typed 7");
  EXPECT_EQ(child.Wait(10000), 0);
}

}  // namespace
