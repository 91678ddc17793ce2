// Progress bar.
#include "ui/controls/ProgressUI.h"

#include <algorithm>
#include <cwchar>

#include "ui/controls/AttributeValue.h"

namespace SkinUI {

CProgressUI::CProgressUI() {
  m_uTextStyle = DT_CENTER | DT_SINGLELINE;
  m_cxyFixed.cy = 18;
}

const wchar_t* CProgressUI::ClassName() const { return L"ProgressUI"; }

void* CProgressUI::AsInterface(const std::wstring& name) {
  if (name == L"Progress") return static_cast<CControlUI*>(this);
  return CLabelUI::AsInterface(name);
}

void CProgressUI::ApplyAttribute(const std::wstring& name, const std::wstring& value) {
  const wchar_t* v = value.c_str();
  if (name == L"foreimage") {
    SetForeImage(value);
  } else if (name == L"hor") {
    SetHorizontal(ParseBool(v));
  } else if (name == L"isstretchfore") {
    SetStretchForeImage(ParseBool(v));
  } else if (name == L"min") {
    SetMinValue(ParseInt(v));
  } else if (name == L"max") {
    SetMaxValue(ParseInt(v));
  } else if (name == L"value") {
    SetValue(ParseInt(v));
  } else {
    CLabelUI::ApplyAttribute(name, value);
  }
}

void CProgressUI::SetHorizontal(bool b) {
  if (m_bHorizontal == b) return;
  m_bHorizontal = b;
  Invalidate();
}

void CProgressUI::SetStretchForeImage(bool b) {
  if (m_bStretchForeImage == b) return;
  m_bStretchForeImage = b;
  Invalidate();
}

void CProgressUI::SetMinValue(int v) {
  m_nMin = v;
  Invalidate();
}

void CProgressUI::SetMaxValue(int v) {
  m_nMax = v;
  Invalidate();
}

void CProgressUI::SetValue(int v) {
  if (v == m_nValue || v < m_nMin || v > m_nMax) return;
  m_nValue = v;
  Invalidate();
}

void CProgressUI::SetForeImage(const std::wstring& descriptor) {
  if (m_sForeImage == descriptor) return;
  m_sForeImage = descriptor;
  Invalidate();
}

void CProgressUI::PaintStateImage(CPaintDC& dc) {
  if (m_nMax <= m_nMin) m_nMax = m_nMin + 1;
  m_nValue = std::max(m_nMin, std::min(m_nValue, m_nMax));
  if (m_sForeImage.empty()) return;
  // 64-bit: byte counts as values must not overflow the product.
  const long long range = static_cast<long long>(m_nMax) - m_nMin;
  const int width = m_rcItem.right - m_rcItem.left;
  const int height = m_rcItem.bottom - m_rcItem.top;
  RECT part;
  if (m_bHorizontal) {
    int filled = static_cast<int>(width * (static_cast<long long>(m_nValue) - m_nMin) / range);
    part = RECT{0, 0, filled, height};
  } else {
    int offset = static_cast<int>(height * (static_cast<long long>(m_nMax) - m_nValue) / range);
    part = RECT{0, offset, width, height};
  }
  wchar_t modifier[160];
  if (m_bStretchForeImage) {
    std::swprintf(modifier, 160, L"dest='%d,%d,%d,%d'", part.left, part.top, part.right, part.bottom);
  } else {
    std::swprintf(modifier, 160, L"dest='%d,%d,%d,%d' source='%d,%d,%d,%d'", part.left, part.top, part.right,
                  part.bottom, part.left, part.top, part.right, part.bottom);
  }
  DrawImage(dc, m_sForeImage, modifier);
}

}  // namespace SkinUI
