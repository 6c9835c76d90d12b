// The byte layout of a compound file: the header fields, the special sector
// numbers of the allocation tables, and the 128-byte directory entry, read and
// written field by field (little-endian) by the compound file storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace conv::cfb {

inline constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// Header field offsets.
inline constexpr size_t kHeaderSize = 512;
inline constexpr size_t kHeaderClassId = 8;
inline constexpr size_t kHeaderMinorVersion = 24;
inline constexpr size_t kHeaderMajorVersion = 26;
inline constexpr size_t kHeaderByteOrder = 28;
inline constexpr size_t kHeaderSectorShift = 30;
inline constexpr size_t kHeaderMiniSectorShift = 32;
inline constexpr size_t kHeaderDirectorySectorCount = 40;
inline constexpr size_t kHeaderFatSectorCount = 44;
inline constexpr size_t kHeaderFirstDirectorySector = 48;
inline constexpr size_t kHeaderTransactionSignature = 52;
inline constexpr size_t kHeaderMiniStreamCutoff = 56;
inline constexpr size_t kHeaderFirstMiniFatSector = 60;
inline constexpr size_t kHeaderMiniFatSectorCount = 64;
inline constexpr size_t kHeaderFirstDifatSector = 68;
inline constexpr size_t kHeaderDifatSectorCount = 72;
inline constexpr size_t kHeaderDifat = 76;
inline constexpr uint32_t kHeaderDifatEntries = 109;

inline constexpr uint16_t kLittleEndianMark = 0xFFFE;
inline constexpr uint16_t kWrittenMinorVersion = 0x003E;
inline constexpr uint16_t kWrittenMajorVersion = 3;
inline constexpr uint16_t kWrittenSectorShift = 9;
inline constexpr uint16_t kWrittenMiniSectorShift = 6;
inline constexpr uint32_t kWrittenMiniStreamCutoff = 4096;

// Sector numbers with a meaning of their own in the FAT and the mini FAT.
inline constexpr uint32_t kMaxRegularSector = 0xFFFFFFFA;
inline constexpr uint32_t kDifatSector = 0xFFFFFFFC;
inline constexpr uint32_t kFatSector = 0xFFFFFFFD;
inline constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr uint32_t kFreeSector = 0xFFFFFFFF;
inline constexpr uint32_t kNoStream = 0xFFFFFFFF;

// Directory entry field offsets.
inline constexpr size_t kEntrySize = 128;
inline constexpr size_t kEntryName = 0;
inline constexpr size_t kEntryNameBytes = 64;
inline constexpr size_t kEntryNameLength = 64;
inline constexpr size_t kEntryType = 66;
inline constexpr size_t kEntryColour = 67;
inline constexpr size_t kEntryLeftSibling = 68;
inline constexpr size_t kEntryRightSibling = 72;
inline constexpr size_t kEntryChild = 76;
inline constexpr size_t kEntryStartSector = 116;
inline constexpr size_t kEntrySize64 = 120;

enum EntryType : uint8_t { kUnusedEntry = 0, kStorageEntry = 1, kStreamEntry = 2, kRootEntry = 5 };
inline constexpr uint8_t kBlack = 1;
// A name holds at most 31 UTF-16 units and its terminating 0.
inline constexpr size_t kMaxNameUnits = 31;

// The fields of a directory entry this storage uses.
struct DirectoryEntry {
    std::u16string name;
    uint8_t type = kUnusedEntry;
    uint8_t colour = kBlack;
    uint32_t left = kNoStream;
    uint32_t right = kNoStream;
    uint32_t child = kNoStream;
    uint32_t startSector = kEndOfChain;
    uint64_t size = 0;
};

// Reads an entry; highSizeBits tells whether the upper half of the size
// counts (older writers left garbage there in 512-byte-sector files).
DirectoryEntry parseEntry(const uint8_t *bytes, bool highSizeBits);
// Writes every field of DirectoryEntry into bytes and leaves the others
// (class id, state bits, times) as they are.
void storeEntry(uint8_t *bytes, const DirectoryEntry &entry);

// Order of names in a storage's child tree: the shorter name is the smaller;
// names of equal length compare unit by unit, without case folding.
int compareNames(std::u16string_view a, std::u16string_view b);

}  // namespace conv::cfb
