// The check page: images, the environment check's threads, and a close
// handler that lets only the check's own close through.
#include "pages/CheckWnd.h"

#include "pages/PageCommon.h"
#include "platform/window/NativeWindow.h"

CCheckWnd::CCheckWnd() : m_check(this) {}

CCheckWnd::~CCheckWnd() { m_check.Join(); }

void CCheckWnd::OnSkinReady() {
  pages::ApplyBrandImages(m_pm);
  m_hwndForCheck.store(GetHWND());
  m_check.Start();
}

RECT CCheckWnd::WindowRect() {
  RECT rc;
  HWND hwnd = m_hwndForCheck.load();
  if (hwnd) platform::GetWindowRect(hwnd, &rc);
  return rc;
}

void CCheckWnd::PostClose(int code) {
  SetClosing();
  if (HWND hwnd = m_hwndForCheck.load()) platform::PostMessageW(hwnd, WM_CLOSE, static_cast<WPARAM>(code), 0);
}

LRESULT CCheckWnd::OnClose(UINT, WPARAM, LPARAM, bool& handled) {
  // Until the check is over every close (Alt+F4, the window manager's close)
  // is swallowed.
  handled = !m_check.m_bCheckDone.load();
  return 0;
}

void CCheckWnd::OnWindowGone(HWND hwnd) {
  m_hwndForCheck.store(nullptr);
  WindowImplBase::OnWindowGone(hwnd);
  m_check.Join();
}
