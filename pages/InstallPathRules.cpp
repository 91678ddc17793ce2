// Folder proposal and checks of the install page, over the mount table and
// statvfs of the running system.
#include "pages/InstallPathRules.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "platform/Text.h"

namespace pages {
namespace {

constexpr wchar_t kProductFolder[] = L"devadazuzirev";

// Filesystems that hold real, local data (not pseudo, network or memory ones).
const std::set<std::string> kLocalTypes = {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs",
                                           "jfs", "reiserfs", "vfat", "exfat", "ntfs",
                                           "ntfs3", "fuseblk", "zfs", "bcachefs"};

// Mount points below these never hold programs.
const char* const kSystemTrees[] = {"/boot", "/proc", "/sys", "/dev", "/run", "/snap", "/tmp",
                                    "/var/lib/docker"};

std::string DecodeMountField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

bool IsUnder(const std::string& path, const std::string& tree) {
  return path == tree || (path.size() > tree.size() && path.compare(0, tree.size(), tree) == 0 &&
                          path[tree.size()] == '/');
}

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return StripTrailingSlashes(home);
  if (const passwd* pw = ::getpwuid(::geteuid())) return StripTrailingSlashes(pw->pw_dir ? pw->pw_dir : "");
  return std::string();
}

// The folder itself when it exists, else its nearest existing ancestor.
std::string NearestExisting(std::string path) {
  struct stat st;
  while (!path.empty()) {
    if (::stat(path.c_str(), &st) == 0) return path;
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return std::string();
    path = slash == 0 ? std::string("/") : path.substr(0, slash);
    if (path == "/") return ::stat("/", &st) == 0 ? path : std::string();
  }
  return std::string();
}

ProgramFolderCandidate MakeCandidate(const std::string& folder) {
  ProgramFolderCandidate c;
  c.folder = platform::Utf8ToWide(folder);
  const std::string existing = NearestExisting(folder);
  if (existing.empty()) return c;
  struct statvfs vfs;
  if (::statvfs(existing.c_str(), &vfs) != 0) return c;
  c.freeBytes = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
  c.usable = ::access(existing.c_str(), W_OK | X_OK) == 0;
  return c;
}

bool DeviceOf(const std::string& path, dev_t* dev) {
  struct stat st;
  const std::string existing = NearestExisting(path);
  if (existing.empty() || ::stat(existing.c_str(), &st) != 0) return false;
  *dev = st.st_dev;
  return true;
}

// Lexical normalisation of an absolute path: components without "", "." and
// with ".." applied. Empty result = "/".
std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(path);
  while (std::getline(in, part, '/')) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  return parts;
}

}  // namespace

std::wstring ChooseProgramFolder(const std::vector<ProgramFolderCandidate>& candidates) {
  uint64_t bestMiB = 0;
  std::wstring best;
  for (const ProgramFolderCandidate& c : candidates) {
    if (!c.usable) continue;
    const uint64_t mib = c.freeBytes >> 20;
    if (mib > bestMiB) {
      bestMiB = mib;
      best = c.folder;
    }
  }
  return best;
}

std::vector<MountEntry> ParseMountTable(const std::string& text) {
  std::vector<MountEntry> out;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, point, type, options;
    if (!(fields >> device >> point >> type >> options)) continue;
    MountEntry e;
    e.device = DecodeMountField(device);
    e.mountPoint = DecodeMountField(point);
    e.type = type;
    std::istringstream opts(options);
    std::string opt;
    while (std::getline(opts, opt, ','))
      if (opt == "ro") e.readOnly = true;
    out.push_back(e);
  }
  return out;
}

std::vector<MountEntry> ReadMountTable() {
  std::ifstream f("/proc/self/mounts");
  if (!f) return {};
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  return ParseMountTable(text);
}

std::vector<ProgramFolderCandidate> ProgramFolderCandidates() {
  std::vector<ProgramFolderCandidate> out;
  // A run kept to the user's own locations (tests, the demo) proposes only
  // folders in the home folder.
  const bool userScope = std::getenv("INSTALLER_USER_SCOPE") != nullptr;
  std::vector<dev_t> seen;
  auto remember = [&](const std::string& folder) {
    dev_t d;
    if (DeviceOf(folder, &d)) seen.push_back(d);
  };

  if (!userScope) {
    ProgramFolderCandidate opt = MakeCandidate("/opt");
    if (opt.usable) {
      out.push_back(opt);
      remember("/opt");
    }
  }
  const std::string home = HomeFolder();
  if (!home.empty() && home != "/") {
    out.push_back(MakeCandidate(home + "/.local/opt"));
    remember(home + "/.local/opt");
  }
  if (userScope) return out;

  for (const MountEntry& m : ReadMountTable()) {
    if (m.readOnly || m.mountPoint == "/" || kLocalTypes.count(m.type) == 0) continue;
    if (m.device.empty() || m.device[0] != '/') continue;
    bool system = false;
    for (const char* tree : kSystemTrees) system = system || IsUnder(m.mountPoint, tree);
    if (system) continue;
    struct stat st;
    if (::stat(m.mountPoint.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    bool dup = false;
    for (dev_t d : seen) dup = dup || d == st.st_dev;
    if (dup) continue;  // its space is already offered by an earlier candidate
    seen.push_back(st.st_dev);
    out.push_back(MakeCandidate(StripTrailingSlashes(m.mountPoint) + "/opt"));
  }
  return out;
}

std::wstring DefaultInstallPath(const std::wstring& installerPath) {
  const std::wstring base = ChooseProgramFolder(ProgramFolderCandidates());
  return base + L"/" + (installerPath.empty() ? std::wstring(kProductFolder) : installerPath);
}

PathCheck CheckInstallPath(const std::wstring& text,
                           const std::function<bool(const std::string&)>& isMountRoot) {
  if (text.empty()) return PathCheck::Empty;
  const std::string path = platform::WideToUtf8(text);
  if (path[0] != '/') return PathCheck::NoDrive;
  const std::vector<std::string> parts = Components(path);
  if (parts.empty()) return PathCheck::DiskRoot;
  struct stat st;
  if (::stat(("/" + parts[0]).c_str(), &st) != 0) return PathCheck::NoDrive;
  std::string normal;
  for (const std::string& p : parts) normal += "/" + p;
  if (isMountRoot && isMountRoot(normal)) return PathCheck::DiskRoot;
  return PathCheck::Ok;
}

PathCheck CheckInstallPath(const std::wstring& text) { return CheckInstallPath(text, &IsMountRoot); }

bool IsMountRoot(const std::string& path) {
  const std::string p = StripTrailingSlashes(path);
  if (p == "/") return true;
  char resolved[4096];
  const bool exists = ::realpath(p.c_str(), resolved) != nullptr;
  for (const MountEntry& m : ReadMountTable()) {
    const std::string point = StripTrailingSlashes(m.mountPoint);
    if (point == p || (exists && point == resolved)) return true;
  }
  if (!exists) return false;
  // A mount the table does not show (another namespace's view): the folder
  // lies on another device than its parent.
  std::string real = resolved;
  if (real == "/") return true;
  size_t slash = real.find_last_of('/');
  std::string parent = slash == 0 ? std::string("/") : real.substr(0, slash);
  struct stat a, b;
  if (::stat(real.c_str(), &a) != 0 || ::stat(parent.c_str(), &b) != 0) return false;
  return a.st_dev != b.st_dev;
}

std::wstring WithTrailingSeparator(const std::wstring& text) {
  if (!text.empty() && (text.back() == L'/' || text.back() == L'\\')) return text;
  return text + L"/";
}

std::wstring BrowseResultPath(const std::wstring& chosen, const std::wstring& installerPath) {
  std::wstring out = chosen;
  if (out.empty() || out.back() != L'/') out += L'/';
  out += installerPath.empty() ? std::wstring(kProductFolder) : installerPath;
  return out;
}

int DownloadPercent(int32_t total, int32_t received) {
  const double divisor = total == 0 ? 1.0 : static_cast<double>(total);
  const float percent = static_cast<float>(static_cast<double>(received) * 100.0 / divisor);
  return static_cast<int>(percent);
}

}  // namespace pages
