#include "profile_file.h"

#include "temp_files.h"

#include <cctype>
#include <cstdint>
#include <fstream>

namespace qvplugin {

namespace fs = std::filesystem;

namespace {

constexpr size_t npos = std::string::npos;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The name of a "[section]" line, or nullopt for any other line.
std::optional<std::string_view> sectionName(std::string_view line) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const size_t close = line.find(']');
    if (close == npos) return std::nullopt;
    return trim(line.substr(1, close - 1));
}

// The key of a "key=value" line, or nullopt.
std::optional<std::string_view> keyName(std::string_view line) {
    const size_t equals = line.find('=');
    if (equals == npos) return std::nullopt;
    std::string_view key = trim(line.substr(0, equals));
    if (key.empty() || key.front() == ';') return std::nullopt;
    return key;
}

}  // namespace

bool ProfileFile::load(const fs::path &file, std::error_code &ec) {
    lines_.clear();
    ec.clear();
    const auto size = fs::file_size(file, ec);
    if (ec) {
        if (!fs::exists(file)) {
            ec.clear();
            return true;
        }
        return false;
    }
    if (size > kMaxSize) {
        ec = std::make_error_code(std::errc::file_too_large);
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        ec = std::make_error_code(std::errc::io_error);
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(line);
    }
    if (in.bad()) {
        ec = std::make_error_code(std::errc::io_error);
        lines_.clear();
        return false;
    }
    return true;
}

bool ProfileFile::save(const fs::path &file, std::error_code &ec) const {
    std::string content;
    for (const std::string &line : lines_) content += line + "\n";
    return platform::writeFileAtomically(file, content, ec);
}

size_t ProfileFile::findSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i)
        if (auto name = sectionName(lines_[i]); name && sameName(*name, section)) return i;
    return npos;
}

size_t ProfileFile::findKey(size_t header, std::string_view key) const {
    for (size_t i = header + 1; i < lines_.size() && !sectionName(lines_[i]); ++i)
        if (auto name = keyName(lines_[i]); name && sameName(*name, key)) return i;
    return npos;
}

size_t ProfileFile::sectionEnd(size_t header) const {
    size_t end = header + 1;
    for (size_t i = header + 1; i < lines_.size() && !sectionName(lines_[i]); ++i)
        if (!trim(lines_[i]).empty()) end = i + 1;
    return end;
}

std::optional<std::string> ProfileFile::value(std::string_view section, std::string_view key) const {
    const size_t header = findSection(section);
    if (header == npos) return std::nullopt;
    const size_t line = findKey(header, key);
    if (line == npos) return std::nullopt;
    std::string_view text = trim(std::string_view(lines_[line]).substr(lines_[line].find('=') + 1));
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    return std::string(text);
}

void ProfileFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    std::string line = std::string(key) + "=" + std::string(value);
    size_t header = findSection(section);
    if (header == npos) {
        if (!lines_.empty() && !trim(lines_.back()).empty()) lines_.emplace_back();
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(std::move(line));
        return;
    }
    if (const size_t existing = findKey(header, key); existing != npos) {
        lines_[existing] = std::move(line);
        return;
    }
    lines_.insert(lines_.begin() + std::ptrdiff_t(sectionEnd(header)), std::move(line));
}

int32_t profileInteger(std::string_view text) {
    text = trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int64_t value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        value = value * 10 + (c - '0');
        if (value > int64_t(INT32_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return int32_t(value);
}

}  // namespace qvplugin
