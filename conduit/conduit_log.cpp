#include "conduit_log.h"

#include "conduit_strings.h"
#include "hotsync_log.h"
#include "sync_manager.h"

#include <cstdio>
#include <cstring>

namespace conduit {

namespace {

ConduitLog *g_currentLog = nullptr;

// A cut at `limit` bytes that does not split a UTF-8 sequence.
std::size_t cutPoint(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut == 0 ? limit : cut;
}

void writeLine(int level, std::string_view line) {
    const int32_t activity = (level == 2 || level == 3) ? kActivityConduitMessage : kActivityLowLevel;
    const std::string text(line);
    palm::hslog::addEntry(text, activity, 0);
    palm::sync::addLogLine(text);
    palm::sync::addLogLine("\n");
}

std::string format(const char *pattern, int value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::string codeText(int32_t code) {
    if (code >= 0 && uint32_t(code) <= UINT32_MAX - kStrStatusTextBase)
        if (const auto text = loadString(kStrStatusTextBase + uint32_t(code))) return std::string(*text);
    return format("Error code %d", code);
}

}  // namespace

// A line never holds more than 255 characters. A longer text (a file error
// with a long path) is written as several lines rather than cut, so that no
// part of a path is lost.
void ConduitLog::logText(int level, std::string_view text) const noexcept {
    if (level < minimumLevel_) return;
    try {
        do {
            const std::size_t cut = cutPoint(text, kMaxLogLine);
            writeLine(level, text.substr(0, cut));
            text.remove_prefix(cut);
        } while (!text.empty());
    } catch (...) {
        // Logging never fails visibly.
    }
}

void ConduitLog::logResource(int level, uint32_t id) const noexcept {
    const auto text = loadString(id);
    logText(level, text ? *text : std::string_view(kUnknownResourceText));
}

ConduitLog *currentLog() { return g_currentLog; }

CurrentLogScope::CurrentLogScope(ConduitLog &log) : previous_(g_currentLog) { g_currentLog = &log; }

CurrentLogScope::~CurrentLogScope() { g_currentLog = previous_; }

std::string errorLine(const QVDP_Error &error) {
    std::string text(error.text, ::strnlen(error.text, sizeof error.text));
    switch (error.kind) {
    case QVDP_KIND_FILE:
        return format("File Error. WIN32 Error Code: %d", int(error.win32Error)) + "\r\nFile : " + text;
    case QVDP_KIND_SYSTEM:
        return format("WIN32 Error. WIN32 Error Code: %d", int(error.win32Error));
    case QVDP_KIND_SYNC:
        return "Sync Error: " + codeText(error.code) + format(", Sync Error Code : %d", error.syncError);
    case QVDP_KIND_CONVERSION:
        return "Conversion Error : " + text;
    default:
        // Kind 1, and any kind this conduit does not know, is told by its code.
        return "Conduit Error: " + codeText(error.code);
    }
}

void reportPairError(const QVDP_Error &error, const PairFiles &pair) noexcept {
    const ConduitLog *log = currentLog();
    if (!log) return;
    try {
        log->logText(kConduitMessageLevel, errorLine(error));
        if (pair.palmFile) log->logText(kConduitMessageLevel, std::string("Palm File: ") + pair.palmFile);
        if (pair.pcFile) log->logText(kConduitMessageLevel, std::string("PC File: ") + pair.pcFile);
    } catch (...) {
    }
}

void writeRunEnd() noexcept {
    try {
        palm::hslog::addEntry(kRunEndText, kActivityRunEnd, 0);
    } catch (...) {
    }
}

}  // namespace conduit
