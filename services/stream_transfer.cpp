// Desktop files stored in handheld RAM as stream databases: records of an
// 8-byte header ("DBLK", then the count n of data bytes, big-endian) and n
// data bytes, 1 <= n <= 4096, in file order.
#include "QVDPCommon.h"
#include "byte_order.h"
#include "desktop_files_open.h"
#include "desktop_io.h"
#include "error_record.h"
#include "status_codes.h"
#include "sync_manager.h"
#include "text_out.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

using namespace services;

namespace {

constexpr uint32_t kBlockHeader = 8;
constexpr uint32_t kBlockData = 4096;
constexpr uint16_t kStreamFlags = palm::sync::kDbFlagStream | palm::sync::kDbFlagBackup;  // 0x88
// n is read from 16 bits, so no block record is longer than this.
constexpr uint32_t kLongestBlockRecord = kBlockHeader + 0xFFFF;

// Creates the database, replacing one of that name whatever its creator.
int32_t createStreamDatabase(const std::string &name, uint32_t creator, uint32_t type, palm::sync::DbHandle &handle) {
    palm::sync::CreateDbInfo info;
    info.creator = creator;
    info.type = type;
    info.name = name;
    info.flags = kStreamFlags;
    int32_t answer = palm::sync::createDatabase(info, handle);
    if (answer != palm::kSyncErrExists) return answer;
    palm::sync::deleteDatabase(name, 0);
    return palm::sync::createDatabase(info, handle);
}

bool writeBlocks(QVDP_Error *error, int desktopFile, palm::sync::DbHandle handle) {
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kBlockHeader + kBlockData]);
    if (!block) {
        qv::setConduitError(error, qv::kNoMemory);
        return false;
    }
    std::memcpy(block.get(), "DBLK", 4);
    while (true) {
        long n = readFull(desktopFile, block.get() + kBlockHeader, kBlockData);
        if (n < 0) {
            qv::setSystemError(error, qv::kReadFileError, uint32_t(errno));
            return false;
        }
        if (n == 0) return true;
        qv::storeBE32(block.get() + 4, uint32_t(n));
        uint32_t newId = 0;
        int32_t answer = palm::sync::writeRecord(handle, 0, 0, 0, block.get(), kBlockHeader + uint32_t(n), newId);
        if (answer != 0) {
            qv::setSyncError(error, qv::kPalmDbWriteError, answer);
            return false;
        }
    }
}

bool readBlocks(QVDP_Error *error, int desktopFile, palm::sync::DbHandle handle) {
    palm::sync::DbInfo info;
    if (int32_t answer = palm::sync::readOpenDatabaseInfo(handle, info)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    uint32_t bufferSize = std::clamp(info.maxRecordSize, kBlockHeader, kLongestBlockRecord);
    std::unique_ptr<uint8_t[]> record(new (std::nothrow) uint8_t[bufferSize]);
    if (!record) {
        qv::setConduitError(error, qv::kNoMemory);
        return false;
    }
    for (uint32_t index = 0; index < info.recordCount; ++index) {
        palm::sync::RecordInfo recordInfo;
        if (int32_t answer = palm::sync::readRecordByIndex(handle, uint16_t(index), record.get(), bufferSize, recordInfo)) {
            qv::setSyncError(error, qv::kPalmDbIoError, answer);
            return false;
        }
        palm::sync::SyncYieldCycles(1);
        uint32_t recordSize = std::min(recordInfo.size, bufferSize);
        if (recordSize < kBlockHeader) {
            qv::setConduitError(error, qv::kPalmDbReadError);
            return false;
        }
        uint32_t n = qv::loadBE16(record.get() + 6);
        if (n > recordSize - kBlockHeader) {
            // The record is shorter than its header says: damaged.
            qv::setConduitError(error, qv::kPalmDbReadError);
            return false;
        }
        if (int err = writeAll(desktopFile, record.get() + kBlockHeader, n)) {
            qv::setSystemError(error, qv::kWriteFileError, uint32_t(err));
            return false;
        }
    }
    return true;
}

bool readDatabaseName(QVDP_Error *error, const char *name, std::string &result) {
    std::string_view text;
    if (!readText(name, kMaxPalmNameLength, text) || text.empty()) {
        qv::setSyncError(error, qv::kPalmDbIoError, palm::kSyncErrBadArgument);
        return false;
    }
    result.assign(text);
    return true;
}

}  // namespace

QV_EXPORT int32_t StreamCopyToPalmDevice(QVDP_Error *error, int desktopFile, const char *name, uint32_t creator,
                                         uint32_t type) {
    std::string n;
    if (!readDatabaseName(error, name, n)) return 0;
    palm::sync::DbHandle handle = 0;
    if (int32_t answer = createStreamDatabase(n, creator, type, handle)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return 0;
    }
    bool written = writeBlocks(error, desktopFile, handle);
    int32_t closed = palm::sync::closeDatabase(handle);
    if (closed != 0) {
        if (written) qv::setSyncError(error, qv::kPalmDbWriteError, closed);
        written = false;
        // A close that failed may have kept the database open, which would
        // keep it from being deleted; a second close lets it go.
        palm::sync::closeDatabase(handle);
    }
    // No partial database stays behind.
    if (!written) palm::sync::deleteDatabase(n, 0);
    return written ? 1 : 0;
}

QV_EXPORT int32_t StreamCopyFromPalmDevice(QVDP_Error *error, int desktopFile, const char *name) {
    std::string n;
    if (!readDatabaseName(error, name, n)) return 0;
    palm::sync::DbHandle handle = 0;
    if (int32_t answer = palm::sync::openDatabase(n, 0, palm::sync::kModeRead, handle)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return 0;
    }
    bool copied = readBlocks(error, desktopFile, handle);
    palm::sync::closeDatabase(handle);
    return copied ? 1 : 0;
}

QV_EXPORT int32_t StreamCopyFileToPalmDevice(QVDP_Error *error, const char *desktopPath, const char *name,
                                             uint32_t creator, uint32_t type) {
    DesktopFile file(error, desktopPath, DesktopFile::ReadShared);
    return file.ok() ? StreamCopyToPalmDevice(error, file.fd(), name, creator, type) : 0;
}

QV_EXPORT int32_t StreamCopyFileFromPalmDevice(QVDP_Error *error, const char *desktopPath, const char *name) {
    DesktopFile file(error, desktopPath, DesktopFile::CreateOrTruncate);
    return file.ok() ? StreamCopyFromPalmDevice(error, file.fd(), name) : 0;
}
