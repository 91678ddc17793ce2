// Image buttons: mouse and key handling into state bits, the state image table
// and state text colours.
#include "ui/controls/ButtonUI.h"

#include "ui/controls/AttributeValue.h"
#include "ui/core/RenderEngine.h"
#include "ui/core/SkinFont.h"
#include "ui/core/SkinManagerUI.h"

namespace SkinUI {

CButtonUI::CButtonUI() { m_uTextStyle = DT_CENTER | DT_VCENTER | DT_SINGLELINE; }

const wchar_t* CButtonUI::ClassName() const { return L"ButtonUI"; }

void* CButtonUI::AsInterface(const std::wstring& name) {
  if (name == L"Button") return static_cast<CControlUI*>(this);
  return CLabelUI::AsInterface(name);
}

unsigned CButtonUI::ControlFlags() const {
  return (IsEnabled() ? UIFLAG_SETCURSOR : 0) | (IsKeyboardEnabled() ? UIFLAG_TABSTOP : 0);
}

bool CButtonUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (m_pManager != nullptr) m_pManager->RaiseNotification(this, L"click");
  return true;
}

void CButtonUI::SetEnabled(bool enabled) {
  if (m_bEnabled == enabled) return;
  CLabelUI::SetEnabled(enabled);
  // Hot, pushed and captured never survive a change; the selection of an option does.
  m_uButtonState &= UISTATE_SELECTED;
}

namespace {

bool IsMouseEvent(int kind) { return kind >= UIEVENT_MOUSEMOVE && kind <= UIEVENT_SCROLLWHEEL; }

}  // namespace

void CButtonUI::HandleEvent(UIEvent& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.kind)) {
    if (m_pParent != nullptr) {
      m_pParent->HandleEvent(event);
    } else {
      CLabelUI::HandleEvent(event);
    }
    return;
  }
  if (!IsEnabled()) {
    CLabelUI::HandleEvent(event);
    return;
  }
  switch (event.kind) {
    case UIEVENT_SETFOCUS:
      m_uButtonState |= UISTATE_HOT;
      Invalidate();
      break;
    case UIEVENT_KILLFOCUS:
      m_uButtonState &= ~UISTATE_HOT;
      Invalidate();
      break;
    case UIEVENT_KEYDOWN:
      if (IsKeyboardEnabled() && (event.key == UIVK_SPACE || event.key == UIVK_RETURN)) {
        Activate();
        return;
      }
      break;
    case UIEVENT_MOUSEENTER:
      m_uButtonState |= UISTATE_HOT;
      Invalidate();
      break;
    case UIEVENT_MOUSELEAVE:
      m_uButtonState &= ~UISTATE_HOT;
      Invalidate();
      break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (UIPtInRect(m_rcItem, event.mousePos)) {
        m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSEMOVE:
      if ((m_uButtonState & UISTATE_CAPTURED) != 0) {
        if (UIPtInRect(m_rcItem, event.mousePos)) {
          m_uButtonState |= UISTATE_PUSHED;
        } else {
          m_uButtonState &= ~UISTATE_PUSHED;
        }
        Invalidate();
      }
      return;
    case UIEVENT_BUTTONUP:
      if ((m_uButtonState & UISTATE_CAPTURED) != 0) {
        m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
        Invalidate();
        // Activate last: a click handler may hide or remove this button.
        if (UIPtInRect(m_rcItem, event.mousePos)) Activate();
      }
      return;
    case UIEVENT_CONTEXTMENU:
      if (UsesContextMenu() && m_pManager != nullptr) {
        m_pManager->RaiseNotification(this, L"menu", event.wParam, event.lParam);
      }
      return;
    case UIEVENT_SETCURSOR:
      if (m_pManager != nullptr) m_pManager->SetCursor(UICursor::Hand);
      return;
    default:
      break;
  }
  CLabelUI::HandleEvent(event);
}

void CButtonUI::ApplyAttribute(const std::wstring& name, const std::wstring& value) {
  const wchar_t* v = value.c_str();
  if (name == L"normalimage") {
    SetNormalImage(value);
  } else if (name == L"hotimage") {
    SetHotImage(value);
  } else if (name == L"pushedimage") {
    SetPushedImage(value);
  } else if (name == L"focusedimage") {
    SetFocusedImage(value);
  } else if (name == L"disabledimage") {
    SetDisabledImage(value);
  } else if (name == L"foreimage") {
    SetForeImage(value);
  } else if (name == L"hotforeimage") {
    SetHotForeImage(value);
  } else if (name == L"pushedforeimage") {
    SetPushedForeImage(value);
  } else if (name == L"disabledforeimage") {
    SetDisabledForeImage(value);
  } else if (name == L"hotbkcolor") {
    m_dwHotBkColor = ParseColor(v);
  } else if (name == L"pushedbkcolor") {
    m_dwPushedBkColor = ParseColor(v);
  } else if (name == L"Focusedbkcolor") {
    m_dwFocusedBkColor = ParseColor(v);
  } else if (name == L"hottextcolor") {
    m_dwHotTextColor = ParseColor(v);
  } else if (name == L"pushedtextcolor") {
    m_dwPushedTextColor = ParseColor(v);
  } else if (name == L"focusedtextcolor") {
    m_dwFocusedTextColor = ParseColor(v);
  } else if (name == L"pushfloat") {
    m_bPushFloat = ParseBool(v);
  } else {
    CLabelUI::ApplyAttribute(name, value);
  }
}

SIZE CButtonUI::Measure(SIZE /*available*/) {
  if (m_cxyFixed.cy != 0) return m_cxyFixed;
  return SIZE{m_cxyFixed.cx, FontHeight() + 8};
}

void CButtonUI::SetImage(std::wstring& slot, const std::wstring& descriptor) {
  if (slot == descriptor) return;
  slot = descriptor;
  Invalidate();
}

void CButtonUI::RefreshStateBits() {
  if (IsFocused()) {
    m_uButtonState |= UISTATE_FOCUSED;
  } else {
    m_uButtonState &= ~UISTATE_FOCUSED;
  }
  if (!IsEnabled()) {
    m_uButtonState |= UISTATE_DISABLED;
  } else {
    m_uButtonState &= ~UISTATE_DISABLED;
  }
}

void CButtonUI::DrawFore(CPaintDC& dc) {
  if (!m_sForeImage.empty()) DrawImage(dc, m_sForeImage);
}

void CButtonUI::DrawPushedFore(CPaintDC& dc) {
  if (m_sPushedForeImage.empty()) return;
  if (m_bPushFloat) {
    RECT moved{m_rcItem.left + 1, m_rcItem.top + 1, m_rcItem.right + 1, m_rcItem.bottom + 1};
    DrawImageAt(dc, moved, m_sPushedForeImage);
  } else {
    DrawImage(dc, m_sPushedForeImage);
  }
}

void CButtonUI::PaintStateImage(CPaintDC& dc) {
  RefreshStateBits();
  const unsigned s = m_uButtonState;
  if ((s & UISTATE_DISABLED) != 0) {
    if (!m_sDisabledImage.empty()) {
      DrawImage(dc, m_sDisabledImage);
    } else if (!m_sDisabledForeImage.empty()) {
      DrawImage(dc, m_sDisabledForeImage);
    } else {
      DrawImage(dc, m_sNormalImage);
    }
    DrawFore(dc);
    return;
  }
  if ((s & UISTATE_PUSHED) != 0) {
    if (!m_sPushedImage.empty()) {
      DrawImage(dc, m_sPushedImage);
      if (!m_sPushedForeImage.empty()) {
        DrawPushedFore(dc);
      } else {
        DrawFore(dc);
      }
      return;
    }
    if (m_dwPushedBkColor != 0) {
      CRenderEngine::DrawColor(&dc, m_rcPaint, m_dwPushedBkColor);
      DrawPushedFore(dc);
      return;
    }
    if (!m_sPushedForeImage.empty()) {
      DrawPushedFore(dc);
      return;
    }
  }
  if ((s & UISTATE_HOT) != 0) {
    if (!m_sHotImage.empty()) {
      DrawImage(dc, m_sHotImage);
      if (!m_sHotForeImage.empty()) {
        DrawImage(dc, m_sHotForeImage);
      } else {
        DrawFore(dc);
      }
      return;
    }
    if (m_dwHotBkColor != 0) {
      CRenderEngine::DrawColor(&dc, m_rcPaint, m_dwHotBkColor);
      if (!m_sHotForeImage.empty()) DrawImage(dc, m_sHotForeImage);
      return;
    }
    if (!m_sHotForeImage.empty()) {
      DrawImage(dc, m_sHotForeImage);
      return;
    }
  }
  if ((s & UISTATE_FOCUSED) != 0) {
    if (!m_sFocusedImage.empty()) {
      DrawImage(dc, m_sFocusedImage);
      DrawFore(dc);
      return;
    }
    if (m_dwFocusedBkColor != 0) {
      CRenderEngine::DrawColor(&dc, m_rcPaint, m_dwFocusedBkColor);
      return;
    }
  }
  if (!m_sNormalImage.empty()) DrawImage(dc, m_sNormalImage);
  DrawFore(dc);
}

void CButtonUI::PaintText(CPaintDC& dc) {
  RefreshStateBits();
  ResolveTextColors();
  if (m_sText.empty() || m_pManager == nullptr) return;
  RECT rc = TextRect();
  const unsigned s = m_uButtonState;
  if ((s & UISTATE_PUSHED) != 0 && m_bPushFloat) {
    rc.left += 1;
    rc.top += 1;
    rc.right += 1;
    rc.bottom += 1;
  }
  uint32_t color = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
  if ((s & UISTATE_PUSHED) != 0 && m_dwPushedTextColor != 0) {
    color = m_dwPushedTextColor;
  } else if ((s & UISTATE_HOT) != 0 && m_dwHotTextColor != 0) {
    color = m_dwHotTextColor;
  } else if ((s & UISTATE_FOCUSED) != 0 && m_dwFocusedTextColor != 0) {
    color = m_dwFocusedTextColor;
  }
  CRenderEngine::DrawText(&dc, m_pManager, rc, m_sText, color, m_iFont, m_uTextStyle);
}

}  // namespace SkinUI
