// Free space of the filesystem holding a path (statvfs).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Bytes available to an unprivileged user (f_bavail); false when the path
// cannot be examined.
bool FreeBytesAvailable(const std::wstring& path, uint64_t* bytes);

}  // namespace platform
