#include "sync_records.h"

#include "byte_order.h"

#include <algorithm>
#include <cstring>

namespace qv {

bool isZeroGuid(const Guid &id) {
    return std::all_of(id.begin(), id.end(), [](uint8_t b) { return b == 0; });
}

bool sameDocument(const Guid &a, const Guid &b) { return !isZeroGuid(a) && a == b; }

bool storeText(std::span<uint8_t> field, std::string_view text) {
    if (text.size() >= field.size() || text.find('\0') != std::string_view::npos) return false;
    std::fill(field.begin(), field.end(), uint8_t(0));
    std::memcpy(field.data(), text.data(), text.size());
    return true;
}

std::optional<std::string> loadText(std::span<const uint8_t> field) {
    auto end = std::find(field.begin(), field.end(), uint8_t(0));
    if (end == field.end()) return std::nullopt;
    return std::string(field.begin(), end);
}

namespace {

Guid loadGuid(const uint8_t *p) {
    Guid id;
    std::memcpy(id.data(), p, id.size());
    return id;
}

void storeGuid(uint8_t *p, const Guid &id) { std::memcpy(p, id.data(), id.size()); }

}  // namespace

// ---- Record database header -------------------------------------------------

QVDP_DBHeader makeDBHeader(uint32_t recordSize) {
    return QVDP_DBHeader{QVDP_DB_MAGIC, 1, 1, recordSize, 0};
}

void encodeDBHeader(const QVDP_DBHeader &h, std::span<uint8_t, kDBHeaderSize> out) {
    storeLE32(&out[0], h.magic);
    storeLE16(&out[4], h.formatWord1);
    storeLE16(&out[6], h.formatWord2);
    storeLE32(&out[8], h.recordSize);
    storeLE32(&out[12], h.blobSize);
}

QVDP_DBHeader decodeDBHeader(std::span<const uint8_t, kDBHeaderSize> in) {
    return QVDP_DBHeader{loadLE32(&in[0]), loadLE16(&in[4]), loadLE16(&in[6]), loadLE32(&in[8]),
                         loadLE32(&in[12])};
}

void encodeCardListHeader(const QVDP_DBHeader &h, std::span<uint8_t, kDBHeaderSize> out) {
    storeLE32(&out[0], h.magic);
    storeBE16(&out[4], h.formatWord1);
    storeBE16(&out[6], h.formatWord2);
    storeBE32(&out[8], h.recordSize);
    storeBE32(&out[12], h.blobSize);
}

std::optional<QVDP_DBHeader> decodeCardListHeader(std::span<const uint8_t> in, uint32_t recordSize) {
    if (in.size() < kDBHeaderSize) return std::nullopt;
    const uint8_t *p = in.data();
    QVDP_DBHeader h{loadLE32(p), loadBE16(p + 4), loadBE16(p + 6), loadBE32(p + 8), loadBE32(p + 12)};
    if (h.magic != QVDP_DB_MAGIC || h.recordSize != recordSize) return std::nullopt;
    return h;
}

// ---- Desktop file record --------------------------------------------------

namespace {
namespace desk {
constexpr size_t recordId = 0, dateAdded = 16, desktopPath = 24, handheldName = 284, cardFolder = 544,
                 pluginId = 804, desktopCategory = 808, desktopFormat = 812, handheldFormat = 816,
                 handheldSize = 820, palmCategory = 824, status = 828, syncMode = 832,
                 creationMark = 836, locationKind = 840, locationId = 844, syncedFileTime = 860,
                 handheldStamp = 868, removed = 872, handheldFlags = 873;
static_assert(handheldFlags + 1 == kSyncFileRecordSize);
}  // namespace desk

std::span<uint8_t> textField(uint8_t *record, size_t offset) { return {record + offset, kDesktopTextWidth}; }
std::span<const uint8_t> textField(const uint8_t *record, size_t offset) {
    return {record + offset, kDesktopTextWidth};
}
}  // namespace

bool encodeSyncFileRecord(const SyncFileRecord &r, std::span<uint8_t> out) {
    if (out.size() < kSyncFileRecordSize) return false;
    std::array<uint8_t, kSyncFileRecordSize> b{};
    uint8_t *p = b.data();
    if (!storeText(textField(p, desk::desktopPath), r.desktopPath) ||
        !storeText(textField(p, desk::handheldName), r.handheldName) ||
        !storeText(textField(p, desk::cardFolder), r.cardFolder))
        return false;
    storeGuid(p + desk::recordId, r.recordId);
    storeLEDouble(p + desk::dateAdded, r.dateAdded);
    storeLE32(p + desk::pluginId, r.pluginId);
    storeLE32(p + desk::desktopCategory, r.desktopCategory);
    storeLE32(p + desk::desktopFormat, r.desktopFormat);
    storeLE32(p + desk::handheldFormat, r.handheldFormat);
    storeLE32(p + desk::handheldSize, r.handheldSize);
    storeLE32(p + desk::palmCategory, r.palmCategory);
    storeLE32(p + desk::status, uint32_t(r.status));
    storeLE32(p + desk::syncMode, r.syncMode);
    storeLE32(p + desk::creationMark, r.creationMark);
    storeLE32(p + desk::locationKind, r.locationKind);
    storeGuid(p + desk::locationId, r.locationId);
    storeLE64(p + desk::syncedFileTime, r.syncedFileTime);
    storeLE32(p + desk::handheldStamp, r.handheldStamp);
    p[desk::removed] = r.removed;
    p[desk::handheldFlags] = r.handheldFlags;
    std::copy(b.begin(), b.end(), out.begin());
    std::fill(out.begin() + kSyncFileRecordSize, out.end(), uint8_t(0));
    return true;
}

std::optional<SyncFileRecord> decodeSyncFileRecord(std::span<const uint8_t> in) {
    if (in.size() < kSyncFileRecordSize) return std::nullopt;
    const uint8_t *p = in.data();
    auto desktopPath = loadText(textField(p, desk::desktopPath));
    auto handheldName = loadText(textField(p, desk::handheldName));
    auto cardFolder = loadText(textField(p, desk::cardFolder));
    if (!desktopPath || !handheldName || !cardFolder) return std::nullopt;
    SyncFileRecord r;
    r.recordId = loadGuid(p + desk::recordId);
    r.dateAdded = loadLEDouble(p + desk::dateAdded);
    r.desktopPath = std::move(*desktopPath);
    r.handheldName = std::move(*handheldName);
    r.cardFolder = std::move(*cardFolder);
    r.pluginId = loadLE32(p + desk::pluginId);
    r.desktopCategory = loadLE32(p + desk::desktopCategory);
    r.desktopFormat = loadLE32(p + desk::desktopFormat);
    r.handheldFormat = loadLE32(p + desk::handheldFormat);
    r.handheldSize = loadLE32(p + desk::handheldSize);
    r.palmCategory = loadLE32(p + desk::palmCategory);
    r.status = int32_t(loadLE32(p + desk::status));
    r.syncMode = loadLE32(p + desk::syncMode);
    r.creationMark = loadLE32(p + desk::creationMark);
    r.locationKind = loadLE32(p + desk::locationKind);
    r.locationId = loadGuid(p + desk::locationId);
    r.syncedFileTime = loadLE64(p + desk::syncedFileTime);
    r.handheldStamp = loadLE32(p + desk::handheldStamp);
    r.removed = p[desk::removed];
    r.handheldFlags = p[desk::handheldFlags];
    return r;
}

Guid slotLocationId(uint32_t slot) {
    Guid id{};
    storeLE32(id.data(), slot);
    return id;
}

uint32_t slotOfLocationId(const Guid &id) { return loadLE32(id.data()); }

// ---- Handheld file record -------------------------------------------------

namespace {
namespace hand {
constexpr size_t recordId = 0, stamp = 16, deleted = 20, syncMode = 21, palmCategory = 22, flags = 23,
                 name = 24;
}  // namespace hand

size_t nameWidth(HandheldList list) {
    return list == HandheldList::Ram ? kHandheldNameWidthRam : kHandheldNameWidthCard;
}
}  // namespace

size_t handheldRecordSize(HandheldList list) { return hand::name + nameWidth(list); }

static_assert(hand::name + kHandheldNameWidthRam == kHandheldRecordSizeRam);
static_assert(hand::name + kHandheldNameWidthCard == kHandheldRecordSizeCard);

bool encodeHandheldFileRecord(const HandheldFileRecord &r, HandheldList list, std::span<uint8_t> out) {
    const size_t size = handheldRecordSize(list);
    if (out.size() < size) return false;
    std::array<uint8_t, kHandheldRecordSizeCard> b{};
    uint8_t *p = b.data();
    if (!storeText({p + hand::name, nameWidth(list)}, r.name)) return false;
    storeGuid(p + hand::recordId, r.recordId);
    storeBE32(p + hand::stamp, r.stamp);
    p[hand::deleted] = r.deleted;
    p[hand::syncMode] = r.syncMode;
    p[hand::palmCategory] = r.palmCategory;
    p[hand::flags] = r.flags;
    std::copy(b.begin(), b.begin() + size, out.begin());
    return true;
}

std::optional<HandheldFileRecord> decodeHandheldFileRecord(std::span<const uint8_t> in, HandheldList list) {
    if (in.size() < handheldRecordSize(list)) return std::nullopt;
    const uint8_t *p = in.data();
    auto name = loadText({p + hand::name, nameWidth(list)});
    if (!name) return std::nullopt;
    HandheldFileRecord r;
    r.recordId = loadGuid(p + hand::recordId);
    r.stamp = loadBE32(p + hand::stamp);
    r.deleted = p[hand::deleted];
    r.syncMode = p[hand::syncMode];
    r.palmCategory = p[hand::palmCategory];
    r.flags = p[hand::flags];
    r.name = std::move(*name);
    return r;
}

void applyPalmRecordAttributes(HandheldFileRecord &r, uint8_t palmAttributes) {
    if (palmAttributes & kPalmRecordAttrDeleted) r.deleted = 1;
}

// ---- Change detection -----------------------------------------------------

bool desktopFileChanged(const SyncFileRecord &r, uint64_t lastWriteFileTime) {
    return r.syncedFileTime != 0 && lastWriteFileTime > r.syncedFileTime;
}

bool handheldFileChanged(const SyncFileRecord &desktop, const HandheldFileRecord &handheld) {
    return handheld.stamp > desktop.handheldStamp;
}

bool copyOnlyAndDone(const SyncFileRecord &r) { return r.syncMode == kSyncCopyOnly && r.syncedFileTime != 0; }

}  // namespace qv
