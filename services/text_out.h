// Handing texts out into the callers' fixed-size buffers: a text that does
// not fit is refused (the buffer gets an empty text), never cut or overrun.
#pragma once

#include <cstddef>
#include <string_view>

namespace services {

constexpr std::size_t kPathBuffer = 260;     // desktop and card paths: 259 characters
constexpr std::size_t kMaxPathLength = kPathBuffer - 1;
constexpr std::size_t kPalmNameBuffer = 32;  // handheld RAM names: 31 characters
constexpr std::size_t kMaxPalmNameLength = kPalmNameBuffer - 1;

// Copies text with its NUL into out (bufferSize bytes); false, with out
// emptied, when it does not fit or out is null.
bool copyOut(char *out, std::size_t bufferSize, std::string_view text);

// The caller's NUL-terminated text, read no further than limit + 1 bytes;
// false when it is null or longer than limit.
bool readText(const char *text, std::size_t limit, std::string_view &result);

}  // namespace services
