// Pages on the headless window layer: close codes of the modal loop, the
// cross-thread call and the closing flag, "windowinit" ordering, caption
// hit-testing, round corners, timers, two UI threads and the skin failure path.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "platform/window/Dialogs.h"
#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"
#include "ui/controls/ControlUI.h"
#include "ui/core/WindowImplBase.h"
#include "ui/utils/SkinResources.h"

namespace {

using namespace SkinUI;
using namespace std::chrono_literals;
namespace hl = platform::headless;

const wchar_t kPageXml[] =
    L"<Window size=\"600,422\" caption=\"0,0,0,312\" roundcorner=\"4,4\">"
    L"<VerticalLayout name=\"root\" bkcolor=\"#FF2060A0\">"
    L"<GifAnim name=\"anim\" float=\"true\" pos=\"150,50,450,250\"/>"
    L"<Button name=\"closebtn\" float=\"true\" pos=\"570,4,596,28\"/>"
    L"<Button name=\"closefive\" float=\"true\" pos=\"20,360,120,400\"/>"
    L"<Control name=\"plain\" float=\"true\" pos=\"200,330,400,370\"/>"
    L"</VerticalLayout></Window>";

class TestPage : public WindowImplBase {
 public:
  std::wstring xml = kPageXml;
  int windowInits = 0;
  int presentsAtInit = -1;
  int rootWidthAtInit = -1;
  std::vector<std::wstring> clicks;
  std::function<void(TestPage&)> onCloseFive;
  std::vector<unsigned> nativeTimers;
  std::vector<uintptr_t> timerNotes;

  SKINUI_DECLARE_NOTIFY_MAP(TestPage)

 public:
  void OnWindowInit(UINotification&) {
    ++windowInits;
    presentsAtInit = hl::PresentCount(GetHWND());
    rootWidthAtInit = m_pm.Root() ? m_pm.Root()->Width() : -1;
  }
  void OnTimerNote(UINotification& msg) { timerNotes.push_back(msg.wParam); }
  bool SetNativeTimer(unsigned id, unsigned ms) override {
    nativeTimers.push_back(id);
    return WindowImplBase::SetNativeTimer(id, ms);
  }

 protected:
  const wchar_t* WindowClassName() const override { return L"TestPage"; }
  std::wstring SkinFolder() override { return L""; }
  std::wstring SkinFileName() override { return xml; }
  void OnClick(UINotification& msg) override {
    const std::wstring name = msg.sender ? msg.sender->Name() : L"";
    clicks.push_back(name);
    if (name == L"closefive" && onCloseFive) {
      onCloseFive(*this);
      return;
    }
    WindowImplBase::OnClick(msg);
  }
};

SKINUI_BEGIN_NOTIFY_MAP(TestPage, WindowImplBase)
SKINUI_ON_NOTIFY(L"windowinit", L"", OnWindowInit)
SKINUI_ON_NOTIFY(L"timer", L"", OnTimerNote)
SKINUI_END_NOTIFY_MAP()

// Destroys the page if its loop runs too long, failing the test.
struct Reaper {
  static inline thread_local std::vector<HWND>* victims = nullptr;  // timers run on their own thread
  UINT_PTR id;
  std::vector<HWND> list;
  Reaper(std::initializer_list<HWND> windows, int ms = 5000) : list(windows) {
    victims = &list;
    id = platform::SetTimer(nullptr, 0, static_cast<UINT>(ms), [](HWND, UINT, UINT_PTR, DWORD) {
      ADD_FAILURE() << "modal loop did not end in time";
      for (HWND h : *victims) platform::DestroyWindow(h);
    });
  }
  ~Reaper() { platform::KillTimer(nullptr, id); }
};

class WindowImplBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::SetWindowBackend(platform::WindowBackend::Headless));
    ResetSkinResourcesForTest();
    SetResourceFolder(L"/nonexistent/");
  }
  // Creates, shows and paints once, so the tree is laid out before input comes.
  static void Open(TestPage& page) {
    ASSERT_NE(page.Create(nullptr, L"page", kPageStyle, WS_EX_WINDOWEDGE), nullptr);
    page.CenterOnOwner();
    page.ShowWindow();
    platform::UpdateWindow(page.GetHWND());
  }
};

TEST_F(WindowImplBaseTest, CloseCodesOfTheModalLoop) {
  struct Case {
    const char* what;
    std::function<void(TestPage&)> act;
    int expected;
  } cases[] = {
      {"closebtn", [](TestPage& p) { hl::Click(p.GetHWND(), 583, 16); }, IDCLOSE},
      {"Escape", [](TestPage& p) { hl::Key(p.GetHWND(), VK_ESCAPE); }, 1},
      // The default key handler ignores Return; the focused button (the first
      // focusable control, here the close button) takes it.
      {"Return", [](TestPage& p) { hl::Key(p.GetHWND(), VK_RETURN); }, IDCLOSE},
      {"title-bar close", [](TestPage& p) { hl::RequestClose(p.GetHWND()); }, 0},
      {"Alt+F4", [](TestPage& p) { hl::Key(p.GetHWND(), VK_F4, L"", hl::kAlt); }, 0},
      {"Close(5) from a handler", [](TestPage& p) {
         p.onCloseFive = [](TestPage& page) { page.Close(5); };
         hl::Click(p.GetHWND(), 60, 380);
       }, 5},
  };
  for (const Case& c : cases) {
    TestPage page;
    Open(page);
    c.act(page);
    Reaper reaper({page.GetHWND()});
    EXPECT_EQ(page.RunModal(), c.expected) << c.what;
    EXPECT_EQ(page.GetHWND(), nullptr) << c.what;
  }
}

TEST_F(WindowImplBaseTest, RunModalWithoutAWindowReturnsAtOnce) {
  TestPage page;
  EXPECT_EQ(page.RunModal(), 0);
}

struct CallLog {
  std::atomic<int> runs{0};
  std::atomic<int> freed{0};
  std::thread::id thread;
};

struct LoggedCall : UICallT<CWindowWnd> {
  CallLog* log;
  int closeWith;
  LoggedCall(CallLog* l, int code) : log(l), closeWith(code) {}
  ~LoggedCall() override { log->freed++; }
  bool Run(CWindowWnd& w) override {
    log->runs++;
    log->thread = std::this_thread::get_id();
    if (closeWith) w.Close(closeWith);
    return false;  // the result does not matter
  }
};

TEST_F(WindowImplBaseTest, CrossThreadCallRunsOnceOnTheUiThreadAndIsFreed) {
  TestPage page;
  Open(page);
  CallLog log;
  std::thread worker([&] { EXPECT_TRUE(page.PostUICall("Finish", std::make_unique<LoggedCall>(&log, 3))); });
  worker.join();
  Reaper reaper({page.GetHWND()});
  EXPECT_EQ(page.RunModal(), 3);
  EXPECT_EQ(log.runs.load(), 1);
  EXPECT_EQ(log.freed.load(), 1);
  EXPECT_EQ(log.thread, std::this_thread::get_id());
}

TEST_F(WindowImplBaseTest, CallsAfterCloseAreRefusedAndQueuedOnesDropped) {
  TestPage page;
  Open(page);
  CallLog queued, late;
  bool lateAccepted = true;
  page.onCloseFive = [&](TestPage& p) {
    EXPECT_TRUE(p.PostUICall("Queued", std::make_unique<LoggedCall>(&queued, 0)));
    p.Close(5);
    lateAccepted = p.PostUICall("Late", std::make_unique<LoggedCall>(&late, 0));
  };
  hl::Click(page.GetHWND(), 60, 380);
  Reaper reaper({page.GetHWND()});
  EXPECT_EQ(page.RunModal(), 5);
  EXPECT_FALSE(lateAccepted);
  EXPECT_EQ(queued.runs.load(), 0);
  EXPECT_EQ(queued.freed.load(), 1);
  EXPECT_EQ(late.runs.load(), 0);
  EXPECT_EQ(late.freed.load(), 1);
  // The window is gone: posting still refuses and frees.
  EXPECT_FALSE(page.PostUICall("Gone", std::make_unique<LoggedCall>(&late, 0)));
  EXPECT_EQ(late.freed.load(), 2);
}

TEST_F(WindowImplBaseTest, WindowInitComesOnceAfterLayoutBeforeTheFirstFrame) {
  TestPage page;
  Open(page);
  platform::InvalidateRect(page.GetHWND(), nullptr, false);
  platform::UpdateWindow(page.GetHWND());
  EXPECT_EQ(page.windowInits, 1);
  EXPECT_EQ(page.presentsAtInit, 0);
  EXPECT_EQ(page.rootWidthAtInit, 600);
  EXPECT_GE(hl::PresentCount(page.GetHWND()), 2);
  hl::Image img;
  ASSERT_TRUE(hl::CaptureWindow(page.GetHWND(), &img));
  EXPECT_EQ(img.width, 600);
  EXPECT_EQ(img.height, 422);
  EXPECT_EQ(img.At(300, 200) & 0xFFFFFF, 0x2060A0u);
  EXPECT_EQ(img.At(0, 0), 0u) << "round corner";
  EXPECT_NE(img.At(1, 0), 0u);
  if (const char* dir = std::getenv("INSTALLER_BINARY_DIR")) {
    const std::string out = std::string(dir) + "/artefacts";
    std::filesystem::create_directories(out);
    hl::SavePng(img, out + "/headless-page.png");
  }
}

TEST_F(WindowImplBaseTest, CaptionHitTestTable) {
  TestPage page;
  Open(page);
  RECT rc;
  platform::GetWindowRect(page.GetHWND(), &rc);
  struct Case {
    int x, y;
    LRESULT hit;
  } cases[] = {{300, 100, HTCAPTION},  // the animated image
               {583, 16, HTCLIENT},   // the close button
               {300, 350, HTCLIENT},  // below the caption
               {10, 10, HTCAPTION},   // the root layout itself
               {300, 311, HTCAPTION}, {300, 312, HTCLIENT}};
  for (const Case& c : cases) {
    const LRESULT hit =
        platform::SendMessageW(page.GetHWND(), WM_NCHITTEST, 0, MAKELPARAM(rc.left + c.x, rc.top + c.y));
    EXPECT_EQ(hit, c.hit) << c.x << "," << c.y;
  }
}

TEST_F(WindowImplBaseTest, CaptionDragMovesThePage) {
  TestPage page;
  Open(page);
  RECT before, after;
  platform::GetWindowRect(page.GetHWND(), &before);
  hl::InjectMouse(page.GetHWND(), hl::Mouse::LeftDown, 300, 100);
  hl::InjectMouse(page.GetHWND(), hl::Mouse::Move, 340, 130);
  MSG msg;
  while (platform::PeekMessageW(&msg, true)) {
    platform::TranslateMessage(&msg);
    platform::DispatchMessageW(&msg);
  }
  hl::InjectMouse(page.GetHWND(), hl::Mouse::LeftUp, 300, 100);
  while (platform::PeekMessageW(&msg, true)) {
    platform::TranslateMessage(&msg);
    platform::DispatchMessageW(&msg);
  }
  platform::GetWindowRect(page.GetHWND(), &after);
  EXPECT_EQ(after.left - before.left, 40);
  EXPECT_EQ(after.top - before.top, 30);
  EXPECT_TRUE(page.clicks.empty());
}

TEST_F(WindowImplBaseTest, RoundCornersFollowEveryResize) {
  TestPage page;
  Open(page);
  page.SetClientSize(300, 200);
  platform::WindowRegion rgn;
  ASSERT_TRUE(platform::GetWindowRgn(page.GetHWND(), &rgn));
  EXPECT_EQ(rgn.width, 300);
  EXPECT_EQ(rgn.height, 200);
  EXPECT_FALSE(rgn.Contains(0, 0));
  EXPECT_FALSE(rgn.Contains(299, 199));
  EXPECT_TRUE(rgn.Contains(1, 0));

  TestPage square;
  square.xml = L"<Window size=\"200,100\" roundcorner=\"0,0\"><VerticalLayout/></Window>";
  Open(square);
  EXPECT_FALSE(platform::GetWindowRgn(square.GetHWND(), &rgn));
}

TEST_F(WindowImplBaseTest, ControlTimersCycleNativeIdsAndTick) {
  TestPage page;
  Open(page);
  CControlUI* plain = page.Manager().ControlByName(L"plain");
  ASSERT_NE(plain, nullptr);
  for (int i = 0; i < 256; ++i) {
    ASSERT_TRUE(page.Manager().StartTimer(plain, 1000 + static_cast<unsigned>(i), 100000)) << i;
    page.Manager().StopTimers(plain);
  }
  ASSERT_EQ(page.nativeTimers.size(), 256u);
  EXPECT_EQ(page.nativeTimers[0], 17u);
  EXPECT_EQ(page.nativeTimers[254], page.nativeTimers[0]) << "ids cycle modulo 255";
  for (unsigned id : page.nativeTimers) {
    EXPECT_GE(id, 1u);
    EXPECT_LE(id, 254u);
  }
  // A live timer reaches the page as "timer" through the native queue.
  ASSERT_TRUE(page.Manager().StartTimer(plain, 7, 15));
  page.onCloseFive = nullptr;
  UINT_PTR closer = platform::SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) {
    if (HWND h = platform::FindWindowW(L"TestPage", nullptr)) platform::PostMessageW(h, WM_CLOSE, 9, 0);
  });
  Reaper reaper({page.GetHWND()});
  EXPECT_EQ(page.RunModal(), 9);
  platform::KillTimer(nullptr, closer);
  ASSERT_FALSE(page.timerNotes.empty());
  EXPECT_EQ(page.timerNotes.front(), 7u);
}

TEST_F(WindowImplBaseTest, TwoUiThreadsRunModalLoopsSideBySide) {
  TestPage mainPage;
  Open(mainPage);
  std::promise<TestPage*> workerPage;
  std::atomic<int> workerResult{-1};
  std::thread worker([&] {
    TestPage page;
    Open(page);
    workerPage.set_value(&page);
    Reaper reaper({page.GetHWND()});
    workerResult = page.RunModal();
    // The worker's page is done while the main loop still runs: close it from here.
    mainPage.PostUICall("CloseMain", [](CWindowWnd& w) {
      w.Close(4);
      return true;
    });
  });
  TestPage* other = workerPage.get_future().get();
  // The main page's loop tells the worker's page to end.
  mainPage.PostUICall("CloseWorker", [other](CWindowWnd&) {
    other->PostUICall("Close7", [](CWindowWnd& w) {
      w.Close(7);
      return true;
    });
    return true;
  });
  Reaper reaper({mainPage.GetHWND()});
  EXPECT_EQ(mainPage.RunModal(), 4);
  worker.join();
  EXPECT_EQ(workerResult.load(), 7);
}

TEST_F(WindowImplBaseTest, WorkerSendToAPageThatIsGoneReturns) {
  HWND gone = nullptr;
  {
    TestPage page;
    Open(page);
    gone = page.GetHWND();
    page.Close(2);
    Reaper reaper({page.GetHWND()});
    EXPECT_EQ(page.RunModal(), 2);
  }
  auto sent = std::async(std::launch::async, [gone] { return platform::SendMessageW(gone, WM_USER + 77, 0, 0); });
  ASSERT_EQ(sent.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(sent.get(), 0);
}

int g_exitCode = -1;

TEST_F(WindowImplBaseTest, SkinThatCannotBeBuiltEndsWithCodeOne) {
  WindowImplBase::SetSkinFailureExitForTest([](int code) { g_exitCode = code; });
  int boxes = 0;
  hl::SetMessageBoxAnswer([&](const std::wstring& text, const std::wstring& caption, unsigned) {
    ++boxes;
    EXPECT_EQ(text, L"加载资源文件失败");
    EXPECT_EQ(caption, L"SkinUI");
    return IDOK;
  });
  platform::InstallWindowMessageBox();
  TestPage page;
  page.xml = L"missing-skin.xml";
  g_exitCode = -1;
  page.Create(nullptr, L"page", kPageStyle, 0);
  EXPECT_EQ(g_exitCode, 1);
  EXPECT_EQ(boxes, 1) << "the skinned box has no skin either; the user still gets told";
  WindowImplBase::SetSkinFailureExitForTest(nullptr);
  hl::SetMessageBoxAnswer(nullptr);
}

}  // namespace
