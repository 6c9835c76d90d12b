#include "docs_container.h"

#include "QVDPCommon.h"
#include "byte_order.h"
#include "database_handles.h"
#include "desktop_file.h"
#include "error_record.h"
#include "format_tables.h"
#include "status_codes.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace qvplugin {

namespace {

constexpr int32_t kDocsFormat = 6;
constexpr size_t kAppInfoSize = 6;
constexpr uint16_t kAppInfoMark = 12;
constexpr uint32_t kMaxRecords = 0xFFFF;
constexpr size_t kMaxNameLength = 31;

void setDamaged(QVDP_Error *error) { qv::setConduitError(error, qv::kPalmDbReadError); }

bool writePieces(QVDP_Error *error, DesktopFile &in, palm::sync::DbHandle handle, std::vector<uint32_t> &ids) {
    std::vector<uint8_t> piece(kDocsRecordSize);
    while (true) {
        const long n = in.read(error, piece.data(), piece.size());
        if (n < 0) return false;
        if (n == 0) return true;
        uint32_t id = 0;
        if (int32_t answer = palm::sync::writeRecord(handle, 0, 0, 0, piece.data(), uint32_t(n), id)) {
            qv::setSyncError(error, qv::kPalmDbWriteError, answer);
            return false;
        }
        ids.push_back(id);
    }
}

bool writeContainer(QVDP_Error *error, DesktopFile &in, palm::sync::DbHandle handle) {
    uint64_t length = 0;
    if (!in.size(error, length)) return false;
    if (length > UINT32_MAX) {
        qv::setConduitError(error, qv::kNotEnoughPalmMemory);
        return false;
    }
    uint8_t appInfo[kAppInfoSize];
    qv::storeBE16(appInfo, kAppInfoMark);
    qv::storeBE32(appInfo + 2, uint32_t(length));
    if (int32_t answer = palm::sync::writeAppInfoBlock(handle, appInfo, sizeof appInfo)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    std::vector<uint32_t> ids;
    ids.reserve(size_t((length + kDocsRecordSize - 1) / kDocsRecordSize));
    if (!writePieces(error, in, handle, ids)) return false;
    std::vector<uint8_t> sortInfo(ids.size() * 4);
    for (size_t i = 0; i < ids.size(); ++i) qv::storeBE32(sortInfo.data() + 4 * i, ids[i]);
    if (int32_t answer = palm::sync::writeSortInfoBlock(handle, sortInfo.data(), uint32_t(sortInfo.size()))) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    return true;
}

// The record ids the sort info block lists in file order; `present` is
// false when the database has none. false after filling the error record:
// a block that cannot be read, or one whose size cannot be a list of ids.
bool readSortInfo(QVDP_Error *error, palm::sync::DbHandle handle, std::vector<uint32_t> &ids, bool &present) {
    uint8_t first[4];
    uint32_t size = 0;
    int32_t answer = palm::sync::readSortInfoBlock(handle, first, sizeof first, size);
    present = answer != palm::kSyncErrNotFound;
    if (!present) return true;
    if (answer == 0 && (size % 4 != 0 || size / 4 > kMaxRecords)) {
        setDamaged(error);
        return false;
    }
    std::vector<uint8_t> block(size);
    uint32_t again = size;
    if (answer == 0 && size > 0) answer = palm::sync::readSortInfoBlock(handle, block.data(), size, again);
    if (answer == 0 && again != size) answer = palm::kSyncErrDamaged;
    if (answer != 0) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    ids.resize(size / 4);
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = qv::loadBE32(block.data() + 4 * i);
    return true;
}

// Every record listed exactly once: as many ids as records, none twice.
bool listsEveryRecordOnce(const std::vector<uint32_t> &ids, uint16_t recordCount) {
    if (ids.size() != recordCount) return false;
    std::unordered_set<uint32_t> seen;
    for (uint32_t id : ids)
        if (!seen.insert(id).second) return false;
    return true;
}

bool readContainer(QVDP_Error *error, palm::sync::DbHandle handle, DesktopFile &out) {
    std::vector<uint32_t> ids;
    bool sorted = false;
    if (!readSortInfo(error, handle, ids, sorted)) return false;
    uint8_t appInfo[kAppInfoSize];
    uint32_t appInfoSize = 0;
    if (int32_t answer = palm::sync::readAppInfoBlock(handle, appInfo, sizeof appInfo, appInfoSize)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    uint16_t count = 0;
    if (int32_t answer = palm::sync::getRecordCount(handle, count)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    if (sorted && !listsEveryRecordOnce(ids, count)) {
        setDamaged(error);
        return false;
    }
    std::vector<uint8_t> piece(kDocsRecordSize);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t id = sorted ? ids[i] : i + 1;
        palm::sync::RecordInfo info;
        const int32_t answer = palm::sync::readRecordById(handle, id, piece.data(), uint32_t(piece.size()), info);
        if (answer == palm::kSyncErrBufferTooSmall || info.size > piece.size()) {
            setDamaged(error);
            return false;
        }
        if (answer != 0) {
            qv::setSyncError(error, qv::kIoError, answer);
            return false;
        }
        if (!out.write(error, piece.data(), info.size)) return false;
    }
    return true;
}

}  // namespace

std::string handheldName(const std::string &name) { return name.substr(0, kMaxNameLength); }

bool writeDocsContainer(QVDP_Error *error, const std::string &desktopFile, const std::string &name) {
    DesktopFile in(error, desktopFile, DesktopFile::Read);
    if (!in.ok()) return false;
    const QVDP_Format *row = nullptr;
    QVGetFormat(kDocsFormat, formatTable(), &row);
    palm::sync::CreateDbInfo info;
    info.name = handheldName(name);
    info.creator = row ? row->creator : 0;
    info.type = row ? row->type : 0;
    DatabaseOutput database;
    if (int32_t answer = database.create(info, true)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    const bool written = writeContainer(error, in, database.handle());
    return database.complete(error, written, qv::kPalmDbWriteError);
}

bool readDocsContainer(QVDP_Error *error, const std::string &name, const std::string &desktopFile) {
    DesktopFile out(error, desktopFile, DesktopFile::CreateOrTruncate);
    if (!out.ok()) return false;
    DatabaseInput database;
    if (int32_t answer = database.open(handheldName(name), palm::sync::kModeRead | palm::sync::kModeShowSecret)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    return readContainer(error, database.handle(), out);
}

}  // namespace qvplugin
