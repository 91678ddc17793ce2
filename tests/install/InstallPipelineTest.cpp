// The whole pipeline, headless, against the demo service into a scratch HOME:
// fresh install, upgrade, repair, CRC mismatch and download failure.
#include "install/InstallPipeline.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>

#include "ProcessTestLock.h"
#include "app/Log.h"
#include "app/UIHelp.h"
#include "comm/Deployment.h"
#include "decision/HttpInstallInfo.h"
#include "install/SystemIntegration.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "support/DevService.h"
#include "support/ScratchEnv.h"

namespace {

namespace fs = std::filesystem;
using platform::Utf8ToWide;
using platform::WideToUtf8;
using testsupport::ReadFile;

// Stands in for the progress page: records every call in order and keeps the
// last percentage the way the page computes it.
class FakeInstallPage : public IInstallPage, public IProgressTarget {
 public:
  void SetNote(const std::wstring& text) override { Log("note:" + WideToUtf8(text)); }
  bool PostSetProcessValue(uint64_t total, uint64_t received) override {
    std::lock_guard<std::mutex> lock(m_lock);
    m_progress.emplace_back(total, received);
    m_last = static_cast<int>(static_cast<double>(received) * 100.0 /
                              static_cast<double>(total ? total : 1));
    return true;
  }
  bool PostErrorClose(const std::wstring& text) override {
    Log("error:" + WideToUtf8(text));
    return true;
  }
  int LastPercent() const override {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_last;
  }
  IProgressTarget* ExtractProgressTarget() override { return this; }
  void SendProgressMessage(unsigned message, uintptr_t wParam, intptr_t) override {
    std::lock_guard<std::mutex> lock(m_lock);
    if (message == WM_EXTRACT_PROGRESS) m_extract.push_back(static_cast<int>(wParam));
  }
  void Hide() override { Log("hide"); }
  void Close(int code) override { Log("close:" + std::to_string(code)); }
  int RunCompletePage(const std::wstring& title) override {
    Log("complete:" + WideToUtf8(title));
    return 1;
  }

  std::vector<std::string> Calls() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_calls;
  }
  std::vector<std::pair<uint64_t, uint64_t>> Progress() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_progress;
  }
  std::vector<int> Extract() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_extract;
  }

 private:
  void Log(const std::string& s) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_calls.push_back(s);
  }
  mutable std::mutex m_lock;
  std::vector<std::string> m_calls;
  std::vector<std::pair<uint64_t, uint64_t>> m_progress;
  std::vector<int> m_extract;
  int m_last = 0;
};

const char kClientScript[] =
    "#!/bin/sh\necho started > \"$(dirname \"$0\")/client.started\"\n";

class InstallPipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("INSTALLER_USER_SCOPE", "1", 1);
    SetLogDir(Utf8ToWide(m_env.Path("log")));
    testsupport::WriteFile(m_env.Path("pkg1/tvClient.exe"), std::string(kClientScript) + "# v1\n");
    fs::permissions(m_env.Path("pkg1/tvClient.exe"), fs::perms(0755));
    testsupport::WriteFile(m_env.Path("pkg1/Uninstaller.exe"), "#!/bin/sh\n");
    testsupport::WriteFile(m_env.Path("pkg1/lib/data.bin"), std::string(300000, 'd'));
    testsupport::WriteFile(m_env.Path("pkg2/tvClient.exe"), std::string(kClientScript) + "# v2\n");
    fs::permissions(m_env.Path("pkg2/tvClient.exe"), fs::perms(0755));
    m_service = std::make_unique<testsupport::DevService>(m_env.Path("svc"));
    testsupport::DevServiceConfig cfg;
    cfg.package = m_env.Path("pkg1");
    cfg.packageV2 = m_env.Path("pkg2");
    ASSERT_TRUE(m_service->Start(cfg)) << m_service->Error();
    DeploymentValues d = GetDeployment();
    d.apiHost = d.reportHost = d.downloadHost = "127.0.0.1";
    d.httpsPort = m_service->HttpsPort();
    d.httpPort = m_service->HttpPort();
    SetDeploymentForTest(d);
    fs::copy_file(m_service->CaPath(), platform::TempFolderA() + "cacert.pem",
                  fs::copy_options::overwrite_existing);

    CUIHelp* ctx = CUIHelp::GetInstance();
    m_savedDir = ctx->m_strInstallDir;
    m_savedExe = ctx->m_strClientExe;
    m_savedType = ctx->m_nType;
    m_dir = m_env.Path("home/.local/opt/DevAdazuZirev/");
    ctx->m_strInstallDir = Utf8ToWide(m_dir);
    ctx->m_strClientExe = L"tvClient.exe";
    ctx->m_nType = CHECK_INSTALL;
  }
  void TearDown() override {
    CUIHelp* ctx = CUIHelp::GetInstance();
    ctx->m_strInstallDir = m_savedDir;
    ctx->m_strClientExe = m_savedExe;
    ctx->m_nType = m_savedType;
    ResetDeploymentForTest();
    unsetenv("INSTALLER_USER_SCOPE");
  }

  // The check's request fills the install info (and sends event 9).
  void AskService(const std::string& scenario) {
    ASSERT_TRUE(m_service->WriteScenario(scenario));
    HttpInstallInfo::GetInstance()->ResetForTest();
    ASSERT_TRUE(HttpInstallInfo::GetInstance()->RequestInstallInfo());
  }

  // Runs the worker body on its own thread, as the progress page does.
  void Run(FakeInstallPage& page) {
    std::packaged_task<void()> task([&page] { RunInstallation(&page); });
    std::future<void> done = task.get_future();
    std::thread worker(std::move(task));
    bool finished = done.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    if (!finished) {
      worker.detach();
      FAIL() << "the pipeline did not finish";
    }
    worker.join();
  }

  std::vector<int> Events(size_t expected) {
    std::vector<Json::Value> reports;
    m_service->WaitForReports(expected, 5000, &reports);
    std::vector<int> events;
    for (const Json::Value& r : reports) {
      EXPECT_TRUE(r["valid"].asBool()) << r["reason"].asString();
      events.push_back(r["event"].isInt() ? r["event"].asInt() : -1);
    }
    return events;
  }

  std::wstring Product(const wchar_t* name) {
    platform::HKEY key = nullptr;
    if (platform::RegOpenKeyExW(platform::HKEY_CURRENT_USER, kProductKey, 0,
                                platform::KEY_QUERY_VALUE, &key) != platform::ERROR_SUCCESS)
      return L"<no key>";
    std::wstring v = L"<missing>";
    platform::RegQueryValueExW(key, name, nullptr, &v);
    platform::RegCloseKey(key);
    return v;
  }

  bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 500 && !fs::exists(path); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(path);
  }

  testinstall::ProcessTestLock m_processLock;
  testsupport::ScratchEnv m_env;
  std::unique_ptr<testsupport::DevService> m_service;
  std::string m_dir;
  std::wstring m_savedDir, m_savedExe;
  int32_t m_savedType = 0;
};

TEST_F(InstallPipelineTest, FreshInstallThenUpgrade) {
  AskService("");
  FakeInstallPage page;
  Run(page);
  const std::vector<std::string> expectCalls = {
      "note:正在下载客户端程序，请稍后...", "note:正在解压客户端程序，请稍后...", "hide",
      "complete:Tarvolen云电脑安装程序", "close:1"};
  EXPECT_EQ(page.Calls(), expectCalls);
  EXPECT_EQ(Events(4), (std::vector<int>{9, 1, 2, 0}));

  // Download progress went to the page, ending with the whole package.
  auto progress = page.Progress();
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back().first, progress.back().second);
  EXPECT_EQ(static_cast<int64_t>(progress.back().first), HttpInstallInfo::GetInstance()->m_nSize);
  ASSERT_FALSE(page.Extract().empty());
  EXPECT_EQ(page.Extract().front(), 0);

  EXPECT_NE(ReadFile(m_dir + "tvClient.exe").find("# v1"), std::string::npos);
  EXPECT_EQ(fs::file_size(m_dir + "lib/data.bin"), 300000u);
  EXPECT_NE(fs::status(m_dir + "tvClient.exe").permissions() & fs::perms::owner_exec,
            fs::perms::none);
  EXPECT_FALSE(fs::exists(m_dir + "tmpClient")) << "the package is deleted after success";
  struct Placed {
    const char* name;
    const char* type;
    int id;
  } placed[] = {{"dat.ini", platform::kResData, platform::kIdDatIni},
                {"boot_background_game.png", platform::kResPng, platform::kIdBootBackground},
                {"oem.png", platform::kResPng, platform::kIdOemPng},
                {"NetLink.dat", platform::kResData, platform::kIdNetLinkDat}};
  for (const Placed& p : placed) {
    platform::ResourceBlob blob;
    if (!platform::FindResource(p.type, p.id, &blob)) continue;  // not packaged: skipped
    EXPECT_EQ(ReadFile(m_dir + p.name),
              std::string(reinterpret_cast<const char*>(blob.data), blob.size))
        << p.name;
  }
  EXPECT_EQ(fs::file_size(m_dir + "Cloud.ico"), 16958u);
  EXPECT_EQ(WideToUtf8(Product(L"installDir")), m_dir);
  EXPECT_EQ(WideToUtf8(Product(L"Start")), "tvClient.exe");
  EXPECT_EQ(WideToUtf8(Product(L"Version")), "1.0.0.1");
  EXPECT_TRUE(fs::exists(m_env.Path("data/applications/Tarvolen云电脑.desktop")));
  EXPECT_TRUE(fs::exists(m_env.Home() + "/Desktop/Tarvolen云电脑.desktop"));
  EXPECT_TRUE(WaitForFile(m_dir + "client.started")) << "the client was not started";

  // Upgrade to the second package over the first.
  fs::remove(m_dir + "client.started");
  AskService("[update]\npackage = v2\nversion = \"2.0\"\n");
  FakeInstallPage again;
  Run(again);
  EXPECT_EQ(again.Calls(), expectCalls);
  EXPECT_NE(ReadFile(m_dir + "tvClient.exe").find("# v2"), std::string::npos);
  EXPECT_TRUE(fs::exists(m_dir + "lib/data.bin")) << "files of the old version stay";
  EXPECT_EQ(WideToUtf8(Product(L"Version")), "2.0");
  EXPECT_FALSE(fs::exists(m_dir + "tmpClient"));
  EXPECT_TRUE(WaitForFile(m_dir + "client.started"));
}

TEST_F(InstallPipelineTest, RepairKeepsTheInstallerFiles) {
  const char* kept[] = {"dat.ini", "Cloud.ico", "boot_background_game.png", "oem.png",
                        "NetLink.dat"};
  for (const char* name : kept) testsupport::WriteFile(m_dir + name, std::string("mine:") + name);
  testsupport::WriteFile(m_dir + "tvClient.exe", "broken");
  testsupport::WriteFile(m_dir + "tmpClient/left/over", "a folder left where the package goes");
  CUIHelp::GetInstance()->m_nType = CHECK_REPAIR;
  AskService("");
  FakeInstallPage page;
  Run(page);
  EXPECT_EQ(page.Calls().back(), "close:1");
  for (const char* name : kept) EXPECT_EQ(ReadFile(m_dir + name), std::string("mine:") + name);
  EXPECT_NE(ReadFile(m_dir + "tvClient.exe").find("# v1"), std::string::npos);
  EXPECT_EQ(WideToUtf8(Product(L"Version")), "1.0.0.1");
  EXPECT_FALSE(fs::exists(m_dir + "tmpClient"));
}

TEST_F(InstallPipelineTest, CrcMismatchReportsAndStops) {
  AskService("[update]\ncrc = \"12345\"\n");
  FakeInstallPage page;
  Run(page);
  EXPECT_EQ(page.Calls(), (std::vector<std::string>{"note:正在下载客户端程序，请稍后...",
                                                    "error:client校验crc失败"}));
  std::vector<Json::Value> reports;
  ASSERT_TRUE(m_service->WaitForReports(4, 5000, &reports));
  EXPECT_EQ(Events(4), (std::vector<int>{9, 1, 2, 6}));
  EXPECT_EQ(reports[3]["text1"].asString(), "100");  // the last percentage shown
  EXPECT_FALSE(fs::exists(m_dir + "tvClient.exe")) << "nothing is extracted";
  EXPECT_TRUE(fs::exists(m_dir + "tmpClient")) << "the package stays after a failure";
  EXPECT_EQ(Product(L"Version"), L"<no key>");
}

TEST_F(InstallPipelineTest, DownloadFailureReportsFive) {
  testsupport::WriteFile(m_env.Path("blocker"), "a file where a folder is needed");
  CUIHelp::GetInstance()->m_strInstallDir = Utf8ToWide(m_env.Path("blocker/DevAdazuZirev/"));
  AskService("");
  FakeInstallPage page;
  Run(page);
  EXPECT_EQ(page.Calls(), (std::vector<std::string>{"note:正在下载客户端程序，请稍后...",
                                                    "error:https下载客户端失败"}));
  std::vector<Json::Value> reports;
  ASSERT_TRUE(m_service->WaitForReports(3, 5000, &reports));
  EXPECT_EQ(Events(3), (std::vector<int>{9, 1, 5}));
  EXPECT_EQ(reports[2]["text1"].asString(), "0");
}

}  // namespace
