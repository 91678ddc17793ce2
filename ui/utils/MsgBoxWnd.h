// CMsgBoxWnd: a skinned message box (text, icon, one or two buttons) whose
// modal run returns the button that closed it.
#pragma once

#include <string>

#include "ui/core/WindowImplBase.h"

namespace SkinUI {

// RunModal gives 1 for "BtnOk", 2 for "BtnCancel", 8 for "closebtn".
class CMsgBoxWnd : public WindowImplBase {
 public:
  // type: 0 one button with the information icon, 1 OK + Cancel with the
  // question icon, 4 Yes + No.
  CMsgBoxWnd(std::wstring text = L"加载资源文件失败", std::wstring caption = L"SkinUI", int type = 0);

  const std::wstring& Text() const { return m_strText; }

 protected:
  const wchar_t* WindowClassName() const override { return L"MsgBoxWnd"; }
  std::wstring SkinFolder() override { return L"skin"; }
  std::wstring SkinFileName() override { return L"MsgBoxWnd.xml"; }
  int SkinSource() override { return kSkinFile; }
  void OnSkinReady() override;
  void OnClick(UINotification& msg) override;

 private:
  bool IsSkinMessageBox() const override { return true; }

  std::wstring m_strText;
  std::wstring m_strCaption;
  int m_nType;
};

}  // namespace SkinUI
