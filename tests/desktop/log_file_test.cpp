// The desktop log: its text format read back, its size limit and the
// inactive instance of the desktop data.
#include "desktop_fixture.h"
#include "log_file.h"

#include <sstream>

namespace {

using desktop::TQvLogFile;
using desktop::TQvLogRecord;

std::string readText(const std::filesystem::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(LogFileTest, SourcesAndMessagesWithAngleBracketsSurviveTheTextFormat) {
    TQvLogFile log;
    log.add("10:00", "Plugin>List", "a > b >> c");
    log.add("10:01", "a>>b", "");
    std::ostringstream out;
    log.saveToStream(out);
    EXPECT_EQ(out.str(), "[10:00]Plugin>>List>a > b >> c\r\n[10:01]a>>>>b>\r\n");

    std::istringstream in(out.str());
    TQvLogFile back;
    back.loadFromStream(in);
    EXPECT_EQ(back.entries(), log.entries());
}

TEST(LogFileTest, LoadingDropsLinesWithoutBracketsAndReadsLooseLines) {
    std::istringstream in("no brackets\r\n[only open\r\nclose] only\n[t]src>msg\rjunk[t2]rest without separator\n");
    TQvLogFile log;
    log.loadFromStream(in);
    ASSERT_EQ(log.entries().size(), 2u);
    EXPECT_EQ(log.entries()[0], (TQvLogRecord{"t", "src", "msg"}));
    EXPECT_EQ(log.entries()[1], (TQvLogRecord{"t2", "rest without separator", ""}));
}

TEST(LogFileTest, TheSizeLimitKeepsTheNewestLinesThatReachIt) {
    TQvLogFile log;
    log.setSizeLimit(100);
    // Each line is 40 characters: "[ts]" + source + ">" + message.
    for (int i = 0; i < 4; ++i) log.add("ts", "src", std::string(32, char('a' + i)));
    ASSERT_EQ(TQvLogFile::lineOf(log.entries()[0]).size(), 40u);
    ASSERT_EQ(log.entries().size(), 3u);
    EXPECT_EQ(log.entries().front().message, std::string(32, 'b'));
}

TEST(LogFileTest, InactiveLogsTakeNothingAndAutoSaveWritesTheWholeFile) {
    char pattern[] = "/tmp/qv_log_XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    const auto file = dir / "QVDesktop.log";
    std::ofstream(file, std::ios::binary) << "[t]keep>this\r\n";

    TQvLogFile inactive(false);
    inactive.setFileName(file.string());
    ASSERT_EQ(inactive.entries().size(), 1u);
    inactive.setAutoSave(true);
    inactive.add("t2", "s", "m");
    EXPECT_EQ(inactive.entries().size(), 1u);
    EXPECT_EQ(readText(file), "[t]keep>this\r\n");

    TQvLogFile active;
    active.setFileName(file.string());
    active.setAutoSave(true);
    active.add("t2", "s", "m");
    EXPECT_EQ(readText(file), "[t]keep>this\r\n[t2]s>m\r\n");
    active.deleteAt(0);
    EXPECT_EQ(readText(file), "[t2]s>m\r\n");
    std::filesystem::remove_all(dir);
}

}  // namespace
