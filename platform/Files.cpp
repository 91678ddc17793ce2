// File helpers over POSIX; wide paths are converted to UTF-8.
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Text.h"

namespace platform {

bool IsRegularFile(const std::wstring& path) {
  struct stat st {};
  return stat(WideToUtf8(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::wstring& path) {
  struct stat st {};
  return stat(WideToUtf8(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFileW(const std::wstring& path) { return unlink(WideToUtf8(path).c_str()) == 0; }

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteWholeFile(const std::wstring& path, const void* data, std::size_t size) {
  int fd = open(WideToUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data, size);
  if (close(fd) != 0) ok = false;
  return ok;
}

bool ReadWholeFile(const std::wstring& path, std::string* out) {
  out->clear();
  int fd = open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  char buf[16384];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      out->clear();
      return false;
    }
    if (n == 0) break;
    out->append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
}

bool SetFileNormal(const std::wstring& path) {
  const std::string p = WideToUtf8(path);
  struct stat st {};
  if (stat(p.c_str(), &st) != 0) return false;
  return chmod(p.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool CreateDirectories(const std::wstring& path) {
  std::string p = WideToUtf8(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty()) return false;
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i < p.size() && p[i] != '/') continue;
    const std::string part = p.substr(0, i);
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace platform
