// /proc based process snapshot and detached program start.
#include "platform/Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Text.h"

namespace platform {

namespace {

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadExeName(int pid, std::string* name) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/%d/exe", pid);
  char target[4096];
  ssize_t n = ::readlink(link, target, sizeof target - 1);
  if (n > 0) {
    std::string path(target, static_cast<size_t>(n));
    static const std::string kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() &&
        path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
      path.resize(path.size() - kDeleted.size());
    *name = BaseName(path);
    return !name->empty();
  }
  std::snprintf(link, sizeof link, "/proc/%d/cmdline", pid);
  int fd = ::open(link, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[4096];
  ssize_t got = ::read(fd, buf, sizeof buf - 1);
  ::close(fd);
  if (got <= 0) return false;
  buf[got] = '\0';
  *name = BaseName(std::string(buf));  // argv[0] ends at the first NUL
  return !name->empty();
}

}  // namespace

std::vector<ProcessEntry> EnumerateProcesses() {
  std::vector<ProcessEntry> out;
  DIR* dir = ::opendir("/proc");
  if (!dir) return out;
  while (dirent* e = ::readdir(dir)) {
    char* end = nullptr;
    long pid = std::strtol(e->d_name, &end, 10);
    if (pid <= 0 || !end || *end != '\0') continue;
    std::string name;
    if (!ReadExeName(static_cast<int>(pid), &name)) continue;
    out.push_back(ProcessEntry{static_cast<int>(pid), Utf8ToWide(name)});
  }
  ::closedir(dir);
  std::sort(out.begin(), out.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  return out;
}

int CurrentProcessId() { return static_cast<int>(::getpid()); }

bool KillProcessId(int pid) { return pid > 0 && ::kill(pid, SIGKILL) == 0; }

bool SpawnDetached(const std::string& program, const std::vector<std::string>& args) {
  if (program.empty()) return false;
  // Everything the child needs is prepared before fork: only async-signal-safe
  // calls run between fork and exec.
  std::vector<std::string> argvStore;
  argvStore.push_back(program);
  argvStore.insert(argvStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  int errPipe[2];
  if (::pipe2(errPipe, O_CLOEXEC) != 0) return false;
  pid_t child = ::fork();
  if (child < 0) {
    ::close(errPipe[0]);
    ::close(errPipe[1]);
    return false;
  }
  if (child == 0) {
    // Intermediate child: new session, then a grandchild that init adopts, so
    // the installer never leaves a zombie behind.
    ::setsid();
    pid_t grand = ::fork();
    if (grand < 0) {
      int e = errno;
      (void)!::write(errPipe[1], &e, sizeof e);
      ::_exit(1);
    }
    if (grand > 0) ::_exit(0);
    int devnull = ::open("/dev/null", O_RDONLY);
    if (devnull >= 0) {
      ::dup2(devnull, 0);
      if (devnull != 0) ::close(devnull);
    }
#ifdef SYS_close_range
    ::syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */);
#endif
    ::execv(program.c_str(), argv.data());
    int e = errno;
    (void)!::write(errPipe[1], &e, sizeof e);
    ::_exit(127);
  }
  ::close(errPipe[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int childErr = 0;
  ssize_t n;
  while ((n = ::read(errPipe[0], &childErr, sizeof childErr)) < 0 && errno == EINTR) {
  }
  ::close(errPipe[0]);
  return n == 0;  // the pipe closed on a successful exec
}

}  // namespace platform
