// Test helpers for the X11 back end: a private Xvfb on a free display, a child
// run of this test binary against it (a scenario test that talks over a
// pipe), xdotool and screenshots. Header-only so window tests of several
// folders can share it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace xtest {

inline bool HaveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string Run(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

inline std::string ArtefactDir() {
  const char* dir = std::getenv("INSTALLER_BINARY_DIR");
  std::string out = std::string(dir ? dir : "/tmp") + "/artefacts";
  std::filesystem::create_directories(out);
  return out;
}

// A private X server, killed when the object goes.
class Xvfb {
 public:
  Xvfb() {
    for (int n = 40 + static_cast<int>(getpid() % 200); n < 400; ++n) {
      const std::string sock = "/tmp/.X11-unix/X" + std::to_string(n);
      const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
      if (access(sock.c_str(), F_OK) == 0 || access(lock.c_str(), F_OK) == 0) continue;
      const std::string disp = ":" + std::to_string(n);
      std::vector<std::string> args = {"Xvfb", disp, "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-br", "-noreset"};
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      posix_spawn_file_actions_t fa;
      posix_spawn_file_actions_init(&fa);
      posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
      const int rc = posix_spawnp(&m_pid, "Xvfb", &fa, nullptr, argv.data(), environ);
      posix_spawn_file_actions_destroy(&fa);
      if (rc != 0) return;
      for (int i = 0; i < 100; ++i) {
        if (access(sock.c_str(), F_OK) == 0) {
          m_display = disp;
          return;
        }
        int status;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {  // lost a race for the number
          m_pid = -1;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      if (m_pid > 0) Stop();
    }
  }
  ~Xvfb() { Stop(); }
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  bool Ok() const { return !m_display.empty(); }
  const std::string& Display() const { return m_display; }
  std::string Env() const { return "DISPLAY=" + m_display + " "; }
  // Runs a command against this server.
  std::string Cmd(const std::string& cmd) const { return Run(Env() + cmd + " 2>/dev/null"); }
  // Ids of visible windows of the installer's class; waits up to timeoutMs for
  // at least `count` of them.
  std::vector<std::string> WaitWindows(size_t count, int timeoutMs) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<std::string> ids;
    do {
      ids.clear();
      std::string out = Cmd("xdotool search --onlyvisible --class Installer");
      size_t pos = 0;
      while (pos < out.size()) {
        size_t nl = out.find('\n', pos);
        if (nl == std::string::npos) nl = out.size();
        if (nl > pos) ids.push_back(out.substr(pos, nl - pos));
        pos = nl + 1;
      }
      if (ids.size() >= count) return ids;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < end);
    return ids;
  }
  bool Screenshot(const std::string& name) const {
    const std::string path = ArtefactDir() + "/" + name;
    Cmd("import -window root " + path);
    return access(path.c_str(), F_OK) == 0;
  }
  // "r,g,b" of a screen pixel of the last screenshot file.
  static std::string PixelOf(const std::string& name, int x, int y) {
    std::string s = Run("/usr/bin/convert " + ArtefactDir() + "/" + name + " -format '%[fx:int(255*p{" +
                        std::to_string(x) + "," + std::to_string(y) + "}.r)],%[fx:int(255*p{" + std::to_string(x) +
                        "," + std::to_string(y) + "}.g)],%[fx:int(255*p{" + std::to_string(x) + "," +
                        std::to_string(y) + "}.b)]' info: 2>/dev/null");
    return s;
  }

 private:
  void Stop() {
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      int status;
      for (int i = 0; i < 40 && waitpid(m_pid, &status, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      if (waitpid(m_pid, &status, WNOHANG) == 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
      }
    }
    m_pid = -1;
  }
  pid_t m_pid = -1;
  std::string m_display;
};

// This binary run again with one (disabled) scenario test, on the given X
// server, its stdout read line by line.
class Child {
 public:
  Child(const Xvfb& x, const std::string& test) {
    int fds[2];
    if (pipe(fds) != 0) return;
    std::vector<std::string> args = {"/proc/self/exe", "--gtest_also_run_disabled_tests", "--gtest_filter=" + test};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"DISPLAY=" + x.Display(), "INSTALLER_WINDOW_BACKEND=x11", "INSTALLER_X11_CHILD=1"};
    for (char** e = environ; *e; ++e) {
      if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "INSTALLER_WINDOW_BACKEND=", 25) != 0) {
        env.emplace_back(*e);
      }
    }
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 3);  // scenario reports go to fd 3
    if (posix_spawn(&m_pid, "/proc/self/exe", &fa, nullptr, argv.data(), envp.data()) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    m_fd = fds[0];
  }
  ~Child() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      int status;
      waitpid(m_pid, &status, 0);
    }
    if (m_fd >= 0) close(m_fd);
  }
  // The next report line, or "" after timeoutMs.
  std::string ReadLine(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      size_t nl = m_buf.find('\n');
      if (nl != std::string::npos) {
        std::string line = m_buf.substr(0, nl);
        m_buf.erase(0, nl + 1);
        return line;
      }
      const int left = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
      if (left <= 0 || m_fd < 0) return "";
      pollfd p{m_fd, POLLIN, 0};
      if (poll(&p, 1, left) <= 0) continue;
      char b[256];
      ssize_t n = read(m_fd, b, sizeof b);
      if (n <= 0) return "";
      m_buf.append(b, static_cast<size_t>(n));
    }
  }
  // Exit status of the child (gtest: 0 = its scenario passed), -1 on timeout.
  int Wait(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_pid > 0 && std::chrono::steady_clock::now() < end) {
      int status;
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  pid_t m_pid = -1;
  int m_fd = -1;
  std::string m_buf;
};

// In a scenario child: one report line to the parent.
inline void Report(const std::string& line) {
  std::string l = line + "\n";
  ssize_t n = write(3, l.data(), l.size());
  (void)n;
}

inline bool InChild() { return std::getenv("INSTALLER_X11_CHILD") != nullptr; }

}  // namespace xtest
