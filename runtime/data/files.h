// Files, directories, paths, locations, arguments, environment, dates, the millisecond clock
// and the machine figures of the log's report. Paths cross to the system as UTF-8.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/data/text.h"

// Text formats of a file.
constexpr int kFileUtf8 = 2;
constexpr int kFileUtf16 = 25;
constexpr int kFileLatin1 = 0;

// Files read and written line by line through a 4096-byte buffer. Handles follow the object
// number rules of runtime/runtime.h.
int64_t file_create(int64_t number, const Text& path);     // created or truncated
int64_t file_open_read(int64_t number, const Text& path);
void file_close(int64_t handle);                           // kAllObjects closes every file
int file_is_open(int64_t handle);
void file_set_format(int64_t handle, int format);          // kFileUtf8 unless set
int file_eof(int64_t handle);                              // 1 at the end, also for no file
Text file_read_line(int64_t handle);
int file_write_line(int64_t handle, const Text& text);
int file_flush(int64_t handle);                            // buffered writes reach the file; 1 on success
// 1 when the line last read ended in a line end (also before any line is read), 0 when the end
// of the file ended it (a last line without its line end) or the handle is not an open file.
int file_line_ended(int64_t handle);

int64_t directory_examine(int64_t number, const Text& path, const Text& pattern);
int directory_next_entry(int64_t handle);
Text directory_entry_name(int64_t handle);
void directory_finish(int64_t handle);                     // kAllObjects finishes every scan
int directory_create(const Text& path);                    // mode 0700; 0 when it exists
int file_delete(const Text& path);
int64_t file_size(const Text& path);                       // -1 missing, -2 a folder

// Saves `bytes` as the whole new content of a file (a symbolic link is followed). The bytes go to
// a temporary file beside it, flushed to the disk and renamed over it, so that a failed save
// leaves the old file as it was. Where the folder takes no new files but the file itself may be
// written (a shared folder with a file the player may write), the file is rewritten in place
// instead. 1 when every byte reached the file, 0 on any failure.
int file_replace(const Text& path, std::string_view bytes);
// 1 when file_replace may succeed: an existing file is a writable regular file, a new one's
// folder takes new files.
int file_replaceable(const Text& path);

// Makes an empty file with a fresh name beside `path` ("." + its name + "." + six characters),
// with the mode a new file under `path` would get; its name, or the empty text on failure.
// Content written there and renamed over `path` is never seen half-written under that name.
Text file_temporary_beside(const Text& path);
// Renames a file, replacing `to` (a file) when it exists. 1 on success.
int file_rename(const Text& from, const Text& to);

// An exclusive lock that lasts until file_unlock or the end of the process, however it ends
// (the system drops it with the process; no file is left to clean up). It is taken on the file
// `path` (made empty when missing); where that can neither be made nor opened, on the folder
// that holds it. A number of 0 or more for file_unlock when taken; kLockHeld when another
// process (or another lock of this one) holds it; kLockUnavailable when nothing can be locked.
constexpr int kLockHeld = -1;
constexpr int kLockUnavailable = -2;
int file_lock(const Text& path);
void file_unlock(int lock);

Text path_part(const Text& path);
constexpr int kWithoutExtension = 1;
Text file_part(const Text& path, int flags);
Text extension_part(const Text& path);

Text home_directory();
Text temporary_directory();
Text program_filename();
// The program's arguments; main hands them over once. Without that, the process's own
// command line is read.
void program_set_arguments(int argc, char** argv);
Text program_parameter();
int program_parameter_count();
Text environment_variable(const Text& name);

// Dates: seconds since 1970-01-01 00:00:00 of wall-clock time (local time stored as if UTC),
// valid up to 2038-01-19 03:14:07; -1 is the invalid date.
int64_t date_now();
int64_t date_make(int year, int month, int day, int hour, int minute, int second);
Text date_format(const Text& mask, int64_t date);

int64_t elapsed_ms();
void delay_ms(int64_t milliseconds);

Text cpu_name();
int cpu_count(int kind);        // 0 configured, other online; at least 1
int64_t memory_status(int kind);  // 0 total, 1 available, 4 swap total, 5 swap free, 6 page size
int os_version();
