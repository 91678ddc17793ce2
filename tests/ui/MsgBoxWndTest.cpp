// The skinned message box: text with doubled line breaks, caption, buttons by
// type, the size taken from the text, and the codes its buttons close with.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Text.h"
#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"
#include "support/ScratchEnv.h"
#include "ui/controls/ControlUI.h"
#include "ui/utils/MsgBoxWnd.h"
#include "ui/utils/SkinResources.h"

namespace {

using namespace SkinUI;
namespace hl = platform::headless;

const char kBoxXml[] =
    "<Window size=\"300,200\"><VerticalLayout bkcolor=\"#FFFFFFFF\">"
    "<Label name=\"LabelTitle\" float=\"true\" pos=\"10,5,200,25\"/>"
    "<Control name=\"CtrlIcon\" float=\"true\" pos=\"20,40,52,200\"/>"
    "<Label name=\"TextContent\" float=\"true\" pos=\"70,40,190,80\"/>"
    "<Button name=\"BtnOk\" float=\"true\" pos=\"10,90,60,120\" text=\"OK\"/>"
    "<Button name=\"BtnCancel\" float=\"true\" pos=\"70,90,130,120\" text=\"Cancel\"/>"
    "<Button name=\"closebtn\" float=\"true\" pos=\"170,0,195,20\"/>"
    "</VerticalLayout></Window>";

class Box : public CMsgBoxWnd {
 public:
  using CMsgBoxWnd::CMsgBoxWnd;
  CControlUI* Find(const wchar_t* name) { return m_pm.ControlByName(name); }
};

class MsgBoxWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::SetWindowBackend(platform::WindowBackend::Headless));
    ResetSkinResourcesForTest();
    const std::string dir = env.Path("skin");
    std::filesystem::create_directories(dir);
    testsupport::WriteFile(dir + "/MsgBoxWnd.xml", kBoxXml);
    SetResourceFolder(platform::Utf8ToWide(dir).c_str());
  }
  // Runs the box; `act` injects input once it is built. A timer ends a box that hangs.
  static int Run(Box& box, void (*act)(HWND)) {
    if (!box.Create(nullptr, L"SkinUI", WS_POPUP, 0)) return -100;
    box.ShowWindow();
    platform::UpdateWindow(box.GetHWND());  // laid out before the input comes
    act(box.GetHWND());
    static HWND victim;
    victim = box.GetHWND();
    UINT_PTR reaper = platform::SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) {
      ADD_FAILURE() << "box did not close";
      platform::DestroyWindow(victim);
    });
    const int r = box.RunModal();
    platform::KillTimer(nullptr, reaper);
    return r;
  }
  testsupport::ScratchEnv env;
};

TEST_F(MsgBoxWndTest, TypeOneDoublesLineBreaksAndCancelGivesTwo) {
  CControlUI *text = nullptr, *cancel = nullptr, *title = nullptr, *ok = nullptr;
  Box again(L"first\r\nsecond", L"标题", 1);
  ASSERT_NE(again.Create(nullptr, L"SkinUI", WS_POPUP, 0), nullptr);
  text = again.Find(L"TextContent");
  cancel = again.Find(L"BtnCancel");
  ok = again.Find(L"BtnOk");
  title = again.Find(L"LabelTitle");
  ASSERT_TRUE(text && cancel && ok && title);
  EXPECT_EQ(text->Text(), L"first\r\n\r\nsecond");
  EXPECT_EQ(title->Text(), L"标题");
  EXPECT_TRUE(cancel->IsVisible());
  EXPECT_EQ(cancel->Text(), L"取消");
  EXPECT_EQ(ok->Text(), L"确定");
  RECT rc;
  platform::GetClientRect(again.GetHWND(), &rc);
  const SIZE sz = text->Measure(SIZE{1000, 1000});
  EXPECT_EQ(rc.right, std::max(200, static_cast<int>(sz.cx) + 130));
  EXPECT_EQ(rc.bottom, sz.cy + 130);
  platform::DestroyWindow(again.GetHWND());
}

TEST_F(MsgBoxWndTest, ButtonsCloseWithTheirCodes) {
  struct Case {
    int type;
    void (*act)(HWND);
    int expected;
  } cases[] = {
      {1, [](HWND h) { hl::Click(h, 100, 105); }, 2},
      {1, [](HWND h) { hl::Key(h, VK_RETURN); }, 1},  // the OK button has the focus
      {0, [](HWND h) { hl::Click(h, 182, 10); }, IDCLOSE},
  };
  for (const Case& c : cases) {
    Box box(L"text", L"caption", c.type);
    EXPECT_EQ(Run(box, c.act), c.expected) << "type " << c.type;
  }
  Box single(L"text", L"caption", 0);
  ASSERT_NE(single.Create(nullptr, L"SkinUI", WS_POPUP, 0), nullptr);
  EXPECT_FALSE(single.Find(L"BtnCancel")->IsVisible());
  EXPECT_EQ(single.Find(L"BtnOk")->Text(), L"OK");
}

}  // namespace
