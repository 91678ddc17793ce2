// Static text: a control that draws its text with a font, colours, padding and
// alignment flags.
#pragma once

#include "ui/controls/ControlUI.h"
#include "ui/core/DrawTextFlags.h"

namespace SkinUI {

class CLabelUI : public CControlUI {
 public:
  CLabelUI();

  const wchar_t* ClassName() const override;
  void* AsInterface(const std::wstring& name) override;
  void HandleEvent(UIEvent& event) override;
  void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
  SIZE Measure(SIZE available) override;
  void PaintText(CPaintDC& dc) override;

  unsigned TextStyle() const { return m_uTextStyle; }
  void SetTextStyle(unsigned style);
  int Font() const { return m_iFont; }
  void SetFont(int index);
  uint32_t TextColor() const { return m_dwTextColor; }
  void SetTextColor(uint32_t c);
  uint32_t DisabledTextColor() const { return m_dwDisabledTextColor; }
  void SetDisabledTextColor(uint32_t c);
  RECT TextPadding() const { return m_rcTextPadding; }
  void SetTextPadding(const RECT& rc);
  bool IsShowHtml() const { return m_bShowHtml; }

 protected:
  // Takes the window's default text colours for colours left at 0.
  void ResolveTextColors();
  // Height of the label's font (the window's default font for -1), 0 without one.
  int FontHeight() const;
  RECT TextRect() const;

  unsigned m_uTextStyle = DT_VCENTER;
  int m_iFont = -1;
  uint32_t m_dwTextColor = 0;
  uint32_t m_dwDisabledTextColor = 0;
  RECT m_rcTextPadding{};
  bool m_bShowHtml = false;
};

}  // namespace SkinUI
