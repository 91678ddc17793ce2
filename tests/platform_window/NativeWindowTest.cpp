// The native window layer on its headless back end: queues across threads,
// sends to windows that go away, timers, regions, the input pipeline
// (hit-testing, caption moves, hover and leave) and the drawn message box.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "platform/window/Dialogs.h"
#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"

namespace {

using namespace std::chrono_literals;

// Per-window behaviour of the test class, reached through GWLP_USERDATA.
struct Probe {
  std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, bool&)> handler;
  std::vector<UINT> seen;
  std::vector<std::pair<UINT, LPARAM>> mouse;
};

LRESULT ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    platform::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                                reinterpret_cast<intptr_t>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  }
  auto* probe = reinterpret_cast<Probe*>(platform::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (probe) {
    probe->seen.push_back(msg);
    if (msg >= WM_MOUSEMOVE && msg <= WM_MOUSEWHEEL) probe->mouse.emplace_back(msg, lParam);
    if (msg == WM_MOUSELEAVE || msg == WM_MOUSEHOVER) probe->mouse.emplace_back(msg, lParam);
    if (probe->handler) {
      bool handled = false;
      LRESULT r = probe->handler(hwnd, msg, wParam, lParam, handled);
      if (handled) return r;
    }
  }
  return platform::DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakeWindow(Probe* probe, int x = 100, int y = 100, int w = 300, int h = 200, UINT classStyle = CS_DBLCLKS,
                HWND parent = nullptr, DWORD style = WS_POPUP) {
  WNDCLASSW wc;
  wc.style = classStyle;
  wc.lpfnWndProc = ProbeProc;
  wc.lpszClassName = classStyle & CS_DBLCLKS ? L"ProbeDbl" : L"Probe";
  platform::RegisterClassW(wc);
  return platform::CreateWindowExW(0, wc.lpszClassName, L"probe", style, x, y, w, h, parent, probe);
}

// Serves this thread's messages until `done` or the time is up.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MSG msg;
    if (platform::GetMessageTimeout(&msg, 20)) {
      platform::TranslateMessage(&msg);
      platform::DispatchMessageW(&msg);
    }
  }
  return true;
}

void PumpIdle() {
  MSG msg;
  while (platform::PeekMessageW(&msg, true)) {
    platform::TranslateMessage(&msg);
    platform::DispatchMessageW(&msg);
  }
}

class NativeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::SetWindowBackend(platform::WindowBackend::Headless)); }
};

TEST_F(NativeWindowTest, SendRunsOnTheOwningThreadAndGoneWindowsAnswerAtOnce) {
  std::promise<HWND> made;
  std::atomic<bool> stop{false};
  std::thread::id uiThread;
  Probe probe;
  probe.handler = [&](HWND, UINT msg, WPARAM w, LPARAM, bool& handled) -> LRESULT {
    if (msg != WM_USER + 1) return 0;
    handled = true;
    uiThread = std::this_thread::get_id();
    return static_cast<LRESULT>(w * 2);
  };
  std::thread ui([&] {
    HWND hwnd = MakeWindow(&probe);
    made.set_value(hwnd);
    PumpUntil([&] { return stop.load(); }, 10000ms);
    platform::DestroyWindow(hwnd);
  });
  HWND hwnd = made.get_future().get();
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(platform::SendMessageW(hwnd, WM_USER + 1, 21, 0), 42);
  EXPECT_EQ(uiThread, ui.get_id());
  stop = true;
  ui.join();
  EXPECT_FALSE(platform::IsWindow(hwnd));
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::SendMessageW(hwnd, WM_USER + 1, 21, 0), 0);
  EXPECT_FALSE(platform::PostMessageW(hwnd, WM_USER + 1, 0, 0));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
}

TEST_F(NativeWindowTest, SendWaitingForAWindowThatIsDestroyedReturns) {
  Probe probe;
  HWND hwnd = MakeWindow(&probe);
  ASSERT_NE(hwnd, nullptr);
  // This thread does not serve messages: the worker's send waits until the window goes.
  auto sent = std::async(std::launch::async, [hwnd] { return platform::SendMessageW(hwnd, WM_USER + 2, 0, 0); });
  EXPECT_EQ(sent.wait_for(200ms), std::future_status::timeout);
  platform::DestroyWindow(hwnd);
  ASSERT_EQ(sent.wait_for(5s), std::future_status::ready) << "send hung on a destroyed window";
  EXPECT_EQ(sent.get(), 0);

  // A page whose destruction joins the thread that is sending to it (the
  // progress page and its worker): the send must be answered when the
  // destruction starts, not when it ends.
  Probe joining;
  HWND page = MakeWindow(&joining);
  ASSERT_NE(page, nullptr);
  std::atomic<bool> sending{false};
  std::thread worker([&] {
    sending = true;
    platform::SendMessageW(page, WM_USER + 2, 0, 0);
  });
  while (!sending) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(100ms);  // the send is queued and waiting
  std::atomic<bool> joined{false};
  joining.handler = [&](HWND, UINT msg, WPARAM, LPARAM, bool&) -> LRESULT {
    if (msg == WM_DESTROY) {
      worker.join();
      joined = true;
    }
    return 0;
  };
  std::thread watchdog([&joined] {
    for (int i = 0; i < 500 && !joined; ++i) std::this_thread::sleep_for(10ms);
    if (!joined) {
      std::fprintf(stderr, "a destruction joining its sender hung (deadlock)\n");
      std::_Exit(1);
    }
  });
  platform::DestroyWindow(page);
  watchdog.join();
  EXPECT_TRUE(joined);
}

TEST_F(NativeWindowTest, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  Probe a, b;
  HWND ha = MakeWindow(&a);
  std::promise<HWND> made;
  std::atomic<bool> stop{false};
  b.handler = [&](HWND, UINT msg, WPARAM, LPARAM, bool& handled) -> LRESULT {
    if (msg != WM_USER + 3) return 0;
    handled = true;
    return platform::SendMessageW(ha, WM_USER + 4, 0, 0) + 1;  // back to the first thread
  };
  a.handler = [&](HWND, UINT msg, WPARAM, LPARAM, bool& handled) -> LRESULT {
    if (msg != WM_USER + 4) return 0;
    handled = true;
    return 10;
  };
  std::thread other([&] {
    HWND hb = MakeWindow(&b);
    made.set_value(hb);
    PumpUntil([&] { return stop.load(); }, 10000ms);
    platform::DestroyWindow(hb);
  });
  HWND hb = made.get_future().get();
  EXPECT_EQ(platform::SendMessageW(hb, WM_USER + 3, 0, 0), 11);
  stop = true;
  other.join();
  platform::DestroyWindow(ha);
}

std::atomic<int> g_dropped{0};
void CountDrop(UINT, WPARAM w, LPARAM) { g_dropped += static_cast<int>(w); }

TEST_F(NativeWindowTest, PostedMessagesOfAGoneWindowReachTheDropHandler) {
  platform::SetPostedDropHandler(WM_USER + 9, &CountDrop);
  Probe probe;
  HWND hwnd = MakeWindow(&probe);
  ASSERT_TRUE(platform::PostMessageW(hwnd, WM_USER + 9, 3, 0));
  ASSERT_TRUE(platform::PostMessageW(hwnd, WM_USER + 9, 4, 0));
  platform::DestroyWindow(hwnd);
  g_dropped = 0;
  PumpIdle();
  EXPECT_EQ(g_dropped.load(), 7);
  EXPECT_EQ(std::count(probe.seen.begin(), probe.seen.end(), WM_USER + 9), 0);
}

TEST_F(NativeWindowTest, TimersFireRearmAndStop) {
  Probe probe;
  HWND hwnd = MakeWindow(&probe);
  int ticks5 = 0, ticks6 = 0;
  probe.handler = [&](HWND, UINT msg, WPARAM w, LPARAM, bool& handled) -> LRESULT {
    if (msg == WM_TIMER) {
      handled = true;
      (w == 5 ? ticks5 : ticks6)++;
    }
    return 0;
  };
  ASSERT_EQ(platform::SetTimer(hwnd, 5, 10, nullptr), 5u);
  ASSERT_EQ(platform::SetTimer(hwnd, 5, 10, nullptr), 5u);  // re-arming keeps one timer
  ASSERT_EQ(platform::SetTimer(hwnd, 6, 10000, nullptr), 6u);
  ASSERT_TRUE(PumpUntil([&] { return ticks5 >= 3; }));
  EXPECT_EQ(ticks6, 0);
  EXPECT_TRUE(platform::KillTimer(hwnd, 5));
  EXPECT_FALSE(platform::KillTimer(hwnd, 5));
  const int before = ticks5;
  PumpUntil([] { return false; }, 80ms);
  EXPECT_EQ(ticks5, before);
  platform::DestroyWindow(hwnd);
}

TEST_F(NativeWindowTest, RoundRectRegionCutsTheCorners) {
  struct Case {
    int w, h, cx, cy, cutPerCorner;
  } cases[] = {{600, 422, 4, 4, 1}, {100, 50, 0, 0, 0}, {100, 50, 10, 10, -1}};
  for (const Case& c : cases) {
    platform::WindowRegion rgn = platform::CreateRoundRectRgn(0, 0, c.w + 1, c.h + 1, c.cx, c.cy);
    ASSERT_EQ(rgn.width, c.w);
    ASSERT_EQ(rgn.height, c.h);
    auto cut = [&](int x0, int y0, int dx, int dy) {
      int n = 0;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) n += rgn.Contains(x0 + dx * x, y0 + dy * y) ? 0 : 1;
      return n;
    };
    const int corners[4] = {cut(0, 0, 1, 1), cut(c.w - 1, 0, -1, 1), cut(0, c.h - 1, 1, -1), cut(c.w - 1, c.h - 1, -1, -1)};
    for (int n : corners) {
      if (c.cutPerCorner >= 0) {
        EXPECT_EQ(n, c.cutPerCorner) << c.w << "x" << c.h << " corner " << c.cx << "," << c.cy;
      } else {
        EXPECT_GT(n, 1);
      }
    }
    EXPECT_TRUE(rgn.Contains(c.w / 2, 0));
    EXPECT_TRUE(rgn.Contains(c.w / 2, c.h / 2));
  }
}

TEST_F(NativeWindowTest, CaptionPressMovesTheWindowAndClientPressIsAClick) {
  Probe probe;
  probe.handler = [&](HWND hwnd, UINT msg, WPARAM, LPARAM lParam, bool& handled) -> LRESULT {
    if (msg != WM_NCHITTEST) return 0;
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    platform::ScreenToClient(hwnd, &pt);
    handled = true;
    return pt.y < 50 ? HTCAPTION : HTCLIENT;
  };
  HWND hwnd = MakeWindow(&probe, 100, 100);
  platform::ShowWindow(hwnd, SW_SHOW);
  using platform::headless::Mouse;
  platform::headless::InjectMouse(hwnd, Mouse::LeftDown, 20, 20);
  platform::headless::InjectMouse(hwnd, Mouse::Move, 70, 50);  // client coordinates of the moving window
  PumpIdle();
  platform::headless::InjectMouse(hwnd, Mouse::Move, 20, 20);
  platform::headless::InjectMouse(hwnd, Mouse::LeftUp, 20, 20);
  PumpIdle();
  RECT rc;
  platform::GetWindowRect(hwnd, &rc);
  EXPECT_EQ(rc.left, 150);
  EXPECT_EQ(rc.top, 130);
  EXPECT_EQ(std::count(probe.seen.begin(), probe.seen.end(), WM_LBUTTONDOWN), 0);
  EXPECT_EQ(std::count(probe.seen.begin(), probe.seen.end(), WM_EXITSIZEMOVE), 1);

  probe.mouse.clear();
  platform::headless::Click(hwnd, 30, 120);
  PumpIdle();
  ASSERT_GE(probe.mouse.size(), 3u);
  EXPECT_EQ(probe.mouse[1].first, WM_LBUTTONDOWN);
  EXPECT_EQ(GET_X_LPARAM(probe.mouse[1].second), 30);
  EXPECT_EQ(GET_Y_LPARAM(probe.mouse[1].second), 120);
  EXPECT_EQ(probe.mouse[2].first, WM_LBUTTONUP);
  platform::headless::Click(hwnd, 31, 121);  // within the double-click time and distance
  PumpIdle();
  EXPECT_EQ(std::count_if(probe.mouse.begin(), probe.mouse.end(), [](auto& m) { return m.first == WM_LBUTTONDBLCLK; }), 1);
  platform::DestroyWindow(hwnd);
}

TEST_F(NativeWindowTest, HoverAndLeaveAreReportedOncePerTracking) {
  Probe probe;
  HWND hwnd = MakeWindow(&probe, 0, 0, 200, 100);
  platform::ShowWindow(hwnd, SW_SHOW);
  platform::headless::InjectMouse(hwnd, platform::headless::Mouse::Move, 10, 10);
  PumpIdle();
  ASSERT_TRUE(platform::TrackMouseEvent(hwnd, TME_HOVER | TME_LEAVE, 30));
  ASSERT_TRUE(PumpUntil([&] {
    return std::count(probe.seen.begin(), probe.seen.end(), WM_MOUSEHOVER) == 1;
  }));
  platform::headless::InjectMouse(hwnd, platform::headless::Mouse::Move, 500, 500);  // outside
  platform::headless::InjectMouse(hwnd, platform::headless::Mouse::Move, 600, 500);
  PumpIdle();
  EXPECT_EQ(std::count(probe.seen.begin(), probe.seen.end(), WM_MOUSELEAVE), 1);
  EXPECT_EQ(std::count(probe.seen.begin(), probe.seen.end(), WM_MOUSEHOVER), 1);
  platform::DestroyWindow(hwnd);
}

TEST_F(NativeWindowTest, DisabledWindowsTakeNoInputAndChildrenGetTheirOwnClicks) {
  Probe parentProbe, childProbe;
  HWND parent = MakeWindow(&parentProbe, 0, 0, 300, 200);
  HWND child = MakeWindow(&childProbe, 50, 50, 100, 30, 0, parent, WS_CHILD | WS_VISIBLE);
  platform::ShowWindow(parent, SW_SHOW);
  platform::headless::Click(parent, 60, 60);
  PumpIdle();
  ASSERT_FALSE(childProbe.mouse.empty());
  EXPECT_EQ(GET_X_LPARAM(childProbe.mouse.back().second), 10);  // child client coordinates
  EXPECT_EQ(std::count(parentProbe.seen.begin(), parentProbe.seen.end(), WM_LBUTTONDOWN), 0);
  platform::EnableWindow(parent, false);
  parentProbe.mouse.clear();
  childProbe.mouse.clear();
  platform::headless::Click(parent, 10, 10);
  platform::headless::Key(parent, 'A', L"a");
  PumpIdle();
  EXPECT_TRUE(parentProbe.mouse.empty());
  EXPECT_EQ(std::count(parentProbe.seen.begin(), parentProbe.seen.end(), WM_CHAR), 0);
  platform::DestroyWindow(parent);
  EXPECT_FALSE(platform::IsWindow(child));
}

TEST_F(NativeWindowTest, KeysReachTheFocusWindowAndTranslateToCharacters) {
  Probe probe;
  HWND hwnd = MakeWindow(&probe);
  platform::ShowWindow(hwnd, SW_SHOW);
  std::wstring typed;
  probe.handler = [&](HWND, UINT msg, WPARAM w, LPARAM, bool& handled) -> LRESULT {
    if (msg == WM_CHAR) {
      typed.push_back(static_cast<wchar_t>(w));
      handled = true;
    }
    return 0;
  };
  platform::headless::Key(hwnd, 'A', L"a");
  platform::headless::CommitText(hwnd, L"安装");
  PumpIdle();
  EXPECT_EQ(typed, L"a安装");
  EXPECT_EQ(platform::GetFocus(), hwnd);
  platform::DestroyWindow(hwnd);
}

TEST_F(NativeWindowTest, DrawnMessageBoxAnswersReturnAndEscape) {
  struct Case {
    unsigned type;
    UINT key;
    int expected;
  } cases[] = {{MB_OKCANCEL, VK_RETURN, IDOK}, {MB_OKCANCEL, VK_ESCAPE, IDCANCEL}, {MB_OK, VK_ESCAPE, IDOK}};
  for (const Case& c : cases) {
    // The box runs modally on this thread; a timer presses the key once it shows.
    static HWND s_box;
    static UINT s_key;
    s_box = nullptr;
    s_key = c.key;
    UINT_PTR t = platform::SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
      HWND box = platform::FindWindowW(L"InstallerDialog", nullptr);
      if (box && box != s_box && platform::IsWindowVisible(box)) {
        s_box = box;
        platform::headless::Key(box, s_key);
      }
    });
    UINT_PTR reaper = platform::SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) {
      ADD_FAILURE() << "message box did not end";
      if (HWND box = platform::FindWindowW(L"InstallerDialog", nullptr)) platform::DestroyWindow(box);
    });
    const int answer = platform::ShowWindowMessageBox(nullptr, L"第一行\n第二行", L"标题", c.type | MB_ICONQUESTION);
    platform::KillTimer(nullptr, t);
    platform::KillTimer(nullptr, reaper);
    EXPECT_EQ(answer, c.expected) << "type " << c.type << " key " << c.key;
    EXPECT_NE(s_box, nullptr);
  }
}

}  // namespace
