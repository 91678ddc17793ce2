// Free space query over statvfs.
#include "platform/DiskSpace.h"

#include <sys/statvfs.h>

#include "platform/Text.h"

namespace platform {

bool FreeBytesAvailable(const std::wstring& path, uint64_t* bytes) {
  struct statvfs st;
  if (::statvfs(WideToUtf8(path).c_str(), &st) != 0) return false;
  if (bytes) *bytes = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
  return true;
}

}  // namespace platform
