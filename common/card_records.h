// The three small files that let the suite recognise memory cards: the
// identity file at the root of every card, the paths file that lists the card
// folders holding a plug-in's file lists, and the cards table that remembers,
// per Palm user, every card seen. Plain structs in host order with field-by-
// field encode/decode (the cards table is little-endian).
#pragma once

#include "sync_records.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// ---- Card identity file ---------------------------------------------------

constexpr char kCardIdentityFileName[] = "/QVCardInfo.db";
constexpr size_t kCardIdentitySize = 16;
constexpr uint32_t kCardIdentityFileAttributes = 2;   // hidden

// The identity is the first 16 bytes of the file; nullopt when it is shorter.
std::optional<Guid> decodeCardIdentity(std::span<const uint8_t> file);

// ---- Paths file -----------------------------------------------------------

constexpr size_t kCardPathRecordSize = 257;
constexpr size_t kCardPathWidth = 256;

struct CardPathRecord {
    uint8_t pathDeleted = 0;   // 0 = valid, anything else = no longer used
    std::string folderPath;    // absolute card folder, "/Documents"

    bool operator==(const CardPathRecord &) const = default;
};

[[nodiscard]] bool encodeCardPathRecord(const CardPathRecord &r, std::span<uint8_t> out);
std::optional<CardPathRecord> decodeCardPathRecord(std::span<const uint8_t> in);

// Two card folders are the same without regard to case or a trailing "/".
bool sameCardFolder(std::string_view a, std::string_view b);

// The folders a paths file lists, in file order: deleted records, records
// whose path is not terminated, repeats of an earlier folder and a trailing
// partial record are left out.
std::vector<std::string> readCardPaths(std::span<const uint8_t> file);
// A paths file holding the folders as valid records, repeats left out;
// nullopt when a folder does not fit its field.
std::optional<std::vector<uint8_t>> writeCardPaths(const std::vector<std::string> &folders);

// ---- Cards table ----------------------------------------------------------

constexpr char kCardsTableFileName[] = "QVDPCardsDB.db";
constexpr size_t kCardsTableRecordSize = 304;
constexpr size_t kCardNameWidth = 256;

enum CardKind : uint32_t {
    kCardInternalMemory = 0,
    kCardSlot = 1,        // only in the desktop program's memory, never stored
    kCardMemoryCard = 2,
};

struct CardsTableRecord {
    uint32_t cardKind = kCardMemoryCard;
    Guid cardId{};                    // zero for the internal memory
    std::string cardName;             // volume label; empty for the internal memory
    uint32_t capacity = 0;
    uint32_t usedBytes = 0;           // internal memory: free bytes after the HotSync
    uint32_t nameChangedOnDesktop = 0;
    double lastSyncDate = 0;          // UTC, days since 30 December 1899
    uint32_t presentAtLastSync = 0;

    bool operator==(const CardsTableRecord &) const = default;
};

// Writes 304 bytes (the last four always zero); false, with out untouched,
// when out is short or the name does not fit.
[[nodiscard]] bool encodeCardsTableRecord(const CardsTableRecord &r, std::span<uint8_t> out);
std::optional<CardsTableRecord> decodeCardsTableRecord(std::span<const uint8_t> in);
// Whole records in a table of this size; a trailing remainder does not count.
inline uint64_t cardsTableRecordCount(uint64_t fileSize) { return fileSize / kCardsTableRecordSize; }

}  // namespace qv
