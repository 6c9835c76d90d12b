#include "palm_doc_file.h"

#include "byte_order.h"
#include "database_handles.h"
#include "desktop_file.h"
#include "error_record.h"
#include "palm_header.h"
#include "status_codes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qvplugin {

namespace {

// Offsets of the 78-byte header.
constexpr size_t kAttributesAt = 32;
constexpr size_t kVersionAt = 34;
constexpr size_t kCreationDateAt = 36;
constexpr size_t kModificationDateAt = 40;
constexpr size_t kAppInfoAt = 52;
constexpr size_t kSortInfoAt = 56;
constexpr size_t kTypeAt = 60;
constexpr size_t kCreatorAt = 64;
constexpr size_t kUniqueIdSeedAt = 68;
constexpr size_t kRecordCountAt = 76;

constexpr size_t kEntrySize = 8;
constexpr size_t kListGap = 2;  // two zero bytes after the record list
constexpr uint16_t kResourceDatabase = 0x0001;
// No handheld record or block is longer.
constexpr uint64_t kLongestPiece = 0xFFFF;

// The record attribute byte of a file: four flag bits above the category.
constexpr uint8_t kFileFlagsShift = 4;
constexpr uint8_t kCategoryMask = 0x0F;
constexpr uint8_t kKeptFlags = palm::sync::kRecAttrDirty | palm::sync::kRecAttrSecret;

// A piece of the file: where it starts and how long it is.
struct Extent {
    uint64_t offset = 0;
    uint64_t size = 0;
};

struct PalmFileLayout {
    uint16_t attributes = 0;
    uint16_t version = 0;
    uint32_t type = 0;
    uint32_t creator = 0;
    Extent appInfo;
    Extent sortInfo;
    std::vector<Extent> records;
    std::vector<uint8_t> recordAttributes;
};

void setNotRecognized(QVDP_Error *error) { qv::setConduitError(error, qv::kFormatNotRecognized); }

// Reads the header and the record list and checks that every block and
// record lies inside the file, in order, and fits a handheld record.
bool readLayout(QVDP_Error *error, DesktopFile &file, PalmFileLayout &layout) {
    uint64_t fileSize = 0;
    if (!file.size(error, fileSize)) return false;
    uint8_t header[kPalmHeaderSize];
    bool truncated = false;
    if (!file.readAt(error, 0, header, sizeof header, truncated)) {
        if (truncated) setNotRecognized(error);
        return false;
    }
    layout.attributes = qv::loadBE16(header + kAttributesAt);
    layout.version = qv::loadBE16(header + kVersionAt);
    layout.type = qv::loadBE32(header + kTypeAt);
    layout.creator = qv::loadBE32(header + kCreatorAt);
    const uint64_t appInfoAt = qv::loadBE32(header + kAppInfoAt);
    const uint64_t sortInfoAt = qv::loadBE32(header + kSortInfoAt);
    const size_t count = qv::loadBE16(header + kRecordCountAt);
    const uint64_t listEnd = kPalmHeaderSize + kEntrySize * count;
    if ((layout.attributes & kResourceDatabase) || listEnd > fileSize) {
        setNotRecognized(error);
        return false;
    }
    std::vector<uint8_t> list(kEntrySize * count);
    if (!file.readAt(error, kPalmHeaderSize, list.data(), list.size(), truncated)) {
        if (truncated) setNotRecognized(error);
        return false;
    }

    std::vector<uint64_t> starts(count);
    layout.recordAttributes.resize(count);
    for (size_t i = 0; i < count; ++i) {
        starts[i] = qv::loadBE32(list.data() + kEntrySize * i);
        layout.recordAttributes[i] = list[kEntrySize * i + 4];
    }
    const uint64_t dataStart = count ? starts[0] : fileSize;
    auto valid = [&](const Extent &e) { return e.offset >= listEnd && e.size <= kLongestPiece; };
    bool ok = true;
    if (appInfoAt != 0) {
        const uint64_t end = sortInfoAt != 0 ? sortInfoAt : dataStart;
        ok = ok && appInfoAt <= end;
        layout.appInfo = {appInfoAt, end - std::min(end, appInfoAt)};
        ok = ok && valid(layout.appInfo);
    }
    if (sortInfoAt != 0) {
        ok = ok && sortInfoAt <= dataStart && (appInfoAt == 0 || appInfoAt <= sortInfoAt);
        layout.sortInfo = {sortInfoAt, dataStart - std::min(dataStart, sortInfoAt)};
        ok = ok && valid(layout.sortInfo);
    }
    for (size_t i = 0; ok && i < count; ++i) {
        const uint64_t end = i + 1 < count ? starts[i + 1] : fileSize;
        ok = starts[i] <= end && end <= fileSize;
        layout.records.push_back({starts[i], end - std::min(end, starts[i])});
        ok = ok && valid(layout.records.back());
    }
    if (!ok) setNotRecognized(error);
    return ok;
}

bool readExtent(QVDP_Error *error, DesktopFile &file, const Extent &extent, std::vector<uint8_t> &bytes) {
    bytes.resize(size_t(extent.size));
    bool truncated = false;
    if (extent.size == 0 || file.readAt(error, extent.offset, bytes.data(), bytes.size(), truncated)) return true;
    // The layout was checked against the file's size: a file that shrank
    // meanwhile cannot be read.
    if (truncated) qv::setSystemError(error, qv::kReadFileError, 0);
    return false;
}

bool writeBlocksAndRecords(QVDP_Error *error, DesktopFile &file, const PalmFileLayout &layout,
                           palm::sync::DbHandle handle) {
    std::vector<uint8_t> bytes;
    if (layout.appInfo.size > 0) {
        if (!readExtent(error, file, layout.appInfo, bytes)) return false;
        if (int32_t answer = palm::sync::writeAppInfoBlock(handle, bytes.data(), uint32_t(bytes.size()))) {
            qv::setSyncError(error, qv::kPalmDbIoError, answer);
            return false;
        }
    }
    if (layout.sortInfo.size > 0) {
        if (!readExtent(error, file, layout.sortInfo, bytes)) return false;
        if (int32_t answer = palm::sync::writeSortInfoBlock(handle, bytes.data(), uint32_t(bytes.size()))) {
            qv::setSyncError(error, qv::kPalmDbIoError, answer);
            return false;
        }
    }
    for (size_t i = 0; i < layout.records.size(); ++i) {
        if (!readExtent(error, file, layout.records[i], bytes)) return false;
        const uint8_t stored = layout.recordAttributes[i];
        const uint8_t flags = uint8_t(stored >> kFileFlagsShift) & kKeptFlags;
        uint32_t id = 0;
        if (int32_t answer = palm::sync::writeRecord(handle, 0, flags, stored & kCategoryMask, bytes.data(),
                                                     uint32_t(bytes.size()), id)) {
            qv::setSyncError(error, qv::kPalmDbIoError, answer);
            return false;
        }
    }
    return true;
}

// Opens the database of that name emptied, or creates it from the file's
// header.
bool prepareDatabase(QVDP_Error *error, const std::string &name, const PalmFileLayout &layout,
                     DatabaseOutput &database) {
    int32_t answer = database.openExisting(name);
    if (answer == 0) {
        answer = palm::sync::removeAllRecords(database.handle());
        if (answer == 0) database.markChanged();
    } else if (answer == palm::kSyncErrNotFound) {
        palm::sync::CreateDbInfo info;
        info.name = name;
        info.creator = layout.creator;
        info.type = layout.type;
        info.flags = layout.attributes;
        info.version = layout.version;
        answer = database.create(info, false);
    }
    if (answer != 0) qv::setSyncError(error, qv::kPalmDbIoError, answer);
    return answer == 0;
}

// A handheld block (application or sort info) whole; an empty vector when
// the database has none.
bool readBlock(QVDP_Error *error, palm::sync::DbHandle handle, bool appInfo, std::vector<uint8_t> &block) {
    auto read = appInfo ? palm::sync::readAppInfoBlock : palm::sync::readSortInfoBlock;
    uint32_t size = 0;
    int32_t answer = read(handle, nullptr, 0, size);
    block.clear();
    if (answer == palm::kSyncErrNotFound) return true;
    if (answer == 0 && size > kLongestPiece) {
        qv::setConduitError(error, qv::kPalmDbReadError);
        return false;
    }
    if (answer == 0 && size > 0) {
        block.resize(size);
        uint32_t again = 0;
        answer = read(handle, block.data(), size, again);
        if (answer == 0 && again != size) answer = palm::kSyncErrDamaged;
    }
    if (answer != 0) qv::setSyncError(error, qv::kPalmDbIoError, answer);
    return answer == 0;
}

struct ExportState {
    std::vector<uint8_t> list;  // the record list, filled as records are written
    uint64_t position = 0;      // where the next piece goes
    uint32_t highestId = 0;
};

bool appendPiece(QVDP_Error *error, DesktopFile &out, ExportState &state, const std::vector<uint8_t> &bytes) {
    if (state.position + bytes.size() > UINT32_MAX) {
        qv::setConduitError(error, qv::kPalmDbReadError);
        return false;
    }
    if (!bytes.empty() && !out.writeAt(error, state.position, bytes.data(), bytes.size())) return false;
    state.position += bytes.size();
    return true;
}

bool exportRecords(QVDP_Error *error, palm::sync::DbHandle handle, const palm::sync::DbInfo &info, DesktopFile &out,
                   ExportState &state) {
    if (info.maxRecordSize > kLongestPiece) {
        qv::setConduitError(error, qv::kPalmDbReadError);
        return false;
    }
    std::vector<uint8_t> record(info.maxRecordSize);
    state.list.assign(kEntrySize * info.recordCount, 0);
    for (uint32_t i = 0; i < info.recordCount; ++i) {
        palm::sync::RecordInfo recordInfo;
        record.resize(info.maxRecordSize);
        int32_t answer = palm::sync::readRecordByIndex(handle, uint16_t(i), record.data(), uint32_t(record.size()),
                                                       recordInfo);
        if (answer == 0 && recordInfo.size > record.size()) answer = palm::kSyncErrDamaged;
        if (answer != 0) {
            qv::setSyncError(error, qv::kPalmDbIoError, answer);
            return false;
        }
        record.resize(recordInfo.size);
        uint8_t *entry = state.list.data() + kEntrySize * i;
        qv::storeBE32(entry, uint32_t(state.position));
        entry[4] = uint8_t(((recordInfo.attributes & 0x0F) << kFileFlagsShift) | (recordInfo.category & kCategoryMask));
        entry[5] = uint8_t(recordInfo.uniqueId >> 16);
        entry[6] = uint8_t(recordInfo.uniqueId >> 8);
        entry[7] = uint8_t(recordInfo.uniqueId);
        state.highestId = std::max(state.highestId, recordInfo.uniqueId & 0xFFFFFF);
        if (!appendPiece(error, out, state, record)) return false;
        palm::sync::SyncYieldCycles(1);
    }
    return true;
}

void fillHeader(uint8_t *header, const palm::sync::DbInfo &info, uint32_t appInfoAt, uint32_t sortInfoAt,
                uint32_t seed) {
    std::memset(header, 0, kPalmHeaderSize);
    std::memcpy(header, info.name.data(), std::min(info.name.size(), kPalmNameSize - 1));
    qv::storeBE16(header + kAttributesAt, info.flags);
    qv::storeBE16(header + kVersionAt, info.version);
    qv::storeBE32(header + kCreationDateAt, info.creationDate);
    qv::storeBE32(header + kModificationDateAt, info.modificationDate);
    qv::storeBE32(header + kAppInfoAt, appInfoAt);
    qv::storeBE32(header + kSortInfoAt, sortInfoAt);
    qv::storeBE32(header + kTypeAt, info.type);
    qv::storeBE32(header + kCreatorAt, info.creator);
    qv::storeBE32(header + kUniqueIdSeedAt, seed);
    qv::storeBE16(header + kRecordCountAt, info.recordCount);
}

bool exportDatabase(QVDP_Error *error, palm::sync::DbHandle handle, DesktopFile &out) {
    palm::sync::DbInfo info;
    if (int32_t answer = palm::sync::readOpenDatabaseInfo(handle, info)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    std::vector<uint8_t> appInfo, sortInfo;
    if (!readBlock(error, handle, true, appInfo) || !readBlock(error, handle, false, sortInfo)) return false;
    ExportState state;
    state.position = kPalmHeaderSize + kEntrySize * info.recordCount + kListGap;
    const uint32_t appInfoAt = appInfo.empty() ? 0 : uint32_t(state.position);
    if (!appendPiece(error, out, state, appInfo)) return false;
    const uint32_t sortInfoAt = sortInfo.empty() ? 0 : uint32_t(state.position);
    if (!appendPiece(error, out, state, sortInfo)) return false;
    if (!exportRecords(error, handle, info, out, state)) return false;
    uint8_t header[kPalmHeaderSize];
    fillHeader(header, info, appInfoAt, sortInfoAt, state.highestId);
    const uint8_t gap[kListGap] = {};
    return out.writeAt(error, 0, header, sizeof header) &&
           out.writeAt(error, kPalmHeaderSize, state.list.data(), state.list.size()) &&
           out.writeAt(error, kPalmHeaderSize + state.list.size(), gap, sizeof gap);
}

}  // namespace

bool installPalmDocFile(QVDP_Error *error, const std::string &desktopFile, const std::string &name) {
    DesktopFile file(error, desktopFile, DesktopFile::Read);
    if (!file.ok()) return false;
    PalmFileLayout layout;
    if (!readLayout(error, file, layout)) return false;
    DatabaseOutput database;
    if (!prepareDatabase(error, name, layout, database)) return false;
    const bool written = writeBlocksAndRecords(error, file, layout, database.handle());
    return database.complete(error, written, qv::kPalmDbIoError);
}

bool exportPalmDocFile(QVDP_Error *error, const std::string &name, const std::string &desktopFile) {
    DatabaseInput database;
    if (int32_t answer = database.open(name, palm::sync::kModeRead | palm::sync::kModeShowSecret)) {
        qv::setSyncError(error, qv::kPalmDbIoError, answer);
        return false;
    }
    DesktopFile out(error, desktopFile, DesktopFile::CreateOrTruncate);
    if (!out.ok()) return false;
    return exportDatabase(error, database.handle(), out);
}

}  // namespace qvplugin
