// Tests that start, find or stop processes by name ("tvClient.exe",
// "QtWebEngineProcess.exe") hold this machine-wide lock, so ctest running them
// in parallel never lets one stop another's processes.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace testinstall {

class ProcessTestLock {
 public:
  ProcessTestLock() {
    m_fd = ::open("/tmp/installer-process-tests.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd >= 0) ::flock(m_fd, LOCK_EX);
  }
  ~ProcessTestLock() {
    if (m_fd >= 0) ::close(m_fd);
  }
  ProcessTestLock(const ProcessTestLock&) = delete;
  ProcessTestLock& operator=(const ProcessTestLock&) = delete;

 private:
  int m_fd = -1;
};

}  // namespace testinstall
