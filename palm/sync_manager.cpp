#include "sync_manager.h"

#include "session.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace palm::sync {

using namespace palm::detail;

namespace {

constexpr size_t kMaxOpenDatabases = 32;
constexpr size_t kRecordEntryCost = 8;   // a record list entry in the stored file

uint8_t toSyncAttributes(uint8_t pdbAttributes) { return uint8_t(pdbAttributes >> 4); }
uint8_t toPdbAttributes(uint8_t syncAttributes, uint8_t category) {
    return uint8_t(((syncAttributes & 0x0F) << 4) | (category & kPdbRecCategoryMask));
}

bool validDatabaseName(const std::string &name) {
    return !name.empty() && name.size() <= kMaxDatabaseNameLength && name.find('\0') == std::string::npos;
}

// Bytes the handheld's RAM holds, counting open databases as they are now.
uint64_t usedRam(Session &s) {
    uint64_t used = s.handheld->usedRam();
    for (const auto &[name, state] : s.databases) used = used - std::min(used, state->storedSize) + state->db.fileSize();
    return used;
}

bool fits(Session &s, uint64_t growth) { return usedRam(s) + growth <= s.handheld->ramSize(); }

DbInfo infoOf(const PalmDatabase &db) {
    DbInfo info;
    info.name = db.name;
    info.creator = db.creator;
    info.type = db.type;
    info.flags = db.attributes;
    info.version = db.version;
    info.creationDate = db.creationDate;
    info.modificationDate = db.modificationDate;
    if (db.isResourceDatabase()) {
        info.recordCount = uint16_t(db.resources.size());
        for (const PdbResource &r : db.resources) info.maxRecordSize = std::max<uint32_t>(info.maxRecordSize, uint32_t(r.data.size()));
    } else {
        info.recordCount = uint16_t(db.records.size());
        for (const PdbRecord &r : db.records) info.maxRecordSize = std::max<uint32_t>(info.maxRecordSize, uint32_t(r.data.size()));
    }
    info.totalBytes = uint32_t(db.fileSize());
    return info;
}

// Loads a database for a handle (shared with other handles of the same name).
int32_t loadForOpen(Session &s, const std::string &name, std::shared_ptr<DbState> &out) {
    if (auto it = s.databases.find(name); it != s.databases.end()) {
        out = it->second;
        return 0;
    }
    std::error_code ec;
    const auto file = s.handheld->databaseFile(name);
    if (!std::filesystem::exists(file, ec)) return kSyncErrNotFound;
    std::string error;
    auto db = s.handheld->loadDatabase(name, error);
    if (!db) {
        setProblem(s, error);
        return kSyncErrDamaged;
    }
    auto state = std::make_shared<DbState>();
    state->storedSize = std::filesystem::file_size(file, ec);
    state->db = std::move(*db);
    s.databases[name] = state;
    out = state;
    return 0;
}

int32_t newHandle(Session &s, std::shared_ptr<DbState> state, uint8_t mode, DbHandle &handle) {
    if (s.dbHandles.size() >= kMaxOpenDatabases) return kSyncErrTooManyOpen;
    for (unsigned h = 1; h <= 255; ++h) {
        if (s.dbHandles.count(uint8_t(h))) continue;
        ++state->openCount;
        s.dbHandles[uint8_t(h)] = {std::move(state), mode};
        handle = uint8_t(h);
        return 0;
    }
    return kSyncErrTooManyOpen;
}

// Looks up an open handle; answers kSyncErrNotOpen when it names nothing.
int32_t lookup(Session &s, DbHandle handle, DbHandleState *&out) {
    auto it = s.dbHandles.find(handle);
    if (it == s.dbHandles.end()) return kSyncErrNotOpen;
    out = &it->second;
    return 0;
}

int32_t lookupWritable(Session &s, DbHandle handle, DbHandleState *&out) {
    if (int32_t e = lookup(s, handle, out)) return e;
    if (!(out->mode & kModeWrite)) return kSyncErrReadOnly;
    return 0;
}

void touch(DbState &state) {
    state.dirty = true;
    state.db.modificationDate = palmTimeNow();
    ++state.db.modificationNumber;
}

int32_t copyRecord(const PdbRecord &r, uint16_t index, void *buffer, uint32_t bufferSize, RecordInfo &info) {
    info.uniqueId = r.uniqueId;
    info.index = index;
    info.attributes = toSyncAttributes(r.attributes);
    info.category = r.attributes & kPdbRecCategoryMask;
    info.size = uint32_t(r.data.size());
    if (r.data.size() > bufferSize || (!buffer && !r.data.empty())) return kSyncErrBufferTooSmall;
    if (!r.data.empty()) std::memcpy(buffer, r.data.data(), r.data.size());
    return 0;
}

int32_t readBlock(const std::optional<std::vector<uint8_t>> &block, void *buffer, uint32_t bufferSize,
                  uint32_t &blockSize) {
    if (!block) {
        blockSize = 0;
        return kSyncErrNotFound;
    }
    blockSize = uint32_t(block->size());
    if (buffer && !block->empty()) std::memcpy(buffer, block->data(), std::min<size_t>(bufferSize, block->size()));
    return 0;
}

int32_t writeBlock(Session &s, DbHandle handle, bool appInfo, const void *bytes, uint32_t size) {
    DbHandleState *h;
    if (int32_t e = lookupWritable(s, handle, h)) return e;
    if (size && !bytes) return kSyncErrBadArgument;
    auto &block = appInfo ? h->db->db.appInfo : h->db->db.sortInfo;
    const uint64_t old = block ? block->size() : 0;
    if (size > old && !fits(s, size - old)) return kSyncErrNotEnoughSpace;
    const auto *p = static_cast<const uint8_t *>(bytes);
    block = std::vector<uint8_t>(p, p + size);
    touch(*h->db);
    return 0;
}

// Common entry: lock, count the call for fault injection, make sure a
// handheld is connected.
#define SYNC_ENTRY(operation)                              \
    Session &s = session();                                \
    Lock lock(s.mutex);                                    \
    if (int32_t fault = checkFault(operation)) return fault; \
    if (!connected(s)) return kSyncErrNoHandheld

}  // namespace

int32_t registerConduit(ConduitHandle &handle) {
    SYNC_ENTRY("sync.registerConduit");
    handle = s.nextConduit++;
    s.conduits.push_back(handle);
    return 0;
}

int32_t unregisterConduit(ConduitHandle handle) {
    SYNC_ENTRY("sync.unregisterConduit");
    auto it = std::find(s.conduits.begin(), s.conduits.end(), handle);
    if (it == s.conduits.end()) return kSyncErrNotRegistered;
    s.conduits.erase(it);
    return 0;
}

int32_t openDatabase(const std::string &name, int card, uint8_t mode, DbHandle &handle) {
    SYNC_ENTRY("sync.openDatabase");
    if (card != 0 || !validDatabaseName(name) || !(mode & (kModeRead | kModeWrite))) return kSyncErrBadArgument;
    std::shared_ptr<DbState> state;
    if (int32_t e = loadForOpen(s, name, state)) return e;
    if ((mode & kModeWrite) && (state->db.attributes & kDbAttrReadOnly)) return kSyncErrReadOnly;
    return newHandle(s, std::move(state), mode, handle);
}

int32_t createDatabase(const CreateDbInfo &info, DbHandle &handle) {
    SYNC_ENTRY("sync.createDatabase");
    if (info.card != 0 || !validDatabaseName(info.name)) return kSyncErrBadArgument;
    std::error_code ec;
    if (s.databases.count(info.name) || std::filesystem::exists(s.handheld->databaseFile(info.name), ec))
        return kSyncErrExists;
    if (s.dbHandles.size() >= kMaxOpenDatabases) return kSyncErrTooManyOpen;
    auto state = std::make_shared<DbState>();
    PalmDatabase &db = state->db;
    db.name = info.name;
    db.attributes = info.flags;
    db.version = info.version;
    db.type = info.type;
    db.creator = info.creator;
    db.creationDate = db.modificationDate = palmTimeNow();
    if (!fits(s, db.fileSize())) return kSyncErrNotEnoughSpace;
    state->dirty = true;
    if (!flushDatabase(s, *state)) return kSyncErrIo;
    s.databases[info.name] = state;
    return newHandle(s, std::move(state), kModeReadWrite, handle);
}

int32_t closeDatabase(DbHandle handle) {
    SYNC_ENTRY("sync.closeDatabase");
    DbHandleState *h;
    if (int32_t e = lookup(s, handle, h)) return e;
    std::shared_ptr<DbState> state = h->db;
    s.dbHandles.erase(handle);
    if (--state->openCount > 0) return 0;
    s.databases.erase(state->db.name);
    return flushDatabase(s, *state) ? 0 : kSyncErrIo;
}

int32_t deleteDatabase(const std::string &name, int card) {
    SYNC_ENTRY("sync.deleteDatabase");
    if (card != 0 || !validDatabaseName(name)) return kSyncErrBadArgument;
    if (s.databases.count(name)) return kSyncErrDatabaseOpen;
    std::error_code ec;
    const auto file = s.handheld->databaseFile(name);
    if (!std::filesystem::exists(file, ec)) return kSyncErrNotFound;
    if (!std::filesystem::remove(file, ec)) {
        setProblem(s, file.string() + ": cannot be deleted (" + ec.message() + ")");
        return kSyncErrIo;
    }
    return 0;
}

int32_t findDatabase(const std::string &name, int card, DbInfo &info) {
    SYNC_ENTRY("sync.findDatabase");
    if (card != 0 || !validDatabaseName(name)) return kSyncErrBadArgument;
    if (auto it = s.databases.find(name); it != s.databases.end()) {
        info = infoOf(it->second->db);
        return 0;
    }
    std::error_code ec;
    if (!std::filesystem::exists(s.handheld->databaseFile(name), ec)) return kSyncErrNotFound;
    std::string error;
    auto db = s.handheld->loadDatabase(name, error);
    if (!db) {
        setProblem(s, error);
        return kSyncErrDamaged;
    }
    info = infoOf(*db);
    return 0;
}

int32_t readOpenDatabaseInfo(DbHandle handle, DbInfo &info) {
    SYNC_ENTRY("sync.readOpenDatabaseInfo");
    DbHandleState *h;
    if (int32_t e = lookup(s, handle, h)) return e;
    info = infoOf(h->db->db);
    return 0;
}

int32_t getRecordCount(DbHandle handle, uint16_t &count) {
    SYNC_ENTRY("sync.getRecordCount");
    DbHandleState *h;
    if (int32_t e = lookup(s, handle, h)) return e;
    count = infoOf(h->db->db).recordCount;
    return 0;
}

int32_t readRecordByIndex(DbHandle handle, uint16_t index, void *buffer, uint32_t bufferSize, RecordInfo &info) {
    SYNC_ENTRY("sync.readRecordByIndex");
    DbHandleState *h;
    if (int32_t e = lookup(s, handle, h)) return e;
    const PalmDatabase &db = h->db->db;
    if (db.isResourceDatabase()) return kSyncErrNotSupported;
    if (index >= db.records.size()) return kSyncErrNotFound;
    return copyRecord(db.records[index], index, buffer, bufferSize, info);
}

int32_t readRecordById(DbHandle handle, uint32_t uniqueId, void *buffer, uint32_t bufferSize, RecordInfo &info) {
    SYNC_ENTRY("sync.readRecordById");
    DbHandleState *h;
    if (int32_t e = lookup(s, handle, h)) return e;
    const PalmDatabase &db = h->db->db;
    if (db.isResourceDatabase()) return kSyncErrNotSupported;
    for (size_t i = 0; i < db.records.size(); ++i)
        if (db.records[i].uniqueId == uniqueId) return copyRecord(db.records[i], uint16_t(i), buffer, bufferSize, info);
    return kSyncErrNotFound;
}

int32_t writeRecord(DbHandle handle, uint32_t recordId, uint8_t attributes, uint8_t category, const void *bytes,
                    uint32_t size, uint32_t &newId) {
    SYNC_ENTRY("sync.writeRecord");
    DbHandleState *h;
    if (int32_t e = lookupWritable(s, handle, h)) return e;
    PalmDatabase &db = h->db->db;
    if (db.isResourceDatabase()) return kSyncErrNotSupported;
    if ((size && !bytes) || category > kPdbRecCategoryMask) return kSyncErrBadArgument;
    const auto *p = static_cast<const uint8_t *>(bytes);
    if (recordId != 0) {
        auto it = std::find_if(db.records.begin(), db.records.end(),
                               [&](const PdbRecord &r) { return r.uniqueId == recordId; });
        if (it == db.records.end()) return kSyncErrNotFound;
        if (size > it->data.size() && !fits(s, size - it->data.size())) return kSyncErrNotEnoughSpace;
        it->attributes = toPdbAttributes(attributes, category);
        it->data.assign(p, p + size);
        newId = recordId;
    } else {
        if (db.records.size() >= 0xFFFF) return kSyncErrNotEnoughSpace;
        if (!fits(s, kRecordEntryCost + size)) return kSyncErrNotEnoughSpace;
        PdbRecord r;
        r.attributes = toPdbAttributes(attributes, category);
        r.uniqueId = db.takeUniqueId();
        r.data.assign(p, p + size);
        newId = r.uniqueId;
        db.records.push_back(std::move(r));
    }
    touch(*h->db);
    return 0;
}

int32_t removeAllRecords(DbHandle handle) {
    SYNC_ENTRY("sync.removeAllRecords");
    DbHandleState *h;
    if (int32_t e = lookupWritable(s, handle, h)) return e;
    if (h->db->db.isResourceDatabase()) return kSyncErrNotSupported;
    h->db->db.records.clear();
    touch(*h->db);
    return 0;
}

int32_t readAppInfoBlock(DbHandle handle, void *buffer, uint32_t bufferSize, uint32_t &blockSize) {
    SYNC_ENTRY("sync.readAppInfoBlock");
    DbHandleState *h;
    if (int32_t e = lookup(s, handle, h)) return e;
    return readBlock(h->db->db.appInfo, buffer, bufferSize, blockSize);
}

int32_t writeAppInfoBlock(DbHandle handle, const void *bytes, uint32_t size) {
    SYNC_ENTRY("sync.writeAppInfoBlock");
    return writeBlock(s, handle, true, bytes, size);
}

int32_t readSortInfoBlock(DbHandle handle, void *buffer, uint32_t bufferSize, uint32_t &blockSize) {
    SYNC_ENTRY("sync.readSortInfoBlock");
    DbHandleState *h;
    if (int32_t e = lookup(s, handle, h)) return e;
    return readBlock(h->db->db.sortInfo, buffer, bufferSize, blockSize);
}

int32_t writeSortInfoBlock(DbHandle handle, const void *bytes, uint32_t size) {
    SYNC_ENTRY("sync.writeSortInfoBlock");
    return writeBlock(s, handle, false, bytes, size);
}

int32_t readSingleCardInfo(int card, CardInfo &info) {
    SYNC_ENTRY("sync.readSingleCardInfo");
    if (card != 0) return kSyncErrNotFound;
    std::memset(&info, 0, sizeof info);
    const uint64_t used = usedRam(s);
    const uint32_t ram = s.handheld->ramSize();
    info.cardNo = 0;
    info.cardVersion = 1;
    info.romSize = 4u * 1024 * 1024;
    info.ramSize = ram;
    info.freeRam = used >= ram ? 0 : uint32_t(ram - used);
    static const char kCardName[] = "Internal";
    static const char kMaker[] = "Papyrine";
    std::memcpy(info.cardName, kCardName, sizeof kCardName);
    std::memcpy(info.manufacturerName, kMaker, sizeof kMaker);
    info.cardNameLength = uint8_t(sizeof kCardName - 1);
    info.manufacturerNameLength = uint8_t(sizeof kMaker - 1);
    std::vector<std::string> problems;
    info.ramDbCount = uint16_t(std::min<size_t>(0xFFFF, s.handheld->databases(problems).size()));
    return 0;
}

int32_t SyncYieldCycles(uint16_t) {
    SYNC_ENTRY("sync.yieldCycles");
    return 0;
}

int32_t addLogLine(const std::string &text) {
    SYNC_ENTRY("sync.addLogLine");
    std::ofstream out(s.handheld->syncLogFile(), std::ios::binary | std::ios::app);
    out << text;
    return out ? 0 : kSyncErrIo;
}

int32_t readAllRecords(DbHandle handle, std::vector<std::pair<RecordInfo, std::vector<uint8_t>>> &records) {
    Session &s = session();
    Lock lock(s.mutex);
    DbHandleState *h;
    if (int32_t e = lookup(s, handle, h)) return e;
    records.clear();
    const PalmDatabase &db = h->db->db;
    for (size_t i = 0; i < db.records.size(); ++i) {
        const PdbRecord &r = db.records[i];
        RecordInfo info{r.uniqueId, uint16_t(i), toSyncAttributes(r.attributes), uint8_t(r.attributes & 0x0F),
                        uint32_t(r.data.size())};
        records.emplace_back(info, r.data);
    }
    return 0;
}

}  // namespace palm::sync
