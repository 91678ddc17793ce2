// The progress page on the headless back end, with a stand-in worker: the
// percentage rules, the calls a worker posts, and the error close.
#include "pages/ProcessWnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "PageHarness.h"
#include "install/InstallPipeline.h"
#include "pages/PageCommon.h"
#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"
#include "support/ScratchEnv.h"
#include "ui/controls/ProgressUI.h"

namespace {

using SkinUI::CControlUI;

class ProcessWndTest : public ::testing::Test {
 protected:
  void SetUp() override { pagetest::InitHeadlessPages(); }
  void TearDown() override {
    CProcessWnd::DestroyInstance();
    CProcessWnd::SetWorkerForTest(nullptr);
  }

  // Creates the singleton's window with `worker` standing in for the pipeline.
  CProcessWnd* Open(CProcessWnd::WorkerFn worker) {
    CProcessWnd::SetWorkerForTest(worker);
    CProcessWnd* page = CProcessWnd::GetInstance();
    m_hwnd = pages::CreatePage(*page);
    m_pump.Watch(m_hwnd);
    return page;
  }
  std::wstring Text(const wchar_t* name) {
    CControlUI* c = CProcessWnd::GetInstance()->Manager().ControlByName(name);
    return c ? c->Text() : L"(missing)";
  }
  int Bar() {
    auto* bar = dynamic_cast<SkinUI::CProgressUI*>(CProcessWnd::GetInstance()->Manager().ControlByName(L"process"));
    return bar ? bar->Value() : -1;
  }

  testsupport::ScratchEnv m_env;
  pagetest::BoxRecorder m_boxes;
  pagetest::Pump m_pump;
  HWND m_hwnd = nullptr;
};

void IdleWorker(CProcessWnd*) {}

TEST_F(ProcessWndTest, PercentageSequence) {
  CProcessWnd* page = Open(&IdleWorker);
  ASSERT_TRUE(m_hwnd);
  EXPECT_EQ(Text(L"num"), L"0%");
  EXPECT_EQ(Text(L"note"), L"");

  struct Step {
    int32_t total, received;
    std::wstring num;
    int bar;
  };
  const Step steps[] = {
      {1000, 0, L"0%", 0},
      {1000, 370, L"37%", 37},
      {1000, 1000, L"100%", 100},
      {0, 5, L"500%", 100},  // total 0 counts as 1; the bar refuses 500
      {1000, 0, L"0%", 0},
  };
  for (const Step& s : steps) {
    EXPECT_TRUE(page->SetProcessValue(s.total, s.received));
    EXPECT_EQ(Text(L"num"), s.num) << s.total << ", " << s.received;
    EXPECT_EQ(Bar(), s.bar) << s.total << ", " << s.received;
  }
  EXPECT_EQ(page->LastPercent(), 0);

  // A value that gives the percentage shown already changes nothing.
  page->SetProcessValue(1000, 370);
  page->Manager().ControlByName(L"num")->SetText(L"marker");
  page->SetProcessValue(1000, 379);
  EXPECT_EQ(Text(L"num"), L"marker");
  EXPECT_EQ(page->LastPercent(), 37);
}

// Posts what a download worker posts, with sizes above 32 bits.
void PostingWorker(CProcessWnd* page) {
  page->SetNote(kNoteDownloading);
  page->PostSetProcessValue((1ull << 32) + 1000, (1ull << 32) + 250);
}

TEST_F(ProcessWndTest, WorkerCallsArriveOnTheUIThread) {
  Open(&PostingWorker);
  // Sizes are narrowed to their low 32 bits: 250 of 1000.
  EXPECT_TRUE(m_pump.Until([&] { return Text(L"num") == L"25%" && Text(L"note") == kNoteDownloading; }));
  EXPECT_EQ(Bar(), 25);
  EXPECT_EQ(CProcessWnd::GetInstance()->LastPercent(), 25);
}

std::atomic<bool> g_postAfterCloseRefused{false};

void FailingWorker(CProcessWnd* page) {
  page->PostErrorClose(kErrCrc);
  // Wait (bounded) until the page is closing; later calls must be refused.
  for (int i = 0; i < 500 && !page->IsClosing(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  g_postAfterCloseRefused = !page->PostSetProcessValue(100, 50);
}

TEST_F(ProcessWndTest, ErrorCloseShowsTheTextAndClosesWithMinusOne) {
  g_postAfterCloseRefused = false;
  Open(&FailingWorker);
  ASSERT_TRUE(m_pump.UntilGone());
  EXPECT_EQ(m_pump.CloseCode(), -1);
  const auto boxes = m_boxes.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kErrCrc);
  EXPECT_EQ(boxes[0].caption, L"错误");
  EXPECT_EQ(boxes[0].type, MB_ICONERROR);
  EXPECT_TRUE(g_postAfterCloseRefused);
}

// Hides the page, then closes it, as the pipeline's last steps do: with 1
// once the page is hidden, with 2 when it stayed visible.
void FinishingWorker(CProcessWnd* page) {
  page->Hide();
  HWND hwnd = page->GetHWND();
  bool visible = true;
  for (int i = 0; i < 300 && visible; ++i) {
    visible = platform::IsWindowVisible(hwnd);
    if (visible) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  page->Close(visible ? 2 : 1);
}

TEST_F(ProcessWndTest, PipelineEndHidesAndClosesWithOne) {
  Open(&FinishingWorker);
  ASSERT_TRUE(m_pump.UntilGone());
  EXPECT_EQ(m_pump.CloseCode(), 1);
}

std::atomic<int> g_sent{0};
std::atomic<bool> g_workerEnded{false};

// Sends the extractor's progress messages for a while, as an extraction does.
void ExtractingWorker(CProcessWnd* page) {
  for (int i = 0; i < 150; ++i) {
    page->ExtractProgressTarget()->SendProgressMessage(WM_EXTRACT_PROGRESS, static_cast<uintptr_t>(i), 0);
    ++g_sent;
    std::this_thread::sleep_for(std::chrono::milliseconds(4));
  }
  g_workerEnded = true;
}

TEST_F(ProcessWndTest, SystemCloseDuringExtractionWaitsForTheWorkerWithoutDeadlock) {
  g_sent = 0;
  g_workerEnded = false;
  Open(&ExtractingWorker);
  ASSERT_TRUE(m_pump.UntilPainted());
  ASSERT_TRUE(m_pump.Until([] { return g_sent > 10; }));
  platform::headless::RequestClose(m_hwnd);
  // A deadlock between the page's join and the worker's send would hang here.
  std::atomic<bool> returned{false};
  std::thread watchdog([&returned] {
    for (int i = 0; i < 1000 && !returned; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!returned) {
      std::fprintf(stderr, "the progress page did not end within 10 s (deadlock)\n");
      std::_Exit(1);
    }
  });
  const int code = CProcessWnd::GetInstance()->RunModal();
  returned = true;
  watchdog.join();
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(g_workerEnded) << "the window went before its worker was joined";
  EXPECT_EQ(g_sent, 150);
}

TEST_F(ProcessWndTest, EscapeAndReturnDoNothing) {
  Open(&IdleWorker);
  ASSERT_TRUE(m_pump.UntilPainted());
  platform::headless::Key(m_hwnd, VK_ESCAPE);
  platform::headless::Key(m_hwnd, VK_RETURN);
  // The modal loop (which offers keys to the page) runs until a guard close.
  std::thread guard([hwnd = m_hwnd] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    platform::PostMessageW(hwnd, WM_CLOSE, 77, 0);
  });
  const int code = CProcessWnd::GetInstance()->RunModal();
  guard.join();
  EXPECT_EQ(code, 77);
}

}  // namespace
