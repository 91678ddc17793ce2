// The progress page: the installation worker, the posted percentage and
// error calls, and the complete page run on the worker's behalf.
#include "pages/ProcessWnd.h"

#include "install/InstallPipeline.h"
#include "pages/CompleteWnd.h"
#include "pages/InstallPathRules.h"
#include "pages/PageCommon.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "platform/window/NativeWindow.h"
#include "ui/controls/ProgressUI.h"

namespace {
std::atomic<CProcessWnd::WorkerFn> g_workerForTest{nullptr};
std::atomic<CProcessWnd*> g_instance{nullptr};
}  // namespace

std::mutex CProcessWnd::s_lock;
CProcessWnd* CProcessWnd::s_instance = nullptr;

CProcessWnd* CProcessWnd::GetInstance() {
  if (CProcessWnd* p = g_instance.load(std::memory_order_acquire)) return p;
  std::lock_guard<std::mutex> guard(s_lock);
  if (!s_instance) {
    s_instance = new CProcessWnd();
    g_instance.store(s_instance, std::memory_order_release);
  }
  return s_instance;
}

void CProcessWnd::DestroyInstance() {
  std::lock_guard<std::mutex> guard(s_lock);
  g_instance.store(nullptr, std::memory_order_release);
  delete s_instance;
  s_instance = nullptr;
}

void CProcessWnd::SetWorkerForTest(WorkerFn fn) { g_workerForTest.store(fn); }

CProcessWnd::~CProcessWnd() {
  // The worker may be waiting for this window: the window goes first, which
  // releases it, and OnWindowGone joins it.
  if (m_hWnd && platform::IsWindow(m_hWnd) && platform::IsWindowOnCurrentThread(m_hWnd)) {
    SetClosing();
    platform::DestroyWindow(m_hWnd);
  }
  if (m_worker.joinable()) m_worker.join();
}

void CProcessWnd::OnSkinReady() {
  pages::ApplyBrandImages(m_pm);
  m_hwndForWorker.store(GetHWND());
  const WorkerFn fn = g_workerForTest.load();
  m_worker = std::thread([this, fn] {
    if (fn)
      fn(this);
    else
      RunInstallation(this);
  });
}

void CProcessWnd::OnWindowGone(HWND hwnd) {
  m_hwndForWorker.store(nullptr);
  WindowImplBase::OnWindowGone(hwnd);
  if (m_worker.joinable()) m_worker.join();
}

bool CProcessWnd::SetProcessValue(int32_t total, int32_t received) {
  const int percent = pages::DownloadPercent(total, received);
  if (percent == m_nShownPercent) return true;
  m_nShownPercent = percent;
  if (auto* bar = dynamic_cast<SkinUI::CProgressUI*>(m_pm.ControlByName(L"process"))) bar->SetValue(percent);
  m_nLastPercent.store(percent);
  if (SkinUI::CControlUI* num = m_pm.ControlByName(L"num")) num->SetText(std::to_wstring(percent) + L"%");
  return true;
}

bool CProcessWnd::ErrorClose(const std::wstring& text) {
  platform::OutputDebugStringW(L"error close:" + text);
  platform::MessageBoxW(GetHWND(), text, L"错误", MB_ICONERROR);
  Close(-1);
  return true;
}

void CProcessWnd::ShowNote(const std::wstring& text) {
  if (SkinUI::CControlUI* note = m_pm.ControlByName(L"note")) note->SetText(text);
}

void CProcessWnd::SetNote(const std::wstring& text) {
  // The label is painted on the UI thread from its own text: the new text is
  // handed over there rather than written from the worker.
  PostUICall("SetNote", [text](SkinUI::CWindowWnd& window) {
    static_cast<CProcessWnd&>(window).ShowNote(text);
    return true;
  });
}

bool CProcessWnd::PostSetProcessValue(uint64_t total, uint64_t received) {
  // The page works with the low 32 bits of each value.
  const auto t = static_cast<int32_t>(static_cast<uint32_t>(total));
  const auto r = static_cast<int32_t>(static_cast<uint32_t>(received));
  return PostUICall("SetProcessValue", &CProcessWnd::SetProcessValue, t, r);
}

bool CProcessWnd::PostErrorClose(const std::wstring& text) {
  return PostUICall("ErrorClose", &CProcessWnd::ErrorClose, text);
}

void CProcessWnd::Hide() {
  PostUICall("Hide", [](SkinUI::CWindowWnd& window) {
    window.ShowWindow(false);
    return true;
  });
}

void CProcessWnd::Close(int code) {
  SetClosing();
  if (HWND hwnd = m_hwndForWorker.load()) platform::PostMessageW(hwnd, WM_CLOSE, static_cast<WPARAM>(code), 0);
}

void CProcessWnd::SendProgressMessage(unsigned message, uintptr_t wParam, intptr_t lParam) {
  if (IsClosing()) return;
  HWND hwnd = m_hwndForWorker.load();
  if (hwnd) platform::SendMessageW(hwnd, message, wParam, lParam);
}

int CProcessWnd::RunCompletePage(const std::wstring& title) {
  CompleteWnd* page = CompleteWnd::GetInstance();
  int code = 0;
  if (page->Create(nullptr, title.c_str(), SkinUI::kPageStyle, WS_EX_WINDOWEDGE)) {
    page->ApplyAppIcon();
    page->CenterOnOwner();
    code = page->RunModal();
  }
  CompleteWnd::DestroyInstance();
  return code;
}
