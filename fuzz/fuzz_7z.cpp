// The client package extractor on mutated 7z archives. Output goes to a
// folder three levels inside the scratch folder; after each run nothing else
// in the scratch folder (nor the working folder) may have changed, and no
// extracted symlink may resolve outside the output folder.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "install/ArchiveExtract.h"

namespace {

class NoProgress : public IProgressTarget {
 public:
  void SendProgressMessage(unsigned, uintptr_t, intptr_t) override {}
};

bool Inside(const std::string& path, const std::string& root) {
  return path == root || path.compare(0, root.size() + 1, root + "/") == 0;
}

// Every symlink under `dir` resolves inside `root` (or dangles inside it).
void CheckLinks(const std::string& dir, const std::string& root) {
  for (const std::string& name : fuzz::List(dir)) {
    const std::string path = dir + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (S_ISLNK(st.st_mode)) {
      char resolved[PATH_MAX];
      if (realpath(path.c_str(), resolved) != nullptr && !Inside(resolved, root)) __builtin_trap();
    } else if (S_ISDIR(st.st_mode)) {
      CheckLinks(path, root);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string base = [] {
    char resolved[PATH_MAX];
    if (realpath(fuzz::ScratchDir().c_str(), resolved) == nullptr) std::abort();
    return std::string(resolved);
  }();
  static const std::string work = base + "/cwd";
  static const std::string out = base + "/a/b/out";
  static const std::string archive = base + "/a/package.7z";
  static bool ready = [] {
    mkdir(work.c_str(), 0700);
    mkdir((base + "/a").c_str(), 0700);
    mkdir((base + "/a/b").c_str(), 0700);
    return chdir(work.c_str()) == 0;
  }();
  if (!ready) std::abort();

  fuzz::RemoveTree(out);
  mkdir(out.c_str(), 0700);
  if (!fuzz::WriteFile(archive, data, size)) std::abort();
  const std::wstring wout(out.begin(), out.end());
  NoProgress progress;
  const int result = ExtractClientArchive(archive.c_str(), wout.c_str(), &progress);
  if (result < 0 || result > 1) __builtin_trap();

  // Nothing written beside the output folder.
  if (fuzz::List(base) != std::set<std::string>{"a", "cwd"}) __builtin_trap();
  if (fuzz::List(base + "/a") != std::set<std::string>{"b", "package.7z"}) __builtin_trap();
  if (fuzz::List(base + "/a/b") != std::set<std::string>{"out"}) __builtin_trap();
  if (!fuzz::List(work).empty()) __builtin_trap();
  CheckLinks(out, out);
  fuzz::RemoveTree(out);
  return 0;
}
