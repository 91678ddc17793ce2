// ZIP reading for the skin archive (see ZipArchive.h). The archive is held in
// memory: skin archives are small and every lookup then needs no file I/O.
#include "ui/utils/ZipArchive.h"

#include <zlib.h>

#include <cstring>

#include "platform/Files.h"
#include "platform/Text.h"

namespace SkinUI {

namespace {

constexpr uint32_t kEndOfDirectory = 0x06054b50;
constexpr uint32_t kDirectoryEntry = 0x02014b50;
constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kDirectoryEntrySize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflate = 8;

uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

char FoldName(char c) {
  if (c == '\\') return '/';
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  return c;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldName(a[i]) != FoldName(b[i])) return false;
  }
  return true;
}

}  // namespace

bool CZipArchive::OpenFile(const std::wstring& path) {
  Close();
  std::string bytes;
  if (!platform::ReadWholeFile(path, &bytes)) return false;
  return OpenMemory(std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

bool CZipArchive::OpenMemory(std::vector<unsigned char> block) {
  Close();
  m_data = std::move(block);
  if (!ReadDirectory()) {
    Close();
    return false;
  }
  m_bOpen = true;
  return true;
}

void CZipArchive::Close() {
  m_data.clear();
  m_data.shrink_to_fit();
  m_entries.clear();
  m_bOpen = false;
}

bool CZipArchive::ReadDirectory() {
  const std::size_t size = m_data.size();
  if (size < kEndRecordSize) return false;
  // The end record sits in the last 22 + 65535 (comment) bytes.
  std::size_t lowest = size > kEndRecordSize + 0xFFFF ? size - kEndRecordSize - 0xFFFF : 0;
  std::size_t end = std::string::npos;
  for (std::size_t pos = size - kEndRecordSize + 1; pos-- > lowest;) {
    if (Read32(&m_data[pos]) == kEndOfDirectory) {
      end = pos;
      break;
    }
  }
  if (end == std::string::npos) return false;
  const unsigned char* record = &m_data[end];
  uint16_t count = Read16(record + 10);
  uint32_t directorySize = Read32(record + 12);
  uint32_t directoryOffset = Read32(record + 16);
  if (static_cast<uint64_t>(directoryOffset) + directorySize > end) return false;

  std::size_t pos = directoryOffset;
  const std::size_t limit = static_cast<std::size_t>(directoryOffset) + directorySize;
  m_entries.reserve(count);
  for (uint16_t i = 0; i < count; ++i) {
    if (pos + kDirectoryEntrySize > limit) return false;
    const unsigned char* p = &m_data[pos];
    if (Read32(p) != kDirectoryEntry) return false;
    ZipEntry entry;
    entry.method = Read16(p + 10);
    entry.crc = Read32(p + 16);
    entry.compressedSize = Read32(p + 20);
    entry.uncompressedSize = Read32(p + 24);
    uint16_t nameLength = Read16(p + 28);
    uint16_t extraLength = Read16(p + 30);
    uint16_t commentLength = Read16(p + 32);
    entry.localHeaderOffset = Read32(p + 42);
    std::size_t next = pos + kDirectoryEntrySize + nameLength + extraLength + commentLength;
    if (next > limit) return false;
    entry.name.assign(reinterpret_cast<const char*>(p + kDirectoryEntrySize), nameLength);
    m_entries.push_back(std::move(entry));
    pos = next;
  }
  return true;
}

int CZipArchive::Find(const std::wstring& name) const {
  if (!m_bOpen || name.size() >= 256) return -1;
  std::string wanted = platform::WideToUtf8(name);
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    if (SameName(m_entries[i].name, wanted)) return static_cast<int>(i);
  }
  return -1;
}

ZipResult CZipArchive::Extract(int index, std::string* out) const {
  if (!m_bOpen || index < 0 || static_cast<std::size_t>(index) >= m_entries.size()) {
    return ZipResult::NotFound;
  }
  const ZipEntry& entry = m_entries[index];
  if (entry.method != kMethodStored && entry.method != kMethodDeflate) return ZipResult::Unsupported;
  if (entry.compressedSize == 0xFFFFFFFFu || entry.uncompressedSize == 0xFFFFFFFFu) {
    return ZipResult::Unsupported;  // ZIP64
  }
  std::size_t pos = entry.localHeaderOffset;
  if (pos + kLocalHeaderSize > m_data.size()) return ZipResult::Corrupt;
  const unsigned char* local = &m_data[pos];
  if (Read32(local) != kLocalHeader) return ZipResult::Corrupt;
  std::size_t dataStart = pos + kLocalHeaderSize + Read16(local + 26) + Read16(local + 28);
  if (dataStart + entry.compressedSize > m_data.size()) return ZipResult::Corrupt;
  const unsigned char* data = m_data.data() + dataStart;

  // Sizes checked before the buffer is made: a damaged directory must not ask for
  // gigabytes. Deflate expands at most about 1032 to 1.
  if (entry.method == kMethodStored && entry.compressedSize != entry.uncompressedSize) return ZipResult::Corrupt;
  if (entry.method == kMethodDeflate &&
      static_cast<uint64_t>(entry.uncompressedSize) > static_cast<uint64_t>(entry.compressedSize) * 1032 + 64) {
    return ZipResult::Corrupt;
  }
  out->assign(entry.uncompressedSize, '\0');
  if (entry.method == kMethodStored) {
    if (entry.uncompressedSize > 0) std::memcpy(&(*out)[0], data, entry.uncompressedSize);
  } else {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return ZipResult::Corrupt;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = entry.compressedSize;
    stream.next_out = reinterpret_cast<Bytef*>(out->empty() ? nullptr : &(*out)[0]);
    stream.avail_out = entry.uncompressedSize;
    int rc = inflate(&stream, Z_FINISH);
    uLong produced = stream.total_out;
    inflateEnd(&stream);
    // A full buffer is what the directory promised; a stream that wants more
    // output has more data than recorded, which the CRC check below catches.
    if (rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && stream.avail_out == 0)) return ZipResult::Corrupt;
    if (produced != entry.uncompressedSize) return ZipResult::Corrupt;
  }
  uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(out->data()), static_cast<uInt>(out->size()));
  if (crc != entry.crc) return ZipResult::Corrupt;
  return ZipResult::Ok;
}

}  // namespace SkinUI
