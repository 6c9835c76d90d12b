// Palm Doc files: installed into handheld RAM record by record, and written
// back out as Palm database files so that nothing on the handheld is lost.
#include "driver_fixture.h"

using namespace drivertest;

namespace {

auto copyTo() { return QV_BIND(QVDP_CopyToPalmDevice); }
auto copyFrom() { return QV_BIND(QVDP_CopyFromPalmDevice); }

palm::PalmDatabase palmDoc(const std::string &name) {
    palm::PalmDatabase db;
    db.name = name;
    db.type = fourCC("TEXt");
    db.creator = fourCC("REAd");
    db.attributes = palm::kDbAttrBackup;
    db.version = 1;
    db.appInfo = std::vector<uint8_t>{'a', 'p', 'p'};
    db.sortInfo = std::vector<uint8_t>{'s', 'o'};
    // Attribute bytes: flags in the high four bits, the category below.
    db.records = {{0x03, 1, {0, 2, 0, 0, 0, 0, 0x10, 0, 0, 1, 0x10, 0, 0, 0, 0, 0}},
                  {0x40 | 0x05, 2, pattern(4096)},
                  {0x10, 3, {}},
                  {0x00, 4, {'e', 'n', 'd'}}};
    return db;
}

std::vector<uint8_t> pdbBytes(const palm::PalmDatabase &db) { return palm::serializePdb(db); }

}  // namespace

TEST_F(DriverTest, PalmDocFileIsInstalledRecordByRecord) {
    const palm::PalmDatabase source = palmDoc("Inside the file");
    QVDP_Error e{};
    copyTo()(&e, write("book.pdb", pdbBytes(source)).c_str(), "Book", 5, 5, 0);
    ASSERT_EQ(e.code, 0) << describe(e);
    auto db = database("Book");
    ASSERT_TRUE(db);
    EXPECT_EQ(db->type, fourCC("TEXt"));
    EXPECT_EQ(db->creator, fourCC("REAd"));
    EXPECT_EQ(db->attributes, palm::kDbAttrBackup);
    EXPECT_EQ(db->version, 1);
    EXPECT_EQ(db->appInfo, source.appInfo);
    EXPECT_EQ(db->sortInfo, source.sortInfo);
    ASSERT_EQ(db->records.size(), source.records.size());
    for (size_t i = 0; i < source.records.size(); ++i) {
        EXPECT_EQ(db->records[i].data, source.records[i].data) << i;
        // The category and the dirty and secret flags come across.
        EXPECT_EQ(db->records[i].attributes, source.records[i].attributes) << i;
    }
}

TEST_F(DriverTest, PalmDocInstallRefillsAnExistingDatabase) {
    palm::PalmDatabase old = palmDoc("Book");
    old.type = fourCC("OldT");
    old.records = {{0, 1, pattern(100)}, {0, 2, pattern(100)}, {0, 3, pattern(100)}, {0, 4, pattern(5)},
                   {0, 5, pattern(6)}};
    store(old);
    palm::PalmDatabase source = palmDoc("Book");
    source.records.resize(2);
    QVDP_Error e{};
    copyTo()(&e, write("book.pdb", pdbBytes(source)).c_str(), "Book", 5, 5, 0);
    ASSERT_EQ(e.code, 0) << describe(e);
    auto db = database("Book");
    ASSERT_TRUE(db);
    EXPECT_EQ(db->type, fourCC("OldT"));  // the database keeps its header
    ASSERT_EQ(db->records.size(), 2u);
    EXPECT_EQ(db->records[1].data, source.records[1].data);
}

TEST_F(DriverTest, MalformedPalmDocFilesAreRefusedBeforeTheHandheld) {
    const std::vector<uint8_t> good = pdbBytes(palmDoc("Book"));
    auto withBE32 = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(value >> (24 - 8 * i));
        return b;
    };
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"shorter than a header", std::vector<uint8_t>(good.begin(), good.begin() + 77)},
        {"a record list beyond the end", std::vector<uint8_t>(good.begin(), good.begin() + 90)},
        {"a record beyond the end", withBE32(78 + 8, uint32_t(good.size() + 1))},
        {"records out of order", withBE32(78 + 8, 100)},
        {"a record inside the record list", withBE32(78, 80)},
        {"an application block after the sort block", withBE32(52, 150)},
        {"a resource database", [&] {
             std::vector<uint8_t> b = good;
             b[33] |= 0x01;
             return b;
         }()},
    };
    for (const Case &c : cases) {
        QVDP_Error e{};
        copyTo()(&e, write("bad.pdb", c.bytes).c_str(), "Bad", 5, 5, 0);
        EXPECT_EQ(e.kind, QVDP_KIND_CONDUIT) << c.what;
        EXPECT_EQ(e.code, 3) << c.what;
        EXPECT_FALSE(hasDatabase("Bad")) << c.what;
    }
}

TEST_F(DriverTest, FailedPalmDocInstallLeavesNoDatabase) {
    QVDP_Error e{};
    const std::string file = write("book.pdb", pdbBytes(palmDoc("Book")));
    fault("sync.writeRecord", palm::kSyncErrNotEnoughSpace, 3);
    copyTo()(&e, file.c_str(), "Book", 5, 5, 0);
    EXPECT_EQ(e.kind, QVDP_KIND_SYNC);
    EXPECT_EQ(e.code, 41);
    EXPECT_EQ(e.syncError, palm::kSyncErrNotEnoughSpace);
    EXPECT_FALSE(hasDatabase("Book"));

    // A database that cannot even be opened for writing is not ours to delete.
    palm::PalmDatabase locked = palmDoc("Locked");
    locked.attributes |= palm::kDbAttrReadOnly;
    store(locked);
    e = {};
    copyTo()(&e, file.c_str(), "Locked", 5, 5, 0);
    EXPECT_EQ(e.code, 41);
    EXPECT_EQ(e.syncError, palm::kSyncErrReadOnly);
    EXPECT_TRUE(hasDatabase("Locked"));
}

TEST_F(DriverTest, PalmDocDatabaseComesBackAsAPalmDatabaseFile) {
    const palm::PalmDatabase source = palmDoc("Book");
    store(source);
    QVDP_Error e{};
    copyFrom()(&e, at("back.pdb").c_str(), "Book", 5, 5);
    ASSERT_EQ(e.code, 0) << describe(e);
    const auto bytes = readBytes(desk / "back.pdb");
    auto parsed = palm::parsePdb(bytes, "back.pdb");
    ASSERT_TRUE(parsed.database) << parsed.error;
    const palm::PalmDatabase &db = *parsed.database;
    EXPECT_EQ(db.name, "Book");
    EXPECT_EQ(db.type, source.type);
    EXPECT_EQ(db.creator, source.creator);
    EXPECT_EQ(db.attributes, source.attributes);
    EXPECT_EQ(db.version, source.version);
    EXPECT_EQ(db.appInfo, source.appInfo);
    EXPECT_EQ(db.sortInfo, source.sortInfo);
    ASSERT_EQ(db.records.size(), source.records.size());
    for (size_t i = 0; i < db.records.size(); ++i) {
        EXPECT_EQ(db.records[i].data, source.records[i].data) << i;
        EXPECT_EQ(db.records[i].attributes, source.records[i].attributes) << i;
        EXPECT_EQ(db.records[i].uniqueId, source.records[i].uniqueId) << i;
    }
    // The plug-in recognises what came back as a Palm Doc file, and it
    // installs again as it was.
    const QVDP_Format *row = nullptr;
    EXPECT_EQ(QV_BIND(QVDP_RecognizeFile)(at("back.pdb").c_str(), &row), 0);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->id, 5);
    copyTo()(&e, at("back.pdb").c_str(), "Again", 5, 5, 0);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_EQ(database("Again")->records.size(), source.records.size());

    // A database without blocks or records.
    palm::PalmDatabase bare;
    bare.name = "Bare";
    bare.type = fourCC("TEXt");
    bare.creator = fourCC("REAd");
    store(bare);
    copyFrom()(&e, at("bare.pdb").c_str(), "Bare", 5, 5);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_EQ(readBytes(desk / "bare.pdb").size(), 80u);
    parsed = palm::parsePdb(readBytes(desk / "bare.pdb"), "bare.pdb");
    ASSERT_TRUE(parsed.database) << parsed.error;
    EXPECT_FALSE(parsed.database->appInfo);
    EXPECT_FALSE(parsed.database->sortInfo);
}

TEST_F(DriverTest, MissingPalmDocDatabaseLeavesTheDesktopFileAlone) {
    write("keep.pdb", {1, 2, 3});
    QVDP_Error e{};
    copyFrom()(&e, at("keep.pdb").c_str(), "Nothing", 5, 5);
    EXPECT_EQ(e.kind, QVDP_KIND_SYNC);
    EXPECT_EQ(e.code, 41);
    EXPECT_EQ(e.syncError, palm::kSyncErrNotFound);
    EXPECT_EQ(readBytes(desk / "keep.pdb"), (std::vector<uint8_t>{1, 2, 3}));
}
