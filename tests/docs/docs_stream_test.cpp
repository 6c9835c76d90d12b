#include "docs_test_support.h"

#include <gtest/gtest.h>

using namespace conv;
using docstest::build;
using Bytes = std::vector<uint8_t>;

namespace {

// Reads back what write produced with read, starting at offset 0.
template <typename Record>
Record roundTrip(const Record &in, int32_t (DocsStream::*write)(const Record &),
                 int32_t (DocsStream::*read)(Record &)) {
    MemoryStream m;
    DocsStream s(m);
    EXPECT_EQ((s.*write)(in), kDocsOk);
    s.seekTo(0);
    Record out;
    EXPECT_EQ((s.*read)(out), kDocsOk);
    EXPECT_EQ(s.tell(), s.size()) << "the read takes the whole record";
    return out;
}

struct Reading {
    int32_t rc;
    int64_t position;
};

template <typename Record>
Reading readFrom(const Bytes &bytes, int32_t (DocsStream::*read)(Record &), Record &out) {
    MemoryStream m(bytes);
    DocsStream s(m);
    int32_t rc = (s.*read)(out);
    return {rc, s.tell()};
}

}  // namespace

// --- header ---------------------------------------------------------------

TEST(DocsHeader, NewDocumentHeaderIsTheSixteenFixedBytes) {
    Bytes bytes = build([](DocsStream &s) { EXPECT_EQ(s.writeHeader(), kDocsOk); });
    EXPECT_EQ(bytes, (Bytes{0x4D, 0x57, 0x51, 0x56, 0x00, 0x10, 0x00, 0x03, 0, 0, 0, 0, 0, 0, 0x0C, 0x00}));

    DocsHeader h;
    EXPECT_EQ(readFrom(bytes, &DocsStream::readHeader, h).rc, kDocsOk);
    EXPECT_EQ(h, DocsHeader());
    EXPECT_FALSE(h.isProtected());
}

TEST(DocsHeader, ProtectionBlockOfSixteenBytesMarksAProtectedDocument) {
    DocsHeader in;
    in.hasProtectionBlock = true;
    in.protectionBlock.assign(16, 0xAB);
    Bytes bytes = build([&](DocsStream &s) { s.writeHeader(in); });
    ASSERT_EQ(bytes.size(), 34u);
    EXPECT_EQ(bytes[5], 34) << "headerLength is 18 + block length";

    DocsHeader out;
    Reading r = readFrom(bytes, &DocsStream::readHeader, out);
    EXPECT_EQ(r.rc, kDocsOk);
    EXPECT_EQ(r.position, 34);
    EXPECT_TRUE(out.isProtected());

    // A block longer than the file is a read failure, not an allocation.
    bytes[16] = 0xFF, bytes[17] = 0xFF;
    EXPECT_EQ(readFrom(bytes, &DocsStream::readHeader, out).rc, kDocsReadFailed);
}

// --- fixed layouts --------------------------------------------------------

TEST(DocsRecords, WrittenLayouts) {
    struct Case {
        const char *what;
        std::function<void(DocsStream &)> write;
        Bytes expected;
    };
    DocsFieldStart bookmark;
    bookmark.id = 0x01020304;
    bookmark.text = u"bm";
    DocsFieldStart field;
    field.kind = DocsFieldStart::kField;
    field.id = 9;
    field.fieldType = 88;
    field.pictureLocation = 0xA0B0C0D0;
    field.objectFlag = 1;
    field.oleObjectFlag = 1;
    field.text = u"X";
    DocsListDefinition list;
    list.listId = 5;
    const Case cases[] = {
        {"section with all defaults", [](DocsStream &s) { s.writeSection(DocsSection()); }, {0, 13, 1}},
        {"paragraph with all defaults: the alignment is always written",
         [](DocsStream &s) { s.writeParagraph(DocsParagraph()); }, {0, 14, 2, 3}},
        {"page setup with all defaults", [](DocsStream &s) { s.writePageSetup(DocsPageSetup()); }, {0, 15, 1}},
        {"empty document information", [](DocsStream &s) { s.writeDocInfo(DocsDocInfo()); }, {0, 20, 1}},
        {"table", [](DocsStream &s) { s.writeTable(DocsTable{7, 0x0102, 0}); }, {0, 23, 5, 7, 1, 2, 0}},
        {"row", [](DocsStream &s) { s.writeRow(DocsRow{3, 4, 0x0506}); }, {0, 30, 6, 0, 3, 4, 5, 6}},
        {"cell", [](DocsStream &s) { s.writeCell(DocsCell{2, 54, 0}); }, {0, 31, 4, 2, 0, 54}},
        {"end of table", [](DocsStream &s) { s.writeTableEnd(); }, {0, 32, 1}},
        {"field end", [](DocsStream &s) { s.writeFieldEnd(DocsFieldEnd{0x11223344}); }, {0, 34, 5, 0x11, 0x22, 0x33, 0x44}},
        {"list reference", [](DocsStream &s) { s.writeListReference(DocsListReference()); },
         {0, 38, 6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"special character", [](DocsStream &s) { s.writeSpecialChar(DocsSpecialChar{8, 0x2002, 1}); },
         {0, 39, 0, 6, 8, 0x20, 0x02, 1}},
        {"text colour", [](DocsStream &s) { s.writeTextColor(DocsColor{1, 2, 3}); }, {0, 2, 4, 1, 2, 3}},
        {"highlight", [](DocsStream &s) { s.writeHighlightColor(DocsColor{4, 5, 6}); }, {0, 3, 4, 4, 5, 6}},
        {"bare records", [](DocsStream &s) {
             s.writeFormatReset(), s.writeSectionEnd(), s.writeParagraphEnd(), s.writePageBreak();
             s.writeLineBreak(), s.writeColumnBreak(), s.writeEndOfDocument();
         }, {0, 4, 0, 8, 0, 9, 0, 10, 0, 11, 0, 12, 0, 27}},
        {"bookmark", [&](DocsStream &s) { s.writeFieldStart(bookmark); }, {0, 6, 0, 9, 0, 1, 2, 3, 4, 'b', 'm'}},
        {"field", [&](DocsStream &s) { s.writeFieldStart(field); },
         {0, 6, 0, 15, 2, 0, 0, 0, 9, 88, 0xA0, 0xB0, 0xC0, 0xD0, 1, 1, 'X'}},
        {"unsupported picture", [](DocsStream &s) { s.writePicture(DocsPicture::unsupported()); },
         {0, 22, 16, 16, 1, 0, 0, 0, 0, 0, 8, 0, 8, 0, 8, 0, 8, 0}},
    };
    for (const Case &c : cases) EXPECT_EQ(build(c.write), c.expected) << c.what;

    Bytes listBytes = build([&](DocsStream &s) { s.writeListDefinition(list); });
    EXPECT_EQ(listBytes.size(), 35u);
    EXPECT_EQ(listBytes[2], 33);
}

TEST(DocsRecords, WritingARecordClassToAnotherTypeIsRefused) {
    MemoryStream m;
    DocsStream s(m);
    EXPECT_EQ(s.writeBareRecord(kDocsSectionStart), kDocsWrongRecordType);
    EXPECT_EQ(m.size(), 0);
}

// --- tagged records -------------------------------------------------------

TEST(DocsSection, EveryFieldAtItsLimitsComesBack) {
    DocsSection s;
    s.columns = 255;
    s.columnSpacing = 65535;
    s.lineBetween = true;
    s.pageWidth = 65535;
    s.pageHeight = 72;
    s.leftMargin = 1, s.rightMargin = 2, s.topMargin = 3, s.bottomMargin = 4, s.gutter = 5;
    s.landscape = true;
    s.headerDistance = 6, s.footerDistance = 7, s.pageNumberStart = 0;
    s.sectionFlag15 = true;
    s.sectionValue16 = 16, s.sectionValue17 = 17;
    s.sectionKind = 4;
    s.verticalAlign = 3;
    s.breakCode = 2;
    s.paperCode = 9;
    EXPECT_EQ(roundTrip(s, &DocsStream::writeSection, &DocsStream::readSection), s);
}

TEST(DocsSection, ValuesOutsideTheirRangesReadAsTheNearestValid) {
    struct Case {
        uint16_t pageWidth, pageHeight;
        uint8_t kind, align;
        uint16_t wantWidth, wantHeight;
        uint8_t wantKind, wantAlign;
    } cases[] = {
        {10, 0, 1, 1, 72, 72, 1, 1},
        {71, 73, 7, 9, 72, 73, 0, 0},  // kind above 4 and alignment above 3 write their base sub-ids
    };
    for (const Case &c : cases) {
        DocsSection s;
        s.pageWidth = c.pageWidth, s.pageHeight = c.pageHeight, s.sectionKind = c.kind, s.verticalAlign = c.align;
        DocsSection out = roundTrip(s, &DocsStream::writeSection, &DocsStream::readSection);
        EXPECT_EQ(out.pageWidth, c.wantWidth);
        EXPECT_EQ(out.pageHeight, c.wantHeight);
        EXPECT_EQ(out.sectionKind, c.wantKind);
        EXPECT_EQ(out.verticalAlign, c.wantAlign);
    }
}

TEST(DocsSection, BodyThatDoesNotFitItsLengthOrHasNoSuchSubIdIsMalformed) {
    const Bytes cases[] = {
        {0, 13, 2, 27},        // sub-id 27 does not exist
        {0, 13, 2, 30},        // nor beyond 29
        {0, 13, 3, 4, 0x02},   // a u16 cut by L
        {0, 13, 0},            // L counts itself
    };
    for (const Bytes &b : cases) {
        DocsSection out;
        Reading r = readFrom(b, &DocsStream::readSection, out);
        EXPECT_EQ(r.rc, kDocsMalformedRecord);
        EXPECT_EQ(r.position, 0) << "a failed read leaves the stream at the record";
    }
}

TEST(DocsParagraph, LineSpacingOutsideTheCodesReadsAsSingle) {
    const std::pair<int16_t, int16_t> cases[] = {
        {0, 10001}, {5000, 10001}, {3168, 3168}, {3169, 10001}, {-3168, -3168}, {-3169, 10001},
        {10000, 10000}, {10263, 10263}, {10264, 10001}, {1, 1}, {-1, -1}, {10003, 10003},
    };
    for (auto [written, read] : cases) {
        DocsParagraph p;
        p.lineSpacing = written;
        EXPECT_EQ(roundTrip(p, &DocsStream::writeParagraph, &DocsStream::readParagraph).lineSpacing, read)
            << written;
    }
}

TEST(DocsParagraph, EveryFieldComesBackAndTheReadRecordsItsOffset) {
    DocsParagraph p;
    p.paragraphByte2 = 200;
    p.alignment = 3;
    p.firstLineIndent = -32768;
    p.leftIndent = 32767;
    p.rightIndent = -1;
    p.spaceBefore = 65535;
    p.spaceAfter = 1;
    p.lineSpacing = -20;
    p.styleIndex = 4095;
    DocsParagraph out = roundTrip(p, &DocsStream::writeParagraph, &DocsStream::readParagraph);
    EXPECT_TRUE(out.wasRead);
    EXPECT_EQ(out.fileOffset, 0);
    out.wasRead = false;
    out.fileOffset = -1;
    EXPECT_EQ(out, p);

    DocsParagraph byte12;
    byte12.useLineSpacing = false;
    byte12.paragraphByte12 = 7;
    byte12.alignment = 9;  // out of range: written as left
    Bytes b = build([&](DocsStream &s) { s.writeParagraph(byte12); });
    EXPECT_EQ(b, (Bytes{0, 14, 4, 3, 12, 7}));
}

TEST(DocsParagraph, ResetSubIdRestoresTheDefaultsMidBody) {
    DocsParagraph out;
    EXPECT_EQ(readFrom(Bytes{0, 14, 7, 6, 8, 0, 9, 1, 4}, &DocsStream::readParagraph, out).rc, kDocsOk);
    EXPECT_EQ(out.alignment, 1);
    EXPECT_EQ(out.leftIndent, 0);
    for (uint8_t bad : {uint8_t(0), uint8_t(13), uint8_t(16)}) {
        EXPECT_EQ(readFrom(Bytes{0, 14, 2, bad}, &DocsStream::readParagraph, out).rc, kDocsMalformedRecord);
    }
}

TEST(DocsPageSetup, EveryValueComesBackAndTheByteValueKeepsItsLowByte) {
    DocsPageSetup p;
    for (int id = 1; id <= DocsPageSetup::kCount; ++id) p.setValue(id, uint16_t(1000 + id));
    DocsPageSetup out = roundTrip(p, &DocsStream::writePageSetup, &DocsStream::readPageSetup);
    for (int id = 1; id <= DocsPageSetup::kCount; ++id)
        EXPECT_EQ(out.value(id), id == DocsPageSetup::kByteValue ? (1010 & 0xFF) : 1000 + id) << id;
    EXPECT_EQ(readFrom(Bytes{0, 15, 4, 12, 0, 1}, &DocsStream::readPageSetup, out).rc, kDocsMalformedRecord);
}

TEST(DocsDocInfo, NonAsciiStringsComeBackIntact) {
    DocsDocInfo info;
    info.setString(DocsDocInfo::kTitle, u"Caf\u00e9 \u20ac");
    info.setString(DocsDocInfo::kAuthor, u"Zo\u00eb");
    info.setString(6, u"six");
    Bytes b = build([&](DocsStream &s) { s.writeDocInfo(info); });
    // title: 2 + 9 bytes, author: 2 + 4, string 6: 2 + 3; the count byte holds UTF-16 units.
    EXPECT_EQ(b[2], 1 + 11 + 6 + 5);
    EXPECT_EQ(b[4], 6);
    EXPECT_EQ(roundTrip(info, &DocsStream::writeDocInfo, &DocsStream::readDocInfo), info);
}

TEST(DocsDocInfo, RecordThatWouldReach256BytesIsWrittenWithoutStrings) {
    // One string of n ASCII letters makes a record of 3 + n bytes.
    for (size_t n : {252u, 253u, 300u}) {
        DocsDocInfo info;
        info.setString(DocsDocInfo::kComments, std::u16string(n, u'x'));
        DocsDocInfo out = roundTrip(info, &DocsStream::writeDocInfo, &DocsStream::readDocInfo);
        if (n == 252) EXPECT_EQ(out, info);
        else EXPECT_EQ(out, DocsDocInfo()) << n << ": six empty strings";
    }
}

// --- character format -----------------------------------------------------

TEST(DocsCharFormatWriter, FirstRunOfEveryParagraphCarriesItsWholeFormat) {
    MemoryStream m;
    DocsStream s(m);
    DocsCharFormatWriter writer;
    DocsCharFormat f;
    writer.writeRun(s, f);  // default format, but the sentinel font forces size and font
    size_t first = m.bytes().size();
    EXPECT_EQ(first, 3 + 2 + 15u) << "no colour records for black text on white";
    EXPECT_EQ(m.bytes()[2], 3 + 15);

    writer.writeRun(s, f);  // nothing changed: flags only
    EXPECT_EQ(Bytes(m.bytes().begin() + long(first), m.bytes().end()), (Bytes{0, 5, 2, 0}));

    DocsCharFormat changed = f;
    changed.fontSize = 20;
    changed.formatFlags = DocsCharFormat::kBold | DocsCharFormat::kUnderline;
    changed.textColor = {255, 0, 0};
    changed.highlightColor = {255, 255, 0};
    size_t before = m.bytes().size();
    writer.writeRun(s, changed);
    EXPECT_EQ(Bytes(m.bytes().begin() + long(before), m.bytes().end()),
              (Bytes{0, 5, 3, 0x41, 20, 0, 2, 4, 255, 0, 0, 0, 3, 4, 255, 255, 0}));

    writer.paragraphEnded();
    before = m.bytes().size();
    writer.writeRun(s, f);
    EXPECT_EQ(m.bytes().size() - before, first);
}

TEST(DocsCharFormat, RecordsChangeOnlyWhatTheyCarry) {
    DocsCharFormat state;
    state.fontSize = 30;
    state.fontName = u"Arial";
    MemoryStream m(Bytes{0, 5, 2, 0x03, 0, 5, 4, 0, 9, 'A', 0, 2, 4, 1, 2, 3, 0, 4});
    DocsStream s(m);
    ASSERT_EQ(s.readCharFormat(state), kDocsOk);
    EXPECT_EQ(state.formatFlags, 0x03);
    EXPECT_EQ(state.fontSize, 30) << "L = 2 changes only the flags";
    EXPECT_EQ(state.fontName, u"Arial");
    ASSERT_EQ(s.readCharFormat(state), kDocsOk);
    EXPECT_EQ(state.fontSize, 9);
    EXPECT_EQ(state.fontName, u"A");
    ASSERT_EQ(s.readCharFormat(state), kDocsOk);
    EXPECT_EQ(state.textColor, (DocsColor{1, 2, 3}));
    ASSERT_EQ(s.readCharFormat(state), kDocsOk);
    EXPECT_EQ(state, DocsCharFormat()) << "record 4 resets the whole state";
}

TEST(DocsCharFormat, MalformedRecordsLeaveTheStateAsItWas) {
    const Bytes cases[] = {
        {0, 2, 5, 1, 2, 3, 4},        // colour with L = 5
        {0, 3, 3, 1, 2},              // highlight with L = 3
        {0, 5, 5, 1, 12, 0xE2, 0x82}, // font name cut inside a character
    };
    for (const Bytes &b : cases) {
        DocsCharFormat state;
        state.formatFlags = 0x40;
        Reading r = readFrom(b, &DocsStream::readCharFormat, state);
        EXPECT_EQ(r.rc, kDocsMalformedRecord);
        EXPECT_EQ(r.position, 0);
        EXPECT_EQ(state.formatFlags, 0x40);
    }
}

// --- other records --------------------------------------------------------

TEST(DocsRecords, SmallRecordsComeBackAtTheirLimits) {
    for (uint32_t v : {0u, 1u, 0xFFFFFFFFu}) {
        DocsFieldEnd e{v};
        EXPECT_EQ(roundTrip(e, &DocsStream::writeFieldEnd, &DocsStream::readFieldEnd), e);
        DocsListReference r{v, uint8_t(v)};
        EXPECT_EQ(roundTrip(r, &DocsStream::writeListReference, &DocsStream::readListReference), r);
    }
    DocsListDefinition l;
    l.listId = 0xFFFFFFFE;
    l.multilevel = 1;
    for (int i = 0; i < 9; ++i) l.formats[size_t(i)] = uint8_t(i * 30), l.startValues[size_t(i)] = uint16_t(i * 8000);
    EXPECT_EQ(roundTrip(l, &DocsStream::writeListDefinition, &DocsStream::readListDefinition), l);
    DocsSpecialChar c{DocsSpecialChar::kFootnoteReference, 0xFFFF, 1};
    EXPECT_EQ(roundTrip(c, &DocsStream::writeSpecialChar, &DocsStream::readSpecialChar), c);
    DocsPicture p;
    p.depth = 16, p.version = 2, p.pixelWidth = 65535, p.displayHeight = 1, p.format = DocsPicture::kPng;
    EXPECT_EQ(roundTrip(p, &DocsStream::writePicture, &DocsStream::readPicture), p);
    DocsPicture u = DocsPicture::unsupported();
    EXPECT_EQ(roundTrip(u, &DocsStream::writePicture, &DocsStream::readPicture), u);
}

TEST(DocsRecords, FixedLengthsThatDifferAreMalformed) {
    const struct {
        Bytes bytes;
        std::function<int32_t(DocsStream &)> read;
    } cases[] = {
        {{0, 34, 4, 1, 2, 3}, [](DocsStream &s) { DocsFieldEnd e; return s.readFieldEnd(e); }},
        {{0, 38, 7, 1, 2, 3, 4, 5, 6}, [](DocsStream &s) { DocsListReference r; return s.readListReference(r); }},
        {{0, 37, 2, 0}, [](DocsStream &s) { DocsListDefinition l; return s.readListDefinition(l); }},
        {{0, 6, 0, 6, 0, 0, 0, 0}, [](DocsStream &s) { DocsFieldStart f; return s.readFieldStart(f); }},
        {{0, 6, 0, 13, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}, [](DocsStream &s) { DocsFieldStart f; return s.readFieldStart(f); }},
        {{0, 6, 0, 9, 0, 0, 0, 0, 1, 'a', 0xC3}, [](DocsStream &s) { DocsFieldStart f; return s.readFieldStart(f); }},
    };
    for (const auto &c : cases) {
        MemoryStream m(c.bytes);
        DocsStream s(m);
        EXPECT_EQ(c.read(s), kDocsMalformedRecord);
        EXPECT_EQ(s.tell(), 0);
    }
}

TEST(DocsRecords, ReadOfAnotherTypeOrPastTheEndFailsWithoutMoving) {
    DocsTable t;
    Reading r = readFrom(Bytes{0, 30, 6, 0, 0, 1, 0, 0}, &DocsStream::readTable, t);
    EXPECT_EQ(r.rc, kDocsWrongRecordType);
    EXPECT_EQ(r.position, 0);
    r = readFrom(Bytes{0, 23, 5, 1}, &DocsStream::readTable, t);
    EXPECT_EQ(r.rc, kDocsReadFailed);
    EXPECT_EQ(r.position, 0);
    DocsPicture p;
    p.dataSize = 100;
    Bytes pic = build([&](DocsStream &s) { s.writePicture(p); });
    pic.resize(pic.size() + 99);
    EXPECT_EQ(readFrom(pic, &DocsStream::readPicture, p).rc, kDocsReadFailed) << "data beyond the end";
}

TEST(DocsRecords, OptionalTailsKeepTheirDefaults) {
    DocsCell cell;
    EXPECT_EQ(readFrom(Bytes{0, 31, 2, 5}, &DocsStream::readCell, cell).rc, kDocsOk);
    EXPECT_EQ(cell.cellNumber, 5);
    EXPECT_EQ(cell.width, DocsCell::kOmittedWidth);
    DocsRow row;
    Reading r = readFrom(Bytes{0, 30, 9, 0, 2, 3, 0, 4, 9, 9, 9, 0, 9}, &DocsStream::readRow, row);
    EXPECT_EQ(r.rc, kDocsOk);
    EXPECT_EQ(r.position, 11) << "bytes beyond the known fields are stepped over";
    EXPECT_EQ(row, (DocsRow{2, 3, 4}));
    DocsTable table;
    EXPECT_EQ(readFrom(Bytes{0, 23, 1}, &DocsStream::readTable, table).rc, kDocsOk);
    EXPECT_EQ(table, DocsTable());
}

TEST(DocsFieldStart, AllKindsComeBackAndTheTextLimitIsTheU16Length) {
    for (uint8_t kind : {uint8_t(0), uint8_t(1), uint8_t(2)}) {
        DocsFieldStart f;
        f.kind = kind;
        f.id = 0xFFFFFFFF;
        f.text = u"HYPERLINK \"http://x\" \\l \u00e9\u4e2d";
        if (kind == 2) f.fieldType = 88, f.pictureLocation = 77, f.objectFlag = 1, f.oleObjectFlag = 1;
        EXPECT_EQ(roundTrip(f, &DocsStream::writeFieldStart, &DocsStream::readFieldStart), f);
    }
    DocsFieldStart longest;
    longest.text.assign(0xFFFE - 7, u'a');
    EXPECT_EQ(roundTrip(longest, &DocsStream::writeFieldStart, &DocsStream::readFieldStart), longest);
    longest.text += u'a';
    MemoryStream m;
    DocsStream s(m);
    EXPECT_EQ(s.writeFieldStart(longest), kDocsMalformedRecord);
    EXPECT_EQ(m.size(), 0) << "nothing written for a record that cannot be encoded";
}

// --- placeholders ---------------------------------------------------------

TEST(DocsPlaceholders, TableRowAndCellValuesAreFilledInLater) {
    MemoryStream m;
    DocsStream s(m);
    int64_t rowCount = -1, width = -1;
    DocsRowPlaceholders row;
    s.writeTable(DocsTable{1, 0, 0}, &rowCount);
    s.writeRow(DocsRow{0, 0, 0}, &row);
    s.writeCell(DocsCell{1, 54, 0}, &width);
    s.writeTableEnd();
    int64_t end = s.tell();
    EXPECT_EQ(s.overwriteU16(rowCount, 2), kDocsOk);
    EXPECT_EQ(s.tell(), end);
    EXPECT_EQ(s.overwriteU8(row.cellCountOffset, 3), kDocsOk);
    EXPECT_EQ(s.overwriteU16(row.leftOffsetOffset, 400), kDocsOk);
    EXPECT_EQ(s.overwriteU16(width, 300), kDocsOk);
    EXPECT_EQ(s.tell(), end);

    s.seekTo(0);
    DocsTable t;
    DocsRow r;
    DocsCell c;
    ASSERT_EQ(s.readTable(t), kDocsOk);
    ASSERT_EQ(s.readRow(r), kDocsOk);
    ASSERT_EQ(s.readCell(c), kDocsOk);
    EXPECT_EQ(t.rowCount, 2);
    EXPECT_EQ(r, (DocsRow{0, 3, 400}));
    EXPECT_EQ(c.width, 300);
    EXPECT_EQ(s.readTableEnd(), kDocsOk);
}

// --- text -----------------------------------------------------------------

TEST(DocsUtf8, EachUnitIsEncodedOnItsOwnAndComesBackTheSame) {
    const std::u16string text = u"A\u00e9\u20ac\U0001F600";
    Bytes b = build([&](DocsStream &s) { s.writeText(text); });
    EXPECT_EQ(b, (Bytes{'A', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}));
    MemoryStream m(b);
    DocsStream s(m);
    char16_t out[16];
    size_t consumed = 0;
    EXPECT_EQ(s.readUtf8(out, 16, 100, &consumed), text.size());
    EXPECT_EQ(std::u16string(out, text.size()), text);
    EXPECT_EQ(out[text.size()], 0);
    EXPECT_EQ(consumed, b.size());
}

TEST(DocsUtf8, DecodingStopsAtRecordsInvalidBytesAndTheByteLimit) {
    struct Case {
        Bytes bytes;
        size_t count, limit;
        std::u16string want;
        int64_t position;
    } cases[] = {
        {{'a', 'b', 0, 9}, 10, 100, u"ab", 2},
        {{'a', 0xF0, 0x9F, 0x98, 0x80}, 10, 100, u"a", 1},  // four-byte forms are not Docs text
        {{'a', 0xC3, 'b'}, 10, 100, u"a", 1},                // a follower that is not 10xxxxxx
        {{'a', 0x80}, 10, 100, u"a", 1},                     // a stray follower
        {{'a', 0xE2, 0x82, 0xAC}, 10, 3, u"a", 1},           // the euro would pass the limit
        {{'a', 'b', 'c'}, 2, 100, u"ab", 2},
        {{'a', 0xE2, 0x82}, 10, 100, u"a", 1},               // cut by the end
    };
    for (const Case &c : cases) {
        MemoryStream m(c.bytes);
        DocsStream s(m);
        char16_t out[16];
        size_t n = s.readUtf8(out, c.count, c.limit);
        EXPECT_EQ(std::u16string(out, n), c.want);
        EXPECT_EQ(s.tell(), c.position);
    }
}

TEST(DocsUtf8, CharactersAcrossTheWorkBufferEdgeAreWhole) {
    std::u16string text(3000, u'\u20ac');
    Bytes b = build([&](DocsStream &s) { s.writeText(text); });
    MemoryStream m(b);
    DocsStream s(m);
    std::u16string out(3000, u'\0');
    EXPECT_EQ(s.readUtf8(out.data(), 3000, 9000), 3000u);
    EXPECT_EQ(out, text);
    EXPECT_EQ(s.tell(), 9000);
}

TEST(DocsUtf8, ShortWriteStopsAfterTheLastWholeSlice) {
    MemoryStream m;
    m.setLimit(700);
    DocsStream s(m);
    std::u16string text(1200, u'x');
    size_t bytes = 0;
    EXPECT_EQ(s.writeUtf8(text.data(), text.size(), &bytes), 512u);
    EXPECT_EQ(bytes, 512u);
    EXPECT_EQ(s.tell(), 512) << "the part of the failed slice is given back";
    EXPECT_EQ(s.writeText(text), kDocsWriteFailed);
}

TEST(DocsUtf8, TextLeavesOutU0000WhichWouldStartARecord) {
    Bytes b = build([](DocsStream &s) { s.writeText(std::u16string(u"a\0b", 3)); });
    EXPECT_EQ(b, (Bytes{'a', 'b'}));
}

// --- tokens, skipping, seeking --------------------------------------------

TEST(DocsTokens, NextTokenTellsTextFromRecordsAndTheEnd) {
    const std::pair<Bytes, int> cases[] = {
        {{'h', 'i'}, kDocsText}, {{0, 9}, kDocsParagraphEnd}, {{}, kDocsEndOfDocument}, {{0}, kDocsEndOfDocument},
    };
    for (const auto &[bytes, token] : cases) {
        MemoryStream m(bytes);
        DocsStream s(m);
        EXPECT_EQ(s.nextToken(), token);
        EXPECT_EQ(s.tell(), 0);
    }
}

TEST(DocsTokens, SkippingAShortRecordTakesItsContinuationsAlong) {
    Bytes b = {0, 40, 3, 1, 2, 0, 28, 2, 9, 0, 28, 1, 0, 9};
    MemoryStream m(b);
    DocsStream s(m);
    EXPECT_EQ(s.skipRecord(), kDocsOk);
    EXPECT_EQ(s.tell(), 12);
    EXPECT_EQ(s.nextToken(), kDocsParagraphEnd);
}

TEST(DocsTokens, EachFramingIsSkippedAsAWhole) {
    DocsPicture pic;
    pic.dataSize = 5;
    Bytes picture = build([&](DocsStream &s) {
        s.writePicture(pic);
        s.writeBytes("12345", 5);
    });
    const std::pair<Bytes, int64_t> cases[] = {
        {{'t', 'e', 'x', 't'}, 2},
        {{0, 6, 0, 8, 0, 0, 0, 0, 1, 'z'}, 10},
        {{0, 39, 0, 6, 8, 0, 1, 1}, 8},
        {picture, 24},
        {{0, 22, 3, 16, 1}, 5},  // a picture record too short to hold a data size has no data
        {{0, 27}, 2},
    };
    for (const auto &[bytes, end] : cases) {
        MemoryStream m(bytes);
        DocsStream s(m);
        EXPECT_EQ(s.skipRecord(), kDocsOk);
        EXPECT_EQ(s.tell(), end);
    }
}

TEST(DocsTokens, ARecordReachingPastTheEndCannotBeSkipped) {
    const Bytes cases[] = {
        {0, 13, 5, 1}, {0, 6, 0, 30, 1}, {0, 22, 17, 16, 1, 0, 0, 0, 1}, {0, 13, 0}, {0, 6, 0, 1},
        {0, 13, 1, 0, 28, 9}, {'x'}, {0},
    };
    for (const Bytes &b : cases) {
        MemoryStream m(b);
        DocsStream s(m);
        EXPECT_TRUE(docsFailed(s.skipRecord()));
        EXPECT_EQ(s.tell(), 0);
    }
}

TEST(DocsTokens, FailureCodesAreTheSystemsOwn) {
    MemoryStream m(Bytes{1, 2, 3});
    DocsStream s(m);
    EXPECT_EQ(s.seekBy(-1), kDocsSeekFailed);
    uint32_t v;
    EXPECT_EQ(s.readU32(v), kDocsReadFailed);
    EXPECT_EQ(s.tell(), 0);
    m.setLimit(3);
    s.seekToEnd();
    EXPECT_EQ(s.writeU8(1), kDocsWriteFailed);
    for (int32_t code : {kDocsSeekFailed, kDocsNoMemory, kDocsReadFailed, kDocsWriteFailed, kDocsWrongRecordType,
                         kDocsMalformedRecord})
        EXPECT_TRUE(docsFailed(code));
    EXPECT_FALSE(docsFailed(kDocsOk));
}

// --- model helpers ----------------------------------------------------------

TEST(DocsModel, LengthAndLineSpacingConversions) {
    EXPECT_EQ(twipsToPoints(30), 2);
    EXPECT_EQ(twipsToPoints(29), 1);
    EXPECT_EQ(twipsToPoints(-30), -2);
    EXPECT_EQ(twipsToPoints(-29), -1);
    const struct {
        int32_t dya, multiple;
        int16_t code;
    } fromWord[] = {
        {240, 1, 10001}, {360, 1, 10002}, {480, 1, 10003}, {600, 1, 10004}, {300, 1, 10002},
        {245, 0, 25}, {-245, 0, -25}, {240, 7, 10001}, {70000, 0, 10001},
    };
    for (const auto &c : fromWord) EXPECT_EQ(lineSpacingFromWord(c.dya, c.multiple), c.code) << c.dya;
    EXPECT_EQ(lineSpacingToWord(10002).dyaLine, 360);
    EXPECT_TRUE(lineSpacingToWord(10002).multiple);
    EXPECT_EQ(lineSpacingToWord(-25).dyaLine, -250);
    EXPECT_FALSE(lineSpacingToWord(-25).multiple);
    EXPECT_EQ(lineSpacingToWord(10005).dyaLine, 720);
}
