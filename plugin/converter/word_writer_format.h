// Building blocks the Word writer puts together: a little-endian byte
// builder, groups of sprms (property modifiers) for CHPX, PAPX and SEPX, and
// the sprm codes and fixed values the writer uses. Everything is serialised
// field by field; nothing here touches a stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace conv {

// Results of the Word writer (0 = success); the converter entry points turn
// them into the result codes the user sees.
enum WordWriterResult : int {
    kWriterOk = 0,
    kWriterBadInput = 2,     // the Docs file is damaged or its picture data is short
    kWriterWriteFailed = 4,  // a write to the Word document failed
    kWriterNoMemory = 7,
    kWriterProtected = 15,   // the Docs document is protected
    kWriterCancelled = 16,
    kWriterTooComplex = 19,  // a property group does not fit a disk page
};

// Appends little-endian values to a growing byte vector.
class ByteWriter {
public:
    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void i16(int16_t v) { u16(uint16_t(v)); }
    void i32(int32_t v) { u32(uint32_t(v)); }
    void zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void append(const uint8_t *data, size_t count) { bytes_.insert(bytes_.end(), data, data + count); }
    void append(const std::vector<uint8_t> &data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    // UTF-16LE units, without a count or terminator.
    void utf16(const std::u16string &text);
    // Overwrites four bytes written earlier.
    void patchU32(size_t offset, uint32_t v);

    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t> &bytes() const { return bytes_; }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

// Sprm codes the writer emits.
namespace sprm {
// Character properties.
inline constexpr uint16_t kCFFldVanish = 0x0802;
inline constexpr uint16_t kCFData = 0x0806;
inline constexpr uint16_t kCFOle2 = 0x080A;
inline constexpr uint16_t kCFBold = 0x0835;
inline constexpr uint16_t kCFItalic = 0x0836;
inline constexpr uint16_t kCFStrike = 0x0837;
inline constexpr uint16_t kCFSpec = 0x0855;
inline constexpr uint16_t kCFObj = 0x0856;
inline constexpr uint16_t kCHighlight = 0x2A0C;
inline constexpr uint16_t kCKul = 0x2A3E;
inline constexpr uint16_t kCIco = 0x2A42;
inline constexpr uint16_t kCIss = 0x2A48;
inline constexpr uint16_t kCFDStrike = 0x2A53;
inline constexpr uint16_t kCIdctHint = 0x286F;
inline constexpr uint16_t kCHps = 0x4A43;
inline constexpr uint16_t kCRgFtc0 = 0x4A4F;
inline constexpr uint16_t kCRgFtc2 = 0x4A51;
inline constexpr uint16_t kCRgLid0 = 0x486D;
inline constexpr uint16_t kCPicLocation = 0x6A03;
inline constexpr uint16_t kCCv = 0x6870;
// Paragraph properties.
inline constexpr uint16_t kPJc = 0x2403;
inline constexpr uint16_t kPIlvl = 0x260A;
inline constexpr uint16_t kPIlfo = 0x460B;
inline constexpr uint16_t kPDxaRight = 0x840E;
inline constexpr uint16_t kPDxaLeft = 0x840F;
inline constexpr uint16_t kPDxaLeft1 = 0x8411;
inline constexpr uint16_t kPDxaLeftNew = 0x845E;
inline constexpr uint16_t kPDxaLeft1New = 0x8460;
inline constexpr uint16_t kPDyaLine = 0x6412;
inline constexpr uint16_t kPDyaBefore = 0xA413;
inline constexpr uint16_t kPDyaAfter = 0xA414;
inline constexpr uint16_t kPFInTable = 0x2416;
inline constexpr uint16_t kPFTtp = 0x2417;
inline constexpr uint16_t kPFInnerTableCell = 0x244B;
inline constexpr uint16_t kPFInnerTtp = 0x244C;
inline constexpr uint16_t kPItap = 0x6649;
inline constexpr uint16_t kPChgTabsPapx = 0xC615;
// Table properties (carried by the row end paragraph).
inline constexpr uint16_t kTTlp = 0x740A;
inline constexpr uint16_t kTDefTable = 0xD608;
inline constexpr uint16_t kTTableBorders80 = 0xD605;
inline constexpr uint16_t kTDxaGapHalf = 0x9602;
inline constexpr uint16_t kTFAutofit = 0x3615;
// Section properties.
inline constexpr uint16_t kSBkc = 0x3009;
inline constexpr uint16_t kSCcolumns = 0x500B;
inline constexpr uint16_t kSDxaColumns = 0x900C;
inline constexpr uint16_t kSDyaHdrTop = 0xB017;
inline constexpr uint16_t kSDyaHdrBottom = 0xB018;
inline constexpr uint16_t kSLBetween = 0x3019;
inline constexpr uint16_t kSVjc = 0x301A;
inline constexpr uint16_t kSPgnStart = 0x501C;
inline constexpr uint16_t kSBOrientation = 0x301D;
inline constexpr uint16_t kSXaPage = 0xB01F;
inline constexpr uint16_t kSYaPage = 0xB020;
inline constexpr uint16_t kSDxaLeft = 0xB021;
inline constexpr uint16_t kSDxaRight = 0xB022;
inline constexpr uint16_t kSDyaTop = 0x9023;
inline constexpr uint16_t kSDyaBottom = 0x9024;
inline constexpr uint16_t kSDzaGutter = 0xB025;
inline constexpr uint16_t kSDmPaperReq = 0x5026;
}  // namespace sprm

// A group of sprms, each a u16 code followed by its operand.
class SprmList {
public:
    // A sprm whose operand size follows from its code (1, 2, 3 or 4 bytes);
    // the value is cut to that size.
    void add(uint16_t code, uint32_t operand);
    // A sprm with a variable operand, given whole (with its own length
    // prefix, as the sprm defines it).
    void addVariable(uint16_t code, const std::vector<uint8_t> &operand);
    void append(const SprmList &other) { bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end()); }
    void clear() { bytes_.clear(); }

    bool empty() const { return bytes_.empty(); }
    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t> &bytes() const { return bytes_; }
    bool operator==(const SprmList &) const = default;

private:
    std::vector<uint8_t> bytes_;
};

// Operand size of a sprm with a fixed operand (0 for a variable one).
size_t fixedSprmOperandSize(uint16_t code);

// Clamps a length in twips to what a signed or unsigned 16-bit operand holds.
int16_t clampToI16(int64_t value);
uint16_t clampToU16(int64_t value);

// The index (1 to 16) of Word's 16 colours nearest to a colour: the smallest
// sum of the absolute differences of red, green and blue; the first wins a tie.
uint8_t nearestWordColor(uint8_t red, uint8_t green, uint8_t blue);

}  // namespace conv
