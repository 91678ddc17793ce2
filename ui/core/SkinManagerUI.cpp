// The per-window skin manager: tree ownership, layout at paint time, input routing
// into controls, focus, timers, notifications and the window-wide skin settings.
#include "ui/core/SkinManagerUI.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "ui/controls/ContainerUI.h"
#include "ui/controls/ControlUI.h"
#include "ui/controls/EditUI.h"
#include "ui/controls/OptionUI.h"
#include "ui/core/PaintDC.h"
#include "ui/core/RenderEngine.h"
#include "ui/core/SkinFont.h"
#include "ui/utils/ImageCacheUI.h"

namespace SkinUI {

// ---- Shadow settings ----

bool ShadowSettingsUI::SetSize(int n) {
  if (n < -20 || n > 20) return false;
  size = n;
  return true;
}

bool ShadowSettingsUI::SetSharpness(int n) {
  if (n < 0 || n > 20) return false;
  sharpness = n;
  return true;
}

bool ShadowSettingsUI::SetDarkness(int n) {
  if (n < 0 || n > 255) return false;
  darkness = n;
  return true;
}

bool ShadowSettingsUI::SetPosition(int x, int y) {
  if (x < -20 || x > 20 || y < -20 || y > 20) return false;
  offsetX = x;
  offsetY = y;
  return true;
}

bool ShadowSettingsUI::SetImage(const std::wstring& name) {
  if (name.empty()) return false;
  image = name;
  imageMode = true;
  return true;
}

bool ShadowSettingsUI::SetCorner(const RECT& rc) {
  if (rc.left < 0 || rc.top < 0 || rc.right < 0 || rc.bottom < 0) return false;
  corner = rc;
  return true;
}

// ---- Manager ----

CSkinManagerUI::CSkinManagerUI()
    : m_pImages(std::make_unique<CImageCacheUI>()), m_pSystemFont(std::make_unique<SkinFont>(L"Sans", 12)) {
  m_pDefaultFont = m_pSystemFont.get();
}

CSkinManagerUI::~CSkinManagerUI() {
  // The window may already be gone: nothing below may reach it.
  m_pHost = nullptr;
  m_delayedDestroy.clear();
  m_pRoot.reset();
}

void CSkinManagerUI::Init(IManagerHostUI* host) { m_pHost = host; }

RECT CSkinManagerUI::ClientRect() const {
  if (m_pHost != nullptr) return m_pHost->ClientRect();
  return RECT{0, 0, m_szInitWindowSize.cx, m_szInitWindowSize.cy};
}

bool CSkinManagerUI::AttachRoot(std::unique_ptr<CControlUI> root) {
  if (!root) return false;
  if (m_pRoot) DetachRoot().reset();
  m_pFocus = m_pEventHover = m_pEventClick = m_pEventKey = nullptr;
  m_pRoot = std::move(root);
  m_bUpdateNeeded = true;
  m_bFirstLayout = true;
  m_bFocusNeeded = true;
  if (m_pHost != nullptr) m_pHost->RootAttached();
  // Children are bound and initialised; the root, without a parent, is not initialised.
  m_pRoot->Bind(this, nullptr, true);
  RegisterNames(m_pRoot.get());
  Invalidate(ClientRect());
  return true;
}

namespace {

CControlUI* ReapEachProc(CControlUI* control, void* data) {
  static_cast<CSkinManagerUI*>(data)->ReapObjects(control);
  return nullptr;
}

CControlUI* NameProc(CControlUI* control, void* data) {
  static_cast<CSkinManagerUI*>(data)->RegisterName(control);
  return nullptr;
}

CControlUI* HitProc(CControlUI* control, void* /*data*/) { return control; }

CControlUI* RelayoutProc(CControlUI* control, void* /*data*/) {
  if (!control->IsUpdateNeeded()) return nullptr;
  CControlUI* parent = control->Parent();
  if (control->IsFloat() && parent != nullptr && parent->IsContainer()) {
    auto* container = static_cast<CContainerUI*>(parent);
    container->PlaceFloating(container->ItemIndex(control));
  } else {
    control->Place(control->Rect());
  }
  return nullptr;
}

struct TabSearch {
  std::vector<CControlUI*> stops;
};

CControlUI* TabProc(CControlUI* control, void* data) {
  if ((control->ControlFlags() & UIFLAG_TABSTOP) != 0) static_cast<TabSearch*>(data)->stops.push_back(control);
  return nullptr;
}

struct ShortcutSearch {
  wchar_t ch;
};

CControlUI* ShortcutProc(CControlUI* control, void* data) {
  wchar_t ch = static_cast<ShortcutSearch*>(data)->ch;
  if (control->Shortcut() != 0 && static_cast<wchar_t>(std::towupper(control->Shortcut())) == ch) return control;
  return nullptr;
}

}  // namespace

std::unique_ptr<CControlUI> CSkinManagerUI::DetachRoot() {
  if (!m_pRoot) return nullptr;
  m_pRoot->Visit(ReapEachProc, this, UIFIND_ALL);
  m_pRoot->Bind(nullptr, nullptr, false);
  m_pFocus = m_pEventHover = m_pEventClick = m_pEventKey = nullptr;
  return std::move(m_pRoot);
}

// ---- Paint and layout ----

void CSkinManagerUI::LayoutIfNeeded() {
  if (!m_bUpdateNeeded || !m_pRoot) return;
  m_bUpdateNeeded = false;
  RECT client = ClientRect();
  if (UIIsRectEmpty(client)) return;
  if (m_pRoot->IsUpdateNeeded()) {
    m_pRoot->Place(client);
  } else {
    m_pRoot->Visit(RelayoutProc, nullptr, UIFIND_VISIBLE | UIFIND_ME_FIRST);
  }
  if (m_bFirstLayout) {
    m_bFirstLayout = false;
    RaiseNotification(m_pRoot.get(), L"windowinit");
  }
}

void CSkinManagerUI::Paint(CSurfaceUI& target, const RECT& update) {
  CPaintDC dc(target);
  Paint(dc, update);
}

void CSkinManagerUI::Paint(CPaintDC& dc, const RECT& update) {
  if (UIIsRectEmpty(update) || !m_pRoot) return;
  LayoutIfNeeded();
  if (!m_pRoot) return;
  if (m_bFocusNeeded) {
    m_bFocusNeeded = false;
    if (m_pFocus == nullptr) FocusNext(false);
  }

  CSurfaceUI& surface = dc.Surface();
  RECT area;
  if (!UIIntersectRect(area, update, RECT{0, 0, surface.Width(), surface.Height()})) return;
  // Start from transparent, so skin images with alpha never blend over the last frame;
  // not needed when the root fills the area with an opaque colour first.
  uint32_t* pixels = m_pRoot->CoversOpaquely(area) ? nullptr : surface.Pixels();
  if (pixels != nullptr) {
    const int stride = surface.Stride() / 4;
    for (int y = area.top; y < area.bottom; ++y) {
      std::memset(pixels + static_cast<size_t>(y) * stride + area.left, 0,
                  static_cast<size_t>(area.right - area.left) * 4);
    }
    surface.MarkDirty();
  }
  {
    CRenderClip clip = CRenderEngine::ClipTo(&dc, area);
    m_pRoot->Paint(dc, area);
  }
  if (m_bShowDirty) dc.DrawFrame(area, 1, 0xFF0000);
  // Layout asked for while painting: paint everything again.
  if (m_bUpdateNeeded) Invalidate(ClientRect());
}

void CSkinManagerUI::OnSize(int cx, int cy) {
  if (m_pFocus != nullptr) SendEvent(m_pFocus, UIEVENT_WINDOWSIZE, m_ptLastMouse);
  if (m_pRoot) m_pRoot->RequestLayout();
  m_bUpdateNeeded = true;
  Invalidate(RECT{0, 0, cx, cy});
}

// ---- Input ----

void CSkinManagerUI::SendEvent(CControlUI* control, int kind, POINT pt, uint16_t keyState, wchar_t key,
                               uintptr_t wParam, intptr_t lParam) {
  if (control == nullptr) return;
  UIEvent event;
  event.kind = kind;
  event.sender = control;
  event.timestamp = UITickCount();
  event.mousePos = pt;
  event.key = key;
  event.keyState = keyState;
  event.wParam = wParam;
  event.lParam = lParam;
  control->DispatchEvent(event);
}

CControlUI* CSkinManagerUI::FindControl(POINT pt) const {
  if (!m_pRoot) return nullptr;
  POINT p = pt;
  return m_pRoot->Visit(HitProc, &p, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

void CSkinManagerUI::OnMouseMove(POINT pt, uint16_t keyState) {
  if (!m_bMouseTracking && m_pHost != nullptr) {
    m_pHost->TrackMouse(400);
    m_bMouseTracking = true;
  }
  m_ptLastMouse = pt;
  CControlUI* newHover = FindControl(pt);
  if (newHover != nullptr && newHover->Manager() != this) return;
  if (newHover != m_pEventHover) {
    CControlUI* old = m_pEventHover;
    m_pEventHover = newHover;
    if (old != nullptr) {
      SendEvent(old, UIEVENT_MOUSELEAVE, pt, keyState);
      if (m_bToolTipShown && m_pHost != nullptr) {
        m_pHost->HideToolTip();
        m_bToolTipShown = false;
      }
    }
    // The leave handler may have destroyed the new hover control (ReapObjects clears it).
    if (m_pEventHover != nullptr) SendEvent(m_pEventHover, UIEVENT_MOUSEENTER, pt, keyState);
  }
  if (m_pEventClick != nullptr) {
    SendEvent(m_pEventClick, UIEVENT_MOUSEMOVE, pt, keyState);
  } else if (m_pEventHover != nullptr) {
    SendEvent(m_pEventHover, UIEVENT_MOUSEMOVE, pt, keyState);
  }
}

void CSkinManagerUI::OnMouseLeave() {
  if (m_bToolTipShown && m_pHost != nullptr) m_pHost->HideToolTip();
  m_bToolTipShown = false;
  m_bMouseTracking = false;
  if (m_pEventHover != nullptr) {
    CControlUI* old = m_pEventHover;
    m_pEventHover = nullptr;
    SendEvent(old, UIEVENT_MOUSELEAVE, POINT{-1, -1});
  }
}

void CSkinManagerUI::OnMouseHover(POINT pt) {
  m_ptLastMouse = pt;
  CControlUI* control = FindControl(pt);
  if (control == nullptr || control->Manager() != this) return;
  if (m_pEventHover != nullptr) SendEvent(m_pEventHover, UIEVENT_MOUSEHOVER, pt);
  control = FindControl(pt);
  if (control == nullptr || m_pHost == nullptr) return;
  std::wstring tip = control->ToolTip();
  if (tip.empty()) return;
  m_pHost->ShowToolTip(tip, control->Rect(), control->ToolTipWidth());
  m_bToolTipShown = true;
}

CControlUI* CSkinManagerUI::BeginPress(POINT pt) {
  if (m_pHost != nullptr) m_pHost->SetNativeFocus();
  m_ptLastMouse = pt;
  CControlUI* control = FindControl(pt);
  if (control == nullptr || control->Manager() != this) return nullptr;
  m_pEventClick = control;
  return control;
}

void CSkinManagerUI::OnLButtonDown(POINT pt, uint16_t keyState) {
  CControlUI* control = BeginPress(pt);
  if (control == nullptr) return;
  FocusControl(control);
  SetCapture();
  // Focus handlers may have destroyed the control.
  if (m_pEventClick != nullptr) SendEvent(m_pEventClick, UIEVENT_BUTTONDOWN, pt, keyState);
}

void CSkinManagerUI::OnLButtonDblClk(POINT pt, uint16_t keyState) {
  CControlUI* control = BeginPress(pt);
  if (control == nullptr) return;
  SetCapture();
  SendEvent(control, UIEVENT_DBLCLICK, pt, keyState);
}

void CSkinManagerUI::OnLButtonUp(POINT pt, uint16_t keyState) {
  m_ptLastMouse = pt;
  if (m_bMouseCapture) ReleaseCapture();
  if (m_pEventClick == nullptr) return;
  CControlUI* control = m_pEventClick;
  SendEvent(control, UIEVENT_BUTTONUP, pt, keyState);
  m_pEventClick = nullptr;
}

void CSkinManagerUI::OnRButtonDown(POINT pt, uint16_t keyState) {
  CControlUI* control = BeginPress(pt);
  if (control == nullptr) return;
  FocusControl(control);
  SetCapture();
  if (m_pEventClick != nullptr) SendEvent(m_pEventClick, UIEVENT_RBUTTONDOWN, pt, keyState);
}

void CSkinManagerUI::OnContextMenu(POINT pt) {
  if (m_bMouseCapture) ReleaseCapture();
  if (m_pEventClick == nullptr) return;
  CControlUI* control = m_pEventClick;
  m_pEventClick = nullptr;
  SendEvent(control, UIEVENT_CONTEXTMENU, pt);
}

void CSkinManagerUI::OnMouseWheel(POINT pt, int delta, uint16_t keyState) {
  m_ptLastMouse = pt;
  CControlUI* control = FindControl(pt);
  if (control == nullptr || control->Manager() != this) return;
  SendEvent(control, UIEVENT_SCROLLWHEEL, pt, keyState, 0, static_cast<uintptr_t>(static_cast<intptr_t>(delta)));
}

bool CSkinManagerUI::OnSetCursor(POINT pt) {
  if (m_bMouseCapture) return true;
  CControlUI* control = FindControl(pt);
  if (control == nullptr || control->Manager() != this) return false;
  if ((control->ControlFlags() & UIFLAG_SETCURSOR) == 0) return false;
  SendEvent(control, UIEVENT_SETCURSOR, pt);
  return true;
}

bool CSkinManagerUI::RunFilters(const std::vector<IMessageFilterUI*>& filters, unsigned msg, uintptr_t wParam,
                                intptr_t lParam, intptr_t& result) {
  std::vector<IMessageFilterUI*> copy = filters;
  for (IMessageFilterUI* filter : copy) {
    bool handled = false;
    intptr_t r = filter->MessageHandler(msg, wParam, lParam, handled);
    if (handled) {
      result = r;
      return true;
    }
  }
  return false;
}

bool CSkinManagerUI::OnKeyDown(unsigned vk, uint16_t keyState) {
  intptr_t result = 0;
  if (RunFilters(m_preFilters, UIMsg::kKeyDown, vk, 0, result)) return true;
  if (vk == UIVK_TAB) {
    FocusNext((keyState & UIKEY_SHIFT) != 0);
    return true;
  }
  if (m_pFocus == nullptr) return false;
  m_pEventKey = m_pFocus;
  SendEvent(m_pFocus, UIEVENT_KEYDOWN, m_ptLastMouse, keyState, static_cast<wchar_t>(vk));
  return false;
}

void CSkinManagerUI::OnKeyUp(unsigned vk, uint16_t keyState) {
  if (m_pEventKey == nullptr) return;
  CControlUI* control = m_pEventKey;
  m_pEventKey = nullptr;
  SendEvent(control, UIEVENT_KEYUP, m_ptLastMouse, keyState, static_cast<wchar_t>(vk));
}

void CSkinManagerUI::OnChar(wchar_t ch) {
  if (m_pFocus != nullptr) SendEvent(m_pFocus, UIEVENT_CHAR, m_ptLastMouse, 0, ch);
}

bool CSkinManagerUI::OnSysKeyDown(unsigned vk) {
  intptr_t result = 0;
  if (RunFilters(m_preFilters, UIMsg::kSysKeyDown, vk, 0, result)) return true;
  if (m_pFocus != nullptr) SendEvent(m_pFocus, UIEVENT_SYSKEY, m_ptLastMouse, 0, static_cast<wchar_t>(vk));
  return false;
}

bool CSkinManagerUI::OnSysChar(wchar_t ch) {
  intptr_t result = 0;
  if (RunFilters(m_preFilters, UIMsg::kSysChar, static_cast<uintptr_t>(ch), 0, result)) return true;
  if (!m_pRoot) return false;
  ShortcutSearch search{static_cast<wchar_t>(std::towupper(ch))};
  CControlUI* control =
      m_pRoot->Visit(ShortcutProc, &search, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST | UIFIND_TOP_FIRST);
  if (control == nullptr) return false;
  FocusControl(control);
  control->Activate();
  return true;
}

bool CSkinManagerUI::OnTimer(unsigned nativeId) {
  for (const TimerEntry& entry : m_timers) {
    if (entry.nativeId == nativeId && !entry.killed) {
      CControlUI* control = entry.control;
      unsigned localId = entry.localId;
      SendEvent(control, UIEVENT_TIMER, m_ptLastMouse, 0, 0, localId);
      return true;
    }
  }
  return false;
}

void CSkinManagerUI::OnClose() {
  if (m_pEventHover != nullptr) {
    CControlUI* hover = m_pEventHover;
    m_pEventHover = nullptr;
    SendEvent(hover, UIEVENT_MOUSELEAVE, m_ptLastMouse);
  }
  if (m_pEventClick != nullptr) {
    // Outside every control: closing the window is never a click.
    CControlUI* click = m_pEventClick;
    m_pEventClick = nullptr;
    SendEvent(click, UIEVENT_BUTTONUP, POINT{-1, -1});
  }
  FocusControl(nullptr);
  if (m_bMouseCapture) ReleaseCapture();
  if (m_bToolTipShown && m_pHost != nullptr) m_pHost->HideToolTip();
  m_bToolTipShown = false;
  m_bMouseTracking = false;
  m_pEventKey = nullptr;
  m_ptLastMouse = POINT{-1, -1};
}

namespace {

POINT PointFromLParam(intptr_t lParam) {
  return POINT{static_cast<int16_t>(lParam & 0xFFFF), static_cast<int16_t>((lParam >> 16) & 0xFFFF)};
}

}  // namespace

bool CSkinManagerUI::HandleMessage(unsigned msg, uintptr_t wParam, intptr_t lParam, intptr_t& result) {
  result = 0;
  if (RunFilters(m_filters, msg, wParam, lParam, result)) return true;
  const uint16_t keys = static_cast<uint16_t>(wParam & 0xFFFF);
  switch (msg) {
    case UIMsg::kMouseMove:
      OnMouseMove(PointFromLParam(lParam), keys);
      return true;
    case UIMsg::kMouseLeave:
      OnMouseLeave();
      return true;
    case UIMsg::kMouseHover:
      OnMouseHover(PointFromLParam(lParam));
      return true;
    case UIMsg::kLButtonDown:
      OnLButtonDown(PointFromLParam(lParam), keys);
      return true;
    case UIMsg::kLButtonUp:
      OnLButtonUp(PointFromLParam(lParam), keys);
      return true;
    case UIMsg::kLButtonDblClk:
      OnLButtonDblClk(PointFromLParam(lParam), keys);
      return true;
    case UIMsg::kRButtonDown:
      OnRButtonDown(PointFromLParam(lParam), keys);
      return true;
    case UIMsg::kContextMenu:
      OnContextMenu(PointFromLParam(lParam));
      return true;
    case UIMsg::kMouseWheel:
      OnMouseWheel(PointFromLParam(lParam), static_cast<int16_t>((wParam >> 16) & 0xFFFF), keys);
      return true;
    case UIMsg::kKeyDown:
      OnKeyDown(static_cast<unsigned>(wParam));
      return true;
    case UIMsg::kKeyUp:
      OnKeyUp(static_cast<unsigned>(wParam));
      return true;
    case UIMsg::kChar:
      OnChar(static_cast<wchar_t>(wParam));
      return true;
    case UIMsg::kSysKeyDown:
      return OnSysKeyDown(static_cast<unsigned>(wParam));
    case UIMsg::kSysChar:
      return OnSysChar(static_cast<wchar_t>(wParam));
    case UIMsg::kTimer:
      return OnTimer(static_cast<unsigned>(wParam));
    case UIMsg::kClose:
      OnClose();
      return false;
    case UIMsg::kReapControls:
      m_delayedDestroy.clear();
      return true;
    default:
      return false;
  }
}

// ---- Controls ----

CControlUI* CSkinManagerUI::ControlByName(const std::wstring& name) const {
  auto it = m_names.find(name);
  return it != m_names.end() ? it->second : nullptr;
}

void CSkinManagerUI::FocusControl(CControlUI* control) {
  if (m_pHost != nullptr && !m_pHost->HasNativeFocus() && control != m_pFocus) m_pHost->SetNativeFocus();
  if (control == m_pFocus) return;
  if (m_pFocus != nullptr) {
    CControlUI* old = m_pFocus;
    m_pFocus = nullptr;
    SendEvent(old, UIEVENT_KILLFOCUS, m_ptLastMouse);
    RaiseNotification(old, L"killfocus");
  }
  if (control == nullptr) return;
  if (control->Manager() == this && control->IsVisible() && control->IsEnabled()) {
    m_pFocus = control;
    SendEvent(control, UIEVENT_SETFOCUS, m_ptLastMouse);
    RaiseNotification(control, L"setfocus");
  }
}

bool CSkinManagerUI::FocusNext(bool backwards) {
  if (!m_pRoot) return false;
  TabSearch search;
  m_pRoot->Visit(TabProc, &search, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
  if (search.stops.empty()) return false;
  const int n = static_cast<int>(search.stops.size());
  int current = -1;
  for (int i = 0; i < n; ++i) {
    if (search.stops[static_cast<size_t>(i)] == m_pFocus) current = i;
  }
  int next;
  if (current < 0) {
    next = backwards ? n - 1 : 0;
  } else {
    next = backwards ? (current - 1 + n) % n : (current + 1) % n;
  }
  FocusControl(search.stops[static_cast<size_t>(next)]);
  return m_pFocus == search.stops[static_cast<size_t>(next)];
}

void CSkinManagerUI::SetCapture() {
  if (m_pHost != nullptr) m_pHost->SetCapture();
  m_bMouseCapture = true;
}

void CSkinManagerUI::ReleaseCapture() {
  if (m_pHost != nullptr) m_pHost->ReleaseCapture();
  m_bMouseCapture = false;
}

// ---- Timers ----

unsigned CSkinManagerUI::NextNativeTimerId() {
  // Ids cycle through 1..254; one still held by an entry is never handed out twice.
  for (int attempt = 0; attempt < 255; ++attempt) {
    m_nTimerCounter = (m_nTimerCounter + 1) % 255;
    if (m_nTimerCounter == 0) continue;
    bool used = std::any_of(m_timers.begin(), m_timers.end(),
                            [this](const TimerEntry& e) { return e.nativeId == m_nTimerCounter; });
    if (!used) return m_nTimerCounter;
  }
  return 0;
}

bool CSkinManagerUI::StartTimer(CControlUI* control, unsigned id, unsigned milliseconds) {
  if (control == nullptr || m_pHost == nullptr) return false;
  for (TimerEntry& entry : m_timers) {
    if (entry.control == control && entry.localId == id) {
      if (!entry.killed) return false;
      if (!m_pHost->SetNativeTimer(entry.nativeId, milliseconds)) return false;
      entry.killed = false;
      return true;
    }
  }
  unsigned nativeId = NextNativeTimerId();
  if (nativeId == 0) return false;
  if (!m_pHost->SetNativeTimer(nativeId, milliseconds)) return false;
  m_timers.push_back(TimerEntry{control, id, nativeId, false});
  return true;
}

bool CSkinManagerUI::StopTimer(CControlUI* control, unsigned id) {
  for (TimerEntry& entry : m_timers) {
    if (entry.control == control && entry.localId == id) {
      if (!entry.killed && m_pHost != nullptr) m_pHost->KillNativeTimer(entry.nativeId);
      entry.killed = true;
      return true;
    }
  }
  return false;
}

void CSkinManagerUI::StopTimers(CControlUI* control) {
  for (auto it = m_timers.begin(); it != m_timers.end();) {
    if (it->control == control) {
      if (!it->killed && m_pHost != nullptr) m_pHost->KillNativeTimer(it->nativeId);
      it = m_timers.erase(it);
    } else {
      ++it;
    }
  }
}

// ---- Notifications ----

void CSkinManagerUI::RaiseNotification(CControlUI* control, const std::wstring& type, uintptr_t wParam,
                                       intptr_t lParam) {
  UINotification msg;
  msg.type = type;
  msg.sender = control;
  msg.timestamp = UITickCount();
  msg.mousePos = m_ptLastMouse;
  msg.wParam = wParam;
  msg.lParam = lParam;
  if (m_bUsedVirtualWnd && control != nullptr) msg.virtualWindow = control->VirtualWnd();
  // The sender's own delegates never stop delivery to the receivers.
  if (control != nullptr) control->OnNotify(&msg);
  std::vector<INotifyUI*> receivers = m_receivers;
  for (INotifyUI* receiver : receivers) receiver->OnNotification(msg);
}

namespace {

template <class T>
void AddUnique(std::vector<T*>& list, T* item) {
  if (item != nullptr && std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

template <class T>
void RemoveItem(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

void CSkinManagerUI::AddReceiver(INotifyUI* receiver) { AddUnique(m_receivers, receiver); }
void CSkinManagerUI::RemoveReceiver(INotifyUI* receiver) { RemoveItem(m_receivers, receiver); }
void CSkinManagerUI::AddPreFilter(IMessageFilterUI* filter) { AddUnique(m_preFilters, filter); }
void CSkinManagerUI::RemovePreFilter(IMessageFilterUI* filter) { RemoveItem(m_preFilters, filter); }
void CSkinManagerUI::AddMessageFilter(IMessageFilterUI* filter) { AddUnique(m_filters, filter); }
void CSkinManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) { RemoveItem(m_filters, filter); }

void CSkinManagerUI::Invalidate(const RECT& rc) {
  if (m_pHost != nullptr && !UIIsRectEmpty(rc)) m_pHost->Invalidate(rc);
}

// ---- Used by controls ----

void CSkinManagerUI::RegisterName(CControlUI* control) {
  if (control == nullptr) return;
  std::wstring name = control->Name();
  if (!name.empty()) m_names[name] = control;
}

void CSkinManagerUI::RegisterNames(CControlUI* subtree) {
  if (subtree != nullptr) subtree->Visit(NameProc, this, UIFIND_ALL);
}

void CSkinManagerUI::ReapObjects(CControlUI* control) {
  if (control == nullptr) return;
  if (m_pFocus == control) m_pFocus = nullptr;
  if (m_pEventHover == control) m_pEventHover = nullptr;
  if (m_pEventClick == control) m_pEventClick = nullptr;
  if (m_pEventKey == control) m_pEventKey = nullptr;
  StopTimers(control);
  for (auto it = m_names.begin(); it != m_names.end();) {
    if (it->second == control) {
      it = m_names.erase(it);
    } else {
      ++it;
    }
  }
  // Compared as addresses: the control may be half destroyed already.
  const void* address = control;
  for (auto& group : m_optionGroups) {
    auto& list = group.second;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [address](COptionUI* o) { return reinterpret_cast<const void*>(o) == address; }),
               list.end());
  }
}

void CSkinManagerUI::DelayedDestroy(std::unique_ptr<CControlUI> control) {
  if (!control) return;
  m_delayedDestroy.push_back(std::move(control));
  if (m_pHost != nullptr) m_pHost->PostSelf(UIMsg::kReapControls, 0, 0);
}

bool CSkinManagerUI::AddOptionGroup(const std::wstring& group, COptionUI* option) {
  if (group.empty() || option == nullptr) return false;
  auto& list = m_optionGroups[group];
  if (std::find(list.begin(), list.end(), option) != list.end()) return false;
  list.push_back(option);
  return true;
}

void CSkinManagerUI::RemoveOptionGroup(const std::wstring& group, COptionUI* option) {
  auto it = m_optionGroups.find(group);
  if (it == m_optionGroups.end()) return;
  RemoveItem(it->second, option);
  if (it->second.empty()) m_optionGroups.erase(it);
}

const std::vector<COptionUI*>* CSkinManagerUI::OptionGroup(const std::wstring& group) const {
  auto it = m_optionGroups.find(group);
  return it != m_optionGroups.end() ? &it->second : nullptr;
}

void CSkinManagerUI::SetCursor(UICursor cursor) {
  if (m_pHost != nullptr) m_pHost->SetCursor(cursor);
}

IEditWindowUI* CSkinManagerUI::CreateEditWindow(CEditUI& edit) {
  return m_pHost != nullptr ? m_pHost->CreateEditWindow(edit) : nullptr;
}

// ---- Skin resources ----

int CSkinManagerUI::AddFont(const std::wstring& face, int size, bool bold, bool underline, bool italic,
                            bool makeDefault) {
  m_fonts.push_back(std::make_unique<SkinFont>(face, size, bold, underline, italic));
  if (makeDefault) m_pDefaultFont = m_fonts.back().get();
  return static_cast<int>(m_fonts.size()) - 1;
}

void CSkinManagerUI::SetDefaultFont(const std::wstring& face, int size, bool bold, bool underline, bool italic) {
  m_pOwnDefaultFont = std::make_unique<SkinFont>(face, size, bold, underline, italic);
  m_pDefaultFont = m_pOwnDefaultFont.get();
}

const SkinImage* CSkinManagerUI::ImageFor(const std::wstring& name, const std::wstring& type, uint32_t mask) {
  return m_pImages->ImageFor(name, type, mask);
}

const SkinFont* CSkinManagerUI::FontAt(int index) const {
  if (index >= 0 && index < static_cast<int>(m_fonts.size())) return m_fonts[static_cast<size_t>(index)].get();
  return DefaultFont();
}

const SkinFont* CSkinManagerUI::DefaultFont() const { return m_pDefaultFont; }

bool CSkinManagerUI::CacheImage(const std::wstring& name, const std::wstring& type, uint32_t mask) {
  return m_pImages->CacheImage(name, type, mask) != nullptr;
}

bool CSkinManagerUI::AddDefaultAttributeList(const std::wstring& element, const std::wstring& list) {
  return m_defaultAttributes.emplace(element, list).second;
}

std::wstring CSkinManagerUI::DefaultAttributeList(const std::wstring& element) const {
  auto it = m_defaultAttributes.find(element);
  return it != m_defaultAttributes.end() ? it->second : std::wstring();
}

// ---- Window attributes ----

void CSkinManagerUI::SetInitSize(int cx, int cy) {
  m_szInitWindowSize = SIZE{cx, cy};
  if (!m_pRoot && m_pHost != nullptr) m_pHost->ResizeClient(cx, cy);
}

void CSkinManagerUI::SetAlpha(int alpha) {
  m_nAlpha = std::max(0, std::min(alpha, 255));
  m_bLayered = true;
}

}  // namespace SkinUI
