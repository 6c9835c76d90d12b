// Memory cards during HotSyncs: card identities and the cards table, names
// given on the desktop, documents in card folders and the paths file, and
// cards that are absent, write-protected or full.
#include "sync_test_support.h"

using namespace synctest;

namespace {

std::optional<qv::CardsTableRecord> cardRecord(const std::vector<qv::CardsTableRecord> &table, const qv::Guid &id) {
    for (const auto &r : table)
        if (r.cardId == id) return r;
    return std::nullopt;
}

class CardSyncTest : public SyncTest {
protected:
    // Inserts a card and lets a HotSync give it its identity.
    qv::Guid identifiedCard(int slot = 1, uint64_t capacity = 8 << 20) {
        insertCard(slot, "CARD" + std::to_string(slot), capacity);
        EXPECT_EQ(sync(), 0) << lastRun_.output;
        return cardIdentity(slot);
    }

    std::vector<std::string> pathsFile(int slot = 1) {
        const fs::path out = home_ / "paths-copy";
        fs::remove(out);
        if (runTool("palmdevice", {"card-get", "hh", std::to_string(slot), "/PapyrineSyncMain.dat", out.string()})
                .status != 0)
            return {};
        const std::string bytes = readText(out);
        return qv::readCardPaths(std::span(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()));
    }

    std::string deviceInfo() { return runTool("palmdevice", {"info", "hh"}).output; }
};

}  // namespace

TEST_F(CardSyncTest, CardsGetAnIdentityAndARecordThatOutlivesTheirAbsence) {
    ASSERT_EQ(sync(), 0);
    auto table = cardsTable();
    ASSERT_EQ(table.size(), 1u) << "only the internal memory";
    EXPECT_EQ(table[0].cardKind, qv::kCardInternalMemory);
    EXPECT_TRUE(qv::isZeroGuid(table[0].cardId));
    EXPECT_EQ(table[0].presentAtLastSync, 0u);
    EXPECT_EQ(table[0].capacity, 4000000u);
    EXPECT_GT(table[0].usedBytes, 0u) << "free memory";

    const qv::Guid id = identifiedCard(1);
    EXPECT_FALSE(qv::isZeroGuid(id));
    table = cardsTable();
    ASSERT_EQ(table.size(), 2u);
    auto card = cardRecord(table, id);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->cardKind, qv::kCardMemoryCard);
    EXPECT_EQ(card->cardName, "CARD1");
    EXPECT_EQ(card->presentAtLastSync, 1u);
    EXPECT_EQ(card->capacity, 8u << 20);
    EXPECT_GT(card->lastSyncDate, 36526.0) << "after the year 2000";

    // Relabelled in a card reader: the same card with its new label.
    device({"card-label", "hh", "1", "HOLIDAY"});
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(cardIdentity(1), id);
    EXPECT_EQ(cardRecord(cardsTable(), id)->cardName, "HOLIDAY");

    device({"card-remove", "hh", "1"});
    ASSERT_EQ(sync(), 0);
    table = cardsTable();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(cardRecord(table, id)->presentAtLastSync, 0u);
    EXPECT_EQ(cardRecord(table, id)->cardName, "HOLIDAY");
}

TEST_F(CardSyncTest, ANameGivenOnTheDesktopGoesToTheCardUnlessTheCardRefusesIt) {
    const qv::Guid first = identifiedCard(1);
    const qv::Guid second = identifiedCard(2);
    auto table = cardsTable();
    for (auto &r : table) {
        if (r.cardId == first || r.cardId == second) {
            r.cardName = "Travel";
            r.nameChangedOnDesktop = 1;
        }
    }
    writeCardsTable(table);
    device({"card-protect", "hh", "2", "on"});
    ASSERT_EQ(sync(), 0);

    table = cardsTable();
    EXPECT_EQ(cardRecord(table, first)->cardName, "Travel");
    EXPECT_EQ(cardRecord(table, first)->nameChangedOnDesktop, 0u);
    EXPECT_NE(deviceInfo().find("card \"Travel\""), std::string::npos) << deviceInfo();
    // The protected card kept its label; the second card pass of the run
    // read it again.
    EXPECT_EQ(cardRecord(table, second)->cardName, "CARD2");
    EXPECT_EQ(cardRecord(table, second)->nameChangedOnDesktop, 0u);
}

TEST_F(CardSyncTest, DocumentsTravelToAndFromACardFolder) {
    const qv::Guid id = identifiedCard();
    const auto added = addCardFile("trip.txt", "itinerary", id);
    ASSERT_EQ(sync(), 0) << lastRun_.output;
    EXPECT_EQ(handheldText(kCardDocs, "trip.txt"), "itinerary");
    const auto item = itemNamed(kCardDocs, "trip.txt");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->id, added.recordId);
    EXPECT_EQ(pathsFile(), std::vector<std::string>{"/Documents"});
    auto entry = entryOf(added.recordId);
    EXPECT_EQ(entry->status, qv::kSynchronized);
    EXPECT_EQ(entry->handheldSize, 9u);
    EXPECT_EQ(entry->locationKind, qv::kLocationCard);

    editOnHandheld(kCardDocs, "trip.txt", "itinerary, changed on the road");
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(readText(added.desktopPath), "itinerary, changed on the road");

    // A file made on the handheld in that folder arrives on the desktop.
    newOnHandheld(kCardDocs, "diary.txt", "day one", {});
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(readText(syncDir_ / "diary.txt"), "day one");
    const auto diary = entryAt(syncDir_ / "diary.txt");
    ASSERT_TRUE(diary);
    EXPECT_EQ(diary->locationKind, qv::kLocationCard);
    EXPECT_EQ(diary->locationId, id);
    EXPECT_EQ(diary->cardFolder, "/Documents");
}

TEST_F(CardSyncTest, BothChangedOnACardKeepsBothVersionsInTheFolder) {
    const qv::Guid id = identifiedCard();
    const auto added = addCardFile("plan.txt", "original", id);
    ASSERT_EQ(sync(), 0);
    writeText(added.desktopPath, "desktop edit");
    editOnHandheld(kCardDocs, "plan.txt", "handheld edit");
    ASSERT_EQ(sync(), 0) << lastRun_.output;
    EXPECT_EQ(readText(added.desktopPath), "handheld edit");
    EXPECT_EQ(readText(docs_ / "plan(1).txt"), "desktop edit");
    EXPECT_EQ(handheldText(kCardDocs, "plan.txt"), "handheld edit");
    EXPECT_EQ(handheldText(kCardDocs, "plan(1).txt"), "desktop edit");
    const auto copy = entryAt(docs_ / "plan(1).txt");
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->locationId, id);
    EXPECT_EQ(copy->cardFolder, "/Documents");
    EXPECT_EQ(itemNamed(kCardDocs, "plan(1).txt")->id, copy->recordId);
    EXPECT_EQ(itemNamed(kCardDocs, "plan.txt")->id, added.recordId);
}

TEST_F(CardSyncTest, ASlotRecordGoesToTheCardInThatSlotAndTakesItsIdentity) {
    const qv::Guid id = identifiedCard();
    const fs::path file = docs_ / "slot.txt";
    writeText(file, "by slot");
    auto r = newRecord(file, "slot.txt");
    r.locationKind = qv::kLocationSlot;
    r.locationId = qv::slotLocationId(0);
    writeList({r});
    ASSERT_EQ(sync(), 0) << lastRun_.output;
    EXPECT_EQ(handheldText(kCardDocs, "slot.txt"), "by slot");
    const auto entry = entryOf(r.recordId);
    EXPECT_EQ(entry->locationKind, qv::kLocationCard);
    EXPECT_EQ(entry->locationId, id);

    // No card in the second position.
    r = newRecord(file, "other.txt");
    r.locationKind = qv::kLocationSlot;
    r.locationId = qv::slotLocationId(1);
    auto list = readList();
    list.push_back(r);
    writeList(list);
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(entryOf(r.recordId)->status, qv::kNoCardInSlot);
}

TEST_F(CardSyncTest, AbsentCardLeavesItsFilesAlone) {
    const qv::Guid id = identifiedCard();
    const auto added = addCardFile("away.txt", "text", id);
    ASSERT_EQ(sync(), 0);
    device({"card-remove", "hh", "1"});
    writeText(added.desktopPath, "edited while the card was away");
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(entryOf(added.recordId)->status, qv::kCardNotFound);
    EXPECT_TRUE(conduitLines().empty());

    device({"card-insert", "hh", "1"});
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(entryOf(added.recordId)->status, qv::kSynchronized);
    EXPECT_EQ(handheldText(kCardDocs, "away.txt"), "edited while the card was away");
}

TEST_F(CardSyncTest, WriteProtectedCardMarksItsEntriesAndANewOneIsLeftOut) {
    const qv::Guid id = identifiedCard();
    const auto added = addCardFile("locked.txt", "text", id);
    device({"card-protect", "hh", "1", "on"});
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(entryOf(added.recordId)->status, qv::kCardReadOnly);
    // The entry's folder is not in the paths file yet, and the card takes no new one.
    EXPECT_EQ(conduitLines(), (std::vector<std::string>{"Sync Error: Card IO error, Sync Error Code : 10503",
                                                        "PC File: " + added.desktopPath,
                                                        "Cannot save paths database on card"}));

    // A protected card that never had an identity cannot get one.
    device({"card-insert", "hh", "2", "--label", "NEW"});
    device({"card-protect", "hh", "2", "on"});
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(runTool("palmdevice", {"card-get", "hh", "2", "/QVCardInfo.db", (home_ / "x").string()}).status, 1);
    EXPECT_EQ(cardsTable().size(), 2u) << "the internal memory and the first card";
}

TEST_F(CardSyncTest, FullCardMarksTheEntry) {
    const qv::Guid id = identifiedCard(1, 4096);
    const auto added = addCardFile("large.txt", std::string(6000, 'x'), id);
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(entryOf(added.recordId)->status, qv::kNoFreeMemory);
    EXPECT_FALSE(itemNamed(kCardDocs, "large.txt"));
}

TEST_F(CardSyncTest, ThePathsFileForgetsFoldersThatAreGoneAndNamesEachFolderOnce) {
    const qv::Guid id = identifiedCard();
    const auto kept = addCardFile("kept.txt", "a", id, "/Documents");
    addCardFile("gone.txt", "b", id, "/Old");
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(pathsFile(), (std::vector<std::string>{"/Documents", "/Old"}));

    // A paths file that repeats a folder in another case, with a trailing "/".
    auto bytes = qv::writeCardPaths({"/Documents", "/Old"});
    std::vector<uint8_t> twice = *bytes;
    qv::CardPathRecord repeat{0, "/documents/"};
    std::vector<uint8_t> extra(qv::kCardPathRecordSize);
    ASSERT_TRUE(qv::encodeCardPathRecord(repeat, extra));
    twice.insert(twice.end(), extra.begin(), extra.end());
    palmtest::writeFile(home_ / "paths-in", twice);
    device({"card-put", "hh", "1", (home_ / "paths-in").string(), "/PapyrineSyncMain.dat"});
    device({"card-rm", "hh", "1", "/Old/gone.txt"});
    device({"card-rm", "hh", "1", "/Old/PapyrineSync.dat"});
    device({"card-rm", "hh", "1", "/Old"});
    auto list = readList();
    std::erase_if(list, [](const auto &r) { return r.cardFolder == "/Old"; });
    writeList(list);
    ASSERT_EQ(sync(), 0) << lastRun_.output;
    EXPECT_EQ(pathsFile(), std::vector<std::string>{"/Documents"});
    EXPECT_EQ(fs::file_size(home_ / "paths-copy"), qv::kCardPathRecordSize) << "one record";
    EXPECT_EQ(entryOf(kept.recordId)->status, qv::kSynchronized);
}
