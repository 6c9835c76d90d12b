// Building blocks of the Word 97 binary format: random access to one
// document stream, the file information block (FIB), plexes of positions
// with data (PLCF), string tables (STTB), property modifiers (sprms) with
// their operand sizes, and the Windows-1252 decoding of 8-bit text.
// Every size and offset taken from a file is checked against what is really
// there before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace conv {

// Results of the Word reader (0 = success); the converter entry points map
// them to the result codes the user sees.
enum WordResult : int {
    kWordOk = 0,
    kWordNotCompound = 3,
    kWordWriteFailed = 4,
    kWordShortRead = 5,
    kWordBadFormat = 6,
    kWordNoMemory = 7,
    kWordEncrypted = 11,
    kWordEndOfText = 14,
};

// Random access to one stream of a Word document.
class WordSource {
public:
    virtual ~WordSource() = default;
    virtual uint64_t size() const = 0;
    // Reads exactly count bytes at offset; false when they are not all there.
    virtual bool readAt(uint64_t offset, void *buffer, size_t count) = 0;

    // Reads a whole range into bytes; false when it is not all there.
    bool readRange(uint64_t offset, uint64_t count, std::vector<uint8_t> &bytes);
    bool readU16(uint64_t offset, uint16_t &v);
    bool readU32(uint64_t offset, uint32_t &v);
};

class MemoryWordSource : public WordSource {
public:
    explicit MemoryWordSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    uint64_t size() const override { return bytes_.size(); }
    bool readAt(uint64_t offset, void *buffer, size_t count) override;

private:
    std::vector<uint8_t> bytes_;
};

// A bounded view of bytes with checked little-endian reads.
struct ByteView {
    const uint8_t *data = nullptr;
    size_t size = 0;

    ByteView() = default;
    ByteView(const uint8_t *d, size_t n) : data(d), size(n) {}
    explicit ByteView(const std::vector<uint8_t> &v) : data(v.data()), size(v.size()) {}

    bool has(size_t offset, size_t count) const { return offset <= size && count <= size - offset; }
    uint8_t u8(size_t offset) const { return has(offset, 1) ? data[offset] : 0; }
    uint16_t u16(size_t offset) const;
    uint32_t u32(size_t offset) const;
    int16_t i16(size_t offset) const { return int16_t(u16(offset)); }
    int32_t i32(size_t offset) const { return int32_t(u32(offset)); }
    ByteView sub(size_t offset, size_t count) const;
};

// The file information block at the start of "WordDocument".
struct WordFib {
    static constexpr uint16_t kWordIdent = 0xA5EC;
    static constexpr uint16_t kFlagEncrypted = 0x0100;
    static constexpr uint16_t kFlagTableStream1 = 0x0200;
    static constexpr size_t kBaseSize = 32;

    uint16_t ident = 0;
    uint16_t nFib = 0;
    uint16_t flags = 0;
    std::vector<uint16_t> shorts;  // fibRgW
    std::vector<uint32_t> longs;   // fibRgLw
    struct FcLcb {
        uint32_t fc = 0;
        uint32_t lcb = 0;
    };
    std::vector<FcLcb> pairs;  // fibRgFcLcb, as many as the file declares

    bool encrypted() const { return (flags & kFlagEncrypted) != 0; }
    bool usesTable1() const { return (flags & kFlagTableStream1) != 0; }
    // Count of main-text characters (fibRgLw index 3).
    uint32_t ccpText() const { return longs.size() > 3 ? longs[3] : 0; }
    // The pair at index, or an empty one past the declared count.
    FcLcb pair(size_t index) const { return index < pairs.size() ? pairs[index] : FcLcb{}; }
};

// Reads the fixed base of the FIB (identification and flags); false when the
// stream is too short for it.
bool readFibBase(WordSource &stream, WordFib &fib);
// Reads the variable part (the 16-bit, 32-bit and fc/lcb arrays) after the
// base; false when their declared sizes run past the stream.
bool readFibArrays(WordSource &stream, WordFib &fib);

// Indices into the FIB's fc/lcb pairs of the tables the reader loads.
enum WordFibIndex : size_t {
    kFibStyleSheetOrig = 0,
    kFibStyleSheet = 1,
    kFibSectionTable = 6,
    kFibCharBinTable = 12,
    kFibParaBinTable = 13,
    kFibFontTable = 15,
    kFibMainFields = 16,
    kFibBookmarkNames = 21,
    kFibBookmarkStarts = 22,
    kFibBookmarkEnds = 23,
    kFibDocProperties = 31,
    kFibAssocStrings = 32,
    kFibPieceTable = 33,
    kFibMainShapes = 40,
    kFibDrawingData = 50,
    kFibListDefinitions = 73,
    kFibListOverrides = 74,
    kFibListBinTable = 86,
};

// A plex: n + 1 ascending positions followed by n data elements of a fixed size.
class Plcf {
public:
    Plcf() = default;
    // Takes the bytes of a plex whose elements are elementSize bytes; false
    // when the byte count fits no whole number of entries.
    bool parse(std::vector<uint8_t> bytes, size_t elementSize);

    size_t count() const { return count_; }
    // Position i, for 0 <= i <= count().
    uint32_t position(size_t i) const { return ByteView(bytes_).u32(i * 4); }
    ByteView element(size_t i) const {
        return ByteView(bytes_).sub((count_ + 1) * 4 + i * elementSize_, elementSize_);
    }
    // Index of the entry whose range [position(i), position(i + 1)) holds
    // value, or count() when none does.
    size_t find(uint32_t value) const;
    // Index of the first entry whose start is >= value.
    size_t lowerBound(uint32_t value) const;

private:
    std::vector<uint8_t> bytes_;
    size_t count_ = 0;
    size_t elementSize_ = 0;
};

// A string table: either 8-bit strings with one-byte lengths, or (extended,
// marked by 0xFFFF) UTF-16 strings with two-byte lengths; each string may be
// followed by extra bytes of a fixed size.
struct Sttb {
    std::vector<std::u16string> strings;
    std::vector<std::vector<uint8_t>> extras;
};
bool parseSttb(ByteView bytes, Sttb &table);

// Operand size of a sprm whose operand starts at operand (available bytes
// left); -1 when the operand does not fit.
int sprmOperandSize(uint16_t sprm, ByteView operand);

// One property modifier of a group of sprms.
struct Sprm {
    uint16_t code = 0;
    ByteView operand;
    uint8_t u8() const { return operand.u8(0); }
    uint16_t u16() const { return operand.u16(0); }
    int16_t i16() const { return operand.i16(0); }
    uint32_t u32() const { return operand.u32(0); }
};

// Walks a group of sprms; stops at the end or at a sprm that does not fit.
class SprmIterator {
public:
    explicit SprmIterator(ByteView bytes) : bytes_(bytes) {}
    bool next(Sprm &sprm);

private:
    ByteView bytes_;
    size_t pos_ = 0;
};

// A Windows-1252 byte as a UTF-16 character.
char16_t cp1252ToUnicode(uint8_t byte);

}  // namespace conv
