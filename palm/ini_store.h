// The small text files the Palm layer keeps its state in (the device file,
// card files, the user store, the conduit and launcher stores): sections of
// key=value lines, keys found without regard to case. Saving goes through a
// temporary file and a rename; StoreLock serialises read-modify-write cycles
// between processes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#pragma GCC visibility push(default)

namespace palm {

struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;

    const std::string *find(std::string_view key) const;
    void set(std::string_view key, std::string value);
    bool remove(std::string_view key);
};

class IniDocument {
public:
    // Parses text; false with `error` ("line N: ...") when a line is neither a
    // section, a key=value pair, a comment nor blank.
    bool parse(std::string_view text, std::string &error);
    std::string text() const;

    IniSection *section(std::string_view name);
    const IniSection *section(std::string_view name) const;
    IniSection &sectionOrNew(std::string_view name);
    bool removeSection(std::string_view name);
    std::vector<IniSection> &sections() { return sections_; }
    const std::vector<IniSection> &sections() const { return sections_; }

    std::string get(std::string_view section, std::string_view key, std::string fallback = {}) const;
    void set(std::string_view section, std::string_view key, std::string value);

private:
    std::vector<IniSection> sections_;
};

// Loads a file; a missing file is an empty document when missingIsEmpty.
// Errors name the file.
bool loadIni(const std::filesystem::path &path, IniDocument &doc, std::string &error,
             bool missingIsEmpty = true);
bool saveIni(const std::filesystem::path &path, const IniDocument &doc, std::string &error);

// An exclusive lock on <path>.lock, held while the object lives.
class StoreLock {
public:
    explicit StoreLock(const std::filesystem::path &path);
    ~StoreLock();
    StoreLock(const StoreLock &) = delete;
    StoreLock &operator=(const StoreLock &) = delete;

private:
    int fd_ = -1;
};

// True when text can be stored as one value: no line breaks or other control
// characters.
bool storableText(std::string_view text);

bool iequals(std::string_view a, std::string_view b);
std::optional<long long> parseInteger(std::string_view text);

}  // namespace palm

#pragma GCC visibility pop
