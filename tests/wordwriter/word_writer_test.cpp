// The Word writer on Docs documents built for each kind of content: the
// file's fixed parts (FIB, pages, style sheet, fonts, document properties),
// paragraphs, runs, sections, breaks, tables with nested tables, lists,
// fields, hyperlinks and bookmarks, and the failures it reports.
#include "writer_support.h"

#include "byte_order.h"
#include "word_writer.h"

#include <gtest/gtest.h>

using namespace conv;
using wwtest::paragraph;
using wwtest::sprmValue;

namespace {

uint16_t u16At(const std::vector<uint8_t> &b, size_t at) { return at + 2 <= b.size() ? qv::loadLE16(&b[at]) : 0; }
uint32_t u32At(const std::vector<uint8_t> &b, size_t at) { return at + 4 <= b.size() ? qv::loadLE32(&b[at]) : 0; }

// The paragraphs of the written text: each ends with 13, 7 or 12.
std::vector<std::u16string> paragraphsOf(const std::u16string &text) {
    std::vector<std::u16string> out(1);
    for (char16_t c : text) {
        out.back().push_back(c);
        if (c == 13 || c == 7 || c == 12) out.emplace_back();
    }
    out.pop_back();
    return out;
}

}  // namespace

TEST(WordWriter, OneEmptyParagraphIsOneMarkInNormal) {
    wwtest::Written w = wwtest::writeWord(wwtest::docsSection([](DocsStream &s) { paragraph(s, u""); }));
    ASSERT_EQ(w.result, kWriterOk);
    EXPECT_EQ(w.text, u"\r");
    EXPECT_EQ(w.paragraphRun(0).styleIndex, 0);
    // Only the two streams it needs, created in this order.
    ASSERT_EQ(w.streamNames.size(), 2u);
    EXPECT_TRUE(w.data.empty());

    const std::vector<uint8_t> &d = w.document;
    EXPECT_EQ(u16At(d, 0), 0xA5EC);
    EXPECT_EQ(u16At(d, 2), 193);
    EXPECT_EQ(u16At(d, 4), 0x6071);
    EXPECT_EQ(u16At(d, 10), 0x1200);
    EXPECT_EQ(u16At(d, 12), 191);
    EXPECT_EQ(d[0x13], 0x10);
    EXPECT_EQ(u32At(d, 24), 1024u);                 // fcMin
    EXPECT_EQ(u32At(d, 28), 1536u + 2);             // fcMac: the end of the text
    EXPECT_EQ(u16At(d, 32), 14);
    EXPECT_EQ(u16At(d, 34), 0x6A62);
    EXPECT_EQ(u16At(d, 34 + 2 * 13), 0x0409);       // lidFE
    EXPECT_EQ(u16At(d, 62), 22);
    EXPECT_EQ(u32At(d, 64), d.size());              // cbMac
    EXPECT_EQ(u32At(d, 64 + 4), 80403u);
    EXPECT_EQ(u32At(d, 64 + 12), 1u);               // ccpText
    EXPECT_EQ(u32At(d, 64 + 44), 0xFFFFFu);         // no first pages of the bin tables
    EXPECT_EQ(u16At(d, 152), 93);

    // Text on page 3, the disk pages on 4 and 5, the list-value page on 6,
    // the section on 7; 512 zero bytes close the stream.
    ASSERT_EQ(w.pieces.pieces().size(), 1u);
    EXPECT_EQ(w.pieces.pieces()[0].fcStart, 1536u);
    EXPECT_EQ(u32At(w.pair(12), 8), 4u);
    EXPECT_EQ(u32At(w.pair(13), 8), 5u);
    std::vector<uint8_t> lvc = w.pair(86);
    EXPECT_EQ(u32At(lvc, 0), 1536u);
    EXPECT_EQ(u32At(lvc, 8), 6u);
    EXPECT_EQ(u32At(d, 6 * 512), 1536u);
    EXPECT_EQ(u32At(d, 6 * 512 + 4), 1538u);
    EXPECT_EQ(d[6 * 512 + 8], 0xFD);
    EXPECT_EQ(d[6 * 512 + 511], 1);
    std::vector<uint8_t> sections = w.pair(6);
    ASSERT_EQ(sections.size(), 8u + 12u);
    EXPECT_EQ(u32At(sections, 4), 1u);
    EXPECT_EQ(u32At(sections, 8 + 2), 7u * 512);
    EXPECT_EQ(d.size(), 8u * 512 + 512);

    // The fixed tables: style sheet (twice), window state, properties, author.
    EXPECT_EQ(w.pair(0), defaultStyleSheet());
    EXPECT_EQ(w.fib.pair(1).fc, w.fib.pair(0).fc);
    EXPECT_EQ(w.pair(24), (std::vector<uint8_t>{0xFF, 0x40}));
    EXPECT_EQ(w.pair(30).size(), 36u);
    std::vector<uint8_t> dop = w.pair(31);
    ASSERT_EQ(dop.size(), 500u);
    EXPECT_EQ(u16At(dop, 10), 720);
    EXPECT_EQ(u32At(dop, 20), 0x45FBAC69u);
    EXPECT_EQ(u16At(dop, 410), 0x3012);
    EXPECT_EQ(w.pair(51).size(), 6u + 2 + 14);  // one name, "Unknown"
    EXPECT_EQ(w.fib.pair(16).lcb, 0u);          // no fields, bookmarks or lists
    EXPECT_EQ(w.fib.pair(21).lcb, 0u);
    EXPECT_EQ(w.fib.pair(73).lcb, 0u);
    EXPECT_EQ(w.fib.pair(91).lcb, 0u);
}

TEST(WordWriter, FontTableStartsWithThreeFontsAndAddsNamesOnUse) {
    wwtest::Written w = wwtest::writeWord(wwtest::docsSection([](DocsStream &s) {
        s.writeParagraph(DocsParagraph());
        DocsCharFormat f;
        f.fontName = u"Courier New";
        s.writeCharFormatRecord(f, true, true);
        s.writeText(u"x");
        f.fontName = u"Arial";
        s.writeCharFormatRecord(f, true, true);
        s.writeText(u"y");
        s.writeParagraphEnd();
    }));
    std::vector<std::u16string> names;
    ASSERT_TRUE(parseFontTable(ByteView(w.pair(15)), names));
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Arial", u"Symbol", u"Times New Roman", u"Courier New"}));
    std::vector<uint8_t> fonts = w.pair(15);
    EXPECT_EQ(fonts[4], 41 + 2 * 5);  // Arial's entry size − 1
    EXPECT_EQ(fonts[5], 0x26);
    EXPECT_EQ(u16At(fonts, 6), 400);
    EXPECT_EQ(fonts[4 + 52 + 1], 0x16);  // Symbol, character set 2
    EXPECT_EQ(fonts[4 + 52 + 4], 2);
    EXPECT_EQ(sprmValue(w.characterRun(0).sprms, 0x4A4F), 3u);
    EXPECT_EQ(sprmValue(w.characterRun(0).sprms, 0x4A51), 3u);
    EXPECT_EQ(sprmValue(w.characterRun(1).sprms, 0x4A4F), 0u);
}

TEST(WordWriter, CharacterFormatsBecomeSprms) {
    struct Case {
        const char *name;
        DocsCharFormat format;
        uint16_t styleIndex;
        std::vector<std::pair<uint16_t, int64_t>> expected;  // -1: absent
    };
    auto format = [](uint8_t flags, uint8_t size, DocsColor color = {}, DocsColor highlight = {255, 255, 255}) {
        DocsCharFormat f;
        f.formatFlags = flags;
        f.fontSize = size;
        f.textColor = color;
        f.highlightColor = highlight;
        return f;
    };
    const Case cases[] = {
        {"plain 10 points", format(0, 10), 0,
         {{0x0835, -1}, {0x4A43, -1}, {0x6870, -1}, {0x2A0C, -1}, {0x4A4F, 2}}},
        {"bold italic underline at 12", format(0x43, 12), 0,
         {{0x0835, 1}, {0x0836, 1}, {0x2A3E, 1}, {0x0837, -1}, {0x4A43, 24}}},
        {"subscript wins over superscript", format(0x30, 10), 0, {{0x2A48, 2}}},
        {"superscript", format(0x20, 10), 0, {{0x2A48, 1}}},
        {"strike and double strike", format(0x0C, 10), 0, {{0x0837, 1}, {0x2A53, 1}}},
        {"colour and its nearest of the sixteen", format(0, 10, {200, 10, 10}), 0, {{0x6870, 0x0A0AC8}, {0x2A42, 6}}},
        {"highlight", format(0, 10, {}, {250, 250, 0}), 0, {{0x2A0C, 7}}},
        {"a styled paragraph writes everything", format(0, 10), 3,
         {{0x0835, 0}, {0x0836, 0}, {0x2A3E, 0}, {0x2A48, 0}, {0x4A43, 20}, {0x6870, 0}, {0x2A42, 1}, {0x2A0C, 0}}},
    };
    for (const Case &c : cases) {
        wwtest::Written w = wwtest::writeWord(wwtest::docsSection([&](DocsStream &s) {
            DocsParagraph p;
            p.styleIndex = c.styleIndex;
            s.writeParagraph(p);
            s.writeCharFormatRecord(c.format, true, true);
            s.writeTextColor(c.format.textColor);
            s.writeHighlightColor(c.format.highlightColor);
            s.writeText(u"x");
            s.writeParagraphEnd();
        }));
        ASSERT_EQ(w.result, kWriterOk) << c.name;
        std::vector<uint8_t> sprms = w.characterRun(0).sprms;
        for (auto [code, value] : c.expected) {
            if (value < 0) EXPECT_FALSE(sprmValue(sprms, code)) << c.name << " " << std::hex << code;
            else EXPECT_EQ(sprmValue(sprms, code), uint32_t(value)) << c.name << " " << std::hex << code;
        }
    }
}

TEST(WordWriter, ParagraphPropertiesBecomeSprms) {
    DocsParagraph p;
    p.alignment = 3;
    p.leftIndent = 36;
    p.firstLineIndent = -18;
    p.spaceAfter = 6;
    p.lineSpacing = 10003;
    wwtest::Written w = wwtest::writeWord(wwtest::docsSection([&](DocsStream &s) {
        paragraph(s, u"a", p);
        DocsParagraph styled;
        styled.styleIndex = 3;
        styled.alignment = 1;
        paragraph(s, u"b", styled);
        DocsParagraph high;
        high.styleIndex = 48;
        paragraph(s, u"c", high);
    }));
    ASSERT_EQ(w.result, kWriterOk);
    std::vector<uint8_t> a = w.paragraphRun(0).sprms;
    EXPECT_EQ(sprmValue(a, 0x2403), 1u);  // centred
    EXPECT_EQ(sprmValue(a, 0x840F), 720u);
    EXPECT_EQ(sprmValue(a, 0x8411), uint32_t(uint16_t(-360)));
    EXPECT_EQ(sprmValue(a, 0xA414), 120u);
    EXPECT_FALSE(sprmValue(a, 0xA413));
    EXPECT_EQ(sprmValue(a, 0x6412), 480u | (1u << 16));  // double spacing, a multiple
    conv::WordRun b = w.paragraphRun(2);
    EXPECT_EQ(b.styleIndex, 3);
    EXPECT_EQ(sprmValue(b.sprms, 0x2403), 2u);  // right
    EXPECT_EQ(sprmValue(b.sprms, 0xA413), 0u);  // written although 0
    EXPECT_FALSE(sprmValue(b.sprms, 0x6412));   // single spacing is left out
    EXPECT_EQ(w.paragraphRun(4).styleIndex, 48);
    // Every style a paragraph names is defined, so the file reads back.
    WordStyleSheet styles;
    ASSERT_TRUE(styles.parse(ByteView(w.pair(0))));
    EXPECT_EQ(styles.count(), 49u);
    EXPECT_NE(styles.style(3), nullptr);
    EXPECT_NE(styles.style(48), nullptr);
    EXPECT_EQ(styles.style(4), nullptr);
    int rc = -1;
    w.readBack(&rc);
    EXPECT_EQ(rc, 0);
}

TEST(WordWriter, TextLongerThanAPageContinuesInANewPiece) {
    std::u16string text(300, u'x');
    text[256] = u'y';
    wwtest::Written w = wwtest::writeWord(wwtest::docsSection([&](DocsStream &s) { paragraph(s, text); }));
    ASSERT_EQ(w.result, kWriterOk);
    EXPECT_EQ(w.text, text + u"\r");
    ASSERT_EQ(w.pieces.pieces().size(), 2u);
    EXPECT_EQ(w.pieces.pieces()[1].cpStart, 256u);
    EXPECT_EQ(w.pieces.pieces()[1].fcStart, 8u * 512);  // the next free page
    EXPECT_EQ(w.paragraphRun(280).fcStart, 1536u);    // one paragraph over both pieces
}

TEST(WordWriter, SectionsEndWithTheirMarks) {
    std::vector<uint8_t> docs = wwtest::docs([](DocsStream &s) {
        DocsSection first;
        first.landscape = true;
        first.columns = 2;
        first.breakCode = 2;
        first.verticalAlign = 1;
        s.writeSection(first);
        paragraph(s, u"a");
        s.writeSectionEnd();
        DocsSection second;
        second.breakCode = 0;
        second.pageNumberStart = 5;
        s.writeSection(second);
        paragraph(s, u"b");
        s.writeSectionEnd();
    });
    wwtest::Written w = wwtest::writeWord(docs);
    ASSERT_EQ(w.result, kWriterOk);
    // The first section's last paragraph mark is its section mark.
    EXPECT_EQ(w.text, u"a\x0c" u"b\r");
    std::vector<uint8_t> plc = w.pair(6);
    ASSERT_EQ(plc.size(), 12u + 24);
    EXPECT_EQ(u32At(plc, 0), 0u);
    EXPECT_EQ(u32At(plc, 4), 2u);
    EXPECT_EQ(u32At(plc, 8), 4u);
    auto sepx = [&](size_t i) {
        uint32_t fc = u32At(plc, 12 + 12 * i + 2);
        uint16_t size = u16At(w.document, fc);
        return std::vector<uint8_t>(w.document.begin() + fc + 2, w.document.begin() + fc + 2 + size);
    };
    EXPECT_EQ(sprmValue(sepx(0), 0x301D), 2u);
    EXPECT_EQ(sprmValue(sepx(0), 0x500B), 1u);
    EXPECT_EQ(sprmValue(sepx(0), 0x301A), 3u);  // bottom
    EXPECT_EQ(sprmValue(sepx(0), 0xB01F), 596u * 20);
    EXPECT_FALSE(sprmValue(sepx(0), 0x3009));  // a new page is Word's default
    EXPECT_EQ(sprmValue(sepx(1), 0x3009), 0u);
    EXPECT_EQ(sprmValue(sepx(1), 0x501C), 5u);
    EXPECT_EQ(wwtest::docsRecords(w.readBack()), wwtest::docsRecords(docs))
        << "the sections come back as they were";
}

TEST(WordWriter, BreaksBeginTheNextParagraph) {
    wwtest::Written w = wwtest::writeWord(wwtest::docsSection([](DocsStream &s) {
        paragraph(s, u"a");
        s.writePageBreak();
        s.writeParagraph(DocsParagraph());
        s.writeText(u"b");
        s.writeLineBreak();
        s.writeText(u"c");
        s.writeColumnBreak();  // inside a paragraph: for the next one
        s.writeParagraphEnd();
        paragraph(s, u"d");
    }));
    ASSERT_EQ(w.result, kWriterOk);
    EXPECT_EQ(w.text, u"a\r\x0c" u"b\x0b" u"c\r\x0e" u"d\r");
}

TEST(WordWriter, HyperlinkFieldCodeAndObject) {
    struct Case {
        std::u16string target;
        std::u16string code;
        uint32_t flags;
        uint32_t objectLength;
    };
    const Case cases[] = {
        {u"a.htm#x", u" HYPERLINK \"a.htm\" \\l \"x\" ", 9, 93 + 16 + 4 + 12 + 4 + 4},
        {u"http://e.org/", u" HYPERLINK \"http://e.org/\" ", 3, 93 + 16 + 4 + 28},
        {u"#top  ", u" HYPERLINK \\l \"top\" ", 8, 93 + 4 + 8},
    };
    for (const Case &c : cases) {
        wwtest::Written w = wwtest::writeWord(wwtest::docsSection([&](DocsStream &s) {
            s.writeParagraph(DocsParagraph());
            DocsFieldStart f;
            f.kind = DocsFieldStart::kHyperlink;
            f.id = 1;
            f.text = c.target;
            s.writeFieldStart(f);
            s.writeText(u"here");
            s.writeFieldEnd(DocsFieldEnd{1});
            s.writeParagraphEnd();
        }));
        ASSERT_EQ(w.result, kWriterOk);
        EXPECT_EQ(w.text, u"\x13" + c.code + u"\x01\x14here\x15\r");
        // Field table: begin (type 88), separator, end.
        std::vector<uint8_t> plc = w.pair(16);
        ASSERT_EQ(plc.size(), 16u + 6);
        size_t separator = c.code.size() + 2;
        EXPECT_EQ(u32At(plc, 4), separator);
        EXPECT_EQ(u32At(plc, 8), separator + 5);
        EXPECT_EQ(plc[16], 19);
        EXPECT_EQ(plc[17], 88);
        EXPECT_EQ(plc[18], 20);
        EXPECT_EQ(plc[20], 21);
        EXPECT_EQ(plc[21], 0x80);
        EXPECT_EQ(sprmValue(w.characterRun(0).sprms, 0x0855), 1u);
        // The character 1 points at the object in "Data".
        std::vector<uint8_t> one = w.characterRun(uint32_t(separator - 1)).sprms;
        EXPECT_EQ(sprmValue(one, 0x6A03), 0u);
        EXPECT_EQ(sprmValue(one, 0x0802), 0x81u);
        EXPECT_EQ(sprmValue(one, 0x0806), 1u);
        const std::vector<uint8_t> &o = w.data;
        ASSERT_GE(o.size(), 93u);
        EXPECT_EQ(u32At(o, 0), c.objectLength);
        EXPECT_EQ(u16At(o, 4), 68);
        EXPECT_EQ(o[68], c.flags & 8 ? 8 : 0);
        EXPECT_EQ(u32At(o, 69), 0x79EAC9D0u);
        EXPECT_EQ(u32At(o, 85), 2u);
        EXPECT_EQ(u32At(o, 89), c.flags);
        if (c.flags & 1) {
            EXPECT_EQ(u32At(o, 93), 0x79EAC9E0u);
        }
        // Read back, the target is whole again (trailing blanks gone).
        std::vector<std::string> records = wwtest::docsRecords(w.readBack());
        std::u16string target = c.target;
        while (target.back() == u' ') target.pop_back();
        bool found = false;
        for (const auto &r : records)
            found = found || r == "6 1 0 0 0 0 [" + std::string(target.begin(), target.end()) + "]";
        EXPECT_TRUE(found) << std::string(c.target.begin(), c.target.end());
    }
}

TEST(WordWriter, OtherFieldsAndBookmarks) {
    std::vector<uint8_t> docs = wwtest::docsSection([](DocsStream &s) {
        s.writeParagraph(DocsParagraph());
        DocsFieldStart mark;
        mark.kind = DocsFieldStart::kBookmark;
        mark.id = 7;
        mark.text = u"here";
        s.writeFieldStart(mark);
        s.writeText(u"ab");
        DocsFieldStart page;
        page.kind = DocsFieldStart::kField;
        page.id = 8;
        page.fieldType = 33;
        page.text = u" PAGE ";
        s.writeFieldStart(page);
        s.writeText(u"1");
        s.writeFieldEnd(DocsFieldEnd{8});
        s.writeFieldEnd(DocsFieldEnd{7});
        DocsFieldStart ole;
        ole.kind = DocsFieldStart::kField;
        ole.id = 9;
        ole.fieldType = 58;
        ole.objectFlag = 1;
        ole.oleObjectFlag = 1;
        ole.pictureLocation = 0x1234;
        ole.text = u" EMBED ";
        s.writeFieldStart(ole);
        s.writeText(u"o");
        s.writeFieldEnd(DocsFieldEnd{9});
        s.writeParagraphEnd();
    });
    wwtest::Written w = wwtest::writeWord(docs);
    ASSERT_EQ(w.result, kWriterOk);
    EXPECT_EQ(w.text, u"ab\x13 PAGE \x14" u"1\x15\x13 EMBED \x14o\x15\r");
    std::vector<uint8_t> plc = w.pair(16);
    ASSERT_EQ(plc.size(), 7u * 4 + 6 * 2);
    EXPECT_EQ(plc[28 + 1], 33);
    EXPECT_EQ(plc[28 + 7], 58);
    // The separator of an embedded object carries its place and flags.
    std::vector<uint8_t> separator = w.characterRun(20).sprms;
    EXPECT_EQ(sprmValue(separator, 0x0856), 1u);
    EXPECT_EQ(sprmValue(separator, 0x6A03), 0x1234u);
    EXPECT_EQ(sprmValue(separator, 0x080A), 1u);
    EXPECT_EQ(sprmValue(w.characterRun(9).sprms, 0x6A03), 0u);
    EXPECT_FALSE(sprmValue(w.characterRun(9).sprms, 0x080A));
    // One bookmark from 0 to 12, after the field it holds.
    WordBookmarks bookmarks;
    ASSERT_TRUE(bookmarks.parse(ByteView(w.pair(21)), w.pair(22), w.pair(23)));
    ASSERT_EQ(bookmarks.names, std::vector<std::u16string>{u"here"});
    EXPECT_EQ(bookmarks.startOf(0), 0u);
    EXPECT_EQ(bookmarks.ends.position(bookmarks.endIndexOf(0)), 12u);
    EXPECT_EQ(wwtest::docsRecords(w.readBack()), wwtest::docsRecords(docs));
}

TEST(WordWriter, AFieldWithoutResultHasNoSeparator) {
    wwtest::Written w = wwtest::writeWord(wwtest::docsSection([](DocsStream &s) {
        s.writeParagraph(DocsParagraph());
        DocsFieldStart f;
        f.kind = DocsFieldStart::kField;
        f.id = 1;
        f.fieldType = 12;
        f.text = u" SEQ x \\h ";
        s.writeFieldStart(f);
        s.writeFieldEnd(DocsFieldEnd{1});
        s.writeText(u"z");
        s.writeParagraphEnd();
    }));
    ASSERT_EQ(w.result, kWriterOk);
    EXPECT_EQ(w.text, u"\x13 SEQ x \\h \x15z\r");
    std::vector<uint8_t> plc = w.pair(16);
    ASSERT_EQ(plc.size(), 3u * 4 + 2 * 2);
    EXPECT_EQ(plc[14], 21);
    EXPECT_EQ(plc[15], 0);  // no separator
}

TEST(WordWriter, ListsDefinitionsOverridesAndLevels) {
    DocsListDefinition bullets;
    bullets.listId = 0;
    bullets.formats = {23, 24, 25, 22, 7, 1, 255, 0, 0};
    DocsListDefinition numbers;
    numbers.listId = 1;
    numbers.multilevel = 1;
    numbers.formats = {0, 0, 4, 0, 0, 0, 0, 0, 255};
    numbers.startValues[0] = 3;
    std::vector<uint8_t> docs = wwtest::docs([&](DocsStream &s) {
        s.writeListDefinition(bullets);
        s.writeListDefinition(numbers);
        s.writeSection(DocsSection());
        s.writeParagraph(DocsParagraph());
        s.writeListReference(DocsListReference{1, 2});
        s.writeText(u"item");
        s.writeParagraphEnd();
        s.writeSectionEnd();
    });
    wwtest::Written w = wwtest::writeWord(docs);
    ASSERT_EQ(w.result, kWriterOk);
    std::vector<uint8_t> sprms = w.paragraphRun(0).sprms;
    EXPECT_EQ(sprmValue(sprms, 0x460B), 2u);
    EXPECT_EQ(sprmValue(sprms, 0x260A), 2u);

    EXPECT_EQ(w.fib.pair(73).lcb, 2u + 2 * 28);  // the levels follow, uncounted
    WordLists lists;
    MemoryWordSource table(w.table);
    ASSERT_TRUE(lists.parseLists(table, w.fib.pair(73).fc, w.fib.pair(73).lcb));
    ASSERT_TRUE(lists.parseOverrides(ByteView(w.pair(74))));
    ASSERT_EQ(lists.lists.size(), 2u);
    ASSERT_EQ(lists.overrides.size(), 2u);
    EXPECT_EQ(lists.overrides[1].listId, 1);
    const auto &b = lists.lists[0].levels;
    ASSERT_EQ(b.size(), 9u);
    EXPECT_EQ(b[0].numberFormat, 23);
    EXPECT_EQ(b[0].text, u"\uF0B7");
    EXPECT_EQ(b[1].text, u"o");
    EXPECT_EQ(b[2].text, u"\uF0A7");
    EXPECT_EQ(b[3].numberFormat, 22);
    EXPECT_EQ(b[3].text, std::u16string(u"\x03."));
    const auto &n = lists.lists[1].levels;
    EXPECT_EQ(n[0].startAt, 3);
    EXPECT_EQ(n[2].numberFormat, 4);
    EXPECT_EQ(n[2].text, std::u16string(u"\x02."));           // not decimal: its own number
    EXPECT_EQ(n[3].text, std::u16string(u"\x00.\x01.\x02.\x03.", 8));  // decimal in a multilevel list
    EXPECT_EQ(n[8].numberFormat, 255);
    // The fonts of the bullets were added; the names table has one empty name per list.
    std::vector<std::u16string> fonts;
    ASSERT_TRUE(parseFontTable(ByteView(w.pair(15)), fonts));
    EXPECT_EQ(fonts.back(), u"Wingdings");
    EXPECT_EQ(w.pair(91), (std::vector<uint8_t>{0xFF, 0xFF, 2, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(wwtest::docsRecords(w.readBack()), wwtest::docsRecords(docs));
}

TEST(WordWriter, ListLevelBytes) {
    DocsListDefinition list;
    list.formats = {23, 0, 0, 0, 0, 0, 0, 0, 0};
    FontTable fonts;
    std::vector<uint8_t> level = ListTable::encodeLevel(list, 1, fonts);
    // Fixed part: start 1, decimal, number at position 1, tab follows.
    EXPECT_EQ(u32At(level, 0), 1u);
    EXPECT_EQ(level[4], 0);
    EXPECT_EQ(level[6], 1);
    EXPECT_EQ(level[15], 0);
    EXPECT_EQ(level[24], 0);   // no character sprms
    ASSERT_EQ(level[25], 24);  // five paragraph sprms
    std::vector<uint8_t> papx(level.begin() + 28, level.begin() + 28 + 24);
    EXPECT_EQ(sprmValue(papx, 0x8460), uint32_t(uint16_t(-360)));
    EXPECT_EQ(sprmValue(papx, 0x845E), 720u);
    EXPECT_EQ(wwtest::sprmOperand(papx, 0xC615), (std::vector<uint8_t>{5, 0, 1, 0xD0, 0x02, 6}));
    EXPECT_EQ(sprmValue(papx, 0x840F), 720u);
    std::vector<uint8_t> bullet = ListTable::encodeLevel(list, 0, fonts);
    ASSERT_EQ(bullet[24], 11);  // 0x286F, 0x4A51, 0x4A4F
    std::vector<uint8_t> chpx(bullet.begin() + 28 + bullet[25], bullet.begin() + 28 + bullet[25] + 11);
    EXPECT_EQ(sprmValue(chpx, 0x286F), 0u);
    EXPECT_EQ(sprmValue(chpx, 0x4A4F), 1u);  // Symbol
    // A code that is no number format is a bullet.
    list.formats[2] = 99;
    std::vector<uint8_t> other = ListTable::encodeLevel(list, 2, fonts);
    EXPECT_EQ(other[4], 23);
    EXPECT_EQ(other[24], 0);
}

TEST(WordWriter, TablesWithNestedTables) {
    std::vector<uint8_t> docs = wwtest::docsSection([](DocsStream &s) {
        s.writeTable(DocsTable{1, 1, 0});
        s.writeRow(DocsRow{0, 2, 65531});  // starts 5 points left of the margin
        s.writeCell(DocsCell{1, 100, 0});
        paragraph(s, u"a");
        paragraph(s, u"b");
        s.writeCell(DocsCell{2, 50, 0});
        s.writeTable(DocsTable{2, 1, 0});
        s.writeRow(DocsRow{0, 1, 0});
        s.writeCell(DocsCell{1, 40, 0});
        paragraph(s, u"c");
        paragraph(s, u"d");
        s.writeTableEnd();
        paragraph(s, u"");
        s.writeTableEnd();
        paragraph(s, u"e");
    });
    wwtest::Written w = wwtest::writeWord(docs);
    ASSERT_EQ(w.result, kWriterOk);
    EXPECT_EQ(paragraphsOf(w.text),
              (std::vector<std::u16string>{u"a\r", u"b\x07", u"c\r", u"d\r", u"\r", u"\x07", u"\x07", u"e\r"}));
    // Depth 1 paragraphs: in table, depth 1; the cell mark too.
    std::vector<uint8_t> a = w.paragraphRun(0).sprms;
    EXPECT_EQ(sprmValue(a, 0x2416), 1u);
    EXPECT_EQ(sprmValue(a, 0x6649), 1u);
    EXPECT_FALSE(sprmValue(a, 0x244B));
    // Nested: only the mark that ends the inner cell says so.
    EXPECT_FALSE(sprmValue(w.paragraphRun(4).sprms, 0x244B));
    EXPECT_EQ(sprmValue(w.paragraphRun(4).sprms, 0x6649), 2u);
    EXPECT_EQ(sprmValue(w.paragraphRun(6).sprms, 0x244B), 1u);
    // The inner row end.
    std::vector<uint8_t> innerRow = w.paragraphRun(8).sprms;
    EXPECT_EQ(sprmValue(innerRow, 0x244C), 1u);
    EXPECT_EQ(sprmValue(innerRow, 0x244B), 1u);
    EXPECT_FALSE(sprmValue(innerRow, 0x2417));
    // The outer row end: its definition with the boundaries in twips.
    std::vector<uint8_t> row = w.paragraphRun(10).sprms;
    EXPECT_EQ(sprmValue(row, 0x2417), 1u);
    EXPECT_EQ(sprmValue(row, 0x740A), 0x01E00000u);
    EXPECT_EQ(sprmValue(row, 0x9602), 108u);
    EXPECT_EQ(sprmValue(row, 0x3615), 1u);
    auto def = wwtest::sprmOperand(row, 0xD608);
    ASSERT_TRUE(def);
    ASSERT_EQ(def->size(), 2u + 1 + 3 * 2 + 2 * 20);
    EXPECT_EQ(u16At(*def, 0), 1 + 3 * 2 + 2 * 20 + 1);
    EXPECT_EQ((*def)[2], 2);
    EXPECT_EQ(int16_t(u16At(*def, 3)), -100);
    EXPECT_EQ(int16_t(u16At(*def, 5)), 1900);
    EXPECT_EQ(int16_t(u16At(*def, 7)), 2900);
    auto borders = wwtest::sprmOperand(row, 0xD605);
    ASSERT_TRUE(borders);
    EXPECT_EQ(borders->size(), 25u);
    EXPECT_EQ(u32At(*borders, 1), 0x104u);
    EXPECT_FALSE(sprmValue(w.paragraphRun(12).sprms, 0x2416));  // after the table
    EXPECT_EQ(wwtest::docsRecords(w.readBack()), wwtest::docsRecords(docs));
}

TEST(WordWriter, SpecialCharactersKeepTheirFlag) {
    wwtest::Written w = wwtest::writeWord(wwtest::docsSection([](DocsStream &s) {
        s.writeParagraph(DocsParagraph());
        s.writeSpecialChar(DocsSpecialChar{DocsSpecialChar::kFootnoteReference, 2, 1});
        s.writeSpecialChar(DocsSpecialChar{DocsSpecialChar::kNonBreakingHyphen, 30, 0});
        s.writeParagraphEnd();
    }));
    ASSERT_EQ(w.result, kWriterOk);
    EXPECT_EQ(w.text, u"\x02\x1e\r");
    EXPECT_EQ(sprmValue(w.characterRun(0).sprms, 0x0855), 1u);
    EXPECT_FALSE(sprmValue(w.characterRun(1).sprms, 0x0855));
}

TEST(WordWriter, StructuralCharactersInTextDoNotBreakTheDocument) {
    wwtest::Written w = wwtest::writeWord(wwtest::docsSection([](DocsStream &s) {
        s.writeParagraph(DocsParagraph());
        s.writeText(u"a\x13" u"b\rc\x07\x15\x01\x08" u"d\x09" u"e");
        s.writeSpecialChar(DocsSpecialChar{0, 0x14, 1});
        s.writeParagraphEnd();
    }));
    ASSERT_EQ(w.result, kWriterOk);
    EXPECT_EQ(w.text, u"ab\x0b" u"cd\x09" u"e\r");
    int rc = -1;
    w.readBack(&rc);
    EXPECT_EQ(rc, 0);
}

TEST(WordWriter, FailuresAreReported) {
    struct Case {
        const char *name;
        std::vector<uint8_t> docs;
        int expected;
    };
    std::vector<uint8_t> truncated = wwtest::docsSection([](DocsStream &s) { paragraph(s, u"abc"); });
    truncated.resize(truncated.size() - 6);  // ends inside the paragraph
    std::vector<uint8_t> protectedDocs = {0x4D, 0x57, 0x51, 0x56, 0, 34, 0, 3, 0, 0, 0, 0, 0, 0, 12, 0, 0, 16};
    protectedDocs.resize(34, 0xAB);
    const Case cases[] = {
        {"a file that ends inside a paragraph", truncated, kWriterBadInput},
        {"a protected document", protectedDocs, kWriterProtected},
        {"a list reference to no list", wwtest::docsSection([](DocsStream &s) {
             s.writeParagraph(DocsParagraph());
             s.writeListReference(DocsListReference{5, 0});
             s.writeParagraphEnd();
         }),
         kWriterBadInput},
        {"a row too wide for a disk page", wwtest::docsSection([](DocsStream &s) {
             s.writeTable(DocsTable{1, 1, 0});
             s.writeRow(DocsRow{0, 40, 0});
             for (uint8_t c = 1; c <= 40; ++c) {
                 s.writeCell(DocsCell{c, 20, 0});
                 paragraph(s, u"x");
             }
             s.writeTableEnd();
         }),
         kWriterTooComplex},
    };
    for (const Case &c : cases) {
        MemoryStream source(c.docs), destination;
        EXPECT_EQ(convertDocsStreamToWord(source, destination, 1), c.expected) << c.name;
        if (c.expected == kWriterProtected) {
            EXPECT_EQ(destination.size(), 0) << c.name;
        }
    }
}

TEST(WordWriter, NothingToWriteStillGivesADocument) {
    // No section, no paragraph: one paragraph mark in one section.
    for (const std::vector<uint8_t> &docs : {wwtest::docs([](DocsStream &) {}), std::vector<uint8_t>{}}) {
        wwtest::Written w = wwtest::writeWord(docs);
        ASSERT_EQ(w.result, kWriterOk);
        EXPECT_EQ(w.text, u"\r");
        EXPECT_EQ(w.pair(6).size(), 20u);
    }
}

TEST(WordWriter, WordToDocsToWordGivesTheSameRecords) {
    // Content as the Word reader writes it: formats after each paragraph
    // start, lists, tables, fields, bookmarks, breaks, sections, a picture.
    DocsListDefinition list;
    list.formats = {0, 4, 23, 0, 0, 0, 0, 0, 0};
    // A Word picture without a BLIP: a picture descriptor and an empty shape container.
    std::vector<uint8_t> picture(76, 0);
    qv::storeLE32(&picture[0], 76);
    qv::storeLE16(&picture[4], 68);
    qv::storeLE16(&picture[6], 100);
    qv::storeLE16(&picture[68], 0x000F);
    qv::storeLE16(&picture[70], 0xF004);
    DocsDocInfo info;
    info.setString(DocsDocInfo::kTitle, u"Title");
    info.setString(DocsDocInfo::kAuthor, u"Author");
    std::vector<uint8_t> docs = wwtest::docs([&](DocsStream &s) {
        s.writeListDefinition(list);
        DocsSection section;
        section.breakCode = 2;
        s.writeSection(section);
        DocsParagraph heading;
        heading.styleIndex = 1;
        heading.spaceBefore = 12;
        s.writeParagraph(heading);
        DocsCharFormat bold;
        bold.formatFlags = DocsCharFormat::kBold;
        bold.fontSize = 16;
        bold.fontName = u"Arial";
        s.writeCharFormatRecord(bold, true, true);
        s.writeTextColor(DocsColor{0x36, 0x5F, 0x91});
        s.writeText(u"Heading");
        s.writeParagraphEnd();
        s.writeParagraph(DocsParagraph());
        s.writeListReference(DocsListReference{0, 1});
        s.writeCharFormatRecord(DocsCharFormat(), true, true);
        s.writeText(u"item ");
        DocsCharFormat italic;
        italic.formatFlags = DocsCharFormat::kItalic;
        s.writeCharFormatRecord(italic, false, false);
        s.writeText(u"slanted");
        s.writeParagraphEnd();
        s.writePageBreak();
        s.writeParagraph(DocsParagraph());
        s.writeCharFormatRecord(DocsCharFormat(), true, true);
        DocsFieldStart mark{DocsFieldStart::kBookmark, 5, 0, 0, 0, 0, u"spot"};
        s.writeFieldStart(mark);
        s.writeText(u"marked");
        s.writeFieldEnd(DocsFieldEnd{5});
        s.writeLineBreak();
        s.writeCharFormatRecord(DocsCharFormat(), false, false);  // the picture's own run
        DocsPicture p;
        p.depth = 16;
        p.dataSize = uint32_t(8 + picture.size());
        p.pixelWidth = p.pixelHeight = p.displayWidth = p.displayHeight = 1;
        p.format = DocsPicture::kWordPicture;
        s.writePicture(p);
        s.writeU32(0);
        s.writeU32(uint32_t(picture.size()));
        s.writeBytes(picture.data(), picture.size());
        s.writeCharFormatRecord(DocsCharFormat(), false, false);
        s.writeSpecialChar(DocsSpecialChar{DocsSpecialChar::kHyphen, u'-', 0});
        s.writeText(u"end");
        s.writeParagraphEnd();
        s.writeTable(DocsTable{1, 1, 0});
        s.writeRow(DocsRow{0, 2, 0});
        s.writeCell(DocsCell{1, 200, 0});
        paragraph(s, u"one");
        s.writeCell(DocsCell{2, 100, 0});
        paragraph(s, u"two");
        s.writeTableEnd();
        paragraph(s, u"after");
        s.writeSectionEnd();
        DocsSection landscape;
        landscape.breakCode = 2;
        landscape.landscape = true;
        landscape.pageWidth = 842;
        landscape.pageHeight = 596;
        s.writeSection(landscape);
        paragraph(s, u"");
        paragraph(s, u"last");
        s.writeSectionEnd();
    }, info);
    wwtest::Written w = wwtest::writeWord(docs);
    ASSERT_EQ(w.result, kWriterOk);
    int rc = -1;
    std::vector<uint8_t> again = w.readBack(&rc);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(wwtest::docsRecords(again, true), wwtest::docsRecords(docs, true));
}
