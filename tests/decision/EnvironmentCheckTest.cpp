// The environment check against the demo service and a scratch settings store:
// the decision table, and the waiter that records the result and closes the page.
#include "decision/EnvironmentCheck.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>

#include "app/Log.h"
#include "comm/Deployment.h"
#include "decision/HttpInstallInfo.h"
#include "platform/Registry.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "support/DevService.h"
#include "support/ScratchEnv.h"

namespace {

namespace fs = std::filesystem;
using platform::Utf8ToWide;

class EnvironmentCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("INSTALLER_USER_SCOPE", "1", 1);
    SetLogDir(Utf8ToWide(m_env.Path("log")));
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
    fs::copy_file(m_service->CaPath(), platform::TempFolderA() + "cacert.pem",
                  fs::copy_options::overwrite_existing);
    HttpInstallInfo::GetInstance()->ResetForTest();
    CUIHelp* ctx = CUIHelp::GetInstance();
    m_savedDir = ctx->m_strInstallDir;
    m_savedExe = ctx->m_strClientExe;
    ctx->m_strInstallDir = L"/default/dir/";
    ctx->m_strClientExe = L"tvClient.exe";
  }
  void TearDown() override {
    CUIHelp::GetInstance()->m_strInstallDir = m_savedDir;
    CUIHelp::GetInstance()->m_strClientExe = m_savedExe;
    ResetDeploymentForTest();
    unsetenv("INSTALLER_USER_SCOPE");
  }

  void WriteProductValues(const std::map<std::wstring, std::wstring>& values) {
    platform::HKEY key = nullptr;
    ASSERT_EQ(platform::RegCreateKeyW(platform::HKEY_CURRENT_USER, L"Software\\Tarvolen\\RoruvAZ",
                                      &key),
              platform::ERROR_SUCCESS);
    for (const auto& [name, value] : values)
      ASSERT_EQ(platform::RegSetValueExW(key, name.c_str(), 0, platform::REG_SZ, value),
                platform::ERROR_SUCCESS);
    platform::RegCloseKey(key);
  }

  _CHECKTYPE RunCheck(CEnvironmentCheck& check) {
    std::promise<_CHECKTYPE> promise;
    std::future<_CHECKTYPE> future = promise.get_future();
    check.CheckRegedit(promise);
    EXPECT_EQ(future.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    return future.get();
  }

  std::string LogText() {
    std::string all;
    for (auto& e : fs::directory_iterator(m_env.Path("log")))
      all += testsupport::ReadFile(e.path().string());
    return all;
  }

  testsupport::ScratchEnv m_env;
  std::unique_ptr<testsupport::DevService> m_service;
  std::wstring m_savedDir, m_savedExe;
};

TEST_F(EnvironmentCheckTest, DecisionTable) {
  const std::string dir = m_env.Path("apps/DevAdazuZirev/");
  const std::string longDir = m_env.Path("apps/" + std::string(140, 'L') + "/");
  fs::create_directories(dir);
  fs::create_directories(longDir);
  testsupport::WriteFile(dir + "tvClient.exe", "client");
  testsupport::WriteFile(longDir + "tvClient.exe", "client");
  const std::wstring wdir = Utf8ToWide(dir);
  using Values = std::map<std::wstring, std::wstring>;
  const Values full = {{L"installDir", wdir}, {L"Start", L"tvClient.exe"}, {L"Version", L"1.0.0.9"}};

  struct Case {
    const char* what;
    std::string scenario;
    bool key;
    Values values;
    std::string cmdLine;
    _CHECKTYPE expect;
    std::wstring expectDir, expectExe;
  } cases[] = {
      {"request failed", "[update]\nmode = close\n", true, full, "", CHECK_REQUEST_FAILED,
       L"/default/dir/", L"tvClient.exe"},
      {"size 0", "[update]\nsize = \"0\"\n", true, full, "", CHECK_NO_PACKAGE, L"/default/dir/",
       L"tvClient.exe"},
      {"no key", "", false, {}, "", CHECK_INSTALL, L"/default/dir/", L"tvClient.exe"},
      {"installDir missing", "", true, {{L"Start", L"x.exe"}, {L"Version", L"1.0.0.9"}}, "",
       CHECK_INSTALL, L"/default/dir/", L"tvClient.exe"},
      {"Start missing", "", true, {{L"installDir", wdir}, {L"Version", L"1.0.0.9"}}, "",
       CHECK_INSTALL, wdir, L"tvClient.exe"},
      {"Version missing", "", true, {{L"installDir", wdir}, {L"Start", L"other.exe"}}, "",
       CHECK_INSTALL, wdir, L"other.exe"},
      {"REPAIR in capitals", "[update]\nversion = \"2.0\"\n", true, full, "REPAIR", CHECK_REPAIR,
       wdir, L"tvClient.exe"},
      {"repair now", "[update]\nversion = \"2.0\"\n", true, full, "repair now", CHECK_UPDATE, wdir,
       L"tvClient.exe"},
      {"downgrade", "[update]\nversion = \"1.0.0.8\"\n", true,
       {{L"installDir", wdir}, {L"Start", L"tvClient.exe"}, {L"Version", L"1.0.0.10"}}, "",
       CHECK_UPDATE, wdir, L"tvClient.exe"},
      {"case-only difference", "[update]\nversion = \"2.0A\"\n", true,
       {{L"installDir", wdir}, {L"Start", L"tvClient.exe"}, {L"Version", L"2.0a"}}, "",
       CHECK_UPDATE, wdir, L"tvClient.exe"},
      {"same version, client present", "[update]\nversion = \"1.0.0.9\"\n", true, full, "",
       CHECK_START, wdir, L"tvClient.exe"},
      {"same version, client missing", "[update]\nversion = \"1.0.0.9\"\n", true,
       {{L"installDir", wdir}, {L"Start", L"gone.exe"}, {L"Version", L"1.0.0.9"}}, "",
       CHECK_INSTALL, wdir, L"gone.exe"},
      {"install folder longer than 129 characters", "[update]\nversion = \"1.0.0.9\"\n", true,
       {{L"installDir", Utf8ToWide(longDir)}, {L"Start", L"tvClient.exe"}, {L"Version", L"1.0.0.9"}},
       "", CHECK_START, Utf8ToWide(longDir), L"tvClient.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(m_env.Path("config/Tarvolen"));
    if (c.key) WriteProductValues(c.values);
    ASSERT_TRUE(m_service->WriteScenario(c.scenario));
    CUIHelp* ctx = CUIHelp::GetInstance();
    ctx->m_strInstallDir = L"/default/dir/";
    ctx->m_strClientExe = L"tvClient.exe";
    HttpInstallInfo::GetInstance()->ResetForTest();
    CEnvironmentCheck check(nullptr);
    check.m_strCmdLine = c.cmdLine;
    EXPECT_EQ(RunCheck(check), c.expect);
    EXPECT_EQ(platform::WideToUtf8(ctx->m_strInstallDir), platform::WideToUtf8(c.expectDir));
    EXPECT_EQ(platform::WideToUtf8(ctx->m_strClientExe), platform::WideToUtf8(c.expectExe));
  }
  std::string log = LogText();
  EXPECT_NE(log.find(" Get /pc/UpdateRequest Failed "), std::string::npos);
  EXPECT_NE(log.find(" Get /pc/UpdateRequest dwSize 0 "), std::string::npos);
}

// Records what the waiter hands the page.
class FakePage : public ICheckPageHost {
 public:
  explicit FakePage(CEnvironmentCheck* check) : m_check(check) {}
  RECT WindowRect() override {
    RECT r;
    r.left = 10;
    r.top = 20;
    r.right = 610;
    r.bottom = 442;
    rectAsked = true;
    return r;
  }
  void PostClose(int code) override {
    std::lock_guard<std::mutex> lock(m);
    closeCode = code;
    doneAtClose = m_check && m_check->m_bCheckDone.load();
    typeAtClose = CUIHelp::GetInstance()->m_nType;
    closed = true;
    cv.notify_all();
  }
  void SetCheck(CEnvironmentCheck* check) { m_check = check; }

  std::mutex m;
  std::condition_variable cv;
  bool closed = false, rectAsked = false, doneAtClose = false;
  int closeCode = -100;
  int32_t typeAtClose = -1;

 private:
  CEnvironmentCheck* m_check;
};

TEST_F(EnvironmentCheckTest, WaiterStoresResultThenClosesWithOne) {
  ASSERT_TRUE(m_service->WriteScenario("[update]\nmode = close\n"));
  FakePage page(nullptr);
  CEnvironmentCheck check(&page);
  page.SetCheck(&check);
  check.m_strCmdLine = "x";  // any argument shortens the minimum time to 1 s
  CUIHelp::GetInstance()->m_nType = CHECK_START;
  auto start = std::chrono::steady_clock::now();
  check.Start();
  {
    std::unique_lock<std::mutex> lock(page.m);
    ASSERT_TRUE(page.cv.wait_for(lock, std::chrono::seconds(15), [&] { return page.closed; }))
        << "the waiter never closed the page";
  }
  check.Join();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_EQ(page.closeCode, 1);
  EXPECT_TRUE(page.rectAsked);
  EXPECT_TRUE(page.doneAtClose);
  EXPECT_EQ(page.typeAtClose, CHECK_REQUEST_FAILED);
  EXPECT_EQ(CUIHelp::GetInstance()->m_rcWindow.right, 610);
  EXPECT_EQ(CUIHelp::GetInstance()->m_rcWindow.top, 20);
}

TEST(EnvironmentCheckTiming, MinimumDisplayTimeFollowsTheCommandLine) {
  CEnvironmentCheck check(nullptr);
  EXPECT_EQ(check.MinDisplayMs(), 3000);
  check.m_strCmdLine = "repair";
  EXPECT_EQ(check.MinDisplayMs(), 1000);
}

}  // namespace
