// Builds the language pack: languages <output zip> <titles table or -> <file.language>...
// Fails (exit status 1, reasons on the standard error) when a language lacks a key of the
// reference language or has one it lacks, so an incomplete translation never ships.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/languages/languages.h"

namespace {

bool ReadWhole(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = buffer.str();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: languages <output zip> <titles table or -> <file.language>...\n");
    return 2;
  }
  std::vector<std::string> problems;
  languages::TitleTable titles;
  std::string text;
  std::string titles_path = argv[2];
  if (titles_path != "-" && std::filesystem::exists(titles_path)) {
    if (!ReadWhole(titles_path, &text)) problems.push_back("cannot read " + titles_path);
    titles = languages::ParseTitles(text, &problems);
  }

  std::vector<languages::LanguageFile> files;
  for (int i = 3; i < argc; ++i) {
    std::filesystem::path path = argv[i];
    if (!ReadWhole(path.string(), &text)) {
      problems.push_back("cannot read " + path.string());
      continue;
    }
    files.push_back(languages::ParseLanguage(path.stem().string(), text, &problems));
    languages::AddTitles(&files.back(), titles);
  }
  std::sort(files.begin(), files.end(),
            [](const auto& a, const auto& b) { return a.base < b.base; });

  auto reference = std::find_if(files.begin(), files.end(), [](const auto& f) {
    return f.base == languages::kReferenceLanguage;
  });
  if (reference == files.end()) {
    problems.push_back(std::string("no ") + languages::kReferenceLanguage + ".language given");
  } else {
    for (const std::string& p : languages::CheckReference(*reference)) problems.push_back(p);
    for (const auto& file : files) {
      if (&file == &*reference) continue;
      for (const std::string& p : languages::CheckAgainst(*reference, file)) problems.push_back(p);
    }
  }
  if (!problems.empty()) {
    for (const std::string& p : problems) std::fprintf(stderr, "languages: %s\n", p.c_str());
    return 1;
  }

  std::vector<std::pair<std::string, std::string>> entries;
  for (const auto& file : files) {
    entries.push_back({file.base + ".language", languages::RenderLanguage(file)});
  }
  std::string error = languages::WriteZip(argv[1], entries);
  if (!error.empty()) {
    std::fprintf(stderr, "languages: %s: %s\n", argv[1], error.c_str());
    std::filesystem::remove(argv[1]);
    return 1;
  }
  return 0;
}
