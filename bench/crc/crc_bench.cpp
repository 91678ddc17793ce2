// Package CRC throughput: FileCrc32 against a plain fread + zlib crc32 loop on
// the same cached file, in alternating rounds; prints per-round times, medians
// and the ratio (baseline time / FileCrc32 time; >= 0.95 is the target).
//   bench_crc [file [MiB [rounds]]]   (the file is made when missing)
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "install/CrcCheck.h"
#include "platform/Text.h"

namespace {

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

bool MakeFile(const std::string& path, size_t mib) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::vector<unsigned char> block(1 << 20);
  uint64_t x = 88172645463325252ull;
  for (size_t m = 0; m < mib; ++m) {
    for (auto& b : block) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      b = static_cast<unsigned char>(x);
    }
    if (std::fwrite(block.data(), 1, block.size(), f) != block.size()) {
      std::fclose(f);
      return false;
    }
  }
  return std::fclose(f) == 0;
}

uint32_t PlainZlib(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::vector<unsigned char> buf(1 << 20);
  uLong crc = crc32(0L, Z_NULL, 0);
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
    crc = crc32(crc, buf.data(), static_cast<uInt>(n));
  std::fclose(f);
  return static_cast<uint32_t>(crc);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = argc > 1 ? argv[1] : "/tmp/bench_crc.bin";
  size_t mib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 512;
  int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  if (access(path.c_str(), R_OK) != 0 && !MakeFile(path, mib)) {
    std::fprintf(stderr, "cannot make %s\n", path.c_str());
    return 1;
  }
  PlainZlib(path);  // warm the page cache
  std::vector<double> ours, base;
  BuildCrcTable();
  for (int r = 0; r < rounds; ++r) {
    sleep(1);
    auto t0 = std::chrono::steady_clock::now();
    uint32_t a = 0;
    if (FileCrc32(platform::Utf8ToWide(path), &a) != 0) return 1;
    auto t1 = std::chrono::steady_clock::now();
    sleep(1);
    auto t2 = std::chrono::steady_clock::now();
    uint32_t b = PlainZlib(path);
    auto t3 = std::chrono::steady_clock::now();
    if (a != b) {
      std::fprintf(stderr, "CRC differs: %08x vs %08x\n", a, b);
      return 1;
    }
    ours.push_back(Seconds(t1 - t0));
    base.push_back(Seconds(t3 - t2));
    std::printf("round %d: FileCrc32 %.3f s, zlib loop %.3f s, ratio %.3f (crc %08x)\n", r + 1,
                ours.back(), base.back(), base.back() / ours.back(), a);
  }
  double mo = Median(ours), mb = Median(base);
  double size = static_cast<double>(mib) * 1048576.0;
  std::printf("median: FileCrc32 %.3f s (%.2f GB/s), zlib loop %.3f s (%.2f GB/s), ratio %.3f\n",
              mo, size / mo / 1e9, mb, size / mb / 1e9, mb / mo);
  return 0;
}
