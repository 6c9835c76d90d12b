#include "palm_test_support.h"

#include "pdb_file.h"
#include "sync_manager.h"

#include <cstring>

using namespace palm;
using namespace palm::sync;
using palmtest::PalmTest;

namespace {

DbHandle create(const std::string &name, uint16_t flags = kDbFlagBackup) {
    CreateDbInfo info;
    info.name = name;
    info.type = fourCC("DATA");
    info.creator = fourCC("QVpy");
    info.flags = flags;
    DbHandle h = 0;
    EXPECT_EQ(createDatabase(info, h), 0);
    return h;
}

uint32_t add(DbHandle h, const std::string &bytes, uint8_t attributes = 0, uint8_t category = 0) {
    uint32_t id = 0;
    EXPECT_EQ(writeRecord(h, 0, attributes, category, bytes.data(), uint32_t(bytes.size()), id), 0);
    return id;
}

}  // namespace

TEST_F(PalmTest, DatabasesAreCreatedFoundOpenedAndDeleted) {
    makeHandheld();
    DbInfo info;
    DbHandle h = 0;
    EXPECT_EQ(findDatabase("PapyrineSync.dat", 0, info), kSyncErrNotFound);
    EXPECT_EQ(openDatabase("PapyrineSync.dat", 0, kModeRead, h), 0x4003);
    h = create("PapyrineSync.dat");
    ASSERT_NE(h, 0);
    DbHandle again = 0;
    CreateDbInfo same;
    same.name = "PapyrineSync.dat";
    EXPECT_EQ(createDatabase(same, again), 0x400B);
    EXPECT_EQ(deleteDatabase("PapyrineSync.dat", 0), kSyncErrDatabaseOpen);
    EXPECT_EQ(closeDatabase(h), 0);
    EXPECT_EQ(closeDatabase(h), kSyncErrNotOpen);

    ASSERT_EQ(findDatabase("PapyrineSync.dat", 0, info), 0);
    EXPECT_EQ(info.type, fourCC("DATA"));
    EXPECT_EQ(info.creator, fourCC("QVpy"));
    EXPECT_EQ(info.flags, kDbFlagBackup);
    for (uint8_t mode : {uint8_t(0x80), uint8_t(0x90), uint8_t(0xC0)}) {
        ASSERT_EQ(openDatabase("PapyrineSync.dat", 0, mode, h), 0) << int(mode);
        EXPECT_EQ(closeDatabase(h), 0);
    }
    EXPECT_EQ(deleteDatabase("PapyrineSync.dat", 0), 0);
    EXPECT_EQ(deleteDatabase("PapyrineSync.dat", 0), kSyncErrNotFound);

    // Names: 31 characters are allowed, 32 are not; card 0 only.
    const std::string longest(31, 'n');
    h = create(longest);
    EXPECT_EQ(closeDatabase(h), 0);
    CreateDbInfo tooLong;
    tooLong.name = std::string(32, 'n');
    EXPECT_EQ(createDatabase(tooLong, h), kSyncErrBadArgument);
    EXPECT_EQ(openDatabase(longest, 1, kModeRead, h), kSyncErrBadArgument);
}

TEST_F(PalmTest, RecordsKeepBytesAttributesCategoriesAndUniqueIds) {
    makeHandheld();
    DbHandle h = create("List");
    const uint32_t first = add(h, "alpha", 0, 3);
    const uint32_t second = add(h, "beta", kRecAttrDeleted, 0);
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    uint16_t count = 0;
    EXPECT_EQ(getRecordCount(h, count), 0);
    EXPECT_EQ(count, 2);

    char buffer[16];
    RecordInfo info;
    ASSERT_EQ(readRecordByIndex(h, 1, buffer, sizeof buffer, info), 0);
    EXPECT_EQ(std::string(buffer, info.size), "beta");
    EXPECT_EQ(info.attributes & kRecAttrDeleted, kRecAttrDeleted);
    EXPECT_EQ(info.uniqueId, second);
    ASSERT_EQ(readRecordById(h, first, buffer, sizeof buffer, info), 0);
    EXPECT_EQ(std::string(buffer, info.size), "alpha");
    EXPECT_EQ(info.category, 3);
    EXPECT_EQ(info.index, 0);
    EXPECT_EQ(readRecordByIndex(h, 2, buffer, sizeof buffer, info), kSyncErrNotFound);
    EXPECT_EQ(readRecordById(h, 0x777, buffer, sizeof buffer, info), kSyncErrNotFound);
    EXPECT_EQ(readRecordByIndex(h, 0, buffer, 3, info), kSyncErrBufferTooSmall);
    EXPECT_EQ(info.size, 5u);

    // A record id replaces that record.
    uint32_t id = 0;
    ASSERT_EQ(writeRecord(h, first, 0, 1, "ALPHA!", 6, id), 0);
    EXPECT_EQ(id, first);
    ASSERT_EQ(readRecordByIndex(h, 0, buffer, sizeof buffer, info), 0);
    EXPECT_EQ(std::string(buffer, info.size), "ALPHA!");
    EXPECT_EQ(info.category, 1);

    DbInfo dbInfo;
    ASSERT_EQ(readOpenDatabaseInfo(h, dbInfo), 0);
    EXPECT_EQ(dbInfo.recordCount, 2);
    EXPECT_EQ(dbInfo.maxRecordSize, 6u);
    EXPECT_EQ(dbInfo.creator, fourCC("QVpy"));

    EXPECT_EQ(removeAllRecords(h), 0);
    EXPECT_EQ(getRecordCount(h, count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_GT(add(h, "gamma"), second);   // ids are not given out twice
    EXPECT_EQ(closeDatabase(h), 0);
}

TEST_F(PalmTest, ReadOnlyHandlesRefuseWrites) {
    makeHandheld();
    EXPECT_EQ(closeDatabase(create("Doc")), 0);
    DbHandle h = 0;
    ASSERT_EQ(openDatabase("Doc", 0, kModeRead, h), 0);
    uint32_t id = 0;
    EXPECT_EQ(writeRecord(h, 0, 0, 0, "x", 1, id), kSyncErrReadOnly);
    EXPECT_EQ(removeAllRecords(h), kSyncErrReadOnly);
    EXPECT_EQ(writeAppInfoBlock(h, "x", 1), kSyncErrReadOnly);
    EXPECT_EQ(closeDatabase(h), 0);
}

TEST_F(PalmTest, InfoBlocksReportTheirSizeToASmallBuffer) {
    makeHandheld();
    DbHandle h = create("Docs");
    uint8_t sort[12] = {0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3};
    uint32_t size = 0;
    uint8_t small[4] = {};
    EXPECT_EQ(readSortInfoBlock(h, small, sizeof small, size), kSyncErrNotFound);
    ASSERT_EQ(writeSortInfoBlock(h, sort, sizeof sort), 0);
    ASSERT_EQ(writeAppInfoBlock(h, "\x00\x0c\x00\x00\x10\x00", 6), 0);
    ASSERT_EQ(readSortInfoBlock(h, small, sizeof small, size), 0);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(small[3], 1);
    uint8_t whole[12] = {};
    ASSERT_EQ(readSortInfoBlock(h, whole, sizeof whole, size), 0);
    EXPECT_EQ(std::memcmp(whole, sort, 12), 0);
    uint8_t app[6];
    ASSERT_EQ(readAppInfoBlock(h, app, sizeof app, size), 0);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(app[1], 12);
    EXPECT_EQ(closeDatabase(h), 0);
}

TEST_F(PalmTest, FreeMemoryShrinksAsDatabasesGrowAndAFullHandheldRefuses) {
    makeHandheld("hh", 4096);
    CardInfo card;
    ASSERT_EQ(readSingleCardInfo(0, card), 0);
    const uint8_t *raw = reinterpret_cast<const uint8_t *>(&card);
    uint32_t ramAt11, freeAt15;
    std::memcpy(&ramAt11, raw + 11, 4);
    std::memcpy(&freeAt15, raw + 15, 4);
    EXPECT_EQ(ramAt11, 4096u);
    EXPECT_EQ(freeAt15, 4096u);

    DbHandle h = create("Big");
    const std::string kilobyte(1024, 'k');
    add(h, kilobyte);
    ASSERT_EQ(readSingleCardInfo(0, card), 0);
    const uint32_t freeRam = card.freeRam;  // a packed field: copy before binding a reference
    EXPECT_LT(freeRam, 4096u - 1024u);
    uint32_t id = 0;
    int32_t e = 0;
    for (int i = 0; i < 4 && e == 0; ++i) e = writeRecord(h, 0, 0, 0, kilobyte.data(), 1024, id);
    EXPECT_EQ(e, kSyncErrNotEnoughSpace);
    EXPECT_EQ(closeDatabase(h), 0);
    EXPECT_EQ(readSingleCardInfo(1, card), kSyncErrNotFound);
}

TEST_F(PalmTest, ChangesReachTheStoredFileWhenTheLastHandleCloses) {
    makeHandheld();
    DbHandle h = create("Stored");
    add(h, "kept");
    DbHandle second = 0;
    ASSERT_EQ(openDatabase("Stored", 0, kModeRead, second), 0);
    std::string error;
    auto handheld = Handheld::open("hh", error);
    ASSERT_TRUE(handheld);
    EXPECT_EQ(handheld->loadDatabase("Stored", error)->records.size(), 0u);   // not yet written
    EXPECT_EQ(closeDatabase(h), 0);
    EXPECT_EQ(closeDatabase(second), 0);
    auto stored = handheld->loadDatabase("Stored", error);
    ASSERT_TRUE(stored) << error;
    ASSERT_EQ(stored->records.size(), 1u);
    EXPECT_EQ(std::string(stored->records[0].data.begin(), stored->records[0].data.end()), "kept");

    // Deselecting writes back what is still open.
    ASSERT_EQ(openDatabase("Stored", 0, kModeReadWrite, h), 0);
    add(h, "more");
    deselectHandheld();
    EXPECT_EQ(handheld->loadDatabase("Stored", error)->records.size(), 2u);
}

TEST_F(PalmTest, DamagedDatabaseFileIsAnErrorNamingIt) {
    makeHandheld();
    std::string error;
    auto handheld = Handheld::open("hh", error);
    auto bytes = std::vector<uint8_t>(40, 0);
    std::memcpy(bytes.data(), "Broken", 6);
    palmtest::writeFile(handheld->databaseFile("Broken"), bytes);
    DbHandle h = 0;
    DbInfo info;
    EXPECT_EQ(openDatabase("Broken", 0, kModeRead, h), kSyncErrDamaged);
    EXPECT_NE(lastProblem().find("Broken.pdb"), std::string::npos) << lastProblem();
    EXPECT_EQ(findDatabase("Broken", 0, info), kSyncErrDamaged);
    std::vector<std::string> problems;
    EXPECT_TRUE(handheld->databases(problems).empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("Broken.pdb"), std::string::npos);
}

TEST_F(PalmTest, WithoutAHandheldTheSyncManagerAnswersNoHandheld) {
    DbHandle h = 0;
    ConduitHandle c = 0;
    EXPECT_EQ(openDatabase("X", 0, kModeRead, h), kSyncErrNoHandheld);
    EXPECT_EQ(registerConduit(c), kSyncErrNoHandheld);
}

TEST_F(PalmTest, ConduitRegistrationAndTheHandheldLog) {
    makeHandheld();
    ConduitHandle c = 0;
    ASSERT_EQ(registerConduit(c), 0);
    EXPECT_EQ(SyncYieldCycles(1), 0);
    EXPECT_EQ(addLogLine("Tarvoc Papyrine."), 0);
    EXPECT_EQ(addLogLine("\n"), 0);
    EXPECT_EQ(unregisterConduit(c), 0);
    EXPECT_EQ(unregisterConduit(c), kSyncErrNotRegistered);
    std::string error;
    auto bytes = palmtest::readFile(Handheld::open("hh", error)->syncLogFile());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Tarvoc Papyrine.\n");
}
