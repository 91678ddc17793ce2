// Single-instance lock: flock on a file named after the mutex name in the
// private temporary folder, held for the life of the object.
#pragma once

#include <string>

namespace platform {

class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(const std::string& name);
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // True when another process already holds the lock (ERROR_ALREADY_EXISTS).
  bool AlreadyExists() const { return m_bAlreadyExists; }
  void Release();

 private:
  int m_fd = -1;
  bool m_bAlreadyExists = false;
};

}  // namespace platform
