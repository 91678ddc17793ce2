// A check option made of two images: selected or not, optionally one of a
// mutually exclusive group of the same window.
#pragma once

#include "ui/controls/ButtonUI.h"

namespace SkinUI {

class COptionUI : public CButtonUI {
 public:
  COptionUI() = default;
  ~COptionUI() override;

  const wchar_t* ClassName() const override;
  void* AsInterface(const std::wstring& name) override;
  void Bind(CSkinManagerUI* manager, CControlUI* parent, bool init = true) override;
  bool Activate() override;
  void SetEnabled(bool enabled = true) override;
  void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
  void PaintStateImage(CPaintDC& dc) override;
  void PaintText(CPaintDC& dc) override;

  // Without a group "selectchanged" follows every change; in a group only the option
  // that became selected raises it (the ones it deselects stay silent).
  virtual void Select(bool selected);
  bool IsSelected() const { return m_bSelected; }
  std::wstring Group() const { return m_sGroupName; }
  void SetGroup(const std::wstring& name);

 private:
  void JoinGroup();
  void LeaveGroup();
  void DeselectOthers();

  bool m_bSelected = false;
  bool m_bInGroupList = false;  // registered in m_pManager's group list
  bool m_bInitialised = false;
  std::wstring m_sGroupName;
  std::wstring m_sSelectedImage, m_sSelectedHotImage, m_sOptionForeImage;
  std::wstring m_sNormalDisabledImage, m_sSelectedDisabledImage;
  uint32_t m_dwSelectedBkColor = 0;
  uint32_t m_dwSelectedTextColor = 0;
};

}  // namespace SkinUI
