// Handheld RAM databases and card files: existence tests, card folders,
// replacing card files, creating databases, unique names, user folders.
#include "card_fs.h"
#include "palm_errors.h"
#include "services_fixture.h"
#include "sync_manager.h"
#include "user_manager.h"

namespace servicestest {
namespace {

constexpr uint32_t kCreator = 0x51567079;  // 'QVpy'
constexpr uint32_t kOtherCreator = 0x4F544852;
constexpr uint32_t kType = 0x44415441;

void makeDatabase(const std::string &name, uint32_t creator = kCreator, uint32_t type = kType) {
    uint8_t handle = 0;
    ASSERT_EQ(QVCreatePalmDatabase(&handle, name.c_str(), creator, type, 8, 0), 0) << name;
    ASSERT_EQ(palm::sync::closeDatabase(handle), 0);
}

void makeCardFile(uint16_t volume, const std::string &path, const std::string &bytes) {
    palm::vfs::FileRef ref = 0;
    ASSERT_EQ(palm::vfs::fileOpen(volume, path, 31, ref), 0) << path;
    uint32_t written = 0;
    ASSERT_EQ(palm::vfs::fileWrite(ref, uint32_t(bytes.size()), bytes.data(), written), 0);
    ASSERT_EQ(palm::vfs::fileClose(ref), 0);
}

using HandheldExistenceTest = HandheldTest;

TEST_F(HandheldExistenceTest, DatabaseInRam) {
    makeDatabase("Memo");
    QVDP_Error e = cleared();
    EXPECT_EQ(QVPALMDBExists(&e, "Memo"), 1);
    EXPECT_EQ(QVHHFileExists(&e, QVDP_RAM_VOLUME, "Memo"), 1);
    EXPECT_EQ(QVPALMDBExists(&e, "Nothing"), 0);
    EXPECT_EQ(e.code, 0);

    fault("sync.findDatabase", palm::kSyncErrIo);
    EXPECT_EQ(QVHHFileExists(&e, QVDP_RAM_VOLUME, "Memo"), 0);
    EXPECT_EQ(e.kind, QVDP_KIND_SYNC);
    EXPECT_EQ(e.code, 41);
    EXPECT_EQ(e.syncError, palm::kSyncErrIo);
}

TEST_F(HandheldExistenceTest, FileOnCard) {
    makeCardFile(kCard, "/a.doc", "x");
    QVDP_Error e = cleared();
    EXPECT_EQ(QVVFSFileExists(&e, kCard, "/a.doc"), 1);
    EXPECT_EQ(QVHHFileExists(&e, kCard, "/a.doc"), 1);
    EXPECT_EQ(QVHHFileExists(&e, kCard, "/b.doc"), 0);
    EXPECT_EQ(e.code, 0);

    // The card's answer for a slot without a card is no "not found".
    EXPECT_EQ(QVVFSFileExists(&e, 7, "/a.doc"), 0);
    EXPECT_EQ(e.kind, QVDP_KIND_SYNC);
    EXPECT_EQ(e.code, 91);
    EXPECT_NE(e.syncError, 0);
}

TEST_F(HandheldExistenceTest, CardFoldersAreCreatedAlongAPath) {
    EXPECT_EQ(QVVFSDirExists(kCard, "/Documents"), 0);
    EXPECT_EQ(QVVFSCheckPath(kCard, "/Documents/Work/Drafts/a.doc"), 0);
    EXPECT_EQ(QVVFSDirExists(kCard, "/Documents/Work/Drafts"), 1);
    EXPECT_EQ(QVVFSDirExists(kCard, "/Documents/Work/Drafts/a.doc"), 0);  // the file name is no folder

    EXPECT_EQ(QVVFSCheckDir(kCard, "/Documents"), 0);
    EXPECT_EQ(QVVFSCheckDir(kCard, "/Other"), 0);
    EXPECT_EQ(QVVFSDirExists(kCard, "/Other"), 1);
    EXPECT_EQ(QVVFSCheckDir(kCard, "/Missing/Inner"), palm::kVfsErrDirectoryNotFound);

    fault("vfs.dirCreate", palm::kExpErrCardReadOnly);
    EXPECT_EQ(QVVFSCheckPath(kCard, "/New/Deeper/a.doc"), palm::kExpErrCardReadOnly);
}

// ---- QVVFSReplaceFile ----

class CardReplaceTest : public HandheldTest {
protected:
    void SetUp() override {
        HandheldTest::SetUp();
        ASSERT_EQ(QVVFSCheckPath(kCard, "/Docs/x"), 0);
        makeCardFile(kCard, "/Docs/list.dat", "old");
        makeCardFile(kCard, "/Docs/list.dat.tmp", "new");
    }
};

TEST_F(CardReplaceTest, TemporaryFileTakesTheTargetsName) {
    EXPECT_EQ(QVVFSReplaceFile(kCard, "/Docs/list.dat", "/Docs/list.dat.tmp"), 0);
    EXPECT_EQ(readFile(cardFile("/Docs/list.dat")), "new");
    EXPECT_FALSE(fs::exists(cardFile("/Docs/list.dat.tmp")));
    EXPECT_FALSE(fs::exists(cardFile("/Docs/list.dat.$$$")));

    makeCardFile(kCard, "/Docs/fresh.dat.tmp", "fresh");
    EXPECT_EQ(QVVFSReplaceFile(kCard, "/Docs/fresh.dat", "/Docs/fresh.dat.tmp"), 0);
    EXPECT_EQ(readFile(cardFile("/Docs/fresh.dat")), "fresh");
}

TEST_F(CardReplaceTest, FailingStepsKeepTheOldFile) {
    struct Step { const char *what; const char *operation; uint32_t nth; int32_t error; } steps[] = {
        {"testing the target", "vfs.fileOpen", 1, palm::kVfsErrFileGeneric},
        {"moving the target aside", "vfs.fileRename", 1, palm::kExpErrCardReadOnly},
        {"renaming the temporary file", "vfs.fileRename", 2, palm::kExpErrCardNotPresent},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        fault(step.operation, step.error, step.nth);
        EXPECT_EQ(QVVFSReplaceFile(kCard, "/Docs/list.dat", "/Docs/list.dat.tmp"), step.error);
        palm::clearFaults();
        EXPECT_EQ(readFile(cardFile("/Docs/list.dat")), "old");
        EXPECT_EQ(readFile(cardFile("/Docs/list.dat.tmp")), "new");
    }
}

TEST_F(CardReplaceTest, WhenEvenTheWayBackFailsTheOldFileStaysAside) {
    fault("vfs.fileRename", palm::kVfsErrFileGeneric, 2, palm::FaultMode::From);
    EXPECT_EQ(QVVFSReplaceFile(kCard, "/Docs/list.dat", "/Docs/list.dat.tmp"), palm::kVfsErrFileGeneric);
    EXPECT_EQ(readFile(cardFile("/Docs/list.dat.$$$")), "old");
    EXPECT_EQ(readFile(cardFile("/Docs/list.dat.tmp")), "new");
}

// ---- Databases ----

using HandheldDatabaseTest = HandheldTest;

TEST_F(HandheldDatabaseTest, NameLengthLimit) {
    uint8_t handle = 0;
    std::string name31(31, 'n');
    EXPECT_EQ(QVCreatePalmDatabase(&handle, name31.c_str(), kCreator, kType, 8, 0), 0);
    palm::sync::closeDatabase(handle);
    std::string name32(32, 'n');
    EXPECT_EQ(QVCreatePalmDatabase(&handle, name32.c_str(), kCreator, kType, 8, 0), -2);
}

TEST_F(HandheldDatabaseTest, ReplaceOnlyADatabaseOfTheSameCreator) {
    makeDatabase("Mine", kCreator);
    makeDatabase("Theirs", kOtherCreator);
    uint8_t handle = 0;
    EXPECT_EQ(QVCreatePalmDatabase(&handle, "Mine", kCreator, kType, 8, 0), palm::kSyncErrExists);
    EXPECT_EQ(QVCreatePalmDatabase(&handle, "Theirs", kCreator, kType, 8, 1), palm::kSyncErrExists);
    EXPECT_EQ(QVCheckDBCreatorID("Theirs", kOtherCreator), 1);

    // Replaced: a new, empty database of the same name.
    uint32_t id = 0;
    uint8_t first = 0;
    ASSERT_EQ(palm::sync::openDatabase("Mine", 0, palm::sync::kModeReadWrite, first), 0);
    ASSERT_EQ(palm::sync::writeRecord(first, 0, 0, 0, "abc", 3, id), 0);
    ASSERT_EQ(palm::sync::closeDatabase(first), 0);
    ASSERT_EQ(QVCreatePalmDatabase(&handle, "Mine", kCreator, kType, 8, 1), 0);
    palm::sync::DbInfo info;
    ASSERT_EQ(palm::sync::readOpenDatabaseInfo(handle, info), 0);
    EXPECT_EQ(info.recordCount, 0);
    palm::sync::closeDatabase(handle);
}

TEST_F(HandheldDatabaseTest, CreatorCheck) {
    makeDatabase("Mine", kCreator);
    EXPECT_EQ(QVCheckDBCreatorID("Mine", kCreator), 1);
    EXPECT_EQ(QVCheckDBCreatorID("Mine", kOtherCreator), 0);
    EXPECT_EQ(QVCheckDBCreatorID("Missing", kCreator), 0);
}

TEST_F(HandheldDatabaseTest, RecognisesADatabaseByItsType) {
    const QVDP_Format table[] = {
        {1, ".DOC", "Word", 0, 1, 1, 0x574F5244, kCreator, 1, nullptr},
        {6, ".MWD", "Docs", 0, 1, 0, kType, kCreator, 1, nullptr},
        {0, nullptr, nullptr, 0, 0, 0, 0, 0, 0, nullptr},
    };
    makeDatabase("Letter", kCreator, kType);
    makeDatabase("Odd", kCreator, 0x3F3F3F3F);
    const QVDP_Format *row = nullptr;
    EXPECT_EQ(QVRecognizePalmFileType(table, "Letter", &row), 0);
    EXPECT_EQ(row, &table[1]);
    EXPECT_EQ(QVRecognizePalmFileType(table, "Odd", &row), 3);
    EXPECT_EQ(row, nullptr);
    EXPECT_EQ(QVRecognizePalmFileType(table, "Missing", &row), 47);
}

// ---- Unique names ----

using UniqueHandheldNameTest = HandheldTest;

TEST_F(UniqueHandheldNameTest, PalmNameIsShortenedToThirtyOneCharacters) {
    const std::string taken = "abcdefghijklmnopqrstuvwxyz1.pdb";
    makeDatabase(taken);
    QVDP_Error e = cleared();
    char out[QVDP_PALM_NAME_SIZE];
    EXPECT_EQ(GenerateUniquePalmName(&e, taken.c_str(), out), 1);
    EXPECT_STREQ(out, "abcdefghijklmnopqrstuvwx(1).pdb");

    makeDatabase(out);
    EXPECT_EQ(GenerateUniquePalmName(&e, taken.c_str(), out), 1);
    EXPECT_STREQ(out, "abcdefghijklmnopqrstuvwx(2).pdb");
    EXPECT_EQ(GenerateUniquePalmName(&e, "Free", out), 1);
    EXPECT_STREQ(out, "Free");
    EXPECT_EQ(e.code, 0);
}

TEST_F(UniqueHandheldNameTest, ShorteningNeverSplitsACharacter) {
    // 25 ASCII characters and two "é" (2 bytes each): 28 bytes are left for
    // the base beside "(1)", which would end inside the second "é".
    const std::string taken = "abcdefghijklmnopqrstuvwxy\xC3\xA9\xC3\xA9";
    makeDatabase(taken);
    QVDP_Error e = cleared();
    char out[QVDP_PALM_NAME_SIZE];
    ASSERT_EQ(GenerateUniquePalmName(&e, taken.c_str(), out), 1);
    EXPECT_STREQ(out, "abcdefghijklmnopqrstuvwxy\xC3\xA9(1)");
}

TEST_F(UniqueHandheldNameTest, FailedTestStopsTheNumberingWithTheCandidate) {
    makeDatabase("Memo.txt");
    fault("sync.findDatabase", palm::kSyncErrIo, 2);
    QVDP_Error e = cleared();
    char out[QVDP_PALM_NAME_SIZE];
    EXPECT_EQ(GenerateUniquePalmName(&e, "Memo.txt", out), 0);
    EXPECT_EQ(e.kind, QVDP_KIND_SYNC);
    EXPECT_EQ(e.code, 41);
    EXPECT_EQ(e.syncError, palm::kSyncErrIo);
    EXPECT_STREQ(out, "Memo(1).txt");

    e = cleared();
    std::string overlong(32, 'x');
    EXPECT_EQ(GenerateUniquePalmName(&e, overlong.c_str(), out), 0);
    EXPECT_EQ(e.code, 1);
    EXPECT_STREQ(out, "");
}

TEST_F(UniqueHandheldNameTest, CardNameInAFolder) {
    ASSERT_EQ(QVVFSCheckPath(kCard, "/Documents/x"), 0);
    makeCardFile(kCard, "/Documents/a.doc", "");
    makeCardFile(kCard, "/Documents/a(1).doc", "");
    QVDP_Error e = cleared();
    char out[QVDP_MAX_PATH];
    EXPECT_EQ(GenerateUniqueCardName(&e, kCard, "/Documents", "a.doc", out), 1);
    EXPECT_STREQ(out, "a(2).doc");
    // Names on the card are found without regard to case.
    EXPECT_EQ(GenerateUniqueCardName(&e, kCard, "/Documents/", "A.DOC", out), 1);
    EXPECT_STREQ(out, "A(2).DOC");
    EXPECT_EQ(e.code, 0);

    fault("vfs.fileOpen", palm::kExpErrCardNotPresent);
    EXPECT_EQ(GenerateUniqueCardName(&e, kCard, "/Documents", "a.doc", out), 0);
    EXPECT_EQ(e.code, 91);
    EXPECT_EQ(e.syncError, palm::kExpErrCardNotPresent);
    EXPECT_STREQ(out, "a.doc");
}

TEST_F(UniqueHandheldNameTest, CardNameKeepsTheWholePathWithinTheLimit) {
    std::string folder = "/" + std::string(200, 'f');
    ASSERT_EQ(QVVFSCheckDir(kCard, folder.c_str()), 0);
    std::string name = std::string(54, 'n') + ".doc";  // 201 + 1 + 58 = 260: too long as it is
    QVDP_Error e = cleared();
    char out[QVDP_MAX_PATH];
    EXPECT_EQ(GenerateUniqueCardName(&e, kCard, folder.c_str(), name.c_str(), out), 0);
    EXPECT_EQ(e.code, 1);

    name = std::string(53, 'n') + ".doc";  // exactly 259 when joined
    makeCardFile(kCard, folder + "/" + name, "");
    e = cleared();
    ASSERT_EQ(GenerateUniqueCardName(&e, kCard, folder.c_str(), name.c_str(), out), 1);
    EXPECT_EQ(std::string(out), std::string(50, 'n') + "(1).doc");
}

// ---- User folder ----

using UserFolderTest = HandheldTest;

TEST_F(UserFolderTest, RootJoinedWithTheUsersFolder) {
    uint32_t id = 0;
    ASSERT_EQ(palm::users::addUser("Jane Doe", id), 0);
    std::string folder;
    ASSERT_EQ(palm::users::userDirectory(id, folder), 0);
    char out[QVDP_MAX_PATH];
    EXPECT_EQ(GetUserFullPath(id, out), 1);
    EXPECT_EQ(fs::path(out), home() / "Palm" / folder);

    EXPECT_EQ(GetUserFullPath(id + 1000, out), 0);
    EXPECT_STREQ(out, "");
}

}  // namespace
}  // namespace servicestest
