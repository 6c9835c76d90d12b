#include "guid.h"

#include "random_bytes.h"

#include <cstdio>

namespace platform {

namespace {

// Position in the text of the first digit of each byte of the memory form, in memory order:
// Data1 (4 bytes) and Data2, Data3 (2 each) are written most significant first.
constexpr int kTextPos[16] = {7, 5, 3, 1, 12, 10, 17, 15, 20, 22, 25, 27, 29, 31, 33, 35};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

GuidBytes createGuid() {
    GuidBytes g;
    randomBytes(g.data(), g.size());
    g[7] = uint8_t((g[7] & 0x0F) | 0x40);  // Data3's high byte: version 4
    g[8] = uint8_t((g[8] & 0x3F) | 0x80);  // Data4[0]: variant 10xx
    return g;
}

std::string formatGuid(const GuidBytes &g) {
    std::string text = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    static const char digits[] = "0123456789ABCDEF";
    for (int i = 0; i < 16; ++i) {
        text[std::size_t(kTextPos[i])] = digits[g[std::size_t(i)] >> 4];
        text[std::size_t(kTextPos[i]) + 1] = digits[g[std::size_t(i)] & 0x0F];
    }
    return text;
}

std::optional<GuidBytes> parseGuid(std::string_view text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
    for (std::size_t dash : {9u, 14u, 19u, 24u})
        if (text[dash] != '-') return std::nullopt;
    GuidBytes g;
    for (int i = 0; i < 16; ++i) {
        int hi = hexDigit(text[std::size_t(kTextPos[i])]);
        int lo = hexDigit(text[std::size_t(kTextPos[i]) + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        g[std::size_t(i)] = uint8_t(hi * 16 + lo);
    }
    return g;
}

}  // namespace platform
