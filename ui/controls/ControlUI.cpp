// The control base: state, layout inputs, common attributes, placement,
// invalidation, default event handling and the painting order.
#include "ui/controls/ControlUI.h"

#include <climits>

#include <algorithm>
#include <cwchar>

#include "ui/controls/AttributeValue.h"
#include "ui/core/RenderEngine.h"
#include "ui/core/SkinManagerUI.h"

namespace SkinUI {

bool UIIsRectEmpty(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }

bool UIIntersectRect(RECT& out, const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (UIIsRectEmpty(r)) {
    out = RECT{};
    return false;
  }
  out = r;
  return true;
}

RECT UIUnionRect(const RECT& a, const RECT& b) {
  if (UIIsRectEmpty(a)) return b;
  if (UIIsRectEmpty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

bool UIPtInRect(const RECT& rc, POINT pt) {
  return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom;
}

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  OnDestroyed(this);
  if (m_pManager != nullptr) m_pManager->ReapObjects(this);
}

std::wstring CControlUI::Name() const { return m_sName; }
void CControlUI::SetName(const std::wstring& name) { m_sName = name; }
const wchar_t* CControlUI::ClassName() const { return L"ControlUI"; }

void* CControlUI::AsInterface(const std::wstring& name) {
  if (name == L"Control") return this;
  return nullptr;
}

unsigned CControlUI::ControlFlags() const { return 0; }

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

CSkinManagerUI* CControlUI::Manager() const { return m_pManager; }

void CControlUI::Bind(CSkinManagerUI* manager, CControlUI* parent, bool init) {
  m_pManager = manager;
  m_pParent = parent;
  if (init && m_pParent != nullptr) Init();
}

CControlUI* CControlUI::Parent() const { return m_pParent; }

std::wstring CControlUI::Text() const { return m_sText; }

void CControlUI::SetText(const std::wstring& text) {
  if (m_sText == text) return;
  m_sText = text;
  Invalidate();
}

const RECT& CControlUI::Rect() const { return m_rcItem; }

namespace {

// b - a, or -1 when that does not fit an int (a "pos" of wild numbers).
int Span(long long a, long long b) {
  const long long d = b - a;
  return d > INT_MAX || d < INT_MIN ? -1 : static_cast<int>(d);
}

// Clips `rc` by `control`'s ancestors; false when nothing is left.
bool ClipByAncestors(const CControlUI* control, RECT& rc) {
  for (const CControlUI* p = control->Parent(); p != nullptr; p = p->Parent()) {
    if (!UIIntersectRect(rc, rc, p->Rect())) return false;
  }
  return !UIIsRectEmpty(rc);
}

}  // namespace

void CControlUI::Place(const RECT& rc) {
  RECT r = rc;
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  RECT old = m_rcItem;
  if (UIIsRectEmpty(old)) old = r;
  m_rcItem = r;
  if (m_pManager == nullptr) return;

  if (!m_bSetPos) {
    m_bSetPos = true;
    OnPlaced(this);
    m_bSetPos = false;
  }

  if (m_bFloat && m_pParent != nullptr) {
    const RECT& pr = m_pParent->Rect();
    m_cXY.cx = m_cXY.cx >= 0 ? m_rcItem.left - pr.left : m_rcItem.right - pr.right;
    m_cXY.cy = m_cXY.cy >= 0 ? m_rcItem.top - pr.top : m_rcItem.bottom - pr.bottom;
    m_cxyFixed.cx = m_rcItem.right - m_rcItem.left;
    m_cxyFixed.cy = m_rcItem.bottom - m_rcItem.top;
  }

  m_bUpdateNeeded = false;
  if (!IsVisible()) return;
  RECT dirty = UIUnionRect(old, m_rcItem);
  if (ClipByAncestors(this, dirty)) m_pManager->Invalidate(dirty);
}

int CControlUI::Width() const { return m_rcItem.right - m_rcItem.left; }
int CControlUI::Height() const { return m_rcItem.bottom - m_rcItem.top; }
int CControlUI::X() const { return m_rcItem.left; }
int CControlUI::Y() const { return m_rcItem.top; }
RECT CControlUI::Padding() const { return m_rcPadding; }

void CControlUI::SetPadding(const RECT& rc) {
  m_rcPadding = rc;
  RequestParentLayout();
}

SIZE CControlUI::FixedXY() const { return m_cXY; }

// A floating control is placed by its parent's PlaceFloating, which the manager's
// layout pass runs for it; other controls need their parent's layout.
#define UI_REQUEST_OWN_LAYOUT() (m_bFloat ? RequestLayout() : RequestParentLayout())

void CControlUI::SetFixedXY(SIZE xy) {
  m_cXY = xy;
  UI_REQUEST_OWN_LAYOUT();
}

int CControlUI::FixedWidth() const { return m_cxyFixed.cx; }

void CControlUI::SetFixedWidth(int cx) {
  if (cx < 0) return;
  m_cxyFixed.cx = cx;
  UI_REQUEST_OWN_LAYOUT();
}

int CControlUI::FixedHeight() const { return m_cxyFixed.cy; }

void CControlUI::SetFixedHeight(int cy) {
  if (cy < 0) return;
  m_cxyFixed.cy = cy;
  UI_REQUEST_OWN_LAYOUT();
}

int CControlUI::MinWidth() const { return m_cxyMin.cx; }
void CControlUI::SetMinWidth(int cx) {
  if (cx < 0 || cx == m_cxyMin.cx) return;
  m_cxyMin.cx = cx;
  UI_REQUEST_OWN_LAYOUT();
}
int CControlUI::MaxWidth() const { return m_cxyMax.cx; }
void CControlUI::SetMaxWidth(int cx) {
  if (cx < 0 || cx == m_cxyMax.cx) return;
  m_cxyMax.cx = cx;
  UI_REQUEST_OWN_LAYOUT();
}
int CControlUI::MinHeight() const { return m_cxyMin.cy; }
void CControlUI::SetMinHeight(int cy) {
  if (cy < 0 || cy == m_cxyMin.cy) return;
  m_cxyMin.cy = cy;
  UI_REQUEST_OWN_LAYOUT();
}
int CControlUI::MaxHeight() const { return m_cxyMax.cy; }
void CControlUI::SetMaxHeight(int cy) {
  if (cy < 0 || cy == m_cxyMax.cy) return;
  m_cxyMax.cy = cy;
  UI_REQUEST_OWN_LAYOUT();
}

#undef UI_REQUEST_OWN_LAYOUT

void CControlUI::SetRelativePos(SIZE move, SIZE zoom) {
  m_tRelativePos.relative = move.cx != 0 || move.cy != 0 || zoom.cx != 0 || zoom.cy != 0;
  m_tRelativePos.moveX = move.cx;
  m_tRelativePos.moveY = move.cy;
  m_tRelativePos.zoomX = zoom.cx;
  m_tRelativePos.zoomY = zoom.cy;
}

void CControlUI::SetRelativeParentSize(SIZE size) { m_tRelativePos.parentSize = size; }
RelativePosUI CControlUI::RelativePos() const { return m_tRelativePos; }
bool CControlUI::IsRelativePos() const { return m_tRelativePos.relative; }

std::wstring CControlUI::ToolTip() const { return m_sToolTip; }
void CControlUI::SetToolTip(const std::wstring& text) { m_sToolTip = ParseToolTipText(text.c_str()); }
void CControlUI::SetToolTipWidth(int width) { m_nToolTipWidth = width; }
int CControlUI::ToolTipWidth() const { return m_nToolTipWidth; }
wchar_t CControlUI::Shortcut() const { return m_chShortcut; }
void CControlUI::SetShortcut(wchar_t ch) { m_chShortcut = ch; }
bool CControlUI::UsesContextMenu() const { return m_bMenuUsed; }
void CControlUI::SetUsesContextMenu(bool b) { m_bMenuUsed = b; }
std::wstring CControlUI::UserData() const { return m_sUserData; }
void CControlUI::SetUserData(const std::wstring& text) { m_sUserData = text; }
uintptr_t CControlUI::Tag() const { return m_pTag; }
void CControlUI::SetTag(uintptr_t tag) { m_pTag = tag; }

bool CControlUI::IsVisible() const { return m_bVisible && m_bInternVisible; }

void CControlUI::SetVisible(bool visible) {
  if (m_bVisible == visible) return;
  bool was = IsVisible();
  m_bVisible = visible;
  if (!IsVisible() && m_bFocused) {
    m_bFocused = false;
    if (m_pManager != nullptr && m_pManager->FocusedControl() == this) m_pManager->FocusControl(nullptr);
  }
  if (IsVisible() != was) RequestParentLayout();
}

void CControlUI::SetInnerVisible(bool visible) {
  if (m_bInternVisible == visible) return;
  bool was = IsVisible();
  m_bInternVisible = visible;
  if (!IsVisible() && m_pManager != nullptr && m_pManager->FocusedControl() == this) {
    m_pManager->FocusControl(nullptr);
  }
  if (IsVisible() != was) RequestParentLayout();
}

bool CControlUI::IsEnabled() const { return m_bEnabled; }

void CControlUI::SetEnabled(bool enabled) {
  if (m_bEnabled == enabled) return;
  m_bEnabled = enabled;
  Invalidate();
}

bool CControlUI::IsMouseEnabled() const { return m_bMouseEnabled; }
void CControlUI::SetMouseEnabled(bool enabled) { m_bMouseEnabled = enabled; }
bool CControlUI::IsKeyboardEnabled() const { return m_bKeyboardEnabled; }
void CControlUI::SetKeyboardEnabled(bool enabled) { m_bKeyboardEnabled = enabled; }
bool CControlUI::IsFocused() const { return m_bFocused; }

void CControlUI::TakeFocus() {
  if (m_pManager != nullptr) m_pManager->FocusControl(this);
}

bool CControlUI::IsHot() const { return m_bHot; }
void CControlUI::EmptyHook() {}
bool CControlUI::IsFloat() const { return m_bFloat; }

void CControlUI::SetFloat(bool floating) {
  if (m_bFloat == floating) return;
  m_bFloat = floating;
  RequestParentLayout();
}

bool CControlUI::IsDragEnabled() const { return m_bDragEnabled; }
void CControlUI::SetDragEnabled(bool b) { m_bDragEnabled = b; }
bool CControlUI::IsContainer() const { return false; }

CControlUI* CControlUI::Visit(FindControlProc proc, void* data, unsigned flags) {
  if ((flags & UIFIND_VISIBLE) != 0 && !IsVisible()) return nullptr;
  if ((flags & UIFIND_ENABLED) != 0 && !IsEnabled()) return nullptr;
  if ((flags & UIFIND_HITTEST) != 0 && !UIPtInRect(m_rcItem, *static_cast<POINT*>(data))) return nullptr;
  return proc(this, data);
}

void CControlUI::Init() {
  PrepareContent();
  OnInit(this);
}

void CControlUI::PrepareContent() {}

void CControlUI::DispatchEvent(UIEvent& event) {
  if (OnEvent(&event)) HandleEvent(event);
}

void CControlUI::HandleEvent(UIEvent& event) {
  switch (event.kind) {
    case UIEVENT_SETCURSOR:
      if (m_pManager != nullptr) m_pManager->SetCursor(UICursor::Arrow);
      return;
    case UIEVENT_SETFOCUS:
      m_bFocused = true;
      Invalidate();
      return;
    case UIEVENT_KILLFOCUS:
      m_bFocused = false;
      Invalidate();
      return;
    case UIEVENT_TIMER:
      if (m_pManager != nullptr) m_pManager->RaiseNotification(this, L"timer", event.wParam, event.lParam);
      return;
    case UIEVENT_CONTEXTMENU:
      if (m_bMenuUsed && m_pManager != nullptr) {
        m_pManager->RaiseNotification(this, L"menu", event.wParam, event.lParam);
      }
      return;
    case UIEVENT_MOUSEENTER:
      m_bHot = true;
      if (IsEnabled()) Invalidate();
      break;
    case UIEVENT_MOUSELEAVE:
      m_bHot = false;
      if (IsEnabled()) Invalidate();
      break;
    default:
      break;
  }
  if (m_pParent != nullptr) m_pParent->HandleEvent(event);
}

void CControlUI::ApplyAttribute(const std::wstring& name, const std::wstring& value) {
  const wchar_t* v = value.c_str();
  if (name == L"pos") {
    RECT rc;
    if (!ParseRect(v, rc)) return;
    SIZE xy{rc.left >= 0 ? rc.left : rc.right, rc.top >= 0 ? rc.top : rc.bottom};
    SetFixedXY(xy);
    SetFixedWidth(Span(rc.left, rc.right));   // negative results are ignored
    SetFixedHeight(Span(rc.top, rc.bottom));
  } else if (name == L"relativepos") {
    RECT rc;
    if (ParseRect(v, rc)) SetRelativePos(SIZE{rc.left, rc.top}, SIZE{rc.right, rc.bottom});
  } else if (name == L"padding") {
    RECT rc;
    if (ParseRect(v, rc)) SetPadding(rc);
  } else if (name == L"bkcolor" || name == L"bkcolor1") {
    SetBkColor(ParseColor(v, true));
  } else if (name == L"bkcolor2") {
    SetBkColor2(ParseColor(v, true));
  } else if (name == L"bkcolor3") {
    SetBkColor3(ParseColor(v, true));
  } else if (name == L"disabledbkcolor") {
    SetDisabledBkColor(ParseColor(v, true));
  } else if (name == L"bordercolor") {
    SetBorderColor(ParseColor(v));
  } else if (name == L"hotbordercolor") {
    SetHotBorderColor(ParseColor(v));
  } else if (name == L"focusbordercolor") {
    SetFocusBorderColor(ParseColor(v));
  } else if (name == L"colorhsl") {
    m_bColorHSL = ParseBool(v);
  } else if (name == L"bordersize") {
    if (value.find(L',') != std::wstring::npos) {
      RECT rc;
      if (ParseRect(v, rc)) SetBorderSize(rc);
    } else {
      SetBorderSize(ParseInt(v));
    }
  } else if (name == L"borderpadding") {
    RECT rc;
    if (ParseRect(v, rc)) SetBorderPadding(rc);
  } else if (name == L"leftbordersize") {
    m_rcBorderSize.left = ParseInt(v);
    Invalidate();
  } else if (name == L"topbordersize") {
    m_rcBorderSize.top = ParseInt(v);
    Invalidate();
  } else if (name == L"rightbordersize") {
    m_rcBorderSize.right = ParseInt(v);
    Invalidate();
  } else if (name == L"bottombordersize") {
    m_rcBorderSize.bottom = ParseInt(v);
    Invalidate();
  } else if (name == L"borderstyle") {
    SetBorderStyle(ParseInt(v));
  } else if (name == L"borderround") {
    SIZE sz;
    if (ParsePair(v, sz)) SetBorderRound(sz);
  } else if (name == L"bkimage") {
    SetBackgroundImage(value);
  } else if (name == L"width") {
    SetFixedWidth(ParseInt(v));
  } else if (name == L"height") {
    SetFixedHeight(ParseInt(v));
  } else if (name == L"minwidth") {
    SetMinWidth(ParseInt(v));
  } else if (name == L"minheight") {
    SetMinHeight(ParseInt(v));
  } else if (name == L"maxwidth") {
    SetMaxWidth(ParseInt(v));
  } else if (name == L"maxheight") {
    SetMaxHeight(ParseInt(v));
  } else if (name == L"name") {
    SetName(value);
  } else if (name == L"text") {
    SetText(value);
  } else if (name == L"tooltip") {
    SetToolTip(value);
  } else if (name == L"userdata") {
    SetUserData(value);
  } else if (name == L"enabled") {
    SetEnabled(ParseBool(v));
  } else if (name == L"mouse") {
    SetMouseEnabled(ParseBool(v));
  } else if (name == L"keyboard") {
    SetKeyboardEnabled(ParseBool(v));
  } else if (name == L"visible") {
    SetVisible(ParseBool(v));
  } else if (name == L"float") {
    SetFloat(ParseBool(v));
  } else if (name == L"menu") {
    SetUsesContextMenu(ParseBool(v));
  } else if (name == L"drag") {
    SetDragEnabled(ParseBool(v));
  } else if (name == L"shortcut") {
    SetShortcut(value.empty() ? 0 : value[0]);
  } else if (name == L"virtualwnd") {
    SetVirtualWnd(value);
  }
}

void CControlUI::ApplyAttributeList(const std::wstring& list) {
  ParseAttributeList(list.c_str(), [this](const std::wstring& n, const std::wstring& v) { ApplyAttribute(n, v); });
}

SIZE CControlUI::Measure(SIZE /*available*/) { return m_cxyFixed; }

void CControlUI::Paint(CPaintDC& dc, const RECT& paint) {
  if (!UIIntersectRect(m_rcPaint, paint, m_rcItem)) return;
  CRenderClip clip;
  if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0) {
    clip = CRenderEngine::ClipToRound(&dc, m_rcPaint, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy);
  }
  PaintBackColor(dc);
  PaintBackImage(dc);
  PaintStateImage(dc);
  PaintText(dc);
  PaintBorder(dc);
}

void CControlUI::PaintBackColor(CPaintDC& dc) {
  if (!IsEnabled()) {
    CRenderEngine::DrawColor(&dc, m_rcItem, m_dwDisabledBkColor);
    return;
  }
  if (m_dwBackColor == 0) return;
  if (m_dwBackColor2 != 0) {
    if (m_dwBackColor3 != 0) {
      RECT upper = m_rcItem;
      upper.bottom = (m_rcItem.top + m_rcItem.bottom) / 2;
      RECT lower = m_rcItem;
      lower.top = upper.bottom;
      CRenderEngine::DrawGradient(&dc, upper, m_dwBackColor, m_dwBackColor2, 8);
      CRenderEngine::DrawGradient(&dc, lower, m_dwBackColor2, m_dwBackColor3, 8);
    } else {
      CRenderEngine::DrawGradient(&dc, m_rcItem, m_dwBackColor, m_dwBackColor2, 16);
    }
  } else if ((m_dwBackColor >> 24) == 0xFF) {
    CRenderEngine::DrawColor(&dc, m_rcPaint, m_dwBackColor);
  } else {
    CRenderEngine::DrawColor(&dc, m_rcItem, m_dwBackColor);
  }
}

bool CControlUI::CoversOpaquely(const RECT& rc) const {
  if (!IsVisible() || m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0) return false;
  uint32_t color = IsEnabled() ? (m_dwBackColor2 == 0 ? m_dwBackColor : 0) : m_dwDisabledBkColor;
  if ((color >> 24) != 0xFF) return false;
  return rc.left >= m_rcItem.left && rc.top >= m_rcItem.top && rc.right <= m_rcItem.right &&
         rc.bottom <= m_rcItem.bottom;
}

void CControlUI::PaintBackImage(CPaintDC& dc) {
  if (m_sBkImage.empty()) return;
  DrawImage(dc, m_sBkImage);
}

void CControlUI::PaintStateImage(CPaintDC& /*dc*/) {}
void CControlUI::PaintText(CPaintDC& /*dc*/) {}

void CControlUI::PaintBorder(CPaintDC& dc) {
  if (m_dwBorderColor == 0 && m_dwHotBorderColor == 0 && m_dwFocusBorderColor == 0) return;
  RECT rc{m_rcItem.left + m_rcBorderPadding.left, m_rcItem.top + m_rcBorderPadding.top,
          m_rcItem.right - m_rcBorderPadding.right, m_rcItem.bottom - m_rcBorderPadding.bottom};
  // A colour of 0 counts as "not set": no rule draws with it.
  if (m_nBorderSize >= 1 && (m_cxyBorderRound.cx >= 1 || m_cxyBorderRound.cy >= 1)) {
    uint32_t color = m_dwBorderColor;
    if (IsFocused() && m_dwFocusBorderColor != 0) {
      color = m_dwFocusBorderColor;
    } else if (IsHot() && m_dwHotBorderColor != 0) {
      color = m_dwHotBorderColor;
    }
    if (color != 0) {
      CRenderEngine::DrawRoundRect(&dc, rc, m_nBorderSize, m_cxyBorderRound.cx, m_cxyBorderRound.cy, color);
    }
    return;
  }
  if (IsFocused() && m_nBorderSize > 0 && m_dwFocusBorderColor != 0) {
    uint32_t color = (!IsEnabled() && m_dwBorderColor != 0) ? m_dwBorderColor : m_dwFocusBorderColor;
    CRenderEngine::DrawRect(&dc, rc, m_nBorderSize, color);
    return;
  }
  if (IsHot() && m_nBorderSize > 0 && m_dwHotBorderColor != 0) {
    uint32_t color = (!IsEnabled() && m_dwBorderColor != 0) ? m_dwBorderColor : m_dwHotBorderColor;
    CRenderEngine::DrawRect(&dc, rc, m_nBorderSize, color);
    return;
  }
  if (m_rcBorderSize.left > 0 || m_rcBorderSize.top > 0 || m_rcBorderSize.right > 0 || m_rcBorderSize.bottom > 0) {
    if (m_dwBorderColor == 0) return;
    if (m_rcBorderSize.left > 0) {
      CRenderEngine::DrawLine(&dc, RECT{rc.left, rc.top, rc.left, rc.bottom}, m_rcBorderSize.left, m_dwBorderColor,
                              m_nBorderStyle);
    }
    if (m_rcBorderSize.top > 0) {
      CRenderEngine::DrawLine(&dc, RECT{rc.left, rc.top, rc.right, rc.top}, m_rcBorderSize.top, m_dwBorderColor,
                              m_nBorderStyle);
    }
    if (m_rcBorderSize.right > 0) {
      CRenderEngine::DrawLine(&dc, RECT{rc.right, rc.top, rc.right, rc.bottom}, m_rcBorderSize.right,
                              m_dwBorderColor, m_nBorderStyle);
    }
    if (m_rcBorderSize.bottom > 0) {
      CRenderEngine::DrawLine(&dc, RECT{rc.left, rc.bottom, rc.right, rc.bottom}, m_rcBorderSize.bottom,
                              m_dwBorderColor, m_nBorderStyle);
    }
    return;
  }
  if (m_nBorderSize >= 1 && m_dwBorderColor != 0) CRenderEngine::DrawRect(&dc, rc, m_nBorderSize, m_dwBorderColor);
}

void CControlUI::PaintAfter(CPaintDC& /*dc*/, const RECT& /*rc*/) {}

void CControlUI::Invalidate() {
  if (m_pManager == nullptr || !IsVisible()) return;
  RECT rc = m_rcItem;
  if (UIIsRectEmpty(rc)) return;
  if (ClipByAncestors(this, rc)) m_pManager->Invalidate(rc);
}

void CControlUI::RequestLayout() {
  if (IsVisible()) {
    m_bUpdateNeeded = true;
    Invalidate();
  }
  if (m_pManager != nullptr) m_pManager->NeedUpdate();
}

void CControlUI::RequestParentLayout() {
  if (m_pParent != nullptr) {
    m_pParent->RequestLayout();
  } else {
    RequestLayout();
  }
}

void CControlUI::SetBackgroundImage(const std::wstring& descriptor) {
  if (m_sBkImage == descriptor) return;
  m_sBkImage = descriptor;
  Invalidate();
}

void CControlUI::SetBkColor(uint32_t c) {
  if (m_dwBackColor == c) return;
  m_dwBackColor = c;
  Invalidate();
}
void CControlUI::SetBkColor2(uint32_t c) {
  if (m_dwBackColor2 == c) return;
  m_dwBackColor2 = c;
  Invalidate();
}
void CControlUI::SetBkColor3(uint32_t c) {
  if (m_dwBackColor3 == c) return;
  m_dwBackColor3 = c;
  Invalidate();
}
void CControlUI::SetDisabledBkColor(uint32_t c) {
  if (m_dwDisabledBkColor == c) return;
  m_dwDisabledBkColor = c;
  Invalidate();
}
void CControlUI::SetBorderColor(uint32_t c) {
  m_dwBorderColor = c;
  Invalidate();
}
void CControlUI::SetHotBorderColor(uint32_t c) {
  m_dwHotBorderColor = c;
  Invalidate();
}
void CControlUI::SetFocusBorderColor(uint32_t c) {
  m_dwFocusBorderColor = c;
  Invalidate();
}
void CControlUI::SetBorderSize(int n) {
  m_nBorderSize = n;
  Invalidate();
}
void CControlUI::SetBorderSize(const RECT& sides) {
  m_rcBorderSize = sides;
  Invalidate();
}
void CControlUI::SetBorderPadding(const RECT& rc) {
  m_rcBorderPadding = rc;
  Invalidate();
}
void CControlUI::SetBorderStyle(int style) {
  m_nBorderStyle = style;
  Invalidate();
}
void CControlUI::SetBorderRound(SIZE sz) {
  m_cxyBorderRound = sz;
  Invalidate();
}

std::wstring CControlUI::VirtualWnd() const {
  if (!m_sVirtualWnd.empty()) return m_sVirtualWnd;
  return m_pParent != nullptr ? m_pParent->VirtualWnd() : std::wstring();
}

void CControlUI::SetVirtualWnd(const std::wstring& name) {
  m_sVirtualWnd = name;
  if (m_pManager != nullptr) m_pManager->UsedVirtualWnd(true);
}

bool CControlUI::DrawImage(CPaintDC& dc, const std::wstring& descriptor, const std::wstring& modifier) {
  if (m_pManager == nullptr) return false;
  return CRenderEngine::DrawImage(&dc, m_pManager, m_rcItem, m_rcPaint, descriptor, modifier);
}

bool CControlUI::DrawImageAt(CPaintDC& dc, const RECT& item, const std::wstring& descriptor) {
  if (m_pManager == nullptr) return false;
  return CRenderEngine::DrawImage(&dc, m_pManager, item, m_rcPaint, descriptor);
}

}  // namespace SkinUI
