// System integration against real processes, files and the settings store in a
// scratch HOME.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "app/UIHelp.h"
#include "ProcessTestLock.h"
#include "install/SystemIntegration.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;

std::wstring W(const std::string& s) { return platform::Utf8ToWide(s); }

uint32_t Le32(const std::string& b, size_t off) {
  return static_cast<uint8_t>(b[off]) | (static_cast<uint8_t>(b[off + 1]) << 8) |
         (static_cast<uint8_t>(b[off + 2]) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[off + 3])) << 24);
}
uint32_t Le16(const std::string& b, size_t off) {
  return static_cast<uint8_t>(b[off]) | (static_cast<uint8_t>(b[off + 1]) << 8);
}

// Keeps the installer context as it was and points it at the scratch folder.
class SystemIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("INSTALLER_USER_SCOPE", "1", 1);
    CUIHelp* ctx = CUIHelp::GetInstance();
    m_savedDir = ctx->m_strInstallDir;
    m_savedExe = ctx->m_strClientExe;
    m_dir = m_env.Path("apps/DevAdazuZirev/");
    fs::create_directories(m_dir);
    ctx->m_strInstallDir = W(m_dir);
    ctx->m_strClientExe = L"tvClient.exe";
  }
  void TearDown() override {
    for (pid_t p : m_children) {
      ::kill(p, SIGKILL);
      ::waitpid(p, nullptr, 0);
    }
    CUIHelp::GetInstance()->m_strInstallDir = m_savedDir;
    CUIHelp::GetInstance()->m_strClientExe = m_savedExe;
    unsetenv("INSTALLER_USER_SCOPE");
  }

  // Runs a copy of /bin/sleep under the given file name.
  pid_t StartNamed(const std::string& fileName) {
    std::string exe = m_env.Path("bin/" + fileName);
    fs::create_directories(m_env.Path("bin"));
    if (!fs::exists(exe)) fs::copy_file("/bin/sleep", exe);
    char arg0[] = "sleeper";
    char arg1[] = "30";
    char* argv[] = {arg0, arg1, nullptr};
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ), 0);
    m_children.push_back(pid);
    // Wait until the exec has happened, so /proc shows the new image.
    for (int i = 0; i < 200; ++i) {
      std::error_code ec;
      if (fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec).filename() == fileName)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pid;
  }

  // True when the child ended by SIGKILL within the timeout.
  bool EndedByKill(pid_t pid) {
    for (int i = 0; i < 300; ++i) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        m_children.erase(std::remove(m_children.begin(), m_children.end(), pid), m_children.end());
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  bool StillRunning(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == 0;
  }

  testinstall::ProcessTestLock m_processLock;
  testsupport::ScratchEnv m_env;
  std::string m_dir;
  std::wstring m_savedDir, m_savedExe;
  std::vector<pid_t> m_children;
};

TEST_F(SystemIntegrationTest, ClientFoundIgnoringCaseAndStopped) {
  EXPECT_EQ(StopProcessByName(L"tvClient.exe"), StopResult::NotRunning);
  pid_t pid = StartNamed("TVCLIENT.EXE");
  EXPECT_EQ(FindProcessByName(L"tvClient.exe"), pid);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(StopProcessByName(L"tvClient.exe"), StopResult::Stopped);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_TRUE(EndedByKill(pid));
  EXPECT_EQ(FindProcessByName(L"tvClient.exe"), 0);
}

TEST_F(SystemIntegrationTest, OnlyTheFirstBrowserComponentIsStopped) {
  pid_t a = StartNamed("QtWebEngineProcess.exe");
  pid_t b = StartNamed("QtWebEngineProcess.exe");
  pid_t first = std::min(a, b), second = std::max(a, b);
  EXPECT_EQ(StopProcessByName(L"QtWebEngineProcess.exe"), StopResult::Stopped);
  EXPECT_TRUE(EndedByKill(first));
  EXPECT_TRUE(StillRunning(second));
  EXPECT_EQ(FindProcessByName(L"QtWebEngineProcess.exe"), second);
}

TEST_F(SystemIntegrationTest, ClientStartsDetachedInItsOwnSession) {
  testsupport::WriteFile(m_dir + "tvClient.exe",
                         "#!/bin/sh\nread -r a b c d e sid rest < /proc/$$/stat\n"
                         "echo \"$sid\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.started\"\n");
  fs::permissions(m_dir + "tvClient.exe", fs::perms(0755));
  LaunchClient();
  std::string marker = m_dir + "tvClient.exe.started";
  for (int i = 0; i < 500 && !fs::exists(marker); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(fs::exists(marker)) << "the client did not start";
  EXPECT_NE(std::stoi(ReadFile(marker)), static_cast<int>(::getsid(0)));
}

TEST_F(SystemIntegrationTest, NetLinkCopyMatchesTheResource) {
  platform::ResourceBlob blob;
  if (!platform::FindResource(platform::kResData, platform::kIdNetLinkDat, &blob)) {
    EXPECT_FALSE(CopyNetLinkToInstallDir());
    return;
  }
  testsupport::WriteFile(m_dir + "NetLink.dat", "stale");
  ASSERT_TRUE(CopyNetLinkToInstallDir());
  EXPECT_EQ(ReadFile(m_dir + "NetLink.dat"),
            std::string(reinterpret_cast<const char*>(blob.data), blob.size));
}

// An ICO with 32-bit DIB images (BGRA bottom-up, then the AND mask).
struct IcoImage {
  int size;
  uint8_t r, g, b;
};
std::string MakeIco(const std::vector<IcoImage>& images) {
  auto put16 = [](std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
  };
  auto put32 = [&](std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
  };
  std::string head, body;
  put16(head, 0);
  put16(head, 1);
  put16(head, static_cast<uint32_t>(images.size()));
  size_t offset = 6 + 16 * images.size();
  for (const IcoImage& im : images) {
    std::string dib;
    int n = im.size;
    size_t maskStride = ((n + 31) / 32) * 4;
    put32(dib, 40);
    put32(dib, n);
    put32(dib, n * 2);
    put16(dib, 1);
    put16(dib, 32);
    for (int i = 0; i < 6; ++i) put32(dib, 0);
    for (int y = n - 1; y >= 0; --y) {
      for (int x = 0; x < n; ++x) {
        // Left eighth transparent; the blue channel carries x, green carries y
        // when the image is 64 wide, so row order can be checked.
        dib += static_cast<char>(n == 64 ? x * 4 : im.b);
        dib += static_cast<char>(n == 64 ? y * 4 : im.g);
        dib += static_cast<char>(im.r);
        dib += static_cast<char>(x < n / 8 ? 0 : 255);
      }
    }
    dib.append(maskStride * n, '\0');
    head += static_cast<char>(n);
    head += static_cast<char>(n);
    head += '\0';
    head += '\0';
    put16(head, 1);
    put16(head, 32);
    put32(head, static_cast<uint32_t>(dib.size()));
    put32(head, static_cast<uint32_t>(offset));
    offset += dib.size();
    body += dib;
  }
  return head + body;
}

TEST_F(SystemIntegrationTest, IconFileFollowsTheLayoutTable) {
  std::string ico = MakeIco({{16, 1, 2, 3}, {64, 128, 0, 0}, {32, 9, 9, 9}});
  IconBitmaps icon;
  ASSERT_TRUE(LoadIconFromIco(reinterpret_cast<const uint8_t*>(ico.data()), ico.size(), 64, 64,
                              &icon));
  std::string path = m_dir + "Cloud.ico";
  ASSERT_TRUE(SaveIconFile(W(path), &icon));
  std::string f = ReadFile(path);
  ASSERT_EQ(f.size(), 16958u);
  struct Field {
    size_t off, size;
    uint32_t value;
    const char* what;
  } fields[] = {
      {0, 2, 0, "reserved"},          {2, 2, 1, "type"},
      {4, 2, 1, "count"},             {6, 1, 64, "width"},
      {7, 1, 64, "height"},           {8, 1, 0, "colour count"},
      {9, 1, 0, "reserved"},          {10, 2, 1, "planes"},
      {12, 2, 32, "bit count"},       {14, 4, 16936, "bytes in image"},
      {18, 4, 22, "image offset"},    {22, 4, 40, "header size"},
      {26, 4, 64, "bitmap width"},    {30, 4, 128, "bitmap height"},
      {34, 2, 1, "bitmap planes"},    {36, 2, 32, "bitmap bit count"},
      {38, 4, 0, "compression"},      {42, 4, 16384 + 512, "image size"},
      {46, 4, 0, "x resolution"},     {50, 4, 0, "y resolution"},
      {54, 4, 0, "colours used"},     {58, 4, 0, "colours important"},
  };
  for (const Field& fl : fields) {
    uint32_t v = fl.size == 1 ? static_cast<uint8_t>(f[fl.off])
                              : fl.size == 2 ? Le16(f, fl.off) : Le32(f, fl.off);
    EXPECT_EQ(v, fl.value) << fl.what << " at " << fl.off;
  }
  // The first colour row in the file is the image's last row (y = 63).
  EXPECT_EQ(static_cast<uint8_t>(f[62 + 10 * 4 + 0]), 40);   // blue = x * 4
  EXPECT_EQ(static_cast<uint8_t>(f[62 + 10 * 4 + 1]), 252);  // green = 63 * 4
  EXPECT_EQ(static_cast<uint8_t>(f[62 + 10 * 4 + 2]), 128);
  EXPECT_EQ(static_cast<uint8_t>(f[62 + 10 * 4 + 3]), 255);
  EXPECT_EQ(static_cast<uint8_t>(f[62 + 3]), 0);  // transparent column
  // Mask rows: 8 bytes each; the transparent left eighth is the first byte.
  size_t mask = 62 + 16384;
  EXPECT_EQ(static_cast<uint8_t>(f[mask]), 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(f[mask + 1]), 0x00);
  EXPECT_EQ(static_cast<uint8_t>(f[mask + 8]), 0xFF);
}

TEST_F(SystemIntegrationTest, IconOfAnotherSizeIsScaledAndBadDataRefused) {
  std::string ico = MakeIco({{32, 10, 20, 30}});
  IconBitmaps icon;
  ASSERT_TRUE(LoadIconFromIco(reinterpret_cast<const uint8_t*>(ico.data()), ico.size(), 64, 64,
                              &icon));
  ASSERT_TRUE(SaveIconFile(W(m_dir + "Cloud.ico"), &icon));
  std::string f = ReadFile(m_dir + "Cloud.ico");
  ASSERT_EQ(f.size(), 16958u);
  size_t px = 62 + 40 * 4;  // an opaque pixel of the last row
  EXPECT_EQ(static_cast<uint8_t>(f[px]), 30);
  EXPECT_EQ(static_cast<uint8_t>(f[px + 1]), 20);
  EXPECT_EQ(static_cast<uint8_t>(f[px + 2]), 10);
  EXPECT_EQ(static_cast<uint8_t>(f[px + 3]), 255);

  const std::string bad[] = {"", "not an icon", ico.substr(0, 30)};
  for (const std::string& b : bad)
    EXPECT_FALSE(LoadIconFromIco(reinterpret_cast<const uint8_t*>(b.data()), b.size(), 64, 64,
                                 &icon))
        << b.size();
  EXPECT_FALSE(SaveIconFile(W(m_dir + "none.ico"), nullptr));
  EXPECT_FALSE(fs::exists(m_dir + "none.ico"));
}

TEST_F(SystemIntegrationTest, PackagedShortcutIconIsWrittenAtSixtyFour) {
  platform::ResourceBlob blob;
  bool packaged = platform::FindResource(platform::kResIcon, platform::kIdCloudIcon, &blob);
  EXPECT_EQ(WriteClientIconFile(W(m_dir + "Cloud.ico")), packaged && blob.size > 0);
  if (packaged) EXPECT_EQ(fs::file_size(m_dir + "Cloud.ico"), 16958u);
  else EXPECT_FALSE(fs::exists(m_dir + "Cloud.ico"));
}

TEST_F(SystemIntegrationTest, DesktopEntryQuotingTable) {
  struct Case {
    std::string target, exec;
  } cases[] = {
      {"/opt/Dev/tvClient.exe", "Exec=/opt/Dev/tvClient.exe\n"},
      {"/home/u/My Apps/tvClient.exe", "Exec=\"/home/u/My Apps/tvClient.exe\"\n"},
      {"/a/$x`y\"z/c", "Exec=\"/a/\\\\$x\\\\`y\\\\\"z/c\"\n"},
      {"/a/100%/c", "Exec=/a/100%%/c\n"},
  };
  for (const Case& c : cases) {
    std::string text = DesktopEntryText(L"N", W(c.target), L"/i.ico");
    EXPECT_NE(text.find(c.exec), std::string::npos) << c.target << "\n" << text;
  }
}

TEST_F(SystemIntegrationTest, ShortcutsGoToMenuAndDesktop) {
  std::string longDir = m_env.Path("apps/" + std::string(150, 'd') + "/Dev Adazu/");
  fs::create_directories(longDir);
  CUIHelp::GetInstance()->m_strInstallDir = W(longDir);
  CreateShortcuts();
  const std::string name = "Tarvolen云电脑.desktop";
  std::string menu = m_env.Path("data/applications/" + name);
  std::string desk = m_env.Home() + "/Desktop/" + name;
  for (const std::string& p : {menu, desk}) {
    ASSERT_TRUE(fs::exists(p)) << p;
    std::string text = ReadFile(p);
    EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(text.find("Name=Tarvolen云电脑\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Exec=\"" + longDir + "tvClient.exe\"\n"), std::string::npos) << text;
    // The icon path keeps the doubled separator after the folder's own one.
    EXPECT_NE(text.find("Icon=" + longDir + "/Cloud.ico\n"), std::string::npos) << text;
    EXPECT_EQ(fs::status(p).permissions() & fs::perms::all, fs::perms(0755));
  }
}

TEST_F(SystemIntegrationTest, DesktopFolderFromUserDirsOrSkipped) {
  std::string desk = m_env.Home() + "/桌面";
  fs::create_directories(desk);
  testsupport::WriteFile(m_env.Path("config/user-dirs.dirs"),
                         "# comment\nXDG_DESKTOP_DIR=\"$HOME/桌面\"\n");
  CreateShortcuts();
  EXPECT_TRUE(fs::exists(desk + "/Tarvolen云电脑.desktop"));
  EXPECT_FALSE(fs::exists(m_env.Home() + "/Desktop/Tarvolen云电脑.desktop"));

  fs::remove_all(desk);
  CreateShortcuts();
  EXPECT_FALSE(fs::exists(desk)) << "a missing desktop folder is never created";
  EXPECT_TRUE(fs::exists(m_env.Path("data/applications/Tarvolen云电脑.desktop")));
}

class RegistryEntriesTest : public SystemIntegrationTest {
 protected:
  std::wstring Value(platform::HKEY root, const wchar_t* sub, const wchar_t* name, long* rc) {
    platform::HKEY key = nullptr;
    *rc = platform::RegOpenKeyExW(root, sub, 0, platform::KEY_QUERY_VALUE, &key);
    if (*rc != platform::ERROR_SUCCESS) return L"";
    std::wstring v;
    *rc = platform::RegQueryValueExW(key, name, nullptr, &v);
    platform::RegCloseKey(key);
    return v;
  }
};

TEST_F(RegistryEntriesTest, BothTablesAreWrittenAndReadBack) {
  RegistryInputs in{L"/opt/DevAdazuZirev/", L"tvClient2.exe", L"1.0.0.10", L"", L"/tmp/installer"};
  ASSERT_TRUE(WriteRegistryEntries(in));
  struct Expect {
    platform::HKEY root;
    const wchar_t* name;
    std::wstring value;
  } table[] = {
      {platform::HKEY_CURRENT_USER, L"installDir", L"/opt/DevAdazuZirev/"},
      {platform::HKEY_CURRENT_USER, L"Start", L"tvClient2.exe"},
      {platform::HKEY_CURRENT_USER, L"Version", L"1.0.0.10"},
      {platform::HKEY_LOCAL_MACHINE, L"DisplayName", L"Tarvolen云电脑"},
      {platform::HKEY_LOCAL_MACHINE, L"InstallSource", L"/tmp/installer"},
      {platform::HKEY_LOCAL_MACHINE, L"DisplayVersion", L"1.0.0.10"},
      {platform::HKEY_LOCAL_MACHINE, L"InstallLocation", L"/opt/DevAdazuZirev/tvClient.exe"},
      {platform::HKEY_LOCAL_MACHINE, L"ModifyPath", L"/opt/DevAdazuZirev/Uninstaller.exe"},
      {platform::HKEY_LOCAL_MACHINE, L"UninstallString", L"/opt/DevAdazuZirev/Uninstaller.exe"},
      {platform::HKEY_LOCAL_MACHINE, L"DisplayIcon", L"/opt/DevAdazuZirev/Uninstaller.exe"},
      {platform::HKEY_LOCAL_MACHINE, L"Publisher", L"tarvolen cloud"},
  };
  for (const Expect& e : table) {
    long rc;
    const wchar_t* key = e.root == platform::HKEY_CURRENT_USER ? kProductKey : kUninstallKey;
    EXPECT_EQ(Value(e.root, key, e.name, &rc), e.value) << platform::WideToUtf8(e.name);
    EXPECT_EQ(rc, platform::ERROR_SUCCESS);
  }
  in.displayName = L"云电脑 Pro";
  in.installDir = L"/srv/no-slash";  // joined with one separator
  ASSERT_TRUE(WriteRegistryEntries(in));
  long rc;
  EXPECT_EQ(Value(platform::HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName", &rc), L"云电脑 Pro");
  EXPECT_EQ(Value(platform::HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString", &rc),
            L"/srv/no-slash/Uninstaller.exe");
}

TEST_F(RegistryEntriesTest, FailedStartLeavesTheRestUnwritten) {
  RegistryInputs in{L"/opt/D/", std::wstring(platform::kMaxRegValueBytes + 1, L'x'), L"2.0", L"",
                    L"/i"};
  EXPECT_FALSE(WriteRegistryEntries(in));
  long rc;
  EXPECT_EQ(Value(platform::HKEY_CURRENT_USER, kProductKey, L"installDir", &rc), L"/opt/D/");
  Value(platform::HKEY_CURRENT_USER, kProductKey, L"Version", &rc);
  EXPECT_EQ(rc, platform::ERROR_FILE_NOT_FOUND);
  Value(platform::HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName", &rc);
  EXPECT_EQ(rc, platform::ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryEntriesTest, UnavailableProductKeyStillWritesTheUninstallEntry) {
  testsupport::WriteFile(m_env.Path("config/Tarvolen"), "a file where the store belongs");
  RegistryInputs in{L"/opt/D/", L"tvClient.exe", L"2.0", L"", L"/i"};
  EXPECT_TRUE(WriteRegistryEntries(in));
  long rc;
  EXPECT_EQ(Value(platform::HKEY_LOCAL_MACHINE, kUninstallKey, L"Publisher", &rc),
            L"tarvolen cloud");
}

}  // namespace
