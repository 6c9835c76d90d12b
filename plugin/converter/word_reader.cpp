#include "word_reader.h"

#include "word_pictures.h"
#include "word_tables.h"
#include "word_text.h"

#include <algorithm>
#include <array>
#include <optional>

namespace conv {

uint32_t nextDocsFieldId() {
    static uint32_t next = 1;
    return next++;
}

uint8_t nextDocsTableSerial() {
    static uint8_t next = 1;
    return next++;
}

namespace {

constexpr size_t kMaxFieldDepth = 30;
constexpr size_t kMaxFieldCode = 8192;
constexpr int64_t kMaxMovedBytes = 65535;
constexpr size_t kTextFlush = 1024;
constexpr int32_t kMaxTableDepth = 64;
constexpr int kMaxStyleDepth = 4;
constexpr uint16_t kCellWidthPlaceholder = 54;
constexpr uint32_t kNoSepx = 0xFFFFFFFF;
constexpr uint8_t kHyperlinkField = 88;
constexpr uint32_t kNoMark = UINT32_MAX;
constexpr size_t kMaxSkippedPieces = 1024;

// Word's 16 colours by index 1 to 16.
constexpr std::array<DocsColor, 17> kWordColours = {{
    {0, 0, 0},       {0, 0, 0},       {0, 0, 255},     {0, 255, 255},   {0, 255, 0},     {255, 0, 255},
    {255, 0, 0},     {255, 255, 0},   {255, 255, 255}, {0, 0, 128},     {0, 128, 128},   {0, 128, 0},
    {128, 0, 128},   {128, 0, 0},     {128, 128, 0},   {128, 128, 128}, {192, 192, 192},
}};

int sprmGroup(uint16_t code) { return (code >> 10) & 7; }
enum SprmGroup { kParagraphSprm = 1, kCharacterSprm = 2, kSectionSprm = 4, kTableSprm = 5 };

uint16_t pointsU16(int32_t twips) { return uint16_t(std::clamp(twipsToPoints(twips), 0, 0xFFFF)); }
int16_t pointsI16(int32_t twips) { return int16_t(std::clamp(twipsToPoints(twips), -32768, 32767)); }

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Class of a character that the handheld treats on its own (0: none).
uint8_t specialClass(char16_t c) {
    switch (c) {
    case 2: return DocsSpecialChar::kFootnoteReference;
    case u'-': return DocsSpecialChar::kHyphen;
    case 30: return DocsSpecialChar::kNonBreakingHyphen;
    case 31: return DocsSpecialChar::kOptionalHyphen;
    case 0xA0:
    case 0x2002:
    case 0x2003:
    case 0x2005: return DocsSpecialChar::kFixedSpace;
    default: return DocsSpecialChar::kOther;
    }
}

// Docs code of a Word number format, judged with the level's number text.
uint8_t docsNumberFormat(uint8_t nfc, const std::u16string &text) {
    if (nfc <= 7 || nfc == 22 || nfc == 255) return nfc;
    bool hasO = text.find(u'o') != std::u16string::npos;
    bool hasSquare = text.find(char16_t(0xF0A7)) != std::u16string::npos;
    if (hasO) return DocsListDefinition::kBulletO;
    if (hasSquare) return DocsListDefinition::kSquareBullet;
    if (nfc == 23) return DocsListDefinition::kBullet;
    bool hasPlaceholder = std::any_of(text.begin(), text.end(), [](char16_t c) { return c < 10; });
    return hasPlaceholder ? DocsListDefinition::kDecimal : DocsListDefinition::kBullet;
}

}  // namespace

// The address of a HYPERLINK field from its code, with "#" and the location
// appended when the code has a location switch.
std::u16string hyperlinkTarget(const std::u16string &code) {
    size_t i = 0, n = code.size();
    while (i < n && (isBlank(code[i]) || code[i] == 19)) ++i;
    while (i < n && !isBlank(code[i])) ++i;  // the field name
    while (i < n && isBlank(code[i])) ++i;
    std::u16string target;
    if (i < n && code[i] != u'\\') {
        if (code[i] == u'"') {
            size_t close = code.find(u'"', i + 1);
            size_t stop = close == std::u16string::npos ? n : close;
            target = code.substr(i + 1, stop - i - 1);
            i = stop == n ? n : stop + 1;
        } else {
            size_t start = i;
            while (i < n && !isBlank(code[i])) ++i;
            target = code.substr(start, i - start);
        }
    }
    for (; i + 1 < n; ++i) {
        if (code[i] != u'\\' || (code[i + 1] != u'l' && code[i + 1] != u'L')) continue;
        size_t j = i + 2;
        while (j < n && isBlank(code[j])) ++j;
        if (j < n && code[j] == u'"') {
            size_t close = code.find(u'"', j + 1);
            size_t stop = close == std::u16string::npos ? n : close;
            target += u'#';
            target += code.substr(j + 1, stop - j - 1);
        }
        break;
    }
    return target;
}

namespace {

// What Word says about the current paragraph's place in a table.
struct ParagraphTableProps {
    bool inTable = false;
    bool rowEnd = false;
    bool innerCell = false;
    bool innerRowEnd = false;
    bool hasDepth = false;
    int32_t depth = 0;
    bool hasRowDef = false;
    int16_t rowLeft = 0;
    std::vector<uint16_t> cellWidths;

    bool isRowEnd() const { return rowEnd || innerRowEnd; }
};

struct OpenTable {
    int32_t level = 1;
    uint16_t rows = 0;           // rows finished
    size_t cells = 0;            // cells written in the current row
    bool awaitingRow = false;    // the last row ended; the next paragraph starts a row
    bool cellEndPending = false;
    bool rowEnded = false;       // a row end paragraph came; filled in at the next paragraph
    int16_t rowLeft = 0;
    std::vector<uint16_t> cellWidths;
    int64_t rowCountOffset = -1;
    DocsRowPlaceholders row;
    std::vector<int64_t> cellWidthOffsets;
};

struct OpenField {
    bool inResult = false;
    bool nestedInCode = false;
    bool started = false;
    uint8_t type = 0;
};

class WordToDocs {
public:
    WordToDocs(const WordStreams &streams, DocsStream &out)
        : streams_(streams), out_(out), text_(*streams.wordDocument) {}
    int run();

private:
    // Preparation.
    int prepare();
    int loadBytes(size_t index, std::vector<uint8_t> &bytes);
    int loadTables();

    // Document level.
    int writeDocumentStart();
    int writeListDefinitions();
    int walk();
    int step(uint32_t cp, size_t pieceIndex, char16_t c);
    int finishDocument();

    // Sections.
    std::optional<size_t> sectionAt(uint32_t cp);
    bool sectionBoundaryAt(uint32_t cp) const;
    int startSection(std::optional<size_t> index);
    int endSection();

    // Paragraphs and tables.
    int startParagraph(uint32_t cp, size_t pieceIndex);
    int finishParagraph(uint32_t here, char16_t mark);
    int arrangeTables();
    int settleCell(OpenTable &t);
    int startRow(OpenTable &t);
    int writeCell(OpenTable &t);
    int pushTable();
    int finishRow(OpenTable &t);
    int endTable();
    int endAllTables();

    // Runs.
    int startRun(uint32_t fc, const WordPiece &piece);

    // Sprms.
    int applyParagraphSprms(ByteView sprms, int depth);
    int applyParagraphSprm(const Sprm &s, int depth);
    int applyCharacterSprms(ByteView sprms, int depth, bool skipStyle);
    int applyCharacterSprm(const Sprm &s, int depth);
    int applyCharacterStyle(uint16_t istd, int depth);
    void applySectionSprm(const Sprm &s);

    // Characters.
    int character(uint32_t cp, char16_t c);
    int fieldMark(uint32_t cp, char16_t c);
    bool inFieldCode() const;
    int writeFieldStart(OpenField &field);
    int moveBreakInFront(uint16_t breakType);
    int splitParagraphAtBreak(uint16_t breakType);
    int flushBookmarks(uint32_t startsBefore, uint32_t endsUpTo);
    int writeSpecial(char16_t c, uint8_t cls, uint8_t flag);

    // Output.
    int flushText();
    int check(int32_t docsCode) { return docsFailed(docsCode) ? kWordWriteFailed : kWordOk; }
    template <class F>
    int emit(F write) {
        if (int r = flushText()) return r;
        return check(write());
    }

    WordStreams streams_;
    DocsStream &out_;
    WordSource *document_ = nullptr;
    WordSource *table_ = nullptr;

    // Loaded tables.
    WordFib fib_;
    WordStyleSheet styles_;
    Plcf sections_;
    std::optional<WordRunTable> characterRuns_;
    std::optional<WordRunTable> paragraphRuns_;
    std::vector<std::u16string> fonts_;
    WordFieldTable fields_;
    WordBookmarks bookmarks_;
    Sttb assoc_;
    WordPieceTable pieces_;
    WordShapeAnchors shapes_;
    WordLists lists_;
    std::optional<WordFloatingPictures> floating_;
    WordTextReader text_;
    uint32_t textEnd_ = 0;

    // Sections.
    size_t nextSection_ = 0;
    bool sectionOpen_ = false;
    DocsSection section_;

    // Paragraph.
    bool paragraphOpen_ = false;
    DocsParagraph paragraph_;
    DocsListReference listReference_;
    ParagraphTableProps tableProps_;
    uint32_t paragraphMarkCp_ = 0;
    uint32_t unlistedUpTo_ = 0;  // pieces before this position are listed in no page
    int64_t paragraphStartOffset_ = -1;
    int paragraphsSinceBreak_ = 0;

    // Runs.
    bool needRun_ = true;
    const WordPiece *runPiece_ = nullptr;
    WordRun run_;
    WordRun scratchRun_;
    DocsCharFormat format_;
    DocsCharFormatWriter formatWriter_;
    bool colourFromRgb_ = false;
    bool fontFromSymbol_ = false;
    std::optional<char16_t> pendingSymbol_;
    bool specialFlag_ = false;
    bool objectFlag_ = false;
    bool oleObjectFlag_ = false;
    uint32_t pictureLocation_ = 0;
    bool pictureLocationSet_ = false;

    // Tables, fields, bookmarks.
    std::vector<OpenTable> tables_;
    std::vector<OpenField> openFields_;
    size_t ignoredFields_ = 0;
    std::u16string fieldCode_;
    std::vector<uint32_t> fieldIds_;
    size_t nextBookmarkStart_ = 0;
    size_t nextBookmarkEnd_ = 0;
    std::vector<uint32_t> bookmarkIds_;
    std::vector<size_t> bookmarkOfEnd_;

    std::u16string pendingText_;
};

// ---------------------------------------------------------------- preparation

int WordToDocs::loadBytes(size_t index, std::vector<uint8_t> &bytes) {
    WordFib::FcLcb pair = fib_.pair(index);
    bytes.clear();
    if (pair.lcb == 0) return kWordOk;
    return table_->readRange(pair.fc, pair.lcb, bytes) ? kWordOk : kWordShortRead;
}

int WordToDocs::prepare() {
    document_ = streams_.wordDocument;
    if (!document_) return kWordBadFormat;
    if (!readFibBase(*document_, fib_)) return kWordBadFormat;
    table_ = fib_.usesTable1() ? streams_.table1 : streams_.table0;
    if (!table_) table_ = fib_.usesTable1() ? streams_.table0 : streams_.table1;
    if (!table_) return kWordBadFormat;
    if (fib_.encrypted()) return kWordEncrypted;
    if (!readFibArrays(*document_, fib_)) return kWordBadFormat;
    if (int r = loadTables()) return r;
    textEnd_ = fib_.ccpText();
    return kWordOk;
}

int WordToDocs::loadTables() {
    std::vector<uint8_t> bytes;
    // The style sheet is taken from its current place; the pair before it
    // names where a fast save first put it and may be stale or empty.
    if (int r = loadBytes(kFibStyleSheet, bytes)) return r;
    if (!styles_.parse(ByteView(bytes))) return kWordBadFormat;

    if (int r = loadBytes(kFibSectionTable, bytes)) return r;
    if (!sections_.parse(std::move(bytes), 12)) return kWordBadFormat;

    characterRuns_.emplace(*document_, WordRunTable::kCharacter);
    if (int r = loadBytes(kFibCharBinTable, bytes)) return r;
    if (!characterRuns_->parse(std::move(bytes))) return kWordBadFormat;

    paragraphRuns_.emplace(*document_, WordRunTable::kParagraph);
    if (int r = loadBytes(kFibParaBinTable, bytes)) return r;
    if (!paragraphRuns_->parse(std::move(bytes))) return kWordBadFormat;

    if (int r = loadBytes(kFibFontTable, bytes)) return r;
    if (!parseFontTable(ByteView(bytes), fonts_)) return kWordBadFormat;

    if (int r = loadBytes(kFibMainFields, bytes)) return r;
    if (!fields_.parse(std::move(bytes))) return kWordBadFormat;

    std::vector<uint8_t> names, starts, ends;
    if (int r = loadBytes(kFibBookmarkNames, names)) return r;
    if (int r = loadBytes(kFibBookmarkStarts, starts)) return r;
    if (int r = loadBytes(kFibBookmarkEnds, ends)) return r;
    if (!bookmarks_.parse(ByteView(names), std::move(starts), std::move(ends))) return kWordBadFormat;

    if (int r = loadBytes(kFibDocProperties, bytes)) return r;  // read, not used

    if (int r = loadBytes(kFibAssocStrings, bytes)) return r;
    if (!parseSttb(ByteView(bytes), assoc_)) return kWordBadFormat;

    if (int r = loadBytes(kFibPieceTable, bytes)) return r;
    if (!pieces_.parse(ByteView(bytes))) return kWordBadFormat;

    if (int r = loadBytes(kFibMainShapes, bytes)) return r;
    if (!shapes_.parse(std::move(bytes))) return kWordBadFormat;

    WordFib::FcLcb listPair = fib_.pair(kFibListDefinitions);
    if (listPair.lcb != 0 && uint64_t(listPair.fc) + listPair.lcb > table_->size()) return kWordShortRead;
    if (!lists_.parseLists(*table_, listPair.fc, listPair.lcb)) return kWordBadFormat;
    if (int r = loadBytes(kFibListOverrides, bytes)) return r;
    if (!lists_.parseOverrides(ByteView(bytes))) return kWordBadFormat;

    floating_.emplace(*table_, fib_.pair(kFibDrawingData), *document_);

    // Bookmarks: which start each end belongs to.
    bookmarkIds_.assign(bookmarks_.count(), 0);
    bookmarkOfEnd_.assign(bookmarks_.ends.count(), SIZE_MAX);
    for (size_t i = 0; i < bookmarks_.count(); ++i) {
        size_t e = bookmarks_.endIndexOf(i);
        if (e < bookmarkOfEnd_.size()) bookmarkOfEnd_[e] = i;
    }
    return kWordOk;
}

// ------------------------------------------------------------- document level

int WordToDocs::run() {
    if (int r = prepare()) return r;
    if (int r = writeDocumentStart()) return r;
    int r = walk();
    if (r != kWordOk && r != kWordEndOfText) return r;
    return finishDocument();
}

int WordToDocs::writeDocumentStart() {
    if (int r = check(out_.writeHeader())) return r;
    if (int r = check(out_.writePageSetup(DocsPageSetup()))) return r;

    DocsDocInfo info;
    const std::pair<int, size_t> strings[] = {
        {DocsDocInfo::kTitle, 2}, {DocsDocInfo::kSubject, 3}, {DocsDocInfo::kAuthor, 6}, {DocsDocInfo::kComments, 5}};
    for (auto [subId, index] : strings) {
        if (index >= assoc_.strings.size()) continue;
        std::u16string s = assoc_.strings[index];
        if (s.size() > DocsDocInfo::kMaxChars) s.resize(DocsDocInfo::kMaxChars);
        info.setString(subId, std::move(s));
    }
    if (int r = check(out_.writeDocInfo(info))) return r;
    return writeListDefinitions();
}

int WordToDocs::writeListDefinitions() {
    for (size_t i = 0; i < lists_.overrides.size(); ++i) {
        const WordListOverride &o = lists_.overrides[i];
        const WordList *list = lists_.list(o.listId);
        auto overrideOf = [&](size_t level) -> const WordListOverrideLevel * {
            for (const auto &ol : o.levels)
                if (ol.level == level) return &ol;
            return nullptr;
        };
        auto listLevel = [&](size_t level) -> const WordListLevel * {
            return list && level < list->levels.size() ? &list->levels[level] : nullptr;
        };
        auto formatOf = [&](size_t level) -> const WordListLevel * {
            const WordListOverrideLevel *ol = overrideOf(level);
            return ol && ol->format ? &*ol->format : listLevel(level);
        };
        auto startOf = [&](size_t level) -> uint16_t {
            const WordListOverrideLevel *ol = overrideOf(level);
            int64_t v = 1;
            if (ol && ol->hasStart) v = ol->startAt;
            else if (const WordListLevel *l = listLevel(level)) v = l->startAt;
            return uint16_t(std::clamp<int64_t>(v, 0, 0xFFFF));
        };
        auto codeOf = [&](size_t level) -> uint8_t {
            const WordListLevel *l = formatOf(level);
            return l ? docsNumberFormat(l->numberFormat, l->text) : uint8_t(DocsListDefinition::kDecimal);
        };

        DocsListDefinition d;
        d.listId = uint32_t(i);
        if (list && list->simple) {
            d.multilevel = 0;
            d.formats.fill(codeOf(0));
            d.startValues.fill(startOf(0));
        } else {
            const WordListLevel *second = formatOf(1);
            size_t placeholders =
                second ? size_t(std::count_if(second->text.begin(), second->text.end(), [](char16_t c) { return c < 10; }))
                       : 0;
            d.multilevel = placeholders > 1 ? 1 : 0;
            for (size_t l = 0; l < DocsListDefinition::kLevels; ++l) {
                d.formats[l] = codeOf(l);
                d.startValues[l] = startOf(l);
            }
        }
        if (int r = check(out_.writeListDefinition(d))) return r;
    }
    return kWordOk;
}

int WordToDocs::walk() {
    const auto &pieces = pieces_.pieces();
    size_t pi = 0;
    for (uint32_t cp = 0; cp < textEnd_; ++cp) {
        while (pi < pieces.size() && cp >= pieces[pi].cpEnd) ++pi;
        if (pi >= pieces.size() || cp < pieces[pi].cpStart) return kWordBadFormat;
        char16_t c = 0;
        if (int r = text_.charAt(pieces[pi], cp, c)) return r;
        if (int r = step(cp, pi, c)) return r;
    }
    return kWordOk;
}

int WordToDocs::step(uint32_t cp, size_t pieceIndex, char16_t c) {
    std::optional<size_t> section = sectionAt(cp);
    if (section || !sectionOpen_) {
        if (paragraphOpen_) {
            if (int r = finishParagraph(cp, 13)) return r;
        }
        if (sectionOpen_) {
            if (int r = endSection()) return r;
        }
        if (int r = startSection(section)) return r;
    }
    if (!paragraphOpen_) {
        if (int r = startParagraph(cp, pieceIndex)) return r;
    }
    const WordPiece &piece = pieces_.pieces()[pieceIndex];
    uint32_t fc = piece.fcOf(cp);
    if (needRun_ || runPiece_ != &piece || fc < run_.fcStart || fc >= run_.fcEnd) {
        if (int r = startRun(fc, piece)) return r;
    }
    if (int r = character(cp, c)) return r;
    bool endsParagraph = c == 13 || c == 7 || cp == paragraphMarkCp_ || (c == 12 && sectionBoundaryAt(cp + 1));
    if (paragraphOpen_ && endsParagraph) return finishParagraph(cp + 1, c);
    return kWordOk;
}

int WordToDocs::finishDocument() {
    if (paragraphOpen_) {
        if (int r = finishParagraph(textEnd_, 13)) return r;
    }
    if (!sectionOpen_) {
        if (int r = startSection(sectionAt(0))) return r;
    }
    if (int r = endSection()) return r;
    return emit([&] { return out_.writeEndOfDocument(); });
}

// ------------------------------------------------------------------- sections

std::optional<size_t> WordToDocs::sectionAt(uint32_t cp) {
    // The walk asks in ascending order: a cursor saves the search.
    if (nextSection_ > 0 && sections_.position(nextSection_ - 1) > cp) nextSection_ = 0;
    while (nextSection_ < sections_.count() && sections_.position(nextSection_) < cp) ++nextSection_;
    size_t i = nextSection_;
    if (i < sections_.count() && sections_.position(i) == cp) return i;
    return std::nullopt;
}

bool WordToDocs::sectionBoundaryAt(uint32_t cp) const {
    size_t i = sections_.lowerBound(cp);
    return sections_.count() > 0 && i <= sections_.count() && sections_.position(i) == cp;
}

int WordToDocs::startSection(std::optional<size_t> index) {
    section_ = DocsSection();
    section_.breakCode = 2;
    if (index) {
        uint32_t sepx = sections_.element(*index).u32(2);
        if (sepx != kNoSepx) {
            uint16_t cb = 0;
            std::vector<uint8_t> sprms;
            if (!document_->readU16(sepx, cb) || !document_->readRange(uint64_t(sepx) + 2, cb, sprms))
                return kWordShortRead;
            SprmIterator it{ByteView(sprms)};
            Sprm s;
            while (it.next(s))
                if (sprmGroup(s.code) == kSectionSprm) applySectionSprm(s);
        }
    }
    sectionOpen_ = true;
    return emit([&] { return out_.writeSection(section_); });
}

int WordToDocs::endSection() {
    if (int r = endAllTables()) return r;
    sectionOpen_ = false;
    return emit([&] { return out_.writeSectionEnd(); });
}

void WordToDocs::applySectionSprm(const Sprm &s) {
    switch (s.code) {
    case 0x500B: section_.columns = uint8_t(std::min<uint32_t>(uint32_t(s.u16()) + 1, 255)); break;
    case 0x900C: section_.columnSpacing = pointsU16(s.i16()); break;
    case 0x3019: section_.lineBetween = s.u8() != 0; break;
    case 0xB01F: section_.pageWidth = pointsU16(s.u16()); break;
    case 0xB020: section_.pageHeight = pointsU16(s.u16()); break;
    case 0xB021: section_.leftMargin = pointsU16(s.u16()); break;
    case 0xB022: section_.rightMargin = pointsU16(s.u16()); break;
    // A negative top or bottom margin means "exactly"; its size is what counts.
    case 0x9023: section_.topMargin = pointsU16(std::abs(int32_t(s.i16()))); break;
    case 0x9024: section_.bottomMargin = pointsU16(std::abs(int32_t(s.i16()))); break;
    case 0xB025: section_.gutter = pointsU16(s.u16()); break;
    case 0x301D: section_.landscape = s.u8() == 2; break;
    case 0xB017: section_.headerDistance = pointsU16(s.u16()); break;
    case 0xB018: section_.footerDistance = pointsU16(s.u16()); break;
    case 0x501C: section_.pageNumberStart = s.u16(); break;
    case 0x301A: {
        static const uint8_t kAlign[4] = {0, 2, 3, 1};
        if (s.u8() < 4) section_.verticalAlign = kAlign[s.u8()];
        break;
    }
    case 0x3009: section_.breakCode = s.u8(); break;
    case 0x5026: section_.paperCode = s.u16(); break;
    default: break;
    }
}

// ------------------------------------------------------- paragraphs and tables

int WordToDocs::startParagraph(uint32_t cp, size_t pieceIndex) {
    // The paragraph's properties belong to the run that holds its mark; in
    // a fast-saved document that run may lie in a later piece.
    const auto &pieces = pieces_.pieces();
    WordRun &papx = scratchRun_;
    const WordPiece *markPiece = &pieces[pieceIndex];
    // A piece that no page lists holds no paragraph mark: look further. When
    // no mark is found the paragraph gets the default properties and ends
    // at its mark character.
    uint32_t at = cp;
    size_t first = pieceIndex;
    if (cp < unlistedUpTo_) {
        // Pieces an earlier search found unlisted are not searched again.
        at = unlistedUpTo_;
        first = pieces_.find(at);
    }
    uint32_t markCp = kNoMark;
    bool haveRun = false;
    size_t skipped = 0;
    for (size_t i = first; i < pieces.size() && at < textEnd_ && skipped < kMaxSkippedPieces;) {
        const WordPiece &p = pieces[i];
        if (at >= p.cpEnd) {
            ++i;
            continue;
        }
        if (at < p.cpStart) return kWordBadFormat;
        uint32_t fc = p.fcOf(at);
        int r = paragraphRuns_->find(fc, papx);
        if (r == kWordEndOfText) {
            ++skipped;
            unlistedUpTo_ = std::max(unlistedUpTo_, p.cpEnd);
        } else if (r != kWordOk) {
            return r;
        } else {
            haveRun = true;
            markPiece = &p;
            if (papx.fcEnd <= p.fcEnd()) {
                uint32_t chars = (papx.fcEnd - fc + p.charSize() - 1) / p.charSize();
                markCp = at + chars - 1;
                break;
            }
        }
        at = p.cpEnd;
        ++i;
    }
    if (!haveRun) {
        papx.styleIndex = 0;
        papx.sprms.clear();
    }

    paragraph_ = DocsParagraph();
    listReference_ = DocsListReference();
    tableProps_ = ParagraphTableProps();
    uint16_t istd = papx.styleIndex;
    std::vector<const WordStyle *> chain = styles_.chain(istd);
    if (chain.empty() && haveRun) return kWordBadFormat;  // a style that does not exist
    for (const WordStyle *style : chain) {
        if (int r = applyParagraphSprms(ByteView(style->paragraphSprms), 0)) return r;
    }
    std::vector<uint8_t> ownSprms = papx.sprms;  // the run buffer is reused by the lookups below
    if (int r = applyParagraphSprms(ByteView(ownSprms), 0)) return r;
    if (int r = applyParagraphSprms(pieces_.pieceSprms(*markPiece), 0)) return r;
    paragraph_.styleIndex = istd;

    if (int r = arrangeTables()) return r;
    paragraphOpen_ = true;
    paragraphMarkCp_ = markCp;
    needRun_ = true;
    if (tableProps_.isRowEnd()) return kWordOk;

    if (int r = flushText()) return r;
    paragraphStartOffset_ = out_.tell();
    if (int r = check(out_.writeParagraph(paragraph_))) return r;
    if (listReference_.listId != DocsListReference::kNoList && listReference_.level != DocsListReference::kNoLevel) {
        if (int r = check(out_.writeListReference(listReference_))) return r;
    }
    ++paragraphsSinceBreak_;
    return kWordOk;
}

int WordToDocs::finishParagraph(uint32_t here, char16_t mark) {
    if (!tableProps_.isRowEnd()) {
        if (here >= textEnd_) {
            // The text ends here: close what is still open inside it.
            while (!fieldIds_.empty()) {
                uint32_t id = fieldIds_.back();
                fieldIds_.pop_back();
                if (int r = emit([&] { return out_.writeFieldEnd(DocsFieldEnd{id}); })) return r;
            }
            openFields_.clear();
            if (int r = flushBookmarks(UINT32_MAX, UINT32_MAX)) return r;
        } else if (int r = flushBookmarks(here, here)) {
            return r;
        }
        if (int r = emit([&] { return out_.writeParagraphEnd(); })) return r;
    }
    formatWriter_.paragraphEnded();
    paragraphOpen_ = false;
    needRun_ = true;
    if (!tables_.empty()) {
        OpenTable &t = tables_.back();
        if (tableProps_.isRowEnd()) {
            if (!t.awaitingRow) {
                t.rowEnded = true;
                t.rowLeft = tableProps_.rowLeft;
                t.cellWidths = tableProps_.cellWidths;
            }
        } else if ((mark == 7 && tableProps_.inTable) || tableProps_.innerCell) {
            t.cellEndPending = true;
        }
    }
    return kWordOk;
}

int WordToDocs::arrangeTables() {
    int32_t depth = 0;
    if (tableProps_.inTable) depth = tableProps_.hasDepth && tableProps_.depth > 0 ? tableProps_.depth : 1;
    depth = std::min(depth, kMaxTableDepth);

    if (!tables_.empty() && tables_.back().rowEnded) {
        if (int r = finishRow(tables_.back())) return r;
    }
    while (!tables_.empty() && tables_.back().level > depth) {
        if (int r = endTable()) return r;
    }
    if (depth == 0) return kWordOk;
    if (tables_.empty() || tables_.back().level < depth) {
        if (!tables_.empty()) {
            if (int r = settleCell(tables_.back())) return r;
        }
        while (tables_.empty() || tables_.back().level < depth) {
            if (int r = pushTable()) return r;
        }
        return kWordOk;
    }
    OpenTable &t = tables_.back();
    if (!tableProps_.isRowEnd()) return settleCell(t);
    t.cellEndPending = false;
    return kWordOk;
}

int WordToDocs::settleCell(OpenTable &t) {
    if (t.awaitingRow) return startRow(t);
    if (t.cellEndPending) {
        t.cellEndPending = false;
        return writeCell(t);
    }
    return kWordOk;
}

int WordToDocs::startRow(OpenTable &t) {
    DocsRow row;
    row.rowIndex = t.rows;
    t.awaitingRow = false;
    t.cellEndPending = false;
    t.cells = 0;
    t.cellWidthOffsets.clear();
    if (int r = emit([&] { return out_.writeRow(row, &t.row); })) return r;
    return writeCell(t);
}

int WordToDocs::writeCell(OpenTable &t) {
    ++t.cells;
    DocsCell cell;
    cell.cellNumber = uint8_t(std::min<size_t>(t.cells, 255));
    cell.width = kCellWidthPlaceholder;
    int64_t widthOffset = -1;
    if (int r = emit([&] { return out_.writeCell(cell, &widthOffset); })) return r;
    t.cellWidthOffsets.push_back(widthOffset);
    return kWordOk;
}

int WordToDocs::pushTable() {
    OpenTable t;
    t.level = tables_.empty() ? 1 : tables_.back().level + 1;
    DocsTable table;
    table.serial = nextDocsTableSerial();
    if (int r = emit([&] { return out_.writeTable(table, &t.rowCountOffset); })) return r;
    tables_.push_back(std::move(t));
    return startRow(tables_.back());
}

int WordToDocs::finishRow(OpenTable &t) {
    if (int r = flushText()) return r;
    if (int r = check(out_.overwriteU8(t.row.cellCountOffset, uint8_t(std::min<size_t>(t.cells, 255))))) return r;
    if (int r = check(out_.overwriteU16(t.row.leftOffsetOffset, uint16_t(t.rowLeft)))) return r;
    for (size_t k = 0; k < t.cellWidthOffsets.size() && k < t.cellWidths.size(); ++k) {
        if (int r = check(out_.overwriteU16(t.cellWidthOffsets[k], t.cellWidths[k]))) return r;
    }
    ++t.rows;
    t.rowEnded = false;
    t.awaitingRow = true;
    t.cells = 0;
    t.cellWidthOffsets.clear();
    return kWordOk;
}

int WordToDocs::endTable() {
    OpenTable &t = tables_.back();
    if (t.rowEnded || !t.awaitingRow) {
        // A row that ended there, or one the table leaves unfinished.
        if (int r = finishRow(t)) return r;
    }
    uint16_t rows = t.rows;
    int64_t rowCountOffset = t.rowCountOffset;
    tables_.pop_back();
    if (int r = emit([&] { return out_.writeTableEnd(); })) return r;
    return check(out_.overwriteU16(rowCountOffset, rows));
}

int WordToDocs::endAllTables() {
    while (!tables_.empty()) {
        if (int r = endTable()) return r;
    }
    return kWordOk;
}

// ----------------------------------------------------------------------- runs

int WordToDocs::startRun(uint32_t fc, const WordPiece &piece) {
    WordRun &chpx = run_;
    int found = characterRuns_->find(fc, chpx);
    if (found == kWordEndOfText) {
        // Text that no page lists keeps the default format to its piece's end.
        chpx.fcStart = fc;
        chpx.fcEnd = uint32_t(std::min<uint64_t>(piece.fcEnd(), UINT32_MAX));
        chpx.sprms.clear();
    } else if (found != kWordOk) {
        return found;
    }
    runPiece_ = &piece;
    needRun_ = false;

    format_ = DocsCharFormat();
    format_.fontSize = 10;
    format_.fontName = DocsCharFormat::kDefaultFont;
    pendingSymbol_.reset();
    fontFromSymbol_ = false;
    colourFromRgb_ = false;
    specialFlag_ = objectFlag_ = oleObjectFlag_ = false;

    for (const WordStyle *style : styles_.chain(paragraph_.styleIndex)) {
        if (int r = applyCharacterSprms(ByteView(style->characterSprms), 0, false)) return r;
    }
    // The run's character style first, then its other sprms.
    SprmIterator it{ByteView(chpx.sprms)};
    Sprm s;
    while (it.next(s)) {
        if (s.code == 0x4A30) {
            if (int r = applyCharacterStyle(s.u16(), 0)) return r;
        }
    }
    if (int r = applyCharacterSprms(ByteView(chpx.sprms), 0, true)) return r;
    if (int r = applyCharacterSprms(pieces_.pieceSprms(piece), 0, false)) return r;

    if (tableProps_.isRowEnd()) return kWordOk;
    if (int r = flushText()) return r;
    return check(formatWriter_.writeRun(out_, format_));
}

// ---------------------------------------------------------------------- sprms

int WordToDocs::applyParagraphSprms(ByteView sprms, int depth) {
    SprmIterator it(sprms);
    Sprm s;
    while (it.next(s)) {
        int group = sprmGroup(s.code);
        if (group != kParagraphSprm && group != kTableSprm) continue;
        if (int r = applyParagraphSprm(s, depth)) return r;
    }
    return kWordOk;
}

int WordToDocs::applyParagraphSprm(const Sprm &s, int depth) {
    switch (s.code) {
    case 0x260A: listReference_.level = s.u8(); break;
    case 0x460B: {
        int16_t ilfo = s.i16();
        if (ilfo >= 1 && size_t(ilfo) <= lists_.overrides.size()) listReference_.listId = uint32_t(ilfo - 1);
        else listReference_.listId = DocsListReference::kNoList;
        break;
    }
    case 0x2403: {
        static const uint8_t kAlign[4] = {0, 3, 1, 2};
        if (s.u8() < 4) paragraph_.alignment = kAlign[s.u8()];
        break;
    }
    case 0x840F:
    case 0x845E: paragraph_.leftIndent = pointsI16(s.i16()); break;
    case 0x840E:
    case 0x845D: paragraph_.rightIndent = pointsI16(s.i16()); break;
    case 0x8411:
    case 0x8460: paragraph_.firstLineIndent = pointsI16(s.i16()); break;
    case 0xA413: paragraph_.spaceBefore = pointsU16(s.u16()); break;
    case 0xA414: paragraph_.spaceAfter = pointsU16(s.u16()); break;
    case 0x6412: paragraph_.lineSpacing = lineSpacingFromWord(s.i16(), s.operand.i16(2)); break;
    case 0x6646: {
        // The paragraph's sprms go on in "Data": a u16 count and the sprms.
        if (depth > 0 || !streams_.data) break;
        uint16_t cb = 0;
        std::vector<uint8_t> more;
        if (!streams_.data->readU16(s.u32(), cb) || !streams_.data->readRange(uint64_t(s.u32()) + 2, cb, more))
            return kWordShortRead;
        return applyParagraphSprms(ByteView(more), depth + 1);
    }
    case 0x2416: tableProps_.inTable = s.u8() != 0; break;
    case 0x244B: tableProps_.innerCell = s.u8() != 0; break;
    case 0x2417: tableProps_.rowEnd = s.u8() != 0; break;
    case 0x244C: tableProps_.innerRowEnd = s.u8() != 0; break;
    case 0x6649:
        tableProps_.hasDepth = true;
        tableProps_.depth = int32_t(s.u32());
        break;
    case 0xD608: {
        // u16 size, u8 cell count, then count + 1 cell boundaries (twips).
        size_t cells = s.operand.u8(2);
        if (!s.operand.has(3, (cells + 1) * 2)) break;
        tableProps_.hasRowDef = true;
        tableProps_.rowLeft = pointsI16(s.operand.i16(3));
        tableProps_.cellWidths.clear();
        for (size_t i = 0; i < cells; ++i) {
            int32_t width = twipsToPoints(int32_t(s.operand.i16(3 + 2 * (i + 1))) - s.operand.i16(3 + 2 * i));
            tableProps_.cellWidths.push_back(uint16_t(std::clamp(width, 1, 0xFFFF)));
        }
        break;
    }
    default: break;
    }
    return kWordOk;
}

int WordToDocs::applyCharacterSprms(ByteView sprms, int depth, bool skipStyle) {
    SprmIterator it(sprms);
    Sprm s;
    while (it.next(s)) {
        if (sprmGroup(s.code) != kCharacterSprm || (skipStyle && s.code == 0x4A30)) continue;
        if (int r = applyCharacterSprm(s, depth)) return r;
    }
    return kWordOk;
}

int WordToDocs::applyCharacterStyle(uint16_t istd, int depth) {
    if (depth >= kMaxStyleDepth) return kWordOk;
    for (const WordStyle *style : styles_.chain(istd)) {
        if (int r = applyCharacterSprms(ByteView(style->characterSprms), depth + 1, false)) return r;
    }
    return kWordOk;
}

int WordToDocs::applyCharacterSprm(const Sprm &s, int depth) {
    auto toggle = [&](uint8_t flag) {
        uint8_t v = s.u8();
        if (v == 0) format_.formatFlags &= uint8_t(~flag);
        else if (v == 1) format_.formatFlags |= flag;
        else if (v == 0x81) format_.formatFlags ^= flag;
    };
    auto colour = [&](uint8_t index, DocsColor &target) -> int {
        if (index > 16) return kWordBadFormat;
        if (index != 0) target = kWordColours[index];
        return kWordOk;
    };
    switch (s.code) {
    case 0x0835: toggle(DocsCharFormat::kBold); break;
    case 0x0836: toggle(DocsCharFormat::kItalic); break;
    case 0x0837: toggle(DocsCharFormat::kStrike); break;
    case 0x2A53: toggle(DocsCharFormat::kDoubleStrike); break;
    case 0x2A3E: toggle(DocsCharFormat::kUnderline); break;
    case 0x2A48:
        format_.formatFlags &= uint8_t(~(DocsCharFormat::kSuperscript | DocsCharFormat::kSubscript));
        if (s.u8() == 1) format_.formatFlags |= DocsCharFormat::kSuperscript;
        else if (s.u8() == 2) format_.formatFlags |= DocsCharFormat::kSubscript;
        break;
    case 0x4A43: format_.fontSize = uint8_t(std::min(s.u16() / 2, 255)); break;
    case 0x4A4F:
        if (!fontFromSymbol_ && s.u16() < fonts_.size()) format_.fontName = fonts_[s.u16()];
        break;
    case 0x6A09: {
        uint16_t font = s.operand.u16(0);
        if (font < fonts_.size()) format_.fontName = fonts_[font];
        fontFromSymbol_ = true;
        pendingSymbol_ = char16_t(s.operand.u16(2));
        break;
    }
    case 0x6870:
        format_.textColor = DocsColor{s.operand.u8(0), s.operand.u8(1), s.operand.u8(2)};
        colourFromRgb_ = true;
        break;
    case 0x2A42:
        if (s.u8() > 16) return kWordBadFormat;
        if (!colourFromRgb_) return colour(s.u8(), format_.textColor);
        break;
    case 0x2A0C: return colour(s.u8(), format_.highlightColor);
    case 0x4866:
        if ((s.u16() & 0x1F) > 16) return kWordBadFormat;
        break;
    case 0x4A30: return applyCharacterStyle(s.u16(), depth);
    case 0x6A03:
        pictureLocation_ = s.u32();
        pictureLocationSet_ = true;
        break;
    case 0x0855: specialFlag_ = s.u8() == 1; break;
    case 0x0856: objectFlag_ = s.u8() == 1; break;
    case 0x080A: oleObjectFlag_ = s.u8() == 1; break;
    default: break;
    }
    return kWordOk;
}

// ----------------------------------------------------------------- characters

int WordToDocs::flushText() {
    if (pendingText_.empty()) return kWordOk;
    int r = check(out_.writeText(pendingText_));
    pendingText_.clear();
    return r;
}

bool WordToDocs::inFieldCode() const {
    return std::any_of(openFields_.begin(), openFields_.end(), [](const OpenField &f) { return !f.inResult; });
}

int WordToDocs::character(uint32_t cp, char16_t c) {
    if (tableProps_.isRowEnd()) return kWordOk;  // a row end mark carries no text
    if (c == 19 || c == 20 || c == 21) {
        if (!inFieldCode()) {
            if (int r = flushBookmarks(cp + 1, cp)) return r;
        }
        return fieldMark(cp, c);
    }
    if (inFieldCode()) {
        if (fieldCode_.size() < kMaxFieldCode) fieldCode_.push_back(c);
        return kWordOk;
    }
    if (int r = flushBookmarks(cp + 1, cp)) return r;
    if (pendingSymbol_) c = *pendingSymbol_;

    switch (c) {
    case 1:
        // An embedded object's location names its storage, not a place in "Data".
        if (!pictureLocationSet_ || oleObjectFlag_) return kWordOk;
        if (int r = flushText()) return r;
        return writeInlinePicture(streams_.data, pictureLocation_, out_);
    case 7:
    case 13: return kWordOk;  // the paragraph ends after this character
    case 8: {
        std::optional<WordShapeAnchor> anchor = shapes_.at(cp);
        if (!anchor) return kWordOk;
        if (int r = flushText()) return r;
        return floating_->write(*anchor, out_);
    }
    case 11: return emit([&] { return out_.writeLineBreak(); });
    case 12:
        if (sectionBoundaryAt(cp + 1)) return kWordOk;
        return moveBreakInFront(kDocsPageBreak);
    case 14: return moveBreakInFront(kDocsColumnBreak);
    default: break;
    }

    uint8_t cls = specialClass(c);
    if (specialFlag_) {
        specialFlag_ = false;
        return writeSpecial(c, cls, 1);
    }
    if (cls != DocsSpecialChar::kOther) return writeSpecial(c, cls, 0);
    if (c == 0) return kWordOk;
    pendingText_.push_back(c);
    if (pendingText_.size() >= kTextFlush) return flushText();
    return kWordOk;
}

int WordToDocs::writeSpecial(char16_t c, uint8_t cls, uint8_t flag) {
    DocsSpecialChar special;
    special.charClass = cls;
    special.character = c;
    special.specialFlag = flag;
    return emit([&] { return out_.writeSpecialChar(special); });
}

int WordToDocs::fieldMark(uint32_t cp, char16_t c) {
    if (c == 19) {
        if (openFields_.size() >= kMaxFieldDepth) {
            ++ignoredFields_;
            return kWordOk;
        }
        bool nested = inFieldCode();
        if (nested) {
            // The field whose code this begins in gets its start record now.
            OpenField &outer = openFields_.back();
            if (!outer.inResult && !outer.nestedInCode && !outer.started) {
                if (int r = writeFieldStart(outer)) return r;
            }
            if (fieldCode_.size() < kMaxFieldCode) fieldCode_.push_back(c);
        }
        OpenField field;
        field.nestedInCode = nested;
        field.type = fields_.typeAt(cp);
        openFields_.push_back(field);
        return kWordOk;
    }
    if (ignoredFields_ > 0) {
        if (c == 21) --ignoredFields_;
        return kWordOk;
    }
    if (openFields_.empty()) return kWordBadFormat;
    OpenField &field = openFields_.back();
    if (c == 20) {
        if (field.inResult) return kWordBadFormat;
        field.inResult = true;
        if (field.nestedInCode) {
            if (fieldCode_.size() < kMaxFieldCode) fieldCode_.push_back(c);
            return kWordOk;
        }
        if (!field.started) return writeFieldStart(field);
        fieldCode_.clear();
        return kWordOk;
    }
    // 21: the field ends.
    if (field.nestedInCode) {
        openFields_.pop_back();
        if (fieldCode_.size() < kMaxFieldCode) fieldCode_.push_back(c);
        return kWordOk;
    }
    if (!field.started) {
        if (int r = writeFieldStart(field)) return r;
    }
    openFields_.pop_back();
    if (fieldIds_.empty()) return kWordOk;
    uint32_t id = fieldIds_.back();
    fieldIds_.pop_back();
    return emit([&] { return out_.writeFieldEnd(DocsFieldEnd{id}); });
}

int WordToDocs::writeFieldStart(OpenField &field) {
    DocsFieldStart start;
    start.id = nextDocsFieldId();
    if (field.type == kHyperlinkField) {
        start.kind = DocsFieldStart::kHyperlink;
        start.text = hyperlinkTarget(fieldCode_);
    } else {
        start.kind = DocsFieldStart::kField;
        start.fieldType = field.type;
        start.pictureLocation = pictureLocation_;
        start.objectFlag = objectFlag_ ? 1 : 0;
        start.oleObjectFlag = oleObjectFlag_ ? 1 : 0;
        start.text = fieldCode_;
    }
    field.started = true;
    fieldCode_.clear();
    fieldIds_.push_back(start.id);
    return emit([&] { return out_.writeFieldStart(start); });
}

int WordToDocs::flushBookmarks(uint32_t startsBefore, uint32_t endsUpTo) {
    while (nextBookmarkStart_ < bookmarks_.count() && bookmarks_.startOf(nextBookmarkStart_) < startsBefore) {
        size_t i = nextBookmarkStart_++;
        DocsFieldStart start;
        start.kind = DocsFieldStart::kBookmark;
        start.id = nextDocsFieldId();
        if (i < bookmarks_.names.size()) start.text = bookmarks_.names[i];
        bookmarkIds_[i] = start.id;
        if (int r = emit([&] { return out_.writeFieldStart(start); })) return r;
    }
    while (nextBookmarkEnd_ < bookmarks_.ends.count() && bookmarks_.ends.position(nextBookmarkEnd_) <= endsUpTo) {
        size_t owner = bookmarkOfEnd_[nextBookmarkEnd_];
        uint32_t endCp = bookmarks_.ends.position(nextBookmarkEnd_);
        if (owner != SIZE_MAX && bookmarkIds_[owner] == 0 && bookmarks_.startOf(owner) <= endCp) break;  // start still due
        ++nextBookmarkEnd_;
        if (owner == SIZE_MAX || bookmarkIds_[owner] == 0) continue;  // an end without a start
        uint32_t id = bookmarkIds_[owner];
        if (int r = emit([&] { return out_.writeFieldEnd(DocsFieldEnd{id}); })) return r;
    }
    return kWordOk;
}

int WordToDocs::moveBreakInFront(uint16_t breakType) {
    // Inside a table a break has nowhere to go.
    if (tableProps_.inTable || !tables_.empty() || paragraphStartOffset_ < 0) return kWordOk;
    if (int r = flushText()) return r;
    int64_t end = out_.tell();
    int64_t count = end - paragraphStartOffset_;
    if (count < 0) return kWordBadFormat;
    if (count > kMaxMovedBytes) return splitParagraphAtBreak(breakType);
    std::vector<uint8_t> saved(static_cast<size_t>(count));
    if (check(out_.seekTo(paragraphStartOffset_))) return kWordWriteFailed;
    if (count > 0 && check(out_.readBytes(saved.data(), saved.size()))) return kWordWriteFailed;
    if (check(out_.seekTo(paragraphStartOffset_))) return kWordWriteFailed;
    if (paragraphsSinceBreak_ < 2) {
        if (int r = check(out_.writeParagraph(DocsParagraph()))) return r;
        if (int r = check(out_.writeParagraphEnd())) return r;
    }
    if (int r = check(out_.writeBareRecord(breakType))) return r;
    paragraphStartOffset_ = out_.tell();
    if (count > 0 && check(out_.writeBytes(saved.data(), saved.size()))) return kWordWriteFailed;
    paragraphsSinceBreak_ = 0;
    return kWordOk;
}

// Too much of the paragraph is written to move it behind the break: the
// paragraph ends here and goes on, with the same properties, after it.
int WordToDocs::splitParagraphAtBreak(uint16_t breakType) {
    if (int r = check(out_.writeParagraphEnd())) return r;
    if (int r = check(out_.writeBareRecord(breakType))) return r;
    paragraphStartOffset_ = out_.tell();
    if (int r = check(out_.writeParagraph(paragraph_))) return r;
    if (listReference_.listId != DocsListReference::kNoList && listReference_.level != DocsListReference::kNoLevel) {
        if (int r = check(out_.writeListReference(listReference_))) return r;
    }
    formatWriter_.paragraphEnded();
    paragraphsSinceBreak_ = 0;
    return check(formatWriter_.writeRun(out_, format_));
}

}  // namespace

int convertWordStreams(const WordStreams &streams, DocsStream &out) {
    if (!streams.wordDocument) return kWordBadFormat;
    WordToDocs reader(streams, out);
    return reader.run();
}

}  // namespace conv
