// pack: a distributor's tool that writes a copy of a built installer with some
// packaged resources replaced, as a resource bundle appended to the executable.
//
//   pack <installer-in> <installer-out> [--dat-ini F] [--netlink-dat F]
//        [--deploy-ini F] [--cacert F] [--png ID=F]... [--icon ID=F]...
//
// A bundle already appended to the input is merged and replaced, never stacked.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/ResourceBundle.h"
#include "platform/Resources.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Key = std::pair<std::string, int32_t>;

void Usage() {
  std::fprintf(stderr,
               "usage: pack <installer-in> <installer-out> [--dat-ini F] [--netlink-dat F]\n"
               "            [--deploy-ini F] [--cacert F] [--png ID=F]... [--icon ID=F]...\n");
}

bool ReadFile(const std::string& path, Bytes* out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return !f.bad();
}

bool ParseId(const std::string& text, int32_t* id) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < 0 || v > 65535) return false;
  *id = static_cast<int32_t>(v);
  return true;
}

// Where the executable proper ends: before the data of an appended bundle.
uint64_t ExecutableSize(const Bytes& file, const std::vector<platform::BundleEntry>& entries) {
  uint64_t indexOffset = 0;
  for (int i = 0; i < 8; ++i) {
    indexOffset |= static_cast<uint64_t>(file[file.size() - 16 + i]) << (8 * i);
  }
  uint64_t start = indexOffset;
  for (const platform::BundleEntry& e : entries) {
    if (e.offset < start) start = e.offset;
  }
  return start;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    Usage();
    return 2;
  }
  const std::string in = argv[1];
  const std::string out = argv[2];

  std::map<Key, std::string> replacements;
  for (int i = 3; i < argc; ++i) {
    const std::string opt = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "pack: %s needs a value\n", opt.c_str());
      return 2;
    }
    const std::string value = argv[++i];
    if (opt == "--dat-ini") {
      replacements[{platform::kResData, platform::kIdDatIni}] = value;
    } else if (opt == "--netlink-dat") {
      replacements[{platform::kResData, platform::kIdNetLinkDat}] = value;
    } else if (opt == "--deploy-ini") {
      replacements[{platform::kResData, platform::kIdDeployIni}] = value;
    } else if (opt == "--cacert") {
      replacements[{platform::kResData, platform::kIdCaCert}] = value;
    } else if (opt == "--png" || opt == "--icon") {
      const size_t eq = value.find('=');
      int32_t id = 0;
      if (eq == std::string::npos || !ParseId(value.substr(0, eq), &id) || eq + 1 == value.size()) {
        std::fprintf(stderr, "pack: %s wants ID=FILE, got '%s'\n", opt.c_str(), value.c_str());
        return 2;
      }
      replacements[{opt == "--png" ? platform::kResPng : platform::kResIcon, id}] = value.substr(eq + 1);
    } else {
      std::fprintf(stderr, "pack: unknown option %s\n", opt.c_str());
      Usage();
      return 2;
    }
  }

  Bytes file;
  if (!ReadFile(in, &file)) {
    std::fprintf(stderr, "pack: cannot read %s\n", in.c_str());
    return 1;
  }

  // Entries of an earlier bundle survive unless replaced now.
  std::map<Key, Bytes> items;
  std::vector<platform::BundleEntry> old;
  uint64_t prefix = file.size();
  if (platform::ParseBundle(file.data(), file.size(), &old)) {
    prefix = ExecutableSize(file, old);
    for (const platform::BundleEntry& e : old) {
      items[{e.type, e.id}] = Bytes(file.begin() + static_cast<std::ptrdiff_t>(e.offset),
                                    file.begin() + static_cast<std::ptrdiff_t>(e.offset + e.size));
    }
  }
  for (const auto& [key, path] : replacements) {
    Bytes data;
    if (!ReadFile(path, &data)) {
      std::fprintf(stderr, "pack: cannot read %s\n", path.c_str());
      return 1;
    }
    items[key] = std::move(data);
  }

  std::vector<std::pair<platform::BundleEntry, Bytes>> ordered;
  for (auto& [key, data] : items) {
    platform::BundleEntry e;
    e.type = key.first;
    e.id = key.second;
    ordered.emplace_back(e, std::move(data));
  }
  const Bytes bundle = platform::BuildBundle(prefix, ordered);

  // Written beside the target and renamed, so in == out works and a failed
  // run never leaves a half-written installer.
  const std::string tmp = out + ".pack-tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(prefix));
    f.write(reinterpret_cast<const char*>(bundle.data()), static_cast<std::streamsize>(bundle.size()));
    f.close();
    if (!f) {
      std::fprintf(stderr, "pack: cannot write %s\n", tmp.c_str());
      unlink(tmp.c_str());
      return 1;
    }
  }
  if (chmod(tmp.c_str(), 0755) != 0 || rename(tmp.c_str(), out.c_str()) != 0) {
    std::fprintf(stderr, "pack: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
    unlink(tmp.c_str());
    return 1;
  }
  std::printf("pack: %s -> %s (%zu resources in the bundle)\n", in.c_str(), out.c_str(), ordered.size());
  return 0;
}
