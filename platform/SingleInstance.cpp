// Single-instance lock. flock is released by the kernel when the process ends,
// so a crashed installer never blocks the next start.
#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/TempFolder.h"

namespace platform {

SingleInstanceLock::SingleInstanceLock(const std::string& name) {
  const std::string path = TempFolderA() + name + ".lock";
  // O_CLOEXEC: a client started by the installer must not inherit the lock.
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return;  // no lock file possible: run unguarded rather than not at all
  int r;
  do {
    r = flock(fd, LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  if (r != 0) {
    m_bAlreadyExists = errno == EWOULDBLOCK;
    close(fd);
    return;
  }
  m_fd = fd;
}

SingleInstanceLock::~SingleInstanceLock() { Release(); }

void SingleInstanceLock::Release() {
  if (m_fd >= 0) {
    close(m_fd);
    m_fd = -1;
  }
}

}  // namespace platform
