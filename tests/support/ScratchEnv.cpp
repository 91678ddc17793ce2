// Scratch environment for tests.
#include "support/ScratchEnv.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/TempFolder.h"

namespace testsupport {
namespace {
const char* const kVars[6] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                              "XDG_RUNTIME_DIR", "TMPDIR", "XDG_DESKTOP_DIR"};
}

ScratchEnv::ScratchEnv() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "installer-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  m_root = tmpl;
  for (int i = 0; i < 6; ++i) {
    const char* v = std::getenv(kVars[i]);
    m_had[i] = v != nullptr;
    if (v) m_saved[i] = v;
  }
  std::filesystem::create_directories(Home() + "/Desktop");
  std::filesystem::create_directories(m_root + "/config");
  std::filesystem::create_directories(m_root + "/data");
  std::filesystem::create_directories(m_root + "/runtime");
  std::filesystem::create_directories(m_root + "/tmp");
  std::filesystem::permissions(m_root + "/runtime", std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace);
  setenv("HOME", Home().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (m_root + "/runtime").c_str(), 1);
  setenv("TMPDIR", (m_root + "/tmp").c_str(), 1);
  unsetenv("XDG_DESKTOP_DIR");
  platform::ResetTempFolderForTest();
}

ScratchEnv::~ScratchEnv() {
  for (int i = 0; i < 6; ++i) {
    if (m_had[i]) {
      setenv(kVars[i], m_saved[i].c_str(), 1);
    } else {
      unsetenv(kVars[i]);
    }
  }
  platform::ResetTempFolderForTest();
  std::error_code ec;
  if (!std::getenv("INSTALLER_KEEP_SCRATCH")) std::filesystem::remove_all(m_root, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::set<std::string> ListFolder(const std::string& path) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

std::string RegressionPath(const std::string& folder, const std::string& name) {
  return std::string(INSTALLER_SOURCE_DIR) + "/tests/" + folder + "/regress/" + name;
}

std::string ReadRegressionInput(const std::string& folder, const std::string& name) {
  return ReadFile(RegressionPath(folder, name));
}

}  // namespace testsupport
