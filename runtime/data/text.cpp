// Texts: conversion between UTF-16 and the system's UTF-8 or ISO-8859-1, and the text functions.
// Number formatting never depends on the locale's decimal separator.
#include "runtime/data/text.h"

#include <langinfo.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cwctype>
#include <vector>

namespace {

// What a lone surrogate becomes on its way out to UTF-8, which has no form for it.
constexpr char16_t kReplacement = 0xFFFD;
// What a malformed UTF-8 sequence becomes on its way in.
constexpr char16_t kMalformed = u'?';
// The least code point that needs a sequence of 1 + index bytes: a smaller one spelled that way
// is an over-long form.
constexpr uint32_t kShortestForm[] = {0, 0x80, 0x800, 0x10000};
constexpr uint32_t kLastCodePoint = 0x10FFFF;

bool IsContinuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }
bool IsSurrogate(uint32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; }

void AppendCodePoint(Text& out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

int DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return 99;
}

char16_t MapCase(char16_t c, bool upper) {
  const wint_t mapped = upper ? std::towupper(c) : std::towlower(c);
  // A mapping that leaves the 16-bit range keeps the unit as it was.
  return mapped > 0xFFFF ? c : static_cast<char16_t>(mapped);
}

}  // namespace

void text_init() {
  std::setlocale(LC_ALL, "");
  // Upper-casing follows the locale's character classes; the plain C locale knows none beyond
  // ASCII and would show "FRANçAIS", so case mapping falls back to the UTF-8 form of it.
  if (std::string_view(nl_langinfo(CODESET)) != "UTF-8") std::setlocale(LC_CTYPE, "C.UTF-8");
}

Text text_from_utf8(std::string_view utf8) {
  Text out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const uint8_t lead = static_cast<uint8_t>(utf8[i++]);
    int extra = 0;
    uint32_t cp = 0;
    if (lead < 0x80) {
      out.push_back(lead);
      continue;
    } else if (lead >= 0xC0 && lead <= 0xDF) {
      extra = 1, cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF7) {
      extra = 3, cp = lead & 0x07;
    } else {
      out.push_back(kMalformed);  // a stray continuation byte or a lead byte of no sequence
      continue;
    }
    // The sequence takes its continuation bytes while they come. A byte that should have been one
    // is left for the next character, so a sequence cut short never swallows what follows it.
    int taken = 0;
    while (taken < extra && i < utf8.size() && IsContinuation(static_cast<uint8_t>(utf8[i]))) {
      cp = (cp << 6) | (static_cast<uint8_t>(utf8[i]) & 0x3F);
      ++taken, ++i;
    }
    // An over-long form (a NUL or "/" spelled in two or three bytes, say) is no character.
    if (taken < extra || cp < kShortestForm[extra] || cp > kLastCodePoint || IsSurrogate(cp)) {
      out.push_back(kMalformed);
      continue;
    }
    AppendCodePoint(out, cp);
  }
  return out;
}

std::string text_to_utf8(const Text& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsSurrogate(cp)) {
      cp = kReplacement;  // a lone surrogate has no UTF-8 form
    }
    AppendUtf8(out, cp);
  }
  return out;
}

Text text_from_latin1(std::string_view latin1) {
  Text out;
  out.reserve(latin1.size());
  for (char c : latin1) out.push_back(static_cast<uint8_t>(c));
  return out;
}

std::string text_to_latin1(const Text& text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  return out;
}

int str_equal(const Text& a, const Text& b) { return a == b ? 1 : 0; }

Text str_right(const Text& text, int64_t n) {
  if (n <= 0) return Text();
  if (static_cast<size_t>(n) >= text.size()) return text;
  return text.substr(text.size() - n);
}

Text str_upper(const Text& text) {
  Text out = text;
  for (char16_t& c : out) c = MapCase(c, true);
  return out;
}

Text str_lower(const Text& text) {
  Text out = text;
  for (char16_t& c : out) c = MapCase(c, false);
  return out;
}

Text str_trim(const Text& text) {
  size_t start = 0, end = text.size();
  while (start < end && IsBlank(text[start])) ++start;
  while (end > start && IsBlank(text[end - 1])) --end;
  return text.substr(start, end - start);
}

Text str_from_int(int64_t value) { return text_from_utf8(std::to_string(value)); }

int64_t str_to_int(const Text& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  int base = 10;
  if (i < text.size() && text[i] == u'$') base = 16, ++i;
  else if (i < text.size() && text[i] == u'%') base = 2, ++i;
  uint64_t value = 0;  // unsigned so that overflow wraps instead of being undefined
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i]);
    if (digit >= base) break;
    value = value * base + digit;
  }
  return static_cast<int64_t>(negative ? 0 - value : value);
}

Text str_from_double(double value, int decimals) {
  if (std::isnan(value)) return u"NaN";
  if (std::isinf(value)) return value > 0 ? u"+Infinity" : u"-Infinity";
  if (value == 0) value = 0.0;  // negative zero prints as zero
  const bool automatic = decimals == -1;
  if (automatic) decimals = 10;
  if (decimals < 0) decimals = 0;
  if (decimals > 512) decimals = 512;
  char format[16];
  std::snprintf(format, sizeof format, "%%.%df", decimals);
  std::vector<char> buffer(decimals + 330);  // the largest double has 309 integer digits
  std::snprintf(buffer.data(), buffer.size(), format, value);
  std::string s = buffer.data();
  if (const size_t comma = s.find(','); comma != std::string::npos) s[comma] = '.';
  if (automatic && !s.empty() && s.back() == '0' && s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return text_from_utf8(s);
}

int64_t str_count(const Text& text, const Text& part) {
  if (part.empty()) return 0;
  int64_t count = 0;
  for (size_t at = text.find(part); at != Text::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

Text str_pad_left(const Text& text, int64_t length, const Text& pad) {
  if (length <= 0) return Text();
  const size_t n = static_cast<size_t>(length);
  if (text.size() >= n) return text.substr(0, n);
  const char16_t fill = pad.empty() ? u' ' : pad[0];
  return Text(n - text.size(), fill) + text;
}

Text str_replace(const Text& text, const Text& find, const Text& replacement) {
  if (find.empty()) return text;
  Text out;
  size_t from = 0;
  for (size_t at = text.find(find); at != Text::npos; at = text.find(find, from)) {
    out.append(text, from, at - from);
    out += replacement;
    from = at + find.size();
  }
  out.append(text, from, Text::npos);
  return out;
}

Text str_field(const Text& text, int64_t index, const Text& delimiter) {
  if (index < 1) return Text();
  if (delimiter.empty()) return index == 1 ? text : Text();
  size_t start = 0;
  for (int64_t field = 1; field < index; ++field) {
    const size_t at = text.find(delimiter, start);
    if (at == Text::npos) return Text();
    start = at + delimiter.size();
  }
  const size_t end = text.find(delimiter, start);
  return text.substr(start, end == Text::npos ? Text::npos : end - start);
}

int str_equal_ascii_nocase(const Text& a, const Text& b) {
  if (a.size() != b.size()) return 0;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x += 32;
    if (y >= u'A' && y <= u'Z') y += 32;
    if (x != y) return 0;
  }
  return 1;
}
