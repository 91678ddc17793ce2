// The running executable's path, from /proc/self/exe (or a test override).
#include "platform/ModulePath.h"

#include <unistd.h>

#include <mutex>
#include <vector>

#include "platform/Text.h"

namespace platform {
namespace {
std::mutex g_lock;
std::string g_override;
}  // namespace

std::string ModuleFileNameA() {
  {
    std::lock_guard<std::mutex> guard(g_lock);
    if (!g_override.empty()) return g_override;
  }
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
    buf.resize(buf.size() * 2);
  }
}

std::wstring ModuleFileName() { return Utf8ToWide(ModuleFileNameA()); }

void SetModuleFileNameForTest(const std::string& path) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_override = path;
}

}  // namespace platform
