#include "handheld_lists.h"

#include "QVDPCommon.h"
#include "card_files.h"
#include "card_folders.h"
#include "sync_manager.h"

#include <algorithm>
#include <span>

namespace conduit {

namespace {

// A card list larger than this is not read (about 60000 records).
constexpr uint32_t kMaxCardListSize = 16u << 20;
// The flags of the RAM list database: the backup bit.
constexpr uint32_t kRamListFlags = 8;

std::unique_ptr<HandheldList> newList(const QVDP_DBHeader &header, const std::vector<uint8_t> &blob) {
    auto list = std::make_unique<HandheldList>();
    list->header = header;
    list->blob = blob;
    return list;
}

// Zeroes the id of every item that repeats the id of an item loaded before
// it (in an earlier list, or earlier in its own list).
void clearRepeatedIds(HandheldLists &lists, HandheldList &loaded) {
    auto seenBefore = [&](const HandheldItem &item) {
        for (const auto &list : lists.lists) {
            for (const auto &other : list->items) {
                if (other.get() == &item) return false;
                if (qv::sameDocument(other->record.recordId, item.record.recordId)) return true;
            }
        }
        return false;
    };
    for (auto &item : loaded.items) {
        if (qv::isZeroGuid(item->record.recordId) || !seenBefore(*item)) continue;
        item->record.recordId = {};
        item->dirty = true;
    }
}

std::string ramListName(const ConduitContext &context) { return context.plugin->databaseName; }

// Reads every record of the open RAM list into the list; false on a failed
// read or a record that is not a handheld file record.
bool readRamRecords(palm::sync::DbHandle db, uint16_t count, uint32_t recordSize, HandheldList &list) {
    std::vector<uint8_t> buffer(std::max<uint32_t>(recordSize, qv::kHandheldRecordSizeRam));
    for (uint16_t i = 0; i < count; ++i) {
        palm::sync::RecordInfo info;
        int32_t answer = palm::sync::readRecordByIndex(db, i, buffer.data(), uint32_t(buffer.size()), info);
        if (answer == palm::kSyncErrBufferTooSmall && info.size > buffer.size() && info.size <= 0xFFFF) {
            buffer.resize(info.size);
            answer = palm::sync::readRecordByIndex(db, i, buffer.data(), uint32_t(buffer.size()), info);
        }
        if (answer != 0 || info.size > buffer.size()) return false;
        std::span<const uint8_t> bytes(buffer.data(), info.size);
        auto record = qv::decodeHandheldFileRecord(bytes, qv::HandheldList::Ram);
        if (!record) return false;
        qv::applyPalmRecordAttributes(*record, info.attributes);
        auto item = std::make_unique<HandheldItem>();
        item->list = &list;
        item->record = std::move(*record);
        item->raw.assign(bytes.begin(), bytes.end());
        list.items.push_back(std::move(item));
    }
    return true;
}

// The record bytes of an item: its raw bytes with the known fields encoded
// over them; empty when the item cannot be encoded.
std::vector<uint8_t> encodeItem(const HandheldItem &item, qv::HandheldList kind, uint32_t recordSize) {
    std::vector<uint8_t> bytes = item.raw;
    const std::size_t size = std::max<std::size_t>(recordSize, qv::handheldRecordSize(kind));
    if (kind == qv::HandheldList::Card || bytes.size() < size) bytes.resize(size);
    if (!qv::encodeHandheldFileRecord(item.record, kind, bytes)) return {};
    return bytes;
}

int32_t writeRamRecords(palm::sync::DbHandle db, const HandheldList &list) {
    for (const auto &item : list.items) {
        if (item->record.deleted) continue;
        const std::vector<uint8_t> bytes = encodeItem(*item, qv::HandheldList::Ram, list.header.recordSize);
        if (bytes.empty()) return palm::kSyncErrBadArgument;
        uint32_t newId = 0;
        if (int32_t answer = palm::sync::writeRecord(db, 0, 0, 0, bytes.data(), uint32_t(bytes.size()), newId))
            return answer;
    }
    return 0;
}

// The list as its file holds it: header, blob, every item not deleted.
std::vector<uint8_t> cardListBytes(const HandheldList &list) {
    std::vector<uint8_t> bytes(qv::kDBHeaderSize);
    QVDP_DBHeader header = list.header;
    header.blobSize = uint32_t(list.blob.size());
    qv::encodeCardListHeader(header, std::span<uint8_t, qv::kDBHeaderSize>(bytes.data(), qv::kDBHeaderSize));
    bytes.insert(bytes.end(), list.blob.begin(), list.blob.end());
    for (const auto &item : list.items) {
        if (item->record.deleted) continue;
        const std::vector<uint8_t> record = encodeItem(*item, qv::HandheldList::Card, list.header.recordSize);
        if (record.empty()) return {};
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    return bytes;
}

// Reads a card list file into the list; false when the file is not one.
bool parseCardList(const std::vector<uint8_t> &bytes, uint32_t recordSize, HandheldList &list) {
    const auto header = qv::decodeCardListHeader(bytes, recordSize);
    if (!header || header->recordSize < qv::kHandheldRecordSizeCard) return false;
    const uint64_t start = qv::kDBHeaderSize + uint64_t(header->blobSize);
    if (start > bytes.size()) return false;
    list.header = *header;
    list.blob.assign(bytes.begin() + qv::kDBHeaderSize, bytes.begin() + std::ptrdiff_t(start));
    for (uint64_t at = start; bytes.size() - at >= header->recordSize; at += header->recordSize) {
        std::span<const uint8_t> raw(bytes.data() + at, header->recordSize);
        auto record = qv::decodeHandheldFileRecord(raw, qv::HandheldList::Card);
        if (!record) return false;
        auto item = std::make_unique<HandheldItem>();
        item->list = &list;
        item->record = std::move(*record);
        item->raw.assign(raw.begin(), raw.end());
        list.items.push_back(std::move(item));
    }
    return true;
}

}  // namespace

bool HandheldList::needsWrite() const {
    return readable && std::any_of(items.begin(), items.end(),
                                   [](const auto &item) { return item->dirty || item->record.deleted; });
}

HandheldList *HandheldLists::ramList() const {
    for (const auto &list : lists)
        if (list->isRam()) return list.get();
    return nullptr;
}

uint16_t volumeOf(const HandheldList &list) { return list.card ? list.card->volume : uint16_t(QVDP_RAM_VOLUME); }

std::string joinCardPath(std::string_view folder, std::string_view name) {
    const std::string f(folder), n(name);
    char joined[QVDP_MAX_PATH] = {};
    return QVMakePalmCardPath(joined, f.c_str(), n.c_str()) ? std::string(joined) : std::string();
}

std::string itemPath(const HandheldItem &item) {
    if (item.list->isRam()) return item.record.name;
    return joinCardPath(item.list->cardFolder, item.record.name);
}

bool loadRamList(ConduitContext &context) {
    HandheldLists &lists = context.handheld;
    auto list = newList(lists.ramHeader, lists.ramBlob);
    palm::sync::DbHandle db = 0;
    const int32_t answer = palm::sync::openDatabase(ramListName(context), 0, palm::sync::kModeRead, db);
    if (answer == palm::kSyncErrNotFound) {
        lists.lists.push_back(std::move(list));
        return true;
    }
    if (answer != 0) return false;
    context.ramDatabase = db;
    palm::sync::DbInfo info;
    uint32_t creator = 0;
    context.plugin->entry.getPluginCreatorId(&creator);
    bool ok = palm::sync::readOpenDatabaseInfo(db, info) == 0 && info.creator == creator;
    if (ok) {
        // The largest record stands for the record size when the database tells it.
        const uint32_t recordSize = info.maxRecordSize ? info.maxRecordSize : list->header.recordSize;
        ok = readRamRecords(db, info.recordCount, recordSize, *list);
    }
    palm::sync::closeDatabase(db);
    context.ramDatabase.reset();
    if (!ok) return false;
    HandheldList &loaded = *list;
    lists.lists.push_back(std::move(list));
    clearRepeatedIds(lists, loaded);
    return true;
}

HandheldList *loadFolderList(ConduitContext &context, CardEntry &card, const std::string &folder) {
    const std::string path = joinCardPath(folder, context.plugin->databaseName);
    if (path.empty()) return nullptr;
    std::vector<uint8_t> bytes;
    const int32_t answer = readCardFile(card.volume, path, kMaxCardListSize, bytes);
    if (answer == palm::kVfsErrFileNotFound) return nullptr;
    HandheldLists &lists = context.handheld;
    auto list = newList(lists.cardHeader, lists.cardBlob);
    list->card = &card;
    list->cardFolder = folder;
    list->listPath = path;
    if (answer != 0 || !parseCardList(bytes, lists.cardHeader.recordSize, *list)) {
        list->items.clear();
        list->readable = false;
        list->readError = answer > 0 ? answer : palm::kVfsErrBadData;
    }
    HandheldList &loaded = *list;
    lists.lists.push_back(std::move(list));
    if (loaded.readable) clearRepeatedIds(lists, loaded);
    return &loaded;
}

HandheldList *findFolderList(ConduitContext &context, const CardEntry &card, std::string_view folder) {
    for (const auto &list : context.handheld.lists)
        if (list->card == &card && qv::sameCardFolder(list->cardFolder, folder)) return list.get();
    return nullptr;
}

HandheldList &folderListFor(ConduitContext &context, CardEntry &card, const std::string &folder) {
    addCardFolder(card, folder);
    if (HandheldList *list = findFolderList(context, card, folder)) return *list;
    if (HandheldList *list = loadFolderList(context, card, folder)) return *list;
    HandheldLists &lists = context.handheld;
    auto list = newList(lists.cardHeader, lists.cardBlob);
    list->card = &card;
    list->cardFolder = folder;
    list->listPath = joinCardPath(folder, context.plugin->databaseName);
    HandheldList &created = *list;
    lists.lists.push_back(std::move(list));
    return created;
}

HandheldItem &appendItem(HandheldList &list, const qv::HandheldFileRecord &record) {
    auto item = std::make_unique<HandheldItem>();
    item->list = &list;
    item->record = record;
    item->raw.assign(list.header.recordSize, 0);
    item->dirty = true;
    list.items.push_back(std::move(item));
    return *list.items.back();
}

// One attempt: the list is rewritten in place (created when the handheld
// has none), so a run cut short before the database is closed leaves the
// old list.
int32_t writeRamListOnce(ConduitContext &context, const HandheldList &list) {
    const std::string name = ramListName(context);
    palm::sync::DbHandle db = 0;
    int32_t answer = palm::sync::openDatabase(name, 0, palm::sync::kModeReadWrite, db);
    if (answer == palm::kSyncErrNotFound) {
        uint32_t creator = 0;
        context.plugin->entry.getPluginCreatorId(&creator);
        const uint32_t type = context.plugin->entry.getPluginDbHhType();
        answer = QVCreatePalmDatabase(&db, name.c_str(), creator, type, kRamListFlags, 1);
    }
    if (answer != 0) return answer;
    context.ramDatabase = db;
    answer = palm::sync::removeAllRecords(db);
    if (answer == 0) answer = writeRamRecords(db, list);
    const int32_t closed = palm::sync::closeDatabase(db);
    context.ramDatabase.reset();
    return answer != 0 ? answer : closed;
}

// A write that fails is made once more: a list left half written would
// part handheld files from their desktop entries.
void writeRamList(ConduitContext &context) {
    const HandheldList *list = context.handheld.ramList();
    if (!list || !list->needsWrite()) return;
    for (int attempt = 0; attempt < 2; ++attempt)
        if (writeRamListOnce(context, *list) == 0) return;
}

bool writeFolderList(HandheldList &list) {
    if (!list.card || !list.readable || list.listPath.empty()) return false;
    const std::vector<uint8_t> bytes = cardListBytes(list);
    if (bytes.empty()) return false;
    return replaceCardFile(list.card->volume, list.listPath, bytes).ok();
}

}  // namespace conduit
