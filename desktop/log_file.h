// TQvLogFile: a list of log entries kept in memory and mirrored to a text
// file, one line per entry: "[" time stamp "]" source (every ">" doubled)
// ">" message CR LF. An inactive log reads its file but accepts no entries
// and never writes; with auto-save on, every change rewrites the whole file
// (through a temporary file and a rename). A size limit keeps only the newest
// entries whose lines first reach it.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace desktop {

struct TQvLogRecord {
    std::string timeStamp;
    std::string source;
    std::string message;

    bool operator==(const TQvLogRecord &) const = default;
};

class TQvLogFile {
public:
    // Log files larger than this are not read.
    static constexpr std::uintmax_t kMaxFileSize = 16u << 20;

    explicit TQvLogFile(bool active = true) : active_(active) {}

    const std::vector<TQvLogRecord> &entries() const { return entries_; }
    bool active() const { return active_; }
    void setActive(bool active) { active_ = active; }
    bool autoSave() const { return autoSave_; }
    // Auto-save is on only while a file name is set.
    void setAutoSave(bool value) { autoSave_ = value && !fileName_.empty(); }
    int32_t sizeLimit() const { return sizeLimit_; }
    void setSizeLimit(int32_t limit) { sizeLimit_ = limit; }
    const std::string &fileName() const { return fileName_; }
    // Stores the name and loads the file when it exists.
    void setFileName(const std::string &name);

    // Appends an entry when active, keeps the size limit, auto-saves.
    void add(std::string timeStamp, std::string source, std::string message);
    // The same with the current local date and time as the time stamp.
    void addNow(std::string source, std::string message);
    void clear();
    void deleteAt(size_t index);

    // Replace the entries by those parsed from the text; false when the file
    // cannot be read (the entries are then empty).
    bool loadFromFile(const std::string &name);
    void loadFromStream(std::istream &in);
    // Write every entry in the text format; saving a file replaces it whole.
    bool saveToFile(const std::string &name) const;
    void saveToStream(std::ostream &out) const;

    // The text line of one entry, without its CR LF.
    static std::string lineOf(const TQvLogRecord &r);
    // The entry a text line holds; false for a line without "[" and "]".
    static bool parseLine(std::string_view line, TQvLogRecord &r);

private:
    void autoSaveNow();
    void applySizeLimit();

    std::vector<TQvLogRecord> entries_;
    bool active_ = true;
    bool autoSave_ = false;
    int32_t sizeLimit_ = 0;
    std::string fileName_;
};

}  // namespace desktop
