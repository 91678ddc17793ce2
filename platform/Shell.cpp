// Desktop shell services over xdg-open and the XDG folder conventions.
#include "platform/Shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "platform/Process.h"
#include "platform/Text.h"

namespace platform {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string Home() {
  std::string h = Env("HOME");
  return h.empty() ? "/" : h;
}

bool IsDir(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirs(const std::string& path) {
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos == path.size() || path[pos] == '/') {
      std::string prefix = path.substr(0, pos);
      if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  }
  return IsDir(path);
}

std::string StripSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string FindOnPath(const std::string& name) {
  std::string path = Env("PATH");
  if (path.empty()) path = "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (!dir.empty()) {
      std::string cand = dir + "/" + name;
      if (::access(cand.c_str(), X_OK) == 0) return cand;
    }
    start = end + 1;
  }
  return {};
}

// The value of XDG_DESKTOP_DIR in user-dirs.dirs: "$HOME/..." or an absolute path.
std::string DesktopFromUserDirs() {
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty()) config = Home() + "/.config";
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    size_t p = line.find_first_not_of(" \t");
    if (p == std::string::npos || line[p] == '#') continue;
    static const std::string kKey = "XDG_DESKTOP_DIR=";
    if (line.compare(p, kKey.size(), kKey) != 0) continue;
    std::string v = line.substr(p + kKey.size());
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) v.pop_back();
    if (v.size() < 2 || v.front() != '"' || v.back() != '"') continue;
    v = v.substr(1, v.size() - 2);
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
      if (v[i] == '\\' && i + 1 < v.size()) out += v[++i];
      else out += v[i];
    }
    if (out.compare(0, 5, "$HOME") == 0) out = Home() + out.substr(5);
    if (!out.empty() && out[0] == '/') return out;
  }
  return {};
}

}  // namespace

bool UsesSystemWideLocations() {
  return ::geteuid() == 0 && std::getenv("INSTALLER_USER_SCOPE") == nullptr;
}

bool ShellOpenUrl(const std::string& url) {
  std::string opener = FindOnPath("xdg-open");
  if (opener.empty()) return false;
  return SpawnDetached(opener, {url});
}

bool ShellOpenProgram(const std::wstring& path) { return SpawnDetached(WideToUtf8(path)); }

std::wstring ApplicationsFolder() {
  std::string folder;
  if (UsesSystemWideLocations()) {
    folder = "/usr/local/share/applications";
  } else {
    std::string data = Env("XDG_DATA_HOME");
    if (data.empty()) data = Home() + "/.local/share";
    folder = StripSlash(data) + "/applications";
  }
  return MakeDirs(folder) ? Utf8ToWide(folder) : std::wstring();
}

std::wstring DesktopFolder() {
  std::string folder = DesktopFromUserDirs();
  if (folder.empty()) folder = StripSlash(Home()) + "/Desktop";
  folder = StripSlash(folder);
  return IsDir(folder) ? Utf8ToWide(folder) : std::wstring();
}

}  // namespace platform
