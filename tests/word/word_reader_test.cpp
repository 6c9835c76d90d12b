// The Word reader on small documents built byte by byte: the Docs events
// each kind of content gives.
#include "word_fixture.h"

#include <gtest/gtest.h>

using namespace wordtest;
using Events = std::vector<std::string>;

namespace {

// The events between the document's start records and its end.
Events body(const Converted &c) {
    Events e = docsEvents(c.docs);
    EXPECT_GE(e.size(), 3u);
    EXPECT_EQ(e.front(), "13");
    EXPECT_EQ(e[e.size() - 2], "8");
    EXPECT_EQ(e.back(), "27");
    return Events(e.begin() + 1, e.end() - 2);
}

WordFixture single(const std::string &text) {
    WordFixture f;
    f.paragraphs = {{u16(text), {}}};
    return f;
}

}  // namespace

TEST(WordReader, AnEmptyParagraphGivesTheSmallestDocument) {
    Converted c = convertFixture(single("\r"));
    ASSERT_EQ(c.result, 0);
    // Header, empty page setup, empty document information, then the section.
    const uint8_t start[] = {0x4D, 0x57, 0x51, 0x56, 0x00, 0x10, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x0C, 0x00, 0x00, 0x0F, 0x01, 0x00, 0x14, 0x01,
                             0x00, 0x0D, 0x03, 0x1C, 0x02};
    ASSERT_GE(c.docs.size(), sizeof start);
    EXPECT_TRUE(std::equal(std::begin(start), std::end(start), c.docs.begin()));
    EXPECT_EQ(docsEvents(c.docs), (Events{"13", "14", "9", "8", "27"}));
}

TEST(WordReader, CharactersWithAMeaningOfTheirOwnBecomeSpecialCharacters) {
    WordFixture f;
    f.paragraphs = {{u"a-b\x1E" u"c\u00A0\r", {}}};
    Converted c = convertFixture(f);
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(body(c), (Events{"14", "t:a", "39:5", "t:b", "39:6", "t:c", "39:8", "9"}));
}

TEST(WordReader, ABoldRunSetsTheFormatFlags) {
    WordFixture f = single("ab\r");
    f.runs = {{1, sprm(0x0835, 1, 1)}, {3, {}}};
    Converted c = convertFixture(f);
    ASSERT_EQ(c.result, 0);
    Events e = docsEvents(c.docs, true);
    EXPECT_EQ(Events(e.begin() + 1, e.begin() + 6), (Events{"14", "5:1", "t:a", "5:0", "t:b"}));
}

TEST(WordReader, AHyperlinkCarriesItsTargetAndLocation) {
    std::string code = " HYPERLINK \"page.htm\" \\l \"top\" ";
    WordFixture f = single("\x13" + code + "\x14link\x15\r");
    uint32_t sep = uint32_t(1 + code.size()), end = sep + 5;
    f.fields = {{0, 19, 88}, {sep, 20, 0}, {end, 21, 0}};
    Converted c = convertFixture(f);
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(body(c), (Events{"14", "6:1:page.htm#top", "t:link", "34", "9"}));
}

TEST(WordReader, AFieldWithoutSeparatorStartsAtItsEnd) {
    WordFixture f = single("x\x13 PAGE \x15y\r");
    f.fields = {{1, 19, 33}, {8, 21, 0}};
    Converted c = convertFixture(f);
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(body(c), (Events{"14", "t:x", "6:2: PAGE ", "34", "t:y", "9"}));
}

TEST(WordReader, AStrayFieldMarkIsAFormatError) {
    WordFixture f = single("x\x14y\r");
    EXPECT_EQ(convertFixture(f).result, conv::kWordBadFormat);
}

TEST(WordReader, HyperlinkTargets) {
    struct Case {
        const char *code;
        const char *target;
    } cases[] = {
        {" HYPERLINK \"http://a.b/c d\" ", "http://a.b/c d"},
        {" HYPERLINK page.htm \\l \"top\"", "page.htm#top"},
        {" HYPERLINK \\l \"only\"", "#only"},
        {"HYPERLINK", ""},
        {" HYPERLINK x \\L   \"Y\" \\o \"tip\"", "x#Y"},
    };
    for (const Case &c : cases) EXPECT_EQ(conv::hyperlinkTarget(u16(c.code)), u16(c.target)) << c.code;
}

TEST(WordReader, APageBreakMovesInFrontOfItsParagraph) {
    Converted c = convertFixture(single("ab\x0C" "cd\r"));
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(body(c), (Events{"14", "9", "10", "14", "t:abcd", "9"}));

    // Once a paragraph has gone before, no empty paragraph is needed.
    WordFixture f;
    f.paragraphs = {{u"one\r", {}}, {u"two\x0E" u"three\r", {}}};
    c = convertFixture(f);
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(body(c), (Events{"14", "t:one", "9", "12", "14", "t:twothree", "9"}));
}

TEST(WordReader, ABreakAfterTooMuchOfItsParagraphSplitsIt) {
    std::string longText(70000, 'x');
    Converted c = convertFixture(single(longText + "\x0C" "y\r"));
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(body(c), (Events{"14", "t:" + longText, "9", "10", "14", "t:y", "9"}));
}

TEST(WordReader, ATableOfTwoRowsAndTwoCells) {
    auto inTable = sprm(0x2416, 1, 1);
    std::vector<uint8_t> rowEnd = inTable;
    for (uint8_t b : sprm(0x2417, 1, 1)) rowEnd.push_back(b);
    // Row definition: 2 cells with boundaries 0, 1440, 4320 twips.
    for (uint8_t b : std::vector<uint8_t>{0x08, 0xD6, 0x08, 0x00, 0x02, 0x00, 0x00, 0xA0, 0x05, 0xE0, 0x10})
        rowEnd.push_back(b);
    WordFixture f;
    f.paragraphs = {{u"A\a", inTable}, {u"B\a", inTable}, {u"\a", rowEnd},
                    {u"C\a", inTable}, {u"D\a", inTable}, {u"\a", rowEnd}, {u"after\r", {}}};
    Converted c = convertFixture(f);
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(body(c), (Events{"23:rows=2", "30:cells=2", "31:w=72", "14", "t:A", "9", "31:w=144", "14", "t:B", "9",
                               "30:cells=2", "31:w=72", "14", "t:C", "9", "31:w=144", "14", "t:D", "9", "32",
                               "14", "t:after", "9"}));
}

TEST(WordReader, ANestedTableSitsInItsCell) {
    auto cell = [](int depth, bool innerCell, bool innerRowEnd) {
        std::vector<uint8_t> s = sprm(0x2416, 1, 1);
        for (uint8_t b : sprm(0x6649, uint32_t(depth), 4)) s.push_back(b);
        if (innerCell) for (uint8_t b : sprm(0x244B, 1, 1)) s.push_back(b);
        if (innerRowEnd) for (uint8_t b : sprm(0x244C, 1, 1)) s.push_back(b);
        return s;
    };
    std::vector<uint8_t> outerRowEnd = cell(1, false, false);
    for (uint8_t b : sprm(0x2417, 1, 1)) outerRowEnd.push_back(b);
    WordFixture f;
    f.paragraphs = {{u"x\r", cell(2, true, false)}, {u"\r", cell(2, true, true)},
                    {u"\a", cell(1, false, false)}, {u"\a", outerRowEnd}, {u"end\r", {}}};
    Converted c = convertFixture(f);
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(body(c), (Events{"23:rows=1", "30:cells=1", "31:w=54", "23:rows=1", "30:cells=1", "31:w=54", "14",
                               "t:x", "9", "32", "14", "9", "32", "14", "t:end", "9"}));
}

TEST(WordReader, BookmarksStartAndEndWhereTheTablesSay) {
    WordFixture f = single("hello\r");
    f.bookmarks = {{u"mark", 1, 3}, {u"spot", 5, 5}};
    Converted c = convertFixture(f);
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(body(c), (Events{"14", "t:h", "6:0:mark", "t:el", "34", "t:lo", "6:0:spot", "34", "9"}));
}

TEST(WordReader, SectionsEndAndStartAtTheirBoundaries) {
    WordFixture f;
    f.paragraphs = {{u"one\x0C", {}}, {u"two\r", {}}};
    f.sectionStarts = {0, 4};
    Converted c = convertFixture(f);
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(docsEvents(c.docs), (Events{"13", "14", "t:one", "9", "8", "13", "14", "t:two", "9", "8", "27"}));
}

TEST(WordReader, RefusedDocuments) {
    WordFixture f = single("x\r");
    f.extraFlags = 0x0100;  // encrypted
    EXPECT_EQ(convertFixture(f).result, conv::kWordEncrypted);

    std::vector<uint8_t> document, table;
    single("x\r").build(document, table);
    conv::MemoryWordSource documentSource(document);
    conv::WordStreams noTable;
    noTable.wordDocument = &documentSource;
    conv::MemoryStream out;
    conv::DocsStream docs(out);
    EXPECT_EQ(conv::convertWordStreams(noTable, docs), conv::kWordBadFormat);

    // The other table stream serves when the named one is missing.
    conv::MemoryWordSource tableSource(table);
    conv::WordStreams otherTable = noTable;
    otherTable.table0 = &tableSource;
    EXPECT_EQ(conv::convertWordStreams(otherTable, docs), conv::kWordOk);
}
