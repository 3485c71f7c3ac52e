// Files, directories, paths, locations, dates, the clock and machine figures.
//
// Lines are read byte by byte up to their end (LF, CR, CR LF, a zero byte or the end of the
// file); a UTF-8 line's bytes are then decoded by the runtime's one decoder, text_from_utf8 (a
// malformed sequence reads as "?").
#include "runtime/data/files.h"

#include <cpuid.h>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/runtime.h"

namespace {

constexpr size_t kFileBufferSize = 4096;

struct FileRecord {
  FILE* stream = nullptr;
  std::vector<char> buffer = std::vector<char>(kFileBufferSize);
  int format = kFileUtf8;
  bool read_only = false;
  bool line_ended = true;  // the last line read ended in a line end, not at the end of the file
  ~FileRecord() {
    if (stream) std::fclose(stream);  // flushes what is still buffered
  }
};

struct DirectoryRecord {
  DIR* dir = nullptr;
  std::string folder;   // ends in "/"
  std::string pattern;  // empty matches everything
  std::string entry;
  ~DirectoryRecord() {
    if (dir) closedir(dir);
  }
};

struct FilesState {
  ObjectTable<FileRecord> files;
  ObjectTable<DirectoryRecord> directories;
  std::vector<std::string> arguments;  // without the program name
  bool arguments_known = false;
  size_t next_argument = 0;
  bool clock_started = false;
  int64_t clock_base = 0;
};
FilesState Files;

int64_t OpenFile(int64_t number, const Text& path, const char* mode, bool read_only) {
  // A number the table cannot hold is refused before the file is touched: "w+" would already
  // have emptied it.
  if (!Files.files.CanHold(number)) return 0;
  FILE* stream = std::fopen(text_to_utf8(path).c_str(), mode);
  if (!stream) return 0;
  int64_t handle = 0;
  FileRecord* file = Files.files.Create(number, &handle);
  if (!file) {
    std::fclose(stream);
    return 0;
  }
  file->stream = stream;
  file->read_only = read_only;
  std::setvbuf(stream, file->buffer.data(), _IOFBF, file->buffer.size());
  return handle;
}

FileRecord* OpenRecord(int64_t handle) {
  FileRecord* file = Files.files.Find(handle);
  return file && file->stream ? file : nullptr;
}

bool IsLineEnd(int c) { return c == '\n' || c == '\r' || c == 0 || c == EOF; }

// After CR, a directly following LF belongs to the same line end. False when the line had no
// line end but the end of the file.
bool ConsumeLineEnd(FILE* stream, int c) {
  if (c == EOF) return false;
  if (c != '\r') return true;
  const int next = std::fgetc(stream);
  if (next != '\n' && next != EOF) std::ungetc(next, stream);
  return true;
}

// Every line end is an ASCII byte, which no UTF-8 sequence contains: the line's bytes can be
// gathered first and decoded whole.
Text ReadUtf8Line(FILE* stream, bool* ended) {
  std::string bytes;
  int c;
  while (!IsLineEnd(c = std::fgetc(stream))) bytes.push_back(static_cast<char>(c));
  *ended = ConsumeLineEnd(stream, c);
  return text_from_utf8(bytes);
}

Text ReadLatin1Line(FILE* stream, bool* ended) {
  Text line;
  int c;
  while (!IsLineEnd(c = std::fgetc(stream))) line.push_back(static_cast<char16_t>(c));
  *ended = ConsumeLineEnd(stream, c);
  return line;
}

// Reads one little-endian unit; EOF when fewer than two bytes are left.
int ReadUnit(FILE* stream) {
  const int low = std::fgetc(stream);
  if (low == EOF) return EOF;
  const int high = std::fgetc(stream);
  return high == EOF ? EOF : low | (high << 8);
}

Text ReadUtf16Line(FILE* stream, bool* ended) {
  Text line;
  int unit;
  while ((unit = ReadUnit(stream)) != EOF && unit != '\n' && unit != 0) {
    if (unit == '\r') {
      const long after_cr = std::ftell(stream);
      if (ReadUnit(stream) != '\n') std::fseek(stream, after_cr, SEEK_SET);
      break;
    }
    line.push_back(static_cast<char16_t>(unit));
  }
  *ended = unit != EOF;
  return line;
}

std::string Utf8(const Text& text) { return text_to_utf8(text); }

// A leading double quote is skipped and the path ends at the next one.
Text Unquoted(const Text& path) {
  if (path.empty() || path[0] != u'"') return path;
  const size_t end = path.find(u'"', 1);
  return path.substr(1, end == Text::npos ? Text::npos : end - 1);
}

void LoadArgumentsFromSystem() {
  if (Files.arguments_known) return;
  Files.arguments_known = true;
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t start = 0;
  bool first = true;
  while (start < all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    if (!first) Files.arguments.push_back(all.substr(start, end - start));
    first = false;
    start = end + 1;
  }
}

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

Text TwoDigits(int value) { return str_pad_left(str_from_int(value), 2, u"0"); }

}  // namespace

int64_t file_create(int64_t number, const Text& path) { return OpenFile(number, path, "w+", false); }

int64_t file_open_read(int64_t number, const Text& path) { return OpenFile(number, path, "r", true); }

void file_close(int64_t handle) { Files.files.Free(handle); }

int file_is_open(int64_t handle) { return OpenRecord(handle) ? 1 : 0; }

void file_set_format(int64_t handle, int format) {
  if (FileRecord* file = OpenRecord(handle)) file->format = format;
}

int file_eof(int64_t handle) {
  FileRecord* file = OpenRecord(handle);
  if (!file) return 1;
  const int c = std::fgetc(file->stream);
  if (c == EOF) return 1;
  std::ungetc(c, file->stream);
  return 0;
}

Text file_read_line(int64_t handle) {
  FileRecord* file = OpenRecord(handle);
  if (!file) return Text();
  std::fflush(file->stream);  // pending writes reach the file before it is read
  if (file->format == kFileUtf8) return ReadUtf8Line(file->stream, &file->line_ended);
  if (file->format == kFileUtf16) return ReadUtf16Line(file->stream, &file->line_ended);
  return ReadLatin1Line(file->stream, &file->line_ended);
}

int file_line_ended(int64_t handle) {
  FileRecord* file = OpenRecord(handle);
  return file && file->line_ended ? 1 : 0;
}

int file_write_line(int64_t handle, const Text& text) {
  FileRecord* file = OpenRecord(handle);
  if (!file) return 0;
  std::string bytes;
  if (file->format == kFileUtf8) {
    bytes = text_to_utf8(text) + "\n";
  } else if (file->format == kFileUtf16) {
    for (char16_t unit : text + u"\n") {
      bytes.push_back(static_cast<char>(unit & 0xFF));
      bytes.push_back(static_cast<char>(unit >> 8));
    }
  } else {
    bytes = text_to_latin1(text) + "\n";
  }
  // A write the stream refuses (a file opened for reading, a full disk met while the buffer is
  // flushed) is no success.
  return std::fwrite(bytes.data(), 1, bytes.size(), file->stream) == bytes.size() ? 1 : 0;
}

int file_flush(int64_t handle) {
  FileRecord* file = OpenRecord(handle);
  return file && std::fflush(file->stream) == 0 ? 1 : 0;
}

int64_t directory_examine(int64_t number, const Text& path, const Text& pattern) {
  std::string folder = Utf8(path);
  if (folder.empty()) folder = "./";
  if (folder.back() != '/') folder += '/';
  DIR* dir = opendir(folder.c_str());
  if (!dir) return 0;
  int64_t handle = 0;
  DirectoryRecord* record = Files.directories.Create(number, &handle);
  if (!record) {
    closedir(dir);
    return 0;
  }
  record->dir = dir;
  record->folder = folder;
  record->pattern = pattern == u"*.*" ? "*" : Utf8(pattern);
  return handle;
}

int directory_next_entry(int64_t handle) {
  DirectoryRecord* record = Files.directories.Find(handle);
  if (!record || !record->dir) return 0;
  while (dirent* entry = readdir(record->dir)) {
    if (!record->pattern.empty() && fnmatch(record->pattern.c_str(), entry->d_name, FNM_PATHNAME) != 0) continue;
    struct stat info;
    if (lstat((record->folder + entry->d_name).c_str(), &info) != 0) continue;
    record->entry = entry->d_name;
    return 1;
  }
  record->entry.clear();
  return 0;
}

Text directory_entry_name(int64_t handle) {
  DirectoryRecord* record = Files.directories.Find(handle);
  return record ? text_from_utf8(record->entry) : Text();
}

void directory_finish(int64_t handle) { Files.directories.Free(handle); }

int directory_create(const Text& path) { return mkdir(Utf8(path).c_str(), 0700) == 0 ? 1 : 0; }

int file_delete(const Text& path) { return std::remove(Utf8(path).c_str()) == 0 ? 1 : 0; }

int64_t file_size(const Text& path) {
  struct stat info;
  if (stat(Utf8(path).c_str(), &info) != 0) return -1;
  if (S_ISDIR(info.st_mode)) return -2;
  return info.st_size;
}

Text path_part(const Text& path) {
  const Text p = Unquoted(path);
  const size_t slash = p.rfind(u'/');
  return slash == Text::npos ? Text() : p.substr(0, slash + 1);
}

Text file_part(const Text& path, int flags) {
  const Text p = Unquoted(path);
  const size_t slash = p.rfind(u'/');
  Text name = slash == Text::npos ? p : p.substr(slash + 1);
  if (flags & kWithoutExtension) {
    // Search backwards for the dot, stopping at a blank; a dot at the very end is kept.
    for (size_t i = name.size(); i-- > 0;) {
      if (name[i] == u' ') break;
      if (name[i] == u'.') {
        if (i + 1 < name.size()) name.resize(i);
        break;
      }
    }
  }
  return name;
}

Text extension_part(const Text& path) {
  const Text p = Unquoted(path);
  for (size_t i = p.size(); i-- > 0;) {
    const char16_t c = p[i];
    if (c == u' ' || c == u'/') return Text();
    if (c == u'.') {
      if (i == 0) return Text();
      if (p[i - 1] == u'/' || p[i - 1] == u'\\') return Text();
      return p.substr(i + 1);
    }
  }
  return Text();
}

Text home_directory() {
  const char* home = std::getenv("HOME");
  if (!home) return Text();
  Text result = text_from_utf8(home);
  if (result.size() > 1 && result.back() != u'/') result += u'/';
  return result;
}

Text temporary_directory() { return u"/tmp/"; }

Text program_filename() {
  std::vector<char> buffer(255);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) break;
    if (static_cast<size_t>(n) < buffer.size()) return text_from_utf8(std::string(buffer.data(), n));
    buffer.resize(buffer.size() + 256);
  }
  LoadArgumentsFromSystem();
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string first;
  std::getline(in, first, '\0');
  return text_from_utf8(first);
}

void program_set_arguments(int argc, char** argv) {
  Files.arguments.clear();
  for (int i = 1; i < argc; ++i) Files.arguments.push_back(argv[i] ? argv[i] : "");
  Files.arguments_known = true;
  Files.next_argument = 0;
}

Text program_parameter() {
  LoadArgumentsFromSystem();
  if (Files.next_argument >= Files.arguments.size()) return Text();
  return text_from_utf8(Files.arguments[Files.next_argument++]);
}

int program_parameter_count() {
  LoadArgumentsFromSystem();
  return static_cast<int>(Files.arguments.size());
}

Text environment_variable(const Text& name) {
  const char* value = std::getenv(Utf8(name).c_str());
  return value ? text_from_utf8(value) : Text();
}

int64_t date_now() {
  const time_t now = std::time(nullptr);
  struct tm local;
  if (!localtime_r(&now, &local)) return -1;
  return date_make(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                   local.tm_sec);
}

int64_t date_make(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1970 || year > 2038) return -1;
  if (month < 1 || month > 12 || day < 1 || day > 31) return -1;
  if (day == 31 && (month == 4 || month == 6 || month == 9 || month == 11)) return -1;
  if (month == 2 && (day >= 30 || (day == 29 && !IsLeapYear(year)))) return -1;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return -1;
  if (year == 1970 && month == 1 && day == 1) return hour * 3600 + minute * 60 + second;
  struct tm fields = {};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  const int64_t date = timegm(&fields);
  return date > 2147483647 ? -1 : date;
}

Text date_format(const Text& mask, int64_t date) {
  struct tm fields = {};
  bool valid = false;
  if (date >= 0) {
    const time_t t = static_cast<time_t>(date);
    valid = gmtime_r(&t, &fields) != nullptr;
  }
  const int year = valid ? fields.tm_year + 1900 : 0;
  const int values[] = {valid ? fields.tm_mon + 1 : 0, valid ? fields.tm_mday : 0, valid ? fields.tm_hour : 0,
                        valid ? fields.tm_min : 0, valid ? fields.tm_sec : 0};
  const char16_t* two_letter_tokens[] = {u"mm", u"dd", u"hh", u"ii", u"ss"};

  const Text lower = str_lower(mask);
  auto token_at = [&](size_t i, const char16_t* token) {
    return lower.compare(i, std::char_traits<char16_t>::length(token), token) == 0;
  };
  Text out;
  for (size_t i = 0; i < mask.size();) {
    if (mask[i] != u'%') {
      out += mask[i++];
      continue;
    }
    if (token_at(i + 1, u"yyyy")) {
      out += str_pad_left(str_from_int(year), 4, u"0");
      i += 5;
      continue;
    }
    if (token_at(i + 1, u"yy")) {
      out += TwoDigits(year % 100);
      i += 3;
      continue;
    }
    bool replaced = false;
    for (int k = 0; k < 5 && !replaced; ++k) {
      if (token_at(i + 1, two_letter_tokens[k])) {
        out += TwoDigits(values[k]);
        i += 3;
        replaced = true;
      }
    }
    if (!replaced) out += mask[i++];
  }
  return out;
}

int64_t elapsed_ms() {
  struct timeval now;
  gettimeofday(&now, nullptr);
  if (!Files.clock_started) {
    Files.clock_started = true;
    Files.clock_base = now.tv_sec;
  }
  return (now.tv_sec - Files.clock_base) * 1000 + now.tv_usec / 1000;
}

void delay_ms(int64_t milliseconds) {
  if (milliseconds <= 0) return;
  struct timespec wait = {static_cast<time_t>(milliseconds / 1000), static_cast<long>((milliseconds % 1000) * 1000000)};
  nanosleep(&wait, nullptr);
}

Text cpu_name() {
  unsigned int regs[12] = {};
  if (static_cast<unsigned int>(__get_cpuid_max(0x80000000u, nullptr)) < 0x80000004u) return Text();
  for (unsigned int leaf = 0; leaf < 3; ++leaf) {
    __get_cpuid(0x80000002 + leaf, &regs[leaf * 4], &regs[leaf * 4 + 1], &regs[leaf * 4 + 2], &regs[leaf * 4 + 3]);
  }
  char brand[49] = {};  // the brand string need not end in a zero within its 48 bytes
  std::memcpy(brand, regs, 48);
  const char* start = brand;
  while (*start == ' ' || *start == '\t') ++start;
  return text_from_latin1(start);
}

int cpu_count(int kind) {
  const long n = sysconf(kind == 0 ? _SC_NPROCESSORS_CONF : _SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

int64_t memory_status(int kind) {
  const int64_t page = sysconf(_SC_PAGESIZE);
  switch (kind) {
    case 0: return sysconf(_SC_PHYS_PAGES) * page;
    case 1: return sysconf(_SC_AVPHYS_PAGES) * page;
    case 4:
    case 5: {
      const std::string name = kind == 4 ? "SwapTotal:" : "SwapFree:";
      std::ifstream in("/proc/meminfo");
      std::string line;
      while (std::getline(in, line)) {
        if (line.compare(0, name.size(), name) == 0) return std::atoll(line.c_str() + name.size()) * 1024;
      }
      return 0;
    }
    case 6: return page;
    default: return 0;
  }
}

int os_version() {
  struct utsname info;
  if (uname(&info) != 0) return 1000;
  if (std::strncmp(info.release, "2.4.", 4) == 0) return 1100;
  if (std::strncmp(info.release, "2.6.", 4) == 0) return 1200;
  return 2000;
}

// ---- Saving a file whole ----

namespace {

// The file a path names, following symbolic links so that replacing it keeps the link.
std::string ResolvedTarget(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return path;
  std::string target(resolved);
  std::free(resolved);
  return target;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

mode_t NewFileMode(const std::string& target) {
  struct stat info;
  if (stat(target.c_str(), &info) == 0) return info.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Reads a whole open file from its start; false on a read error.
bool ReadAll(int fd, std::string& bytes) {
  bytes.clear();
  char chunk[4096];
  for (off_t at = 0;;) {
    const ssize_t got = pread(fd, chunk, sizeof chunk, at);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    bytes.append(chunk, static_cast<size_t>(got));
    at += got;
  }
}

// Writes bytes at an offset; the count of bytes that reached the file (all of them on success).
size_t WriteAt(int fd, std::string_view bytes, off_t at) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = pwrite(fd, bytes.data() + done, bytes.size() - done, at + static_cast<off_t>(done));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    done += static_cast<size_t>(written);
  }
  return done;
}

// The largest file the process may write (the file-size limit), or the largest offset.
uint64_t LargestFile() {
  rlimit limit;
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
  return limit.rlim_cur;
}

// Puts the old text of a file back after a failed rewrite: its first `changed` bytes (those the
// rewrite reached) and its length. 1 when that worked.
bool RestoreOld(int fd, std::string_view old, size_t changed) {
  return WriteAt(fd, old.substr(0, changed), 0) == changed && ftruncate(fd, static_cast<off_t>(old.size())) == 0 &&
         fsync(fd) == 0;
}

// The fallback where no temporary file can be made beside the target: the bytes are written over
// the file itself. It is never left part old, part new. Nothing is written when the new length
// is beyond the file-size limit; a file that grows first gets its new bytes past the old end,
// so that a full disk or a quota fails before any old byte is touched; and when a later step
// fails all the same, the old bytes are written back and the file is cut to its old length.
bool RewriteInPlace(const std::string& target, std::string_view bytes) {
  const int fd = open(target.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  std::string old;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && bytes.size() <= LargestFile() && ReadAll(fd, old);
  if (ok && bytes != old) {
    const size_t common = std::min(old.size(), bytes.size());
    if (bytes.size() > old.size()) {
      ok = WriteAt(fd, bytes.substr(common), static_cast<off_t>(common)) == bytes.size() - common;
      if (!ok) RestoreOld(fd, old, 0);
    }
    size_t changed = 0;
    bool cut = false;  // the old text was overwritten whole and the file cut to the new length
    if (ok) {
      changed = WriteAt(fd, bytes.substr(0, common), 0);
      ok = changed == common;
      cut = ok;
      ok = ok && ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && fsync(fd) == 0;
    }
    // A write that stopped part-way is undone over the bytes it reached, which therefore fit;
    // after a failed cut or flush the whole old text goes back.
    if (!ok) RestoreOld(fd, old, cut ? old.size() : changed);
  }
  ok = close(fd) == 0 && ok;
  return ok;
}

bool Replaceable(const std::string& target) {
  if (target.empty()) return false;
  struct stat info;
  if (stat(target.c_str(), &info) == 0) {
    // An existing file must be a writable regular file; it can then be rewritten in place even
    // where the folder takes no new files.
    return S_ISREG(info.st_mode) && access(target.c_str(), W_OK) == 0;
  }
  return access(FolderOf(target).c_str(), W_OK | X_OK) == 0;
}

}  // namespace

int file_replaceable(const Text& path) { return Replaceable(ResolvedTarget(Utf8(path))) ? 1 : 0; }

int file_replace(const Text& path, std::string_view bytes) {
  const std::string target = ResolvedTarget(Utf8(path));
  if (!Replaceable(target)) return 0;
  const std::string folder = FolderOf(target);
  const size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temporary = folder + "/." + base + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return RewriteInPlace(target, bytes) ? 1 : 0;
  bool ok = fchmod(fd, NewFileMode(target)) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (ok) ok = rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    unlink(temporary.c_str());
    return 0;
  }
  // The rename itself reaches the disk with the folder.
  const int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd >= 0) {
    fsync(folder_fd);
    close(folder_fd);
  }
  return 1;
}

// ---- Temporary names, renaming and locks ----

Text file_temporary_beside(const Text& path) {
  const std::string target = Utf8(path);
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty()) return Text();
  std::string temporary = folder + "." + base + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return Text();
  // The file gets the mode a file made under its final name would have had.
  const bool ok = fchmod(fd, NewFileMode(target)) == 0;
  close(fd);
  if (!ok) {
    unlink(temporary.c_str());
    return Text();
  }
  return text_from_utf8(temporary);
}

int file_rename(const Text& from, const Text& to) {
  return rename(Utf8(from).c_str(), Utf8(to).c_str()) == 0 ? 1 : 0;
}

int file_lock(const Text& path) {
  const std::string name = Utf8(path);
  if (name.empty()) return kLockUnavailable;
  int fd = open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  // In a folder that takes no new files, a lock file already there, else the folder itself.
  if (fd < 0) fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) fd = open(FolderOf(name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return kLockUnavailable;
  int locked;
  while ((locked = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (locked == 0) return fd;
  const bool held = errno == EWOULDBLOCK;
  close(fd);
  return held ? kLockHeld : kLockUnavailable;
}

void file_unlock(int lock) {
  if (lock >= 0) close(lock);
}
