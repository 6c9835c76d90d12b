// The file lists of a user against the built record database library: the
// duplicate rules, cards that are gone, record sizes, damaged records and a
// database held by another process.
#include "card_records.h"
#include "desktop_fixture.h"
#include "file_database.h"
#include "guid.h"
#include "plugin_host.h"

#include <array>

namespace {

using namespace desktop;
using desktoptest::DesktopTest;

const qv::Guid kCardA = {0xA1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
const qv::Guid kCardB = {0xB2, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

std::unique_ptr<TQVDBRecord> entry(const std::string &path, const std::string &name, uint32_t kind = 0,
                                   qv::Guid location = {}, const std::string &folder = "/Documents") {
    auto e = std::make_unique<TQVDBRecord>();
    e->record.recordId = platform::createGuid();
    e->record.desktopPath = path;
    e->record.handheldName = name;
    e->record.locationKind = kind;
    e->record.locationId = location;
    e->record.cardFolder = folder;
    e->record.pluginId = 1;
    e->record.creationMark = qv::kCreatedByDesktop;
    return e;
}

uint64_t fileSize(const std::string &path) {
    std::error_code ec;
    return std::filesystem::file_size(path, ec);
}

void writeCardsTable(const std::filesystem::path &file, const std::vector<qv::Guid> &cards) {
    std::vector<uint8_t> bytes;
    for (const qv::Guid &id : cards) {
        qv::CardsTableRecord r;
        r.cardId = id;
        r.cardName = "Card " + std::to_string(id[0]);
        std::vector<uint8_t> record(qv::kCardsTableRecordSize);
        ASSERT_TRUE(qv::encodeCardsTableRecord(r, record));
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    palmtest::writeFile(file, bytes);
}

class FileDatabaseTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        registerPlugin();
        user_ = addUser("Ann");
        plugins_ = std::make_unique<TQVPluginsList>();
        ASSERT_EQ(plugins_->size(), 1u);
        directory_ = userFolder(user_).string();
    }

    void open(TQVFileDatabase &db, const TQVCardList *cards = nullptr) {
        db.openForUser(directory_, plugins_.get(), cards);
        ASSERT_TRUE(db.hasDatabases());
        ASSERT_TRUE(db.active()) << db.problem();
    }

    std::string databasePath() const { return directory_ + "/QVPapyrine/PapyrineSync.dat"; }

    uint32_t user_ = 0;
    std::unique_ptr<TQVPluginsList> plugins_;
    std::string directory_;
};

TEST_F(FileDatabaseTest, DuplicatePathsAndNamesPerPlace) {
    TQVFileDatabase db;
    open(db);
    ASSERT_EQ(db.insert(entry("/d/a.doc", "a.doc")), 0);
    // The desktop file is listed once per database, wherever it is.
    EXPECT_EQ(db.insert(entry("/D/A.DOC", "other.doc", 2, kCardA)), kDuplicateEntry);
    // RAM names are unique without regard to case.
    EXPECT_EQ(db.insert(entry("/d/b.doc", "A.doc")), kDuplicateEntry);
    // The same name is fine on two cards and in two folders of one card.
    EXPECT_EQ(db.insert(entry("/d/c.doc", "a.doc", 2, kCardA)), 0);
    EXPECT_EQ(db.insert(entry("/d/d.doc", "a.doc", 2, kCardB)), 0);
    EXPECT_EQ(db.insert(entry("/d/e.doc", "a.doc", 2, kCardA, "/Other")), 0);
    EXPECT_EQ(db.insert(entry("/d/f.doc", "A.DOC", 2, kCardA, "/documents/")), kDuplicateEntry);
    ASSERT_EQ(db.count(), 4u);

    // An entry marked removed blocks neither its path nor its name.
    TQVDBRecord &first = db.at(0);
    first.record.removed = 1;
    ASSERT_EQ(db.updateInPlace(first, true), 0);
    EXPECT_EQ(db.insert(entry("/d/a.doc", "a.doc")), 0);

    // What was stored is what a new load finds; the file has 880-byte records.
    TQVFileDatabase again;
    open(again);
    ASSERT_EQ(again.count(), 5u);
    EXPECT_EQ(again.at(0).record, db.at(0).record);
    EXPECT_EQ(again.at(4).record.desktopPath, "/d/a.doc");
    EXPECT_EQ(fileSize(databasePath()), 16u + 5 * 880);
}

TEST_F(FileDatabaseTest, UpdatesAndDeletesGoByRecordIdAndKeepMemoryOnFailure) {
    TQVFileDatabase db;
    open(db);
    ASSERT_EQ(db.insert(entry("/d/a.doc", "a.doc")), 0);
    ASSERT_EQ(db.insert(entry("/d/b.doc", "b.doc")), 0);
    TQVDBRecord &b = db.at(1);

    TQVDBRecord copy = b;
    copy.record.handheldName = "A.DOC";
    EXPECT_EQ(db.updateFromCopy(copy, b), kDuplicateEntry);
    copy.record.handheldName = "renamed.doc";
    ASSERT_EQ(db.updateFromCopy(copy, b), 0);
    EXPECT_EQ(b.record.handheldName, "renamed.doc");

    // A record that vanished from the file: not found, memory unchanged.
    TQVFileDatabase other;
    open(other);
    ASSERT_EQ(other.remove(other.at(1)), 0);
    copy.record.handheldName = "again.doc";
    EXPECT_EQ(db.updateFromCopy(copy, b), 28);
    EXPECT_EQ(b.record.handheldName, "renamed.doc");
    EXPECT_EQ(db.remove(b), 28);
    EXPECT_EQ(db.count(), 2u);
    EXPECT_EQ(db.remove(db.at(0)), 0);
    EXPECT_EQ(db.count(), 1u);
    EXPECT_EQ(fileSize(databasePath()), 16u);
}

TEST_F(FileDatabaseTest, EntriesOfCardsNoLongerListedDisappearOnOpen) {
    const auto table = std::filesystem::path(directory_) / qv::kCardsTableFileName;
    writeCardsTable(table, {kCardA, kCardB});
    palm::users::setSlots(user_, {{1, "SD Slot"}});
    {
        TQVFileDatabase db;
        open(db);
        ASSERT_EQ(db.insert(entry("/d/ram.doc", "ram.doc")), 0);
        ASSERT_EQ(db.insert(entry("/d/a.doc", "a.doc", 2, kCardA)), 0);
        ASSERT_EQ(db.insert(entry("/d/b.doc", "b.doc", 2, kCardB)), 0);
        ASSERT_EQ(db.insert(entry("/d/s0.doc", "s0.doc", 1, qv::slotLocationId(0))), 0);
        ASSERT_EQ(db.insert(entry("/d/s1.doc", "s1.doc", 1, qv::slotLocationId(1))), 0);
    }
    TQVUserManager users;
    ASSERT_TRUE(users.active());

    // An unreadable cards table removes nothing.
    std::filesystem::rename(table, table.string() + ".away");
    const TQVCardList noTable = TQVCardList::build(users, user_, table.string());
    EXPECT_FALSE(noTable.tableRead());
    ASSERT_EQ(noTable.cards().size(), 1u);
    TQVFileDatabase keep;
    open(keep, &noTable);
    EXPECT_EQ(keep.count(), 5u);

    std::filesystem::rename(table.string() + ".away", table);
    writeCardsTable(table, {kCardA});   // card B was forgotten
    const TQVCardList cards = TQVCardList::build(users, user_, table.string());
    ASSERT_EQ(cards.cards().size(), 2u);
    EXPECT_EQ(cards.cards()[0].name, "SD Slot");
    TQVFileDatabase db;
    open(db, &cards);
    std::vector<std::string> names;
    for (size_t i = 0; i < db.count(); ++i) names.push_back(db.at(i).record.handheldName);
    EXPECT_EQ(names, (std::vector<std::string>{"ram.doc", "a.doc", "s0.doc"}));

    // Forgetting a card deletes its entries, never those in RAM.
    db.deleteCardEntries(kCardA);
    TQVFileDatabase after;
    open(after, &cards);
    ASSERT_EQ(after.count(), 2u);
    EXPECT_EQ(after.at(0).record.handheldName, "ram.doc");
}

TEST_F(FileDatabaseTest, ListsWrittenByTheConduitKeepTheirRecordSize) {
    // The conduit writes 874-byte records.
    std::filesystem::create_directories(std::filesystem::path(databasePath()).parent_path());
    std::vector<uint8_t> bytes(16);
    qv::encodeDBHeader(qv::makeDBHeader(874), std::span<uint8_t, 16>(bytes.data(), 16));
    std::vector<uint8_t> record(874);
    auto conduitEntry = entry("/d/from handheld.doc", "from handheld.doc");
    conduitEntry->record.creationMark = qv::kCreatedByConduit;
    conduitEntry->record.syncedFileTime = 12345;
    ASSERT_TRUE(qv::encodeSyncFileRecord(conduitEntry->record, record));
    bytes.insert(bytes.end(), record.begin(), record.end());
    palmtest::writeFile(databasePath(), bytes);

    TQVFileDatabase db;
    open(db);
    ASSERT_EQ(db.count(), 1u);
    EXPECT_EQ(db.at(0).record, conduitEntry->record);
    EXPECT_TRUE(db.at(0).synchronized());
    ASSERT_EQ(db.insert(entry("/d/new.doc", "new.doc")), 0);
    db.at(0).record.status = 1;
    ASSERT_EQ(db.updateInPlace(db.at(0), false), 0);
    EXPECT_EQ(fileSize(databasePath()), 16u + 2 * 874);

    TQVFileDatabase again;
    open(again);
    ASSERT_EQ(again.count(), 2u);
    EXPECT_EQ(again.at(0).record.status, 1);
    EXPECT_EQ(again.at(1).record.desktopPath, "/d/new.doc");
}

TEST_F(FileDatabaseTest, ADamagedRecordLosesNothingElse) {
    registerLibrary("00000001", STUB_PLUGIN_PATH);
    plugins_ = std::make_unique<TQVPluginsList>();
    ASSERT_EQ(plugins_->size(), 2u);
    {
        TQVFileDatabase db;
        open(db);
        ASSERT_EQ(db.paths().size(), 2u);
        for (const char *name : {"one", "two", "three"}) {
            auto e = entry(std::string("/d/") + name + ".stub", std::string(name) + ".stb");
            e->databaseIndex = 0;
            ASSERT_EQ(db.insert(std::move(e)), 0);
        }
        auto e = entry("/d/word.doc", "word.doc");
        e->databaseIndex = 1;
        ASSERT_EQ(db.insert(std::move(e)), 0);
    }
    // The second record's desktop path loses its terminator.
    const std::string stubList = directory_ + "/StubPlugin/StubSync.dat";
    auto bytes = palmtest::readFile(stubList);
    ASSERT_EQ(bytes.size(), 16u + 3 * 880);
    std::fill(bytes.begin() + 16 + 880 + 24, bytes.begin() + 16 + 880 + 284, uint8_t('x'));
    palmtest::writeFile(stubList, bytes);

    TQVFileDatabase db;
    open(db);
    std::vector<std::string> names;
    for (size_t i = 0; i < db.count(); ++i) names.push_back(db.at(i).record.handheldName);
    EXPECT_EQ(names, (std::vector<std::string>{"one.stb", "three.stb", "word.doc"}));
    EXPECT_NE(db.loadProblems()[0], "");
    EXPECT_EQ(db.loadProblems()[1], "");
}

TEST_F(FileDatabaseTest, ADatabaseHeldByAnotherProcessAnswers1003AndChangesNothing) {
    TQVFileDatabase db;
    open(db);
    ASSERT_EQ(db.insert(entry("/d/a.doc", "a.doc")), 0);
    desktoptest::FileHolder holder(databasePath());
    ASSERT_TRUE(holder.holding());
    EXPECT_EQ(db.insert(entry("/d/b.doc", "b.doc")), kDatabaseUnavailable);
    EXPECT_EQ(db.remove(db.at(0)), kDatabaseUnavailable);
    EXPECT_EQ(db.count(), 1u);
    holder.stop();
    EXPECT_EQ(db.insert(entry("/d/b.doc", "b.doc")), 0);
}

}  // namespace
