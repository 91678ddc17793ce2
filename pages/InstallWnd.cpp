// The install page: control wiring, the folder proposal, the custom-install
// area, the folder chooser, the agreement link and the install checks.
#include "pages/InstallWnd.h"

#include "app/InstallerIni.h"
#include "app/UIHelp.h"
#include "comm/Deployment.h"
#include "pages/InstallPathRules.h"
#include "pages/PageCommon.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "platform/window/Dialogs.h"
#include "platform/window/NativeWindow.h"
#include "ui/controls/ButtonUI.h"
#include "ui/controls/EditUI.h"
#include "ui/controls/OptionUI.h"

using SkinUI::CControlUI;
using SkinUI::UINotification;

namespace {

constexpr uint32_t kWhiteText = 0x00FFFFFF;
constexpr int kCollapsedHeight = 422;
constexpr int kExpandedHeight = 500;
constexpr int kPageWidth = 600;

bool IsType(void* param, const wchar_t* type) {
  auto* msg = static_cast<UINotification*>(param);
  return msg != nullptr && msg->type == type;
}

void SetTextColor(CControlUI* control, uint32_t color) {
  if (auto* label = dynamic_cast<SkinUI::CLabelUI*>(control)) label->SetTextColor(color);
}

}  // namespace

CInstallWnd::~CInstallWnd() {
  if (m_worker.joinable()) m_worker.join();
}

std::wstring CInstallWnd::InstallerPath() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_strInstallerPath;
}

void CInstallWnd::OnSkinReady() {
  using SkinUI::BindDelegate;
  if (CControlUI* install = m_pm.ControlByName(L"install")) {
    install->OnNotify += BindDelegate(this, &CInstallWnd::OnInstallClick);
    install->OnNotify += BindDelegate(this, &CInstallWnd::SaveWindowRect);
  }
  if (CControlUI* expand = m_pm.ControlByName(L"expand")) {
    expand->OnNotify += BindDelegate(this, &CInstallWnd::OnExpandClick);
    expand->SetVisible(true);
    SetTextColor(expand, kWhiteText);
  }
  if (CControlUI* reduce = m_pm.ControlByName(L"reduce")) {
    reduce->OnNotify += BindDelegate(this, &CInstallWnd::OnReduceClick);
    reduce->SetVisible(false);
  }
  if (CControlUI* pathBtn = m_pm.ControlByName(L"path_btn")) {
    pathBtn->OnNotify += BindDelegate(this, &CInstallWnd::OnPathBtnClick);
    pathBtn->SetVisible(false);
  }
  if (CControlUI* edit = m_pm.ControlByName(L"path_edit")) {
    edit->SetVisible(false);
    SetTextColor(edit, kWhiteText);
  }
  if (CControlUI* protocol = m_pm.ControlByName(L"protocol"))
    protocol->OnNotify += BindDelegate(this, &CInstallWnd::OnProtocolClick);
  if (CControlUI* option = m_pm.ControlByName(L"option"))
    option->OnNotify += BindDelegate(this, &CInstallWnd::OnOptionSelectChanged);
  m_worker = std::thread([this] { InitDefaultPath(); });
}

void CInstallWnd::OnWindowGone(HWND hwnd) {
  WindowImplBase::OnWindowGone(hwnd);
  if (m_worker.joinable()) m_worker.join();
}

void CInstallWnd::InitDefaultPath() {
  const std::wstring configured = CInstallerIni::GetInstance()->GetValue(DatIni, ::InstallerPath, L"");
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_strInstallerPath = configured;
  }
  const std::wstring path = pages::DefaultInstallPath(configured);
  // The edit belongs to the UI thread: the proposal is applied there.
  PostUICall("InitDefaultPath", [path](SkinUI::CWindowWnd& window) {
    static_cast<CInstallWnd&>(window).ApplyDefaultPath(path);
    return true;
  });
}

void CInstallWnd::ApplyDefaultPath(const std::wstring& path) {
  m_bProposalArrived = true;
  CControlUI* edit = m_pm.ControlByName(L"path_edit");
  // A folder the user typed or chose already is never overwritten.
  if (edit && edit->Text().empty()) edit->SetText(path);
}

void CInstallWnd::ResizeKeepingOrigin(int cx, int cy) {
  RECT rc;
  if (!platform::GetWindowRect(GetHWND(), &rc)) return;
  platform::MoveWindow(GetHWND(), rc.left, rc.top, cx, cy, true);
}

void CInstallWnd::PlaceControl(const wchar_t* name, const RECT& rc) {
  CControlUI* control = m_pm.ControlByName(name);
  if (!control) return;
  RECT at = rc;
  if (CControlUI* parent = control->Parent()) {
    const RECT& p = parent->Rect();
    at = RECT{p.left + rc.left, p.top + rc.top, p.left + rc.right, p.top + rc.bottom};
  }
  control->Place(at);
}

bool CInstallWnd::OnExpandClick(void* param) {
  if (!IsType(param, L"click")) return true;
  ResizeKeepingOrigin(kPageWidth, kExpandedHeight);
  if (CControlUI* expand = m_pm.ControlByName(L"expand")) expand->SetVisible(false);
  if (CControlUI* reduce = m_pm.ControlByName(L"reduce")) {
    reduce->SetVisible(true);
    SetTextColor(reduce, kWhiteText);
  }
  if (CControlUI* pathBtn = m_pm.ControlByName(L"path_btn")) pathBtn->SetVisible(true);
  if (CControlUI* edit = m_pm.ControlByName(L"path_edit")) edit->SetVisible(true);
  PlaceControl(L"option", RECT{26, 471, 42, 487});
  PlaceControl(L"protocol", RECT{48, 468, 148, 488});
  SetTextColor(m_pm.ControlByName(L"protocol"), kWhiteText);
  return true;
}

bool CInstallWnd::OnReduceClick(void* param) {
  if (!IsType(param, L"click")) return true;
  ResizeKeepingOrigin(kPageWidth, kCollapsedHeight);
  if (CControlUI* expand = m_pm.ControlByName(L"expand")) expand->SetVisible(true);
  if (CControlUI* reduce = m_pm.ControlByName(L"reduce")) reduce->SetVisible(false);
  if (CControlUI* pathBtn = m_pm.ControlByName(L"path_btn")) pathBtn->SetVisible(false);
  if (CControlUI* edit = m_pm.ControlByName(L"path_edit")) edit->SetVisible(false);
  PlaceControl(L"option", RECT{26, 393, 42, 409});
  PlaceControl(L"protocol", RECT{48, 390, 148, 410});
  return true;
}

bool CInstallWnd::OnPathBtnClick(void* param) {
  if (!IsType(param, L"click")) return true;
  std::wstring chosen;
  if (!platform::BrowseForFolder(GetHWND(), L"选择云电脑安装目录", L"", &chosen) || chosen.empty()) return true;
  if (CControlUI* edit = m_pm.ControlByName(L"path_edit"))
    edit->SetText(pages::BrowseResultPath(chosen, InstallerPath()));
  return true;
}

std::string CInstallWnd::AgreementUrl() {
  CInstallerIni* ini = CInstallerIni::GetInstance();
  const std::string channel = platform::WideToUtf8(ini->GetValue(NetLinkIni, Channel, L""));
  const std::string epCode = platform::WideToUtf8(ini->GetValue(NetLinkIni, EpCode, L""));
  return pages::HttpsUrl(GetApiHost(),
                         "/pc/getAgreement?code=pcinstall&channel=" + channel + "&epcode=" + epCode);
}

bool CInstallWnd::OnProtocolClick(void* param) {
  if (!IsType(param, L"click")) return true;
  platform::ShellOpenUrl(AgreementUrl());
  return true;
}

bool CInstallWnd::OnOptionSelectChanged(void* param) {
  if (!IsType(param, L"selectchanged")) return true;
  auto* option = dynamic_cast<SkinUI::COptionUI*>(m_pm.ControlByName(L"option"));
  CControlUI* install = m_pm.ControlByName(L"install");
  if (option && install) install->SetEnabled(option->IsSelected());
  return true;
}

bool CInstallWnd::OnInstallClick(void* param) {
  if (!IsType(param, L"click")) return true;
  CControlUI* edit = m_pm.ControlByName(L"path_edit");
  if (!edit) return false;
  const std::wstring text = edit->Text();
  switch (pages::CheckInstallPath(text)) {
    case pages::PathCheck::Empty:
      pages::ShowInstallError(L"路径为空，点击浏览选择安装路径");
      break;
    case pages::PathCheck::NoDrive:
      pages::ShowInstallError(L"安装盘符本机上不存在,点击浏览选择安装路径");
      break;
    case pages::PathCheck::DiskRoot:
      pages::ShowInstallError(L"安装路径不正确，请勿安装在磁盘根目录");
      break;
    case pages::PathCheck::Ok:
      CUIHelp::GetInstance()->m_strInstallDir = pages::WithTrailingSeparator(text);
      Close(1);
      break;
  }
  return true;
}

bool CInstallWnd::SaveWindowRect(void* param) {
  if (!IsType(param, L"click")) return true;
  return pages::SaveWindowRectOf(GetHWND());
}
