// The preferences engine: small INI-style text files of group headers ("[name]"), key lines
// ("key = value") and comment lines ("; text"). The whole file is parsed into an ordered list of
// entries when it is opened, reads and writes work on that list, and the file is rewritten in
// one piece at close, only when something was written.
//
// There is one preferences state in the program: opening or creating a file first closes (and
// flushes) whatever the state held. Group and key names compare without regard to the case of
// ASCII letters. Values are raw text: no quoting, no escaping.
//
// Files with a UTF-8 byte-order mark are read as UTF-8; files without one are read as Latin-1
// and written back as UTF-8 with a byte-order mark. Lines may end in LF, CR LF or CR.
//
// Saving is atomic: the complete new text is written to a temporary file in the same folder,
// flushed to the disk and renamed over the old file, so a failed save leaves the old file as it
// was. In a folder that takes no new files, a file the player may write is rewritten in place.
// Failures are reported only by results; the engine shows and logs nothing.
#pragma once

#include <cstdint>

#include "runtime/data/text.h"

// Option bits of prefs_open and prefs_create (the game passes 0).
constexpr int kPrefsNoSpaces = 1;         // write "key=value" instead of "key = value"
constexpr int kPrefsBlankBeforeGroup = 2;  // an empty line before every group header but the first

// Opens a file read-write, or read-only when it cannot be written (changes are then dropped at
// close). Returns non-zero when the file was opened. When it cannot be opened at all, returns 0
// but remembers the path: writes made afterwards create the file at close.
int64_t prefs_open(const Text& path, int options = 0);
// Parses a block of memory with the same rules as a file, read-only: nothing is ever written
// anywhere. The bytes are copied; the block may be freed after the call. Returns non-zero on
// success, 0 for a null block with a non-zero size or a negative size.
int64_t prefs_open_memory(const uint8_t* data, int64_t size);
// Starts an empty file that is written at close (even when nothing is added, it gets its
// byte-order mark). The old file stays untouched until then. Returns 0 when the file cannot be
// written (folder not writable, or a file there that is not writable).
int64_t prefs_create(const Text& path, int options = 0);
// Writes the file when something was written (and it is writable), then clears the state.
// Returns 0 when writes were lost: the file could not be written, or it was read-only.
int prefs_close();

// Selects a group. An empty name selects the keys before the first group header and returns 1.
// A missing group returns 0 and becomes pending: reads in it give their defaults and the first
// write appends it to the end of the file.
int prefs_select_group(const Text& name);

// Reads a key of the selected group. An integer value is read as a decimal number (leading
// blanks and a sign allowed, stops at the first non-digit, no digits give 0); a missing key
// gives the default. Strings come back without leading and trailing blanks.
int32_t prefs_read_int(const Text& key, int32_t default_value);
Text prefs_read_string(const Text& key, const Text& default_value = Text());

// Writes a key of the selected group: an existing key takes the new value and the spelling of
// the name given here; a new key goes after the group's last entry. Line ends inside names,
// values and comments are written as blanks.
void prefs_write_int(const Text& key, int32_t value);
void prefs_write_string(const Text& key, const Text& value);
// Inserts a comment line after the entry last written, selected or reached. 0 when no file is
// held.
int prefs_write_comment(const Text& text);

// Enumeration: prefs_examine_groups, then prefs_next_group for every group; inside a group,
// prefs_examine_keys, then prefs_next_key for every key with its name and value.
int prefs_examine_groups();
int prefs_next_group();
Text prefs_group_name();  // name of the current group (empty before the first group)
int prefs_examine_keys();
int prefs_next_key();
Text prefs_key_name();
Text prefs_key_value();   // without leading and trailing blanks
