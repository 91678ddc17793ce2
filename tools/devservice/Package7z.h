// Client packages for the demo service and for tests: a 7z archive (LZMA2)
// packed from a folder with libarchive, and the CRC-32 the service announces.
#pragma once

#include <cstdint>
#include <string>

namespace devservice {

// Packs every file and folder below `folder` (paths relative to it, "/"-separated,
// Unix modes kept, symbolic links skipped) into a new 7z archive at `archivePath`.
// `level` is the LZMA2 level 0-9 (1 packs large test packages quickly; 6 is
// the usual default). On failure returns false and describes why in *error.
bool Build7z(const std::string& folder, const std::string& archivePath, std::string* error,
             int level = 6);

// CRC-32 (zlib's, as the installer checks it) and size of a whole file.
bool FileCrc32(const std::string& path, uint32_t* crc, uint64_t* size);

}  // namespace devservice
