// Times as the suite stores them. FILETIME: UTC, 100-ns ticks since
// 1601-01-01 (synchronisation times, file stamps). OLE dates: days since
// 1899-12-30 as a double, the fraction being the local time of day (record
// creation dates); before 1899-12-30 the whole part counts days back and the
// fraction still runs forward, as OLE defines it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace platform {

using FileTime = uint64_t;
constexpr FileTime kUnixEpochFileTime = 116444736000000000ull;  // 1970-01-01 00:00 UTC

FileTime fileTimeFromSystem(std::chrono::system_clock::time_point t);
std::chrono::system_clock::time_point systemFromFileTime(FileTime ft);  // clamped to the clock's range
FileTime fileTimeFromFileClock(std::filesystem::file_time_type t);
std::filesystem::file_time_type fileClockFromFileTime(FileTime ft);
FileTime fileTimeNow();  // GetSystemTimeAsFileTime

// The last-write time of a file, or nullopt when it cannot be read.
std::optional<FileTime> lastWriteFileTime(const std::filesystem::path &path);
bool setLastWriteFileTime(const std::filesystem::path &path, FileTime ft);

// A calendar date and time of day, like SYSTEMTIME.
struct CivilTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    int dayOfWeek = 6;  // 0 = Sunday
    bool operator==(const CivilTime &) const = default;
};

CivilTime localTimeOf(std::chrono::system_clock::time_point t);
CivilTime localNow();  // GetLocalTime
// The moment a local calendar time names; nullopt when it is out of range.
std::optional<std::chrono::system_clock::time_point> timePointOfLocal(const CivilTime &local);

// OLE dates of calendar times, independent of the time zone. Valid OLE dates
// lie between year 100 and 9999; others (and NaN) give nullopt.
double oleDateFromCivil(const CivilTime &c);
std::optional<CivilTime> civilFromOleDate(double oleDate);

// OLE dates of moments, in local time.
double oleDateFromTimePoint(std::chrono::system_clock::time_point t);
std::optional<std::chrono::system_clock::time_point> timePointFromOleDate(double oleDate);
double oleDateNow();

}  // namespace platform
