// A look at a 7z file's header sizes before the archive library reads it. The
// library allocates the size the header names in one piece (the header, and
// for a compressed header its unpacked size), so a damaged or hostile header
// could otherwise make the installer take gigabytes of memory.
#pragma once

#include <cstdint>
#include <string>

enum class SevenZipHeaderCheck {
  kPlausible,    // within the limit, not a 7z file, or a layout left to the library
  kBeyondFile,   // the header would lie past the end of the file
  kTooLarge,     // the header, or what it unpacks to, is larger than the limit
};

// The largest header (packed or unpacked) a client package may have.
inline constexpr uint64_t kMaxSevenZipHeader = 256ull << 20;

SevenZipHeaderCheck CheckSevenZipHeader(const std::string& path, uint64_t limit = kMaxSevenZipHeader);
// The same on the first bytes of the file (at least the 32-byte start header)
// and, when the start header points at it, the header itself.
SevenZipHeaderCheck CheckSevenZipHeaderBytes(const std::string& start, uint64_t fileSize,
                                             const std::string& header, uint64_t limit);
