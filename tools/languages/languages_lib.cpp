// The language-pack builder's checks and writers (see languages.h).
#include "tools/languages/languages.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <map>
#include <set>

namespace languages {
namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
// 2026-01-01 00:00:00 UTC: every entry of the archive carries this time.
constexpr time_t kFixedTime = 1767225600;

std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = text.find_first_not_of("\r\n", end);
    if (start == std::string::npos) break;
  }
  return lines;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

// The runs of "#" in a text, in order: "Level ### of #" gives {3, 1}.
std::vector<size_t> PlaceholderRuns(const std::string& text) {
  std::vector<size_t> runs;
  for (size_t i = 0; i < text.size();) {
    if (text[i] != '#') {
      ++i;
      continue;
    }
    size_t end = text.find_first_not_of('#', i);
    if (end == std::string::npos) end = text.size();
    runs.push_back(end - i);
    i = end;
  }
  return runs;
}

std::map<std::string, std::string> KeyValues(const LanguageFile& file) {
  std::map<std::string, std::string> values;
  for (const Group& group : file.groups) {
    for (const Entry& entry : group.entries) values.emplace(entry.key, entry.value);
  }
  return values;
}

std::string Where(const LanguageFile& file) { return file.base + ".language: "; }

}  // namespace

LanguageFile ParseLanguage(const std::string& base, const std::string& text,
                           std::vector<std::string>* problems) {
  LanguageFile file;
  file.base = base;
  std::string utf8 = text.compare(0, 3, kByteOrderMark) == 0 ? text.substr(3) : Latin1ToUtf8(text);
  std::set<std::string> seen;
  for (const std::string& raw : SplitLines(utf8)) {
    std::string line = Trim(raw);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      file.groups.push_back({line.substr(1, close == std::string::npos ? std::string::npos
                                                                        : close - 1),
                             {}});
      continue;
    }
    size_t equals = line.find('=');
    Entry entry{Trim(line.substr(0, equals)),
                equals == std::string::npos ? std::string() : Trim(line.substr(equals + 1))};
    if (file.groups.empty()) {
      problems->push_back(Where(file) + "key \"" + entry.key + "\" stands before the first group");
      continue;
    }
    if (entry.key.empty()) {
      problems->push_back(Where(file) + "a key line has no name: \"" + line + "\"");
      continue;
    }
    if (!seen.insert(entry.key).second) {
      problems->push_back(Where(file) + "key \"" + entry.key + "\" appears twice");
      continue;
    }
    file.groups.back().entries.push_back(std::move(entry));
  }
  return file;
}

TitleTable ParseTitles(const std::string& text, std::vector<std::string>* problems) {
  TitleTable table;
  std::string utf8 = text.compare(0, 3, kByteOrderMark) == 0 ? text.substr(3) : text;
  bool header = true;
  std::set<std::string> seen;
  for (const std::string& line : SplitLines(utf8)) {
    if (Trim(line).empty()) continue;
    std::vector<std::string> fields = SplitTabs(line);
    for (std::string& field : fields) field = Trim(field);
    if (header) {
      table.languages.assign(fields.begin() + 1, fields.end());
      header = false;
      continue;
    }
    if (fields.size() != table.languages.size() + 1) {
      problems->push_back("titles: the line of \"" + fields[0] + "\" has " +
                          std::to_string(fields.size()) + " fields, the header " +
                          std::to_string(table.languages.size() + 1));
      continue;
    }
    if (!seen.insert(fields[0]).second) {
      problems->push_back("titles: key \"" + fields[0] + "\" appears twice");
      continue;
    }
    table.rows.push_back({fields[0], std::vector<std::string>(fields.begin() + 1, fields.end())});
  }
  return table;
}

void AddTitles(LanguageFile* file, const TitleTable& titles) {
  if (titles.rows.empty()) return;
  auto column_of = [&](const std::string& base) -> long {
    auto it = std::find(titles.languages.begin(), titles.languages.end(), base);
    return it == titles.languages.end() ? -1 : long(it - titles.languages.begin());
  };
  long column = column_of(file->base);
  if (column < 0) column = column_of(kReferenceLanguage);
  Group group{kTitlesGroup, {}};
  for (const auto& [key, texts] : titles.rows) {
    std::string text = column >= 0 ? texts[size_t(column)] : std::string();
    if (text.empty() && column_of(kReferenceLanguage) >= 0) {
      text = texts[size_t(column_of(kReferenceLanguage))];
    }
    group.entries.push_back({key, text});
  }
  file->groups.push_back(std::move(group));
}

const std::vector<std::string>& RequiredKeys() {
  static const std::vector<std::string> keys = {
      "tLangFileNAME", "tLangFileVERSION", "tLangFileDATE", "tLangFileAUTHOR",
      "tLangFileLANGID", "tLangFileSOFTWARE",
      "tErrorERROR", "tErrorSUBSYSTEM", "tErrorSCREEN", "tErrorASSET", "tErrorRUNNING",
      "tMenuSTART", "tMenuSETTINGS", "tMenuCREDITS", "tMenuQUIT",
      "tInGameRESUME", "tInGameRESTART", "tInGameSETTINGS", "tInGameQUIT",
      "tQuitQUESTION", "tQuitYES", "tQuitNO",
      "tStartHEADER", "tStartSTEPS", "tStartTIME",
      "tCompleteTITLE", "tCompleteSTEPS", "tCompleteTIME", "tCompleteRETRY", "tCompleteMENU",
      "tCompleteNEXT",
      "tGcGAMECOMPLETE", "tGcCONGRATULATIONS",
      "tSettingsTITLE", "tSettingsLANGUAGE", "tSettingsMUSIC", "tSettingsON", "tSettingsOFF",
      "tSettingsSCREENMODE", "tSettingsFULLSCREEN", "TSettingsWINDOWED", "tSettingsBORDERLESS",
      "tSettingsRESOLUTION", "tSettingsOK", "tSettingsCANCEL",
      "tCreditsTITLE", "tCreditsCODEDESIGN", "tCreditsMUSIC", "tCreditsGFX", "tCreditsCRATE"};
  return keys;
}

const std::string* FindValue(const LanguageFile& file, const std::string& key) {
  for (const Group& group : file.groups) {
    for (const Entry& entry : group.entries) {
      if (entry.key == key) return &entry.value;
    }
  }
  return nullptr;
}

std::vector<std::string> CheckReference(const LanguageFile& reference) {
  std::vector<std::string> problems;
  bool has_header = std::any_of(reference.groups.begin(), reference.groups.end(),
                                [](const Group& g) { return g.name == kHeaderGroup; });
  if (!has_header) problems.push_back(Where(reference) + "no [LANGUAGE FILE] group");
  for (const std::string& key : RequiredKeys()) {
    if (!FindValue(reference, key)) problems.push_back(Where(reference) + "lacks key \"" + key + "\"");
  }
  for (const auto& [key, value] : KeyValues(reference)) {
    if (value.empty()) problems.push_back(Where(reference) + "key \"" + key + "\" is empty");
  }
  return problems;
}

std::vector<std::string> CheckAgainst(const LanguageFile& reference, const LanguageFile& file) {
  std::vector<std::string> problems;
  std::map<std::string, std::string> wanted = KeyValues(reference), have = KeyValues(file);
  for (const auto& [key, value] : wanted) {
    auto it = have.find(key);
    if (it == have.end()) {
      problems.push_back(Where(file) + "lacks key \"" + key + "\"");
    } else if (it->second.empty()) {
      problems.push_back(Where(file) + "key \"" + key + "\" is empty");
    } else if (PlaceholderRuns(it->second) != PlaceholderRuns(value)) {
      problems.push_back(Where(file) + "key \"" + key +
                         "\" does not keep the \"#\" placeholders of \"" + value + "\"");
    }
  }
  for (const auto& [key, value] : have) {
    if (!wanted.count(key)) {
      problems.push_back(Where(file) + "has key \"" + key + "\" that " + reference.base + " lacks");
    }
  }
  bool has_header = std::any_of(file.groups.begin(), file.groups.end(),
                                [](const Group& g) { return g.name == kHeaderGroup; });
  if (!has_header) problems.push_back(Where(file) + "no [LANGUAGE FILE] group");
  return problems;
}

std::string RenderLanguage(const LanguageFile& file) {
  std::string out = std::string(kByteOrderMark) + "\n";
  bool first = true;
  for (const Group& group : file.groups) {
    if (!first) out += "\n";
    first = false;
    out += "[" + group.name + "]\n";
    for (const Entry& entry : group.entries) out += entry.key + " = " + entry.value + "\n";
  }
  return out;
}

std::string WriteZip(const std::string& path,
                     const std::vector<std::pair<std::string, std::string>>& entries) {
  archive* zip = archive_write_new();
  if (!zip) return "cannot create the archive writer";
  std::string error;
  auto fail = [&](const char* what) {
    if (error.empty()) {
      error = std::string(what) + ": " + (archive_error_string(zip) ? archive_error_string(zip) : "?");
    }
  };
  if (archive_write_set_format_zip(zip) != ARCHIVE_OK ||
      archive_write_set_options(zip, "zip:compression=deflate") != ARCHIVE_OK ||
      archive_write_open_filename(zip, path.c_str()) != ARCHIVE_OK) {
    fail("cannot open the archive");
  }
  for (size_t i = 0; error.empty() && i < entries.size(); ++i) {
    const auto& [name, bytes] = entries[i];
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name.c_str());
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, la_int64_t(bytes.size()));
    archive_entry_set_mtime(entry, kFixedTime, 0);
    archive_entry_set_uid(entry, 0);
    archive_entry_set_gid(entry, 0);
    if (archive_write_header(zip, entry) != ARCHIVE_OK) {
      fail("cannot add an entry");
    } else if (archive_write_data(zip, bytes.data(), bytes.size()) != la_ssize_t(bytes.size())) {
      fail("cannot write an entry");
    }
    archive_entry_free(entry);
  }
  if (archive_write_close(zip) != ARCHIVE_OK) fail("cannot finish the archive");
  archive_write_free(zip);
  return error;
}

}  // namespace languages
