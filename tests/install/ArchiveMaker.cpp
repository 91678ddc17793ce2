// 7z test archives written with libarchive.
#include "ArchiveMaker.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include "platform/Utf8Locale.h"

namespace testinstall {

bool Make7z(const std::string& path, const std::vector<ArchiveItem>& items,
            const std::string& compression) {
  platform::ScopedUtf8Locale utf8;
  archive* a = archive_write_new();
  bool ok = archive_write_set_format_7zip(a) == ARCHIVE_OK &&
            archive_write_set_format_option(a, "7zip", "compression", compression.c_str()) ==
                ARCHIVE_OK &&
            archive_write_open_filename(a, path.c_str()) == ARCHIVE_OK;
  for (const ArchiveItem& item : items) {
    if (!ok) break;
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, item.name.c_str());
    archive_entry_set_mtime(e, 1700000000, 0);
    switch (item.kind) {
      case ArchiveItem::File:
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_size(e, static_cast<la_int64_t>(item.content.size()));
        break;
      case ArchiveItem::Dir:
        archive_entry_set_filetype(e, AE_IFDIR);
        break;
      case ArchiveItem::Symlink:
        archive_entry_set_filetype(e, AE_IFLNK);
        archive_entry_set_symlink(e, item.content.c_str());
        break;
    }
    archive_entry_set_perm(e, static_cast<mode_t>(item.mode));
    ok = archive_write_header(a, e) == ARCHIVE_OK;
    if (ok && item.kind == ArchiveItem::File && !item.content.empty())
      ok = archive_write_data(a, item.content.data(), item.content.size()) ==
           static_cast<la_ssize_t>(item.content.size());
    archive_entry_free(e);
  }
  ok = archive_write_close(a) == ARCHIVE_OK && ok;
  archive_write_free(a);
  return ok;
}

}  // namespace testinstall
