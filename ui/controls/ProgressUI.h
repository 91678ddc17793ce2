// A progress bar: draws the slice of its fore image that the value covers,
// stretched into that slice or cut from the image.
#pragma once

#include "ui/controls/LabelUI.h"

namespace SkinUI {

class CProgressUI : public CLabelUI {
 public:
  CProgressUI();

  const wchar_t* ClassName() const override;
  void* AsInterface(const std::wstring& name) override;
  void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
  void PaintStateImage(CPaintDC& dc) override;

  bool IsHorizontal() const { return m_bHorizontal; }
  void SetHorizontal(bool b);
  bool IsStretchForeImage() const { return m_bStretchForeImage; }
  void SetStretchForeImage(bool b);
  int MinValue() const { return m_nMin; }
  void SetMinValue(int v);
  int MaxValue() const { return m_nMax; }
  void SetMaxValue(int v);
  int Value() const { return m_nValue; }
  // Ignored unless it differs and lies in [min, max] (values outside are not clamped).
  void SetValue(int v);
  std::wstring ForeImage() const { return m_sForeImage; }
  void SetForeImage(const std::wstring& descriptor);

 private:
  bool m_bHorizontal = true;
  bool m_bStretchForeImage = true;
  int m_nMin = 0;
  int m_nMax = 100;
  int m_nValue = 0;
  std::wstring m_sForeImage;
};

}  // namespace SkinUI
