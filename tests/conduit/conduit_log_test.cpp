// The conduit log: how an error record becomes log lines, where the lines
// go, and the string resources they come from.
#include "conduit_test_support.h"

#include "conduit_log.h"
#include "conduit_strings.h"

#include <cstring>

using namespace conduittest;
using namespace conduit;

namespace {

class ConduitLogTest : public ConduitTest {
protected:
    void SetUp() override {
        ConduitTest::SetUp();
        std::string error;
        ASSERT_TRUE(palm::selectHandheld("hh", error)) << error;
    }

    std::vector<std::pair<int32_t, std::string>> entries() const {
        std::vector<std::pair<int32_t, std::string>> out;
        for (const auto &e : logEntries()) out.emplace_back(e.activity, e.text);
        return out;
    }

    std::string syncLog() const {
        std::ifstream in(palm::Handheld::folderOf("hh") / "synclog.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

QVDP_Error errorRecord(int32_t kind, int32_t code, const char *text = "", uint32_t win32 = 0, int32_t sync = 0) {
    QVDP_Error e{};
    e.kind = kind;
    e.code = code;
    std::strncpy(e.text, text, sizeof e.text - 1);
    e.win32Error = win32;
    e.syncError = sync;
    return e;
}

}  // namespace

TEST_F(ConduitLogTest, EachErrorKindHasItsLine) {
    struct Case {
        QVDP_Error error;
        const char *line;   // as the HotSync log shows it ("\r\n" ends a line)
    };
    const Case cases[] = {
        {errorRecord(1, 48), "Conduit Error: Desktop file is missing"},
        {errorRecord(1, 99), "Conduit Error: Error code 99"},   // a code without a text
        {errorRecord(2, 61, "/home/ann/Report.doc", 2), "File Error. WIN32 Error Code: 2\nFile : /home/ann/Report.doc"},
        {errorRecord(3, 16, "", 13), "WIN32 Error. WIN32 Error Code: 13"},
        {errorRecord(4, 91, "", 0, 10503), "Sync Error: Card IO error, Sync Error Code : 10503"},
        {errorRecord(5, 17, "The document is damaged."), "Conversion Error : The document is damaged."},
    };
    ConduitLog log;
    CurrentLogScope scope(log);
    for (const Case &c : cases) reportPairError(c.error, {});
    const auto written = entries();
    ASSERT_EQ(written.size(), std::size(cases));
    for (size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(written[i].second, cases[i].line);
        EXPECT_EQ(written[i].first, 22);
    }
}

TEST_F(ConduitLogTest, APairErrorNamesTheFilesOfThePair) {
    ConduitLog log;
    CurrentLogScope scope(log);
    reportPairError(errorRecord(5, 17, "Unknown format"), {"Report", "/home/ann/Report.doc"});
    reportPairError(errorRecord(1, 95), {"Notes.txt", nullptr});
    reportPairError(errorRecord(1, 48), {nullptr, "/home/ann/Gone.doc"});
    const decltype(entries()) expected = {
        {22, "Conversion Error : Unknown format"}, {22, "Palm File: Report"},
        {22, "PC File: /home/ann/Report.doc"},     {22, "Conduit Error: Card not present"},
        {22, "Palm File: Notes.txt"},              {22, "Conduit Error: Desktop file is missing"},
        {22, "PC File: /home/ann/Gone.doc"},
    };
    EXPECT_EQ(entries(), expected);
    // The handheld's own log gets each line followed by a line break.
    EXPECT_EQ(syncLog().substr(0, 57), "Conversion Error : Unknown format\nPalm File: Report\nPC Fi");
}

TEST_F(ConduitLogTest, WithoutACurrentLogNothingIsWritten) {
    reportPairError(errorRecord(1, 48), {"a", "b"});
    EXPECT_TRUE(logEntries().empty());
}

TEST_F(ConduitLogTest, LevelsActivityCodesAndResources) {
    ConduitLog log(2);
    log.logText(1, "below the minimum");
    log.logText(2, "level two");
    log.logResource(3, kStrUnknownError);
    log.logResource(3, 4711);
    ConduitLog everything(1);
    everything.logText(1, "low level");
    writeRunEnd();
    const decltype(entries()) expected = {
        {22, "level two"}, {22, "Unknown error in conduit"}, {22, "Unknown resource ID"},
        {-1, "low level"}, {20, "Tarvoc Papyrine."},
    };
    EXPECT_EQ(entries(), expected);
    // The closing entry goes to the HotSync log only.
    EXPECT_EQ(syncLog().find("Tarvoc Papyrine."), std::string::npos);
}

TEST_F(ConduitLogTest, ALongTextIsWrittenAsSeveralLinesWithoutLosingAnything) {
    // 250 ASCII characters, then two-byte characters: a cut at 255 bytes
    // would fall inside one.
    std::string text(250, 'a');
    for (int i = 0; i < 200; ++i) text += "\xC3\xA9";
    ConduitLog log;
    log.logText(3, text);
    const auto written = entries();
    ASSERT_GE(written.size(), 2u);
    std::string joined;
    for (const auto &[activity, line] : written) {
        EXPECT_LE(line.size(), kMaxLogLine);
        EXPECT_NE(static_cast<unsigned char>(line[0]) & 0xC0, 0x80) << "a line begins inside a character";
        joined += line;
    }
    EXPECT_EQ(joined, text);
}

TEST(ConduitStrings, ResourcesAndStatusTexts) {
    EXPECT_EQ(loadString(1), "Tarvoc Palm Conduit");
    EXPECT_EQ(loadString(9001), "Cannot load conduit plugin");
    EXPECT_EQ(loadString(9006), "Not enough memory");
    EXPECT_EQ(loadString(10000), "No Error");
    EXPECT_EQ(loadString(10096), "Cannot make backup. Please free some space.");
    EXPECT_EQ(loadString(10099), std::nullopt);
    EXPECT_EQ(loadString(2), std::nullopt);
    char small[8];
    EXPECT_FALSE(loadStringInto(1, small, sizeof small));
    EXPECT_STREQ(small, "");
}
