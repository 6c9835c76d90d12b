#include "text_out.h"

#include <cstring>

namespace services {

bool copyOut(char *out, std::size_t bufferSize, std::string_view text) {
    if (!out || bufferSize == 0) return false;
    if (text.size() >= bufferSize) {
        out[0] = '\0';
        return false;
    }
    if (!text.empty()) std::memmove(out, text.data(), text.size());  // out may be the input buffer
    out[text.size()] = '\0';
    return true;
}

bool readText(const char *text, std::size_t limit, std::string_view &result) {
    if (!text) return false;
    std::size_t length = ::strnlen(text, limit + 1);
    if (length > limit) return false;
    result = std::string_view(text, length);
    return true;
}

}  // namespace services
