// The edit field: states, tip text, password display, and the hand-over to the
// native editor while it has the focus.
#include "ui/controls/EditUI.h"

#include "ui/controls/AttributeValue.h"
#include "ui/controls/ButtonUI.h"
#include "ui/core/RenderEngine.h"
#include "ui/core/SkinFont.h"
#include "ui/core/SkinManagerUI.h"

namespace SkinUI {

CEditUI::CEditUI() {
  m_dwBackColor = 0xFFFFFFFF;
  m_rcTextPadding = RECT{4, 3, 4, 3};
}

CEditUI::~CEditUI() {
  if (m_pWindow != nullptr) {
    m_pWindow->Forget();
    m_pWindow = nullptr;
  }
}

const wchar_t* CEditUI::ClassName() const { return L"EditUI"; }

void* CEditUI::AsInterface(const std::wstring& name) {
  if (name == L"Edit") return static_cast<CControlUI*>(this);
  return CLabelUI::AsInterface(name);
}

unsigned CEditUI::ControlFlags() const { return IsEnabled() ? (UIFLAG_TABSTOP | UIFLAG_SETCURSOR) : 0; }

namespace {

bool IsMouseEvent(int kind) { return kind >= UIEVENT_MOUSEMOVE && kind <= UIEVENT_SCROLLWHEEL; }

}  // namespace

void CEditUI::OpenEditWindow() {
  if (m_pWindow != nullptr || m_pManager == nullptr) return;
  m_pWindow = m_pManager->CreateEditWindow(*this);
}

void CEditUI::SelectAllInEditor() {
  if (m_pWindow == nullptr) return;
  int length = static_cast<int>(m_pWindow->Text().size());
  m_pWindow->SetSel(0, length == 0 ? 1 : length);
}

void CEditUI::EndEditing() {
  if (m_pWindow == nullptr || m_pManager == nullptr || m_pManager->Host() == nullptr) return;
  // The editor ends itself when the page window takes the keyboard focus back.
  m_pManager->Host()->SetNativeFocus();
}

void CEditUI::HandleEvent(UIEvent& event) {
  if (!IsMouseEnabled() && IsMouseEvent(event.kind)) {
    if (m_pParent != nullptr) {
      m_pParent->HandleEvent(event);
    } else {
      CLabelUI::HandleEvent(event);
    }
    return;
  }
  if (!IsEnabled()) {
    if (IsMouseEvent(event.kind) || event.kind == UIEVENT_SETCURSOR) return;
    CLabelUI::HandleEvent(event);
    return;
  }
  switch (event.kind) {
    case UIEVENT_SETCURSOR:
      if (m_pManager != nullptr) m_pManager->SetCursor(UICursor::IBeam);
      return;
    case UIEVENT_WINDOWSIZE:
      EndEditing();
      return;
    case UIEVENT_SCROLLWHEEL:
      if (m_pWindow != nullptr) return;
      break;
    case UIEVENT_SETFOCUS:
      if (m_pWindow != nullptr) return;
      OpenEditWindow();
      Invalidate();
      break;
    case UIEVENT_KILLFOCUS:
      Invalidate();
      break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
    case UIEVENT_RBUTTONDOWN:
      if (m_pManager != nullptr) m_pManager->ReleaseCapture();
      if (m_pWindow != nullptr) {
        SelectAllInEditor();
      } else if (IsFocused()) {
        OpenEditWindow();
        if (UIPtInRect(m_rcItem, event.mousePos)) SelectAllInEditor();
      }
      return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONUP:
    case UIEVENT_CONTEXTMENU:
      return;
    case UIEVENT_MOUSEENTER:
      m_uButtonState |= UISTATE_HOT;
      m_bHot = true;
      Invalidate();
      return;
    case UIEVENT_MOUSELEAVE:
      m_uButtonState &= ~UISTATE_HOT;
      if (m_pWindow == nullptr) m_bHot = false;
      Invalidate();
      return;
    default:
      break;
  }
  CLabelUI::HandleEvent(event);
}

void CEditUI::ApplyAttribute(const std::wstring& name, const std::wstring& value) {
  const wchar_t* v = value.c_str();
  if (name == L"readonly") {
    SetReadOnly(ParseBool(v));
  } else if (name == L"numberonly") {
    SetNumberOnly(ParseBool(v));
  } else if (name == L"password") {
    SetPasswordMode(ParseBool(v));
  } else if (name == L"passwordchar") {
    if (!value.empty()) SetPasswordChar(value[0]);
  } else if (name == L"maxchar") {
    SetMaxChar(ParseInt(v));
  } else if (name == L"normalimage") {
    m_sNormalImage = value;
    Invalidate();
  } else if (name == L"hotimage") {
    m_sHotImage = value;
    Invalidate();
  } else if (name == L"focusedimage") {
    m_sFocusedImage = value;
    Invalidate();
  } else if (name == L"disabledimage") {
    m_sDisabledImage = value;
    Invalidate();
  } else if (name == L"tipvalue") {
    SetTipValue(value);
  } else if (name == L"tipvaluecolor") {
    m_dwTipValueColor = ParseColor(v);
    Invalidate();
  } else if (name == L"nativetextcolor") {
    m_dwEditTextColor = ParseColor(v);
  } else if (name == L"nativebkcolor") {
    m_dwEditbkColor = ParseColor(v);
  } else {
    CLabelUI::ApplyAttribute(name, value);
  }
}

SIZE CEditUI::Measure(SIZE /*available*/) {
  if (m_cxyFixed.cy != 0) return m_cxyFixed;
  return SIZE{m_cxyFixed.cx, FontHeight() + 6};
}

void CEditUI::Place(const RECT& rc) {
  CLabelUI::Place(rc);
  if (m_pWindow != nullptr) m_pWindow->SetPos(EditWindowRect());
}

void CEditUI::SetVisible(bool visible) {
  CLabelUI::SetVisible(visible);
  if (!IsVisible()) EndEditing();
}

void CEditUI::SetInnerVisible(bool visible) {
  CLabelUI::SetInnerVisible(visible);
  if (!IsVisible()) EndEditing();
}

void CEditUI::SetEnabled(bool enabled) {
  if (m_bEnabled == enabled) return;
  CLabelUI::SetEnabled(enabled);
  if (!enabled) m_uButtonState = 0;
  if (m_pWindow != nullptr) m_pWindow->SetEnabled(enabled);
}

void CEditUI::SetText(const std::wstring& text) {
  m_sText = text;
  if (m_pWindow != nullptr) m_pWindow->SetText(text);
  if (m_pManager != nullptr) m_pManager->RaiseNotification(this, L"textchanged");
  Invalidate();
}

void CEditUI::SetMaxChar(int maxChars) {
  m_uMaxChar = maxChars;
  if (m_pWindow != nullptr) m_pWindow->SetLimitText(maxChars);
}

void CEditUI::SetReadOnly(bool readOnly) {
  if (m_bReadOnly == readOnly) return;
  m_bReadOnly = readOnly;
  if (m_pWindow != nullptr) m_pWindow->SetReadOnly(readOnly);
  Invalidate();
}

void CEditUI::SetPasswordMode(bool b) {
  if (m_bPasswordMode == b) return;
  m_bPasswordMode = b;
  Invalidate();
}

void CEditUI::SetPasswordChar(wchar_t ch) {
  if (m_cPasswordChar == ch) return;
  m_cPasswordChar = ch;
  if (m_pWindow != nullptr && m_bPasswordMode) m_pWindow->SetPasswordChar(ch);
  Invalidate();
}

void CEditUI::SetTipValue(const std::wstring& text) {
  m_sTipValue = text;
  Invalidate();
}

const SkinFont* CEditUI::EditFont() const {
  if (m_pManager == nullptr) return nullptr;
  return m_pManager->FontAt(m_iFont);
}

RECT CEditUI::EditWindowRect() const {
  RECT rc = TextRect();
  const SkinFont* font = EditFont();
  int fontHeight = font != nullptr ? font->TextMetrics().height : 0;
  int height = rc.bottom - rc.top;
  if (fontHeight > 0 && fontHeight < height) {
    rc.top += (height - fontHeight) / 2;
    rc.bottom = rc.top + fontHeight;
  }
  return rc;
}

void CEditUI::OnEditWindowTextChanged(const std::wstring& text) {
  m_sText = text;
  if (m_pManager != nullptr) m_pManager->RaiseNotification(this, L"textchanged");
}

void CEditUI::OnEditWindowReturn() {
  if (m_pManager != nullptr) m_pManager->RaiseNotification(this, L"return");
}

void CEditUI::OnEditWindowGone() {
  m_pWindow = nullptr;
  m_bHot = false;
  m_uButtonState &= ~UISTATE_HOT;
  Invalidate();
}

void CEditUI::PaintStateImage(CPaintDC& dc) {
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
  if ((m_uButtonState & UISTATE_DISABLED) != 0 && !m_sDisabledImage.empty()) {
    DrawImage(dc, m_sDisabledImage);
  } else if ((m_uButtonState & UISTATE_FOCUSED) != 0 && !m_sFocusedImage.empty()) {
    DrawImage(dc, m_sFocusedImage);
  } else if ((m_uButtonState & UISTATE_HOT) != 0 && !m_sHotImage.empty()) {
    DrawImage(dc, m_sHotImage);
  } else if (!m_sNormalImage.empty()) {
    DrawImage(dc, m_sNormalImage);
  }
}

void CEditUI::PaintText(CPaintDC& dc) {
  ResolveTextColors();
  if (m_pManager == nullptr) return;
  const unsigned style = m_uTextStyle | DT_SINGLELINE;
  if (m_sText.empty() || m_sText == m_sTipValue) {
    if (m_sTipValue.empty()) return;
    CRenderEngine::DrawText(&dc, m_pManager, TextRect(), m_sTipValue, m_dwTipValueColor, m_iFont, style);
    return;
  }
  std::wstring shown = m_bPasswordMode ? std::wstring(m_sText.size(), m_cPasswordChar) : m_sText;
  CRenderEngine::DrawText(&dc, m_pManager, TextRect(), shown, IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor,
                          m_iFont, style);
}

}  // namespace SkinUI
