#include "times.h"

#include <cerrno>
#include <cmath>
#include <ctime>
#include <limits>

namespace platform {

namespace chr = std::chrono;
namespace fs = std::filesystem;

namespace {

using Ticks = chr::duration<int64_t, std::ratio<1, 10000000>>;  // FILETIME units

// FILETIME <-> 100-ns ticks since 1970, clamped at both ends.
int64_t ticksSinceUnix(FileTime ft) {
    if (ft >= kUnixEpochFileTime) {
        uint64_t d = ft - kUnixEpochFileTime;
        return d > uint64_t(std::numeric_limits<int64_t>::max()) ? std::numeric_limits<int64_t>::max() : int64_t(d);
    }
    return -int64_t(kUnixEpochFileTime - ft);
}

FileTime fileTimeFromTicks(int64_t ticks) {
    if (ticks < -int64_t(kUnixEpochFileTime)) return 0;  // before 1601
    if (ticks > std::numeric_limits<int64_t>::max() - int64_t(kUnixEpochFileTime))
        return FileTime(std::numeric_limits<int64_t>::max());
    return FileTime(int64_t(kUnixEpochFileTime) + ticks);
}

template <typename Duration>
Duration clampedFromTicks(int64_t ticks) {
    const int64_t maxTicks = chr::floor<Ticks>(Duration::max()).count();
    const int64_t minTicks = chr::ceil<Ticks>(Duration::min()).count();
    if (ticks > maxTicks) return Duration::max();
    if (ticks < minTicks) return Duration::min();
    return chr::duration_cast<Duration>(Ticks(ticks));
}

// How far the file clock's epoch lies after 1970, in ticks.
int64_t fileClockEpochTicks() {
    static const int64_t ticks = chr::floor<Ticks>(chr::file_clock::to_sys(fs::file_time_type{}).time_since_epoch()).count();
    return ticks;
}

int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void civilFromDays(int64_t z, CivilTime &c) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    c.year = int(int64_t(yoe) + era * 400 + (m <= 2));
    c.month = int(m);
    c.day = int(d);
}

int dayOfWeek(int64_t daysSince1970) { return int(((daysSince1970 % 7) + 7 + 4) % 7); }  // 1970-01-01: Thursday

const int64_t kOleEpochDays = daysFromCivil(1899, 12, 30);
constexpr double kOleMin = -657434.0;  // 0100-01-01
constexpr double kOleEnd = 2958466.0;  // 10000-01-01
constexpr int64_t kMsPerDay = 86400000;

}  // namespace

FileTime fileTimeFromSystem(chr::system_clock::time_point t) {
    return fileTimeFromTicks(chr::floor<Ticks>(t.time_since_epoch()).count());
}

chr::system_clock::time_point systemFromFileTime(FileTime ft) {
    return chr::system_clock::time_point(clampedFromTicks<chr::system_clock::duration>(ticksSinceUnix(ft)));
}

FileTime fileTimeFromFileClock(fs::file_time_type t) {
    return fileTimeFromTicks(chr::floor<Ticks>(t.time_since_epoch()).count() + fileClockEpochTicks());
}

fs::file_time_type fileClockFromFileTime(FileTime ft) {
    // Both terms are far from int64's ends: a FILETIME spans about 58000 years
    // of ticks, the file clock's epoch lies within a few centuries of 1970.
    int64_t ticks = ticksSinceUnix(ft);
    if (ticks > std::numeric_limits<int64_t>::max() / 2) ticks = std::numeric_limits<int64_t>::max() / 2;
    return fs::file_time_type(clampedFromTicks<fs::file_time_type::duration>(ticks - fileClockEpochTicks()));
}

FileTime fileTimeNow() { return fileTimeFromSystem(chr::system_clock::now()); }

std::optional<FileTime> lastWriteFileTime(const fs::path &path) {
    std::error_code ec;
    fs::file_time_type t = fs::last_write_time(path, ec);
    if (ec) return std::nullopt;
    return fileTimeFromFileClock(t);
}

bool setLastWriteFileTime(const fs::path &path, FileTime ft) {
    std::error_code ec;
    fs::last_write_time(path, fileClockFromFileTime(ft), ec);
    return !ec;
}

CivilTime localTimeOf(chr::system_clock::time_point t) {
    auto ms = chr::floor<chr::milliseconds>(t.time_since_epoch()).count();
    int64_t seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    std::time_t when = std::time_t(seconds);
    std::tm tm{};
    CivilTime c;
    if (!::localtime_r(&when, &tm)) return c;
    c.year = tm.tm_year + 1900;
    c.month = tm.tm_mon + 1;
    c.day = tm.tm_mday;
    c.hour = tm.tm_hour;
    c.minute = tm.tm_min;
    c.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    c.millisecond = int(ms - seconds * 1000);
    c.dayOfWeek = tm.tm_wday;
    return c;
}

CivilTime localNow() { return localTimeOf(chr::system_clock::now()); }

std::optional<chr::system_clock::time_point> timePointOfLocal(const CivilTime &local) {
    std::tm tm{};
    tm.tm_year = local.year - 1900;
    tm.tm_mon = local.month - 1;
    tm.tm_mday = local.day;
    tm.tm_hour = local.hour;
    tm.tm_min = local.minute;
    tm.tm_sec = local.second;
    tm.tm_isdst = -1;
    errno = 0;
    std::time_t when = std::mktime(&tm);
    if (when == std::time_t(-1) && errno != 0) return std::nullopt;
    return chr::system_clock::from_time_t(when) + chr::milliseconds(local.millisecond);
}

double oleDateFromCivil(const CivilTime &c) {
    int64_t days = daysFromCivil(c.year, unsigned(c.month), unsigned(c.day)) - kOleEpochDays;
    double fraction = double(((int64_t(c.hour) * 60 + c.minute) * 60 + c.second) * 1000 + c.millisecond) / double(kMsPerDay);
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

std::optional<CivilTime> civilFromOleDate(double oleDate) {
    if (!std::isfinite(oleDate) || oleDate < kOleMin || oleDate >= kOleEnd) return std::nullopt;
    double whole = std::trunc(oleDate);
    auto days = int64_t(whole);
    int64_t ms = std::llround(std::fabs(oleDate - whole) * double(kMsPerDay));
    if (ms >= kMsPerDay) {  // rounded up to the next midnight
        ++days;
        ms -= kMsPerDay;
    }
    CivilTime c;
    int64_t daysSince1970 = days + kOleEpochDays;
    civilFromDays(daysSince1970, c);
    c.hour = int(ms / 3600000);
    c.minute = int(ms / 60000 % 60);
    c.second = int(ms / 1000 % 60);
    c.millisecond = int(ms % 1000);
    c.dayOfWeek = dayOfWeek(daysSince1970);
    return c;
}

double oleDateFromTimePoint(chr::system_clock::time_point t) { return oleDateFromCivil(localTimeOf(t)); }

std::optional<chr::system_clock::time_point> timePointFromOleDate(double oleDate) {
    auto civil = civilFromOleDate(oleDate);
    if (!civil) return std::nullopt;
    return timePointOfLocal(*civil);
}

double oleDateNow() { return oleDateFromTimePoint(chr::system_clock::now()); }

}  // namespace platform
