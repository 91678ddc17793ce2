// A scratch HOME for tests: HOME, XDG_* and TMPDIR point into a fresh folder
// that is removed afterwards, so no test touches the real home.
#pragma once

#include <set>
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
// Names directly inside a folder (none when it cannot be read).
std::set<std::string> ListFolder(const std::string& path);
// An input kept under tests/<folder>/regress/ (a former fuzzing finding).
std::string RegressionPath(const std::string& folder, const std::string& name);
std::string ReadRegressionInput(const std::string& folder, const std::string& name);

}  // namespace testsupport
