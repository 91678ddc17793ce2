// The check page against the demo service on the headless back end: closes
// attempted by the user are swallowed, the page closes itself once the check
// has stored its result.
#include "pages/CheckWnd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "PageHarness.h"
#include "ui/controls/ControlUI.h"
#include "app/PathUtil.h"
#include "app/UIHelp.h"
#include "comm/Deployment.h"
#include "decision/HttpInstallInfo.h"
#include "pages/PageCommon.h"
#include "platform/TempFolder.h"
#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"
#include "support/DevService.h"
#include "support/ScratchEnv.h"

namespace {

namespace fs = std::filesystem;

class CheckWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pagetest::InitHeadlessPages();
    setenv("INSTALLER_USER_SCOPE", "1", 1);
    testsupport::WriteFile(m_env.Path("pkg/tvClient.exe"), "#!/bin/sh\n");
    m_service = std::make_unique<testsupport::DevService>(m_env.Path("svc"));
    testsupport::DevServiceConfig cfg;
    cfg.package = m_env.Path("pkg");
    ASSERT_TRUE(m_service->Start(cfg)) << m_service->Error();
    DeploymentValues d = GetDeployment();
    d.apiHost = d.reportHost = d.downloadHost = "127.0.0.1";
    d.httpsPort = m_service->HttpsPort();
    d.httpPort = m_service->HttpPort();
    SetDeploymentForTest(d);
    fs::copy_file(m_service->CaPath(), platform::TempFolderA() + "cacert.pem", fs::copy_options::overwrite_existing);
    HttpInstallInfo::GetInstance()->ResetForTest();
    CUIHelp::GetInstance()->m_nType = CHECK_REQUEST_FAILED;
  }
  void TearDown() override {
    ResetDeploymentForTest();
    unsetenv("INSTALLER_USER_SCOPE");
  }

  testsupport::ScratchEnv m_env;
  std::unique_ptr<testsupport::DevService> m_service;
};

TEST_F(CheckWndTest, UserClosesAreSwallowedUntilTheCheckClosesThePage) {
  CCheckWnd page;
  page.SetCommandLine("now");  // one second of minimum display
  HWND hwnd = pages::CreatePage(page);
  ASSERT_TRUE(hwnd);
  page.CenterOnOwner();
  EXPECT_EQ(page.Manager().ControlByName(L"lefttitle")->BackgroundImage(),
            JoinPath(platform::TempFolder(), L"lefttitle.png"));
  EXPECT_EQ(page.Manager().ControlByName(L"oempng")->BackgroundImage(),
            JoinPath(platform::TempFolder(), L"oem.png"));

  // Queued before the modal loop runs: served long before the check ends.
  platform::headless::Key(hwnd, VK_ESCAPE);
  platform::headless::RequestClose(hwnd);
  platform::headless::Key(hwnd, VK_F4, L"", platform::headless::kAlt);

  std::thread guard([hwnd] {
    for (int i = 0; i < 2000 && platform::IsWindow(hwnd); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    platform::PostMessageW(hwnd, WM_CLOSE, 77, 0);
  });
  const int code = page.RunModal();
  guard.join();

  EXPECT_EQ(code, 1) << "77: the page never closed itself; 0: a user close got through";
  EXPECT_TRUE(page.IsCheckDone());
  EXPECT_EQ(CUIHelp::GetInstance()->m_nType, CHECK_INSTALL);
  const RECT rc = CUIHelp::GetInstance()->m_rcWindow;
  EXPECT_EQ(rc.right - rc.left, 600);
  EXPECT_EQ(rc.bottom - rc.top, 422);
}

}  // namespace
