// The start, upgrade and repair page.
#include "pages/StartUpdateWnd.h"

#include "app/UIHelp.h"
#include "install/SystemIntegration.h"
#include "pages/PageCommon.h"
#include "ui/controls/ControlUI.h"

namespace {

struct Mode {
  int type;
  const wchar_t* sentence;
  const wchar_t* button;
};

const Mode kModes[] = {
    {CHECK_UPDATE, L"云电脑需要升级", L"升级"},
    {CHECK_START, L"已安装最新版", L"立即启动"},
    {CHECK_REPAIR, L"Tarvolen云电脑修复", L"修复"},
};

const Mode* ModeFor(int type) {
  for (const Mode& m : kModes)
    if (m.type == type) return &m;
  return nullptr;
}

bool IsClick(void* param) {
  auto* msg = static_cast<SkinUI::UINotification*>(param);
  return msg != nullptr && msg->type == L"click";
}

}  // namespace

void CStartUpdateWnd::OnSkinReady() {
  pages::ApplyBrandImages(m_pm);
  if (SkinUI::CControlUI* button = m_pm.ControlByName(L"button")) {
    button->OnNotify += SkinUI::BindDelegate(this, &CStartUpdateWnd::OnButtonNotify);
    button->OnNotify += SkinUI::BindDelegate(this, &CStartUpdateWnd::SaveWindowRect);
  }
  if (SkinUI::CControlUI* text = m_pm.ControlByName(L"text")) {
    if (const Mode* mode = ModeFor(CUIHelp::GetInstance()->m_nType)) {
      text->SetText(mode->sentence);
      if (SkinUI::CControlUI* button = m_pm.ControlByName(L"button")) button->SetText(mode->button);
    }
  }
}

bool CStartUpdateWnd::OnButtonNotify(void* param) {
  if (!IsClick(param)) return true;
  switch (CUIHelp::GetInstance()->m_nType) {
    case CHECK_UPDATE:
    case CHECK_REPAIR:
      Close(1);
      break;
    case CHECK_START:
      // The link configuration is rewritten before the client reads it.
      CopyNetLinkToInstallDir();
      LaunchClient();
      Close(IDCLOSE);
      break;
    default:
      break;
  }
  return true;
}

bool CStartUpdateWnd::SaveWindowRect(void* param) {
  if (!IsClick(param)) return true;
  return pages::SaveWindowRectOf(GetHWND());
}
