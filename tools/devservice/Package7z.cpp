// 7z packing streams each file through libarchive in blocks, so large packages
// for benches need no more memory than small ones.
#include "tools/devservice/Package7z.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/Utf8Locale.h"

namespace devservice {
namespace {

namespace fs = std::filesystem;

struct ArchiveFree { void operator()(archive* a) const { archive_write_free(a); } };
struct EntryFree { void operator()(archive_entry* e) const { archive_entry_free(e); } };
struct FileClose { void operator()(std::FILE* f) const { std::fclose(f); } };

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

}  // namespace

bool Build7z(const std::string& folder, const std::string& archivePath, std::string* error,
             int level) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return Fail(error, "not a folder: " + folder);

  std::vector<fs::path> items;
  for (auto it = fs::recursive_directory_iterator(folder, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_symlink(ec)) continue;
    if (it->is_directory(ec) || it->is_regular_file(ec)) items.push_back(it->path());
  }
  if (ec) return Fail(error, "cannot list " + folder + ": " + ec.message());
  std::sort(items.begin(), items.end());  // stable archives for equal folders

  platform::ScopedUtf8Locale utf8;
  std::unique_ptr<archive, ArchiveFree> a(archive_write_new());
  if (!a || archive_write_set_format_7zip(a.get()) != ARCHIVE_OK ||
      archive_write_set_format_option(a.get(), "7zip", "compression", "lzma2") != ARCHIVE_OK ||
      archive_write_set_format_option(a.get(), "7zip", "compression-level",
                                      std::to_string(level < 0 ? 0 : level > 9 ? 9 : level).c_str()) !=
          ARCHIVE_OK)
    return Fail(error, std::string("7z writer unavailable: ") + archive_error_string(a.get()));
  if (archive_write_open_filename(a.get(), archivePath.c_str()) != ARCHIVE_OK)
    return Fail(error, std::string("cannot create archive: ") + archive_error_string(a.get()));

  std::vector<char> buf(1 << 16);
  for (const fs::path& p : items) {
    struct stat st;
    if (lstat(p.c_str(), &st) != 0) return Fail(error, "cannot stat " + p.string());
    std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
    archive_entry_set_pathname_utf8(entry.get(), fs::relative(p, folder).generic_string().c_str());
    archive_entry_set_mode(entry.get(), st.st_mode);
    archive_entry_set_mtime(entry.get(), st.st_mtime, 0);
    archive_entry_set_size(entry.get(), S_ISREG(st.st_mode) ? st.st_size : 0);
    if (archive_write_header(a.get(), entry.get()) != ARCHIVE_OK)
      return Fail(error, std::string("cannot add entry: ") + archive_error_string(a.get()));
    if (!S_ISREG(st.st_mode)) continue;
    std::unique_ptr<std::FILE, FileClose> in(std::fopen(p.c_str(), "rb"));
    if (!in) return Fail(error, "cannot read " + p.string());
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), in.get())) > 0) {
      if (archive_write_data(a.get(), buf.data(), n) != static_cast<la_ssize_t>(n))
        return Fail(error, std::string("cannot write entry: ") + archive_error_string(a.get()));
    }
    if (std::ferror(in.get())) return Fail(error, "cannot read " + p.string());
  }
  if (archive_write_close(a.get()) != ARCHIVE_OK)
    return Fail(error, std::string("cannot finish archive: ") + archive_error_string(a.get()));
  return true;
}

bool FileCrc32(const std::string& path, uint32_t* crc, uint64_t* size) {
  std::unique_ptr<std::FILE, FileClose> in(std::fopen(path.c_str(), "rb"));
  if (!in) return false;
  std::vector<unsigned char> buf(1 << 16);
  uLong c = crc32(0L, Z_NULL, 0);
  uint64_t total = 0;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), in.get())) > 0) {
    c = crc32(c, buf.data(), static_cast<uInt>(n));
    total += n;
  }
  if (std::ferror(in.get())) return false;
  if (crc) *crc = static_cast<uint32_t>(c);
  if (size) *size = total;
  return true;
}

}  // namespace devservice
