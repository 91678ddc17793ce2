// The end-to-end fixture: X server, demo service, packed installer, xdotool
// input and read-back of results.
#include "support/E2eHarness.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Registry.h"
#include "platform/Text.h"

extern char** environ;

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char kPageTitle[] = "Tarvolen云电脑安装程序";
const char kShortcutName[] = "Tarvolen云电脑";
const wchar_t kProductKey[] = L"Software\\Tarvolen\\RoruvAZ";
const wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{D4A19E37-6B25-48C1-9F0E-72A3B5C8E610}";
// Held by every test that starts or stops the client processes by name, so
// parallel test processes never stop each other's clients.
const char kProcessLock[] = "/tmp/installer-process-tests.lock";

std::string BinaryDir() {
  const char* dir = std::getenv("INSTALLER_BINARY_DIR");
  return dir && *dir ? dir : INSTALLER_BINARY_DIR;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

long long Ms(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

long long MsLeft(Clock::time_point deadline) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
}

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) out.push_back(line);
  }
  return out;
}

// argv and envp arrays for exec, built before fork.
struct ExecArgs {
  std::vector<std::string> store;
  std::vector<char*> argv, envp;
  ExecArgs(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    store = args;
    store.insert(store.end(), env.begin(), env.end());
    for (size_t i = 0; i < args.size(); ++i) argv.push_back(store[i].data());
    argv.push_back(nullptr);
    for (size_t i = args.size(); i < store.size(); ++i) envp.push_back(store[i].data());
    envp.push_back(nullptr);
  }
};

// environ with `overrides` ("NAME=value") replacing variables of the same name.
std::vector<std::string> MergedEnv(const std::vector<std::string>& overrides) {
  std::vector<std::string> out;
  for (char** e = environ; *e; ++e) {
    std::string var = *e;
    const std::string name = var.substr(0, var.find('='));
    bool replaced = false;
    for (const std::string& o : overrides) replaced = replaced || o.compare(0, name.size() + 1, name + "=") == 0;
    if (!replaced) out.push_back(var);
  }
  out.insert(out.end(), overrides.begin(), overrides.end());
  return out;
}

// exit code of a wait status: 128 + signal for a killed process.
int ExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

bool WaitChild(pid_t pid, int timeoutMs, int* status) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pid_t r = waitpid(pid, status, WNOHANG);
    if (r == pid) return true;
    if (r < 0 && errno != EINTR) return false;
    if (MsLeft(deadline) <= 0) return false;
    Sleep(10);
  }
}

void KillAndReap(pid_t pid, int termMs) {
  if (pid <= 0) return;
  int status;
  if (waitpid(pid, &status, WNOHANG) == pid) return;
  kill(pid, SIGTERM);
  if (WaitChild(pid, termMs, &status)) return;
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
}

char ProcessState(pid_t pid) {
  const std::string stat = Slurp("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return 0;
  return stat[close + 2];
}

std::string ExeOf(pid_t pid) {
  char buf[4096];
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return "";
  std::string exe(buf, static_cast<size_t>(n));
  const std::string deleted = " (deleted)";
  if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0)
    exe.resize(exe.size() - deleted.size());
  return exe;
}

std::vector<pid_t> AllPids() {
  std::vector<pid_t> out;
  DIR* d = opendir("/proc");
  if (!d) return out;
  while (dirent* e = readdir(d)) {
    char* end = nullptr;
    long v = std::strtol(e->d_name, &end, 10);
    if (end && *end == '\0' && v > 0) out.push_back(static_cast<pid_t>(v));
  }
  closedir(d);
  return out;
}

std::string RegValue(platform::HKEY root, const wchar_t* key, const std::string& name, bool* found) {
  if (found) *found = false;
  platform::HKEY k = nullptr;
  if (platform::RegOpenKeyExW(root, key, 0, platform::KEY_QUERY_VALUE, &k) != platform::ERROR_SUCCESS) return "";
  std::wstring data;
  const std::wstring wname = platform::Utf8ToWide(name);
  const long r = platform::RegQueryValueExW(k, wname.c_str(), nullptr, &data);
  platform::RegCloseKey(k);
  if (r != platform::ERROR_SUCCESS) return "";
  if (found) *found = true;
  return platform::WideToUtf8(data);
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         int timeoutMs) {
  CommandResult result;
  if (argv.empty()) return result;
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return result;
  ExecArgs a(argv, MergedEnv(env));
  pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(out[1], STDOUT_FILENO);
    int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, STDERR_FILENO);
      dup2(devnull, STDIN_FILENO);
    }
    execvpe(a.argv[0], a.argv.data(), a.envp.data());
    _exit(127);
  }
  close(out[1]);
  if (pid < 0) {
    close(out[0]);
    return result;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  bool eof = false;
  while (!eof) {
    const long long left = MsLeft(deadline);
    if (left <= 0) {
      result.timedOut = true;
      break;
    }
    pollfd p{out[0], POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
    if (r < 0 && errno != EINTR) break;
    if (r > 0) {
      char buf[4096];
      ssize_t n = read(out[0], buf, sizeof buf);
      if (n <= 0) {
        eof = true;
      } else {
        result.out.append(buf, static_cast<size_t>(n));
      }
    }
  }
  close(out[0]);
  int status = 0;
  if (result.timedOut || !WaitChild(pid, static_cast<int>(std::max<long long>(MsLeft(deadline), 0)), &status)) {
    result.timedOut = true;
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return result;
  }
  result.code = ExitCode(status);
  return result;
}

E2eHarness::E2eHarness() = default;

E2eHarness::~E2eHarness() {
  if (!m_artefacts.empty()) Note("teardown");
  if (m_pid > 0) {
    Screenshot("teardown");
    kill(m_pid, SIGKILL);
    int status;
    waitpid(m_pid, &status, 0);
  }
  for (pid_t p : m_others) KillAndReap(p, 0);
  if (m_env) {
    KillScratchProcesses();
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(TempFolder(), ec)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("Installer", 0) == 0 && e.path().extension() == ".log")
        fs::copy_file(e.path(), m_artefacts + "/" + name, fs::copy_options::overwrite_existing, ec);
    }
  }
  if (!m_artefacts.empty()) Note("processes ended");
  m_service.reset();
  if (!m_artefacts.empty()) Note("service stopped");
  KillAndReap(m_wm, 2000);
  KillAndReap(m_xvfb, 3000);
  if (!m_artefacts.empty()) Note("X server stopped");
  m_env.reset();
  if (m_scopeSet && m_hadScope) {
    setenv("INSTALLER_USER_SCOPE", m_savedScope.c_str(), 1);
  } else if (m_scopeSet) {
    unsetenv("INSTALLER_USER_SCOPE");
  }
  if (m_lockFd >= 0) close(m_lockFd);
}

void E2eHarness::Note(const std::string& text) {
  static const Clock::time_point start = Clock::now();
  std::ofstream f(m_artefacts + "/harness.log", std::ios::app);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%8.3f ",
                std::chrono::duration<double>(Clock::now() - start).count());
  f << stamp << text << "\n";
}

bool E2eHarness::Start(const HarnessOptions& options) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string test = info ? std::string(info->test_suite_name()) + "." + info->name() : "unnamed";
  m_artefacts = BinaryDir() + "/artefacts/e2e/" + test;
  std::error_code ec;
  fs::remove_all(m_artefacts, ec);
  fs::create_directories(m_artefacts, ec);

  const auto lockStart = Clock::now();
  m_lockFd = open(kProcessLock, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (m_lockFd >= 0) flock(m_lockFd, LOCK_EX);
  Note("waited " + std::to_string(Ms(Clock::now() - lockStart)) + " ms for " + kProcessLock);

  // This process reads the settings store the installer writes; keep both on
  // the scratch HOME's per-user files even when running as root.
  if (const char* scope = std::getenv("INSTALLER_USER_SCOPE")) m_savedScope = scope;
  m_hadScope = std::getenv("INSTALLER_USER_SCOPE") != nullptr;
  setenv("INSTALLER_USER_SCOPE", "1", 1);
  m_scopeSet = true;
  try {
    m_env = std::make_unique<testsupport::ScratchEnv>();
  } catch (const std::exception& e) {
    m_error = std::string("scratch folder: ") + e.what();
    return false;
  }

  // A stand-in for the desktop's URL opener: no browser can run on the test
  // X server, so the call is only recorded.
  m_fakeBin = m_env->Path("fakebin");
  testsupport::WriteFile(m_fakeBin + "/xdg-open",
                         "#!/bin/sh\n"
                         "# Stand-in for xdg-open in the end-to-end tests: records its argument.\n"
                         "printf '%s\\n' \"$1\" >> '" +
                             m_env->Path("xdg-open.calls") + "'\n");
  chmod((m_fakeBin + "/xdg-open").c_str(), 0755);

  // INSTALLER_E2E_WM=1 runs every test under openbox as well.
  const char* wm = std::getenv("INSTALLER_E2E_WM");
  if (!StartX(options.windowManager || (wm && *wm && *wm != '0'))) return false;

  m_service = std::make_unique<testsupport::DevService>(m_env->Path("service"));
  testsupport::DevServiceConfig config;
  if (options.packages) {
    config.package = BinaryDir() + "/tools/democlient/pkg/1.0.0";
    config.packageV2 = BinaryDir() + "/tools/democlient/pkg/2.1.0";
    if (!fs::is_directory(config.package) || !fs::is_directory(config.packageV2)) {
      m_error = "demo client packages missing under " + BinaryDir() + " (build democlient_packages)";
      return false;
    }
  }
  config.scenario = options.scenario;
  if (!m_service->Start(config)) {
    m_error = "demo service: " + m_service->Error();
    return false;
  }
  return PackInstaller();
}

bool E2eHarness::StartX(bool windowManager) {
  int fds[2];
  if (pipe(fds) != 0) {
    m_error = "pipe failed";
    return false;
  }
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  const std::string log = m_artefacts + "/xvfb.log";
  pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (fds[1] != 3) {
      dup2(fds[1], 3);
      close(fds[1]);
    }
    int lf = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (lf >= 0) {
      dup2(lf, STDOUT_FILENO);
      dup2(lf, STDERR_FILENO);
    }
    execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp",
          "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    m_error = "fork failed";
    return false;
  }
  m_xvfb = pid;
  std::string line;
  const auto deadline = Clock::now() + std::chrono::seconds(15);
  while (line.find('\n') == std::string::npos && MsLeft(deadline) > 0) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 100) > 0) {
      char buf[64];
      ssize_t n = read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      line.append(buf, static_cast<size_t>(n));
    }
  }
  close(fds[0]);
  if (line.find('\n') == std::string::npos) {
    m_error = "Xvfb did not report its display: " + Slurp(log);
    return false;
  }
  m_display = ":" + line.substr(0, line.find('\n'));
  Note("display " + m_display);

  if (!windowManager) return true;
  m_wm = Spawn({"/usr/bin/openbox", "--sm-disable"}, "openbox");
  if (m_wm <= 0) {
    m_error = "cannot start openbox";
    return false;
  }
  const auto wmDeadline = Clock::now() + std::chrono::seconds(10);
  while (MsLeft(wmDeadline) > 0) {
    CommandResult r = RunCommand({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, ChildEnv(), 3000);
    if (r.code == 0 && r.out.find("window id") != std::string::npos) return true;
    Sleep(50);
  }
  m_error = "openbox did not come up";
  return false;
}

std::vector<std::string> E2eHarness::ChildEnv() const {
  const char* path = std::getenv("PATH");
  return {"DISPLAY=" + m_display, "PATH=" + m_fakeBin + ":" + (path ? path : "/usr/bin:/bin"),
          // Keeps a root run on the scratch HOME's settings, menu and program folders.
          "INSTALLER_USER_SCOPE=1"};
}

pid_t E2eHarness::Spawn(const std::vector<std::string>& argv, const std::string& outName) {
  ExecArgs a(argv, MergedEnv(ChildEnv()));
  const std::string outPath = m_artefacts + "/" + outName + ".out";
  const std::string errPath = m_artefacts + "/" + outName + ".err";
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, STDIN_FILENO);
    int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (o >= 0) dup2(o, STDOUT_FILENO);
    if (e >= 0) dup2(e, STDERR_FILENO);
    execve(a.argv[0], a.argv.data(), a.envp.data());
    _exit(127);
  }
  return pid;
}

bool E2eHarness::PackInstaller() {
  const std::string built = BinaryDir() + "/installer";
  const std::string pack = BinaryDir() + "/tools/pack/pack";
  if (access(built.c_str(), X_OK) != 0) {
    m_error = "installer not built: " + built;
    return false;
  }
  if (access(pack.c_str(), X_OK) != 0) {
    m_error = "pack tool not built: " + pack;
    return false;
  }
  const std::string deploy = m_env->Path("deploy.ini");
  testsupport::WriteFile(deploy, "[Deployment]\nApiHost=127.0.0.1\nReportHost=127.0.0.1\nDownloadHost=127.0.0.1\n"
                                 "HttpsPort=" + std::to_string(m_service->HttpsPort()) +
                                     "\nHttpPort=" + std::to_string(m_service->HttpPort()) + "\n");
  m_installer = m_env->Path("bin/installer");
  std::error_code ec;
  fs::create_directories(m_env->Path("bin"), ec);
  CommandResult r = RunCommand({pack, built, m_installer, "--deploy-ini", deploy, "--cacert", m_service->CaPath()},
                               {}, 60000);
  if (r.code != 0 || access(m_installer.c_str(), X_OK) != 0) {
    m_error = "pack failed (code " + std::to_string(r.code) + ")";
    return false;
  }
  return true;
}

// --- process ---------------------------------------------------------------

bool E2eHarness::Launch(const std::vector<std::string>& args) {
  if (m_pid > 0) {
    ADD_FAILURE() << "an installer is still running";
    return false;
  }
  std::vector<std::string> argv = {m_installer};
  argv.insert(argv.end(), args.begin(), args.end());
  m_seen.clear();
  m_seenPages.clear();
  m_handed.clear();
  m_pid = Spawn(argv, "installer-" + std::to_string(++m_runs));
  std::string line = "run " + std::to_string(m_runs) + ":";
  for (const auto& a : args) line += " " + a;
  Note(line + " pid " + std::to_string(m_pid));
  return m_pid > 0;
}

pid_t E2eHarness::LaunchOther(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {m_installer};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_t pid = Spawn(argv, "installer-other-" + std::to_string(m_others.size() + 1));
  if (pid > 0) m_others.push_back(pid);
  return pid;
}

bool E2eHarness::WaitExitOf(pid_t pid, int timeoutMs, int* code) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      if (code) *code = ExitCode(status);
      if (pid == m_pid) m_pid = -1;
      m_others.erase(std::remove(m_others.begin(), m_others.end(), pid), m_others.end());
      Note("pid " + std::to_string(pid) + " exit " + std::to_string(ExitCode(status)));
      return true;
    }
    if (r < 0 && errno != EINTR) return false;
    if (MsLeft(deadline) <= 0) return false;
    if (pid == m_pid) Track();
    Sleep(pid == m_pid ? 50 : 10);
  }
}

bool E2eHarness::WaitExit(int timeoutMs, int* code) {
  if (m_pid <= 0) return false;
  return WaitExitOf(m_pid, timeoutMs, code);
}

bool E2eHarness::Running() {
  if (m_pid <= 0) return false;
  int status;
  if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
    Note("pid " + std::to_string(m_pid) + " exit " + std::to_string(ExitCode(status)));
    m_pid = -1;
    return false;
  }
  return true;
}

// --- windows ---------------------------------------------------------------

std::string E2eHarness::PageTitle() { return kPageTitle; }

std::vector<Window> E2eHarness::Windows(pid_t pid) {
  if (pid == 0) pid = m_pid;
  std::vector<Window> out;
  if (pid <= 0) return out;
  const std::vector<std::string> env = ChildEnv();
  CommandResult r = RunCommand({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)}, env, 5000);
  for (const std::string& id : Lines(r.out)) {
    Window w;
    w.id = id;
    CommandResult name = RunCommand({"xdotool", "getwindowname", id}, env, 5000);
    if (name.code != 0) continue;
    w.name = name.out.substr(0, name.out.find('\n'));
    CommandResult geo = RunCommand({"xdotool", "getwindowgeometry", "--shell", id}, env, 5000);
    if (geo.code != 0) continue;
    for (const std::string& line : Lines(geo.out)) {
      const size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = line.substr(0, eq);
      const int v = std::atoi(line.c_str() + eq + 1);
      if (key == "X") w.x = v;
      if (key == "Y") w.y = v;
      if (key == "WIDTH") w.width = v;
      if (key == "HEIGHT") w.height = v;
    }
    out.push_back(w);
  }
  if (pid == m_pid) {
    for (const Window& w : out) {
      m_seen.insert(w.id);
      if (w.name == kPageTitle) m_seenPages.insert(w.id);
    }
  }
  return out;
}

void E2eHarness::Track() { Windows(m_pid); }

Window E2eHarness::WaitWindow(const std::string& name, int timeoutMs, const std::set<std::string>& except,
                              pid_t pid) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    for (const Window& w : Windows(pid)) {
      if ((name.empty() ? !w.name.empty() : w.name == name) && except.count(w.id) == 0 && w.width > 1) {
        if (pid == 0 || pid == m_pid) m_handed.insert(w.id);
        return w;
      }
    }
    Sleep(50);
  } while (MsLeft(deadline) > 0);
  Note("no window '" + name + "' within " + std::to_string(timeoutMs) + " ms");
  return Window();
}

Window E2eHarness::WaitNewPage(int timeoutMs) { return WaitWindow(kPageTitle, timeoutMs, m_handed); }

bool E2eHarness::Exists(const Window& w) {
  for (const Window& v : Windows(0))
    if (v.id == w.id) return true;
  return false;
}

bool E2eHarness::WaitGone(const Window& w, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    if (!Exists(w)) return true;
    Sleep(50);
  } while (MsLeft(deadline) > 0);
  return false;
}

Window E2eHarness::Refresh(const Window& w) {
  for (const Window& v : Windows(0))
    if (v.id == w.id) return v;
  return Window();
}

// --- input -----------------------------------------------------------------

bool E2eHarness::MoveTo(const Window& w, int x, int y) {
  CommandResult r = RunCommand({"xdotool", "mousemove", "--window", w.id, std::to_string(x), std::to_string(y)},
                               ChildEnv(), 5000);
  return r.code == 0;
}

bool E2eHarness::Click(const Window& w, int x, int y) {
  // Move first and let the page see the pointer arrive (hover), then press.
  CommandResult r = RunCommand({"xdotool", "mousemove", "--window", w.id, std::to_string(x), std::to_string(y),
                                "sleep", "0.15", "click", "1"},
                               ChildEnv(), 5000);
  Note("click " + w.id + " at " + std::to_string(x) + "," + std::to_string(y));
  return r.code == 0;
}

bool E2eHarness::Key(const Window& w, const std::string& keys, bool focus) {
  // Real key events go to the focused window; focus it first (activate it
  // through the window manager when one runs) unless a child of it, like the
  // path editor, holds the focus.
  std::vector<std::string> argv = {"xdotool"};
  if (focus) argv.insert(argv.end(), {m_wm > 0 ? "windowactivate" : "windowfocus", w.id, "sleep", "0.1"});
  argv.insert(argv.end(), {"key", "--delay", "60"});
  std::istringstream words(keys);
  for (std::string k; words >> k;) argv.push_back(k);
  CommandResult r = RunCommand(argv, ChildEnv(), 5000);
  Note("key " + keys + " to " + w.id);
  return r.code == 0;
}

bool E2eHarness::Type(const std::string& text) {
  CommandResult r = RunCommand({"xdotool", "type", "--delay", "15", text}, ChildEnv(), 20000);
  Note("type " + text);
  return r.code == 0;
}

bool E2eHarness::AnswerBox(const Window& box, bool ok, bool withCancel) {
  // The drawn box puts 88 x 28 buttons 12 px above its bottom edge, 16 px from
  // the right one; OK sits 10 px left of Cancel when Cancel is offered.
  const int y = box.height - 12 - 14;
  const int rightX = box.width - 16 - 44;
  const int okX = withCancel ? rightX - 88 - 10 : rightX;
  return Click(box, ok ? okX : rightX, y);
}

std::string E2eHarness::Screenshot(const std::string& name) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%02d-", ++m_shots);
  const std::string path = m_artefacts + "/" + prefix + name + ".png";
  RunCommand({"/usr/bin/import", "-window", "root", path}, ChildEnv(), 20000);
  return path;
}

std::string E2eHarness::Capture(const Window& w) {
  const std::string geometry = std::to_string(w.width) + "x" + std::to_string(w.height) + "+" +
                               std::to_string(w.x) + "+" + std::to_string(w.y);
  CommandResult r =
      RunCommand({"/usr/bin/import", "-window", "root", "-crop", geometry, "-depth", "8", "rgb:-"},
                 ChildEnv(), 20000);
  return r.out;
}

long E2eHarness::Pixel(int x, int y) {
  CommandResult r = RunCommand({"/usr/bin/import", "-window", "root", "-crop",
                                "1x1+" + std::to_string(x) + "+" + std::to_string(y), "txt:-"},
                               ChildEnv(), 20000);
  const size_t hash = r.out.find('#', r.out.find('\n'));
  if (r.code != 0 || hash == std::string::npos || hash + 7 > r.out.size()) return -1;
  return std::strtol(r.out.substr(hash + 1, 6).c_str(), nullptr, 16);
}

// --- results ---------------------------------------------------------------

std::string E2eHarness::ProposedInstallDir() const { return m_env->Home() + "/.local/opt/devadazuzirev/"; }

std::string E2eHarness::TempFolder() const { return m_env->Path("runtime") + "/RoruvAZ/"; }

std::vector<int> E2eHarness::ReportEvents(size_t from) const {
  std::vector<int> out;
  std::vector<Json::Value> reports = m_service->Reports();
  for (size_t i = from; i < reports.size(); ++i)
    out.push_back(reports[i]["event"].isInt() ? reports[i]["event"].asInt() : -1);
  return out;
}

bool E2eHarness::ReportsValid(size_t from) const {
  std::vector<Json::Value> reports = m_service->Reports();
  for (size_t i = from; i < reports.size(); ++i)
    if (!reports[i]["valid"].asBool()) return false;
  return true;
}

size_t E2eHarness::ReportCount() const { return m_service->Reports().size(); }

size_t E2eHarness::DownloadRequests() const {
  size_t n = 0;
  for (const Json::Value& r : m_service->Requests())
    if (r["path"].asString().rfind("/download/", 0) == 0) ++n;
  return n;
}

std::vector<std::string> E2eHarness::XdgOpenCalls() const { return Lines(Slurp(m_env->Path("xdg-open.calls"))); }

bool E2eHarness::WaitXdgOpenCalls(size_t count, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (XdgOpenCalls().size() < count) {
    if (MsLeft(deadline) <= 0) return false;
    Sleep(20);
  }
  return true;
}

ClientMarker E2eHarness::Marker(const std::string& program) const {
  ClientMarker m;
  const std::string text = Slurp(m_env->Path("runtime") + "/" + program + ".started");
  for (const std::string& line : Lines(text)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "pid") m.pid = static_cast<pid_t>(std::atoi(value.c_str()));
    if (key == "version") m.version = value;
    if (key == "folder") m.folder = value;
  }
  m.present = m.pid > 0;
  return m;
}

bool E2eHarness::WaitMarker(int timeoutMs, ClientMarker* out, pid_t notPid) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    ClientMarker m = Marker();
    if (m.present && m.pid != notPid) {
      if (out) *out = m;
      return true;
    }
    if (MsLeft(deadline) <= 0) return false;
    Sleep(20);
  }
}

void E2eHarness::RemoveMarkers() {
  std::error_code ec;
  for (const char* name : {"tvClient.exe.started", "QtWebEngineProcess.exe.started"})
    fs::remove(m_env->Path("runtime") + "/" + name, ec);
}

std::vector<pid_t> E2eHarness::ProcessesIn(const std::string& folder) const {
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  std::vector<pid_t> out;
  for (pid_t pid : AllPids()) {
    if (pid == getpid()) continue;
    const std::string exe = ExeOf(pid);
    if (exe.compare(0, prefix.size(), prefix) == 0 && ProcessState(pid) != 'Z') out.push_back(pid);
  }
  return out;
}

bool E2eHarness::Alive(pid_t pid) {
  const char s = ProcessState(pid);
  return s != 0 && s != 'Z' && s != 'X';
}

std::string E2eHarness::SettingsValue(const std::string& name, bool* found) const {
  return RegValue(platform::HKEY_CURRENT_USER, kProductKey, name, found);
}

std::string E2eHarness::UninstallValue(const std::string& name, bool* found) const {
  return RegValue(platform::HKEY_LOCAL_MACHINE, kUninstallKey, name, found);
}

std::string E2eHarness::MenuEntryPath() const {
  return m_env->Path("data") + "/applications/" + kShortcutName + ".desktop";
}

std::string E2eHarness::DesktopEntryPath() const { return m_env->Home() + "/Desktop/" + kShortcutName + ".desktop"; }

void E2eHarness::KillScratchProcesses() {
  if (!m_env) return;
  for (pid_t pid : ProcessesIn(m_env->Root())) {
    if (pid == m_pid) continue;
    kill(pid, SIGKILL);
  }
}

}  // namespace e2e
