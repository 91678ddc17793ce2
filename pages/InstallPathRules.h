// The install page's folder rules: where a fresh install is proposed, what a
// typed folder must look like, and the progress page's percentage.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pages {

// A place programs may go: a writable local filesystem's program folder.
struct ProgramFolderCandidate {
  std::wstring folder;      // e.g. /opt, $HOME/.local/opt, /data/opt; no trailing "/"
  uint64_t freeBytes = 0;   // available to the user
  bool usable = false;      // writable (or creatable) and its free space known
};

// The candidate with the most free MiB (bytes >> 20); the earliest wins ties,
// and one with less than 1 MiB is never chosen. Empty when none qualifies.
std::wstring ChooseProgramFolder(const std::vector<ProgramFolderCandidate>& candidates);

// One line of a mount table (/proc/self/mounts), octal escapes decoded.
struct MountEntry {
  std::string device;
  std::string mountPoint;
  std::string type;
  bool readOnly = false;
};
std::vector<MountEntry> ParseMountTable(const std::string& text);
std::vector<MountEntry> ReadMountTable();  // the running system's

// The candidates of this machine, in preference order: /opt when writable,
// $HOME/.local/opt, then <mount>/opt of every other writable local filesystem.
std::vector<ProgramFolderCandidate> ProgramFolderCandidates();

// The folder the install page proposes: the chosen candidate (empty when
// none) + "/" + (installerPath, or "devadazuzirev" when that is empty).
std::wstring DefaultInstallPath(const std::wstring& installerPath);

enum class PathCheck {
  Ok,
  Empty,         // nothing typed
  NoDrive,       // not absolute, or its first component does not exist
  DiskRoot,      // "/" or the root of a mounted filesystem
};
// Checks a typed install folder. `isMountRoot` decides whether a normalised
// absolute path (no trailing "/", "/" itself excluded) is a mount root.
PathCheck CheckInstallPath(const std::wstring& text,
                           const std::function<bool(const std::string&)>& isMountRoot);
PathCheck CheckInstallPath(const std::wstring& text);  // against the running system

// Whether `path` is the root of a mounted filesystem on this system (mount
// table, or a device change against its parent folder).
bool IsMountRoot(const std::string& path);

// The folder the pipeline gets: the text with one "/" appended unless it
// already ends with "/" or "\".
std::wstring WithTrailingSeparator(const std::wstring& text);

// The browse result: the chosen folder, "/" unless present, then the
// product's own subfolder (installerPath, or "devadazuzirev").
std::wstring BrowseResultPath(const std::wstring& chosen, const std::wstring& installerPath);

// Download percentage: received * 100 / (total, or 1 when 0), computed in
// double, rounded to float and truncated toward zero.
int DownloadPercent(int32_t total, int32_t received);

}  // namespace pages
