#include "ini_store.h"

#include "temp_files.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace palm {

namespace fs = std::filesystem;

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::optional<long long> parseInteger(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    long long value = 0;
    int base = 10;
    std::string_view digits = text;
    bool negative = false;
    if (digits.front() == '-') {
        negative = true;
        digits.remove_prefix(1);
    }
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return negative ? -value : value;
}

bool storableText(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

const std::string *IniSection::find(std::string_view key) const {
    for (const auto &[k, v] : entries)
        if (iequals(k, key)) return &v;
    return nullptr;
}

void IniSection::set(std::string_view key, std::string value) {
    for (auto &[k, v] : entries)
        if (iequals(k, key)) {
            v = std::move(value);
            return;
        }
    entries.emplace_back(std::string(key), std::move(value));
}

bool IniSection::remove(std::string_view key) {
    for (auto it = entries.begin(); it != entries.end(); ++it)
        if (iequals(it->first, key)) {
            entries.erase(it);
            return true;
        }
    return false;
}

bool IniDocument::parse(std::string_view text, std::string &error) {
    sections_.clear();
    size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']') {
                error = "line " + std::to_string(lineNo) + ": unterminated section name";
                return false;
            }
            sections_.push_back({std::string(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0 || sections_.empty()) {
            error = "line " + std::to_string(lineNo) + ": expected key=value inside a section";
            return false;
        }
        sections_.back().entries.emplace_back(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
    }
    return true;
}

std::string IniDocument::text() const {
    std::string out;
    for (const IniSection &s : sections_) {
        if (!out.empty()) out += '\n';
        out += '[' + s.name + "]\n";
        for (const auto &[k, v] : s.entries) out += k + '=' + v + '\n';
    }
    return out;
}

IniSection *IniDocument::section(std::string_view name) {
    for (IniSection &s : sections_)
        if (iequals(s.name, name)) return &s;
    return nullptr;
}

const IniSection *IniDocument::section(std::string_view name) const {
    for (const IniSection &s : sections_)
        if (iequals(s.name, name)) return &s;
    return nullptr;
}

IniSection &IniDocument::sectionOrNew(std::string_view name) {
    if (IniSection *s = section(name)) return *s;
    sections_.push_back({std::string(name), {}});
    return sections_.back();
}

bool IniDocument::removeSection(std::string_view name) {
    for (auto it = sections_.begin(); it != sections_.end(); ++it)
        if (iequals(it->name, name)) {
            sections_.erase(it);
            return true;
        }
    return false;
}

std::string IniDocument::get(std::string_view sectionName, std::string_view key, std::string fallback) const {
    const IniSection *s = section(sectionName);
    const std::string *v = s ? s->find(key) : nullptr;
    return v ? *v : fallback;
}

void IniDocument::set(std::string_view sectionName, std::string_view key, std::string value) {
    sectionOrNew(sectionName).set(key, std::move(value));
}

bool loadIni(const fs::path &path, IniDocument &doc, std::string &error, bool missingIsEmpty) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        doc = IniDocument();
        if (missingIsEmpty) return true;
        error = path.string() + ": file not found";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path.string() + ": cannot be read";
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    std::string parseError;
    if (!doc.parse(buffer.str(), parseError)) {
        error = path.string() + ": " + parseError;
        return false;
    }
    return true;
}

bool saveIni(const fs::path &path, const IniDocument &doc, std::string &error) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (!platform::writeFileAtomically(path, doc.text(), ec)) {
        error = path.string() + ": cannot be written (" + ec.message() + ")";
        return false;
    }
    return true;
}

StoreLock::StoreLock(const fs::path &path) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    const std::string lockPath = path.string() + ".lock";
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) {
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
}

StoreLock::~StoreLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace palm
