// Moving bytes between desktop files and handheld RAM (stream databases) or
// card files, and the free-memory check before a copy.
#include "byte_order.h"
#include "card_fs.h"
#include "palm_errors.h"
#include "services_fixture.h"
#include "shared_file.h"
#include "sync_manager.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace servicestest {
namespace {

constexpr uint32_t kCreator = 0x51564D57;  // 'QVMW'
constexpr uint32_t kOtherCreator = 0x4F544852;
constexpr uint32_t kType = 0x54455854;     // 'TEXT'

std::vector<std::vector<uint8_t>> databaseRecords(const std::string &name) {
    std::vector<std::vector<uint8_t>> result;
    uint8_t handle = 0;
    EXPECT_EQ(palm::sync::openDatabase(name, 0, palm::sync::kModeRead, handle), 0) << name;
    std::vector<std::pair<palm::sync::RecordInfo, std::vector<uint8_t>>> records;
    EXPECT_EQ(palm::sync::readAllRecords(handle, records), 0);
    palm::sync::closeDatabase(handle);
    for (auto &r : records) result.push_back(std::move(r.second));
    return result;
}

bool databaseExists(const std::string &name) {
    palm::sync::DbInfo info;
    return palm::sync::findDatabase(name, 0, info) == 0;
}

// Writes a database with the given records as they are (no checks).
void writeRawDatabase(const std::string &name, const std::vector<std::string> &records) {
    uint8_t handle = 0;
    ASSERT_EQ(QVCreatePalmDatabase(&handle, name.c_str(), kCreator, kType, 0x88, 1), 0);
    for (const std::string &r : records) {
        uint32_t id = 0;
        ASSERT_EQ(palm::sync::writeRecord(handle, 0, 0, 0, r.data(), uint32_t(r.size()), id), 0);
    }
    ASSERT_EQ(palm::sync::closeDatabase(handle), 0);
}

std::string blockHeader(uint32_t n) {
    std::string header = "DBLK" + std::string(4, '\0');
    qv::storeBE32(reinterpret_cast<uint8_t *>(header.data()) + 4, n);
    return header;
}

// ---- Stream databases ----

using StreamDatabaseTest = HandheldTest;

TEST_F(StreamDatabaseTest, EmptyFileGivesADatabaseWithoutRecordsAndBack) {
    writeFile(desk() / "empty.txt", "");
    QVDP_Error e = cleared();
    ASSERT_EQ(StreamCopyFileToPalmDevice(&e, deskPath("empty.txt").c_str(), "Empty", kCreator, kType), 1);
    EXPECT_EQ(e.code, 0);
    EXPECT_TRUE(databaseRecords("Empty").empty());
    palm::sync::DbInfo info;
    ASSERT_EQ(palm::sync::findDatabase("Empty", 0, info), 0);
    EXPECT_EQ(info.flags, 0x88);
    EXPECT_EQ(info.creator, kCreator);
    EXPECT_EQ(info.type, kType);

    writeFile(desk() / "back.txt", "stale content");
    ASSERT_EQ(StreamCopyFileFromPalmDevice(&e, deskPath("back.txt").c_str(), "Empty"), 1);
    EXPECT_EQ(fs::file_size(desk() / "back.txt"), 0u);
}

TEST_F(StreamDatabaseTest, BlocksOfAtMost4096DataBytes) {
    std::string bytes = patternBytes(4097);
    writeFile(desk() / "a.txt", bytes);
    QVDP_Error e = cleared();
    ASSERT_EQ(StreamCopyFileToPalmDevice(&e, deskPath("a.txt").c_str(), "A", kCreator, kType), 1);
    auto records = databaseRecords("A");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(std::string(records[0].begin(), records[0].begin() + 8), blockHeader(4096));
    EXPECT_EQ(records[0].size(), 8u + 4096u);
    EXPECT_EQ(std::string(records[1].begin(), records[1].end()), blockHeader(1) + bytes.substr(4096));

    ASSERT_EQ(StreamCopyFileFromPalmDevice(&e, deskPath("back.txt").c_str(), "A"), 1);
    EXPECT_EQ(readFile(desk() / "back.txt"), bytes);
}

TEST_F(StreamDatabaseTest, ExistingDatabaseIsReplacedWhateverItsCreator) {
    writeRawDatabase("Notes", {"someone else's record"});
    uint8_t handle = 0;
    ASSERT_EQ(QVCreatePalmDatabase(&handle, "Theirs", kOtherCreator, kType, 8, 0), 0);
    palm::sync::closeDatabase(handle);

    writeFile(desk() / "a.txt", "fresh");
    QVDP_Error e = cleared();
    ASSERT_EQ(StreamCopyFileToPalmDevice(&e, deskPath("a.txt").c_str(), "Theirs", kCreator, kType), 1);
    palm::sync::DbInfo info;
    ASSERT_EQ(palm::sync::findDatabase("Theirs", 0, info), 0);
    EXPECT_EQ(info.creator, kCreator);
    auto records = databaseRecords("Theirs");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(std::string(records[0].begin(), records[0].end()), blockHeader(5) + "fresh");
}

TEST_F(StreamDatabaseTest, FailedCopyToTheHandheldLeavesNoDatabase) {
    writeFile(desk() / "a.txt", patternBytes(3 * 4096));
    struct Step { const char *what; const char *operation; uint32_t nth; int32_t code; } steps[] = {
        {"a record write", "sync.writeRecord", 2, 45},
        {"closing (writing back)", "sync.closeDatabase", 1, 45},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        fault(step.operation, palm::kSyncErrNotEnoughSpace, step.nth);
        QVDP_Error e = cleared();
        EXPECT_EQ(StreamCopyFileToPalmDevice(&e, deskPath("a.txt").c_str(), "A", kCreator, kType), 0);
        palm::clearFaults();
        EXPECT_EQ(e.kind, QVDP_KIND_SYNC);
        EXPECT_EQ(e.code, step.code);
        EXPECT_EQ(e.syncError, palm::kSyncErrNotEnoughSpace);
        EXPECT_FALSE(databaseExists("A"));
    }

    // A desktop read failure too (a folder cannot be read as a file).
    int folder = ::open(desk().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    QVDP_Error e = cleared();
    EXPECT_EQ(StreamCopyToPalmDevice(&e, folder, "A", kCreator, kType), 0);
    ::close(folder);
    EXPECT_EQ(e.kind, QVDP_KIND_SYSTEM);
    EXPECT_EQ(e.code, 62);
    EXPECT_EQ(e.win32Error, uint32_t(EISDIR));
    EXPECT_FALSE(databaseExists("A"));
}

TEST_F(StreamDatabaseTest, CreationFailureIsAPalmDbIoError) {
    writeFile(desk() / "a.txt", "x");
    fault("sync.createDatabase", palm::kSyncErrNotEnoughSpace);
    QVDP_Error e = cleared();
    EXPECT_EQ(StreamCopyFileToPalmDevice(&e, deskPath("a.txt").c_str(), "A", kCreator, kType), 0);
    EXPECT_EQ(e.code, 41);
    EXPECT_EQ(e.syncError, palm::kSyncErrNotEnoughSpace);
    EXPECT_FALSE(databaseExists("A"));
}

TEST_F(StreamDatabaseTest, DamagedRecordsAreAnErrorNotAnOverRead) {
    struct Case { const char *what; std::vector<std::string> records; } cases[] = {
        {"shorter than its header says", {blockHeader(3) + "abc", blockHeader(100) + std::string(20, 'x')}},
        {"shorter than a header", {"DBLK\0\0"}},
        {"empty record", {""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        writeRawDatabase("Damaged", c.records);
        QVDP_Error e = cleared();
        EXPECT_EQ(StreamCopyFileFromPalmDevice(&e, deskPath("out.txt").c_str(), "Damaged"), 0);
        EXPECT_EQ(e.kind, QVDP_KIND_CONDUIT);
        EXPECT_EQ(e.code, 44);
    }
}

TEST_F(StreamDatabaseTest, ReadFailures) {
    QVDP_Error e = cleared();
    EXPECT_EQ(StreamCopyFileFromPalmDevice(&e, deskPath("out.txt").c_str(), "Missing"), 0);
    EXPECT_EQ(e.kind, QVDP_KIND_SYNC);
    EXPECT_EQ(e.code, 41);
    EXPECT_EQ(e.syncError, palm::kSyncErrNotFound);

    writeRawDatabase("Good", {blockHeader(3) + "abc"});
    e = cleared();
    fault("sync.readRecordByIndex", palm::kSyncErrIo);
    EXPECT_EQ(StreamCopyFileFromPalmDevice(&e, deskPath("out.txt").c_str(), "Good"), 0);
    EXPECT_EQ(e.code, 41);
    EXPECT_EQ(e.syncError, palm::kSyncErrIo);

    // The desktop file cannot be written: opened read-only.
    writeFile(desk() / "ro.txt", "");
    int fd = ::open(deskPath("ro.txt").c_str(), O_RDONLY);
    e = cleared();
    EXPECT_EQ(StreamCopyFromPalmDevice(&e, fd, "Good"), 0);
    ::close(fd);
    EXPECT_EQ(e.kind, QVDP_KIND_SYSTEM);
    EXPECT_EQ(e.code, 63);
    EXPECT_EQ(e.win32Error, uint32_t(EBADF));
}

TEST_F(StreamDatabaseTest, DesktopFileThatCannotBeOpenedIsAFileError) {
    QVDP_Error e = cleared();
    EXPECT_EQ(StreamCopyFileToPalmDevice(&e, deskPath("missing.txt").c_str(), "A", kCreator, kType), 0);
    EXPECT_EQ(e.kind, QVDP_KIND_FILE);
    EXPECT_EQ(e.code, 61);
    EXPECT_EQ(e.win32Error, uint32_t(ENOENT));
    EXPECT_EQ(std::string(e.text), deskPath("missing.txt"));
    EXPECT_FALSE(databaseExists("A"));

    // Held without sharing by someone else.
    writeFile(desk() / "held.txt", "x");
    int holder = platform::openFile(deskPath("held.txt"), platform::Access::ReadWrite,
                                    platform::Disposition::OpenExisting, platform::Share::None);
    ASSERT_GE(holder, 0);
    e = cleared();
    EXPECT_EQ(StreamCopyFileFromPalmDevice(&e, deskPath("held.txt").c_str(), "A"), 0);
    EXPECT_EQ(e.code, 61);
    ::close(holder);
    EXPECT_EQ(readFile(desk() / "held.txt"), "x");
}

// ---- Free memory ----

class FreeMemoryTest : public HandheldTest {
protected:
    uint32_t ramSize() const override { return 1024 * 1024; }
};

TEST_F(FreeMemoryTest, FileFitsExactlyWithTheReserve) {
    QVDP_Error e = cleared();
    int32_t freeBytes = QVGetFreeSpaceOnPalmDevice(&e);
    ASSERT_GT(freeBytes, 1000);
    writeFile(desk() / "a.txt", std::string(1000, 'x'));
    int32_t reserve = freeBytes - 1000;
    EXPECT_EQ(CheckAvailableSpaceOnPalmDevice(&e, deskPath("a.txt").c_str(), reserve), 1);
    EXPECT_EQ(CheckAvailableSpaceOnPalmDevice(&e, deskPath("a.txt").c_str(), reserve + 1), 0);
    EXPECT_EQ(e.code, 0);

    // Larger than the free memory: never "fits", however the numbers wrap.
    EXPECT_EQ(CheckAvailableSpaceOnPalmDevice(&e, deskPath("a.txt").c_str(), INT32_MIN), 1);
    fs::resize_file(desk() / "a.txt", uint64_t(freeBytes) + 1);
    EXPECT_EQ(CheckAvailableSpaceOnPalmDevice(&e, deskPath("a.txt").c_str(), 0), 0);
    EXPECT_EQ(e.code, 0);
}

TEST_F(FreeMemoryTest, MissingFileAndSyncErrors) {
    QVDP_Error e = cleared();
    EXPECT_EQ(CheckAvailableSpaceOnPalmDevice(&e, deskPath("missing.txt").c_str(), 0), 0);
    EXPECT_EQ(e.kind, QVDP_KIND_CONDUIT);
    EXPECT_EQ(e.code, 48);

    fault("sync.readSingleCardInfo", palm::kSyncErrNoHandheld, 1, palm::FaultMode::From);
    e = cleared();
    EXPECT_EQ(QVGetFreeSpaceOnPalmDevice(&e), -1);
    EXPECT_EQ(e.kind, QVDP_KIND_SYNC);
    EXPECT_EQ(e.code, 15);
    EXPECT_EQ(e.syncError, palm::kSyncErrNoHandheld);
    e = cleared();
    writeFile(desk() / "a.txt", "x");
    EXPECT_EQ(CheckAvailableSpaceOnPalmDevice(&e, deskPath("a.txt").c_str(), 0), 0);
    EXPECT_EQ(e.code, 15);
}

// ---- Card files ----

class CardTransferTest : public HandheldTest {
protected:
    uint32_t openCard(const std::string &path, uint16_t mode) {
        palm::vfs::FileRef ref = 0;
        EXPECT_EQ(palm::vfs::fileOpen(kCard, path, mode, ref), 0) << path;
        return ref;
    }
};

TEST_F(CardTransferTest, ThreeMebibytesThereAndBackInThreeReads) {
    std::string bytes = patternBytes(3 * 1024 * 1024);
    writeFile(desk() / "big.bin", bytes);
    QVDP_Error e = cleared();
    uint32_t ref = openCard("/big.bin", 31);
    ASSERT_EQ(DirectCopyFileToPalmCard(&e, deskPath("big.bin").c_str(), ref), 1);
    palm::vfs::fileClose(ref);
    EXPECT_EQ(readFile(cardFile("/big.bin")), bytes);

    // A fourth read would fail: three are enough.
    fault("vfs.fileRead", palm::kVfsErrFileGeneric, 4);
    ref = openCard("/big.bin", 2);
    ASSERT_EQ(DirectCopyFileFromPalmCard(&e, deskPath("back.bin").c_str(), ref), 1);
    palm::vfs::fileClose(ref);
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(readFile(desk() / "back.bin"), bytes);

    // And the third is needed.
    palm::clearFaults();
    fault("vfs.fileRead", palm::kVfsErrFileGeneric, 3);
    ref = openCard("/big.bin", 2);
    EXPECT_EQ(DirectCopyFileFromPalmCard(&e, deskPath("back.bin").c_str(), ref), 0);
    palm::vfs::fileClose(ref);
    EXPECT_EQ(e.kind, QVDP_KIND_SYNC);
    EXPECT_EQ(e.code, 93);
    EXPECT_EQ(e.syncError, palm::kVfsErrFileGeneric);
}

TEST_F(CardTransferTest, EmptyFileBothWays) {
    writeFile(desk() / "empty.txt", "");
    QVDP_Error e = cleared();
    uint32_t ref = openCard("/empty.txt", 31);
    EXPECT_EQ(DirectCopyFileToPalmCard(&e, deskPath("empty.txt").c_str(), ref), 1);
    palm::vfs::fileClose(ref);
    ref = openCard("/empty.txt", 2);
    EXPECT_EQ(DirectCopyFileFromPalmCard(&e, deskPath("back.txt").c_str(), ref), 1);
    palm::vfs::fileClose(ref);
    EXPECT_EQ(e.code, 0);
    EXPECT_TRUE(fs::exists(desk() / "back.txt"));
    EXPECT_EQ(fs::file_size(desk() / "back.txt"), 0u);
}

TEST_F(CardTransferTest, CardFailures) {
    writeFile(desk() / "a.txt", patternBytes(5000));
    QVDP_Error e = cleared();
    fault("vfs.fileWrite", palm::kVfsErrVolumeFull, 2);
    uint32_t ref = openCard("/a.txt", 31);
    EXPECT_EQ(DirectCopyFileToPalmCard(&e, deskPath("a.txt").c_str(), ref), 0);
    palm::vfs::fileClose(ref);
    EXPECT_EQ(e.kind, QVDP_KIND_SYNC);
    EXPECT_EQ(e.code, 94);
    EXPECT_EQ(e.syncError, palm::kVfsErrVolumeFull);

    e = cleared();
    fault("vfs.fileSize", palm::kExpErrCardNotPresent);
    ref = openCard("/a.txt", 2);
    EXPECT_EQ(DirectCopyFileFromPalmCard(&e, deskPath("back.txt").c_str(), ref), 0);
    palm::vfs::fileClose(ref);
    EXPECT_EQ(e.code, 92);
    EXPECT_EQ(e.syncError, palm::kExpErrCardNotPresent);

    // A missing desktop file is a file error; the card file is left alone.
    e = cleared();
    ref = openCard("/a.txt", 7);
    EXPECT_EQ(DirectCopyFileToPalmCard(&e, deskPath("missing.txt").c_str(), ref), 0);
    palm::vfs::fileClose(ref);
    EXPECT_EQ(e.kind, QVDP_KIND_FILE);
    EXPECT_EQ(e.code, 61);
    EXPECT_EQ(std::string(e.text), deskPath("missing.txt"));
}

TEST_F(CardTransferTest, CardFileEndingEarlyIsAReadError) {
    writeFile(desk() / "a.txt", "0123456789");
    QVDP_Error e = cleared();
    uint32_t ref = openCard("/a.txt", 31);
    ASSERT_EQ(DirectCopyFileToPalmCard(&e, deskPath("a.txt").c_str(), ref), 1);
    palm::vfs::fileClose(ref);

    ref = openCard("/a.txt", 2);
    ASSERT_EQ(palm::vfs::fileSeek(ref, palm::vfs::kSeekBegin, 4), 0);  // only 6 of 10 bytes left to read
    EXPECT_EQ(DirectCopyFileFromPalmCard(&e, deskPath("back.txt").c_str(), ref), 0);
    palm::vfs::fileClose(ref);
    EXPECT_EQ(e.code, 93);
    EXPECT_EQ(e.syncError, 0);
}

}  // namespace
}  // namespace servicestest
