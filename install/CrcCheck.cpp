// CRC-32 of the downloaded package, streamed through zlib's crc32.
#include "install/CrcCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <memory>

#include "platform/Text.h"

namespace {

uint32_t g_crcTable[256];
constexpr size_t kChunk = 1u << 20;  // large reads: one system call per MiB

}  // namespace

void BuildCrcTable() {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t r = n;
    for (int k = 0; k < 8; ++k) r = (r & 1) ? (r >> 1) ^ 0xEDB88320u : (r >> 1);
    g_crcTable[n] = r;
  }
}

const uint32_t* CrcTable() { return g_crcTable; }

int FileCrc32(const std::wstring& path, uint32_t* crc) {
  int fd = ::open(platform::WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {  // a folder opens but is no package
    ::close(fd);
    return -1;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  std::unique_ptr<unsigned char[]> buf(new unsigned char[kChunk]);
  uLong value = ::crc32(0L, Z_NULL, 0);
  for (;;) {
    ssize_t n = ::read(fd, buf.get(), kChunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    value = ::crc32_z(value, buf.get(), static_cast<size_t>(n));
  }
  ::close(fd);
  if (crc) *crc = static_cast<uint32_t>(value);
  return 0;
}

bool CrcMatches(uint32_t computed, int64_t expected) {
  return static_cast<int64_t>(static_cast<uint64_t>(computed)) == expected;
}
