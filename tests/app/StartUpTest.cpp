// The start-up stage in a scratch HOME: packaged files, repair flag, second
// instance (in a forked process), and a planted temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/InstallerIni.h"
#include "app/LinkCipher.h"
#include "app/Log.h"
#include "app/StartUp.h"
#include "platform/ModulePath.h"
#include "platform/Resources.h"
#include "platform/SingleInstance.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

namespace {

namespace fs = std::filesystem;

struct Packaged {
  const char* type;
  int id;
  const char* name;
};
const Packaged kPackaged[] = {{"DATA", 104, "cacert.pem"}, {"DATA", 152, "NetLink.dat"}, {"DATA", 105, "dat.ini"},
                              {"PNG", 108, "lefttitle.png"}, {"PNG", 111, "oem.png"}};

struct ChildResult {
  bool finished = false;
  int exitCode = -100;
  std::string err;
};

// Runs `body` in a forked child with stderr captured; the child's return is its exit code.
template <typename F>
ChildResult RunInChild(F body) {
  int pipeFds[2];
  EXPECT_EQ(pipe(pipeFds), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(pipeFds[0]);
    dup2(pipeFds[1], 2);
    int code = body();
    fflush(stderr);
    _exit(code);
  }
  close(pipeFds[1]);
  ChildResult r;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  char buf[256];
  for (;;) {
    pollfd p{pipeFds[0], POLLIN, 0};
    if (poll(&p, 1, 100) > 0) {
      ssize_t n = read(pipeFds[0], buf, sizeof buf);
      if (n <= 0) break;
      r.err.append(buf, static_cast<size_t>(n));
    }
    if (std::chrono::steady_clock::now() > deadline) break;
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "child did not finish in time";
      return r;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  r.finished = WIFEXITED(status);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class StartUpTest : public ::testing::Test {
 protected:
  void SetUp() override { CLogger::Instance().SetOutputs(2); }
  void TearDown() override {
    ReleaseStartUpLockForTest();
    platform::SetModuleFileNameForTest("");
    CLogger::Instance().ResetForTest();
  }
  testsupport::ScratchEnv env;
};

TEST_F(StartUpTest, WritesPackagedFilesAndLoadsConfiguration) {
  const StartUpResult r = StartUp(nullptr, "");
  ASSERT_TRUE(r.goOn);
  EXPECT_FALSE(r.repair);
  const std::string temp = platform::TempFolderA();
  for (const Packaged& p : kPackaged) {
    platform::ResourceBlob blob;
    if (platform::FindResource(p.type, p.id, &blob)) {
      EXPECT_EQ(testsupport::ReadFile(temp + p.name), std::string(reinterpret_cast<const char*>(blob.data), blob.size))
          << p.name;
    } else {
      EXPECT_FALSE(fs::exists(temp + p.name)) << p.name;
    }
  }
  // The shipped dat.ini leaves every value at its default; NetLink.dat decrypts to the demo link.
  CInstallerIni* ini = CInstallerIni::GetInstance();
  EXPECT_EQ(ini->DatIniPath(), platform::Utf8ToWide(temp + "dat.ini"));
  EXPECT_EQ(ini->GetValue(DatIni, InstallerAttribute, L"Tarvolen云电脑安装程序"), L"Tarvolen云电脑安装程序");
  EXPECT_EQ(ini->GetValue(DatIni, InstallerShortcut, L"Tarvolen云电脑"), L"Tarvolen云电脑");
  EXPECT_EQ(ini->GetValue(DatIni, InstallerPath, L""), L"");
  EXPECT_EQ(ini->GetValue(DatIni, InstallType, L"x"), L"0");
  EXPECT_EQ(ini->GetValue(NetLinkIni, Channel, L""), L"demo-channel");
  EXPECT_EQ(ini->GetValue(NetLinkIni, EpCode, L""), L"DEMO-EP-001");
  // Neither file index nor key index outside the tables reads anything.
  EXPECT_EQ(ini->GetValue(2, Channel, L"d"), L"d");
  EXPECT_EQ(ini->GetValue(NetLinkIni, 9, L"d"), L"d");
  EXPECT_EQ(ini->GetValue(NetLinkIni, -1, L"d"), L"d");
}

TEST_F(StartUpTest, RepairReadsFilesBesideTheExecutable) {
  const std::string bin = env.Path("bin");
  fs::create_directories(bin);
  platform::SetModuleFileNameForTest(bin + "/installer");
  testsupport::WriteFile(bin + "/dat.ini", "[Installer]\nInstallerPath=FromBeside\n");
  testsupport::WriteFile(env.Path("link.ini"), "[Public]\nchannel=beside-channel\n");
  ASSERT_EQ(EncryptLinkFile(env.Path("link.ini").c_str(), kLinkKey, (bin + "/NetLink.dat").c_str()), kDecryptOk);

  const struct {
    const char* commandLine;
    bool repair;
    const wchar_t* path;
    const wchar_t* channel;
  } cases[] = {
      {"repair", true, L"FromBeside", L"beside-channel"},
      {"Repair", false, L"", L"demo-channel"},  // compared exactly
      {"repair ", false, L"", L"demo-channel"},
  };
  for (const auto& c : cases) {
    const StartUpResult r = StartUp(nullptr, c.commandLine);
    ReleaseStartUpLockForTest();
    ASSERT_TRUE(r.goOn) << c.commandLine;
    EXPECT_EQ(r.repair, c.repair) << c.commandLine;
    CInstallerIni* ini = CInstallerIni::GetInstance();
    EXPECT_EQ(ini->GetValue(DatIni, InstallerPath, L""), c.path) << c.commandLine;
    EXPECT_EQ(ini->GetValue(NetLinkIni, Channel, L""), c.channel) << c.commandLine;
    // NetLink.ini always goes to the temporary folder.
    EXPECT_EQ(ini->NetLinkIniPath(), platform::TempFolder() + L"NetLink.ini") << c.commandLine;
  }

  // Repair without files beside the executable: the temporary copies.
  fs::remove(bin + "/dat.ini");
  fs::remove(bin + "/NetLink.dat");
  ASSERT_TRUE(StartUp(nullptr, "repair").goOn);
  EXPECT_EQ(CInstallerIni::GetInstance()->DatIniPath(), platform::TempFolder() + L"dat.ini");
  EXPECT_EQ(CInstallerIni::GetInstance()->GetValue(NetLinkIni, Channel, L""), L"demo-channel");
}

TEST_F(StartUpTest, DamagedLinkFileGivesEmptyChannel) {
  // A NetLink.dat of a bad length beside the executable is rejected: no NetLink.ini appears.
  const std::string bin = env.Path("bin");
  platform::SetModuleFileNameForTest(bin + "/installer");
  testsupport::WriteFile(bin + "/NetLink.dat", "12345");
  ASSERT_TRUE(StartUp(nullptr, "repair").goOn);
  EXPECT_FALSE(fs::exists(platform::TempFolderA() + "NetLink.ini"));
  EXPECT_EQ(CInstallerIni::GetInstance()->GetValue(NetLinkIni, Channel, L""), L"");
}

TEST_F(StartUpTest, SecondInstanceShowsTheBoxAndTouchesNothing) {
  platform::SingleInstanceLock first("5B2E7C1A-94D3-4F6E-A8B0-3C7D2E91F4A6");
  ASSERT_FALSE(first.AlreadyExists());
  const std::string temp = platform::TempFolderA();
  const auto before = Listing(temp);

  const ChildResult child = RunInChild([] {
    const StartUpResult r = StartUp(nullptr, "repair");
    return r.goOn ? 99 : r.exitCode;
  });
  ASSERT_TRUE(child.finished);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.err, "错误提示: 安装程序只能运行一个\n");
  EXPECT_EQ(Listing(temp), before);  // no log, no packaged files

  // Once the first instance is gone, a new one starts.
  first.Release();
  const ChildResult next = RunInChild([] { return StartUp(nullptr, "").goOn ? 0 : 1; });
  EXPECT_EQ(next.exitCode, 0);
  EXPECT_EQ(next.err, "");
}

TEST_F(StartUpTest, LockIsNotInheritedByStartedPrograms) {
  ASSERT_TRUE(StartUp(nullptr, "").goOn);
  int lockFds = 0;
  for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const std::string target = fs::read_symlink(e.path(), ec).string();
    if (ec || target.find("5B2E7C1A-94D3-4F6E-A8B0-3C7D2E91F4A6") == std::string::npos) continue;
    ++lockFds;
    const int fd = std::stoi(e.path().filename().string());
    EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC) << target;
  }
  EXPECT_EQ(lockFds, 1);
}

TEST_F(StartUpTest, PlantedSymlinkAtTheTemporaryFolderIsNotFollowed) {
  const std::string attacker = env.Path("attacker");
  fs::create_directories(attacker);
  fs::create_directory_symlink(attacker, env.Path("runtime/RoruvAZ"));
  ASSERT_TRUE(StartUp(nullptr, "").goOn);
  LogWrite(Info, L"StartUpTest", __LINE__, L"StartUpTest::Planted", L"a line");
  EXPECT_TRUE(fs::is_empty(attacker));
  const std::string temp = platform::TempFolderA();
  EXPECT_NE(temp, env.Path("runtime/RoruvAZ/"));
  EXPECT_TRUE(fs::exists(temp + "dat.ini"));
  EXPECT_FALSE(fs::is_symlink(temp.substr(0, temp.size() - 1)));
}

}  // namespace
