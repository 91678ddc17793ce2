// How long the installer takes from its process start to the check page's
// first frame on screen. Runs the packed installer on its own Xvfb several
// times; the service it talks to is a loopback socket that never answers, so
// no network time is in the figure (the check runs behind the page anyway).
//
//   bench_firstframe [runs]      (default 15; the first run is reported apart)
//
// The frame counts as on screen when a pixel of the page, read back from the
// X server, is no longer the black of the empty root window.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool Run(const std::vector<std::string>& args) {
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Starts Xvfb on a free display; its number, or -1.
int StartXvfb(pid_t* pid) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  *pid = fork();
  if (*pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (fds[1] != 3) dup2(fds[1], 3);
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, STDOUT_FILENO);
    dup2(devnull, STDERR_FILENO);
    execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string line;
  const auto deadline = Clock::now() + std::chrono::seconds(15);
  while (line.find('\n') == std::string::npos && Clock::now() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 100) > 0) {
      char buf[32];
      ssize_t n = read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      line.append(buf, static_cast<size_t>(n));
    }
  }
  close(fds[0]);
  return line.find('\n') == std::string::npos ? -1 : std::atoi(line.c_str());
}

long WindowPid(Display* dpy, Window w) {
  static Atom pidAtom = XInternAtom(dpy, "_NET_WM_PID", False);
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  long pid = -1;
  if (XGetWindowProperty(dpy, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after, &data) ==
          Success &&
      data && n == 1)
    pid = *reinterpret_cast<long*>(data);
  if (data) XFree(data);
  return pid;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

struct Sample {
  double mapped = -1;
  double frame = -1;
  double cpu = -1;   // CPU time of all its threads until the frame
  double wait = -1;  // time its threads spent runnable but waiting for a CPU
};

// Sums /proc/<pid>/task/*/schedstat: nanoseconds on a CPU and waiting for one.
void SchedStat(pid_t pid, double* cpuMs, double* waitMs) {
  *cpuMs = *waitMs = 0;
  const std::string base = "/proc/" + std::to_string(pid) + "/task/";
  DIR* d = opendir(base.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream f(base + e->d_name + "/schedstat");
    double run = 0, wait = 0;
    if (f >> run >> wait) {
      *cpuMs += run / 1e6;
      *waitMs += wait / 1e6;
    }
  }
  closedir(d);
}

Sample Measure(Display* dpy, const std::string& installer, const std::vector<std::string>& env) {
  Sample s;
  const Window root = DefaultRootWindow(dpy);
  XSelectInput(dpy, root, SubstructureNotifyMask);
  XSync(dpy, True);  // drop what came before

  std::vector<char*> envp;
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const auto t0 = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, STDOUT_FILENO);
    dup2(devnull, STDERR_FILENO);
    char* argv[] = {const_cast<char*>(installer.c_str()), nullptr};
    execve(argv[0], argv, envp.data());
    _exit(127);
  }
  Window page = 0;
  int px = 0, py = 0;
  const auto deadline = t0 + std::chrono::seconds(10);
  while (Clock::now() < deadline && s.frame < 0) {
    while (XPending(dpy)) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type == MapNotify && !page && !ev.xmap.override_redirect && WindowPid(dpy, ev.xmap.window) == pid) {
        XWindowAttributes wa;
        if (XGetWindowAttributes(dpy, ev.xmap.window, &wa)) {
          page = ev.xmap.window;
          s.mapped = Ms(Clock::now() - t0);
          // The centre of the brand image: far from black once painted.
          px = wa.x + wa.width / 2;
          py = wa.y + wa.height * 200 / 422;
        }
      }
    }
    if (page) {
      XImage* img = XGetImage(dpy, root, px, py, 1, 1, AllPlanes, ZPixmap);
      if (img) {
        if ((XGetPixel(img, 0, 0) & 0xFFFFFF) != 0) {
          s.frame = Ms(Clock::now() - t0);
          SchedStat(pid, &s.cpu, &s.wait);
        }
        XDestroyImage(img);
      }
    }
    if (s.frame < 0) std::this_thread::sleep_for(std::chrono::microseconds(page ? 200 : 500));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  XSelectInput(dpy, root, NoEventMask);
  XSync(dpy, True);
  return s;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(2, std::atoi(argv[1])) : 15;
  const std::string build = BUILD_DIR;

  char tmpl[] = "/tmp/firstframe-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const std::string root = tmpl;
  for (const char* d : {"/home", "/home/Desktop", "/config", "/data", "/runtime", "/tmp"})
    mkdir((root + d).c_str(), 0700);

  // The "service": accepts connections into the backlog and never answers.
  int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (sock < 0 || bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(sock, 64) != 0 ||
      getsockname(sock, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    std::fprintf(stderr, "no loopback socket\n");
    return 1;
  }
  const std::string port = std::to_string(ntohs(addr.sin_port));
  {
    std::ofstream f(root + "/deploy.ini");
    f << "[Deployment]\nApiHost=127.0.0.1\nReportHost=127.0.0.1\nDownloadHost=127.0.0.1\nHttpsPort=" << port
      << "\nHttpPort=" << port << "\n";
  }
  const std::string installer = root + "/installer";
  if (!Run({build + "/tools/pack/pack", build + "/installer", installer, "--deploy-ini", root + "/deploy.ini"})) {
    std::fprintf(stderr, "pack failed (build the installer and pack targets)\n");
    return 1;
  }

  pid_t xvfb = -1;
  const int display = StartXvfb(&xvfb);
  if (display < 0) {
    std::fprintf(stderr, "Xvfb did not start\n");
    return 1;
  }
  const std::string displayName = ":" + std::to_string(display);
  XSetErrorHandler(IgnoreErrors);
  Display* dpy = XOpenDisplay(displayName.c_str());
  if (!dpy) {
    std::fprintf(stderr, "cannot open %s\n", displayName.c_str());
    return 1;
  }

  std::vector<std::string> env = {"DISPLAY=" + displayName,
                                  "HOME=" + root + "/home",
                                  "XDG_CONFIG_HOME=" + root + "/config",
                                  "XDG_DATA_HOME=" + root + "/data",
                                  "XDG_RUNTIME_DIR=" + root + "/runtime",
                                  "TMPDIR=" + root + "/tmp",
                                  "INSTALLER_USER_SCOPE=1",
                                  std::string("PATH=") + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin")};
  if (const char* lang = std::getenv("LANG")) env.push_back(std::string("LANG=") + lang);

  std::vector<double> frames, maps, cpus, waits;
  std::printf("run  mapped_ms  first_frame_ms  cpu_ms  cpu_wait_ms\n");
  for (int i = 0; i < runs; ++i) {
    Sample s = Measure(dpy, installer, env);
    std::printf("%3d  %9.1f  %14.1f  %6.1f  %11.1f%s\n", i + 1, s.mapped, s.frame, s.cpu, s.wait,
                i == 0 ? "  (first run: cold caches)" : "");
    if (i > 0 && s.frame >= 0) {
      frames.push_back(s.frame);
      maps.push_back(s.mapped);
      cpus.push_back(s.cpu);
      waits.push_back(s.wait);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  if (!frames.empty()) {
    std::printf("runs 2..%d: first frame median %.1f ms (min %.1f, max %.1f); window mapped median %.1f ms\n", runs,
                Median(frames), *std::min_element(frames.begin(), frames.end()),
                *std::max_element(frames.begin(), frames.end()), Median(maps));
    std::printf("  of which on a CPU: median %.1f ms; runnable but waiting for a CPU: median %.1f ms\n",
                Median(cpus), Median(waits));
  }
  XCloseDisplay(dpy);
  kill(xvfb, SIGTERM);
  waitpid(xvfb, nullptr, 0);
  close(sock);
  Run({"/bin/rm", "-rf", root});
  return frames.size() == static_cast<size_t>(runs - 1) ? 0 : 1;
}
