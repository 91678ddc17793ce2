// Running client processes that do not go quietly: one that ignores SIGTERM
// (SIGKILL ends it anyway) and one the installer has no right to end (it runs
// as root while the installer runs as another user).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "FaultHarness.h"
#include "install/InstallPipeline.h"

namespace faults {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

class ProcessFaults : public FaultsTest {
 protected:
  void TearDown() override {
    for (pid_t p : m_clients) {
      ::kill(p, SIGKILL);
      ::waitpid(p, nullptr, 0);
    }
    FaultsTest::TearDown();
  }

  // A long sleep under the given program name, optionally deaf to SIGTERM.
  pid_t StartClient(const std::string& name, bool ignoreTerm) {
    const std::string path = m_env.Path("running/" + name);
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file("/bin/sleep", path, fs::copy_options::overwrite_existing);
    pid_t pid = ::fork();
    if (pid == 0) {
      if (ignoreTerm) ::signal(SIGTERM, SIG_IGN);
      ::execl(path.c_str(), name.c_str(), "120", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    m_clients.push_back(pid);
    // Running once its program file is the one on record for the process.
    for (int i = 0; i < 200; ++i) {
      std::error_code ec;
      if (fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec).filename() == name) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pid;
  }

  bool Alive(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }

  std::vector<pid_t> m_clients;
};

TEST_F(ProcessFaults, ClientIgnoringSigtermIsStillEnded) {
  pid_t client = StartClient("tvClient.exe", true);
  ::kill(client, SIGTERM);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(Alive(client)) << "the stand-in client does not ignore SIGTERM";
  auto run = RunToEnd();
  EXPECT_TRUE(run->Completed()) << ::testing::PrintToString(run->Calls());
  int status = 0;
  ASSERT_EQ(::waitpid(client, &status, 0), client);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  ExpectInstalled("1.0.0.1");
}

struct StuckCase {
  const char* name;
  const char* program;
  const wchar_t* error;
};
void PrintTo(const StuckCase& c, std::ostream* os) { *os << c.name; }

class StuckProcess : public ProcessFaults, public ::testing::WithParamInterface<StuckCase> {};

TEST_P(StuckProcess, InstallStopsBeforeTouchingFiles) {
  const StuckCase& c = GetParam();
  // The run drops to an unprivileged user: it must own its folders.
  std::error_code ec;
  fs::permissions(m_env.Root(), fs::perms(0755), ec);
  for (const auto& e : fs::recursive_directory_iterator(m_env.Root()))
    if (::lchown(e.path().c_str(), kNobody, kNobody) != 0) break;
  if (::lchown(m_env.Root().c_str(), kNobody, kNobody) != 0)
    GTEST_SKIP() << "cannot hand the scratch folder to uid " << kNobody;
  pid_t client = StartClient(c.program, false);
  Mark();
  RunOptions asNobody;
  asNobody.uid = kNobody;
  auto run = RunToEnd(asNobody);
  EXPECT_EQ(run->Error(), Utf8(c.error)) << ::testing::PrintToString(run->Calls());
  EXPECT_FALSE(Contains(run->Calls(), "note:" + Utf8(kNoteExtracting)));
  EXPECT_EQ(NewEvents(3), (std::vector<int>{9, 1, 2})) << "no event for a stop failure";
  EXPECT_TRUE(Alive(client));
  EXPECT_FALSE(fs::exists(Dir() + "tvClient.exe")) << "files replaced under a running client";
  EXPECT_TRUE(fs::exists(Dir() + "tmpClient"));
  EXPECT_EQ(Product(L"Version"), L"<no key>");
  EXPECT_EQ(WrittenElsewhere(), std::vector<std::string>());

  // The user closes the client and runs the installer again.
  ::kill(client, SIGKILL);
  ::waitpid(client, nullptr, 0);
  m_clients.clear();
  auto again = RunToEnd();
  EXPECT_TRUE(again->Completed()) << ::testing::PrintToString(again->Calls());
  ExpectInstalled("1.0.0.1");
}

INSTANTIATE_TEST_SUITE_P(
    Names, StuckProcess,
    ::testing::Values(StuckCase{"Client", "tvClient.exe", kErrStopClient},
                      StuckCase{"Browser", "QtWebEngineProcess.exe", kErrStopBrowser}),
    [](const ::testing::TestParamInfo<StuckCase>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace faults
