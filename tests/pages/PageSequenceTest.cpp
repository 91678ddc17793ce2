// The page sequence against the demo service on the headless back end: the
// browser fallback boxes, and an install page closed by the user.
#include "pages/PageSequence.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "PageHarness.h"
#include "app/UIHelp.h"
#include "comm/Deployment.h"
#include "decision/HttpInstallInfo.h"
#include "platform/TempFolder.h"
#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"
#include "support/DevService.h"
#include "support/ScratchEnv.h"

namespace {

namespace fs = std::filesystem;

class PageSequenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pagetest::InitHeadlessPages();
    setenv("INSTALLER_USER_SCOPE", "1", 1);
    testsupport::WriteFile(m_env.Path("pkg/tvClient.exe"), "#!/bin/sh\n");
    // A stand-in xdg-open that records its argument.
    const std::string bin = m_env.Path("bin");
    testsupport::WriteFile(bin + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> " + XdgRecord() + "\n");
    fs::permissions(bin + "/xdg-open", fs::perms::owner_all);
    m_oldPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    setenv("PATH", (bin + ":" + m_oldPath).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", m_oldPath.c_str(), 1);
    ResetDeploymentForTest();
    unsetenv("INSTALLER_USER_SCOPE");
  }
  void StartService(const std::string& scenario) {
    m_service = std::make_unique<testsupport::DevService>(m_env.Path("svc"));
    testsupport::DevServiceConfig cfg;
    cfg.package = m_env.Path("pkg");
    cfg.scenario = scenario;
    ASSERT_TRUE(m_service->Start(cfg)) << m_service->Error();
    DeploymentValues d = GetDeployment();
    d.apiHost = d.reportHost = d.downloadHost = "127.0.0.1";
    d.httpsPort = m_service->HttpsPort();
    d.httpPort = m_service->HttpPort();
    SetDeploymentForTest(d);
    fs::copy_file(m_service->CaPath(), platform::TempFolderA() + "cacert.pem", fs::copy_options::overwrite_existing);
    HttpInstallInfo::GetInstance()->ResetForTest();
  }
  std::string XdgRecord() const { return m_env.Path("xdg-open.args"); }
  std::string XdgCalls() const { return fs::exists(XdgRecord()) ? testsupport::ReadFile(XdgRecord()) : ""; }

  testsupport::ScratchEnv m_env;
  pagetest::BoxRecorder m_boxes;
  std::unique_ptr<testsupport::DevService> m_service;
  std::string m_oldPath;
};

// Runs the sequence on this thread; a watchdog ends every page of this
// process after 20 s so a stuck sequence fails instead of hanging.
int RunGuarded(const std::string& commandLine) {
  std::atomic<bool> done{false};
  std::thread watchdog([&done] {
    for (int i = 0; i < 2000 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    for (const wchar_t* cls : {L"CheckWndUI", L"InstallWndUI", L"StartUpdateWndUI", L"ProcessWndUI"})
      while (!done)
        if (HWND h = platform::FindWindowW(cls, nullptr)) {
          platform::PostMessageW(h, WM_CLOSE, 0, 0);
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } else {
          break;
        }
  });
  const int code = pages::RunPageSequence(commandLine);
  done = true;
  watchdog.join();
  return code;
}

TEST_F(PageSequenceTest, FallbackBoxesOfferTheBrowserDownload) {
  struct Case {
    const char* what;
    std::string scenario;
    const wchar_t* text;
    int answer;
    bool browser;
  };
  const Case cases[] = {
      {"no answer, OK", "[update]\nmode = close\n", L"网络请求错误，切换绿色包下载", IDOK, true},
      {"no answer, Cancel", "[update]\nmode = close\n", L"网络请求错误，切换绿色包下载", IDCANCEL, false},
      {"package size 0, OK", "[update]\nsize = \"0\"\n", L"电脑环境检测错误，切换绿色包下载", IDOK, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartService(c.scenario);
    fs::remove(XdgRecord());
    const size_t before = m_boxes.Boxes().size();
    m_boxes.SetAnswer(c.answer);
    EXPECT_EQ(RunGuarded("x"), 0);
    const auto boxes = m_boxes.Boxes();
    ASSERT_EQ(boxes.size(), before + 1);
    EXPECT_EQ(boxes.back().text, c.text);
    EXPECT_EQ(boxes.back().caption, L"错误提示");
    EXPECT_EQ(boxes.back().type, MB_OKCANCEL);
    const std::string url = "https://127.0.0.1:" + std::to_string(m_service->HttpsPort()) + "/person/cloud_pc.7z\n";
    if (c.browser) {
      for (int i = 0; i < 300 && XdgCalls().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      EXPECT_EQ(XdgCalls(), url);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      EXPECT_EQ(XdgCalls(), "");
    }
    m_service.reset();
  }
}

TEST_F(PageSequenceTest, InstallPageClosedByTheUserEndsWithoutProgressPage) {
  StartService("");
  std::atomic<bool> stop{false};
  std::atomic<bool> sawProgress{false};
  std::atomic<bool> clicked{false};
  RECT installRect;  // written by the user thread, read after it is joined
  std::thread user([&] {
    while (!stop) {
      if (platform::FindWindowW(L"ProcessWndUI", nullptr)) sawProgress = true;
      HWND install = platform::FindWindowW(L"InstallWndUI", nullptr);
      if (!clicked && install && platform::headless::PresentCount(install) > 0) {
        platform::GetWindowRect(install, &installRect);
        clicked = platform::headless::Click(install, 583, 16);  // closebtn
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  EXPECT_EQ(RunGuarded("x"), 0);
  stop = true;
  user.join();
  EXPECT_TRUE(clicked);
  EXPECT_FALSE(sawProgress);
  EXPECT_EQ(CUIHelp::GetInstance()->m_nType, CHECK_INSTALL);
  // The install page opened where the check page was.
  EXPECT_EQ(installRect.left, CUIHelp::GetInstance()->m_rcWindow.left);
  EXPECT_EQ(installRect.top, CUIHelp::GetInstance()->m_rcWindow.top);
}

}  // namespace
