#include "registry_hive.h"

#include <algorithm>
#include <cstdio>

namespace platform::hive {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// Windows orders subkeys by their upper-case names.
bool lessByName(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(upper(x)) < static_cast<unsigned char>(upper(y));
    });
}

bool hasControl(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = upper(c);
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && sameName(s.substr(0, prefix.size()), prefix);
}

// Reads a quoted text at the start of `s` (REGEDIT4 escapes \\ and \"),
// leaving `s` after the closing quote.
bool readQuoted(std::string_view &s, std::string &out) {
    if (s.empty() || s.front() != '"') return false;
    out.clear();
    for (std::size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[++i];
        } else if (c == '"') {
            s.remove_prefix(i + 1);
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

bool parseDword(std::string_view s, std::string &data) {
    if (s.empty() || s.size() > 8) return false;
    uint32_t v = 0;
    for (char c : s) {
        int d = hexDigit(c);
        if (d < 0) return false;
        v = (v << 4) | uint32_t(d);
    }
    data.assign(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = char(uint8_t(v >> (8 * i)));
    return true;
}

bool parseHexBytes(std::string_view s, std::string &data) {
    data.clear();
    s = trim(s);
    if (s.empty()) return true;
    while (true) {
        std::size_t comma = s.find(',');
        std::string_view item = trim(s.substr(0, comma));
        if (item.empty() || item.size() > 2) return false;
        int value = 0;
        for (char c : item) {
            int d = hexDigit(c);
            if (d < 0) return false;
            value = value * 16 + d;
        }
        data += char(value);
        if (comma == std::string_view::npos) return true;
        s.remove_prefix(comma + 1);
    }
}

// The data part of a value line: "text", dword:..., hex:..., hex(N):...
bool parseData(std::string_view s, ValueType &type, std::string &data) {
    s = trim(s);
    if (!s.empty() && s.front() == '"') {
        if (!readQuoted(s, data) || !trim(s).empty()) return false;
        type = ValueType::String;
        return true;
    }
    if (startsWithNoCase(s, "dword:")) {
        type = ValueType::Dword;
        return parseDword(trim(s.substr(6)), data);
    }
    if (startsWithNoCase(s, "hex:")) {
        type = ValueType::Binary;
        return parseHexBytes(s.substr(4), data);
    }
    if (startsWithNoCase(s, "hex(")) {
        std::size_t close = s.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) return false;
        uint32_t t = 0;
        for (char c : s.substr(4, close - 4)) {
            int d = hexDigit(c);
            if (d < 0) return false;
            t = (t << 4) | uint32_t(d);
        }
        type = ValueType(t);
        if (!parseHexBytes(s.substr(close + 2), data)) return false;
        // Strings written as bytes carry their terminating NUL.
        if ((type == ValueType::String || type == ValueType::ExpandString) && !data.empty() && data.back() == '\0')
            data.pop_back();
        return true;
    }
    return false;
}

// Splits the text into logical lines: a line ending in "\" goes on in the next.
std::vector<std::string> logicalLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string current;
    bool continuing = false;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (continuing) line = trim(line);
        current.append(line);
        continuing = !current.empty() && current.back() == '\\' && current.front() != '[';
        if (continuing) {
            current.pop_back();
        } else {
            lines.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty()) lines.push_back(std::move(current));
    return lines;
}

std::string escapeQuoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

void appendHex(std::string &out, std::string_view prefix, std::string_view bytes) {
    out += prefix;
    std::size_t column = prefix.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char item[4];
        std::snprintf(item, sizeof item, "%02x", static_cast<unsigned char>(bytes[i]));
        out += item;
        column += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++column;
            if (column > 75) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
}

void formatValue(std::string &out, const Value &v) {
    out += v.name.empty() ? std::string("@") : escapeQuoted(v.name);
    out += '=';
    bool plainText = v.type == ValueType::String && v.data.find_first_of(std::string_view("\0\r\n", 3)) == std::string::npos;
    if (plainText) {
        out += escapeQuoted(v.data);
    } else if (v.type == ValueType::Dword && v.data.size() == 4) {
        uint32_t d = 0;
        for (int i = 3; i >= 0; --i) d = (d << 8) | static_cast<unsigned char>(v.data[i]);
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", d);
        out += text;
    } else if (v.type == ValueType::Binary) {
        appendHex(out, "hex:", v.data);
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", unsigned(v.type));
        std::string bytes = v.data;
        if (v.type == ValueType::String || v.type == ValueType::ExpandString) bytes += '\0';
        appendHex(out, prefix, bytes);
    }
    out += '\n';
}

void formatKey(std::string &out, const Key &key, const std::string &path, bool writeSection) {
    if (writeSection) {
        out += '[' + path + "]\n";
        for (const Value &v : key.values) formatValue(out, v);
        out += '\n';
    }
    for (const auto &child : key.subkeys) formatKey(out, *child, path + '\\' + child->name, true);
}

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upper(x) == upper(y); });
}

bool validKeyName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxKeyNameLength && name.find('\\') == std::string_view::npos &&
           !hasControl(name);
}

bool validValueName(std::string_view name) {
    return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

Key *Key::findSubkey(std::string_view n) const {
    for (const auto &k : subkeys)
        if (sameName(k->name, n)) return k.get();
    return nullptr;
}

Key &Key::subkey(std::string_view n) {
    if (Key *found = findSubkey(n)) return *found;
    auto key = std::make_unique<Key>();
    key->name = std::string(n);
    auto at = std::upper_bound(subkeys.begin(), subkeys.end(), n,
                               [](std::string_view a, const std::unique_ptr<Key> &b) { return lessByName(a, b->name); });
    return **subkeys.insert(at, std::move(key));
}

bool Key::removeSubkey(std::string_view n) {
    auto it = std::find_if(subkeys.begin(), subkeys.end(), [&](const auto &k) { return sameName(k->name, n); });
    if (it == subkeys.end()) return false;
    subkeys.erase(it);
    return true;
}

Value *Key::findValue(std::string_view n) {
    for (Value &v : values)
        if (sameName(v.name, n)) return &v;
    return nullptr;
}

const Value *Key::findValue(std::string_view n) const { return const_cast<Key *>(this)->findValue(n); }

void Key::setValue(std::string_view n, ValueType type, std::string data) {
    if (Value *v = findValue(n)) {
        v->type = type;
        v->data = std::move(data);
    } else {
        values.push_back(Value{std::string(n), type, std::move(data)});
    }
}

bool Key::removeValue(std::string_view n) {
    auto it = std::find_if(values.begin(), values.end(), [&](const Value &v) { return sameName(v.name, n); });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

ParseOutcome parse(std::string_view text, std::string_view rootName, Key &root) {
    ParseOutcome outcome;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string> lines = logicalLines(text);

    std::size_t first = 0;
    while (first < lines.size() && trim(lines[first]).empty()) ++first;
    if (first == lines.size()) {
        outcome.ok = true;  // an empty file is an empty hive
        return outcome;
    }
    std::string_view header = trim(lines[first]);
    if (header != "REGEDIT4" && header != "Windows Registry Editor Version 5.00") {
        outcome.error = "not a registry file (the first line is not \"REGEDIT4\")";
        return outcome;
    }
    outcome.ok = true;

    Key *current = nullptr;  // the section being read; null: none, or one we skip
    for (std::size_t i = first + 1; i < lines.size(); ++i) {
        std::string_view line = trim(lines[i]);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            current = nullptr;
            if (line.back() != ']' || line.size() < 3 || line[1] == '-') {
                ++outcome.skippedLines;
                continue;
            }
            std::string_view path = line.substr(1, line.size() - 2);
            std::size_t slash = path.find('\\');
            if (!sameName(path.substr(0, slash), rootName)) {
                ++outcome.skippedLines;
                continue;
            }
            Key *key = &root;
            bool good = std::size_t(std::count(path.begin(), path.end(), '\\')) <= kMaxKeyDepth;
            while (slash != std::string_view::npos && good) {
                path.remove_prefix(slash + 1);
                slash = path.find('\\');
                std::string_view part = path.substr(0, slash);
                if (part.empty() && slash == std::string_view::npos) break;  // a trailing "\"
                good = validKeyName(part);
                if (good) key = &key->subkey(part);
            }
            if (good) current = key;
            else ++outcome.skippedLines;
            continue;
        }
        std::string name;
        std::string_view rest = line;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else if (!readQuoted(rest, name) || !validValueName(name)) {
            ++outcome.skippedLines;
            continue;
        }
        rest = trim(rest);
        if (rest.empty() || rest.front() != '=') {
            ++outcome.skippedLines;
            continue;
        }
        rest.remove_prefix(1);
        if (trim(rest) == "-") continue;  // a deletion line: nothing to keep
        ValueType type = ValueType::String;
        std::string data;
        if (!current || !parseData(rest, type, data)) {
            ++outcome.skippedLines;
            continue;
        }
        current->setValue(name, type, std::move(data));
    }
    return outcome;
}

std::string format(const Key &root, std::string_view rootName) {
    std::string out = "REGEDIT4\n\n";
    formatKey(out, root, std::string(rootName), !root.values.empty());
    return out;
}

}  // namespace platform::hive
