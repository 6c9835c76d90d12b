#include "pdb_file.h"
#include "pdb_fixture.h"

#include "byte_order.h"

#include <gtest/gtest.h>

using namespace palm;

TEST(PdbFile, ReadsAFileWrittenByAnotherProgram) {
    const auto bytes = palmtest::memoPdbFixture();
    PdbParseResult r = parsePdb(bytes, "memo.pdb");
    ASSERT_TRUE(r.database) << r.error;
    const PalmDatabase &db = *r.database;
    EXPECT_EQ(db.name, "MemoDB");
    EXPECT_EQ(db.attributes, kDbAttrBackup);
    EXPECT_EQ(db.version, 1);
    EXPECT_EQ(db.creationDate, 0xB5A1C2D3u);
    EXPECT_EQ(db.modificationNumber, 7u);
    EXPECT_EQ(fourCCText(db.type), "DATA");
    EXPECT_EQ(fourCCText(db.creator), "memo");
    EXPECT_EQ(db.uniqueIdSeed, 0x10u);
    EXPECT_EQ(*db.appInfo, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(*db.sortInfo, (std::vector<uint8_t>{9, 8}));
    ASSERT_EQ(db.records.size(), 2u);
    EXPECT_EQ(db.records[0].attributes, 0x43);
    EXPECT_EQ(db.records[0].uniqueId, 0xAB01u);
    EXPECT_EQ(std::string(db.records[0].data.begin(), db.records[0].data.end()), "Hi!");
    EXPECT_EQ(db.records[1].attributes, kPdbRecDelete);
    EXPECT_EQ(std::string(db.records[1].data.begin(), db.records[1].data.end()), "second");
    // The standard layout is written back byte for byte.
    EXPECT_EQ(serializePdb(db), bytes);
    EXPECT_EQ(db.fileSize(), bytes.size());
}

TEST(PdbFile, ItemsOutOfOrderTakeTheBytesUpToTheNextItem) {
    // Record data stored before the application info block.
    PalmDatabase db;
    db.name = "X";
    db.appInfo = std::vector<uint8_t>{7, 7};
    db.records.push_back({0, 1, {1, 2, 3}});
    auto bytes = serializePdb(db);   // list ends at 86, gap to 88, app info 88..90, record 90..93
    qv::storeBE32(bytes.data() + 52, 91);   // app info now at 91 (2 bytes to the end)
    qv::storeBE32(bytes.data() + 78, 88);   // record at 88, runs to 91
    PdbParseResult r = parsePdb(bytes, "x.pdb");
    ASSERT_TRUE(r.database) << r.error;
    EXPECT_EQ(r.database->records[0].data, (std::vector<uint8_t>{7, 7, 1}));
    EXPECT_EQ(*r.database->appInfo, (std::vector<uint8_t>{2, 3}));
}

TEST(PdbFile, DamagedFilesAreErrorsNamingTheFile) {
    const auto good = palmtest::memoPdbFixture();
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
    };
    auto with = [&](size_t offset, std::vector<uint8_t> patch) {
        auto b = good;
        std::copy(patch.begin(), patch.end(), b.begin() + offset);
        return b;
    };
    std::vector<Case> cases = {
        {"shorter than the header", std::vector<uint8_t>(good.begin(), good.begin() + 60)},
        {"name not terminated", with(0, std::vector<uint8_t>(32, 'A'))},
        {"empty name", with(0, {0})},
        {"record list past the end", with(76, {0xFF, 0xFF})},
        {"record offset past the end", with(78, {0, 0, 0x10, 0})},
        {"record offset inside the record list", with(78, {0, 0, 0, 80})},
        {"application info past the end", with(52, {0x7F, 0, 0, 0})},
        {"chained record list", with(72, {0, 0, 0, 1})},
    };
    for (const Case &c : cases) {
        PdbParseResult r = parsePdb(c.bytes, "damaged.pdb");
        EXPECT_FALSE(r.database) << c.what;
        EXPECT_NE(r.error.find("damaged.pdb"), std::string::npos) << c.what << ": " << r.error;
    }
    // Every truncation of a good file is read or refused, never read past its end.
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + n);
        PdbParseResult r = parsePdb(cut, "cut.pdb");
        if (!r.database) {
            EXPECT_FALSE(r.error.empty());
        }
    }
}

TEST(PdbFile, UniqueIdsAreNewAndNeverZero) {
    PalmDatabase db;
    EXPECT_EQ(db.takeUniqueId(), 1u);
    db.records.push_back({0, 1, {}});
    db.records.push_back({0, 0xFFFFFF, {}});
    db.uniqueIdSeed = 0xFFFFFE;
    const uint32_t id = db.takeUniqueId();   // wraps past 0xFFFFFF, skipping 0 and 1
    EXPECT_EQ(id, 2u);
}

TEST(PdbFile, FourCharacterCodes) {
    EXPECT_EQ(fourCC("QVpy"), 0x51567079u);
    EXPECT_EQ(parseFourCC("QVpy"), 0x51567079u);
    EXPECT_EQ(parseFourCC("0x51567079"), 0x51567079u);
    EXPECT_FALSE(parseFourCC("QVp"));
    EXPECT_FALSE(parseFourCC("0xZZZ"));
    EXPECT_EQ(fourCCText(0x41420001), "AB\\x00\\x01");
}
