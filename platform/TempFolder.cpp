// The private temporary folder. Fixed names in a shared /tmp would let another
// user plant a symlink there, so the folder is checked before use.
#include "platform/TempFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/Text.h"

namespace platform {
namespace {

std::mutex g_lock;
std::string g_folder;  // empty until decided

bool IsOurPrivateDir(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) return false;  // also refuses symlinks (lstat)
  if (st.st_uid != geteuid()) return false;
  return (st.st_mode & 07777) == 0700;
}

std::string Decide() {
  std::string base;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime == '/') {
    base = std::string(runtime) + "/RoruvAZ";
  } else {
    const char* tmp = std::getenv("TMPDIR");
    std::string t = (tmp && *tmp == '/') ? tmp : "/tmp";
    base = t + "/RoruvAZ-" + std::to_string(geteuid());
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) {
    // fall through to mkdtemp
  } else {
    struct stat st {};
    // mkdir honours the umask; make sure the mode is exactly 0700 when it is ours.
    if (lstat(base.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
        (st.st_mode & 07777) != 0700 && (st.st_mode & 0077) == 0) {
      chmod(base.c_str(), 0700);
    }
    if (IsOurPrivateDir(base)) return base + "/";
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string t = (tmp && *tmp == '/') ? tmp : "/tmp";
  std::string tmpl = t + "/RoruvAZ-XXXXXX";
  if (mkdtemp(tmpl.data()) != nullptr) return tmpl + "/";
  tmpl = "/tmp/RoruvAZ-XXXXXX";
  if (mkdtemp(tmpl.data()) != nullptr) return tmpl + "/";
  return "/tmp/";  // nothing better is left; callers' writes may then fail
}

}  // namespace

std::string TempFolderA() {
  std::lock_guard<std::mutex> guard(g_lock);
  if (g_folder.empty()) g_folder = Decide();
  return g_folder;
}

std::wstring TempFolder() { return Utf8ToWide(TempFolderA()); }

void ResetTempFolderForTest() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_folder.clear();
}

}  // namespace platform
