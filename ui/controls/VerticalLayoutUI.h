// The vertical stacking layout: non-floating children one below the other, with
// fixed heights kept and the free height shared by the adjustable ones.
#pragma once

#include "ui/controls/ContainerUI.h"

namespace SkinUI {

class CVerticalLayoutUI : public CContainerUI {
 public:
  CVerticalLayoutUI() = default;

  const wchar_t* ClassName() const override;
  void* AsInterface(const std::wstring& name) override;
  void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
  void Place(const RECT& rc) override;

  int SepHeight() const { return m_iSepHeight; }
  bool IsSepImmMode() const { return m_bImmMode; }

 private:
  int m_iSepHeight = 0;
  bool m_bImmMode = false;
};

}  // namespace SkinUI
