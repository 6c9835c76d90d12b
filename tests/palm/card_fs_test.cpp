#include "palm_test_support.h"

#include "card_fs.h"

#include <cstring>

using namespace palm;
using namespace palm::vfs;
using palmtest::PalmTest;

namespace {

class CardTest : public PalmTest {
protected:
    void SetUp() override {
        PalmTest::SetUp();
        makeHandheld("hh", 1 << 20, 2);
        std::string error;
        auto h = Handheld::open("hh", error);
        ASSERT_TRUE(h->insertCard(1, std::string("SD Card"), 1000u, error)) << error;
        ASSERT_TRUE(selectHandheld("hh", error)) << error;
    }

    void protect(bool on) {
        std::string error;
        auto h = Handheld::open("hh", error);
        auto card = h->card(1, error);
        card->readOnly = on;
        ASSERT_TRUE(h->saveCard(*card, error));
        uint16_t count = 0;
        volumeEnumerate(nullptr, count);   // the handheld notices on its next enumeration
    }

    int32_t writeFile(const std::string &path, const std::string &text) {
        FileRef ref = 0;
        if (int32_t e = fileOpen(1, path, 31, ref)) return e;
        uint32_t written = 0;
        int32_t e = fileWrite(ref, uint32_t(text.size()), text.data(), written);
        fileClose(ref);
        return e;
    }
};

}  // namespace

TEST_F(CardTest, VolumesAreEnumeratedInTwoCalls) {
    uint16_t count = 0;
    ASSERT_EQ(volumeEnumerate(nullptr, count), 0);
    ASSERT_EQ(count, 1);
    uint16_t refs[4] = {};
    ASSERT_EQ(volumeEnumerate(refs, count), 0);
    EXPECT_EQ(refs[0], 1);

    std::string error;
    auto h = Handheld::open("hh", error);
    ASSERT_TRUE(h->insertCard(2, std::nullopt, std::nullopt, error));
    count = 1;
    EXPECT_EQ(volumeEnumerate(refs, count), kVfsErrBufferOverflow);
    count = 4;
    ASSERT_EQ(volumeEnumerate(refs, count), 0);
    EXPECT_EQ(count, 2);
    ASSERT_TRUE(h->removeCard(1, error));
    ASSERT_EQ(volumeEnumerate(refs, count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(refs[0], 2);
    VolumeInfo info;
    EXPECT_EQ(volumeInfo(1, info), kVfsErrVolumeBadRef);
}

TEST_F(CardTest, LabelSizeAndInformation) {
    char label[256];
    ASSERT_EQ(volumeGetLabel(1, label, sizeof label), 0);
    EXPECT_STREQ(label, "SD Card");
    EXPECT_EQ(volumeGetLabel(1, label, 4), kVfsErrBufferOverflow);
    ASSERT_EQ(volumeSetLabel(1, "Renamed"), 0);
    ASSERT_EQ(volumeGetLabel(1, label, sizeof label), 0);
    EXPECT_STREQ(label, "Renamed");
    EXPECT_EQ(volumeSetLabel(1, std::string(256, 'x')), kVfsErrBadName);
    std::string error;
    EXPECT_EQ(Handheld::open("hh", error)->card(1, error)->label, "Renamed");   // stored

    ASSERT_EQ(writeFile("/a.txt", "0123456789"), 0);
    uint32_t used = 0, total = 0;
    ASSERT_EQ(volumeSize(1, used, total), 0);
    EXPECT_EQ(used, 10u);
    EXPECT_EQ(total, 1000u);
    VolumeInfo info;
    ASSERT_EQ(volumeInfo(1, info), 0);
    EXPECT_EQ(info.slotRef, 1);
}

TEST_F(CardTest, FilesAreOpenedReadWrittenAndSought) {
    FileRef ref = 0;
    EXPECT_EQ(fileOpen(1, "/Documents/a.doc", kModeRead, ref), 10760);
    EXPECT_EQ(fileOpen(1, "/Documents/a.doc", 31, ref), kVfsErrDirectoryNotFound);
    ASSERT_EQ(dirCreate(1, "/Documents"), 0);
    EXPECT_EQ(dirCreate(1, "/Documents"), kVfsErrFileAlreadyExists);
    EXPECT_EQ(dirCreate(1, "/A/B"), kVfsErrDirectoryNotFound);
    ASSERT_EQ(writeFile("/Documents/a.doc", "hello world"), 0);

    // Paths are found without regard to case.
    ASSERT_EQ(fileOpen(1, "/DOCUMENTS/A.DOC", kModeRead, ref), 0);
    uint32_t size = 0;
    ASSERT_EQ(fileSize(ref, size), 0);
    EXPECT_EQ(size, 11u);
    char buffer[32] = {};
    uint32_t got = 0;
    ASSERT_EQ(fileSeek(ref, kSeekBegin, 6), 0);
    ASSERT_EQ(fileRead(ref, 32, buffer, got), 0);
    EXPECT_EQ(std::string(buffer, got), "world");
    ASSERT_EQ(fileRead(ref, 32, buffer, got), 0);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(fileSeek(ref, kSeekEnd, 1), kVfsErrFileEOF);
    uint32_t written = 0;
    EXPECT_EQ(fileWrite(ref, 1, "x", written), kVfsErrFilePermissionDenied);
    // A file open for reading cannot be opened for writing, nor deleted.
    FileRef writer = 0;
    EXPECT_EQ(fileOpen(1, "/Documents/a.doc", kModeReadWrite, writer), kVfsErrFilePermissionDenied);
    EXPECT_EQ(fileDelete(1, "/Documents/a.doc"), kVfsErrFileStillOpen);
    ASSERT_EQ(fileClose(ref), 0);
    EXPECT_EQ(fileClose(ref), kVfsErrFileBadRef);

    // Mode 7 keeps the bytes, mode 31 truncates.
    ASSERT_EQ(fileOpen(1, "/Documents/a.doc", kModeReadWrite, ref), 0);
    ASSERT_EQ(fileWrite(ref, 5, "HELLO", written), 0);
    ASSERT_EQ(fileSize(ref, size), 0);
    EXPECT_EQ(size, 11u);
    fileClose(ref);
    ASSERT_EQ(fileOpen(1, "/Documents/a.doc", 31, ref), 0);
    ASSERT_EQ(fileSize(ref, size), 0);
    EXPECT_EQ(size, 0u);
    fileClose(ref);

    // A folder opens for reading only.
    ASSERT_EQ(fileOpen(1, "/Documents", kModeRead, ref), 0);
    fileClose(ref);
    EXPECT_EQ(fileOpen(1, "/Documents", kModeReadWrite, ref), kVfsErrIsADirectory);
}

TEST_F(CardTest, CreateDeleteRenameAndAttributes) {
    ASSERT_EQ(fileCreate(1, "/QVCardInfo.db"), 0);
    EXPECT_EQ(fileCreate(1, "/qvcardinfo.db"), kVfsErrFileAlreadyExists);
    FileRef ref = 0;
    ASSERT_EQ(fileOpen(1, "/QVCardInfo.db", kModeReadWrite, ref), 0);
    ASSERT_EQ(fileSetAttributes(ref, kAttrHidden), 0);
    fileClose(ref);
    uint32_t attributes = 0;
    ASSERT_EQ(fileOpen(1, "/QVCardInfo.db", kModeRead, ref), 0);
    ASSERT_EQ(fileGetAttributes(ref, attributes), 0);
    EXPECT_EQ(attributes, kAttrHidden);
    fileClose(ref);

    ASSERT_EQ(writeFile("/list.tmp", "new"), 0);
    ASSERT_EQ(writeFile("/list.dat", "old"), 0);
    EXPECT_EQ(fileRename(1, "/list.tmp", "list.dat"), kVfsErrFileAlreadyExists);
    ASSERT_EQ(fileDelete(1, "/list.dat"), 0);
    ASSERT_EQ(fileRename(1, "/list.tmp", "list.dat"), 0);
    EXPECT_EQ(fileDelete(1, "/list.tmp"), 10760);
    EXPECT_EQ(fileRename(1, "/list.dat", "../x"), kVfsErrBadName);

    ASSERT_EQ(dirCreate(1, "/Folder"), 0);
    ASSERT_EQ(writeFile("/Folder/f", "x"), 0);
    EXPECT_EQ(fileDelete(1, "/Folder"), kVfsErrDirNotEmpty);
}

TEST_F(CardTest, NamesThatLeaveTheCardAreRefused) {
    FileRef ref = 0;
    for (const char *path : {"relative.txt", "/../outside", "/a/../../b", "/a:b", ""}) {
        EXPECT_EQ(fileOpen(1, path, 31, ref), kVfsErrBadName) << path;
    }
    EXPECT_EQ(fileOpen(1, "/" + std::string(300, 'a'), 31, ref), kVfsErrBadName);
    EXPECT_FALSE(std::filesystem::exists(home_ / "handhelds" / "hh" / "cards" / "outside"));
}

TEST_F(CardTest, WriteProtectedCardRefusesEveryChange) {
    ASSERT_EQ(writeFile("/a.txt", "abc"), 0);
    protect(true);
    FileRef ref = 0;
    EXPECT_EQ(fileOpen(1, "/a.txt", kModeReadWrite, ref), 10503);
    EXPECT_EQ(fileOpen(1, "/b.txt", 31, ref), 10503);
    EXPECT_EQ(fileCreate(1, "/b.txt"), 10503);
    EXPECT_EQ(fileDelete(1, "/a.txt"), 10503);
    EXPECT_EQ(fileRename(1, "/a.txt", "c.txt"), 10503);
    EXPECT_EQ(dirCreate(1, "/D"), 10503);
    EXPECT_EQ(volumeSetLabel(1, "x"), 10503);
    ASSERT_EQ(fileOpen(1, "/a.txt", kModeRead, ref), 0);   // reading still works
    EXPECT_EQ(fileSetAttributes(ref, kAttrHidden), 10503);
    fileClose(ref);
}

TEST_F(CardTest, FullCardRefusesWritesAndNewEntries) {
    const std::string nearlyAll(990, 'x');
    ASSERT_EQ(writeFile("/big", nearlyAll), 0);
    EXPECT_EQ(writeFile("/more", std::string(11, 'y')), 10767);
    FileRef ref = 0;
    ASSERT_EQ(fileOpen(1, "/more", kModeReadWrite, ref), 0);
    uint32_t size = 1;
    ASSERT_EQ(fileSize(ref, size), 0);
    EXPECT_EQ(size, 0u);   // nothing of the refused write was stored
    uint32_t written = 0;
    ASSERT_EQ(fileWrite(ref, 10, "0123456789", written), 0);   // exactly fills the card
    fileClose(ref);
    EXPECT_EQ(fileCreate(1, "/another"), 10802);
    EXPECT_EQ(dirCreate(1, "/Folder"), 10802);
    ASSERT_EQ(fileDelete(1, "/big"), 0);
    EXPECT_EQ(fileCreate(1, "/another"), 0);
}
