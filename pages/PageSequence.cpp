// The page sequence: each page runs modally on the main thread and opens
// where the previous one was.
#include "pages/PageSequence.h"

#include "app/Log.h"
#include "app/UIHelp.h"
#include "comm/Deployment.h"
#include "pages/CheckWnd.h"
#include "pages/InstallWnd.h"
#include "pages/PageCommon.h"
#include "pages/ProcessWnd.h"
#include "pages/StartUpdateWnd.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"

namespace pages {
namespace {

// Runs the branch page; true when the sequence goes on to the progress page.
bool RunBranchPage(SkinUI::WindowImplBase& page) {
  if (!CreatePage(page)) return false;
  MovePageTo(page.GetHWND(), CUIHelp::GetInstance()->m_rcWindow);
  const int code = page.RunModal();
  return code != IDCLOSE && code != 0;
}

}  // namespace

std::string FallbackPackageUrl() { return HttpsUrl(GetDownloadHost(), "/person/cloud_pc.7z"); }

int RunPageSequence(const std::string& commandLine) {
  CCheckWnd check;
  check.SetCommandLine(commandLine);
  if (!CreatePage(check)) {
    LogWrite(Error, L"WinMain", __LINE__, L"RunPageSequence", L" the check page could not be created ");
    return 1;
  }
  check.CenterOnOwner();
  check.RunModal();

  CUIHelp* ctx = CUIHelp::GetInstance();
  bool goOn = false;
  switch (ctx->m_nType) {
    case CHECK_REQUEST_FAILED:
    case CHECK_NO_PACKAGE: {
      const wchar_t* text = ctx->m_nType == CHECK_REQUEST_FAILED ? L"网络请求错误，切换绿色包下载"
                                                                  : L"电脑环境检测错误，切换绿色包下载";
      if (platform::MessageBoxW(nullptr, text, L"错误提示", MB_OKCANCEL) == IDOK)
        platform::ShellOpenUrl(FallbackPackageUrl());
      return 0;
    }
    case CHECK_INSTALL: {
      CInstallWnd page;
      goOn = RunBranchPage(page);
      break;
    }
    case CHECK_UPDATE:
    case CHECK_START:
    case CHECK_REPAIR: {
      CStartUpdateWnd page;
      goOn = RunBranchPage(page);
      break;
    }
    default:
      break;
  }
  if (!goOn) return 0;

  CProcessWnd* progress = CProcessWnd::GetInstance();
  progress->SetCommandLine(commandLine);
  if (CreatePage(*progress)) {
    MovePageTo(progress->GetHWND(), ctx->m_rcWindow);
    progress->RunModal();
  }
  CProcessWnd::DestroyInstance();
  return 0;
}

}  // namespace pages
