// The records of the sync databases: the header of a record database file
// (little-endian on the desktop, mixed order in a card list), the desktop
// file record kept per listed document, and the handheld file record kept in
// handheld RAM and in the card lists. Each record is a plain struct in host
// order; encode/decode write and read it field by field at its offsets.
#pragma once

#include "qvdp_types.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qv {

using Guid = std::array<uint8_t, 16>;

bool isZeroGuid(const Guid &id);
// A desktop and a handheld record belong together exactly when their ids are
// equal; an all-zero id belongs to nothing.
bool sameDocument(const Guid &a, const Guid &b);

// ---- Fixed-width text fields ---------------------------------------------

// Writes text and zero-fills the rest of the field; false, with the field
// untouched, when the text and its terminating NUL do not fit or the text
// holds a NUL of its own.
[[nodiscard]] bool storeText(std::span<uint8_t> field, std::string_view text);
// The text up to the first NUL; nullopt when the field holds no NUL.
std::optional<std::string> loadText(std::span<const uint8_t> field);

// ---- Record database header -------------------------------------------------

constexpr size_t kDBHeaderSize = 16;

// A header as every writer makes it: the magic, both format words 1, no blob.
QVDP_DBHeader makeDBHeader(uint32_t recordSize);

// The desktop layout: every field little-endian. Decoding does not judge the
// values; the caller checks magic and sizes.
void encodeDBHeader(const QVDP_DBHeader &h, std::span<uint8_t, kDBHeaderSize> out);
QVDP_DBHeader decodeDBHeader(std::span<const uint8_t, kDBHeaderSize> in);

// The card-list layout: the magic keeps the desktop order (DC 91 2E 6B), the
// format words, record size and blob size are big-endian.
void encodeCardListHeader(const QVDP_DBHeader &h, std::span<uint8_t, kDBHeaderSize> out);
// The header of a card list whose records are recordSize bytes; nullopt when
// the buffer is short, the magic differs or the record size is not the one
// expected (as it is when the size was written in the desktop order).
std::optional<QVDP_DBHeader> decodeCardListHeader(std::span<const uint8_t> in, uint32_t recordSize);

// ---- Desktop file record --------------------------------------------------

constexpr size_t kSyncFileRecordSize = 874;          // written by the conduit
constexpr size_t kSyncFileRecordSizeDesktop = 880;   // written by the desktop program

enum SyncMode : uint32_t {
    kSyncCopyOnly = 0,   // transferred once, then left alone
    kSyncBothWays = 1,   // changes on either side travel at every HotSync
};

enum LocationKind : uint32_t {
    kLocationRam = 0,    // handheld RAM
    kLocationSlot = 1,   // expansion slot, no card identity
    kLocationCard = 2,   // memory card named by its identity
};

enum CreationMark : uint32_t {
    kCreatedByConduit = 3,
    kCreatedByDesktop = 9,
};

constexpr size_t kDesktopTextWidth = 260;

struct SyncFileRecord {
    Guid recordId{};
    double dateAdded = 0;          // days since 30 December 1899, local time
    std::string desktopPath;
    std::string handheldName;
    std::string cardFolder;
    uint32_t pluginId = 0;
    uint32_t desktopCategory = 0;
    uint32_t desktopFormat = 0;
    uint32_t handheldFormat = 0;
    uint32_t handheldSize = 0;
    uint32_t palmCategory = 0;
    int32_t status = 0;            // file status code (status_codes.h)
    uint32_t syncMode = kSyncBothWays;
    uint32_t creationMark = 0;
    uint32_t locationKind = kLocationRam;
    Guid locationId{};             // card identity, or slot number + 12 zero bytes
    uint64_t syncedFileTime = 0;   // FILETIME of the last transfer; 0 = never
    uint32_t handheldStamp = 0;
    uint8_t removed = 0;
    uint8_t handheldFlags = 0;

    bool operator==(const SyncFileRecord &) const = default;
};

// Writes the 874 bytes of the record at the start of out and zeroes the rest
// of out (the six spare bytes of an 880-byte record). False, with out left
// untouched, when out is shorter than 874 bytes or a text does not fit its
// field with its terminating NUL.
[[nodiscard]] bool encodeSyncFileRecord(const SyncFileRecord &r, std::span<uint8_t> out);
// Reads a record of 874 or more bytes (bytes past 874 are ignored). nullopt
// when the buffer is short or a text field has no NUL within its width.
std::optional<SyncFileRecord> decodeSyncFileRecord(std::span<const uint8_t> in);

// Slot number of a record in an expansion slot (kind 1) and its encoding as
// a location id: the number as a little-endian 32-bit integer, then zeros.
Guid slotLocationId(uint32_t slot);
uint32_t slotOfLocationId(const Guid &id);

// ---- Handheld file record -------------------------------------------------

enum class HandheldList { Ram, Card };

constexpr size_t kHandheldRecordSizeRam = 56;
constexpr size_t kHandheldRecordSizeCard = 280;
constexpr size_t kHandheldNameWidthRam = 32;
constexpr size_t kHandheldNameWidthCard = 256;
constexpr uint8_t kHandheldFlagNoAction = 0x01;   // the conduit leaves the file alone
// Palm record attribute that marks a RAM record deleted whatever its own byte says.
constexpr uint8_t kPalmRecordAttrDeleted = 0x08;

size_t handheldRecordSize(HandheldList list);

struct HandheldFileRecord {
    Guid recordId{};
    uint32_t stamp = 0;   // big-endian on the handheld
    uint8_t deleted = 0;
    uint8_t syncMode = kSyncBothWays;
    uint8_t palmCategory = 0;
    uint8_t flags = 0;
    std::string name;     // RAM database name (at most 31) or file name in the folder

    bool operator==(const HandheldFileRecord &) const = default;
};

// Writes exactly handheldRecordSize(list) bytes; false, with out untouched,
// when out is shorter or the name does not fit with its NUL.
[[nodiscard]] bool encodeHandheldFileRecord(const HandheldFileRecord &r, HandheldList list,
                                            std::span<uint8_t> out);
std::optional<HandheldFileRecord> decodeHandheldFileRecord(std::span<const uint8_t> in,
                                                           HandheldList list);
// A RAM record whose Palm record attributes carry the deleted bit is deleted.
void applyPalmRecordAttributes(HandheldFileRecord &r, uint8_t palmAttributes);

// ---- Change detection -----------------------------------------------------

// The desktop file changed when it was written after the last transfer; a
// record never transferred (syncedFileTime 0) is new, not changed.
bool desktopFileChanged(const SyncFileRecord &r, uint64_t lastWriteFileTime);
// The handheld file changed when its stamp passed the one seen at the last transfer.
bool handheldFileChanged(const SyncFileRecord &desktop, const HandheldFileRecord &handheld);
// A copy-only record that was transferred once is never touched again.
bool copyOnlyAndDone(const SyncFileRecord &r);

}  // namespace qv
