// How a HotSync finds its way back after something went wrong before it:
// handheld records that were lost, names taken by files no list knows, a
// desktop list left under its ".bak" name, lists that are not what they
// should be, and a handheld file that vanished while the desktop changed.
#include "sync_test_support.h"

#include "pdb_file.h"

using namespace synctest;

TEST_F(SyncTest, ALostHandheldRecordIsMadeAgainWhileItsFileIsThere) {
    const auto kept = addFile("kept.txt", "still on the handheld");
    const auto gone = addFile("gone.txt", "deleted with its record");
    ASSERT_EQ(sync(), 0);
    device({"delete", "hh", kListName});
    device({"delete", "hh", "gone.txt"});
    ASSERT_EQ(sync(), 0) << lastRun_.output;

    EXPECT_EQ(entryOf(kept.recordId)->status, qv::kSynchronized);
    const auto item = itemNamed(kRam, "kept.txt");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->id, kept.recordId);
    EXPECT_EQ(entryOf(gone.recordId)->status, qv::kMissingPalmDatabase);
}

TEST_F(SyncTest, ANewEntryWhoseNameIsTakenTakesAFreeNameUnlessAListedFileHasIt) {
    // A database no list knows, as a HotSync cut short after the copy leaves.
    newOnHandheld(kRam, "plain.txt", "left behind");
    device({"doc-delete", "hh", kRam, "plain.txt"});
    ASSERT_EQ(sync(), 0);
    ASSERT_TRUE(items(kRam).empty());
    ASSERT_TRUE(handheldText(kRam, "plain.txt"));

    const auto added = addFile("plain.txt", "from the desktop");
    newOnHandheld(kRam, "listed.txt", "a listed document", {"--type", "TEXT", "--mode", "0"});
    const auto clash = addFile("listed.txt", "same name as a listed file");
    ASSERT_EQ(sync(), 0) << lastRun_.output;

    const auto entry = entryOf(added.recordId);
    EXPECT_EQ(entry->status, qv::kSynchronized);
    EXPECT_EQ(entry->handheldName, "plain(1).txt");
    EXPECT_EQ(handheldText(kRam, "plain(1).txt"), "from the desktop");
    EXPECT_EQ(handheldText(kRam, "plain.txt"), "left behind");
    EXPECT_EQ(entryOf(clash.recordId)->status, qv::kFileAlreadyExists);
    EXPECT_EQ(handheldText(kRam, "listed.txt"), "a listed document");
}

TEST_F(SyncTest, ADesktopListLeftUnderItsBackupNameIsTakenBack) {
    const auto added = addFile("report.txt", "text");
    ASSERT_EQ(sync(), 0);
    fs::rename(listPath(), listPath().string() + ".bak");
    ASSERT_EQ(sync(), 0);
    EXPECT_FALSE(fs::exists(listPath().string() + ".bak"));
    ASSERT_EQ(readList().size(), 1u);
    EXPECT_EQ(entryOf(added.recordId)->status, qv::kSynchronized);
}

TEST_F(SyncTest, ADesktopListThatCannotBeReadIsLeftAsItIs) {
    addFile("report.txt", "text");
    // Records too short to be desktop records.
    std::array<uint8_t, qv::kDBHeaderSize> header{};
    qv::encodeDBHeader(qv::makeDBHeader(100), header);
    std::string bytes(header.begin(), header.end());
    bytes += std::string(100, 'x');
    std::ofstream(listPath(), std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(readText(listPath()), bytes);
    EXPECT_EQ(runTool("palmdevice", {"docs", "hh", kRam}).output, "No file list.\n");
}

TEST_F(SyncTest, ARecordIdTheHandheldListRepeatsPairsOnlyOnce) {
    const auto added = addFile("twice.txt", "desktop");
    ASSERT_EQ(sync(), 0);
    // A second record with the same id, for another document.
    newOnHandheld(kRam, "other.txt", "another document");
    const fs::path list = home_ / "list.pdb";
    device({"export", "hh", kListName, list.string()});
    std::string error;
    auto pdb = palm::parsePdb(palmtest::readFile(list), "list");
    ASSERT_TRUE(pdb.database);
    ASSERT_EQ(pdb.database->records.size(), 2u);
    std::copy(added.recordId.begin(), added.recordId.end(), pdb.database->records[1].data.begin());
    palmtest::writeFile(list, palm::serializePdb(*pdb.database));
    device({"import", "hh", list.string(), "--replace"});

    ASSERT_EQ(sync(), 0) << lastRun_.output;
    EXPECT_EQ(readText(added.desktopPath), "desktop");
    EXPECT_EQ(readText(syncDir_ / "other.txt"), "another document") << "imported as a document of its own";
    EXPECT_EQ(readList().size(), 2u);
}

TEST_F(SyncTest, AHandheldFileThatVanishedComesBackWhenTheDesktopHasANewerVersion) {
    const auto added = addFile("draft.txt", "first");
    ASSERT_EQ(sync(), 0);
    device({"delete", "hh", "draft.txt"});
    writeText(added.desktopPath, "second");
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(handheldText(kRam, "draft.txt"), "second");
    EXPECT_EQ(entryOf(added.recordId)->status, qv::kSynchronized);
}
