#include "times.h"

#include "machine_folder.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>

using namespace platform;
namespace chr = std::chrono;

namespace {

// Runs the test body in a fixed time zone and restores the previous one.
class TimeZone {
public:
    explicit TimeZone(const char *tz) {
        if (const char *old = std::getenv("TZ")) saved_ = old, hadTz_ = true;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (hadTz_) ::setenv("TZ", saved_.c_str(), 1);
        else ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::string saved_;
    bool hadTz_ = false;
};

chr::system_clock::time_point utc(int y, unsigned m, unsigned d, int h = 0, int min = 0, int s = 0) {
    auto day = chr::sys_days(chr::year(y) / chr::month(m) / chr::day(d));
    return day + chr::hours(h) + chr::minutes(min) + chr::seconds(s);
}

}  // namespace

TEST(FileTimeTest, KnownMomentsAndRoundTrips) {
    EXPECT_EQ(fileTimeFromSystem(utc(1970, 1, 1)), 116444736000000000ull);
    EXPECT_EQ(fileTimeFromSystem(utc(1970, 1, 1) + chr::nanoseconds(150)), 116444736000000001ull);
    EXPECT_EQ(fileTimeFromSystem(utc(2000, 1, 1)), 125911584000000000ull);
    EXPECT_EQ(systemFromFileTime(125911584000000000ull), utc(2000, 1, 1));
    // Moments the system clock cannot hold are clamped, not wrapped.
    EXPECT_EQ(systemFromFileTime(0), chr::system_clock::time_point::min());
    EXPECT_EQ(systemFromFileTime(~0ull), chr::system_clock::time_point::max());

    const FileTime ft = 133000000000000000ull + 1234567;  // 2022, odd ticks
    EXPECT_EQ(fileTimeFromFileClock(fileClockFromFileTime(ft)), ft);
    EXPECT_EQ(fileTimeFromFileClock(chr::file_clock::from_sys(utc(1970, 1, 1))), kUnixEpochFileTime);
    FileTime before = fileTimeNow();
    EXPECT_GT(before, 133000000000000000ull);
}

class FileStampTest : public MachineFolderTest {};

TEST_F(FileStampTest, LastWriteTimeOfAFile) {
    auto path = home() / "stamp.txt";
    EXPECT_EQ(lastWriteFileTime(path), std::nullopt);
    std::ofstream(path) << "x";
    auto written = lastWriteFileTime(path);
    ASSERT_TRUE(written);
    EXPECT_LE(*written, fileTimeNow());
    EXPECT_GT(*written, fileTimeNow() - 600000000ull);  // within the last minute
    const FileTime stamp = fileTimeFromSystem(utc(2004, 2, 29, 13, 14, 15)) + 5;
    ASSERT_TRUE(setLastWriteFileTime(path, stamp));
    EXPECT_EQ(lastWriteFileTime(path), stamp);
}

TEST(OleDateTest, CalendarValues) {
    struct Case {
        CivilTime civil;
        double ole;
    };
    const Case cases[] = {
        {{1899, 12, 30, 0, 0, 0, 0, 6}, 0.0},
        {{2000, 1, 1, 12, 0, 0, 0, 6}, 36526.5},
        {{1900, 1, 1, 6, 0, 0, 0, 1}, 2.25},
        {{1899, 12, 29, 6, 0, 0, 0, 5}, -1.25},  // before the epoch the fraction still runs forward
        {{1899, 12, 28, 18, 0, 0, 0, 4}, -2.75},
        {{9999, 12, 31, 0, 0, 0, 0, 5}, 2958465.0},
        {{100, 1, 1, 0, 0, 0, 0, 5}, -657434.0},
    };
    for (const Case &c : cases) {
        EXPECT_DOUBLE_EQ(oleDateFromCivil(c.civil), c.ole) << c.ole;
        EXPECT_EQ(civilFromOleDate(c.ole), c.civil) << c.ole;
    }
    // A millisecond short of midnight rounds into the next day.
    auto late = civilFromOleDate(1.0 - 1e-10);
    ASSERT_TRUE(late);
    EXPECT_EQ(late->day, 31);
    EXPECT_EQ(late->hour, 0);
    auto precise = civilFromOleDate(oleDateFromCivil({2023, 7, 14, 23, 59, 58, 999, 5}));
    ASSERT_TRUE(precise);
    EXPECT_EQ(*precise, (CivilTime{2023, 7, 14, 23, 59, 58, 999, 5}));
    for (double bad : {std::nan(""), 1e300, -1e7, 2958466.0})
        EXPECT_EQ(civilFromOleDate(bad), std::nullopt) << bad;
}

TEST(OleDateTest, MomentsUseLocalTime) {
    {
        TimeZone zone("UTC0");
        EXPECT_DOUBLE_EQ(oleDateFromTimePoint(utc(2000, 1, 1, 12)), 36526.5);
        EXPECT_EQ(timePointFromOleDate(36526.5), utc(2000, 1, 1, 12));
        EXPECT_EQ(timePointFromOleDate(0.0), utc(1899, 12, 30));
    }
    {
        TimeZone zone("CET-1");  // one hour east of UTC, no daylight saving
        EXPECT_DOUBLE_EQ(oleDateFromTimePoint(utc(2000, 1, 1, 11)), 36526.5);
        EXPECT_EQ(timePointFromOleDate(36526.5), utc(2000, 1, 1, 11));
        auto now = chr::floor<chr::milliseconds>(chr::system_clock::now());
        EXPECT_EQ(timePointFromOleDate(oleDateFromTimePoint(now)), now);
    }
}
