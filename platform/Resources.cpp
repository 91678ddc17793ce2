// Resource lookup: the appended bundle of the running executable first, then
// the table compiled from res/.
#include "platform/Resources.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/ResourceBundle.h"

namespace platform {

struct CompiledResource {
  const char* type;
  int id;
  const unsigned char* begin;
  const unsigned char* end;
};
extern const CompiledResource kCompiledResources[];
extern const std::size_t kCompiledResourceCount;

namespace {

struct MappedBundle {
  std::vector<BundleEntry> entries;
  const unsigned char* base = nullptr;
};

// Maps the executable once; the mapping lives until the process ends.
const MappedBundle& ExecutableBundle() {
  static MappedBundle bundle;
  static std::once_flag once;
  std::call_once(once, [] {
    int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size <= 0) {
      close(fd);
      return;
    }
    void* map = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (map == MAP_FAILED) return;
    const auto* bytes = static_cast<const unsigned char*>(map);
    std::vector<BundleEntry> entries;
    if (!ParseBundle(bytes, static_cast<size_t>(st.st_size), &entries)) {
      munmap(map, static_cast<size_t>(st.st_size));
      return;
    }
    bundle.base = bytes;
    bundle.entries = std::move(entries);
  });
  return bundle;
}

}  // namespace

bool FindResource(const std::string& type, int id, ResourceBlob* out) {
  const MappedBundle& bundle = ExecutableBundle();
  for (const BundleEntry& e : bundle.entries) {
    if (e.id == id && e.type == type) {
      out->data = bundle.base + e.offset;
      out->size = e.size;
      return true;
    }
  }
  for (std::size_t i = 0; i < kCompiledResourceCount; ++i) {
    const CompiledResource& r = kCompiledResources[i];
    if (r.id == id && type == r.type) {
      out->data = r.begin;
      out->size = static_cast<std::size_t>(r.end - r.begin);
      return true;
    }
  }
  return false;
}

}  // namespace platform
