// The start, upgrade and repair page, shown when the client is installed:
// one sentence and one button whose meaning follows the install type.
#pragma once

#include "ui/core/WindowImplBase.h"

// UI thread only. Reads the install type, folder and client name from CUIHelp.
class CStartUpdateWnd : public SkinUI::WindowImplBase {
 public:
  CStartUpdateWnd() = default;

  // "click" on "button": upgrade and repair close with 1, start launches the
  // client and closes with 8; another type does nothing. Always true.
  bool OnButtonNotify(void* param);
  // "click": the window rectangle into CUIHelp::m_rcWindow.
  bool SaveWindowRect(void* param);

 protected:
  const wchar_t* WindowClassName() const override { return L"StartUpdateWndUI"; }
  void OnSkinReady() override;
  std::wstring SkinFolder() override { return L""; }
  std::wstring SkinFileName() override { return L"StartUpdateWnd.xml"; }
  LRESULT OnDefaultKey(UINT) override { return 0; }
  bool SwallowsDefaultKeys() const override { return true; }
  int SkinSource() override { return SkinUI::kSkinArchiveResource; }
  int SkinResourceId() override { return 102; }
};
