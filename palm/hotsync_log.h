// The HotSync log: one readable text file per Palm user ("HotSync.log" in
// the user's folder), one entry per line: local date and time, the activity
// code and the text; lines of a text that spans several lines follow with a
// leading tab. During a HotSync the entries go to the user of the connected
// handheld (the HotSync root's own log when that user is not known).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

namespace palm::hslog {

// Activity codes the suite writes.
enum : int32_t {
    kActivityLowLevel = -1,
    kActivityHostMessage = 0,
    kActivityRunEnd = 20,          // the closing entry of a conduit run
    kActivityConduitMessage = 22,
};

struct Entry {
    std::string time;     // "2024-05-01 14:03:22"
    int32_t activity = 0;
    std::string text;
};

// Adds an entry (text, activity code, 0). Answers 0, or non-zero when the log
// cannot be written.
int32_t addEntry(const std::string &text, int32_t activity, int32_t reserved = 0);

// The log file entries go to now.
std::filesystem::path currentLogFile();
std::filesystem::path logFileOfFolder(const std::filesystem::path &userFolder);
// Reads a log file; entries from byte offset `from` on.
std::vector<Entry> readLog(const std::filesystem::path &file, uint64_t from = 0);

}  // namespace palm::hslog

#pragma GCC visibility pop
