// The conduit's string resources: its display name, the texts of its own
// failures and, at 10000 + code, the text of every status code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace conduit {

enum StringId : uint32_t {
    kStrConduitName = 1,
    kStrUnknownError = 9000,
    kStrCannotLoadPlugin = 9001,
    kStrCannotLoadCardPaths = 9002,
    kStrCannotReadCardPaths = 9003,
    kStrCannotSaveCardPaths = 9004,
    kStrCannotWriteCardPaths = 9005,
    kStrNotEnoughMemory = 9006,
    kStrCardNotPresent = 9007,
    kStrStatusTextBase = 10000,
};

// Longest text a string resource yields, as the 256-byte buffers it is loaded into.
constexpr std::size_t kMaxStringLength = 255;

// The text of a string resource; nullopt when there is none.
std::optional<std::string_view> loadString(uint32_t id);

// Copies the text of string `id` with its NUL into buffer (bufferSize
// bytes); false, with buffer emptied when it has room, when there is no such
// string or it does not fit.
bool loadStringInto(uint32_t id, char *buffer, std::size_t bufferSize);

}  // namespace conduit
