// Feeds arbitrary bytes to the line reader in each of its three text formats.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "runtime/data/files.h"
#include "runtime/runtime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("lines", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) {
    const Text path = text_from_utf8("/proc/self/fd/" + std::to_string(fd));
    for (int format : {kFileUtf8, kFileLatin1, kFileUtf16}) {
      const int64_t file = file_open_read(kNewObject, path);
      if (!file) break;
      file_set_format(file, format);
      size_t lines = 0;
      while (!file_eof(file) && lines++ <= size) file_read_line(file);
      file_close(file);
    }
  }
  close(fd);
  return 0;
}
