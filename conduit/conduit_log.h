// The conduit log: everything the user learns about a HotSync run goes to
// the HotSync log (which the HotSync Manager shows) and to the handheld's
// own HotSync log. One ConduitLog exists per run and is the module's
// current log while the run lasts; a configuration call has none.
#pragma once

#include "qvdp_types.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace conduit {

// Every message the conduit writes has this level.
constexpr int kConduitMessageLevel = 3;

// Longest line handed to the logs.
constexpr std::size_t kMaxLogLine = 255;

// HotSync log activity codes.
constexpr int32_t kActivityConduitMessage = 22;
constexpr int32_t kActivityLowLevel = -1;
constexpr int32_t kActivityRunEnd = 20;

inline constexpr const char kDesktopActiveText[] = "Desktop application is active.";
inline constexpr const char kRunEndText[] = "Tarvoc Papyrine.";
inline constexpr const char kUnknownResourceText[] = "Unknown resource ID";

class ConduitLog {
public:
    explicit ConduitLog(int minimumLevel = 1) : minimumLevel_(minimumLevel) {}

    // Writes the text when level reaches the minimum level. Never fails
    // visibly and never throws.
    void logText(int level, std::string_view text) const noexcept;
    // Writes string resource `id`, or "Unknown resource ID" when there is none.
    void logResource(int level, uint32_t id) const noexcept;

private:
    int minimumLevel_;
};

// The log of the run in progress, or nullptr.
ConduitLog *currentLog();

// Makes a log the current one for its lifetime.
class CurrentLogScope {
public:
    explicit CurrentLogScope(ConduitLog &log);
    ~CurrentLogScope();
    CurrentLogScope(const CurrentLogScope &) = delete;
    CurrentLogScope &operator=(const CurrentLogScope &) = delete;

private:
    ConduitLog *previous_;
};

// The files of a pair that a failure concerns; either may be absent.
struct PairFiles {
    const char *palmFile = nullptr;   // the handheld item's name
    const char *pcFile = nullptr;     // the desktop entry's path
};

// The main line that tells what an error record holds (kind 1 to 5).
std::string errorLine(const QVDP_Error &error);

// Logs a failure of a pair through the current log: the main line, then
// "Palm File: ..." and "PC File: ..." for the files the pair has. Both walks
// of the synchronization report through this one procedure.
void reportPairError(const QVDP_Error &error, const PairFiles &pair) noexcept;

// The closing entry of a run: "Tarvoc Papyrine." with the run-end activity
// code, to the HotSync log only.
void writeRunEnd() noexcept;

}  // namespace conduit
