// Static text.
#include "ui/controls/LabelUI.h"

#include "ui/controls/AttributeValue.h"
#include "ui/core/RenderEngine.h"
#include "ui/core/SkinFont.h"
#include "ui/core/SkinManagerUI.h"

namespace SkinUI {

CLabelUI::CLabelUI() = default;

const wchar_t* CLabelUI::ClassName() const { return L"LabelUI"; }

void* CLabelUI::AsInterface(const std::wstring& name) {
  if (name == L"Label") return static_cast<CControlUI*>(this);
  return CControlUI::AsInterface(name);
}

void CLabelUI::HandleEvent(UIEvent& event) {
  if (event.kind == UIEVENT_SETFOCUS) {
    m_bFocused = true;
    return;
  }
  if (event.kind == UIEVENT_KILLFOCUS) {
    m_bFocused = false;
    return;
  }
  CControlUI::HandleEvent(event);
}

void CLabelUI::ApplyAttribute(const std::wstring& name, const std::wstring& value) {
  const wchar_t* v = value.c_str();
  if (name == L"align") {
    unsigned style = m_uTextStyle;
    if (value.find(L"left") != std::wstring::npos) {
      style = (style & ~(DT_CENTER | DT_RIGHT)) | DT_LEFT;
    }
    if (value.find(L"center") != std::wstring::npos) {
      style = (style & ~(DT_LEFT | DT_RIGHT)) | DT_CENTER;
    }
    if (value.find(L"right") != std::wstring::npos) {
      style = (style & ~(DT_LEFT | DT_CENTER)) | DT_RIGHT;
    }
    if (value.find(L"top") != std::wstring::npos) {
      style = (style & ~(DT_BOTTOM | DT_VCENTER)) | DT_TOP;
    }
    if (value.find(L"vcenter") != std::wstring::npos) {
      style = (style & ~(DT_TOP | DT_BOTTOM)) | DT_VCENTER;
    }
    if (value.find(L"bottom") != std::wstring::npos) {
      style = (style & ~(DT_TOP | DT_VCENTER)) | DT_BOTTOM;
    }
    SetTextStyle(style);
  } else if (name == L"endellipsis") {
    SetTextStyle(ParseBool(v) ? (m_uTextStyle | DT_END_ELLIPSIS) : (m_uTextStyle & ~DT_END_ELLIPSIS));
  } else if (name == L"font") {
    SetFont(ParseInt(v));
  } else if (name == L"textcolor") {
    SetTextColor(ParseColor(v));
  } else if (name == L"disabledtextcolor") {
    SetDisabledTextColor(ParseColor(v));
  } else if (name == L"textpadding") {
    RECT rc;
    if (ParseRect(v, rc)) SetTextPadding(rc);
  } else if (name == L"showhtml") {
    m_bShowHtml = ParseBool(v);
  } else if (name == L"enabledeffect" || name == L"rhaa" || name == L"transshadow" || name == L"transtext" ||
             name == L"transshadow1" || name == L"transtext1" || name == L"gradientangle" ||
             name == L"enabledstroke" || name == L"enabledshadow" || name == L"transstroke" ||
             name == L"gradientlength" || name == L"shadowoffset" || name == L"textcolor1" ||
             name == L"textshadowcolora" || name == L"textshadowcolorb" || name == L"strokecolor") {
    // Text effects: accepted, not drawn (no skin uses them).
  } else {
    CControlUI::ApplyAttribute(name, value);
  }
}

int CLabelUI::FontHeight() const {
  if (m_pManager == nullptr) return 0;
  const SkinFont* font = m_pManager->FontAt(m_iFont);
  return font != nullptr ? font->TextMetrics().height : 0;
}

SIZE CLabelUI::Measure(SIZE /*available*/) {
  if (m_cxyFixed.cy != 0) return m_cxyFixed;
  return SIZE{m_cxyFixed.cx, FontHeight() + 4};
}

void CLabelUI::ResolveTextColors() {
  if (m_pManager == nullptr) return;
  if (m_dwTextColor == 0) m_dwTextColor = m_pManager->DefaultFontColor();
  if (m_dwDisabledTextColor == 0) m_dwDisabledTextColor = m_pManager->DefaultDisabledColor();
}

RECT CLabelUI::TextRect() const {
  return RECT{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top,
              m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom - m_rcTextPadding.bottom};
}

void CLabelUI::PaintText(CPaintDC& dc) {
  ResolveTextColors();
  if (m_sText.empty() || m_pManager == nullptr) return;
  CRenderEngine::DrawText(&dc, m_pManager, TextRect(), m_sText, IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor,
                          m_iFont, m_uTextStyle | DT_SINGLELINE);
}

void CLabelUI::SetTextStyle(unsigned style) {
  m_uTextStyle = style;
  Invalidate();
}

void CLabelUI::SetFont(int index) {
  m_iFont = index;
  Invalidate();
}

void CLabelUI::SetTextColor(uint32_t c) {
  m_dwTextColor = c;
  Invalidate();
}

void CLabelUI::SetDisabledTextColor(uint32_t c) {
  m_dwDisabledTextColor = c;
  Invalidate();
}

void CLabelUI::SetTextPadding(const RECT& rc) {
  m_rcTextPadding = rc;
  Invalidate();
}

}  // namespace SkinUI
