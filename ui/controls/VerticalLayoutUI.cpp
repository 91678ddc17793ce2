// Vertical stacking: a measure pass over the non-floating children, then a place
// pass that hands the free height to the adjustable ones.
#include "ui/controls/VerticalLayoutUI.h"

#include <algorithm>

#include "ui/controls/AttributeValue.h"

namespace SkinUI {

const wchar_t* CVerticalLayoutUI::ClassName() const { return L"VerticalLayoutUI"; }

void* CVerticalLayoutUI::AsInterface(const std::wstring& name) {
  if (name == L"VerticalLayout") return static_cast<CControlUI*>(this);
  return CContainerUI::AsInterface(name);
}

void CVerticalLayoutUI::ApplyAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"sepheight") {
    m_iSepHeight = ParseInt(value.c_str());
  } else if (name == L"sepimm") {
    m_bImmMode = ParseBool(value.c_str());
  } else {
    CContainerUI::ApplyAttribute(name, value);
  }
}

namespace {

int Clamp(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }

}  // namespace

void CVerticalLayoutUI::Place(const RECT& rc) {
  CControlUI::Place(rc);
  RECT content = InsetRect();
  if (m_items.empty()) return;

  const int contentWidth = std::max(0, content.right - content.left);
  const int contentHeight = std::max(0, content.bottom - content.top);

  // Measure pass.
  int adjustables = 0;
  int fixedSum = 0;
  int estimated = 0;
  for (auto& item : m_items) {
    CControlUI* c = item.get();
    if (!c->IsVisible() || c->IsFloat()) continue;
    SIZE sz = c->Measure(SIZE{contentWidth, contentHeight});
    if (sz.cy == 0) {
      ++adjustables;
    } else {
      fixedSum += Clamp(sz.cy, c->MinHeight(), c->MaxHeight());
    }
    RECT pad = c->Padding();
    fixedSum += pad.top + pad.bottom;
    ++estimated;
  }
  if (estimated > 1) fixedSum += (estimated - 1) * m_nChildPadding;
  int share = adjustables > 0 ? std::max(0, (contentHeight - fixedSum) / adjustables) : 0;

  // Place pass. `fixedLeft` is what the children still to come need besides the
  // adjustable heights (their fixed heights, paddings and child paddings), so the last
  // adjustable child ends exactly at the bottom of the content.
  int x = content.left;
  int y = content.top;
  int remaining = contentHeight;
  int fixedLeft = fixedSum;
  int adjustableSeen = 0;
  for (size_t i = 0; i < m_items.size(); ++i) {
    CControlUI* c = m_items[i].get();
    if (!c->IsVisible()) continue;
    if (c->IsFloat()) {
      PlaceFloating(static_cast<int>(i));
      continue;
    }
    RECT pad = c->Padding();
    remaining -= pad.top;
    SIZE sz = c->Measure(SIZE{contentWidth, remaining});
    int height;
    if (sz.cy == 0) {
      ++adjustableSeen;
      height = adjustableSeen == adjustables ? std::max(0, remaining - pad.bottom - (fixedLeft - pad.top - pad.bottom))
                                             : share;
      height = Clamp(height, c->MinHeight(), c->MaxHeight());
    } else {
      height = Clamp(sz.cy, c->MinHeight(), c->MaxHeight());
      fixedLeft -= height;
    }
    fixedLeft -= pad.top + pad.bottom;
    int width = sz.cx;
    if (width == 0) width = std::max(0, contentWidth - pad.left - pad.right);
    width = Clamp(width, c->MinWidth(), c->MaxWidth());

    RECT rcChild{x + pad.left, y + pad.top, x + pad.left + width, y + pad.top + height + pad.bottom};
    c->Place(rcChild);

    y += height + pad.top + pad.bottom + m_nChildPadding;
    remaining -= height + pad.bottom + m_nChildPadding;
    fixedLeft -= m_nChildPadding;
  }
  UpdateScrollBars(rc, contentWidth, y - content.top);
}

}  // namespace SkinUI
