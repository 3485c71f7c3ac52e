#include "tests/support/pack_files.h"

#include <archive.h>
#include <archive_entry.h>

bool WriteZipFile(const std::string& path, const std::vector<ZipItem>& items) {
  archive* writer = archive_write_new();
  // Names go in as UTF-8 and are marked so, whatever the process's locale.
  bool ok = archive_write_set_format_zip(writer) == ARCHIVE_OK &&
            archive_write_set_options(writer, "zip:hdrcharset=UTF-8") == ARCHIVE_OK &&
            archive_write_open_filename(writer, path.c_str()) == ARCHIVE_OK;
  for (const ZipItem& item : items) {
    if (!ok) break;
    archive_entry* entry = archive_entry_new();
    const bool folder = !item.name.empty() && item.name.back() == '/';
    archive_entry_set_pathname_utf8(entry, item.name.c_str());
    archive_entry_set_filetype(entry, folder ? AE_IFDIR : AE_IFREG);
    archive_entry_set_perm(entry, folder ? 0755 : 0644);
    archive_entry_set_size(entry, folder ? 0 : static_cast<la_int64_t>(item.data.size()));
    ok = archive_write_header(writer, entry) == ARCHIVE_OK;
    if (ok && !folder && !item.data.empty()) {
      ok = archive_write_data(writer, item.data.data(), item.data.size()) == static_cast<la_ssize_t>(item.data.size());
    }
    archive_entry_free(entry);
  }
  ok = archive_write_close(writer) == ARCHIVE_OK && ok;
  archive_write_free(writer);
  return ok;
}
