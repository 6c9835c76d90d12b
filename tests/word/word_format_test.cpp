// The Word format building blocks on byte fixtures: sprm operand sizes,
// plexes, string tables, the piece table, formatted disk pages, the style
// sheet's based-on chains, and the result texts.
#include "buffered_stream.h"
#include "conversion_results.h"
#include "word_format.h"
#include "word_tables.h"
#include "word_text.h"

#include <gtest/gtest.h>

using namespace conv;

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> v;
    for (int b : list) v.push_back(uint8_t(b));
    return v;
}

}  // namespace

TEST(WordFormat, SprmOperandSizesFollowTheSizeCode) {
    struct Case {
        uint16_t sprm;
        std::vector<uint8_t> operand;
        int size;
    } cases[] = {
        {0x0835, bytes({1}), 1},                        // toggle
        {0x2403, bytes({1}), 1},                        // byte
        {0x4A43, bytes({24, 0}), 2},                    // word
        {0x6412, bytes({240, 0, 1, 0}), 4},             // long
        {0x840F, bytes({0, 0}), 2},                     // signed word
        {0xA413, bytes({0, 0}), 2},                     // word
        {0xC60D, bytes({3, 1, 2, 3}), 4},               // counted
        {0xF614, bytes({1, 2, 3}), 3},                  // three bytes
        {0xD608, bytes({5, 0, 1, 0, 0, 0x10, 0}), 6},   // table definition: u16 count + 1
        {0xC615, bytes({255, 1, 0, 0, 0, 0, 1, 0, 0, 0}), 10},  // tabs sized by their lists
        {0xC615, bytes({2, 0, 0}), 3},
        {0x6412, bytes({240, 0}), -1},                  // cut short
        {0xC60D, bytes({9, 1}), -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(sprmOperandSize(c.sprm, ByteView(c.operand)), c.size) << std::hex << c.sprm;
}

TEST(WordFormat, SprmIteratorStopsAtASprmThatDoesNotFit) {
    std::vector<uint8_t> g = bytes({0x35, 0x08, 0x01, 0x43, 0x4A, 0x18, 0x00, 0x12, 0x64, 0xF0});
    SprmIterator it{ByteView(g)};
    Sprm s;
    ASSERT_TRUE(it.next(s));
    EXPECT_EQ(s.code, 0x0835);
    EXPECT_EQ(s.u8(), 1);
    ASSERT_TRUE(it.next(s));
    EXPECT_EQ(s.u16(), 24);
    EXPECT_FALSE(it.next(s));
    EXPECT_FALSE(it.next(s));
}

TEST(WordFormat, PlexFindsTheEntryHoldingAPosition) {
    Plcf p;
    EXPECT_FALSE(p.parse(bytes({0, 0, 0, 0, 5}), 2));  // no whole number of entries
    ASSERT_TRUE(p.parse(bytes({0, 0, 0, 0, 10, 0, 0, 0, 20, 0, 0, 0, 'a', 'b', 'c', 'd'}), 2));
    EXPECT_EQ(p.count(), 2u);
    EXPECT_EQ(p.find(0), 0u);
    EXPECT_EQ(p.find(15), 1u);
    EXPECT_EQ(p.find(20), 2u);  // past the end
    EXPECT_EQ(p.element(1).u8(0), 'c');
    EXPECT_EQ(p.lowerBound(10), 1u);
}

TEST(WordFormat, StringTablesOfBothWidths) {
    Sttb t;
    ASSERT_TRUE(parseSttb(ByteView(bytes({0xFF, 0xFF, 2, 0, 0, 0, 2, 0, 'h', 0, 'i', 0, 0, 0})), t));
    ASSERT_EQ(t.strings.size(), 2u);
    EXPECT_EQ(t.strings[0], u"hi");
    EXPECT_EQ(t.strings[1], u"");
    ASSERT_TRUE(parseSttb(ByteView(bytes({1, 0, 0, 0, 2, 'a', 0x80})), t));
    EXPECT_EQ(t.strings[0], u"a\u20AC");  // 8-bit strings are Windows-1252
    EXPECT_FALSE(parseSttb(ByteView(bytes({0xFF, 0xFF, 1, 0, 0, 0, 9, 0, 'x', 0})), t));
}

TEST(WordFormat, PiecesOf8BitAndUtf16Text) {
    // Two pieces: CP 0-3 8-bit at byte 0x800, CP 3-5 UTF-16 at 0x1000 with a sprm group.
    std::vector<uint8_t> clx = bytes({1, 3, 0, 0x35, 0x08, 1, 2, 28, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 5, 0, 0, 0,
                                      0, 0, 0x00, 0x10, 0x00, 0x40, 0, 0, 0, 0, 0x00, 0x10, 0, 0, 1, 0});
    WordPieceTable t;
    ASSERT_TRUE(t.parse(ByteView(clx)));
    ASSERT_EQ(t.pieces().size(), 2u);
    EXPECT_TRUE(t.pieces()[0].compressed);
    EXPECT_EQ(t.pieces()[0].fcStart, 0x800u);
    EXPECT_FALSE(t.pieces()[1].compressed);
    EXPECT_EQ(t.pieces()[1].fcOf(4), 0x1002u);
    EXPECT_EQ(t.pieceSprms(t.pieces()[1]).size, 3u);
    EXPECT_EQ(t.pieceSprms(t.pieces()[0]).size, 0u);
    EXPECT_EQ(t.find(4), 1u);
    EXPECT_EQ(t.find(5), 2u);

    std::vector<uint8_t> doc(0x1004, 0);
    doc[0x800] = 'a';
    doc[0x801] = 0x93;
    doc[0x1000] = 0x3B;
    doc[0x1001] = 0x04;
    MemoryWordSource source(doc);
    WordTextReader reader(source);
    char16_t c = 0;
    ASSERT_EQ(reader.charAt(t.pieces()[0], 1, c), kWordOk);
    EXPECT_EQ(c, u'\u201C');
    ASSERT_EQ(reader.charAt(t.pieces()[1], 3, c), kWordOk);
    EXPECT_EQ(c, u'\u043B');

    // Pieces that go backwards, and a piece table without its plex, are refused.
    clx[19] = 2;
    EXPECT_FALSE(t.parse(ByteView(clx)));
    EXPECT_FALSE(t.parse(ByteView(bytes({1, 0, 0}))));
}

TEST(WordFormat, ParagraphPagesKeepTheirPropertiesInBothSizeForms) {
    std::vector<uint8_t> doc(1024, 0);
    uint8_t *page = &doc[512];
    // Three runs: 0x100-0x110 odd PAPX, 0x110-0x120 even PAPX, 0x120-0x130 none.
    uint32_t fcs[] = {0x100, 0x110, 0x120, 0x130};
    for (int i = 0; i < 4; ++i) page[4 * i] = uint8_t(fcs[i]), page[4 * i + 1] = uint8_t(fcs[i] >> 8);
    page[16 + 0] = 200 / 2;
    page[16 + 13] = 220 / 2;
    page[16 + 26] = 0;
    page[511] = 3;
    // cb 2: three bytes, the style index 5 and one byte of sprms.
    page[200] = 2, page[201] = 5, page[202] = 0, page[203] = 0xAA;
    // cb 0, then 2 words: style 7 and sprm 0x2403 0x01 + pad.
    page[220] = 0, page[221] = 2, page[222] = 7, page[223] = 0, page[224] = 0x03, page[225] = 0x24;
    MemoryWordSource source(doc);
    WordRunTable runs(source, WordRunTable::kParagraph);
    ASSERT_TRUE(runs.parse(bytes({0, 1, 0, 0, 0x30, 1, 0, 0, 1, 0, 0, 0})));
    WordRun run;
    ASSERT_EQ(runs.find(0x105, run), kWordOk);
    EXPECT_EQ(run.styleIndex, 5);
    EXPECT_EQ(run.sprms.size(), 1u);
    ASSERT_EQ(runs.find(0x110, run), kWordOk);
    EXPECT_EQ(run.styleIndex, 7);
    EXPECT_EQ(run.sprms, bytes({0x03, 0x24}));
    ASSERT_EQ(runs.find(0x12F, run), kWordOk);
    EXPECT_EQ(run.fcEnd, 0x130u);
    EXPECT_TRUE(run.sprms.empty());
    EXPECT_EQ(runs.find(0x130, run), kWordEndOfText);
    EXPECT_EQ(runs.find(0x50, run), kWordEndOfText);

    // A page beyond the stream is a short read.
    WordRunTable far(source, WordRunTable::kCharacter);
    ASSERT_TRUE(far.parse(bytes({0, 1, 0, 0, 0x30, 1, 0, 0, 9, 0, 0, 0})));
    EXPECT_EQ(far.find(0x100, run), kWordShortRead);
}

TEST(WordFormat, StyleChainsStartAtTheRootAndStopAtLoops) {
    // Three paragraph styles: 0 no base, 1 based on 0, 2 and 3 based on each other.
    auto style = [](uint16_t base) {
        std::vector<uint8_t> s = {0, 0, uint8_t(0x01 | (base << 4)), uint8_t(base >> 4), 0, 0, 0, 0, 0, 0,
                                  0, 0, 0, 0};
        return s;
    };
    std::vector<uint8_t> sheet = {4, 0, 4, 0, 10, 0};
    for (uint16_t base : {uint16_t(0xFFF), uint16_t(0), uint16_t(3), uint16_t(2)}) {
        auto s = style(base);
        sheet.push_back(uint8_t(s.size()));
        sheet.push_back(0);
        sheet.insert(sheet.end(), s.begin(), s.end());
    }
    WordStyleSheet styles;
    ASSERT_TRUE(styles.parse(ByteView(sheet)));
    auto chain = styles.chain(1);
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[0], styles.style(0));
    EXPECT_EQ(styles.chain(2).size(), 2u);
    EXPECT_TRUE(styles.chain(9).empty());
}

TEST(ConversionResults, CodesAndTexts) {
    EXPECT_EQ(resultFromInternal(0), 0u);
    EXPECT_EQ(resultFromInternal(6), 0x07A00203u);
    EXPECT_EQ(resultFromInternal(14), 0x07A00203u);
    EXPECT_EQ(resultFromInternal(5), 0x07A00206u);
    EXPECT_EQ(resultFromInternal(11), 0x07000104u);
    EXPECT_EQ(resultFromInternal(8), 0x07A002FFu);
    EXPECT_EQ(resultFromInternal(42), 0x07A002FFu);
    EXPECT_STREQ(resultText(0x07A00203), "Bad or not supported file format");
    EXPECT_STREQ(resultText(0x07000104), "Bad parameters for conversion");
    EXPECT_STREQ(resultText(0x07A00204), "Too complex file format");
    EXPECT_STREQ(resultText(0x07000000), "No error");
    EXPECT_STREQ(resultText(5), "Unknown Error");
    EXPECT_FALSE(resultFailed(0));
    EXPECT_TRUE(resultFailed(0x07A00203));
}

TEST(BufferedStream, WritesReachTheStreamBelowInOrderWithPatchesAndReads) {
    MemoryStream file;
    {
        BufferedStream out(file);
        std::vector<uint8_t> big(BufferedStream::kCapacity + 100, 0x11);
        EXPECT_EQ(out.write("abcd", 4), 4u);
        EXPECT_EQ(file.size(), 0);  // still in the window
        out.seek(1, ByteStream::kBegin);
        EXPECT_EQ(out.write("X", 1), 1u);  // a patch inside the window
        out.seek(0, ByteStream::kEnd);
        EXPECT_EQ(out.write(big.data(), big.size()), big.size());
        EXPECT_EQ(out.size(), int64_t(4 + big.size()));
        out.seek(2, ByteStream::kBegin);
        EXPECT_EQ(out.write("Y", 1), 1u);  // a patch outside the window
        char back[4] = {};
        out.seek(0, ByteStream::kBegin);
        EXPECT_EQ(out.read(back, 4), 4u);
        EXPECT_EQ(std::string(back, 4), "aXYd");
        EXPECT_EQ(out.tell(), 4);
    }
    ASSERT_EQ(file.size(), int64_t(4 + BufferedStream::kCapacity + 100));
    EXPECT_EQ(file.bytes()[3], 'd');
    EXPECT_EQ(file.bytes().back(), 0x11);

    // A write the stream below takes short fails this and later writes.
    MemoryStream small;
    small.setLimit(10);
    BufferedStream limited(small);
    std::vector<uint8_t> more(BufferedStream::kCapacity, 1);
    EXPECT_EQ(limited.write(more.data(), more.size()), more.size());
    EXPECT_EQ(limited.write("z", 1), 0u);
    EXPECT_FALSE(limited.flush());
}
