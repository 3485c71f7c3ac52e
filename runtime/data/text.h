// Texts: UTF-16 strings returned by value, their conversion at the system boundary, and the
// text functions whose exact results the game depends on (numbers, fields, padding, replacing).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using Text = std::u16string;

// Sets the locale from the environment; called once when the runtime starts.
void text_init();

// Conversion at the system boundary, the one UTF-8 decoder of the runtime (file lines, names and
// environment values all come through it). Each malformed sequence becomes one "?": a stray byte,
// a sequence cut short (the byte that cut it starts the next character), an over-long form, an
// encoded surrogate or a code point beyond U+10FFFF. Surrogate pairs are joined into one code
// point on the way out (a lone surrogate goes out as U+FFFD) and split on the way in.
Text text_from_utf8(std::string_view utf8);
std::string text_to_utf8(const Text& text);
Text text_from_latin1(std::string_view latin1);
// Units above 255 become "?".
std::string text_to_latin1(const Text& text);
// For the game's literals and for tests: u8"..." or plain ASCII.
inline Text T(std::string_view utf8) { return text_from_utf8(utf8); }

int str_equal(const Text& a, const Text& b);
Text str_right(const Text& text, int64_t n);
Text str_upper(const Text& text);
Text str_lower(const Text& text);
Text str_trim(const Text& text);  // blanks and tabs at both ends
Text str_from_int(int64_t value);
int64_t str_to_int(const Text& text);
// `decimals` -1 chooses automatically; the decimal separator is always a point.
Text str_from_double(double value, int decimals);
int64_t str_count(const Text& text, const Text& part);
Text str_pad_left(const Text& text, int64_t length, const Text& pad);
Text str_replace(const Text& text, const Text& find, const Text& replacement);
Text str_field(const Text& text, int64_t index, const Text& delimiter);
// ASCII-only case-insensitive comparison, as used for file keys and group names.
int str_equal_ascii_nocase(const Text& a, const Text& b);
