// Reads the effective capability set from /proc, so no libcap is needed.
#include "platform/Privilege.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace platform {
namespace {
constexpr int kCapKill = 5;
}

bool HasDebugPrivilege() {
  if (geteuid() == 0) return true;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 7, "CapEff:") != 0) continue;
    const uint64_t caps = std::strtoull(line.c_str() + 7, nullptr, 16);
    return (caps >> kCapKill) & 1U;
  }
  return false;
}

}  // namespace platform
