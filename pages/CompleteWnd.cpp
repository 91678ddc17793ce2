// The complete page.
#include "pages/CompleteWnd.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "pages/PageCommon.h"
#include "ui/controls/ControlUI.h"

namespace {

// The page runs on the installation worker while the main thread still runs
// the hidden progress page's loop: running the static destructors under that
// loop could crash the ending process, so the streams are flushed and the
// process ends without them.
void EndProcess(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

std::atomic<CompleteWnd::ExitFn> g_exit{&EndProcess};

}  // namespace

std::mutex CompleteWnd::s_lock;
CompleteWnd* CompleteWnd::s_instance = nullptr;

CompleteWnd* CompleteWnd::GetInstance() {
  std::lock_guard<std::mutex> guard(s_lock);
  if (!s_instance) s_instance = new CompleteWnd();
  return s_instance;
}

void CompleteWnd::DestroyInstance() {
  std::lock_guard<std::mutex> guard(s_lock);
  delete s_instance;
  s_instance = nullptr;
}

void CompleteWnd::SetExitForTest(ExitFn fn) { g_exit.store(fn ? fn : &EndProcess); }

void CompleteWnd::OnSkinReady() {
  pages::ApplyBrandImages(m_pm);
  if (SkinUI::CControlUI* note = m_pm.ControlByName(L"note")) note->SetText(L"安装完成");
}

void CompleteWnd::OnNotification(SkinUI::UINotification& msg) {
  if (msg.type != L"click" || msg.sender == nullptr) return;
  const std::wstring name = msg.sender->Name();
  if (name == L"start") {
    Close(IDCLOSE);
  } else if (name == L"closebtn") {
    g_exit.load()(0);
  }
}
