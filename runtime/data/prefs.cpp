// The preferences engine: parses a small INI-style file into an ordered list of entries, answers
// reads and takes writes on that list, and writes the whole file again at close when something
// changed. Depends on the C library's files and the runtime's whole-file save; holds no file
// open between calls.
#include "runtime/data/prefs.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <list>
#include <string>
#include <string_view>

#include "runtime/data/files.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Types and state

enum class EntryKind { Group, Comment, Key };

// A group header keeps its name in `name`, a comment its text in `value`, a key both. Texts are
// UTF-8 without line ends.
struct Entry {
  EntryKind kind;
  std::string name;
  std::string value;
};

using EntryList = std::list<Entry>;
using EntryPos = EntryList::iterator;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct PrefsState {
  bool held = false;             // a file, a remembered path or a memory block is held
  std::string path;              // UTF-8 file name; empty for a memory block
  bool read_only = false;        // changes are never written back
  bool modified = false;         // something was written since the open
  bool byte_order_mark = false;  // the file is written as UTF-8 with a byte-order mark
  int options = 0;
  EntryList entries;
  EntryPos current_group = entries.end();  // end = the keys before the first group
  EntryPos current_entry = entries.end();  // end = none; before the first entry when enumerating
  std::string pending_group;     // selected but not yet existing; empty = none
};

PrefsState Prefs;

// ---------------------------------------------------------------------------------------------
// Internal helpers: names and texts

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A name, value or comment as it is stored: line ends inside it become blanks, so that one
// write stays one line of the file and can never add groups or keys of its own.
std::string OneLine(const Text& text) {
  std::string utf8 = text_to_utf8(text);
  for (char& c : utf8) {
    if (IsLineEnd(c)) c = ' ';
  }
  return utf8;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Internal helpers: the state

void ResetState() {
  Prefs.held = false;
  Prefs.path.clear();
  Prefs.read_only = false;
  Prefs.modified = false;
  Prefs.byte_order_mark = false;
  Prefs.options = 0;
  Prefs.entries.clear();
  Prefs.current_group = Prefs.entries.end();
  Prefs.current_entry = Prefs.entries.end();
  Prefs.pending_group.clear();
}

// One line, already without its leading blanks and its line end, becomes one entry.
Entry ParseLine(std::string_view line) {
  if (line.front() == ';') {
    line.remove_prefix(1);
    // Only the one blank that the writer puts after the semicolon is dropped.
    if (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    return Entry{EntryKind::Comment, std::string(), std::string(line)};
  }
  if (line.front() == '[') {
    line.remove_prefix(1);
    return Entry{EntryKind::Group, std::string(line.substr(0, line.find(']'))), std::string()};
  }
  const size_t equals = line.find('=');
  std::string_view key = line.substr(0, equals);
  while (!key.empty() && IsBlank(key.back())) key.remove_suffix(1);
  std::string_view value;
  if (equals != std::string_view::npos) {
    value = line.substr(equals + 1);
    // Trailing blanks of a value are part of it; leading ones are not.
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  }
  return Entry{EntryKind::Key, std::string(key), std::string(value)};
}

// Fills the entry list from UTF-8 text. Any run of CR and LF ends a line.
void ParseText(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    size_t end = i;
    while (end < text.size() && !IsLineEnd(text[end])) ++end;
    const std::string_view line = text.substr(i, end - i);
    i = end;
    while (i < text.size() && IsLineEnd(text[i])) ++i;
    if (!line.empty()) Prefs.entries.push_back(ParseLine(line));
  }
}

// Takes the bytes of a whole file: a byte-order mark means UTF-8, its absence Latin-1. Either
// way the text is written back as UTF-8 with a mark, unless it was empty without one.
void LoadBytes(std::string_view bytes) {
  if (bytes.size() > 2 && bytes.substr(0, 3) == kByteOrderMark) {
    Prefs.byte_order_mark = true;
    bytes.remove_prefix(3);
  }
  if (bytes.empty()) return;
  if (Prefs.byte_order_mark) {
    ParseText(bytes);
  } else {
    ParseText(Latin1ToUtf8(bytes));
    Prefs.byte_order_mark = true;
  }
}

// The whole content of a regular file; false when it cannot be read.
bool ReadWholeFile(std::FILE* file, std::string& bytes) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  char chunk[16384];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  return !std::ferror(file);
}

// ---------------------------------------------------------------------------------------------
// Internal helpers: groups and keys

// The first entry of the current group (after its header), or of the list with no group.
EntryPos GroupBegin() {
  return Prefs.current_group == Prefs.entries.end() ? Prefs.entries.begin()
                                                     : std::next(Prefs.current_group);
}

// The header of the group after the current one, or the end of the list.
EntryPos GroupEnd() {
  EntryPos it = GroupBegin();
  while (it != Prefs.entries.end() && it->kind != EntryKind::Group) ++it;
  return it;
}

EntryPos FindKey(std::string_view key) {
  const EntryPos end = GroupEnd();
  for (EntryPos it = GroupBegin(); it != end; ++it) {
    if (it->kind == EntryKind::Key && SameName(it->name, key)) return it;
  }
  return Prefs.entries.end();
}

// The value of a key of the current group, or nullptr when it is missing.
const std::string* FindValue(const Text& key) {
  if (!Prefs.held || !Prefs.pending_group.empty()) return nullptr;
  const EntryPos it = FindKey(OneLine(key));
  return it == Prefs.entries.end() ? nullptr : &it->value;
}

// A group selected while missing comes into being with the first write, at the end of the file.
void CreatePendingGroup() {
  if (Prefs.pending_group.empty()) return;
  Prefs.entries.push_back(Entry{EntryKind::Group, Prefs.pending_group, std::string()});
  Prefs.current_group = std::prev(Prefs.entries.end());
  Prefs.current_entry = Prefs.current_group;
  Prefs.pending_group.clear();
}

void WriteValue(const Text& key, std::string value) {
  if (!Prefs.held) return;
  CreatePendingGroup();
  std::string name = OneLine(key);
  EntryPos it = FindKey(name);
  if (it == Prefs.entries.end()) {
    it = Prefs.entries.insert(GroupEnd(), Entry{EntryKind::Key, std::move(name), std::move(value)});
  } else {
    it->name = std::move(name);  // the spelling of the last write wins
    it->value = std::move(value);
  }
  Prefs.current_entry = it;
  Prefs.modified = true;
}

const Entry* CurrentKey() {
  if (!Prefs.held || Prefs.current_entry == Prefs.entries.end()) return nullptr;
  return Prefs.current_entry->kind == EntryKind::Key ? &*Prefs.current_entry : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Internal helpers: writing the file

bool HasNonAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

std::string BuildText() {
  std::string body;
  bool first_group = true;
  for (const Entry& entry : Prefs.entries) {
    switch (entry.kind) {
      case EntryKind::Group:
        if ((Prefs.options & kPrefsBlankBeforeGroup) && !first_group) body += '\n';
        first_group = false;
        body += '[';
        body += entry.name;
        body += ']';
        break;
      case EntryKind::Comment:
        body += "; ";
        body += entry.value;
        break;
      case EntryKind::Key:
        body += entry.name;
        body += (Prefs.options & kPrefsNoSpaces) ? "=" : " = ";
        body += entry.value;
        break;
    }
    body += '\n';
  }
  // A file read without a mark is read as Latin-1 next time: UTF-8 letters beyond ASCII would
  // come back garbled, so such a text gets its mark after all.
  if (!Prefs.byte_order_mark && !HasNonAscii(body)) return body;
  std::string text(kByteOrderMark);
  text += '\n';
  text += body;
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Opening and closing

int64_t prefs_open(const Text& path, int options) {
  prefs_close();
  Prefs.held = true;
  Prefs.path = text_to_utf8(path);
  Prefs.options = options;
  std::FILE* file = Prefs.path.empty() ? nullptr : std::fopen(Prefs.path.c_str(), "r+");
  if (!file && !Prefs.path.empty()) {
    file = std::fopen(Prefs.path.c_str(), "r");
    Prefs.read_only = file != nullptr;
  }
  std::string bytes;
  const bool read = file && ReadWholeFile(file, bytes);
  if (file) std::fclose(file);
  if (!read) {
    // Writes are collected for a file made at close.
    Prefs.read_only = false;
    Prefs.byte_order_mark = true;
    return 0;
  }
  LoadBytes(bytes);
  return 1;
}

int64_t prefs_open_memory(const uint8_t* data, int64_t size) {
  prefs_close();
  if (size < 0 || (size > 0 && !data)) return 0;
  Prefs.held = true;
  Prefs.read_only = true;
  if (size > 0) {
    LoadBytes(std::string_view(reinterpret_cast<const char*>(data), static_cast<size_t>(size)));
  }
  return 1;
}

int64_t prefs_create(const Text& path, int options) {
  prefs_close();
  const std::string file = text_to_utf8(path);
  if (!file_replaceable(text_from_utf8(file))) return 0;
  Prefs.held = true;
  Prefs.path = file;
  Prefs.options = options;
  Prefs.byte_order_mark = true;
  Prefs.modified = true;  // even an empty file is written, with its byte-order mark
  return 1;
}

int prefs_close() {
  bool kept = true;
  if (Prefs.held && Prefs.modified) {
    kept = !Prefs.read_only && !Prefs.path.empty() && file_replace(text_from_utf8(Prefs.path), BuildText());
  }
  ResetState();
  return kept ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Groups, reads and writes

int prefs_select_group(const Text& name) {
  if (!Prefs.held) return 0;
  const std::string group = OneLine(name);
  if (group.empty()) {
    Prefs.current_group = Prefs.entries.end();
    Prefs.current_entry = Prefs.entries.end();
    Prefs.pending_group.clear();
    return 1;
  }
  for (EntryPos it = Prefs.entries.begin(); it != Prefs.entries.end(); ++it) {
    if (it->kind == EntryKind::Group && SameName(it->name, group)) {
      Prefs.current_group = it;
      Prefs.current_entry = it;
      Prefs.pending_group.clear();
      return 1;
    }
  }
  Prefs.pending_group = group;
  return 0;
}

int32_t prefs_read_int(const Text& key, int32_t default_value) {
  const std::string* value = FindValue(key);
  if (!value) return default_value;
  // Decimal with the C library's rules; a number beyond the long range saturates, and the low
  // 32 bits are kept.
  const long number = std::strtol(value->c_str(), nullptr, 10);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long>(number)));
}

Text prefs_read_string(const Text& key, const Text& default_value) {
  const std::string* value = FindValue(key);
  if (!value) return default_value;
  return text_from_utf8(TrimBlanks(*value));
}

void prefs_write_int(const Text& key, int32_t value) { WriteValue(key, std::to_string(value)); }

void prefs_write_string(const Text& key, const Text& value) {
  WriteValue(key, OneLine(value));
}

int prefs_write_comment(const Text& text) {
  if (!Prefs.held) return 0;
  CreatePendingGroup();
  const EntryPos where = Prefs.current_entry == Prefs.entries.end()
                             ? Prefs.entries.begin()
                             : std::next(Prefs.current_entry);
  Prefs.current_entry =
      Prefs.entries.insert(where, Entry{EntryKind::Comment, std::string(), OneLine(text)});
  Prefs.modified = true;
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Enumeration

int prefs_examine_groups() {
  if (!Prefs.held) return 0;
  Prefs.current_group = Prefs.entries.end();
  Prefs.current_entry = Prefs.entries.end();
  Prefs.pending_group.clear();
  return 1;
}

int prefs_next_group() {
  if (!Prefs.held) return 0;
  EntryPos it = GroupEnd();
  if (it == Prefs.entries.end()) return 0;
  Prefs.current_group = it;
  Prefs.pending_group.clear();
  return 1;
}

Text prefs_group_name() {
  if (!Prefs.held || Prefs.current_group == Prefs.entries.end()) return Text();
  return text_from_utf8(Prefs.current_group->name);
}

int prefs_examine_keys() {
  if (!Prefs.held || !Prefs.pending_group.empty()) return 0;
  Prefs.current_entry = Prefs.current_group;
  return 1;
}

int prefs_next_key() {
  if (!Prefs.held) return 0;
  EntryPos it = Prefs.current_entry == Prefs.entries.end() ? Prefs.entries.begin()
                                                           : std::next(Prefs.current_entry);
  while (it != Prefs.entries.end() && it->kind == EntryKind::Comment) ++it;
  if (it == Prefs.entries.end() || it->kind == EntryKind::Group) return 0;
  Prefs.current_entry = it;
  return 1;
}

Text prefs_key_name() {
  const Entry* key = CurrentKey();
  return key ? text_from_utf8(key->name) : Text();
}

Text prefs_key_value() {
  const Entry* key = CurrentKey();
  return key ? text_from_utf8(TrimBlanks(key->value)) : Text();
}
