// Headless page driving for the page tests.
#include "PageHarness.h"

#include <chrono>
#include <mutex>

#include "platform/window/Dialogs.h"
#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"
#include "ui/utils/SkinResources.h"

namespace pagetest {
namespace {
int g_instanceAnchor = 0;
using Clock = std::chrono::steady_clock;
}  // namespace

void InitHeadlessPages() {
  static std::once_flag once;
  std::call_once(once, [] {
    platform::SetWindowBackend(platform::WindowBackend::Headless);
    platform::InstallWindowMessageBox();
    SkinUI::SetModuleInstance(&g_instanceAnchor);
  });
}

BoxRecorder::BoxRecorder() : m_answer(IDOK) {
  platform::headless::SetMessageBoxAnswer([this](const std::wstring& text, const std::wstring& caption,
                                                 unsigned type) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_boxes.push_back(Box{text, caption, type});
    return m_answer;
  });
}

BoxRecorder::~BoxRecorder() { platform::headless::SetMessageBoxAnswer(nullptr); }

std::vector<Box> BoxRecorder::Boxes() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_boxes;
}

void BoxRecorder::SetAnswer(int answer) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_answer = answer;
}

bool Pump::RunOne(int waitMs) {
  MSG msg;
  if (!platform::GetMessageTimeout(&msg, waitMs)) return false;
  if (m_watch && msg.message == WM_CLOSE && msg.hwnd == m_watch) m_closeCode = static_cast<int>(msg.wParam);
  platform::TranslateMessage(&msg);
  platform::DispatchMessageW(&msg);
  return true;
}

bool Pump::Until(const std::function<bool()>& pred, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    RunOne(static_cast<int>(left < 20 ? left : 20));
  }
  return true;
}

void Pump::For(int ms) {
  Until([] { return false; }, ms);
}

bool Pump::UntilPainted(int timeoutMs) {
  HWND w = m_watch;
  return Until([w] { return platform::headless::PresentCount(w) > 0; }, timeoutMs);
}

bool Pump::UntilGone(int timeoutMs) {
  HWND w = m_watch;
  return Until([w] { return !platform::IsWindow(w); }, timeoutMs);
}

}  // namespace pagetest
