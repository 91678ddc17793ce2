// 7z layout: a 32-byte start header (signature, version, CRC, then the next
// header's offset and size), and at that offset either a plain header (0x01)
// or an encoded one (0x17): stream information whose unpack sizes say how
// large the real header becomes once decoded.
#include "install/SevenZipHeader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned char kSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr size_t kStartHeader = 32;
// The encoded header is a few dozen bytes; more is not looked at.
constexpr uint64_t kMaxEncodedHeader = 1u << 16;

enum : uint8_t {
  kEnd = 0x00,
  kHeader = 0x01,
  kPackInfo = 0x06,
  kUnpackInfo = 0x07,
  kSize = 0x09,
  kCrc = 0x0A,
  kFolder = 0x0B,
  kCodersUnpackSize = 0x0C,
  kEncodedHeader = 0x17,
};

uint64_t Le64(const std::string& s, size_t at) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<size_t>(i)]);
  return v;
}

// The next header as the start header places it lies inside the file.
bool HeaderInFile(uint64_t offset, uint64_t size, uint64_t fileSize) {
  return offset <= fileSize && size <= fileSize && kStartHeader + offset <= fileSize - size;
}

class Reader {
 public:
  explicit Reader(const std::string& bytes) : m_bytes(bytes) {}
  bool Byte(uint8_t* out) {
    if (m_pos >= m_bytes.size()) return false;
    *out = static_cast<uint8_t>(m_bytes[m_pos++]);
    return true;
  }
  bool Skip(uint64_t n) {
    if (n > m_bytes.size() - m_pos) return false;
    m_pos += static_cast<size_t>(n);
    return true;
  }
  // 7z NUMBER: the leading one bits of the first byte count the bytes that
  // follow (little-endian); the first byte's remaining bits are the top.
  bool Number(uint64_t* out) {
    uint8_t first = 0;
    if (!Byte(&first)) return false;
    int extra = 0;
    while (extra < 8 && (first & (0x80 >> extra))) ++extra;
    uint64_t low = 0;
    for (int i = 0; i < extra; ++i) {
      uint8_t b = 0;
      if (!Byte(&b)) return false;
      low |= static_cast<uint64_t>(b) << (8 * i);
    }
    const uint64_t high = extra < 8 ? (first & (0xFFu >> (extra + 1))) : 0;
    *out = extra < 8 ? low | (high << (8 * extra)) : low;
    return true;
  }

 private:
  const std::string& m_bytes;
  size_t m_pos = 0;
};

// The largest unpack size in the encoded header's stream information; false
// when the layout is not one this reading follows (the library decides then).
bool LargestUnpackSize(const std::string& header, uint64_t* largest) {
  Reader r(header);
  uint8_t id = 0;
  if (!r.Byte(&id) || id != kEncodedHeader || !r.Byte(&id)) return false;
  if (id == kPackInfo) {
    uint64_t packPos = 0, streams = 0;
    if (!r.Number(&packPos) || !r.Number(&streams) || streams > 64) return false;
    for (;;) {
      if (!r.Byte(&id)) return false;
      if (id == kEnd) break;
      if (id == kSize) {
        for (uint64_t i = 0; i < streams; ++i) {
          uint64_t size = 0;
          if (!r.Number(&size)) return false;
        }
      } else if (id == kCrc) {
        uint8_t allDefined = 0;
        if (!r.Byte(&allDefined)) return false;
        uint64_t defined = streams;
        if (!allDefined) {
          defined = 0;
          for (uint64_t i = 0; i < (streams + 7) / 8; ++i) {
            uint8_t bits = 0;
            if (!r.Byte(&bits)) return false;
            defined += static_cast<uint64_t>(__builtin_popcount(bits));
          }
        }
        if (!r.Skip(4 * defined)) return false;
      } else {
        return false;
      }
    }
    if (!r.Byte(&id)) return false;
  }
  if (id != kUnpackInfo || !r.Byte(&id) || id != kFolder) return false;
  uint64_t folders = 0;
  uint8_t external = 0;
  if (!r.Number(&folders) || folders == 0 || folders > 64 || !r.Byte(&external) || external != 0) return false;
  uint64_t outputs[64] = {};
  for (uint64_t f = 0; f < folders; ++f) {
    uint64_t coders = 0;
    if (!r.Number(&coders) || coders == 0 || coders > 64) return false;
    uint64_t inTotal = 0, outTotal = 0;
    for (uint64_t c = 0; c < coders; ++c) {
      uint8_t flags = 0;
      if (!r.Byte(&flags) || (flags & 0x80) || !r.Skip(flags & 0x0F)) return false;
      uint64_t in = 1, out = 1;
      if ((flags & 0x10) && (!r.Number(&in) || !r.Number(&out) || in > 64 || out > 64)) return false;
      if (flags & 0x20) {
        uint64_t props = 0;
        if (!r.Number(&props) || !r.Skip(props)) return false;
      }
      inTotal += in;
      outTotal += out;
    }
    if (outTotal == 0 || outTotal > 64) return false;
    for (uint64_t b = 0; b + 1 < outTotal; ++b) {
      uint64_t x = 0, y = 0;
      if (!r.Number(&x) || !r.Number(&y)) return false;
    }
    if (inTotal < outTotal - 1) return false;
    const uint64_t packed = inTotal - (outTotal - 1);
    if (packed > 1) {
      for (uint64_t p = 0; p < packed; ++p) {
        uint64_t x = 0;
        if (!r.Number(&x)) return false;
      }
    }
    outputs[f] = outTotal;
  }
  if (!r.Byte(&id) || id != kCodersUnpackSize) return false;
  uint64_t most = 0;
  for (uint64_t f = 0; f < folders; ++f) {
    for (uint64_t o = 0; o < outputs[f]; ++o) {
      uint64_t size = 0;
      if (!r.Number(&size)) return false;
      most = std::max(most, size);
    }
  }
  *largest = most;
  return true;
}

}  // namespace

SevenZipHeaderCheck CheckSevenZipHeaderBytes(const std::string& start, uint64_t fileSize,
                                             const std::string& header, uint64_t limit) {
  if (start.size() < kStartHeader || std::memcmp(start.data(), kSignature, sizeof(kSignature)) != 0) {
    return SevenZipHeaderCheck::kPlausible;  // not a 7z file: the library says so
  }
  const uint64_t offset = Le64(start, 12);
  const uint64_t size = Le64(start, 20);
  if (!HeaderInFile(offset, size, fileSize)) return SevenZipHeaderCheck::kBeyondFile;
  if (size > limit) return SevenZipHeaderCheck::kTooLarge;
  uint64_t unpacked = 0;
  if (!header.empty() && static_cast<uint8_t>(header[0]) == kEncodedHeader &&
      LargestUnpackSize(header, &unpacked) && unpacked > limit) {
    return SevenZipHeaderCheck::kTooLarge;
  }
  return SevenZipHeaderCheck::kPlausible;
}

SevenZipHeaderCheck CheckSevenZipHeader(const std::string& path, uint64_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return SevenZipHeaderCheck::kPlausible;  // the library reports the open failure
  struct stat st;
  std::string start(kStartHeader, '\0');
  std::string header;
  SevenZipHeaderCheck result = SevenZipHeaderCheck::kPlausible;
  if (::fstat(fd, &st) == 0 && ::pread(fd, &start[0], kStartHeader, 0) == static_cast<ssize_t>(kStartHeader)) {
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    const uint64_t offset = Le64(start, 12);
    const uint64_t size = Le64(start, 20);
    if (size > 0 && size <= kMaxEncodedHeader && HeaderInFile(offset, size, fileSize)) {
      header.resize(static_cast<size_t>(size));
      if (::pread(fd, &header[0], header.size(), static_cast<off_t>(kStartHeader + offset)) !=
          static_cast<ssize_t>(header.size())) {
        header.clear();
      }
    }
    result = CheckSevenZipHeaderBytes(start, fileSize, header, limit);
  }
  ::close(fd);
  return result;
}
