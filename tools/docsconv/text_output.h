// Turning Docs text (UTF-16 units) into UTF-8 for the terminal, and quoting
// it for the dump.
#pragma once

#include <cstddef>
#include <string>

namespace docsconv {

// A surrogate pair becomes one four-byte character; a lone surrogate U+FFFD.
void appendUtf8(std::string &out, const char16_t *chars, size_t count);
std::string toUtf8(const std::u16string &s);
// The text in double quotes, with \" \\ and \xNN for control characters.
std::string quoted(const std::u16string &s);

}  // namespace docsconv
