// Builds real 7z archives for the install tests with libarchive's writer.
#pragma once

#include <string>
#include <vector>

namespace testinstall {

struct ArchiveItem {
  enum Kind { File, Dir, Symlink } kind = File;
  std::string name;
  std::string content;  // file bytes, or the symlink target
  int mode = 0644;      // permission bits stored with the entry
};

// "lzma2" (default), "lzma1", "deflate", "copy". False on any writer error.
bool Make7z(const std::string& path, const std::vector<ArchiveItem>& items,
            const std::string& compression = "lzma2");

}  // namespace testinstall
