#include "desktop_text.h"

#include <algorithm>

namespace desktop {

namespace {

char lowerChar(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Offset of the extension's dot in the name part of a path, or npos.
size_t extensionDot(std::string_view path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return dot;
    if (slash != std::string_view::npos && dot < slash) return std::string_view::npos;
    return dot;
}

}  // namespace

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerChar(x) == lowerChar(y); });
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lowerChar);
    return out;
}

std::string cutText(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    size_t end = maxBytes;
    // Step back over continuation bytes so that no sequence is split.
    while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

std::string fileNameOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string extensionOf(std::string_view name) {
    const size_t dot = extensionDot(name);
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string replaceExtension(std::string_view name, std::string_view ext) {
    const size_t dot = extensionDot(name);
    std::string out(dot == std::string_view::npos ? name : name.substr(0, dot));
    out += ext;
    return out;
}

}  // namespace desktop
