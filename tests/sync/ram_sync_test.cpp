// Synchronization of documents in handheld RAM: the first HotSync of a new
// entry, nothing changed, one side changed, both changed in each mode, files
// deleted on the handheld, removed and copy-only entries, new handheld files,
// the no-action flag and missing desktop files.
#include "sync_test_support.h"

using namespace synctest;

namespace {

constexpr int kTypeSynchronize = 0;
constexpr int kTypeHandheldOverwrites = 2;
constexpr int kTypeDesktopOverwrites = 3;

}  // namespace

TEST_F(SyncTest, FirstHotSyncCopiesANewEntryAndTheNextFindsNothingToDo) {
    const auto added = addFile("report.txt", "first version");
    ASSERT_EQ(sync(), 0) << lastRun_.output;

    const auto item = itemNamed(kRam, "report.txt");
    ASSERT_TRUE(item) << lastRun_.output;
    EXPECT_EQ(item->id, added.recordId);
    EXPECT_EQ(item->stamp, 0u);
    EXPECT_EQ(item->mode, 1);
    EXPECT_EQ(handheldText(kRam, "report.txt"), "first version");

    auto entry = entryOf(added.recordId);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->status, qv::kSynchronized);
    EXPECT_NE(entry->syncedFileTime, 0u);
    EXPECT_GT(entry->handheldSize, 0u);
    EXPECT_EQ(entry->locationKind, qv::kLocationRam);
    // The list the desktop program made with 880-byte records comes back
    // with the conduit's 874-byte records and the same fields.
    EXPECT_EQ(listRecordSize(), qv::kSyncFileRecordSize);
    EXPECT_EQ(entry->desktopPath, added.desktopPath);
    EXPECT_EQ(entry->creationMark, qv::kCreatedByDesktop);
    EXPECT_TRUE(conduitLines().empty());

    ASSERT_EQ(sync(), 0);
    const auto again = entryOf(added.recordId);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, qv::kSynchronized);
    EXPECT_EQ(again->syncedFileTime, entry->syncedFileTime) << "nothing was transferred";
    EXPECT_EQ(items(kRam).size(), 1u);
}

TEST_F(SyncTest, DesktopChangeGoesToTheHandheldAndIsNotSeenTwice) {
    const auto added = addFile("report.txt", "first version");
    ASSERT_EQ(sync(), 0);
    writeText(added.desktopPath, "edited on the desktop");
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(handheldText(kRam, "report.txt"), "edited on the desktop");
    const auto entry = entryOf(added.recordId);
    const auto item = itemNamed(kRam, "report.txt");
    ASSERT_TRUE(entry && item);
    EXPECT_EQ(item->stamp, entry->handheldStamp);

    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(entryOf(added.recordId)->syncedFileTime, entry->syncedFileTime);
}

TEST_F(SyncTest, HandheldChangeReplacesTheDesktopFileWithABackupUnlessBackupsAreOff) {
    for (const char *backupType : {"1", "2"}) {
        SCOPED_TRACE(std::string("backup type ") + backupType);
        setenv("SYNC_TEST_BACKUP_TYPE", backupType, 1);
        const std::string name = std::string("notes") + backupType + ".txt";
        const auto added = addFile(name, "desktop version");
        ASSERT_EQ(sync(), 0);
        fs::remove_all(pluginFolder() / "BACKUP");
        fs::create_directories(pluginFolder() / "BACKUP");
        editOnHandheld(kRam, name, "handheld version");
        ASSERT_EQ(sync(), 0) << lastRun_.output;

        EXPECT_EQ(readText(added.desktopPath), "handheld version");
        const auto entry = entryOf(added.recordId);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->status, qv::kSynchronized);
        EXPECT_EQ(entry->handheldStamp, itemNamed(kRam, name)->stamp);

        std::vector<std::string> backups;
        for (const auto &folder : fs::directory_iterator(pluginFolder() / "BACKUP"))
            for (const auto &file : fs::directory_iterator(folder.path()))
                backups.push_back(folder.path().filename().string() + "/" + file.path().filename().string() + "=" +
                                  readText(file.path()));
        if (std::string(backupType) == "2") {
            EXPECT_TRUE(backups.empty());
        } else {
            ASSERT_EQ(backups.size(), 1u);
            EXPECT_TRUE(std::regex_match(backups[0], std::regex("[0-9]+(-[0-9]+){5}/" + name + "=desktop version")))
                << backups[0];
        }
    }
}

TEST_F(SyncTest, BothChangedKeepsBothInSynchronizeAndLetsOneSideWinOtherwise) {
    struct Case {
        std::optional<int> type;
        const char *desktopAfter;
    };
    const Case cases[] = {{kTypeDesktopOverwrites, "desktop edit"}, {kTypeHandheldOverwrites, "handheld edit"}};
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(*c.type);
        const std::string name = "plan" + std::to_string(++n) + ".txt";
        const auto added = addFile(name, "original");
        ASSERT_EQ(sync(), 0);
        writeText(added.desktopPath, "desktop edit");
        editOnHandheld(kRam, name, "handheld edit");
        ASSERT_EQ(sync(c.type), 0) << lastRun_.output;
        EXPECT_EQ(readText(added.desktopPath), c.desktopAfter);
        EXPECT_EQ(handheldText(kRam, name), c.desktopAfter);
        EXPECT_EQ(entryOf(added.recordId)->status, qv::kSynchronized);
    }
    EXPECT_EQ(readList().size(), 2u);
}

TEST_F(SyncTest, BothChangedInSynchronizeModeGivesTwoEntriesThatStaySynchronized) {
    const auto added = addFile("plan.txt", "original");
    ASSERT_EQ(sync(), 0);
    writeText(added.desktopPath, "desktop edit");
    editOnHandheld(kRam, "plan.txt", "handheld edit");
    ASSERT_EQ(sync(kTypeSynchronize), 0) << lastRun_.output;

    // The handheld version stays with the entry and its handheld file at the
    // old desktop path; the desktop version becomes a second entry with a
    // numbered desktop name and a new handheld name.
    const fs::path numbered = docs_ / "plan(1).txt";
    EXPECT_EQ(readText(added.desktopPath), "handheld edit");
    EXPECT_EQ(readText(numbered), "desktop edit");
    const auto kept = entryOf(added.recordId);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->desktopPath, added.desktopPath);
    EXPECT_EQ(kept->handheldName, "plan.txt");
    EXPECT_EQ(kept->status, qv::kSynchronized);
    const auto copy = entryAt(numbered);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->recordId, added.recordId);
    EXPECT_EQ(copy->handheldName, "plan(1).txt");
    EXPECT_EQ(copy->status, qv::kSynchronized);
    EXPECT_EQ(readList().size(), 2u);

    EXPECT_EQ(handheldText(kRam, "plan.txt"), "handheld edit");
    EXPECT_EQ(handheldText(kRam, "plan(1).txt"), "desktop edit");
    EXPECT_EQ(itemNamed(kRam, "plan.txt")->id, added.recordId);
    EXPECT_EQ(itemNamed(kRam, "plan(1).txt")->id, copy->recordId);
    EXPECT_FALSE(fs::exists(pluginFolder() / "BACKUP" / "x")) << "both versions are kept; no backup is needed";

    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(entryOf(added.recordId)->syncedFileTime, kept->syncedFileTime);
    EXPECT_EQ(entryOf(copy->recordId)->syncedFileTime, copy->syncedFileTime);
    EXPECT_EQ(readList().size(), 2u);
}

TEST_F(SyncTest, HandheldFileDeletedDropsTheEntryUnlessTheDesktopOverwrites) {
    struct Case {
        int type;
        bool entryKept;
    };
    const Case cases[] = {{kTypeSynchronize, false}, {kTypeDesktopOverwrites, true}, {kTypeHandheldOverwrites, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        const std::string name = "gone" + std::to_string(c.type) + ".txt";
        const auto added = addFile(name, "text");
        ASSERT_EQ(sync(), 0);
        device({"delete", "hh", name});
        ASSERT_EQ(sync(c.type), 0) << lastRun_.output;
        EXPECT_TRUE(fs::exists(added.desktopPath)) << "the desktop file always stays";
        EXPECT_EQ(entryOf(added.recordId).has_value(), c.entryKept);
        if (c.entryKept) {
            EXPECT_EQ(handheldText(kRam, name), "text");
            EXPECT_EQ(entryOf(added.recordId)->status, qv::kSynchronized);
        } else {
            EXPECT_FALSE(itemNamed(kRam, name));
        }
    }
}

TEST_F(SyncTest, HandheldDeletionMarkRemovesBothRecords) {
    const auto byte = addFile("marked.txt", "a");
    const auto attribute = addFile("attribute.txt", "b");
    ASSERT_EQ(sync(), 0);
    device({"doc-delete", "hh", kRam, "marked.txt"});
    device({"doc-delete", "hh", kRam, "attribute.txt", "--attribute"});
    ASSERT_EQ(sync(), 0);
    EXPECT_TRUE(readList().empty());
    EXPECT_TRUE(items(kRam).empty());
    EXPECT_TRUE(fs::exists(byte.desktopPath));
    EXPECT_TRUE(fs::exists(attribute.desktopPath));
}

TEST_F(SyncTest, RemovedEntryLeavesTheListAndItsHandheldFileIsNeverImported) {
    auto added = addFile("old.txt", "text");
    ASSERT_EQ(sync(), 0);
    auto list = readList();
    list[0].removed = 1;
    writeList(list);
    ASSERT_EQ(sync(), 0);
    EXPECT_TRUE(readList().empty());
    const auto item = itemNamed(kRam, "old.txt");
    ASSERT_TRUE(item);
    EXPECT_TRUE(qv::isZeroGuid(item->id));
    EXPECT_EQ(item->mode, 0);
    EXPECT_EQ(handheldText(kRam, "old.txt"), "text");

    ASSERT_EQ(sync(), 0);
    EXPECT_TRUE(readList().empty());
    EXPECT_FALSE(fs::exists(syncDir_ / "old.txt"));
}

TEST_F(SyncTest, CopyOnlyEntryIsTransferredOnce) {
    auto list = readList();
    const fs::path file = docs_ / "manual.txt";
    writeText(file, "v1");
    auto r = newRecord(file, "manual.txt");
    r.syncMode = qv::kSyncCopyOnly;
    writeList({r});
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(handheldText(kRam, "manual.txt"), "v1");
    EXPECT_EQ(itemNamed(kRam, "manual.txt")->mode, 0);
    const auto first = entryOf(r.recordId);

    writeText(file, "v2");
    editOnHandheld(kRam, "manual.txt", "handheld v2");
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(readText(file), "v2");
    EXPECT_EQ(handheldText(kRam, "manual.txt"), "handheld v2");
    EXPECT_EQ(entryOf(r.recordId)->status, qv::kSynchronized);
    EXPECT_EQ(entryOf(r.recordId)->syncedFileTime, first->syncedFileTime);
}

TEST_F(SyncTest, NewHandheldFilesAreImportedWhenSynchronizedBothWays) {
    writeText(syncDir_ / "memo.txt", "a desktop file that is in the way");
    newOnHandheld(kRam, "memo.txt", "new on the handheld");
    newOnHandheld(kRam, "quick note", "unknown type", {});
    newOnHandheld(kRam, "private.txt", "copy only", {"--type", "TEXT", "--mode", "0"});
    newOnHandheld(kRam, "Letter", "DOCS:converted on the way", {"--type", "QVWD", "--creator", "QVMW"});
    ASSERT_EQ(sync(), 0) << lastRun_.output;

    EXPECT_EQ(readText(syncDir_ / "memo_0.txt"), "new on the handheld");
    EXPECT_EQ(readText(syncDir_ / "Letter.doc"), "converted on the way");
    EXPECT_FALSE(fs::exists(syncDir_ / "private.txt"));
    // "quick note" has a type no format knows ('DATA'): its record leaves the list.
    EXPECT_FALSE(itemNamed(kRam, "quick note"));

    const auto memo = entryAt(syncDir_ / "memo_0.txt");
    ASSERT_TRUE(memo);
    EXPECT_EQ(memo->creationMark, qv::kCreatedByConduit);
    EXPECT_EQ(memo->status, qv::kSynchronized);
    EXPECT_EQ(memo->desktopFormat, uint32_t(kText));
    EXPECT_EQ(itemNamed(kRam, "memo.txt")->id, memo->recordId);
    const auto letter = entryAt(syncDir_ / "Letter.doc");
    ASSERT_TRUE(letter);
    EXPECT_EQ(letter->desktopFormat, uint32_t(kWord));
    EXPECT_EQ(letter->handheldFormat, uint32_t(kDocs));
    EXPECT_TRUE(qv::isZeroGuid(itemNamed(kRam, "private.txt")->id));
    EXPECT_EQ(readList().size(), 2u);

    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(readList().size(), 2u);
}

TEST_F(SyncTest, NoActionFlagStopsTransfersWhileTheEntryFollowsTheHandheld) {
    const auto added = addFile("frozen.txt", "desktop");
    ASSERT_EQ(sync(), 0);
    device({"doc-flags", "hh", kRam, "frozen.txt", "1"});
    editOnHandheld(kRam, "frozen.txt", "handheld");
    writeText(added.desktopPath, "desktop edit");
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(readText(added.desktopPath), "desktop edit");
    EXPECT_EQ(handheldText(kRam, "frozen.txt"), "handheld");
    const auto entry = entryOf(added.recordId);
    EXPECT_EQ(entry->handheldFlags, 1);
    EXPECT_EQ(entry->status, qv::kSynchronized);
}

TEST_F(SyncTest, MissingDesktopFileIsAnErrorUnlessTheHandheldOverwrites) {
    const auto added = addFile("lost.txt", "kept on the handheld");
    ASSERT_EQ(sync(), 0);
    fs::remove(added.desktopPath);
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(entryOf(added.recordId)->status, qv::kConduitError);
    EXPECT_EQ(conduitLines(), (std::vector<std::string>{"Conduit Error: Desktop file is missing",
                                                        "Palm File: lost.txt", "PC File: " + added.desktopPath}));

    ASSERT_EQ(sync(kTypeHandheldOverwrites), 0);
    EXPECT_EQ(readText(added.desktopPath), "kept on the handheld");
    EXPECT_EQ(entryOf(added.recordId)->status, qv::kSynchronized);
}

TEST_F(SyncTest, ConversionFailureLogsThreeLinesAndMarksTheEntry) {
    const fs::path file = docs_ / "contract.doc";
    writeText(file, "a good word file");
    const auto r = newRecord(file, "contract.doc", kWord, kDocs);
    writeList({r});
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(handheldText(kRam, "contract.doc"), "DOCS:a good word file");
    writeText(file, "BROKEN word file");
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(entryOf(r.recordId)->status, qv::kConversionErrorStatus);
    EXPECT_EQ(conduitLines(), (std::vector<std::string>{"Conversion Error : The document is damaged.",
                                                        "Palm File: contract.doc", "PC File: " + file.string()}));
    EXPECT_EQ(handheldText(kRam, "contract.doc"), "DOCS:a good word file");
}

TEST_F(SyncTest, HandheldWithoutRoomMarksTheEntry) {
    setenv("SYNC_TEST_MIN_FREE", "100000", 1);   // more than the handheld has
    const auto added = addFile("big.txt", "text");
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(entryOf(added.recordId)->status, qv::kNoFreeMemory);
    EXPECT_TRUE(items(kRam).empty());
}

TEST_F(SyncTest, OldBackupFoldersAreDeletedOnlyWhenBackupsExpire) {
    constexpr platform::FileTime kDay = 864000000000ull;
    for (const char *backupType : {"1", "0"}) {
        SCOPED_TRACE(std::string("backup type ") + backupType);
        setenv("SYNC_TEST_BACKUP_TYPE", backupType, 1);
        const fs::path old = pluginFolder() / "BACKUP" / "2001-1-1-10-0-0";
        const fs::path recent = pluginFolder() / "BACKUP" / "2001-1-9-10-0-0";
        for (const fs::path &folder : {old, recent}) {
            fs::create_directories(folder);
            writeText(folder / "a.txt", "backup");
        }
        platform::setLastWriteFileTime(old, platform::fileTimeNow() - 8 * kDay);
        platform::setLastWriteFileTime(recent, platform::fileTimeNow() - 6 * kDay);
        ASSERT_EQ(sync(), 0);
        EXPECT_EQ(fs::exists(old), std::string(backupType) == "1");
        EXPECT_TRUE(fs::exists(recent / "a.txt"));
    }
}
