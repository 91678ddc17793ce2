// Runs ExtractClientArchive once on a package and prints the wall time; the
// console lines go to /dev/null so only the extraction is measured.
//   bench_extract <package.7z> <output folder>
#include <cstdio>
#include <chrono>
#include <filesystem>

#include "install/ArchiveExtract.h"
#include "platform/Text.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_extract <package.7z> <output folder>\n");
    return 2;
  }
  std::filesystem::create_directories(argv[2]);
  std::wstring out = platform::Utf8ToWide(argv[2]);
  if (!std::freopen("/dev/null", "w", stdout)) return 2;
  auto t0 = std::chrono::steady_clock::now();
  int rc = ExtractClientArchive(argv[1], out.c_str(), nullptr);
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::fprintf(stderr, "ExtractClientArchive: result %d, %.3f s\n", rc, s);
  return rc == 0 ? 0 : 1;
}
