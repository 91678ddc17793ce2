// Shared page helpers.
#include "pages/PageCommon.h"

#include "app/InstallerIni.h"
#include "app/PathUtil.h"
#include "app/UIHelp.h"
#include "comm/Deployment.h"
#include "platform/MessageBox.h"
#include "platform/TempFolder.h"
#include "platform/window/NativeWindow.h"
#include "ui/controls/ControlUI.h"
#include "ui/core/SkinManagerUI.h"
#include "ui/core/WindowImplBase.h"

namespace pages {

std::wstring PageTitle() {
  return CInstallerIni::GetInstance()->GetValue(DatIni, InstallerAttribute, L"Tarvolen云电脑安装程序");
}

HWND CreatePage(SkinUI::WindowImplBase& page) {
  return page.Create(nullptr, PageTitle().c_str(), SkinUI::kPageStyle, WS_EX_WINDOWEDGE, CW_USEDEFAULT,
                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
}

void ApplyBrandImages(SkinUI::CSkinManagerUI& pm) {
  const std::wstring temp = platform::TempFolder();
  if (SkinUI::CControlUI* title = pm.ControlByName(L"lefttitle"))
    title->SetBackgroundImage(JoinPath(temp, L"lefttitle.png"));
  if (SkinUI::CControlUI* oem = pm.ControlByName(L"oempng"))
    oem->SetBackgroundImage(JoinPath(temp, L"oem.png"));
}

void MovePageTo(HWND hwnd, const RECT& rc) {
  if (!hwnd) return;
  platform::SetWindowPos(hwnd, nullptr, rc.left, rc.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool SaveWindowRectOf(HWND hwnd) {
  RECT rc;
  if (!hwnd || !platform::GetWindowRect(hwnd, &rc)) return false;
  CUIHelp::GetInstance()->m_rcWindow = rc;
  return true;
}

void ShowInstallError(const std::wstring& text) {
  platform::MessageBoxW(nullptr, text, L"错误提示", MB_ICONERROR);
}

std::string HttpsUrl(const std::string& host, const std::string& pathAndQuery) {
  std::string url = "https://" + host;
  const int port = GetHttpsPort();
  if (port != 443) url += ":" + std::to_string(port);
  return url + pathAndQuery;
}

}  // namespace pages
