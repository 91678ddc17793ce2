// The page window base: skin building on creation, message dispatch with the
// default handlers, caption hit-testing, round corners and the manager host.
#include "ui/core/WindowImplBase.h"

#include <cstdio>
#include <cstdlib>
#include <cwctype>

#include "platform/MessageBox.h"
#include "ui/controls/ControlUI.h"
#include "ui/controls/EditWnd.h"
#include "ui/core/PaintDC.h"
#include "ui/utils/MsgBoxWnd.h"
#include "ui/utils/ShadowUI.h"
#include "ui/utils/SkinResources.h"

namespace SkinUI {
namespace {

void DefaultExit(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

WindowImplBase::ExitFn g_exit = &DefaultExit;

bool EqualsNoCase(const wchar_t* a, const wchar_t* b) {
  if (!a || !b) return false;
  while (*a && *b) {
    if (std::towlower(*a) != std::towlower(*b)) return false;
    ++a;
    ++b;
  }
  return *a == *b;
}

bool IsEmpty(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }

}  // namespace

SKINUI_BEGIN_NOTIFY_MAP(WindowImplBase, CNotifyPump)
SKINUI_ON_NOTIFY(L"click", L"", OnClick)
SKINUI_END_NOTIFY_MAP()

WindowImplBase::WindowImplBase() = default;

WindowImplBase::~WindowImplBase() {
  // The native window (and with it the shadow and the editor) goes before
  // the manager and the tree it draws.
  if (m_hWnd && platform::IsWindow(m_hWnd) && platform::IsWindowOnCurrentThread(m_hWnd)) {
    platform::DestroyWindow(m_hWnd);
  }
}

void WindowImplBase::SetSkinFailureExitForTest(ExitFn fn) { g_exit = fn ? fn : &DefaultExit; }

void WindowImplBase::OnNotification(UINotification& msg) { NotifyPump(msg); }

intptr_t WindowImplBase::MessageHandler(unsigned msg, uintptr_t wParam, intptr_t, bool& handled) {
  // The key still reaches the controls unless the window swallows it.
  if (msg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
    OnDefaultKey(static_cast<UINT>(wParam));
    if (SwallowsDefaultKeys()) handled = true;
  }
  return 0;
}

std::unique_ptr<CControlUI> WindowImplBase::MakeControl(const std::wstring&) { return nullptr; }

void WindowImplBase::OnClick(UINotification& msg) {
  const std::wstring name = msg.sender ? msg.sender->Name() : L"";
  if (name == L"closebtn") {
    Close(IDCLOSE);
  } else if (name == L"minbtn") {
    SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (name == L"maxbtn") {
    SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  } else if (name == L"restorebtn") {
    SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
  }
}

LRESULT WindowImplBase::OnDefaultKey(UINT key) {
  if (key != VK_ESCAPE) return 0;
  Close(IDOK);
  return 1;
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnNcDestroy(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
  if (platform::IsIconic(m_hWnd)) {
    handled = false;
    return 0;
  }
  (void)msg;
  (void)lParam;
  return wParam == 0 ? 1 : 0;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM lParam, bool&) {
  if (platform::IsZoomed(m_hWnd) && lParam) {
    auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
    RECT work;
    platform::GetMonitorInfoForWindow(m_hWnd, nullptr, &work);
    RECT& rc = params->rgrc[0];
    rc.right = rc.left + (work.right - work.left);
    rc.bottom = rc.top + (work.bottom - work.top);
    return WVR_REDRAW;
  }
  return 0;
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, bool&) { return 0; }

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool&) {
  POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  platform::ScreenToClient(m_hWnd, &pt);
  RECT client;
  platform::GetClientRect(m_hWnd, &client);
  if (!platform::IsZoomed(m_hWnd)) {
    const RECT box = m_pm.SizeBox();
    const bool top = pt.y < client.top + box.top;
    const bool bottom = pt.y >= client.bottom - box.bottom;
    const bool left = pt.x < client.left + box.left;
    const bool right = pt.x >= client.right - box.right;
    if (top) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
    if (bottom) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
  }
  const RECT cap = m_pm.CaptionRect();
  if (pt.x >= client.left + cap.left && pt.x < client.right - cap.right && pt.y >= cap.top && pt.y < cap.bottom) {
    CControlUI* control = m_pm.FindControl(pt);
    if (control && control->IsVisible()) {
      const wchar_t* cls = control->ClassName();
      static const wchar_t* const kClickable[] = {L"ButtonUI", L"OptionUI", L"TextUI", L"RichEditUI", L"EditUI"};
      for (const wchar_t* c : kClickable) {
        if (EqualsNoCase(cls, c)) return HTCLIENT;
      }
      return HTCAPTION;
    }
  }
  return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& handled) {
  auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
  RECT monitor, work;
  platform::GetMonitorInfoForWindow(m_hWnd, &monitor, &work);
  mmi->ptMaxPosition = POINT{work.left - monitor.left, work.top - monitor.top};
  mmi->ptMaxTrackSize = POINT{work.right - work.left, work.bottom - work.top};
  const SIZE minInfo = m_pm.MinInfo();
  mmi->ptMinTrackSize = POINT{minInfo.cx, minInfo.cy};
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnMouseWheel(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnMouseHover(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM wParam, LPARAM lParam, bool& handled) {
  const SIZE corner = m_pm.RoundCorner();
  if (wParam != SIZE_MINIMIZED && (corner.cx != 0 || corner.cy != 0)) {
    const int w = LOWORD(static_cast<uintptr_t>(lParam));
    const int h = HIWORD(static_cast<uintptr_t>(lParam));
    platform::WindowRegion rgn = platform::CreateRoundRectRgn(0, 0, w + 1, h + 1, corner.cx, corner.cy);
    platform::SetWindowRgn(m_hWnd, &rgn, true);
  }
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnChar(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, bool&) {
  if ((wParam & 0xFFF0) == SC_CLOSE) {
    // Sent, not posted: the modal loop sees no close code and returns 0.
    SendMessage(WM_CLOSE, 0, 0);
    return 0;
  }
  const bool wasZoomed = platform::IsZoomed(m_hWnd);
  LRESULT r = platform::CallWindowProcW(m_OldWndProc, m_hWnd, msg, wParam, lParam);
  if (m_hWnd && platform::IsZoomed(m_hWnd) != wasZoomed) {
    const bool zoomed = !wasZoomed;
    if (CControlUI* max = m_pm.ControlByName(L"maxbtn")) max->SetVisible(!zoomed);
    if (CControlUI* restore = m_pm.ControlByName(L"restorebtn")) restore->SetVisible(zoomed);
  }
  return r;
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, bool&) {
  // 1. Borderless: the skin draws everything.
  platform::SetWindowLongPtrW(m_hWnd, GWL_STYLE,
                              static_cast<intptr_t>((WindowStyleWithoutCaption() | WS_CLIPSIBLINGS | WS_CLIPCHILDREN)));
  RECT rc;
  platform::GetWindowRect(m_hWnd, &rc);
  platform::SetWindowPos(m_hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                         SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE);
  // 2. The manager and the key pre-filter.
  m_pm.Init(this);
  m_pm.AddPreFilter(this);
  // 3. The resource folder, once per process.
  if (ResourcePath().empty()) {
    const std::wstring folder = InstanceFolder() + SkinFolder();
    SetResourceFolder(folder.c_str());
  }
  // 4. The archive.
  const int source = SkinSource();
  if (source == kSkinArchive) {
    const std::wstring name = SkinArchiveName();
    SetArchiveFile(name.c_str());
  } else if (source == kSkinArchiveResource) {
    if (!UseArchiveResource(SkinResourceId())) return 0;
  }
  // 5. The tree.
  CSkinBuilder builder;
  std::unique_ptr<CControlUI> root =
      builder.Create(SkinFileName(), source == kSkinResource ? L"xml" : L"", this, &m_pm);
  // 6. No tree: the process cannot go on.
  if (!root) {
    SkinFailed();
    return -1;  // reached only when the exit hook returns (tests): creation fails
  }
  // 7. Attach (the shadow is made through RootAttached), receive, transparent background.
  m_pm.AttachRoot(std::move(root));
  m_pm.AddReceiver(this);
  m_pm.SetBackgroundTransparent(true);
  // 8. The default button.
  if (CControlUI* ok = m_pm.ControlByName(L"BtnOk")) ok->TakeFocus();
  // 9.
  OnSkinReady();
  return 0;
}

void WindowImplBase::SkinFailed() {
  const std::wstring text = L"加载资源文件失败";
  if (!IsSkinMessageBox()) {
    CMsgBoxWnd box;
    box.Create(m_hWnd, L"SkinUI", WS_POPUP, 0);
    if (box.GetHWND()) {
      box.CenterOnOwner();
      box.RunModal();
    }
  } else {
    // The skinned box itself cannot be built: still tell the user why the
    // program ends, with the window layer's own dialog.
    platform::MessageBoxW(nullptr, text, L"SkinUI", MB_OK | MB_ICONERROR);
  }
  g_exit(1);
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT WindowImplBase::OnOtherMessage(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

DWORD WindowImplBase::WindowStyleWithoutCaption() {
  return static_cast<DWORD>(platform::GetWindowLongPtrW(m_hWnd, GWL_STYLE)) & ~WS_CAPTION;
}

LRESULT WindowImplBase::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  bool handled = true;
  LRESULT r = 0;
  switch (msg) {
    case WM_CLOSE: r = OnClose(msg, wParam, lParam, handled); break;
    case WM_DESTROY: r = OnDestroy(msg, wParam, lParam, handled); break;
    case WM_NCDESTROY: r = OnNcDestroy(msg, wParam, lParam, handled); break;
    case WM_NCACTIVATE: r = OnNcActivate(msg, wParam, lParam, handled); break;
    case WM_NCCALCSIZE: r = OnNcCalcSize(msg, wParam, lParam, handled); break;
    case WM_NCPAINT: r = OnNcPaint(msg, wParam, lParam, handled); break;
    case WM_NCHITTEST: r = OnNcHitTest(msg, wParam, lParam, handled); break;
    case WM_GETMINMAXINFO: r = OnGetMinMaxInfo(msg, wParam, lParam, handled); break;
    case WM_MOUSEWHEEL: r = OnMouseWheel(msg, wParam, lParam, handled); break;
    case WM_MOUSEHOVER: r = OnMouseHover(msg, wParam, lParam, handled); break;
    case WM_SIZE: r = OnSize(msg, wParam, lParam, handled); break;
    case WM_CHAR: r = OnChar(msg, wParam, lParam, handled); break;
    case WM_SYSCOMMAND: r = OnSysCommand(msg, wParam, lParam, handled); break;
    case WM_CREATE: r = OnCreate(msg, wParam, lParam, handled); break;
    case WM_KEYDOWN: r = OnKeyDown(msg, wParam, lParam, handled); break;
    case WM_KILLFOCUS: r = OnKillFocus(msg, wParam, lParam, handled); break;
    case WM_SETFOCUS: r = OnSetFocus(msg, wParam, lParam, handled); break;
    case WM_LBUTTONDOWN: r = OnLButtonDown(msg, wParam, lParam, handled); break;
    case WM_LBUTTONUP: r = OnLButtonUp(msg, wParam, lParam, handled); break;
    case WM_MOUSEMOVE: r = OnMouseMove(msg, wParam, lParam, handled); break;
    case WM_TIMER:
      OnTimerMessage(wParam);
      handled = false;
      break;
    case WM_USER + 123: return OnMessage47B(wParam, lParam);
    default: handled = false; break;
  }
  if (handled) return r;
  handled = false;
  r = OnOtherMessage(msg, wParam, lParam, handled);
  if (handled) return r;
  if (ManagerMessage(msg, wParam, lParam, r)) return r;
  return platform::CallWindowProcW(m_OldWndProc, m_hWnd, msg, wParam, lParam);
}

bool WindowImplBase::ManagerMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_PAINT:
      PaintNow();
      return true;
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) m_pm.OnSize(LOWORD(static_cast<uintptr_t>(lParam)), HIWORD(static_cast<uintptr_t>(lParam)));
      return false;
    case WM_SETCURSOR: {
      if (LOWORD(static_cast<uintptr_t>(lParam)) != HTCLIENT || reinterpret_cast<HWND>(wParam) != m_hWnd) return false;
      POINT pt = platform::GetCursorPos();
      platform::ScreenToClient(m_hWnd, &pt);
      if (m_pm.OnSetCursor(pt)) {
        result = 1;
        return true;
      }
      return false;
    }
    case WM_GETMINMAXINFO: {
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
      const SIZE minInfo = m_pm.MinInfo();
      const SIZE maxInfo = m_pm.MaxInfo();
      if (minInfo.cx > 0) mmi->ptMinTrackSize.x = minInfo.cx;
      if (minInfo.cy > 0) mmi->ptMinTrackSize.y = minInfo.cy;
      if (maxInfo.cx > 0) mmi->ptMaxTrackSize.x = maxInfo.cx;
      if (maxInfo.cy > 0) mmi->ptMaxTrackSize.y = maxInfo.cy;
      return false;
    }
    case WM_KEYDOWN: {
      uint16_t keys = 0;
      if (platform::IsKeyDown(VK_SHIFT)) keys |= UIKEY_SHIFT;
      if (platform::IsKeyDown(VK_CONTROL)) keys |= UIKEY_CONTROL;
      m_pm.OnKeyDown(static_cast<unsigned>(wParam), keys);
      return true;
    }
    case WM_MOUSEWHEEL:
    case WM_CONTEXTMENU: {
      // These carry screen coordinates; the manager works in client ones.
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      platform::ScreenToClient(m_hWnd, &pt);
      if (msg == WM_MOUSEWHEEL) {
        m_pm.OnMouseWheel(pt, static_cast<int16_t>((wParam >> 16) & 0xFFFF), static_cast<uint16_t>(wParam & 0xFFFF));
      } else {
        m_pm.OnContextMenu(pt);
      }
      return true;
    }
    case WM_SYSKEYDOWN: {
      intptr_t r = 0;
      m_pm.HandleMessage(msg, wParam, lParam, r);
      return false;  // Alt+F4 still reaches the default procedure
    }
    case WM_CLOSE: {
      intptr_t r = 0;
      m_pm.HandleMessage(msg, wParam, lParam, r);
      platform::HideTooltip();
      HWND owner = platform::GetOwner(m_hWnd);
      if (owner && platform::IsWindowOnCurrentThread(owner)) platform::SetFocus(owner);
      return false;
    }
    default: {
      intptr_t r = 0;
      if (m_pm.HandleMessage(msg, wParam, lParam, r)) {
        result = r;
        return true;
      }
      return false;
    }
  }
}

void WindowImplBase::PaintNow() {
  RECT update;
  if (!platform::GetUpdateRect(m_hWnd, &update)) return;
  if (!m_pm.Root()) {
    platform::ValidateRect(m_hWnd, nullptr);
    return;
  }
  RECT client;
  platform::GetClientRect(m_hWnd, &client);
  if (IsEmpty(client)) {
    platform::ValidateRect(m_hWnd, nullptr);
    return;
  }
  if (!m_pSurface || m_pSurface->Width() != client.right || m_pSurface->Height() != client.bottom) {
    m_pSurface = std::make_unique<CSurfaceUI>(client.right, client.bottom);
    update = client;
  }
  // Validate first: what painting invalidates again is painted next turn.
  platform::ValidateRect(m_hWnd, nullptr);
  if (!m_pSurface->IsValid()) return;
  m_pm.Paint(*m_pSurface, update);
  if (!m_hWnd) return;
  platform::PresentPixels(m_hWnd, m_pSurface->Pixels(), m_pSurface->Stride(), m_pSurface->Width(),
                          m_pSurface->Height(), update);
}

bool WindowImplBase::PreMessage(const MSG& msg) {
  if (msg.hwnd == m_hWnd || !m_pm.Root()) return false;
  // Keys for a child window (the editor) pass the page's keyboard rules first.
  if (msg.message == WM_KEYDOWN) {
    if (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE) {
      bool handled = false;
      MessageHandler(msg.message, msg.wParam, msg.lParam, handled);
      return false;  // the editor still gets its Return ("return")
    }
    if (msg.wParam == VK_TAB) {
      m_pm.FocusNext(platform::IsKeyDown(VK_SHIFT));
      return true;
    }
  }
  return false;
}

void WindowImplBase::OnWindowGone(HWND) {
  m_pm.RemovePreFilter(this);
  m_pm.RemoveReceiver(this);
  m_pGoneRoot = m_pm.DetachRoot();
  m_pShadow.reset();
  m_pSurface.reset();
}

void WindowImplBase::Invalidate(const RECT& rc) {
  if (m_hWnd) platform::InvalidateRect(m_hWnd, &rc, false);
}

RECT WindowImplBase::ClientRect() const {
  RECT rc;
  if (!m_hWnd || !platform::GetClientRect(m_hWnd, &rc)) return RECT{};
  return rc;
}

void WindowImplBase::ResizeClient(int cx, int cy) { SetClientSize(cx, cy); }

bool WindowImplBase::SetNativeTimer(unsigned nativeId, unsigned milliseconds) {
  return m_hWnd && platform::SetTimer(m_hWnd, nativeId, milliseconds, nullptr) != 0;
}

void WindowImplBase::KillNativeTimer(unsigned nativeId) {
  if (m_hWnd) platform::KillTimer(m_hWnd, nativeId);
}

void WindowImplBase::SetCapture() {
  if (m_hWnd) platform::SetCapture(m_hWnd);
}

void WindowImplBase::ReleaseCapture() { platform::ReleaseCapture(); }

void WindowImplBase::SetCursor(UICursor cursor) {
  platform::SetCursor(cursor == UICursor::Hand ? IDC_HAND : cursor == UICursor::IBeam ? IDC_IBEAM : IDC_ARROW);
}

void WindowImplBase::TrackMouse(unsigned hoverMs) {
  if (m_hWnd) platform::TrackMouseEvent(m_hWnd, TME_HOVER | TME_LEAVE, hoverMs);
}

void WindowImplBase::ShowToolTip(const std::wstring& text, const RECT& rc, int maxWidth) {
  if (!m_hWnd) return;
  POINT tl{rc.left, rc.top};
  POINT br{rc.right, rc.bottom};
  platform::ClientToScreen(m_hWnd, &tl);
  platform::ClientToScreen(m_hWnd, &br);
  platform::ShowTooltip(m_hWnd, text, RECT{tl.x, tl.y, br.x, br.y}, maxWidth);
}

void WindowImplBase::HideToolTip() { platform::HideTooltip(); }

bool WindowImplBase::HasNativeFocus() const { return m_hWnd && platform::GetFocus() == m_hWnd; }

void WindowImplBase::SetNativeFocus() {
  if (m_hWnd) platform::SetFocus(m_hWnd);
}

IEditWindowUI* WindowImplBase::CreateEditWindow(CEditUI& edit) {
  if (!m_hWnd) return nullptr;
  return CEditWnd::Open(*this, edit);
}

void WindowImplBase::PostSelf(unsigned msg, uintptr_t wParam, intptr_t lParam) {
  if (m_hWnd) platform::PostMessageW(m_hWnd, msg, wParam, lParam);
}

void WindowImplBase::CloseWindow(int code) { Close(code); }

void WindowImplBase::RootAttached() {
  if (!m_pm.Shadow().show) return;
  m_pShadow = std::make_unique<CShadowUI>();
  if (!m_pShadow->Create(m_hWnd, m_pm)) m_pShadow.reset();
}

}  // namespace SkinUI
