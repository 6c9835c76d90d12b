#include "db_test_support.h"

#include <sys/wait.h>
#include <unistd.h>

using namespace dbtest;

namespace {

using Database = TempFolder;

std::vector<uint8_t> recordAtCursor(void *h, uint32_t size) {
    std::vector<uint8_t> r(size);
    EXPECT_EQ(QVDP_DBGetRecord(h, size, r.data()), 0);
    return r;
}

TEST_F(Database, MissingFileWithoutHeaderStaysEmptyUntilOpenedWithOne) {
    void *h = reinterpret_cast<void *>(1);
    EXPECT_EQ(QVDP_DBOpen(file().c_str(), &h, nullptr, nullptr), 1);
    ASSERT_TRUE(fs::exists(file()));
    EXPECT_EQ(fs::file_size(file()), 0u);

    h = openDb(file(), 874);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(QVDP_DBGetNumRecord(h), 0);
    EXPECT_EQ(QVDP_DBEof(h), 1);
    EXPECT_EQ(QVDP_DBClose(h), 0);
    EXPECT_EQ(readAll(file()), std::vector<uint8_t>({0xDC, 0x91, 0x2E, 0x6B, 1, 0, 1, 0, 0x6A, 3, 0, 0, 0, 0, 0, 0}));

    // Reopened without a header: the stored one serves.
    EXPECT_EQ(QVDP_DBOpen(file().c_str(), &h, nullptr, nullptr), 0);
    EXPECT_EQ(QVDP_DBClose(h), 0);
}

TEST_F(Database, WalksRecordsInInsertOrderAfterReopen) {
    void *h = createWith(file(), 874, {1, 2, 3});
    EXPECT_EQ(QVDP_DBClose(h), 0);
    EXPECT_EQ(fs::file_size(file()), 16u + 3 * 874);

    ASSERT_EQ(QVDP_DBOpen(file().c_str(), &h, nullptr, nullptr), 0);
    ASSERT_EQ(QVDP_DBGetNumRecord(h), 3);
    for (uint8_t tag = 1; tag <= 3; ++tag) {
        EXPECT_EQ(QVDP_DBEof(h), 0);
        EXPECT_EQ(recordAtCursor(h, 874), record(874, tag));
        EXPECT_EQ(QVDP_DBNext(h), 0);
    }
    EXPECT_EQ(QVDP_DBEof(h), 1);
    QVDP_DBClose(h);
}

TEST_F(Database, StoredRecordSizeWinsOverTheCallersHeaderAndBuffer) {
    struct Case { uint32_t stored, callerHeader, buffer, expectRead; };
    for (Case c : {Case{880, 874, 876, 876}, Case{874, 880, 880, 874}}) {
        SCOPED_TRACE(c.stored);
        fs::path p = file(std::to_string(c.stored) + ".dat");
        void *h = createWith(p, c.stored, {7, 8});
        QVDP_DBClose(h);

        auto header = headerBytes(c.callerHeader);
        ASSERT_EQ(QVDP_DBOpen(p.c_str(), &h, header.data(), nullptr), 0);
        EXPECT_EQ(QVDP_DBGetNumRecord(h), 2);
        std::vector<uint8_t> buf(c.buffer, 0xEE);
        ASSERT_EQ(QVDP_DBNext(h), 0);
        ASSERT_EQ(QVDP_DBGetRecord(h, c.buffer, buf.data()), 0);
        auto want = record(c.stored, 8);
        want.resize(c.expectRead);
        want.resize(c.buffer, 0xEE);   // the rest of the buffer is untouched
        EXPECT_EQ(buf, want);
        QVDP_DBClose(h);
        EXPECT_EQ(fs::file_size(p), 16u + 2 * c.stored);
    }
}

TEST_F(Database, HeaderBlobIsKeptAndRecordsFollowIt) {
    auto header = headerBytes(20, 5);
    const uint8_t blob[5] = {'b', 'l', 'o', 'b', '!'};
    void *h = nullptr;
    ASSERT_EQ(QVDP_DBOpen(file().c_str(), &h, header.data(), blob), 0);
    ASSERT_EQ(QVDP_DBInsertRecord(h, record(20, 4).data()), 0);
    QVDP_DBClose(h);

    auto bytes = readAll(file());
    ASSERT_EQ(bytes.size(), 16u + 5 + 20);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 16, bytes.begin() + 21), std::vector<uint8_t>(blob, blob + 5));
    ASSERT_EQ(QVDP_DBOpen(file().c_str(), &h, nullptr, nullptr), 0);
    EXPECT_EQ(QVDP_DBGetNumRecord(h), 1);
    EXPECT_EQ(recordAtCursor(h, 20), record(20, 4));
    QVDP_DBClose(h);
}

TEST_F(Database, FilesThatAreNotDatabasesAreRefusedAndLeftAlone) {
    auto good = headerBytes(874);
    auto withField = [&](size_t offset, uint32_t value) {
        std::vector<uint8_t> b(good.begin(), good.end());
        b.resize(100, 0x11);
        for (int i = 0; i < 4; ++i) b[offset + i] = uint8_t(value >> (8 * i));
        return b;
    };
    struct Case { const char *name; std::vector<uint8_t> bytes; };
    std::vector<Case> cases = {
        {"text", std::vector<uint8_t>(300, 'x')},
        {"short header", std::vector<uint8_t>(good.begin(), good.begin() + 10)},
        {"record size 0", withField(8, 0)},
        {"blob beyond the file", withField(12, 85)},
        {"huge blob", withField(12, 0xFFFFFFF0u)},
        {"magic big-endian", {0x6B, 0x2E, 0x91, 0xDC, 1, 0, 1, 0, 0x6A, 3, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        writeAll(file(), c.bytes);
        void *h = nullptr;
        EXPECT_EQ(QVDP_DBOpen(file().c_str(), &h, good.data(), nullptr), 62);
        EXPECT_EQ(h, nullptr);
        EXPECT_EQ(readAll(file()), c.bytes);
    }
    // The refused open let go of the file.
    writeAll(file(), {});
    void *h = openDb(file(), 874);
    EXPECT_NE(h, nullptr);
    QVDP_DBClose(h);
}

TEST_F(Database, NewFileWithUnusableHeaderIsRefusedAndStaysEmpty) {
    auto zeroSize = headerBytes(0);
    auto needsBlob = headerBytes(874, 8);
    void *h = nullptr;
    EXPECT_EQ(QVDP_DBOpen(file().c_str(), &h, zeroSize.data(), nullptr), 1);
    EXPECT_EQ(QVDP_DBOpen(file().c_str(), &h, needsBlob.data(), nullptr), 1);
    EXPECT_EQ(fs::file_size(file()), 0u);
}

TEST_F(Database, CursorMovesAndTheEndPosition) {
    void *h = createWith(file(), 32, {1, 2});
    EXPECT_EQ(QVDP_DBFirst(h), 0);
    EXPECT_EQ(QVDP_DBPrior(h), 0);   // stays at 0
    EXPECT_EQ(recordAtCursor(h, 32), record(32, 1));
    EXPECT_EQ(QVDP_DBLast(h), 0);    // the end position, not the last record
    EXPECT_EQ(QVDP_DBEof(h), 1);
    std::vector<uint8_t> buf(32, 0xEE);
    EXPECT_EQ(QVDP_DBGetRecord(h, 32, buf.data()), 23);
    EXPECT_EQ(QVDP_DBPrior(h), 0);
    EXPECT_EQ(QVDP_DBEof(h), 0);
    EXPECT_EQ(recordAtCursor(h, 32), record(32, 2));
    EXPECT_EQ(QVDP_DBNext(h), 0);
    EXPECT_EQ(QVDP_DBNext(h), 0);    // past the end, without bound
    EXPECT_EQ(QVDP_DBEof(h), 1);
    EXPECT_EQ(QVDP_DBGetRecord(h, 32, buf.data()), 23);
    QVDP_DBClose(h);
}

TEST_F(Database, InsertMovesTheCursorToTheNewRecord) {
    void *h = createWith(file(), 32, {1, 2});
    QVDP_DBFirst(h);
    ASSERT_EQ(QVDP_DBInsertRecord(h, record(32, 3).data()), 0);
    EXPECT_EQ(QVDP_DBGetNumRecord(h), 3);
    EXPECT_EQ(recordAtCursor(h, 32), record(32, 3));
    QVDP_DBClose(h);
}

TEST_F(Database, UpdateOverwritesOnlyTheRecordAtTheCursor) {
    void *h = createWith(file(), 32, {1, 2, 3});
    QVDP_DBFirst(h);
    QVDP_DBNext(h);
    ASSERT_EQ(QVDP_DBUpdateRecord(h, record(32, 9, 0x77).data()), 0);
    QVDP_DBClose(h);
    auto bytes = readAll(file());
    ASSERT_EQ(bytes.size(), 16u + 3 * 32);
    std::vector<uint8_t> want(bytes.begin(), bytes.begin() + 16);
    for (auto r : {record(32, 1), record(32, 9, 0x77), record(32, 3)}) want.insert(want.end(), r.begin(), r.end());
    EXPECT_EQ(bytes, want);
}

TEST_F(Database, DeleteShiftsTheFollowingRecordsAndKeepsTheCursor) {
    void *h = createWith(file(), 32, {1, 2, 3, 4});
    QVDP_DBFirst(h);
    QVDP_DBNext(h);
    ASSERT_EQ(QVDP_DBDeleteRecord(h), 0);
    EXPECT_EQ(QVDP_DBGetNumRecord(h), 3);
    EXPECT_EQ(recordAtCursor(h, 32), record(32, 3));   // the one that followed
    QVDP_DBClose(h);

    ASSERT_EQ(QVDP_DBOpen(file().c_str(), &h, nullptr, nullptr), 0);
    for (uint8_t tag : {1, 3, 4}) {
        EXPECT_EQ(recordAtCursor(h, 32), record(32, tag));
        QVDP_DBNext(h);
    }
    EXPECT_EQ(QVDP_DBEof(h), 1);
    QVDP_DBClose(h);
}

TEST_F(Database, DeletingTheLastRecordOnlyTruncates) {
    void *h = createWith(file(), 32, {1, 2, 3});
    auto before = readAll(file());
    ASSERT_EQ(QVDP_DBLocateRecord(h, key(3).data()), 0);
    ASSERT_EQ(QVDP_DBDeleteRecord(h), 0);
    EXPECT_EQ(QVDP_DBGetNumRecord(h), 2);
    EXPECT_EQ(QVDP_DBEof(h), 1);   // cursor == count
    before.resize(16 + 2 * 32);
    EXPECT_EQ(readAll(file()), before);
    QVDP_DBClose(h);
}

TEST_F(Database, UpdateAndDeleteAtOrPastTheEndChangeNothing) {
    void *h = openDb(file(), 32);
    EXPECT_EQ(QVDP_DBDeleteRecord(h), 25);   // empty
    EXPECT_EQ(QVDP_DBUpdateRecord(h, record(32, 5).data()), 25);
    EXPECT_EQ(fs::file_size(file()), 16u);

    for (uint8_t t : {1, 2}) ASSERT_EQ(QVDP_DBInsertRecord(h, record(32, t).data()), 0);
    auto before = readAll(file());
    QVDP_DBLast(h);
    EXPECT_EQ(QVDP_DBUpdateRecord(h, record(32, 5).data()), 25);
    EXPECT_EQ(QVDP_DBDeleteRecord(h), 25);
    QVDP_DBNext(h);
    EXPECT_EQ(QVDP_DBUpdateRecord(h, record(32, 5).data()), 25);
    EXPECT_EQ(QVDP_DBDeleteRecord(h), 25);
    EXPECT_EQ(QVDP_DBGetNumRecord(h), 2);
    EXPECT_EQ(readAll(file()), before);
    QVDP_DBClose(h);
}

TEST_F(Database, LocateFindsTheFirstMatchOrLeavesTheCursor) {
    void *h = createWith(file(), 40, {1, 2, 3, 2});
    QVDP_DBLast(h);
    ASSERT_EQ(QVDP_DBLocateRecord(h, key(2).data()), 0);
    EXPECT_EQ(QVDP_DBPrior(h), 0);   // the first match is record 1
    EXPECT_EQ(recordAtCursor(h, 40), record(40, 1));

    QVDP_DBNext(h);
    QVDP_DBNext(h);   // record 2
    EXPECT_EQ(QVDP_DBLocateRecord(h, key(9).data()), 28);
    EXPECT_EQ(recordAtCursor(h, 40), record(40, 3));
    QVDP_DBClose(h);
}

TEST_F(Database, SecondOpenIsRefusedFromThisAndAnotherProcess) {
    void *h = openDb(file(), 32);
    void *other = nullptr;
    EXPECT_EQ(QVDP_DBOpen(file().c_str(), &other, nullptr, nullptr), 5);
    EXPECT_EQ(other, nullptr);

    pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        void *c = nullptr;
        _exit(QVDP_DBOpen(file().c_str(), &c, nullptr, nullptr));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 5);

    QVDP_DBClose(h);
    ASSERT_EQ(QVDP_DBOpen(file().c_str(), &other, nullptr, nullptr), 0);
    QVDP_DBClose(other);
}

TEST_F(Database, PartialTrailingRecordIsNotCountedAndTheNextInsertReplacesIt) {
    void *h = createWith(file(), 32, {1, 2});
    QVDP_DBClose(h);
    // A write that failed after 20 bytes of a third record, key included.
    auto bytes = readAll(file());
    auto partial = record(32, 7);
    bytes.insert(bytes.end(), partial.begin(), partial.begin() + 20);
    writeAll(file(), bytes);

    ASSERT_EQ(QVDP_DBOpen(file().c_str(), &h, nullptr, nullptr), 0);
    EXPECT_EQ(QVDP_DBGetNumRecord(h), 2);
    EXPECT_EQ(QVDP_DBLocateRecord(h, key(7).data()), 28);
    ASSERT_EQ(QVDP_DBInsertRecord(h, record(32, 3).data()), 0);
    QVDP_DBClose(h);

    EXPECT_EQ(fs::file_size(file()), 16u + 3 * 32);
    ASSERT_EQ(QVDP_DBOpen(file().c_str(), &h, nullptr, nullptr), 0);
    for (uint8_t tag : {1, 2, 3}) {
        EXPECT_EQ(recordAtCursor(h, 32), record(32, tag));
        QVDP_DBNext(h);
    }
    QVDP_DBClose(h);
}

TEST(DatabaseArguments, NullHandleAnswersBadParameters) {
    EXPECT_EQ(QVDP_DBClose(nullptr), 1);
    EXPECT_EQ(QVDP_DBGetNumRecord(nullptr), 0);
    EXPECT_EQ(QVDP_DBFirst(nullptr), 1);
    EXPECT_EQ(QVDP_DBNext(nullptr), 1);
    EXPECT_EQ(QVDP_DBPrior(nullptr), 1);
    EXPECT_EQ(QVDP_DBLast(nullptr), 1);
    EXPECT_EQ(QVDP_DBEof(nullptr), 1);
    uint8_t buf[16] = {};
    EXPECT_EQ(QVDP_DBGetRecord(nullptr, 16, buf), 1);
    EXPECT_EQ(QVDP_DBInsertRecord(nullptr, buf), 1);
    EXPECT_EQ(QVDP_DBUpdateRecord(nullptr, buf), 1);
    EXPECT_EQ(QVDP_DBDeleteRecord(nullptr), 1);
    EXPECT_EQ(QVDP_DBLocateRecord(nullptr, buf), 1);
    void *h = nullptr;
    EXPECT_EQ(QVDP_DBOpen(nullptr, &h, buf, nullptr), 1);
}

TEST(DatabaseArguments, UnopenableFileAnswersCannotOpen) {
    void *h = nullptr;
    auto header = headerBytes(32);
    EXPECT_EQ(QVDP_DBOpen("/nonexistent-folder/x/PapyrineSync.dat", &h, header.data(), nullptr), 5);
    EXPECT_EQ(h, nullptr);
}

}  // namespace
