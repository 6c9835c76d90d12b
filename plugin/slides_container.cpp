#include "slides_container.h"

#include "QVDPCommon.h"
#include "database_handles.h"
#include "desktop_file.h"
#include "error_record.h"
#include "format_tables.h"
#include "status_codes.h"

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace qvplugin {

namespace {

constexpr int32_t kSlidesFormat = 32;
constexpr size_t kPieceSize = 4096;
// No handheld record is longer; a database that says otherwise is damaged.
constexpr uint32_t kLongestRecord = 0xFFFF;

bool writePieces(QVDP_Error *error, DesktopFile &in, palm::sync::DbHandle handle) {
    std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[kPieceSize]);
    if (!piece) {
        qv::setConduitError(error, qv::kNoMemory);
        return false;
    }
    while (true) {
        const long n = in.read(error, piece.get(), kPieceSize);
        if (n < 0) return false;
        if (n == 0) return true;
        uint32_t id = 0;
        if (int32_t answer = palm::sync::writeRecord(handle, 0, 0, 0, piece.get(), uint32_t(n), id)) {
            qv::setSyncError(error, qv::kPalmDbIoError, answer);
            return false;
        }
        palm::sync::SyncYieldCycles(1);
    }
}

bool readRecords(QVDP_Error *error, palm::sync::DbHandle handle, DesktopFile &out) {
    palm::sync::DbInfo info;
    if (int32_t answer = palm::sync::readOpenDatabaseInfo(handle, info)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    if (info.maxRecordSize > kLongestRecord) {
        qv::setConduitError(error, qv::kPalmDbReadError);
        return false;
    }
    std::vector<uint8_t> record(info.maxRecordSize);
    for (uint32_t index = 0; index < info.recordCount; ++index) {
        palm::sync::RecordInfo recordInfo;
        const int32_t answer = palm::sync::readRecordByIndex(handle, uint16_t(index), record.data(),
                                                             uint32_t(record.size()), recordInfo);
        if (answer == 0 && recordInfo.size > record.size()) {
            qv::setConduitError(error, qv::kPalmDbReadError);
            return false;
        }
        if (answer != 0) {
            qv::setSyncError(error, qv::kPalmDbIoError, answer);
            return false;
        }
        palm::sync::SyncYieldCycles(1);
        if (!out.write(error, record.data(), recordInfo.size)) return false;
    }
    return true;
}

}  // namespace

bool writeSlidesContainer(QVDP_Error *error, const std::string &desktopFile, const std::string &name) {
    DesktopFile in(error, desktopFile, DesktopFile::Read);
    if (!in.ok()) return false;
    const QVDP_Format *row = nullptr;
    QVGetFormat(kSlidesFormat, formatTable(), &row);
    palm::sync::CreateDbInfo info;
    info.name = name;
    info.creator = row ? row->creator : 0;
    info.type = row ? row->type : 0;
    info.flags = palm::sync::kDbFlagBackup;
    DatabaseOutput database;
    if (int32_t answer = database.create(info, true)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    const bool written = writePieces(error, in, database.handle());
    return database.complete(error, written, qv::kPalmDbIoError);
}

bool readSlidesContainer(QVDP_Error *error, const std::string &name, const std::string &desktopFile) {
    DesktopFile out(error, desktopFile, DesktopFile::CreateOrTruncate);
    if (!out.ok()) return false;
    DatabaseInput database;
    if (int32_t answer = database.open(name, palm::sync::kModeRead)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    return readRecords(error, database.handle(), out);
}

}  // namespace qvplugin
