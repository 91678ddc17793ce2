// The demo client package as the installer and the demo use it: the client says
// which version started, its browser component ends with it, and the uninstaller
// removes exactly what an installation made.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Registry.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

constexpr const wchar_t* kProductKey = L"Software\\Tarvolen\\RoruvAZ";
constexpr const wchar_t* kUninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{D4A19E37-6B25-48C1-9F0E-72A3B5C8E610}";

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Gone, or a zombie nobody reaps (the process has ended either way).
bool Ended(int pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t paren = stat.rfind(')');
  return stat.empty() || (paren != std::string::npos && stat.compare(paren + 2, 1, "Z") == 0);
}

// Starts a program with no display, as on a headless machine.
pid_t Start(const std::string& program) {
  const pid_t pid = fork();
  if (pid == 0) {
    unsetenv("DISPLAY");
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Runs a program to its end; -1 when it did not end within the limit.
int RunToEnd(const std::string& program) {
  const pid_t pid = Start(program);
  int status = 0;
  const bool ended = WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; },
                               std::chrono::seconds(20));
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int MarkerPid(const std::string& marker) {
  const std::string text = ReadFile(marker);
  const std::size_t at = text.find("pid=");
  return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + 4);
}

class DemoClient : public ::testing::Test {
 protected:
  void SetUp() override { setenv("INSTALLER_USER_SCOPE", "1", 1); }
  void TearDown() override {
    for (pid_t pid : m_started) {
      if (waitpid(pid, nullptr, WNOHANG) != 0) continue;  // ended and reaped already
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    unsetenv("INSTALLER_USER_SCOPE");
  }

  // Lays the package of `version` out as an installation in `folder`.
  std::string Install(const std::string& version, const std::string& folder) {
    fs::create_directories(folder);
    fs::copy(std::string(DEMOCLIENT_PKG_ROOT) + "/" + version, folder, fs::copy_options::recursive);
    return fs::canonical(folder).string();
  }

  pid_t StartClient(const std::string& folder) {
    const pid_t pid = Start(folder + "/tvClient.exe");
    m_started.push_back(pid);
    return pid;
  }

  testsupport::ScratchEnv m_env;
  std::vector<pid_t> m_started;
};

TEST_F(DemoClient, ClientReportsItsVersionAndItsBrowserComponentEndsWithIt) {
  for (const char* version : {"1.0.0", "2.1.0"}) {
    SCOPED_TRACE(version);
    const std::string folder = Install(version, m_env.Path(std::string("opt/") + version));
    const std::string runtime = m_env.Path("runtime");
    for (const char* marker : {"tvClient.exe.started", "QtWebEngineProcess.exe.started"}) fs::remove(runtime + "/" + marker);
    const pid_t client = StartClient(folder);

    ASSERT_TRUE(WaitUntil([&] { return fs::exists(runtime + "/QtWebEngineProcess.exe.started"); },
                          std::chrono::seconds(10)));
    ASSERT_TRUE(fs::exists(runtime + "/tvClient.exe.started"));
    const std::string marker = ReadFile(folder + "/tvClient.exe.started");
    EXPECT_NE(marker.find("version=" + std::string(version) + "\n"), std::string::npos) << marker;
    EXPECT_NE(marker.find("folder=" + folder + "\n"), std::string::npos) << marker;
    EXPECT_EQ(MarkerPid(folder + "/tvClient.exe.started"), client);
    EXPECT_EQ(ReadFile(runtime + "/tvClient.exe.started"), marker);

    const int helper = MarkerPid(runtime + "/QtWebEngineProcess.exe.started");
    ASSERT_GT(helper, 0);
    EXPECT_FALSE(Ended(helper));
    // The installer ends the client with SIGKILL; the component must not linger.
    kill(client, SIGKILL);
    waitpid(client, nullptr, 0);
    EXPECT_TRUE(WaitUntil([&] { return Ended(helper); }, std::chrono::seconds(5)));
  }
}

TEST_F(DemoClient, UninstallerRemovesTheInstallationItLivesIn) {
  // A folder name with a blank: the menu entries quote their Exec program.
  const std::string folder = Install("2.1.0", m_env.Home() + "/.local/opt/Tarvolen Cloud/DevAdazuZirev");
  WriteFile(folder + "/dat.ini", "[Installer]\nInstallerShortcut=演示云电脑\n");
  const std::string entry =
      "[Desktop Entry]\nType=Application\nName=演示云电脑\nExec=\"" + folder +
      "/tvClient.exe\"\nIcon=" + folder + "//Cloud.ico\n";
  const std::string menuEntry = m_env.Path("data/applications/演示云电脑.desktop");
  const std::string desktopEntry = m_env.Home() + "/Desktop/演示云电脑.desktop";
  WriteFile(menuEntry, entry);
  WriteFile(desktopEntry, entry);

  platform::HKEY key = nullptr;
  ASSERT_EQ(platform::RegCreateKeyW(platform::HKEY_CURRENT_USER, kProductKey, &key), platform::ERROR_SUCCESS);
  for (const wchar_t* name : {L"installDir", L"Start", L"Version"}) {
    const std::wstring data = std::wstring(name) == L"installDir" ? platform::Utf8ToWide(folder + "/")
                              : std::wstring(name) == L"Start"    ? L"tvClient.exe"
                                                                  : L"2.1.0";
    ASSERT_EQ(platform::RegSetValueExW(key, name, 0, platform::REG_SZ, data), platform::ERROR_SUCCESS);
  }
  platform::RegCloseKey(key);
  ASSERT_EQ(platform::RegCreateKeyW(platform::HKEY_CURRENT_USER, L"Software\\Tarvolen\\Other", &key),
            platform::ERROR_SUCCESS);
  ASSERT_EQ(platform::RegSetValueExW(key, L"keep", 0, platform::REG_SZ, L"1"), platform::ERROR_SUCCESS);
  platform::RegCloseKey(key);
  ASSERT_EQ(platform::RegCreateKeyW(platform::HKEY_LOCAL_MACHINE, kUninstallKey, &key), platform::ERROR_SUCCESS);
  ASSERT_EQ(platform::RegSetValueExW(key, L"DisplayName", 0, platform::REG_SZ, L"Tarvolen云电脑"),
            platform::ERROR_SUCCESS);
  platform::RegCloseKey(key);

  const pid_t client = StartClient(folder);
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(folder + "/QtWebEngineProcess.exe.started"); },
                        std::chrono::seconds(10)));

  EXPECT_EQ(RunToEnd(folder + "/Uninstaller.exe"), 0);
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_TRUE(fs::exists(m_env.Home() + "/.local/opt/Tarvolen Cloud"));  // only its own folder
  EXPECT_FALSE(fs::exists(menuEntry));
  EXPECT_FALSE(fs::exists(desktopEntry));
  EXPECT_TRUE(WaitUntil([&] { return waitpid(client, nullptr, WNOHANG) == client; }, std::chrono::seconds(5)));

  std::wstring value;
  ASSERT_EQ(platform::RegOpenKeyExW(platform::HKEY_CURRENT_USER, L"Software\\Tarvolen\\Other", 0,
                                    platform::KEY_QUERY_VALUE, &key),
            platform::ERROR_SUCCESS);
  EXPECT_EQ(platform::RegQueryValueExW(key, L"keep", nullptr, &value), platform::ERROR_SUCCESS);
  platform::RegCloseKey(key);
  if (platform::RegOpenKeyExW(platform::HKEY_CURRENT_USER, kProductKey, 0, platform::KEY_QUERY_VALUE, &key) ==
      platform::ERROR_SUCCESS) {
    for (const wchar_t* name : {L"installDir", L"Start", L"Version"})
      EXPECT_EQ(platform::RegQueryValueExW(key, name, nullptr, &value), platform::ERROR_FILE_NOT_FOUND);
    platform::RegCloseKey(key);
  }
  EXPECT_EQ(platform::RegOpenKeyExW(platform::HKEY_LOCAL_MACHINE, kUninstallKey, 0, platform::KEY_QUERY_VALUE, &key),
            platform::ERROR_FILE_NOT_FOUND);
}

TEST_F(DemoClient, UninstallerLeavesTheUsersOwnFiles) {
  const std::string folder = Install("2.1.0", m_env.Home() + "/.local/opt/DevAdazuZirev");
  for (const char* placed : {"dat.ini", "Cloud.ico", "oem.png", "NetLink.dat", "boot_background_game.png"})
    WriteFile(folder + "/" + placed, "x");
  WriteFile(folder + "/notes.txt", "mine");
  WriteFile(folder + "/resources/saves/slot1.dat", "mine");

  EXPECT_EQ(RunToEnd(folder + "/Uninstaller.exe"), 0);
  std::vector<std::string> left;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) left.push_back(fs::relative(e.path(), folder).string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"notes.txt", "resources/saves/slot1.dat"}));
}

TEST_F(DemoClient, UninstallerCopiedElsewhereRemovesNothing) {
  const std::string pkg = std::string(DEMOCLIENT_PKG_ROOT) + "/2.1.0/Uninstaller.exe";
  // The home folder itself, and a folder that holds no client.
  for (const std::string& folder : {m_env.Home(), m_env.Home() + "/Downloads"}) {
    SCOPED_TRACE(folder);
    fs::create_directories(folder);
    WriteFile(folder + "/keep.txt", "x");
    fs::copy_file(pkg, folder + "/Uninstaller.exe", fs::copy_options::overwrite_existing);
    EXPECT_EQ(RunToEnd(folder + "/Uninstaller.exe"), 2);
    EXPECT_TRUE(fs::exists(folder + "/keep.txt"));
    EXPECT_TRUE(fs::exists(folder + "/Uninstaller.exe"));
  }
}

}  // namespace
