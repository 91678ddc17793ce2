// A small ZIP reader for the skin archive: central directory, name lookup that
// ignores ASCII case and treats '\' as '/', stored and deflate entries (zlib).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI {

struct ZipEntry {
  std::string name;  // as stored (UTF-8 / the archive's bytes)
  uint16_t method = 0;
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint32_t localHeaderOffset = 0;
};

enum class ZipResult { Ok, NotFound, Unsupported, Corrupt };

class CZipArchive {
 public:
  CZipArchive() = default;
  CZipArchive(const CZipArchive&) = delete;
  CZipArchive& operator=(const CZipArchive&) = delete;

  // Reads the whole file and its central directory.
  bool OpenFile(const std::wstring& path);
  // Takes the block over; false when it is not a readable ZIP.
  bool OpenMemory(std::vector<unsigned char> block);
  void Close();
  bool IsOpen() const { return m_bOpen; }

  std::size_t EntryCount() const { return m_entries.size(); }
  const ZipEntry& Entry(std::size_t index) const { return m_entries[index]; }

  // Index of the first entry whose name matches ignoring ASCII case, with every
  // '\' read as '/'; -1 when none matches or the name has 256 characters or more.
  int Find(const std::wstring& name) const;

  // Extracts an entry whole (size checked against the directory, CRC checked).
  ZipResult Extract(int index, std::string* out) const;

 private:
  bool ReadDirectory();

  std::vector<unsigned char> m_data;
  std::vector<ZipEntry> m_entries;
  bool m_bOpen = false;
};

}  // namespace SkinUI
