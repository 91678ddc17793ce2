// A scratch HOME for tests: HOME, XDG_* and TMPDIR point into a fresh folder
// that is removed afterwards, so no test touches the real home.
#pragma once

#include <string>

namespace testsupport {

class ScratchEnv {
 public:
  ScratchEnv();
  ~ScratchEnv();
  ScratchEnv(const ScratchEnv&) = delete;
  ScratchEnv& operator=(const ScratchEnv&) = delete;

  const std::string& Root() const { return m_root; }
  std::string Home() const { return m_root + "/home"; }
  std::string Path(const std::string& rel) const { return m_root + "/" + rel; }

 private:
  std::string m_root;
  std::string m_saved[6];
  bool m_had[6] = {};
};

// Writes bytes to a file, creating parent folders.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

}  // namespace testsupport
