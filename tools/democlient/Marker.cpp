// Start markers of the demo client's programs (see Marker.h).
#include "Marker.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace democlient {
namespace {

bool ReplaceFile(const std::string& path, const std::string& text) {
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ok = close(fd) == 0 && ok;
  if (ok && rename(temp.c_str(), path.c_str()) == 0) return true;
  unlink(temp.c_str());
  return false;
}

std::string ExecutablePath() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

std::string ExecutableFolder() {
  const std::string path = ExecutablePath();
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteStartedMarker(const std::string& version) {
  const std::string path = ExecutablePath();
  const std::string folder = ExecutableFolder();
  const std::string name = path.substr(path.rfind('/') + 1) + ".started";
  const std::string text = "pid=" + std::to_string(getpid()) + "\nversion=" + version +
                           "\nfolder=" + folder + "\n";
  bool any = ReplaceFile(folder + "/" + name, text);
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
    any = ReplaceFile(std::string(runtime) + "/" + name, text) || any;
  return any;
}

}  // namespace democlient
