// Reading and writing the appended resource bundle.
#include "platform/ResourceBundle.h"

#include <cstring>

namespace platform {
namespace {

template <typename T>
bool Read(const unsigned char* data, size_t size, size_t* pos, T* out) {
  if (*pos > size || size - *pos < sizeof(T)) return false;
  T v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) {
    v |= static_cast<T>(static_cast<T>(data[*pos + i]) << (8 * i));
  }
  *out = v;
  *pos += sizeof(T);
  return true;
}

template <typename T>
void Write(std::vector<unsigned char>* out, T v) {
  using U = std::make_unsigned_t<T>;
  U u = static_cast<U>(v);
  for (size_t i = 0; i < sizeof(T); ++i) out->push_back(static_cast<unsigned char>(u >> (8 * i)));
}

}  // namespace

bool ParseBundle(const unsigned char* data, size_t size, std::vector<BundleEntry>* out) {
  out->clear();
  const size_t trailer = 8 + 8;
  if (size < trailer) return false;
  if (std::memcmp(data + size - 8, kBundleMagic, 8) != 0) return false;
  size_t pos = size - trailer;
  uint64_t indexOffset = 0;
  if (!Read(data, size, &pos, &indexOffset)) return false;
  if (indexOffset > size - trailer) return false;
  const size_t indexEnd = size - trailer;
  pos = static_cast<size_t>(indexOffset);
  uint32_t count = 0;
  if (!Read(data, indexEnd, &pos, &count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    BundleEntry e;
    uint16_t typeLen = 0;
    if (!Read(data, indexEnd, &pos, &typeLen)) return false;
    if (indexEnd - pos < typeLen) return false;
    e.type.assign(reinterpret_cast<const char*>(data + pos), typeLen);
    pos += typeLen;
    uint32_t id = 0;
    if (!Read(data, indexEnd, &pos, &id)) return false;
    e.id = static_cast<int32_t>(id);
    if (!Read(data, indexEnd, &pos, &e.offset) || !Read(data, indexEnd, &pos, &e.size)) return false;
    if (e.offset > indexOffset || e.size > indexOffset - e.offset) return false;
    out->push_back(std::move(e));
  }
  return true;
}

std::vector<unsigned char> BuildBundle(
    uint64_t prefixSize, const std::vector<std::pair<BundleEntry, std::vector<unsigned char>>>& items) {
  std::vector<unsigned char> out;
  std::vector<BundleEntry> index;
  for (const auto& [entry, bytes] : items) {
    BundleEntry e = entry;
    e.offset = prefixSize + out.size();
    e.size = bytes.size();
    out.insert(out.end(), bytes.begin(), bytes.end());
    index.push_back(e);
  }
  const uint64_t indexOffset = prefixSize + out.size();
  Write<uint32_t>(&out, static_cast<uint32_t>(index.size()));
  for (const BundleEntry& e : index) {
    Write<uint16_t>(&out, static_cast<uint16_t>(e.type.size()));
    out.insert(out.end(), e.type.begin(), e.type.end());
    Write<int32_t>(&out, e.id);
    Write<uint64_t>(&out, e.offset);
    Write<uint64_t>(&out, e.size);
  }
  Write<uint64_t>(&out, indexOffset);
  out.insert(out.end(), kBundleMagic, kBundleMagic + 8);
  return out;
}

}  // namespace platform
