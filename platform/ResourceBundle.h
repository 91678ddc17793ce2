// The resource bundle that tools/pack appends to a built installer.
//
// Layout, at the very end of the file:
//   entry data ... | index | u64 index offset (from file start) | "RESBNDL1"
// index: u32 count, then per entry: u16 type length, type bytes, i32 id,
// u64 data offset (from file start), u64 size. All integers little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

inline constexpr char kBundleMagic[9] = "RESBNDL1";

struct BundleEntry {
  std::string type;
  int32_t id = 0;
  uint64_t offset = 0;
  uint64_t size = 0;
};

// Reads the index of a bundle at the end of `data`; false when there is none
// or it is damaged (every entry must lie inside the file).
bool ParseBundle(const unsigned char* data, size_t size, std::vector<BundleEntry>* out);

// Serialises entries (data given in order) as a bundle appended after `prefixSize`
// bytes of executable; returns the bytes to append.
std::vector<unsigned char> BuildBundle(uint64_t prefixSize,
                                       const std::vector<std::pair<BundleEntry, std::vector<unsigned char>>>& items);

}  // namespace platform
