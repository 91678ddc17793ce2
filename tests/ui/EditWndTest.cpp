// The editor window over an Edit control, driven by synthetic input inside a
// page's modal loop: opening on a click with everything selected, typing,
// keys, the clipboard, limits, read-only, Return and Tab, composition input,
// and the end of editing when the focus goes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"
#include "ui/controls/EditUI.h"
#include "ui/controls/EditWnd.h"
#include "ui/core/WindowImplBase.h"
#include "ui/utils/SkinResources.h"

namespace {

using namespace SkinUI;
namespace hl = platform::headless;

class EditPage : public WindowImplBase {
 public:
  std::vector<std::wstring> changes;  // text of "e" at each "textchanged"
  int returns = 0;

  SKINUI_DECLARE_NOTIFY_MAP(EditPage)

 public:
  void OnTextChanged(UINotification& msg) { changes.push_back(msg.sender->Text()); }
  void OnReturn(UINotification&) { ++returns; }
  CEditUI* Edit(const wchar_t* name) { return static_cast<CEditUI*>(m_pm.ControlByName(name)); }

 protected:
  const wchar_t* WindowClassName() const override { return L"EditPage"; }
  std::wstring SkinFolder() override { return L""; }
  std::wstring SkinFileName() override {
    return L"<Window size=\"400,300\"><VerticalLayout bkcolor=\"#FFEEEEEE\">"
           L"<Edit name=\"e\" float=\"true\" pos=\"20,20,220,50\" maxchar=\"8\"/>"
           L"<Edit name=\"ro\" float=\"true\" pos=\"20,80,220,110\" readonly=\"true\" text=\"fixed\"/>"
           L"<Edit name=\"pw\" float=\"true\" pos=\"20,140,220,170\" password=\"true\"/>"
           L"<Button name=\"b\" float=\"true\" pos=\"20,200,120,240\"/>"
           L"</VerticalLayout></Window>";
  }
};

SKINUI_BEGIN_NOTIFY_MAP(EditPage, WindowImplBase)
SKINUI_ON_NOTIFY(L"textchanged", L"e", OnTextChanged)
SKINUI_ON_NOTIFY(L"return", L"e", OnReturn)
SKINUI_END_NOTIFY_MAP()

// Steps run one per timer tick inside the modal loop: input injected by one
// step has been handled when the next one runs.
struct Script {
  static inline std::vector<std::function<void()>> steps;
  static inline size_t next = 0;
  static inline HWND page = nullptr;
  UINT_PTR id;
  Script(HWND hwnd, std::vector<std::function<void()>> s) {
    steps = std::move(s);
    next = 0;
    page = hwnd;
    id = platform::SetTimer(nullptr, 0, 25, [](HWND, UINT, UINT_PTR, DWORD) {
      if (next < steps.size()) {
        steps[next++]();
      } else if (next++ > steps.size() + 200) {
        ADD_FAILURE() << "script ended but the page did not close";
        platform::DestroyWindow(page);
      }
    });
  }
  ~Script() { platform::KillTimer(nullptr, id); }
};

class EditWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::SetWindowBackend(platform::WindowBackend::Headless));
    ResetSkinResourcesForTest();
    SetResourceFolder(L"/nonexistent/");
    ASSERT_NE(page.Create(nullptr, L"edit", kPageStyle, 0), nullptr);
    hwnd = page.GetHWND();
    page.ShowWindow();
    platform::UpdateWindow(hwnd);
    // The tree outlives the window, but its names are forgotten when the window goes.
    e = page.Edit(L"e");
    ro = page.Edit(L"ro");
    pw = page.Edit(L"pw");
    ASSERT_TRUE(e && ro && pw);
  }
  void Type(const std::wstring& text) {
    for (wchar_t ch : text) hl::Key(hwnd, 0xE5, std::wstring(1, ch));
  }
  void Ctrl(UINT vk) { hl::Key(hwnd, vk, std::wstring(1, static_cast<wchar_t>(vk - 'A' + 1)), MK_CONTROL); }
  int Run(std::vector<std::function<void()>> steps) {
    steps.push_back([this] { page.Close(1); });
    Script script(hwnd, std::move(steps));
    return page.RunModal();
  }
  EditPage page;
  HWND hwnd = nullptr;
  CEditUI* e = nullptr;
  CEditUI* ro = nullptr;
  CEditUI* pw = nullptr;
};

TEST_F(EditWndTest, ClickOpensTheEditorAndTypingChangesTheText) {
  IEditWindowUI* editor = nullptr;
  EXPECT_EQ(Run({
                [&] { hl::Click(hwnd, 100, 35); },
                [&] {
                  editor = e->EditWindow();
                  ASSERT_NE(editor, nullptr);
                  EXPECT_NE(platform::GetFocus(), hwnd);
                  Type(L"hello");
                },
                [&] { EXPECT_EQ(e->Text(), L"hello"); hl::Key(hwnd, VK_HOME); hl::Key(hwnd, VK_DELETE); },
                [&] { hl::Key(hwnd, VK_END); hl::Key(hwnd, VK_BACK); },
                [&] { hl::Key(hwnd, VK_HOME); hl::Key(hwnd, VK_RIGHT, L"", MK_SHIFT); hl::Key(hwnd, VK_RIGHT, L"", MK_SHIFT); },
                [&] { Type(L"X"); },  // replaces the selection "el"
                [&] { hl::CommitText(hwnd, L"安装"); },
                [&] { hl::Key(hwnd, VK_RETURN); },
            }),
            1);
  EXPECT_EQ(e->Text(), L"X安装l");  // composition goes in at the caret
  ASSERT_GE(page.changes.size(), 5u);
  EXPECT_EQ(page.changes[0], L"h");
  EXPECT_EQ(page.changes[4], L"hello");
  EXPECT_EQ(page.changes.back(), L"X安装l");
  EXPECT_EQ(page.returns, 1);
}

TEST_F(EditWndTest, ClipboardLimitAndSelectAllOnClick) {
  Run({
      [&] { hl::Click(hwnd, 100, 35); },
      [&] { Type(L"abcd"); },
      [&] { Ctrl('A'); Ctrl('C'); hl::Key(hwnd, VK_END); Ctrl('V'); },
      [&] { EXPECT_EQ(e->Text(), L"abcdabcd"); Type(L"zz"); },  // the limit is 8
      [&] { EXPECT_EQ(e->Text(), L"abcdabcd"); Ctrl('A'); Ctrl('X'); },
      [&] { EXPECT_EQ(e->Text(), L""); Ctrl('V'); },
      // Leaving and clicking the field again opens it with everything selected.
      [&] { hl::Click(hwnd, 300, 280); },
      [&] { EXPECT_EQ(e->EditWindow(), nullptr); hl::Click(hwnd, 100, 35); },
      [&] { Type(L"q"); },
  });
  EXPECT_EQ(e->Text(), L"q");
}

TEST_F(EditWndTest, ReadOnlyAndPasswordFields) {
  std::wstring clip = L"untouched";
  Run({
      [&] { platform::SetClipboardText(hwnd, clip); hl::Click(hwnd, 100, 95); },
      [&] { ASSERT_NE(ro->EditWindow(), nullptr); Type(L"abc"); hl::Key(hwnd, VK_BACK); },
      [&] { EXPECT_EQ(ro->Text(), L"fixed"); hl::Click(hwnd, 100, 155); },
      [&] { Type(L"s3cret"); Ctrl('A'); Ctrl('C'); },
  });
  EXPECT_EQ(pw->Text(), L"s3cret");
  std::wstring now;
  ASSERT_TRUE(platform::GetClipboardText(nullptr, &now));
  EXPECT_EQ(now, clip) << "a password is never copied";
}

TEST_F(EditWndTest, EditingEndsWhenTheFocusGoesAndTabIsTheWindowsKey) {
  Run({
      [&] { hl::Click(hwnd, 100, 35); },
      [&] { ASSERT_NE(e->EditWindow(), nullptr); Type(L"x"); hl::Key(hwnd, VK_TAB, L"\t"); },
      [&] {
        // Tab moved the focus on: the editor of "e" has ended, without a tab typed.
        EXPECT_EQ(e->EditWindow(), nullptr);
        EXPECT_EQ(e->Text(), L"x");
        hl::Click(hwnd, 100, 35);
      },
      [&] { ASSERT_NE(e->EditWindow(), nullptr); hl::Click(hwnd, 300, 280); },
      [&] { EXPECT_EQ(e->EditWindow(), nullptr); },
  });
}

}  // namespace
