// The Docs document model: the records of a Tarvoc Docs stream with their
// defaults and valid ranges. A Docs document is a flat, forward-only stream
// of these records and UTF-8 text; there is no document tree. A fresh record
// object holds the default state, and a record in a file carries only what
// differs from it, so a reader always starts from these defaults.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace conv {

// Record types as they appear in the file (the u16 that starts a record).
// Token 0 stands for text.
enum DocsRecordType : uint16_t {
    kDocsText = 0,
    kDocsTextColor = 2,
    kDocsHighlightColor = 3,
    kDocsFormatReset = 4,
    kDocsCharFormat = 5,
    kDocsFieldStart = 6,
    kDocsSectionEnd = 8,
    kDocsParagraphEnd = 9,
    kDocsPageBreak = 10,
    kDocsLineBreak = 11,
    kDocsColumnBreak = 12,
    kDocsSectionStart = 13,
    kDocsParagraphStart = 14,
    kDocsPageSetup = 15,
    kDocsDocInfo = 20,
    kDocsPicture = 22,
    kDocsTableStart = 23,
    kDocsEndOfDocument = 27,
    kDocsContinuation = 28,
    kDocsRowStart = 30,
    kDocsCellStart = 31,
    kDocsTableEnd = 32,
    kDocsFieldEnd = 34,
    kDocsListDefinition = 37,
    kDocsListReference = 38,
    kDocsSpecialChar = 39,
};

// Name of a record type for messages and dumps ("section", "paragraph" ...);
// "unknown" for types this system does not use.
const char *docsRecordName(uint16_t type);

// Lengths are points (1/72 inch). Word keeps twips; these convert between
// the two, rounding a half away from zero.
int32_t twipsToPoints(int32_t twips);
int32_t pointsToTwips(int32_t points);

struct DocsColor {
    uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const DocsColor &) const = default;
};

// The fixed start of every Docs file.
struct DocsHeader {
    static constexpr uint32_t kMagic = 0x4D575156;  // 'MWQV'
    static constexpr uint16_t kPlainLength = 16;
    static constexpr size_t kProtectedBlockLength = 16;

    uint32_t magic = kMagic;
    uint16_t headerLength = kPlainLength;  // a reader continues at this offset
    uint16_t version = 3;
    uint8_t byte8 = 0;
    uint8_t byte9 = 0;
    uint32_t value10 = 0;
    uint8_t byte14 = 12;
    uint8_t byte15 = 0;
    bool hasProtectionBlock = false;
    std::vector<uint8_t> protectionBlock;

    // A 16-byte protection block marks a document whose content is locked.
    bool isProtected() const {
        return hasProtectionBlock && protectionBlock.size() == kProtectedBlockLength;
    }
    bool operator==(const DocsHeader &) const = default;
};

// Page setup (record 15): eleven u16 values by sub-id 1 to 11.
struct DocsPageSetup {
    static constexpr int kCount = 11;
    static constexpr int kPageWidth = 2, kPageHeight = 3, kLeftMargin = 4, kRightMargin = 5,
                         kTopMargin = 6, kBottomMargin = 7, kByteValue = 10, kCodePage = 11;
    static constexpr std::array<uint16_t, kCount> kDefaults = {16, 596, 842, 90, 90, 72, 72, 0, 1, 0, 1252};

    std::array<uint16_t, kCount> values = kDefaults;  // values[subId - 1]

    uint16_t value(int subId) const { return values[size_t(subId - 1)]; }
    void setValue(int subId, uint16_t v) { values[size_t(subId - 1)] = v; }
    bool operator==(const DocsPageSetup &) const = default;
};

// Document information (record 20): six optional strings, sub-ids 1 to 6.
struct DocsDocInfo {
    static constexpr int kCount = 6;
    static constexpr int kTitle = 1, kSubject = 2, kAuthor = 3, kComments = 4;
    static constexpr size_t kMaxChars = 255;
    // A record this long or longer is written without strings.
    static constexpr size_t kMaxRecordLength = 256;

    std::array<std::u16string, kCount> strings;  // strings[subId - 1]

    const std::u16string &string(int subId) const { return strings[size_t(subId - 1)]; }
    void setString(int subId, std::u16string s) { strings[size_t(subId - 1)] = std::move(s); }
    bool operator==(const DocsDocInfo &) const = default;
};

// Section properties (record 13). Lengths in points.
struct DocsSection {
    static constexpr uint16_t kMinPageSize = 72;

    uint8_t columns = 1;
    uint16_t columnSpacing = 0;
    bool lineBetween = false;
    uint16_t pageWidth = 596;
    uint16_t pageHeight = 842;
    uint16_t leftMargin = 90;
    uint16_t rightMargin = 90;
    uint16_t topMargin = 72;
    uint16_t bottomMargin = 72;
    uint16_t gutter = 0;
    bool landscape = false;
    uint16_t headerDistance = 0;
    uint16_t footerDistance = 0;
    uint16_t pageNumberStart = 1;
    bool sectionFlag15 = false;
    uint16_t sectionValue16 = 0;
    uint16_t sectionValue17 = 0;
    uint8_t sectionKind = 0;    // 0 to 4
    uint8_t verticalAlign = 0;  // 0 top, 1 bottom, 2 centre, 3 justified
    uint8_t breakCode = 0;      // 0 continuous, 1 column, 2 page, 3 even, 4 odd
    uint16_t paperCode = 1;

    bool operator==(const DocsSection &) const = default;
};

// Paragraph properties (record 14).
struct DocsParagraph {
    static constexpr int16_t kSingleSpacing = 10001;

    uint8_t paragraphByte2 = 0;
    uint8_t alignment = 0;  // 0 left, 1 right, 2 justified, 3 centred
    int16_t firstLineIndent = 0;
    int16_t leftIndent = 0;
    int16_t rightIndent = 0;
    uint16_t spaceBefore = 0;
    uint16_t spaceAfter = 0;
    uint8_t paragraphByte12 = 0;
    int16_t lineSpacing = kSingleSpacing;
    uint16_t styleIndex = 0;

    // In memory only: whether lineSpacing (rather than paragraphByte12) is
    // stored, and for a paragraph read from a file its record's offset.
    bool useLineSpacing = true;
    int64_t fileOffset = -1;
    bool wasRead = false;

    // Line spacing codes: 10000..10263 multiples of half a line, 1..3168 at
    // least, -3168..-1 exactly that many half-points. Others mean single.
    static bool isValidLineSpacing(int32_t code);
    bool operator==(const DocsParagraph &) const = default;
};

// Line spacing between the Docs code and Word's dyaLine (twips) with its
// "multiple" flag.
int16_t lineSpacingFromWord(int32_t dyaLine, int32_t multipleFlag);
struct WordLineSpacing {
    int32_t dyaLine;
    bool multiple;
};
WordLineSpacing lineSpacingToWord(int16_t code);

// The character format state, changed by records 2 to 5.
struct DocsCharFormat {
    enum Flags : uint8_t {
        kBold = 0x01,
        kItalic = 0x02,
        kStrike = 0x04,
        kDoubleStrike = 0x08,
        kSubscript = 0x10,
        kSuperscript = 0x20,
        kUnderline = 0x40,
    };
    static constexpr const char16_t *kDefaultFont = u"Times New Roman";
    // A font name no real run carries; makes the first run of a paragraph
    // write its whole format.
    static constexpr const char16_t *kSentinelFont = u"Palm OS";

    uint8_t formatFlags = 0;
    uint8_t fontSize = 12;
    std::u16string fontName = kDefaultFont;
    DocsColor textColor{0, 0, 0};
    DocsColor highlightColor{255, 255, 255};  // white: no highlight

    bool operator==(const DocsCharFormat &) const = default;
};

// Field, bookmark or hyperlink start (record 6).
struct DocsFieldStart {
    enum Kind : uint8_t { kBookmark = 0, kHyperlink = 1, kField = 2 };
    static constexpr size_t kMaxInstructionChars = 8192;

    uint8_t kind = kBookmark;
    uint32_t id = 0;
    uint8_t fieldType = 0;         // kField only: Word's field type
    uint32_t pictureLocation = 0;  // kField only
    uint8_t objectFlag = 0;        // kField only
    uint8_t oleObjectFlag = 0;     // kField only
    std::u16string text;           // bookmark name, hyperlink target or instruction

    bool operator==(const DocsFieldStart &) const = default;
};

// End of the innermost open field or of a bookmark (record 34).
struct DocsFieldEnd {
    uint32_t id = 0;
    bool operator==(const DocsFieldEnd &) const = default;
};

// A character with a meaning of its own (record 39).
struct DocsSpecialChar {
    enum Class : uint8_t {
        kOther = 0,
        kFootnoteReference = 4,
        kHyphen = 5,
        kNonBreakingHyphen = 6,
        kOptionalHyphen = 7,
        kFixedSpace = 8,
    };
    uint8_t charClass = kOther;
    uint16_t character = 0;
    uint8_t specialFlag = 0;
    bool operator==(const DocsSpecialChar &) const = default;
};

// Table start (record 23).
struct DocsTable {
    uint8_t serial = 255;
    uint16_t rowCount = 1;
    uint8_t reserved = 0;
    bool operator==(const DocsTable &) const = default;
};

// Row start (record 30).
struct DocsRow {
    uint16_t rowIndex = 0;  // from 0 within its table
    uint8_t cellCount = 1;
    uint16_t leftOffset = 0;  // points
    bool operator==(const DocsRow &) const = default;
};

// Cell start (record 31).
struct DocsCell {
    static constexpr uint16_t kOmittedWidth = 1600;
    uint8_t cellNumber = 0;  // from 1 within its row
    uint16_t width = kOmittedWidth;
    uint8_t reserved = 0;
    bool operator==(const DocsCell &) const = default;
};

// List definition (record 37): nine levels.
struct DocsListDefinition {
    static constexpr int kLevels = 9;
    enum NumberFormat : uint8_t {
        kDecimal = 0,
        kUpperRoman = 1,
        kLowerRoman = 2,
        kUpperLetter = 3,
        kLowerLetter = 4,
        kOrdinal = 5,
        kCardinalText = 6,
        kOrdinalText = 7,
        kDecimalLeadingZero = 22,
        kBullet = 23,        // U+F0B7 of "Symbol"
        kBulletO = 24,       // "o" of "Symbol"
        kSquareBullet = 25,  // U+F0A7 of "Wingdings"
        kNoNumber = 255,
    };

    uint32_t listId = 0;
    uint8_t multilevel = 0;
    std::array<uint8_t, kLevels> formats{};
    std::array<uint16_t, kLevels> startValues = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    bool operator==(const DocsListDefinition &) const = default;
};

// The list a paragraph belongs to (record 38).
struct DocsListReference {
    static constexpr uint32_t kNoList = 0xFFFFFFFF;
    static constexpr uint8_t kNoLevel = 255;
    uint32_t listId = kNoList;
    uint8_t level = kNoLevel;  // from 0
    bool operator==(const DocsListReference &) const = default;
};

// Picture (record 22); its data follows the record.
struct DocsPicture {
    enum Format : uint8_t {
        kHandheldBitmap = 0,
        kJpeg = 1,
        kWindowsBitmap = 2,
        kPng = 3,
        kWordPicture = 4,
    };
    uint8_t depth = 8;
    uint8_t version = 1;
    uint32_t dataSize = 0;
    uint16_t pixelWidth = 0;
    uint16_t pixelHeight = 0;
    uint16_t displayWidth = 0;   // twips
    uint16_t displayHeight = 0;  // twips
    uint8_t nibbles = 0;
    uint8_t format = kHandheldBitmap;
    bool hasFormat = true;  // false for the record of an unsupported picture
    uint8_t reserved = 0;
    uint16_t horizontalScale = 100;
    uint16_t verticalScale = 100;

    // The record written for a picture of a kind the handheld cannot show.
    static DocsPicture unsupported();
    bool operator==(const DocsPicture &) const = default;
};

}  // namespace conv
