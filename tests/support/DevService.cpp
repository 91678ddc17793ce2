// Child-process control of the demo service for tests.
#include "support/DevService.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace testsupport {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

}  // namespace

bool PortOpen(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool open = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return open;
}

std::string DevService::BinaryPath() {
  const char* dir = std::getenv("INSTALLER_BINARY_DIR");
  return std::string(dir && *dir ? dir : INSTALLER_BINARY_DIR) + "/tools/devservice/devservice";
}

DevService::DevService(std::string stateDir) : m_stateDir(std::move(stateDir)) {
  std::error_code ec;
  fs::create_directories(m_stateDir, ec);
}

DevService::~DevService() { Stop(); }

std::string DevService::PackagePath(int version) const {
  const int i = version == 2 ? 1 : 0;
  std::error_code ec;
  if (m_packages[i].empty() || fs::is_directory(m_packages[i], ec))
    return m_stateDir + "/package-v" + std::to_string(i + 1) + ".7z";
  return m_packages[i];
}

std::string DevService::Stderr() const { return Slurp(m_stateDir + "/devservice.stderr"); }

bool DevService::Start(const DevServiceConfig& config) {
  if (m_pid > 0) {
    m_error = "already running";
    return false;
  }
  const std::string bin = BinaryPath();
  if (access(bin.c_str(), X_OK) != 0) {
    m_error = "devservice binary not found: " + bin + " (build the devservice target)";
    return false;
  }
  m_packages[0] = config.package;
  m_packages[1] = config.packageV2;
  if (!config.scenario.empty() && !WriteScenario(config.scenario)) {
    m_error = "cannot write the scenario";
    return false;
  }
  std::vector<std::string> args = {bin, "--state", m_stateDir, "--https-port",
                                   std::to_string(config.httpsPort), "--http-port",
                                   std::to_string(config.httpPort)};
  if (!config.package.empty()) args.insert(args.end(), {"--package", config.package});
  if (!config.packageV2.empty()) args.insert(args.end(), {"--package-v2", config.packageV2});
  if (!config.urlHost.empty()) args.insert(args.end(), {"--url-host", config.urlHost});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    m_error = "pipe failed";
    return false;
  }
  const std::string errPath = m_stateDir + "/devservice.stderr";
  int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls until exec. The service ends with the test process.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    dup2(out[1], STDOUT_FILENO);
    if (errFd >= 0) dup2(errFd, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  if (errFd >= 0) close(errFd);
  if (pid < 0) {
    close(out[0]);
    m_error = "fork failed";
    return false;
  }
  m_pid = pid;

  std::string line;
  const auto deadline = Clock::now() + std::chrono::milliseconds(config.startTimeoutMs);
  while (line.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      m_error = "devservice did not report its ports in time";
      break;
    }
    pollfd p{out[0], POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(std::min<long long>(left, 200)));
    if (r < 0 && errno != EINTR) break;
    if (r > 0) {
      char buf[256];
      ssize_t n = read(out[0], buf, sizeof buf);
      if (n <= 0) {
        m_error = "devservice exited before it was ready: " + Stderr();
        break;
      }
      line.append(buf, static_cast<size_t>(n));
    }
  }
  close(out[0]);
  if (std::sscanf(line.c_str(), "https=%d http=%d", &m_httpsPort, &m_httpPort) != 2) {
    if (m_error.empty()) m_error = "unexpected first line from devservice: " + line;
    Stop();
    return false;
  }
  m_error.clear();
  return true;
}

bool DevService::Running() {
  if (m_pid <= 0) return false;
  int status;
  if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
    m_pid = -1;
    return false;
  }
  return true;
}

int DevService::Stop() {
  if (m_pid <= 0) return -1;
  kill(m_pid, SIGTERM);
  int status = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  pid_t r;
  while ((r = waitpid(m_pid, &status, WNOHANG)) == 0 && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (r == 0) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, &status, 0);
  }
  m_pid = -1;
  return status;
}

bool DevService::WriteScenario(const std::string& ini) {
  const std::string path = ScenarioPath();
  const std::string tmp = path + ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!(f << ini)) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

bool DevService::WaitListening(bool https, bool open, int timeoutMs) const {
  const int port = https ? m_httpsPort : m_httpPort;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < deadline) {
    if (PortOpen(port) == open) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::vector<Json::Value> DevService::ReadJsonLines(const std::string& name) const {
  std::vector<Json::Value> out;
  std::istringstream in(Slurp(m_stateDir + "/" + name));
  std::string line;
  Json::CharReaderBuilder b;
  std::unique_ptr<Json::CharReader> reader(b.newCharReader());
  while (std::getline(in, line)) {
    Json::Value v;
    std::string errs;
    if (!line.empty() && reader->parse(line.data(), line.data() + line.size(), &v, &errs))
      out.push_back(v);
  }
  return out;
}

bool DevService::WaitForReports(size_t count, int timeoutMs, std::vector<Json::Value>* out) const {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    std::vector<Json::Value> reports = Reports();
    if (reports.size() >= count || Clock::now() >= deadline) {
      bool ok = reports.size() >= count;
      if (out) *out = std::move(reports);
      return ok;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace testsupport
