#include "log_file.h"

#include "shared_file.h"
#include "temp_files.h"
#include "times.h"

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace desktop {

namespace {

std::string doubled(std::string_view source) {
    std::string out;
    for (char c : source) {
        out += c;
        if (c == '>') out += '>';
    }
    return out;
}

std::string undoubled(std::string_view source) {
    std::string out;
    for (size_t i = 0; i < source.size(); ++i) {
        out += source[i];
        if (source[i] == '>' && i + 1 < source.size() && source[i + 1] == '>') ++i;
    }
    return out;
}

// Splits text at CR LF, LF or a lone CR.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::string nowText() {
    const platform::CivilTime t = platform::localNow();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

}  // namespace

std::string TQvLogFile::lineOf(const TQvLogRecord &r) {
    return "[" + r.timeStamp + "]" + doubled(r.source) + ">" + r.message;
}

bool TQvLogFile::parseLine(std::string_view line, TQvLogRecord &r) {
    const size_t open = line.find('[');
    if (open == std::string_view::npos) return false;
    std::string_view rest = line.substr(open + 1);
    const size_t close = rest.find(']');
    if (close == std::string_view::npos) return false;
    r.timeStamp = std::string(rest.substr(0, close));
    rest = rest.substr(close + 1);
    // The first ">" that is not one of a ">>" pair separates source and message.
    size_t i = 0;
    while (i < rest.size()) {
        if (rest[i] != '>') {
            ++i;
            continue;
        }
        if (i + 1 < rest.size() && rest[i + 1] == '>') {
            i += 2;
            continue;
        }
        break;
    }
    if (i < rest.size()) {
        r.source = undoubled(rest.substr(0, i));
        r.message = std::string(rest.substr(i + 1));
    } else {
        r.source = std::string(rest);
        r.message.clear();
    }
    return true;
}

void TQvLogFile::setFileName(const std::string &name) {
    fileName_ = name;
    std::error_code ec;
    if (!name.empty() && std::filesystem::exists(name, ec)) loadFromFile(name);
    if (fileName_.empty()) autoSave_ = false;
}

void TQvLogFile::add(std::string timeStamp, std::string source, std::string message) {
    if (!active_) return;
    entries_.push_back({std::move(timeStamp), std::move(source), std::move(message)});
    applySizeLimit();
    autoSaveNow();
}

void TQvLogFile::addNow(std::string source, std::string message) {
    add(nowText(), std::move(source), std::move(message));
}

void TQvLogFile::clear() {
    entries_.clear();
    autoSaveNow();
}

void TQvLogFile::deleteAt(size_t index) {
    if (index >= entries_.size()) return;
    entries_.erase(entries_.begin() + std::ptrdiff_t(index));
    autoSaveNow();
}

void TQvLogFile::applySizeLimit() {
    if (sizeLimit_ <= 0) return;
    // Newest first: keep entries until their lines reach the limit, the one
    // that reaches it included; everything older goes.
    int64_t sum = 0;
    size_t keepFrom = 0;
    for (size_t i = entries_.size(); i-- > 0;) {
        sum += int64_t(lineOf(entries_[i]).size());
        if (sum >= sizeLimit_) {
            keepFrom = i;
            break;
        }
    }
    if (keepFrom > 0) entries_.erase(entries_.begin(), entries_.begin() + std::ptrdiff_t(keepFrom));
}

void TQvLogFile::autoSaveNow() {
    if (autoSave_ && !fileName_.empty()) saveToFile(fileName_);
}

bool TQvLogFile::loadFromFile(const std::string &name) {
    entries_.clear();
    // Others may read the file meanwhile, nobody may write it.
    const int fd = platform::openFile(name, platform::Access::Read, platform::Disposition::OpenExisting,
                                      platform::Share::Read);
    if (fd < 0) return false;
    std::string text;
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        if (text.size() + size_t(n) > kMaxFileSize) {
            ok = false;
            break;
        }
        text.append(buffer, size_t(n));
    }
    platform::closeFile(fd);
    if (!ok) return false;
    std::istringstream in(text);
    loadFromStream(in);
    return true;
}

void TQvLogFile::loadFromStream(std::istream &in) {
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    entries_.clear();
    for (std::string_view line : splitLines(text)) {
        TQvLogRecord r;
        if (parseLine(line, r)) entries_.push_back(std::move(r));
    }
}

bool TQvLogFile::saveToFile(const std::string &name) const {
    std::ostringstream out;
    saveToStream(out);
    std::error_code ec;
    return platform::writeFileAtomically(name, out.str(), ec);
}

void TQvLogFile::saveToStream(std::ostream &out) const {
    for (const TQvLogRecord &r : entries_) out << lineOf(r) << "\r\n";
}

}  // namespace desktop
