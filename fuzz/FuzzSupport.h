// Helpers shared by the fuzz targets: byte-to-text widening and a per-process
// scratch folder for targets whose entry points read or write files.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace fuzz {

// Each byte becomes one character (Latin-1), so every input is a valid text.
inline std::wstring Widen(const uint8_t* data, size_t size) {
  std::wstring out;
  out.reserve(size);
  for (size_t i = 0; i < size; ++i) out.push_back(static_cast<wchar_t>(data[i]));
  return out;
}

// A folder made once under $TMPDIR (or /tmp) for this process.
inline const std::string& ScratchDir() {
  static std::string dir = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/fuzz.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return dir;
}

inline bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// Removes a tree without following symlinks.
inline void RemoveTree(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    chmod(path.c_str(), 0700);
    if (DIR* d = opendir(path.c_str())) {
      while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") RemoveTree(path + "/" + name);
      }
      closedir(d);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

// Names directly inside a folder.
inline std::set<std::string> List(const std::string& path) {
  std::set<std::string> names;
  if (DIR* d = opendir(path.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(d);
  }
  return names;
}

}  // namespace fuzz
