// Copies between desktop files and handheld RAM in the same format: the
// stream container, the Docs container and its damaged forms, the space
// check, and failures that must leave nothing behind.
#include "driver_fixture.h"

#include <cstring>

using namespace drivertest;

namespace {

auto copyTo() { return QV_BIND(QVDP_CopyToPalmDevice); }
auto copyFrom() { return QV_BIND(QVDP_CopyFromPalmDevice); }

uint32_t be32(const std::vector<uint8_t> &b, size_t at) {
    return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | b[at + 3];
}

std::vector<uint8_t> concatenated(const palm::PalmDatabase &db) {
    std::vector<uint8_t> all;
    for (const auto &r : db.records) all.insert(all.end(), r.data.begin(), r.data.end());
    return all;
}

}  // namespace

TEST_F(DriverTest, SameFormatFilesTravelInTheStreamContainerAndBack) {
    struct Case {
        int32_t format;
        const char *file;
        const char *type;
        const char *creator;
    } cases[] = {
        {1, "letter.doc", "WORD", "QVMW"},
        {2, "notes.txt", "TEXT", "QVMW"},
        {21, "sums.xls", "XLSa", "QVME"},
    };
    for (const Case &c : cases) {
        const auto bytes = pattern(4097, uint32_t(c.format));
        QVDP_Error e{};
        copyTo()(&e, write(c.file, bytes).c_str(), c.file, c.format, c.format, 0);
        ASSERT_EQ(e.code, 0) << describe(e);
        auto db = database(c.file);
        ASSERT_TRUE(db) << c.file;
        EXPECT_EQ(db->type, fourCC(c.type));
        EXPECT_EQ(db->creator, fourCC(c.creator));
        ASSERT_EQ(db->records.size(), 2u);
        EXPECT_EQ(std::memcmp(db->records[0].data.data(), "DBLK\0\0\x10\0", 8), 0);

        copyFrom()(&e, at("back").c_str(), c.file, c.format, c.format);
        ASSERT_EQ(e.code, 0) << describe(e);
        EXPECT_EQ(readBytes(desk / "back"), bytes) << c.file;
    }
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(DriverTest, DocsContainerHoldsPiecesLengthAndOrder) {
    const auto bytes = pattern(4097);
    QVDP_Error e{};
    copyTo()(&e, write("a.mwd", bytes).c_str(), "Report", 6, 6, 0);
    ASSERT_EQ(e.code, 0) << describe(e);
    auto db = database("Report");
    ASSERT_TRUE(db);
    EXPECT_EQ(db->creator, fourCC("QVMW"));
    EXPECT_EQ(db->type, fourCC("QVWD"));
    EXPECT_EQ(db->attributes, 0);
    EXPECT_EQ(db->version, 0);
    EXPECT_EQ(*db->appInfo, (std::vector<uint8_t>{0, 12, 0, 0, 0x10, 0x01}));
    ASSERT_EQ(db->records.size(), 2u);
    EXPECT_EQ(db->records[0].data.size(), 4096u);
    EXPECT_EQ(db->records[1].data.size(), 1u);
    EXPECT_EQ(db->records[0].attributes, 0);
    ASSERT_EQ(db->sortInfo->size(), 8u);
    EXPECT_EQ(be32(*db->sortInfo, 0), db->records[0].uniqueId);
    EXPECT_EQ(be32(*db->sortInfo, 4), db->records[1].uniqueId);
    EXPECT_EQ(concatenated(*db), bytes);

    copyFrom()(&e, at("back.mwd").c_str(), "Report", 6, 6);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_EQ(readBytes(desk / "back.mwd"), bytes);
}

TEST_F(DriverTest, EmptyDocsFileAndLongNames) {
    QVDP_Error e{};
    // Only the first 31 characters of the name are used.
    const std::string longName = "A name that is longer than the handheld allows";
    copyTo()(&e, write("empty.mwd", {}).c_str(), longName.c_str(), 6, 6, 0);
    ASSERT_EQ(e.code, 0) << describe(e);
    auto db = database(longName.substr(0, 31));
    ASSERT_TRUE(db);
    EXPECT_EQ(*db->appInfo, (std::vector<uint8_t>{0, 12, 0, 0, 0, 0}));
    EXPECT_TRUE(db->records.empty());
    ASSERT_TRUE(db->sortInfo);
    EXPECT_TRUE(db->sortInfo->empty());

    write("back.mwd", {1, 2, 3});
    copyFrom()(&e, at("back.mwd").c_str(), longName.c_str(), 6, 6);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_TRUE(readBytes(desk / "back.mwd").empty());
}

TEST_F(DriverTest, DocsContainerIsReadInSortInfoOrder) {
    palm::PalmDatabase db;
    db.name = "Shuffled";
    db.type = fourCC("QVWD");
    db.creator = fourCC("QVMW");
    db.appInfo = std::vector<uint8_t>{0, 12, 0, 0, 0, 5};
    db.records = {{0, 7, {'c', 'd', 'e'}}, {0, 3, {'a', 'b'}}};
    db.sortInfo = std::vector<uint8_t>{0, 0, 0, 3, 0, 0, 0, 7};
    store(db);
    QVDP_Error e{};
    copyFrom()(&e, at("out.mwd").c_str(), "Shuffled", 6, 6);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_EQ(readBytes(desk / "out.mwd"), (std::vector<uint8_t>{'a', 'b', 'c', 'd', 'e'}));

    // Without a sort info block the records are read by the ids 1, 2, ...
    db.name = "Unsorted";
    db.sortInfo.reset();
    db.records = {{0, 2, {'y'}}, {0, 1, {'x'}}};
    store(db);
    copyFrom()(&e, at("out2.mwd").c_str(), "Unsorted", 6, 6);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_EQ(readBytes(desk / "out2.mwd"), (std::vector<uint8_t>{'x', 'y'}));
}

// A damaged container is an error, never a wrong file.
TEST_F(DriverTest, DamagedDocsContainersAreErrors) {
    struct Case {
        const char *what;
        std::vector<uint8_t> sortInfo;
        size_t firstRecordSize;
        int32_t kind;
        int32_t code;
    } cases[] = {
        {"an id that names no record", {0, 0, 0, 1, 0, 0, 0, 9}, 10, QVDP_KIND_SYNC, 23},
        {"a record longer than 4096 bytes", {0, 0, 0, 1, 0, 0, 0, 2}, 4097, QVDP_KIND_CONDUIT, 44},
        {"fewer ids than records", {0, 0, 0, 1}, 10, QVDP_KIND_CONDUIT, 44},
        {"more ids than records", {0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1}, 10, QVDP_KIND_CONDUIT, 44},
        {"one record listed twice", {0, 0, 0, 1, 0, 0, 0, 1}, 10, QVDP_KIND_CONDUIT, 44},
        {"a block that is no list of ids", {0, 0, 0, 1, 0, 0, 0}, 10, QVDP_KIND_CONDUIT, 44},
    };
    int n = 0;
    for (const Case &c : cases) {
        palm::PalmDatabase db;
        db.name = "Damaged" + std::to_string(n++);
        db.type = fourCC("QVWD");
        db.creator = fourCC("QVMW");
        db.appInfo = std::vector<uint8_t>{0, 12, 0, 0, 0, 0};
        db.records = {{0, 1, pattern(c.firstRecordSize)}, {0, 2, {'z'}}};
        db.sortInfo = c.sortInfo;
        store(db);
        QVDP_Error e{};
        copyFrom()(&e, at("out.mwd").c_str(), db.name.c_str(), 6, 6);
        EXPECT_EQ(e.kind, c.kind) << c.what << ": " << describe(e);
        EXPECT_EQ(e.code, c.code) << c.what;
    }
}

// A handheld that fails while a Docs container is read: an error, never a
// file read without its sort info.
TEST_F(DriverTest, DocsReadFailuresAreErrors) {
    QVDP_Error e{};
    copyTo()(&e, write("a.mwd", pattern(5000)).c_str(), "Doc", 6, 6, 0);
    ASSERT_EQ(e.code, 0) << describe(e);
    struct Case {
        const char *operation;
        uint32_t nthCall;
        int32_t code;
    } cases[] = {
        {"sync.readSortInfoBlock", 1, 41},
        {"sync.readSortInfoBlock", 2, 41},
        {"sync.readAppInfoBlock", 1, 41},
        {"sync.readRecordById", 2, 23},
    };
    for (const Case &c : cases) {
        fault(c.operation, palm::kSyncErrIo, c.nthCall);
        e = {};
        copyFrom()(&e, at("out.mwd").c_str(), "Doc", 6, 6);
        palm::clearFaults();
        EXPECT_EQ(e.kind, QVDP_KIND_SYNC) << c.operation << " " << c.nthCall;
        EXPECT_EQ(e.code, c.code) << c.operation << " " << c.nthCall;
        EXPECT_EQ(e.syncError, palm::kSyncErrIo);
    }
}

TEST_F(DriverTest, MissingDatabasesAndDesktopFiles) {
    QVDP_Error e{};
    copyFrom()(&e, at("out.mwd").c_str(), "Nothing", 6, 6);
    EXPECT_EQ(e.kind, QVDP_KIND_SYNC);
    EXPECT_EQ(e.code, 41);
    EXPECT_EQ(e.syncError, palm::kSyncErrNotFound);

    e = {};
    copyTo()(&e, at("missing.mwd").c_str(), "Missing", 6, 6, 0);
    EXPECT_EQ(e.kind, QVDP_KIND_CONDUIT);
    EXPECT_EQ(e.code, 48);
    EXPECT_FALSE(hasDatabase("Missing"));

    // The desktop file cannot be created: a file error naming it.
    store([] {
        palm::PalmDatabase db;
        db.name = "There";
        db.type = fourCC("QVWD");
        db.appInfo = std::vector<uint8_t>(6, 0);
        db.sortInfo = std::vector<uint8_t>();
        return db;
    }());
    e = {};
    const std::string nowhere = at("no/such/folder.mwd");
    copyFrom()(&e, nowhere.c_str(), "There", 6, 6);
    EXPECT_EQ(e.kind, QVDP_KIND_FILE);
    EXPECT_EQ(e.code, 61);
    EXPECT_EQ(nowhere, e.text);
    EXPECT_NE(e.win32Error, 0u);
}

TEST_F(DriverTest, HandheldFormatWithoutARowTouchesNothing) {
    QVDP_Error e{};
    copyTo()(&e, write("a.doc", {1}).c_str(), "Four", 4, 4, 0);
    EXPECT_EQ(e.kind, QVDP_KIND_CONDUIT);
    EXPECT_EQ(e.code, 13);
    EXPECT_FALSE(hasDatabase("Four"));
    e = {};
    copyTo()(&e, at("a.doc").c_str(), "Four", 1, 4, 0);
    EXPECT_EQ(e.code, 13);
    EXPECT_FALSE(hasDatabase("Four"));
}

TEST_F(DriverTest, NullArgumentsAreBadParameters) {
    QVDP_Error e{};
    EXPECT_EQ(copyTo()(nullptr, "a", "b", 2, 2, 0), 1);
    copyTo()(&e, nullptr, "b", 2, 2, 0);
    EXPECT_EQ(e.code, 1);
    e = {};
    copyFrom()(&e, at("a").c_str(), nullptr, 6, 6);
    EXPECT_EQ(e.code, 1);
    e = {};
    QV_BIND(QVDP_ConvertFile)(&e, nullptr, at("b").c_str(), 1, 6);
    EXPECT_EQ(e.code, 1);
}

// Failures in the middle of writing to the handheld: no partial database,
// and an existing database of that name does not survive half-replaced.
TEST_F(DriverTest, FailedWritesLeaveNoDatabase) {
    struct Case {
        const char *operation;
        uint32_t nthCall;
        int32_t format;
        int32_t code;
    } cases[] = {
        {"sync.writeRecord", 2, 6, 45},
        {"sync.writeSortInfoBlock", 1, 6, 41},
        {"sync.writeAppInfoBlock", 1, 6, 41},
        {"sync.closeDatabase", 1, 6, 45},
        {"sync.writeRecord", 2, 2, 45},
    };
    const auto bytes = pattern(3 * 4096);
    const std::string file = write("big.mwd", bytes);
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " format " + std::to_string(c.format));
        QVDP_Error e{};
        copyTo()(&e, file.c_str(), "Doc", c.format, c.format, 0);  // an existing database of that name
        ASSERT_EQ(e.code, 0) << describe(e);
        fault(c.operation, palm::kSyncErrIo, c.nthCall);
        copyTo()(&e, file.c_str(), "Doc", c.format, c.format, 0);
        EXPECT_EQ(e.kind, QVDP_KIND_SYNC) << describe(e);
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(e.syncError, palm::kSyncErrIo);
        palm::clearFaults();
        EXPECT_FALSE(hasDatabase("Doc"));
        EXPECT_TRUE(temporaryFiles().empty());
    }
}

class SmallHandheld : public DriverTest {
protected:
    uint32_t ramSize() const override { return 300 * 1024; }
};

// Free memory less the file's size is compared with the bytes that must
// stay free; nothing is written when it does not fit.
TEST_F(SmallHandheld, SpaceCheckKeepsTheReserveFree) {
    QVDP_Error e{};
    copyTo()(&e, write("empty.txt", {}).c_str(), "Empty", 2, 2, 300 * 1024);
    EXPECT_EQ(e.code, 0) << describe(e);
    EXPECT_TRUE(hasDatabase("Empty"));
    ASSERT_EQ(palm::sync::deleteDatabase("Empty", 0), 0);

    for (int32_t format : {2, 5, 6}) {
        e = {};
        copyTo()(&e, write("one", {'x'}).c_str(), "One", format, format, 300 * 1024);
        EXPECT_EQ(e.kind, QVDP_KIND_CONDUIT) << format;
        EXPECT_EQ(e.code, 14) << format;
        EXPECT_FALSE(hasDatabase("One"));
    }

    // The converted file is what has to fit.
    e = {};
    QV_BIND(QVDP_ConvertToPalmDB)(&e, corpusWord("SampleDoc.doc").c_str(), "Sample", 1, 6, 300 * 1024 - 100,
                                  fourCC("QVMW"), fourCC("QVWD"));
    EXPECT_EQ(e.code, 14) << describe(e);
    EXPECT_FALSE(hasDatabase("Sample"));
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(DriverTest, HandheldThatCannotTellItsMemory) {
    fault("sync.readSingleCardInfo", palm::kSyncErrIo);
    QVDP_Error e{};
    copyTo()(&e, write("a.txt", {'a'}).c_str(), "A", 2, 2, 0);
    EXPECT_EQ(e.kind, QVDP_KIND_SYNC);
    EXPECT_EQ(e.code, 15);
    EXPECT_FALSE(hasDatabase("A"));
}
