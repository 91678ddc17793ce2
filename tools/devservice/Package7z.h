// Client packages for the demo service and for tests: a 7z archive (LZMA2)
// packed from a folder with libarchive, and the CRC-32 the service announces.
#pragma once

#include <cstdint>
#include <string>

namespace devservice {

// Packs every file and folder below `folder` (paths relative to it, "/"-separated,
// Unix modes kept, symbolic links skipped) into a new 7z archive at `archivePath`.
// On failure returns false and describes why in *error (when given).
bool Build7z(const std::string& folder, const std::string& archivePath, std::string* error);

// CRC-32 (zlib's, as the installer checks it) and size of a whole file.
bool FileCrc32(const std::string& path, uint32_t* crc, uint64_t* size);

}  // namespace devservice
