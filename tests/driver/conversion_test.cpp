// The conversion table: disk file to disk file, desktop file into a handheld
// database and back, with every pair the table names and the pairs it does
// not. Office programs are not part of this build, so their conversions
// fail as they do on a machine without them.
#include "driver_fixture.h"

#include <algorithm>
#include <cstring>

using namespace drivertest;

namespace {

auto convertFile() { return QV_BIND(QVDP_ConvertFile); }
auto toPalmDB() { return QV_BIND(QVDP_ConvertToPalmDB); }
auto fromPalmDB() { return QV_BIND(QVDP_ConvertFromPalmDB); }

bool startsWith(const std::vector<uint8_t> &bytes, const char *prefix, size_t length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, length) == 0;
}
// A Docs file whose header breaks off after its mark.
const std::vector<uint8_t> kBrokenDocs = {'M', 'W', 'Q', 'V', 0};

bool isDocs(const std::vector<uint8_t> &bytes) { return startsWith(bytes, "MWQV", 4); }
bool isWord(const std::vector<uint8_t> &bytes) {
    return startsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
}

}  // namespace

TEST_F(DriverTest, WordAndDocsConvertBothWays) {
    QVDP_Error e{};
    convertFile()(&e, corpusWord("SampleDoc.doc").c_str(), at("sample.mwd").c_str(), 1, 6);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_TRUE(isDocs(readBytes(desk / "sample.mwd")));

    convertFile()(&e, at("sample.mwd").c_str(), at("sample.doc").c_str(), 6, 1);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_TRUE(isWord(readBytes(desk / "sample.doc")));

    // What the plug-in writes it reads again.
    convertFile()(&e, at("sample.doc").c_str(), at("again.mwd").c_str(), 1, 6);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_TRUE(isDocs(readBytes(desk / "again.mwd")));
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(DriverTest, ConvertFileFailuresAndUnsupportedPairs) {
    write("text.txt", {'h', 'i'});
    write("broken.mwd", kBrokenDocs);
    const std::string missing = at("missing.mwd");
    struct Case {
        std::string source;
        int32_t from, to;
        int32_t kind, code;
        std::string text;  // empty: not checked
    } cases[] = {
        {at("text.txt"), 1, 6, QVDP_KIND_CONVERSION, 17, "Bad or not supported file format"},
        {at("broken.mwd"), 6, 1, QVDP_KIND_CONVERSION, 17, "Bad or not supported file format"},
        {missing, 6, 1, QVDP_KIND_CONVERSION, 17, ""},
        {at("text.txt"), 31, 32, QVDP_KIND_CONVERSION, 17, at("text.txt")},
        {at("text.txt"), 32, 31, QVDP_KIND_CONVERSION, 17, at("text.txt")},
        {at("text.txt"), 33, 21, QVDP_KIND_CONVERSION, 17, at("text.txt")},
        {at("text.txt"), 37, 21, QVDP_KIND_CONVERSION, 17, at("text.txt")},
        {at("text.txt"), 21, 35, QVDP_KIND_CONVERSION, 17, at("text.txt")},
        {at("text.txt"), 38, 1, QVDP_KIND_CONVERSION, 17, at("text.txt")},
        {at("text.txt"), 1, 39, QVDP_KIND_CONVERSION, 17, at("text.txt")},
        {at("text.txt"), 2, 6, QVDP_KIND_CONDUIT, 13, ""},
        {at("text.txt"), 6, 2, QVDP_KIND_CONDUIT, 13, ""},
        {at("text.txt"), 1, 1, QVDP_KIND_CONDUIT, 13, ""},
        {at("text.txt"), 21, 22, QVDP_KIND_CONDUIT, 13, ""},
        {at("text.txt"), 39, 21, QVDP_KIND_CONDUIT, 13, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
        QVDP_Error e{};
        convertFile()(&e, c.source.c_str(), at("out").c_str(), c.from, c.to);
        EXPECT_EQ(e.kind, c.kind) << describe(e);
        EXPECT_EQ(e.code, c.code);
        if (!c.text.empty()) { EXPECT_EQ(c.text, e.text); }
        if (c.kind == QVDP_KIND_CONVERSION) { EXPECT_NE(e.text[0], '\0'); }
        // A failed conversion leaves no destination behind.
        EXPECT_FALSE(fs::exists(desk / "out"));
    }
    // A destination that was there before an office conversion failed is
    // not the conversion's to delete.
    write("kept.ppt", {9});
    QVDP_Error e{};
    convertFile()(&e, at("text.txt").c_str(), at("kept.ppt").c_str(), 32, 31);
    EXPECT_EQ(e.code, 17);
    EXPECT_EQ(readBytes(desk / "kept.ppt"), (std::vector<uint8_t>{9}));
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(DriverTest, WordGoesToTheHandheldAsDocsAndComesBackAsWord) {
    QVDP_Error e{};
    // The conduit asks for a copy; the formats differ, so it converts.
    QV_BIND(QVDP_CopyToPalmDevice)(&e, corpusWord("simple-table.doc").c_str(), "Table", 1, 6, 0);
    ASSERT_EQ(e.code, 0) << describe(e);
    auto db = database("Table");
    ASSERT_TRUE(db);
    EXPECT_EQ(db->type, fourCC("QVWD"));
    ASSERT_FALSE(db->records.empty());
    EXPECT_TRUE(isDocs(db->records[0].data));
    EXPECT_EQ(db->sortInfo->size(), 4 * db->records.size());

    QV_BIND(QVDP_CopyFromPalmDevice)(&e, at("table.doc").c_str(), "Table", 1, 6);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_TRUE(isWord(readBytes(desk / "table.doc")));
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(DriverTest, DocsGoesToTheHandheldAsAWordStreamAndBack) {
    QVDP_Error e{};
    convertFile()(&e, corpusWord("SampleDoc.doc").c_str(), at("sample.mwd").c_str(), 1, 6);
    ASSERT_EQ(e.code, 0) << describe(e);
    toPalmDB()(&e, at("sample.mwd").c_str(), "Sample", 6, 1, 0, fourCC("QVMW"), fourCC("WORD"));
    ASSERT_EQ(e.code, 0) << describe(e);
    auto db = database("Sample");
    ASSERT_TRUE(db);
    EXPECT_EQ(db->type, fourCC("WORD"));
    EXPECT_EQ(db->creator, fourCC("QVMW"));
    ASSERT_FALSE(db->records.empty());
    EXPECT_TRUE(startsWith(db->records[0].data, "DBLK", 4));

    // Handheld Word back as a desktop Docs file.
    fromPalmDB()(&e, "Sample", at("back.mwd").c_str(), 1, 6);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_TRUE(isDocs(readBytes(desk / "back.mwd")));
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(DriverTest, ConvertToPalmDBFailuresLeaveNothingBehind) {
    const std::string text = write("text.txt", {'h', 'i'});
    const std::string broken = write("broken.mwd", kBrokenDocs);
    struct Case {
        int32_t from, to;
        int32_t kind, code;
        bool namesTheDesktopFile;
    } cases[] = {
        {1, 6, QVDP_KIND_CONVERSION, 17, false},  // not a Word document
        {6, 1, QVDP_KIND_CONVERSION, 17, false},  // not a Docs file
        {31, 32, QVDP_KIND_CONVERSION, 17, true},
        {33, 21, QVDP_KIND_CONVERSION, 17, true},
        {36, 21, QVDP_KIND_CONVERSION, 17, true},
        {38, 1, QVDP_KIND_CONVERSION, 17, true},
        {39, 1, QVDP_KIND_CONVERSION, 17, true},
        {2, 6, QVDP_KIND_CONDUIT, 13, false},
        {1, 1, QVDP_KIND_CONDUIT, 13, false},
        {21, 33, QVDP_KIND_CONDUIT, 13, false},
        {32, 31, QVDP_KIND_CONDUIT, 13, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
        QVDP_Error e{};
        const std::string &source = c.from == 6 ? broken : text;
        toPalmDB()(&e, source.c_str(), "Out", c.from, c.to, 0, fourCC("QVME"), fourCC("XLSa"));
        EXPECT_EQ(e.kind, c.kind) << describe(e);
        EXPECT_EQ(e.code, c.code);
        if (c.namesTheDesktopFile) { EXPECT_EQ(source, e.text); }
        EXPECT_FALSE(hasDatabase("Out"));
        EXPECT_TRUE(temporaryFiles().empty());
    }
}

TEST_F(DriverTest, HandheldFailureAfterAConversionLeavesNothingBehind) {
    for (const char *operation : {"sync.writeRecord", "sync.writeSortInfoBlock", "sync.closeDatabase"}) {
        SCOPED_TRACE(operation);
        fault(operation, palm::kSyncErrIo);
        QVDP_Error e{};
        toPalmDB()(&e, corpusWord("SampleDoc.doc").c_str(), "Sample", 1, 6, 0, fourCC("QVMW"), fourCC("QVWD"));
        EXPECT_EQ(e.kind, QVDP_KIND_SYNC) << describe(e);
        EXPECT_EQ(e.syncError, palm::kSyncErrIo);
        palm::clearFaults();
        EXPECT_FALSE(hasDatabase("Sample"));
        EXPECT_TRUE(temporaryFiles().empty());
    }
}

TEST_F(DriverTest, ConvertFromPalmDBFailuresLeaveNoTemporaryFile) {
    QVDP_Error e{};
    QV_BIND(QVDP_CopyToPalmDevice)(&e, write("sums.xls", {1, 2, 3}).c_str(), "Sums", 21, 21, 0);
    ASSERT_EQ(e.code, 0) << describe(e);
    QV_BIND(QVDP_CopyToPalmDevice)(&e, write("broken.mwd", kBrokenDocs).c_str(), "Garbage", 6, 6, 0);
    ASSERT_EQ(e.code, 0) << describe(e);
    palm::PalmDatabase slides;
    slides.name = "Deck";
    slides.type = fourCC("Mppt");
    slides.creator = fourCC("QVSS");
    slides.records = {{0, 1, pattern(10)}};
    store(slides);
    palm::PalmDatabase damaged;
    damaged.name = "Damaged";
    damaged.type = fourCC("QVWD");
    damaged.appInfo = std::vector<uint8_t>(6, 0);
    damaged.sortInfo = std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 1};
    damaged.records = {{0, 1, {1}}, {0, 2, {2}}};
    store(damaged);

    const std::string out = at("out");
    struct Case {
        const char *name;
        int32_t from, to;
        int32_t kind, code;
        bool namesTheDesktopFile;
    } cases[] = {
        {"Sums", 21, 33, QVDP_KIND_CONVERSION, 17, true},
        {"Sums", 21, 37, QVDP_KIND_CONVERSION, 17, true},
        {"Sums", 1, 38, QVDP_KIND_CONVERSION, 17, true},
        {"Deck", 32, 31, QVDP_KIND_CONVERSION, 17, true},
        {"Garbage", 6, 1, QVDP_KIND_CONVERSION, 17, false},
        {"Damaged", 6, 1, QVDP_KIND_CONDUIT, 44, false},
        {"Nothing", 6, 1, QVDP_KIND_SYNC, 41, false},
        {"Nothing", 32, 31, QVDP_KIND_SYNC, 41, false},
        {"Nothing", 21, 34, QVDP_KIND_SYNC, 41, false},
        {"Garbage", 6, 2, QVDP_KIND_CONDUIT, 13, false},
        {"Garbage", 6, 3, QVDP_KIND_CONDUIT, 13, false},
        {"Sums", 21, 21, QVDP_KIND_CONDUIT, 13, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.from) + " -> " + std::to_string(c.to));
        e = {};
        fromPalmDB()(&e, c.name, out.c_str(), c.from, c.to);
        EXPECT_EQ(e.kind, c.kind) << describe(e);
        EXPECT_EQ(e.code, c.code);
        if (c.namesTheDesktopFile) { EXPECT_EQ(out, e.text); }
        EXPECT_TRUE(temporaryFiles().empty());
    }
}

TEST_F(DriverTest, PrepareDestPCFileCopiesThePresentationForSlidesOnly) {
    auto prepare = QV_BIND(QVDP_PrepareDestPCFile);
    const std::string presentation = write("talk.ppt", pattern(70000));
    const std::string temporary = write("talk.tmp", {});
    QVDP_Error e{};
    prepare(&e, presentation.c_str(), temporary.c_str(), 31, 32);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_EQ(readBytes(temporary), pattern(70000));

    // Other handheld formats leave the temporary file alone.
    write("talk.tmp", {});
    prepare(&e, presentation.c_str(), temporary.c_str(), 1, 6);
    EXPECT_EQ(e.code, 0);
    EXPECT_TRUE(readBytes(temporary).empty());

    // No presentation on the desktop yet: nothing to copy, no error.
    prepare(&e, at("new.ppt").c_str(), temporary.c_str(), 31, 32);
    const QVDP_Error zero{};
    EXPECT_EQ(std::memcmp(&e, &zero, sizeof e), 0) << describe(e);

    // A destination that cannot be written is a system error.
    prepare(&e, presentation.c_str(), at("no/such/folder/talk.tmp").c_str(), 31, 32);
    EXPECT_EQ(e.kind, QVDP_KIND_SYSTEM);
    EXPECT_EQ(e.code, 16);
    EXPECT_NE(e.win32Error, 0u);
    std::vector<std::string> left;
    for (const auto &entry : fs::directory_iterator(desk)) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"talk.ppt", "talk.tmp"}));
}
