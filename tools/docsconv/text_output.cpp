#include "text_output.h"

#include <cstdio>

namespace docsconv {

namespace {

void appendCodePoint(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

void appendUtf8(std::string &out, const char16_t *chars, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        char16_t c = chars[i];
        if (isHigh(c) && i + 1 < count && isLow(chars[i + 1])) {
            appendCodePoint(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (chars[i + 1] - 0xDC00));
            ++i;
        } else if (isHigh(c) || isLow(c)) {
            appendCodePoint(out, 0xFFFD);
        } else {
            appendCodePoint(out, c);
        }
    }
}

std::string toUtf8(const std::u16string &s) {
    std::string out;
    appendUtf8(out, s.data(), s.size());
    return out;
}

std::string quoted(const std::u16string &s) {
    std::string out = "\"";
    for (char c : toUtf8(s)) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace docsconv
