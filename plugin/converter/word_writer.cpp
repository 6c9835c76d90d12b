#include "word_writer.h"

#include "byte_order.h"
#include "docs_reader.h"
#include "docs_stream.h"
#include "temp_files.h"

#include <algorithm>
#include <filesystem>
#include <new>

namespace conv {

namespace {

constexpr char16_t kPictureChar = 1;
constexpr char16_t kCellMark = 7;
constexpr char16_t kLineBreakChar = 11;
constexpr char16_t kPageBreakChar = 12;  // also the section mark
constexpr char16_t kParagraphMark = 13;
constexpr char16_t kColumnBreakChar = 14;
constexpr char16_t kFieldBegin = 19;
constexpr char16_t kFieldSeparator = 20;
constexpr char16_t kFieldEnd = 21;

// The reader's result for a conversion cancelled by its sink.
constexpr int32_t kReaderCancelled = 3;

constexpr size_t kDataSlice = 4096;
constexpr uint16_t kPicfSize = 68;  // a Word picture's descriptor
// Largest picture data read whole (a handheld bitmap).
constexpr uint64_t kMaxHandheldBitmapBytes = 64u * 1024 * 1024;
// Largest image the "Data" stream takes (its sizes are 32-bit).
constexpr uint64_t kMaxImageBytes = 0x7FFF0000;

// Characters that carry Word's structure (pictures, cell and paragraph
// marks, drawn objects, field marks) cannot stand in text: a paragraph mark
// becomes a line break, the others are left out. The Word reader never puts
// them in text; a Docs file that does is not to break the document.
bool plainTextChar(char16_t &c) {
    switch (c) {
    case 13: c = 11; return true;
    case 1:
    case 7:
    case 8:
    case 19:
    case 20:
    case 21: return false;
    default: return true;
    }
}

SprmList special() {
    SprmList s;
    s.add(sprm::kCFSpec, 1);
    return s;
}

uint8_t wordAlignment(uint8_t docs) {
    switch (docs) {
    case 1: return 2;  // right
    case 2: return 3;  // justified
    case 3: return 1;  // centred
    default: return 0;
    }
}

uint8_t wordVerticalAlignment(uint8_t docs) {
    switch (docs) {
    case 1: return 3;  // bottom
    case 2: return 1;  // centre
    case 3: return 2;  // justified
    default: return 0;
    }
}

uint32_t colorRef(const DocsColor &c) { return uint32_t(c.red) | uint32_t(c.green) << 8 | uint32_t(c.blue) << 16; }

}  // namespace

WordWriter::WordWriter(CompoundStorage &storage, uint32_t seed) : storage_(storage), blipIds_(seed) {
    document_ = storage_.createDocumentStream(kWordDocumentStream);
    table_ = storage_.createDocumentStream(kTable1Stream);
    if (!ready()) return;
    pages_ = std::make_unique<WordPageStore>(*document_);
    // Created in this order, they start on pages 3, 4, 5, 6 and 7.
    text_ = std::make_unique<TextPageWriter>(*pages_, pieces_);
    chpx_ = std::make_unique<FkpWriter>(*pages_, chpxBins_, FkpWriter::kCharacterRuns);
    papx_ = std::make_unique<FkpWriter>(*pages_, papxBins_, FkpWriter::kParagraphRuns);
    lvc_ = std::make_unique<LvcPageWriter>(*pages_);
    sepx_ = std::make_unique<SepxPageWriter>(*pages_);
    runsEndFc_ = paragraphStartFc_ = text_->endFc();
    updateCharSprms();
}

WordWriter::~WordWriter() = default;

int32_t WordWriter::fail(int result) {
    if (failure_ == kWriterOk) failure_ = result;
    return kStop;
}

bool isProtectedDocs(ByteStream &source) {
    DocsStream docs(source);
    uint32_t magic = 0;
    bool result = false;
    if (docs.seekTo(0) == kDocsOk && docs.readU32(magic) == kDocsOk && magic == DocsHeader::kMagic) {
        DocsHeader header;
        result = docs.seekTo(0) == kDocsOk && docs.readHeader(header) == kDocsOk && header.isProtected();
    }
    docs.seekTo(0);
    return result;
}

int WordWriter::convert(ByteStream &source) {
    if (!ready()) return kWriterBadInput;
    try {
        // A protected document is refused before anything is read.
        if (isProtectedDocs(source)) return kWriterProtected;
        if (source.tell() != 0) return kWriterBadInput;
        DocsReader reader;
        int32_t rc = reader.run(source, *this);
        reader_ = nullptr;
        if (failure_ != kWriterOk) return failure_;
        switch (rc) {
        case DocsReader::kOk: break;
        case DocsReader::kDamaged: return kWriterBadInput;
        case kReaderCancelled: return kWriterCancelled;
        default: return kWriterNoMemory;
        }
        return finish();
    } catch (const std::bad_alloc &) {
        return kWriterNoMemory;
    }
}

// --- characters ----------------------------------------------------------

SprmList WordWriter::charSprms(const DocsCharFormat &f) {
    bool styled = paragraph_.istd != 0;
    uint8_t flags = f.formatFlags;
    SprmList s;
    auto flag = [&](uint16_t code, uint8_t bit) {
        if (styled || (flags & bit)) s.add(code, (flags & bit) ? 1 : 0);
    };
    flag(sprm::kCFBold, DocsCharFormat::kBold);
    flag(sprm::kCFItalic, DocsCharFormat::kItalic);
    flag(sprm::kCFStrike, DocsCharFormat::kStrike);
    flag(sprm::kCKul, DocsCharFormat::kUnderline);
    if (styled || (flags & (DocsCharFormat::kSubscript | DocsCharFormat::kSuperscript)))
        s.add(sprm::kCIss, (flags & DocsCharFormat::kSubscript) ? 2 : (flags & DocsCharFormat::kSuperscript) ? 1 : 0);
    flag(sprm::kCFDStrike, DocsCharFormat::kDoubleStrike);
    if (styled || f.fontSize != 10) s.add(sprm::kCHps, uint32_t(f.fontSize) * 2);
    if (!f.fontName.empty()) {
        uint16_t font = fonts_.indexOf(f.fontName);
        s.add(sprm::kCRgFtc0, font);
        s.add(sprm::kCRgFtc2, font);
    }
    if (styled || !(f.textColor == DocsColor{0, 0, 0})) {
        s.add(sprm::kCCv, colorRef(f.textColor));
        s.add(sprm::kCIco, nearestWordColor(f.textColor.red, f.textColor.green, f.textColor.blue));
    }
    const DocsColor white{255, 255, 255};
    if (styled || !(f.highlightColor == white)) {
        const DocsColor &h = f.highlightColor;
        s.add(sprm::kCHighlight, h == white ? 0 : nearestWordColor(h.red, h.green, h.blue));
    }
    return s;
}

void WordWriter::updateCharSprms() { charSprms_ = charSprms(format_); }

int WordWriter::putChar(char16_t c, const SprmList &extra) {
    // Without extra sprms the character takes the format current when it is
    // written, after whatever must come before it.
    if (extra.empty()) return putCharWith(c, charSprms_);
    return putCharWith(c, withFormat(extra));
}

int WordWriter::prepareContent() {
    int rc = openSectionIfNone();
    if (rc == kWriterOk && sectionMarkPending_) rc = writeSectionMark();
    // The paragraph begins with the break, in the format of its first run.
    if (rc == kWriterOk && (pageBreakArmed_ || columnBreakArmed_)) rc = writeBreaks();
    // A field whose separator waits gets it before its result.
    if (rc == kWriterOk && !fieldStack_.empty() && !fieldStack_.back().separatorWritten)
        rc = writeSeparator();
    return rc;
}

int WordWriter::putCharWith(char16_t c, const SprmList &chpx, bool prepare) {
    if (prepare) {
        int rc = prepareContent();
        if (rc != kWriterOk) return rc;
    }
    if (runOpen_ && (newRunWanted_ || !(chpx == runChpx_))) {
        int rc = closeRun();
        if (rc != kWriterOk) return rc;
    }
    if (!runOpen_) {
        runOpen_ = true;
        newRunWanted_ = false;
        runChpx_ = chpx;
        runStartFc_ = runsEndFc_;
    }
    if (!text_->put(c, cp_)) return kWriterWriteFailed;
    ++cp_;
    lastWasParagraphMark_ = false;
    formatsSinceText_.clear();
    return kWriterOk;
}

int WordWriter::closeRun() {
    if (!runOpen_) return kWriterOk;
    runOpen_ = false;
    std::vector<uint8_t> chpx;
    if (!encodeChpx(runChpx_, chpx)) return kWriterTooComplex;
    uint32_t end = text_->endFc();
    runsEndFc_ = end;
    return chpx_->add(runStartFc_, end, chpx);
}

int32_t WordWriter::text(const char16_t *chars, size_t count) {
    int32_t rc = check(openSectionIfNone());
    for (size_t i = 0; i < count && rc == 0; ++i) {
        char16_t c = chars[i];
        if (plainTextChar(c)) rc = check(putChar(c));
    }
    return rc;
}

int32_t WordWriter::charFormat(const DocsCharFormat &format, int64_t) {
    setFormat(format);
    if (formatsSinceText_.size() < kMaxQueuedFormats) formatsSinceText_.push_back(format);
    // A new run inside a field shows the field has a result part.
    if (!fieldStack_.empty()) fieldStack_.back().separatorWanted = true;
    return 0;
}

void WordWriter::setFormat(const DocsCharFormat &format) {
    format_ = format;
    updateCharSprms();
    newRunWanted_ = true;
}

int32_t WordWriter::lineBreak() { return check(putChar(kLineBreakChar)); }

int32_t WordWriter::pageBreak() {
    pageBreakPending_ = true;
    return 0;
}

int32_t WordWriter::columnBreak() {
    columnBreakPending_ = true;
    return 0;
}

int32_t WordWriter::otherRecord(uint16_t type, int64_t) {
    switch (type) {
    case kDocsSpecialChar: {
        DocsSpecialChar sc;
        if (reader_ == nullptr || reader_->stream().readSpecialChar(sc) != kDocsOk) return 0;
        char16_t c = char16_t(sc.character);
        if (!plainTextChar(c)) return 0;
        return check(putChar(c, sc.specialFlag ? special() : SprmList()));
    }
    case kDocsColumnBreak:
        if (paragraphOpen_) columnBreakPending_ = true;
        return 0;
    case kDocsPageBreak:
        if (paragraphOpen_) pageBreakPending_ = true;
        return 0;
    case kDocsEndOfDocument:
        // The file ends inside a section, paragraph or table.
        return fail(kWriterBadInput);
    default: return 0;
    }
}

// --- paragraphs ----------------------------------------------------------

SprmList WordWriter::tableSprms(size_t depth, bool cellMark) const {
    SprmList s;
    if (depth == 0) return s;
    // In a nested table the mark that ends a cell or a row says so; the
    // other paragraphs of its cells do not.
    if (depth > 1 && cellMark) s.add(sprm::kPFInnerTableCell, 1);
    s.add(sprm::kPItap, uint32_t(depth));
    s.add(sprm::kPFInTable, 1);
    return s;
}

int WordWriter::closeParagraph(const ParagraphProps &props, bool cellMark, const SprmList &extra) {
    SprmList sprms = props.own;
    sprms.append(extra);
    sprms.append(tableSprms(tables_.size(), cellMark));
    std::vector<uint8_t> papx;
    if (!encodePapx(props.istd, sprms, papx)) return kWriterTooComplex;
    // The run of characters ends with the mark, so both tables agree on it.
    uint32_t end = text_->endFc();
    int rc = papx_->add(paragraphStartFc_, end, papx);
    paragraphStartFc_ = end;
    return rc;
}

int WordWriter::writeHeldMark() {
    if (!markHeld_) return kWriterOk;
    markHeld_ = false;
    int rc = putCharWith(kParagraphMark, heldChpx_);
    return rc != kWriterOk ? rc : closeParagraph(heldParagraph_, false);
}

bool WordWriter::canReuseLastMark() const { return lastWasParagraphMark_ && !lastMarkIsSectionMark_; }

int WordWriter::writeSectionMark() {
    sectionMarkPending_ = false;
    if (canReuseLastMark()) {
        // The previous section's last paragraph mark becomes its section mark.
        text_->replaceLast(kPageBreakChar);
        lastMarkIsSectionMark_ = true;
        sectionFirstCp_ = cp_;
        return kWriterOk;
    }
    // Otherwise the mark forms a paragraph of its own with the pending
    // properties; the new section starts after it.
    int rc = putCharWith(kPageBreakChar, charSprms_, false);
    if (rc == kWriterOk) rc = closeParagraph(paragraphOpen_ ? paragraph_ : ParagraphProps(), false);
    lastWasParagraphMark_ = lastMarkIsSectionMark_ = true;
    sectionFirstCp_ = cp_;
    return rc;
}

int WordWriter::writeBreaks() {
    bool page = pageBreakArmed_, column = columnBreakArmed_;
    pageBreakArmed_ = columnBreakArmed_ = false;
    // When several formats came before the first character, the first of
    // them is the break's own run.
    std::vector<DocsCharFormat> formats = formatsSinceText_;
    if (formats.size() >= 2) setFormat(formats.front());
    int rc = kWriterOk;
    if (page) rc = putChar(kPageBreakChar);
    if (rc == kWriterOk && column) rc = putChar(kColumnBreakChar);
    if (formats.size() >= 2) setFormat(formats.back());
    return rc;
}

int32_t WordWriter::paragraphProps(const DocsParagraph &p, int64_t) {
    int32_t rc = check(openSectionIfNone());
    if (rc == 0) rc = check(writeHeldMark());
    if (rc != 0) return rc;

    paragraph_ = ParagraphProps();
    paragraph_.istd = styles_.use(p.styleIndex);
    bool styled = paragraph_.istd != 0;
    SprmList &s = paragraph_.own;
    if (styled || p.spaceAfter) s.add(sprm::kPDyaAfter, clampToU16(int64_t(p.spaceAfter) * 20));
    if (styled || p.spaceBefore) s.add(sprm::kPDyaBefore, clampToU16(int64_t(p.spaceBefore) * 20));
    if (styled || p.leftIndent) s.add(sprm::kPDxaLeft, uint16_t(clampToI16(int64_t(p.leftIndent) * 20)));
    if (styled || p.rightIndent) s.add(sprm::kPDxaRight, uint16_t(clampToI16(int64_t(p.rightIndent) * 20)));
    if (styled || p.firstLineIndent)
        s.add(sprm::kPDxaLeft1, uint16_t(clampToI16(int64_t(p.firstLineIndent) * 20)));
    s.add(sprm::kPJc, wordAlignment(p.alignment));
    if (p.lineSpacing != DocsParagraph::kSingleSpacing) {
        WordLineSpacing line = lineSpacingToWord(p.lineSpacing);
        s.add(sprm::kPDyaLine, uint32_t(uint16_t(clampToI16(line.dyaLine))) | (line.multiple ? 1u << 16 : 0));
    }
    paragraphOpen_ = true;
    // Breaks met before this paragraph make it begin with their characters.
    pageBreakArmed_ = pageBreakPending_;
    columnBreakArmed_ = columnBreakPending_;
    pageBreakPending_ = columnBreakPending_ = false;

    setFormat(DocsCharFormat());
    formatsSinceText_.clear();
    return 0;
}

int32_t WordWriter::listReference(const DocsListReference &reference, int64_t) {
    if (!paragraphOpen_ || reference.listId == DocsListReference::kNoList ||
        reference.level == DocsListReference::kNoLevel)
        return 0;
    uint16_t override = lists_.overrideOf(reference.listId);
    if (override == 0) return fail(kWriterBadInput);
    paragraph_.own.add(sprm::kPIlfo, override);
    paragraph_.own.add(sprm::kPIlvl, std::min<uint8_t>(reference.level, 8));
    return 0;
}

int32_t WordWriter::paragraphEnd() {
    if ((pageBreakArmed_ || columnBreakArmed_) && check(writeBreaks()) != 0) return kStop;
    ParagraphProps props = paragraphOpen_ ? paragraph_ : ParagraphProps();
    paragraphOpen_ = false;
    lastParagraph_ = props;
    if (!tables_.empty()) {
        // Held back: the next paragraph or table writes it as a paragraph
        // mark, the cell end as the cell mark.
        markHeld_ = true;
        heldParagraph_ = props;
        heldChpx_ = charSprms_;
        return 0;
    }
    int rc;
    bool sectionMark = false;
    if (sectionMarkPending_ && !canReuseLastMark()) {
        // The new section's first paragraph has no text: its mark is the section mark.
        sectionMarkPending_ = false;
        sectionMark = true;
        rc = putCharWith(kPageBreakChar, charSprms_, false);
        sectionFirstCp_ = cp_;
    } else {
        rc = putChar(kParagraphMark);
    }
    if (rc == kWriterOk) rc = closeParagraph(props, false);
    lastWasParagraphMark_ = true;
    lastMarkIsSectionMark_ = sectionMark;
    format_ = DocsCharFormat();
    updateCharSprms();
    return check(rc);
}

// --- sections ------------------------------------------------------------

int WordWriter::openSectionIfNone() {
    // What finishing adds belongs to the last section.
    if (sectionOpen_ || (finishing_ && sections_.count() > 0)) return kWriterOk;
    return sectionProps(DocsSection(), -1) == 0 ? kWriterOk : failure_;
}

int32_t WordWriter::sectionProps(const DocsSection &section, int64_t) {
    section_ = section;  // a further section record replaces the properties
    if (sectionOpen_) return 0;
    sectionOpen_ = true;
    if (sections_.count() == 0) {
        sectionFirstCp_ = 0;
    } else {
        sectionMarkPending_ = true;
        sectionFirstCp_ = cp_ + 1;
    }
    return 0;
}

SprmList WordWriter::sectionSprms(const DocsSection &s) const {
    SprmList out;
    out.add(sprm::kSXaPage, clampToU16(int64_t(s.pageWidth) * 20));
    out.add(sprm::kSYaPage, clampToU16(int64_t(s.pageHeight) * 20));
    out.add(sprm::kSDxaLeft, clampToU16(int64_t(s.leftMargin) * 20));
    out.add(sprm::kSDxaRight, clampToU16(int64_t(s.rightMargin) * 20));
    out.add(sprm::kSDyaTop, uint16_t(clampToI16(int64_t(s.topMargin) * 20)));
    out.add(sprm::kSDyaBottom, uint16_t(clampToI16(int64_t(s.bottomMargin) * 20)));
    out.add(sprm::kSDzaGutter, clampToU16(int64_t(s.gutter) * 20));
    out.add(sprm::kSVjc, wordVerticalAlignment(s.verticalAlign));
    if (s.columns > 1) out.add(sprm::kSCcolumns, uint32_t(s.columns) - 1);
    if (s.lineBetween) out.add(sprm::kSLBetween, 1);
    out.add(sprm::kSDxaColumns, uint16_t(clampToI16(int64_t(s.columnSpacing) * 20)));
    out.add(sprm::kSDyaHdrBottom, clampToU16(int64_t(s.footerDistance) * 20));
    out.add(sprm::kSDyaHdrTop, clampToU16(int64_t(s.headerDistance) * 20));
    if (s.pageNumberStart != 1) out.add(sprm::kSPgnStart, s.pageNumberStart);
    if (s.breakCode != 2) out.add(sprm::kSBkc, s.breakCode);
    if (s.landscape) out.add(sprm::kSBOrientation, 2);
    out.add(sprm::kSDmPaperReq, s.paperCode);
    return out;
}

int32_t WordWriter::sectionEnd() {
    if (!sectionOpen_) return 0;
    sectionOpen_ = false;
    if (sectionMarkPending_) {
        // A section without any text has no place in Word: it is left out.
        sectionMarkPending_ = false;
        return 0;
    }
    uint32_t fc = 0;
    int rc = sepx_->add(sectionSprms(section_), fc);
    if (rc != kWriterOk) return fail(rc);
    sections_.add(sectionFirstCp_, fc);
    return 0;
}

// --- tables --------------------------------------------------------------

int32_t WordWriter::tableStart(const DocsTable &, int64_t) {
    // A further table record in a table (not in one of its cells) only
    // replaces the table's properties.
    if (!tables_.empty() && !tables_.back().inCell) return 0;
    int32_t rc = check(openSectionIfNone());
    if (rc == 0) rc = check(writeHeldMark());
    if (rc == 0 && sectionMarkPending_) rc = check(writeSectionMark());
    if (rc != 0) return rc;
    if (tables_.size() >= size_t(DocsReader::kMaxTableDepth)) return fail(kWriterBadInput);
    tables_.emplace_back();
    return 0;
}

int32_t WordWriter::rowStart(const DocsRow &row, int64_t) {
    if (tables_.empty()) return 0;
    TableLevel &level = tables_.back();
    level.cellCount = row.cellCount;
    // The left offset may be negative (a row starting left of the margin).
    int32_t left = int32_t(int16_t(row.leftOffset)) * 20;
    level.boundaries.assign(size_t(row.cellCount) + 1, left);
    level.inCell = false;
    return 0;
}

int32_t WordWriter::cellStart(const DocsCell &cell, int64_t) {
    if (tables_.empty()) return 0;
    TableLevel &level = tables_.back();
    level.inCell = true;
    size_t n = cell.cellNumber;
    if (n >= 1 && n <= level.cellCount)
        level.boundaries[n] = level.boundaries[n - 1] + int32_t(cell.width) * 20;
    return 0;
}

int32_t WordWriter::cellEnd() {
    if (tables_.empty()) return 0;
    tables_.back().inCell = false;
    char16_t mark = tables_.size() == 1 ? kCellMark : kParagraphMark;
    int rc;
    if (markHeld_) {
        markHeld_ = false;
        rc = putCharWith(mark, heldChpx_);
        if (rc == kWriterOk) rc = closeParagraph(heldParagraph_, true);
    } else {
        rc = putChar(mark);
        if (rc == kWriterOk) rc = closeParagraph(ParagraphProps(), true);
    }
    return check(rc);
}

SprmList WordWriter::rowSprms(const TableLevel &level, size_t depth) const {
    SprmList s;
    s.add(sprm::kTTlp, 0x01E00000);
    // The row definition: cell count, the boundaries, a zero descriptor per cell.
    ByteWriter def;
    def.u8(level.cellCount);
    int32_t previous = INT32_MIN;
    for (int32_t b : level.boundaries) {
        previous = std::max(previous, b);  // boundaries never go back
        def.i16(clampToI16(previous));
    }
    def.zeros(size_t(level.cellCount) * 20);
    ByteWriter operand;
    operand.u16(uint16_t(def.size() + 1));
    operand.append(def.bytes());
    s.addVariable(sprm::kTDefTable, operand.bytes());
    // Six single borders of width 4.
    ByteWriter borders;
    borders.u8(24);
    for (int i = 0; i < 6; ++i) borders.u32(0x00000104);
    s.addVariable(sprm::kTTableBorders80, borders.bytes());
    s.add(sprm::kTDxaGapHalf, 108);
    s.add(depth > 1 ? sprm::kPFInnerTtp : sprm::kPFTtp, 1);
    s.add(sprm::kTFAutofit, 1);
    return s;
}

int32_t WordWriter::rowEnd() {
    if (tables_.empty()) return 0;
    TableLevel &level = tables_.back();
    level.boundaries.resize(size_t(level.cellCount) + 1, level.boundaries.empty() ? 0 : level.boundaries.back());
    char16_t mark = tables_.size() == 1 ? kCellMark : kParagraphMark;
    int rc = writeHeldMark();
    if (rc == kWriterOk) rc = putChar(mark);
    if (rc == kWriterOk) rc = closeParagraph(lastParagraph_, true, rowSprms(level, tables_.size()));
    level.inCell = false;
    return check(rc);
}

int32_t WordWriter::tableEnd() {
    if (tables_.empty()) return 0;
    int32_t rc = check(writeHeldMark());
    tables_.pop_back();
    return rc;
}

// --- lists ---------------------------------------------------------------

int32_t WordWriter::listDefinition(const DocsListDefinition &list, int64_t) {
    return lists_.add(list, fonts_) ? 0 : fail(kWriterTooComplex);
}

// --- fields and bookmarks ------------------------------------------------

int32_t WordWriter::fieldStart(const DocsFieldStart &field, int64_t) {
    if (field.kind == DocsFieldStart::kBookmark) {
        // A section mark still to come goes before the bookmark.
        bookmarks_.start(field.id, field.text, cp_ + (sectionMarkPending_ && !canReuseLastMark() ? 1 : 0));
        return 0;
    }
    if (field.kind != DocsFieldStart::kHyperlink && field.kind != DocsFieldStart::kField) return 0;
    // The formats announced since the last character describe the field's
    // own runs: the first its begin mark, the last its separator, the others
    // the code in between.
    std::vector<DocsCharFormat> formats = formatsSinceText_;
    int rc = prepareContent();
    bool hyperlink = field.kind == DocsFieldStart::kHyperlink;
    HyperlinkParts parts;
    uint32_t objectOffset = 0;
    if (hyperlink) {
        parts = splitHyperlinkTarget(field.text);
        if (rc == kWriterOk) rc = appendData(hyperlinkObject(parts), objectOffset);
    }
    if (rc != kWriterOk) return fail(rc);

    if (formats.size() >= 2) setFormat(formats.front());
    SprmList beginSprms = special();
    beginSprms.add(sprm::kCPicLocation, 0);
    fields_.begin(cp_, hyperlink ? FieldTable::kHyperlinkType : field.fieldType);
    rc = putCharWith(kFieldBegin, withFormat(beginSprms), false);

    // An object anchor may stand in another field's code; the code keeps no
    // other structural character.
    std::u16string code;
    for (char16_t c : hyperlink ? hyperlinkFieldCode(parts) : field.text)
        if ((c == kPictureChar && !hyperlink) || plainTextChar(c)) code.push_back(c);
    if (hyperlink) code.push_back(kPictureChar);
    std::vector<DocsCharFormat> middle;
    if (formats.size() >= 3) middle.assign(formats.begin() + 1, formats.end() - 1);
    std::vector<std::pair<size_t, size_t>> segments = codeSegments(code, middle.size());
    for (size_t i = 0; i < segments.size() && rc == kWriterOk; ++i) {
        if (!middle.empty()) setFormat(middle[std::min(i, middle.size() - 1)]);
        for (size_t at = segments[i].first; at < segments[i].second && rc == kWriterOk; ++at) {
            SprmList extra;
            if (code[at] == kPictureChar && hyperlink) {
                extra.add(sprm::kCPicLocation, objectOffset);
                extra.add(sprm::kCFFldVanish, 0x81);
                extra.add(sprm::kCFData, 1);
            } else if (code[at] == kPictureChar) {
                extra = special();  // an object anchor in the code
            }
            rc = putCharWith(code[at], withFormat(extra), false);
        }
    }
    if (!formats.empty()) setFormat(formats.back());
    if (rc != kWriterOk) return fail(rc);

    OpenField open;
    open.hyperlink = hyperlink;
    open.nested = !fieldStack_.empty();
    open.separatorChpx = special();
    if (!hyperlink && field.oleObjectFlag) {
        open.separatorChpx.add(sprm::kCFObj, 1);
        open.separatorChpx.add(sprm::kCPicLocation, field.pictureLocation);
        open.separatorChpx.add(sprm::kCFOle2, 1);
    } else {
        open.separatorChpx.add(sprm::kCPicLocation, 0);
    }
    open.separatorChpx = withFormat(open.separatorChpx);
    fieldStack_.push_back(std::move(open));
    // A hyperlink always has its separator; another field gets it when a
    // result follows.
    return hyperlink ? check(writeSeparator()) : 0;
}

SprmList WordWriter::withFormat(const SprmList &extra) const {
    SprmList chpx = charSprms_;
    chpx.append(extra);
    return chpx;
}

std::vector<std::pair<size_t, size_t>> WordWriter::codeSegments(const std::u16string &code, size_t wanted) {
    // Object anchors stand alone; the longest stretch of text is halved
    // until there are as many segments as formats.
    std::vector<std::pair<size_t, size_t>> segments;
    size_t start = 0;
    for (size_t i = 0; i <= code.size(); ++i) {
        if (i == code.size() || code[i] == kPictureChar) {
            if (i > start) segments.push_back({start, i});
            if (i < code.size()) segments.push_back({i, i + 1});
            start = i + 1;
        }
    }
    while (segments.size() < wanted) {
        size_t longest = 0;
        for (size_t i = 1; i < segments.size(); ++i)
            if (segments[i].second - segments[i].first > segments[longest].second - segments[longest].first)
                longest = i;
        if (segments.empty() || segments[longest].second - segments[longest].first < 2 ||
            code[segments[longest].first] == kPictureChar)
            break;
        size_t mid = (segments[longest].first + segments[longest].second) / 2;
        size_t end = segments[longest].second;
        segments[longest].second = mid;
        segments.insert(segments.begin() + long(longest) + 1, {mid, end});
    }
    return segments;
}

int WordWriter::writeSeparator() {
    OpenField &field = fieldStack_.back();
    field.separatorWritten = true;
    fields_.separator(cp_);
    return putCharWith(kFieldSeparator, field.separatorChpx, false);
}

int32_t WordWriter::fieldEnd(const DocsFieldEnd &end, int64_t) {
    if (bookmarks_.end(end.id, cp_)) return 0;
    return check(closeInnermostField());
}

int WordWriter::closeInnermostField() {
    if (fieldStack_.empty()) return kWriterOk;
    int rc = kWriterOk;
    // A field with nothing after its code ends without a separator.
    if (!fieldStack_.back().separatorWritten && fieldStack_.back().separatorWanted) rc = writeSeparator();
    OpenField field = fieldStack_.back();
    fieldStack_.pop_back();
    if (rc != kWriterOk) return rc;
    SprmList endSprms = special();
    if (field.hyperlink) endSprms.add(sprm::kCPicLocation, 0);
    fields_.end(cp_, uint8_t((field.separatorWritten ? 0x80 : 0) | (field.nested ? 0x40 : 0)));
    return putCharWith(kFieldEnd, withFormat(endSprms), false);
}

// --- pictures ------------------------------------------------------------

DocumentStream *WordWriter::dataStream() {
    if (data_ == nullptr) data_ = storage_.createDocumentStream(kDataStream);
    return data_;
}

int WordWriter::appendData(const std::vector<uint8_t> &bytes, uint32_t &offset) {
    DocumentStream *data = dataStream();
    if (data == nullptr) return kWriterWriteFailed;
    int64_t end = data->seek(0, ByteStream::kEnd);
    if (uint64_t(end) + bytes.size() > kMaxImageBytes) return kWriterWriteFailed;
    offset = uint32_t(end);
    return data->write(bytes.data(), 1, bytes.size()) == bytes.size() ? kWriterOk : kWriterWriteFailed;
}

int WordWriter::copyPictureData(uint64_t count) {
    DocsStream &docs = reader_->stream();
    if (docs.size() - docs.tell() < int64_t(count)) return kWriterBadInput;
    uint8_t slice[kDataSlice];
    while (count > 0) {
        size_t n = size_t(std::min<uint64_t>(count, kDataSlice));
        if (docs.readBytes(slice, n) != kDocsOk) return kWriterBadInput;
        if (data_->write(slice, 1, n) != n) return kWriterWriteFailed;
        count -= n;
    }
    return kWriterOk;
}

int WordWriter::writeWordPicture(WordPictureKind kind, uint32_t imageSize, const DocsPicture &picture,
                                 uint32_t &offset) {
    std::vector<uint8_t> header =
        wordPictureHeader(kind, imageSize, pictureGoalSize(picture.displayWidth, picture.pixelWidth),
                          pictureGoalSize(picture.displayHeight, picture.pixelHeight), nextShapeId_++,
                          blipIds_.next());
    return appendData(header, offset);
}

int WordWriter::writeHandheldBitmap(const DocsPicture &picture, uint32_t &offset) {
    DocsStream &docs = reader_->stream();
    if (picture.dataSize > kMaxHandheldBitmapBytes || docs.size() - docs.tell() < int64_t(picture.dataSize))
        return kWriterBadInput;
    std::vector<uint8_t> data(picture.dataSize);
    if (docs.readBytes(data.data(), data.size()) != kDocsOk) return kWriterBadInput;
    std::vector<uint8_t> bitmapFile;
    if (!decodeHandheldBitmap(data, bitmapFile)) return kWriterBadInput;

    // The decoded bitmap goes through a temporary file in the temporary folder.
    std::error_code ec;
    auto path = platform::createTempFile("PBMP", ec);
    if (!path) return kWriterWriteFailed;
    int rc = kWriterOk;
    {
        FileStream out(path->string(), FileStream::kWrite);
        if (!out.isOpen() || out.write(bitmapFile.data(), bitmapFile.size()) != bitmapFile.size())
            rc = kWriterWriteFailed;
    }
    if (rc == kWriterOk) {
        FileStream in(path->string(), FileStream::kRead);
        int64_t size = in.isOpen() ? in.size() : 0;
        if (size < 14 || in.seek(14, ByteStream::kBegin) != 14) rc = kWriterWriteFailed;
        uint64_t remaining = uint64_t(size - 14);
        // A record that does not give the pixel size takes the bitmap's own.
        DocsPicture sized = picture;
        if (sized.pixelWidth == 0) sized.pixelWidth = uint16_t(qv::loadLE32(&bitmapFile[18]));
        if (sized.pixelHeight == 0) sized.pixelHeight = uint16_t(qv::loadLE32(&bitmapFile[22]));
        if (rc == kWriterOk) rc = writeWordPicture(WordPictureKind::kBitmap, uint32_t(remaining), sized, offset);
        uint8_t slice[kDataSlice];
        while (rc == kWriterOk && remaining > 0) {
            size_t n = size_t(std::min<uint64_t>(remaining, kDataSlice));
            if (in.read(slice, n) != n) rc = kWriterWriteFailed;
            else if (data_->write(slice, 1, n) != n) rc = kWriterWriteFailed;
            remaining -= n;
        }
    }
    std::filesystem::remove(*path, ec);
    return rc;
}

int WordWriter::pictureFromRecord(const DocsPicture &picture, uint32_t &offset, bool &written) {
    written = false;
    if (picture.format == DocsPicture::kHandheldBitmap) {
        written = true;
        return writeHandheldBitmap(picture, offset);
    }
    if (picture.format > DocsPicture::kWordPicture) return kWriterOk;  // a kind we do not know
    // Formats 1 to 4 start with the image offset and the length.
    DocsStream &docs = reader_->stream();
    uint32_t imageOffset = 0, length = 0;
    if (picture.dataSize < 8 || docs.readU32(imageOffset) != kDocsOk || docs.readU32(length) != kDocsOk)
        return kWriterBadInput;
    uint64_t rest = picture.dataSize - 8;
    written = true;
    bool jpegOrPng = picture.format == DocsPicture::kJpeg || picture.format == DocsPicture::kPng;
    if (picture.format == DocsPicture::kWordPicture || (jpegOrPng && imageOffset != 0)) {
        // A Word picture copied from a document goes back byte for byte,
        // when it is one: its descriptor must span exactly the data.
        if (rest > kMaxImageBytes) return kWriterBadInput;
        uint8_t head[6];
        if (rest < sizeof head) return kWriterOk;
        if (docs.readBytes(head, sizeof head) != kDocsOk) return kWriterBadInput;
        uint64_t imageEnd = uint64_t(imageOffset) + length;
        if (qv::loadLE32(head) != rest || qv::loadLE16(head + 4) != kPicfSize || imageEnd > rest ||
            (picture.format == DocsPicture::kWordPicture && length != rest)) {
            written = false;  // not a Word picture: left out
            return kWriterOk;
        }
        int rc = appendData(std::vector<uint8_t>(head, head + sizeof head), offset);
        return rc != kWriterOk ? rc : copyPictureData(rest - sizeof head);
    }
    if (picture.format == DocsPicture::kWindowsBitmap) {
        // Without the 14-byte file header.
        if (length < 14 || uint64_t(imageOffset) + length > rest) return kWriterBadInput;
        if (docs.seekBy(int64_t(imageOffset) + 14) != kDocsOk) return kWriterBadInput;
        int rc = writeWordPicture(WordPictureKind::kBitmap, length - 14, picture, offset);
        return rc != kWriterOk ? rc : copyPictureData(length - 14);
    }
    if (length > rest) return kWriterBadInput;
    WordPictureKind kind = picture.format == DocsPicture::kJpeg ? WordPictureKind::kJpeg : WordPictureKind::kPng;
    int rc = writeWordPicture(kind, length, picture, offset);
    return rc != kWriterOk ? rc : copyPictureData(length);
}

int32_t WordWriter::picture(const DocsPicture &picture, int64_t) {
    if (picture.dataSize == 0 || !picture.hasFormat || reader_ == nullptr) return 0;
    int rc = openSectionIfNone();
    if (rc == kWriterOk && dataStream() == nullptr) rc = kWriterWriteFailed;
    uint32_t offset = 0;
    bool written = false;
    if (rc == kWriterOk) rc = pictureFromRecord(picture, offset, written);
    if (rc != kWriterOk) return fail(rc);
    if (!written) return 0;
    SprmList sprms;
    sprms.add(sprm::kCPicLocation, offset);
    sprms.add(sprm::kCFSpec, 1);
    return check(putChar(kPictureChar, sprms));
}

// --- finishing -----------------------------------------------------------

int32_t WordWriter::begin(DocsReader &reader) {
    reader_ = &reader;
    return 0;
}

int32_t WordWriter::docInfo(const DocsDocInfo &info, int64_t) {
    docInfo_ = info;
    return 0;
}

int WordWriter::finish() {
    finishing_ = true;
    int rc = writeHeldMark();
    // A field the Docs file leaves open stays open, as in the document it came from.
    if (rc == kWriterOk && (paragraphOpen_ || !lastWasParagraphMark_)) {
        // The text always ends with a paragraph mark outside any table.
        tables_.clear();
        if (paragraphEnd() != 0) rc = failure_;
    }
    if (rc == kWriterOk) rc = closeRun();
    if (rc == kWriterOk && sectionOpen_ && sectionEnd() != 0) rc = failure_;
    if (rc == kWriterOk && sections_.count() == 0) {
        uint32_t fc = 0;
        rc = sepx_->add(sectionSprms(DocsSection()), fc);
        sections_.add(0, fc);
    }
    if (rc != kWriterOk) return rc;

    uint32_t textEnd = text_->endFc();
    pieces_.setEnd(cp_);
    bookmarks_.endAll(cp_);
    chpxBins_.setEnd(textEnd);
    papxBins_.setEnd(textEnd);
    fib_.fcMac = textEnd;
    fib_.ccpText = cp_;
    if (!text_->flush() || !chpx_->flush() || !papx_->flush() || !lvc_->write(WordPageStore::kFirstPage * 512, textEnd) ||
        !sepx_->flush())
        return kWriterWriteFailed;

    rc = writeTableStream();
    if (rc != kWriterOk) return rc;

    // Zero tails, then the FIB with the final size of "WordDocument".
    if (!table_->extendTo(table_->size() + 1024) || !document_->extendTo(document_->size() + 512) ||
        (data_ != nullptr && !data_->extendTo(data_->size() + 1024)))
        return kWriterWriteFailed;
    fib_.cbMac = uint32_t(document_->size());
    std::vector<uint8_t> fib = fib_.serialise();
    if (document_->seek(0, ByteStream::kBegin) != 0 || document_->write(fib.data(), 1, fib.size()) != fib.size())
        return kWriterWriteFailed;
    return kWriterOk;
}

int WordWriter::writeTableStream() {
    uint32_t textEndCp = cp_;
    uint32_t listsLcb = 0;
    BinTable lvcBins;
    lvcBins.add(WordPageStore::kFirstPage * 512, lvc_->page());
    lvcBins.setEnd(text_->endFc());

    struct Entry {
        size_t pair;
        std::vector<uint8_t> bytes;
        bool countedWhole = true;  // false: lcb set separately
    };
    std::vector<Entry> entries;
    entries.push_back({0, styles_.serialise()});
    for (size_t pair : {2, 3, 4, 5}) entries.push_back({pair, {}});
    entries.push_back({6, sections_.serialise(textEndCp)});
    entries.push_back({11, {}});
    entries.push_back({12, chpxBins_.serialise()});
    entries.push_back({13, papxBins_.serialise()});
    entries.push_back({14, {}});
    entries.push_back({15, fonts_.serialise()});
    entries.push_back({16, fields_.serialise(textEndCp)});
    for (size_t pair : {17, 18, 19}) entries.push_back({pair, {}});
    entries.push_back({21, bookmarks_.serialiseNames()});
    entries.push_back({22, bookmarks_.serialiseStarts(textEndCp)});
    entries.push_back({23, bookmarks_.serialiseEnds(textEndCp)});
    entries.push_back({24, {0xFF, 0x40}});
    entries.push_back({30, defaultWindowState()});
    entries.push_back({31, defaultDocumentProperties()});
    entries.push_back({32, serialiseAssociatedStrings(docInfo_)});
    entries.push_back({33, pieces_.serialise()});
    for (size_t pair : {40, 41, 42, 43, 46, 47, 48}) entries.push_back({pair, {}});
    entries.push_back({51, serialiseRevisionAuthors()});
    for (size_t pair : {54, 55, 56, 57, 58, 59}) entries.push_back({pair, {}});
    entries.push_back({73, lists_.empty() ? std::vector<uint8_t>{} : lists_.serialiseLists(listsLcb), false});
    entries.push_back({74, lists_.empty() ? std::vector<uint8_t>{} : lists_.serialiseOverrides()});
    for (size_t pair : {75, 76}) entries.push_back({pair, {}});
    entries.push_back({86, lvcBins.serialise()});
    entries.push_back({89, {}});
    entries.push_back({91, lists_.serialiseNames()});

    for (const Entry &e : entries) {
        if (e.pair >= WordFibWriter::kPairCount) continue;
        auto fc = uint32_t(table_->size());
        if (table_->seek(0, ByteStream::kEnd) != int64_t(fc) ||
            table_->write(e.bytes.data(), 1, e.bytes.size()) != e.bytes.size())
            return kWriterWriteFailed;
        fib_.pairs[e.pair].fc = fc;
        fib_.pairs[e.pair].lcb = e.countedWhole ? uint32_t(e.bytes.size()) : (lists_.empty() ? 0 : listsLcb);
    }
    fib_.pairs[1] = fib_.pairs[0];
    return kWriterOk;
}

int convertDocsStreamToWord(ByteStream &source, ByteStream &destination, uint32_t seed) {
    try {
        // Refused before the destination is touched, so it stays empty.
        if (isProtectedDocs(source)) return kWriterProtected;
        std::unique_ptr<CompoundStorage> storage = createStorage(destination);
        if (!storage) return 3;
        int rc;
        {
            WordWriter writer(*storage, seed);
            rc = writer.ready() ? writer.convert(source) : kWriterBadInput;
        }
        if (!storage->close() && rc == kWriterOk) rc = kWriterWriteFailed;
        return rc;
    } catch (const std::bad_alloc &) {
        return kWriterNoMemory;
    }
}

}  // namespace conv
