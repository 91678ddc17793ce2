// The package extractor: a driver around libarchive's 7z reader that keeps the
// installer's console lines, progress messages and result codes, and refuses
// entries that would escape the output folder.
#include "install/ArchiveExtract.h"
#include "install/SevenZipHeader.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/Text.h"
#include "platform/Utf8Locale.h"

namespace {

// Status codes carried through the loop (the 7z decoder's numbering).
constexpr int kOk = 0;
constexpr int kDataError = 1;
constexpr int kNoMemory = 2;
constexpr int kCrcError = 3;
constexpr int kUnsupported = 4;
constexpr int kWriteError = 11;
constexpr int kNotArchive = 17;
constexpr int kHeaderRefused = -100;  // own code: reported by its own line

constexpr size_t kReadBlock = 1u << 20;
constexpr size_t kWriteBuffer = 4u << 20;
constexpr size_t kDirectWrite = 256u << 10;
// Each pwrite takes at most this much: on this machine kind larger writes
// into the page cache cost more per byte (4 MiB pieces took 2.5x as long).
constexpr size_t kWritePiece = 64u << 10;

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void PrintError(const std::string& what) { Print("\nERROR: " + what + "\n"); }

struct ArchiveCloser {
  void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveCloser>;

int StatusOf(archive* a);

// The archive opened for reading, or the status of the failure.
int OpenReader(const char* path, ArchivePtr* out) {
  ArchivePtr a(archive_read_new());
  if (!a) return kNoMemory;
  archive_read_support_format_7zip(a.get());
  if (archive_read_open_filename(a.get(), path, kReadBlock) != ARCHIVE_OK) return StatusOf(a.get());
  *out = std::move(a);
  return kOk;
}

// Maps a libarchive failure onto the decoder's status numbers.
int StatusOf(archive* a) {
  int err = a ? archive_errno(a) : 0;
  const char* msg = a ? archive_error_string(a) : nullptr;
  std::string text = msg ? msg : "";
  if (err == ENOMEM) return kNoMemory;
  if (text.find("CRC") != std::string::npos || text.find("hecksum") != std::string::npos)
    return kCrcError;
  if (text.find("nsupported") != std::string::npos || text.find("codec") != std::string::npos)
    return kUnsupported;
  if (text.find("Unrecognized archive format") != std::string::npos) return kNotArchive;
  return kDataError;
}

mode_t ProcessUmask() {
  static const mode_t mask = [] {
    FILE* f = std::fopen("/proc/self/status", "r");
    mode_t m = 022;
    if (f) {
      char line[256];
      while (std::fgets(line, sizeof line, f)) {
        unsigned v;
        if (std::sscanf(line, "Umask: %o", &v) == 1) {
          m = static_cast<mode_t>(v);
          break;
        }
      }
      std::fclose(f);
    }
    return m;
  }();
  return mask;
}

bool IsInside(const std::string& root, const std::string& path) {
  if (root == "/") return !path.empty() && path[0] == '/';
  return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                          path[root.size()] == '/');
}

std::string RealPath(const std::string& p) {
  char buf[PATH_MAX];
  return ::realpath(p.c_str(), buf) ? std::string(buf) : std::string();
}

// Splits an entry name into components; false for an absolute name or a ".."
// component. "." and empty components are dropped.
bool SplitEntryName(const std::string& name, std::vector<std::string>* parts) {
  parts->clear();
  if (!name.empty() && name[0] == '/') return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    std::string comp = name.substr(start, end - start);
    if (comp == "..") return false;
    if (!comp.empty() && comp != ".") parts->push_back(comp);
    start = end + 1;
  }
  return true;
}

// Where a symlink with this target, placed in `linkDir` (a real path inside
// root), would lead: false when it leaves root at any step.
bool LinkTargetInside(const std::string& root, const std::string& linkDir,
                      const std::string& target) {
  if (target.empty() || target[0] == '/') return false;
  std::string cur = linkDir;
  size_t start = 0;
  int hops = 0;
  while (start <= target.size()) {
    size_t end = target.find('/', start);
    if (end == std::string::npos) end = target.size();
    std::string comp = target.substr(start, end - start);
    start = end + 1;
    if (comp.empty() || comp == ".") continue;
    if (comp == "..") {
      if (cur == root) return false;
      cur = cur.substr(0, cur.find_last_of('/'));
      if (cur.empty()) cur = "/";
      continue;
    }
    std::string next = (cur == "/" ? "" : cur) + "/" + comp;
    struct stat st;
    if (::lstat(next.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      if (++hops > 40) return false;
      next = RealPath(next);
      if (next.empty()) return false;
    }
    if (!IsInside(root, next)) return false;
    cur = next;
  }
  return IsInside(root, cur);
}

class Extractor {
 public:
  Extractor(std::string outDir, IProgressTarget* progress)
      : m_outDir(std::move(outDir)), m_progress(progress) {}

  int Run(const char* archivePath);

 private:
  int CountEntries(const char* archivePath, int64_t* count);
  int HandleEntry(archive* a, archive_entry* e);
  // Creates the folders of parts[0..n) below the output folder, checking each
  // existing symlink on the way. False (with an ERROR line) when the path
  // would leave the folder.
  bool MakeParents(const std::vector<std::string>& parts, size_t n, std::string* dirOut);
  int WriteFile(archive* a, archive_entry* e, const std::string& path);

  std::string m_outDir;   // ends with "/" (or empty: the current folder)
  std::string m_realRoot;
  IProgressTarget* m_progress;
  std::unique_ptr<char[]> m_buf;
  // Folders already created or checked in this run: a later entry cannot turn
  // them into links (links and files never replace a folder), so they need no
  // second look.
  std::unordered_set<std::string> m_knownDirs;
};

int Extractor::CountEntries(const char* archivePath, int64_t* count) {
  // Headers only: libarchive lists a 7z without decoding any data.
  ArchivePtr a;
  int status = OpenReader(archivePath, &a);
  if (status != kOk) return status;
  archive_entry* e;
  int64_t n = 0;
  int r;
  while ((r = archive_read_next_header(a.get(), &e)) == ARCHIVE_OK || r == ARCHIVE_WARN) ++n;
  if (r != ARCHIVE_EOF) return StatusOf(a.get());
  *count = n;
  return kOk;
}

bool Extractor::MakeParents(const std::vector<std::string>& parts, size_t n,
                            std::string* dirOut) {
  std::string cur = m_outDir.empty() ? "." : m_outDir.substr(0, m_outDir.size() - 1);
  if (cur.empty()) cur = "/";
  for (size_t k = 0; k < n; ++k) {
    std::string next = (cur == "/" ? "" : cur) + "/" + parts[k];
    cur = next;
    if (m_knownDirs.count(next)) continue;
    struct stat st;
    if (::lstat(next.c_str(), &st) != 0) {
      // Failures show up when the file is created.
      if (::mkdir(next.c_str(), 0777) == 0) m_knownDirs.insert(next);
    } else if (S_ISLNK(st.st_mode)) {
      std::string real = RealPath(next);
      if (real.empty() || !IsInside(m_realRoot, real)) {
        PrintError("path leads outside the output folder: " + next);
        return false;
      }
      m_knownDirs.insert(next);
    } else if (S_ISDIR(st.st_mode)) {
      m_knownDirs.insert(next);
    }
  }
  *dirOut = cur;
  return true;
}

int Extractor::WriteFile(archive* a, archive_entry* e, const std::string& path) {
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0 && errno == EEXIST) {  // replaced, never written through
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) ::unlink(path.c_str());
    fd = ::open(path.c_str(), flags, 0666);
  }
  if (fd < 0) {
    PrintError("can not open output file");
    return kWriteError;
  }
  if (!m_buf) m_buf.reset(new (std::nothrow) char[kWriteBuffer]);
  if (!m_buf) {
    ::close(fd);
    return kNoMemory;
  }
  size_t used = 0;
  int64_t bufStart = 0;  // file offset of m_buf[0]
  int64_t end = 0;
  auto writeAt = [fd](const char* data, size_t n, int64_t at) -> bool {
    size_t done = 0;
    while (done < n) {
      ssize_t w = ::pwrite(fd, data + done, std::min(n - done, kWritePiece), at + static_cast<int64_t>(done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      done += static_cast<size_t>(w);
    }
    return true;
  };
  auto flush = [&]() -> bool {
    if (!writeAt(m_buf.get(), used, bufStart)) return false;
    bufStart += static_cast<int64_t>(used);
    used = 0;
    return true;
  };
  int status = kOk;
  for (;;) {
    const void* block;
    size_t size;
    la_int64_t offset;
    int r = archive_read_data_block(a, &block, &size, &offset);
    if (r == ARCHIVE_EOF) break;
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
      status = StatusOf(a);
      break;
    }
    if (offset != bufStart + static_cast<int64_t>(used)) {  // a hole: flush, move on
      if (!flush()) {
        status = kWriteError;
        break;
      }
      bufStart = offset;
    }
    const char* p = static_cast<const char*>(block);
    if (used == 0 && size >= kDirectWrite) {  // large pieces need no copy
      if (!writeAt(p, size, bufStart)) {
        status = kWriteError;
        break;
      }
      bufStart += static_cast<int64_t>(size);
      end = std::max<int64_t>(end, bufStart);
      continue;
    }
    while (size > 0) {
      size_t take = std::min(size, kWriteBuffer - used);
      std::memcpy(m_buf.get() + used, p, take);
      used += take;
      p += take;
      size -= take;
      if (used == kWriteBuffer && !flush()) {
        status = kWriteError;
        break;
      }
    }
    if (status != kOk) break;
    end = std::max<int64_t>(end, offset + static_cast<int64_t>(p - static_cast<const char*>(block)));
  }
  if (status == kOk && !flush()) status = kWriteError;
  int64_t size = archive_entry_size_is_set(e) ? archive_entry_size(e) : end;
  if (status == kOk && size > bufStart && ::ftruncate(fd, size) != 0) status = kWriteError;
  if (status == kWriteError) PrintError("can not write output file");
  if (status == kOk) {
    mode_t perm = archive_entry_perm(e) & 0777 & ~ProcessUmask();
    if (perm != (0666 & ~ProcessUmask())) ::fchmod(fd, perm);
    if (archive_entry_mtime_is_set(e)) {
      struct timespec times[2];
      times[0].tv_sec = 0;
      times[0].tv_nsec = UTIME_OMIT;
      times[1].tv_sec = archive_entry_mtime(e);
      times[1].tv_nsec = archive_entry_mtime_nsec(e);
      ::futimens(fd, times);
    }
  }
  if (::close(fd) != 0 && status == kOk) {
    PrintError("can not close output file");
    status = kWriteError;
  }
  return status;
}

int Extractor::HandleEntry(archive* a, archive_entry* e) {
  const char* raw = archive_entry_pathname_utf8(e);
  if (!raw) raw = archive_entry_pathname(e);
  std::string name = raw ? raw : "";
  mode_t type = archive_entry_filetype(e);
  bool isDir = type == AE_IFDIR;
  std::string shown = name;
  while (isDir && !shown.empty() && shown.back() == '/') shown.pop_back();
  Print("Extracting " + shown);

  std::vector<std::string> parts;
  if (!SplitEntryName(name, &parts) || (parts.empty() && !isDir)) {
    PrintError("unsafe entry name: " + name);
    return kWriteError;
  }
  if (isDir) {
    Print("/");
    std::string dir;
    if (!MakeParents(parts, parts.size(), &dir)) return kWriteError;
    Print("\n");
    return kOk;
  }
  std::string dir;
  if (!MakeParents(parts, parts.size() - 1, &dir)) return kWriteError;
  std::string path = (dir == "/" ? "" : dir) + "/" + parts.back();

  if (type == AE_IFLNK) {
    const char* target = archive_entry_symlink_utf8(e);
    if (!target) target = archive_entry_symlink(e);
    std::string realDir = RealPath(dir);
    if (!target || realDir.empty() || !LinkTargetInside(m_realRoot, realDir, target)) {
      PrintError(std::string("symlink leads outside the output folder: ") + name + " -> " +
                 (target ? target : ""));
      return kWriteError;
    }
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) ::unlink(path.c_str());
    if (::symlink(target, path.c_str()) != 0) {
      PrintError("can not open output file");
      return kWriteError;
    }
    Print("\n");
    return kOk;
  }
  if (type != AE_IFREG && type != 0) {  // devices, fifos, sockets: not for a client folder
    Print("\n");
    return kOk;
  }
  int status = WriteFile(a, e, path);
  if (status == kOk) Print("\n");
  return status;
}

int Extractor::Run(const char* archivePath) {
  Print("\n7z client package extractor (" + std::string(archive_version_string()) + ")\n\n");
  int probe = ::open(archivePath, O_RDONLY | O_CLOEXEC);
  if (probe < 0) {
    PrintError("can not open input file");
    return 1;
  }
  ::close(probe);

  m_realRoot = RealPath(m_outDir.empty() ? "." : m_outDir);
  int64_t count = 0;
  int status = kOk;
  switch (CheckSevenZipHeader(archivePath)) {
    case SevenZipHeaderCheck::kPlausible: break;
    case SevenZipHeaderCheck::kBeyondFile:
      PrintError("archive header lies beyond the end of the file");
      status = kHeaderRefused;
      break;
    case SevenZipHeaderCheck::kTooLarge:
      PrintError("archive header names an implausible size");
      status = kHeaderRefused;
      break;
  }
  if (status == kOk) status = m_realRoot.empty() ? kWriteError : CountEntries(archivePath, &count);
  if (status == kOk) {
    ArchivePtr a;
    status = OpenReader(archivePath, &a);
    for (int64_t i = 0; status == kOk && i < count; ++i) {
      archive_entry* e;
      int r = archive_read_next_header(a.get(), &e);
      if (r == ARCHIVE_EOF) break;
      if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
        status = StatusOf(a.get());
        break;
      }
      if (m_progress) {
        auto percent = static_cast<uintptr_t>(static_cast<double>(i) * 100.0 /
                                              static_cast<double>(count));
        m_progress->SendProgressMessage(WM_EXTRACT_PROGRESS, percent, 0);
      }
      status = HandleEntry(a.get(), e);
    }
  }
  std::fflush(stdout);
  switch (status) {
    case kOk: Print("\nEverything is Ok\n"); break;
    case kUnsupported: PrintError("decoder doesn't support this archive"); break;
    case kNoMemory: PrintError("can not allocate memory"); break;
    case kCrcError: PrintError("CRC error"); break;
    case kHeaderRefused: break;
    default: Print("\nERROR #" + std::to_string(status) + "\n"); break;
  }
  std::fflush(stdout);
  return status == kOk ? 0 : 1;
}

}  // namespace

int ExtractClientArchive(const char* archivePath, const wchar_t* outputDir,
                         IProgressTarget* progress) {
  if (!archivePath) return -1;
  std::string out;
  if (outputDir) {
    out = platform::WideToUtf8(outputDir);
    if (out.empty()) return -1;
    if (out.back() != '/' && out.back() != '\\') out += '/';
    if (out.back() == '\\') out.back() = '/';
    struct stat st;
    if (::stat(out.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return -1;
  }
  platform::ScopedUtf8Locale utf8;  // entry names are UTF-8 whatever the process locale
  Extractor ex(out, progress);
  return ex.Run(archivePath);
}
