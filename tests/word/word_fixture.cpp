#include "word_fixture.h"

#include "byte_order.h"
#include "byte_stream.h"
#include "docs_reader.h"
#include "docs_stream.h"

#include <algorithm>

namespace wordtest {

namespace {

constexpr size_t kTextAt = 1024;

void put16(std::vector<uint8_t> &b, size_t at, uint16_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    qv::storeLE16(&b[at], v);
}
void put32(std::vector<uint8_t> &b, size_t at, uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    qv::storeLE32(&b[at], v);
}
void add16(std::vector<uint8_t> &b, uint16_t v) { put16(b, b.size(), v); }
void add32(std::vector<uint8_t> &b, uint32_t v) { put32(b, b.size(), v); }

// Appends a table to the table stream and notes it in the FIB's pair.
void addTable(std::vector<uint8_t> &document, std::vector<uint8_t> &table, size_t pair,
              const std::vector<uint8_t> &bytes) {
    put32(document, 154 + pair * 8, uint32_t(table.size()));
    put32(document, 154 + pair * 8 + 4, uint32_t(bytes.size()));
    table.insert(table.end(), bytes.begin(), bytes.end());
}

std::vector<uint8_t> styleSheet() {
    std::vector<uint8_t> s;
    add16(s, 18);                 // header size
    add16(s, 1);                  // one style
    add16(s, 10);                 // fixed part of each style
    s.resize(2 + 18, 0);
    std::vector<uint8_t> std;
    add16(std, 0);                // sti
    add16(std, 0xFFF1);           // paragraph style, no base
    add16(std, 0x0002);           // two UPXs
    add16(std, 0);
    add16(std, 0);
    std::u16string name = u"Normal";
    add16(std, uint16_t(name.size()));
    for (char16_t c : name) add16(std, c);
    add16(std, 0);
    add16(std, 2);                // paragraph UPX: the style index only
    add16(std, 0);
    add16(std, 0);                // character UPX: empty
    add16(s, uint16_t(std.size()));
    s.insert(s.end(), std.begin(), std.end());
    return s;
}

}  // namespace

std::u16string u16(const std::string &ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::vector<uint8_t> sprm(uint16_t code, uint32_t operand, int operandSize) {
    std::vector<uint8_t> b;
    add16(b, code);
    for (int i = 0; i < operandSize; ++i) b.push_back(uint8_t(operand >> (8 * i)));
    return b;
}

void WordFixture::build(std::vector<uint8_t> &document, std::vector<uint8_t> &table) const {
    std::u16string text;
    for (const auto &p : paragraphs) text += p.text;
    uint32_t ccp = uint32_t(text.size());

    document.assign(kTextAt, 0);
    put16(document, 0, 0xA5EC);
    put16(document, 2, 193);
    put16(document, 10, uint16_t(0x0200 | extraFlags));
    put16(document, 32, 14);
    put16(document, 62, 22);
    put32(document, 64 + 3 * 4, ccp);
    put16(document, 152, 93);
    for (char16_t c : text) add16(document, c);
    uint32_t fcEnd = uint32_t(kTextAt + text.size() * 2);
    // The two pages of runs follow the text.
    const uint32_t kCharPage = (fcEnd + 511) / 512, kParaPage = kCharPage + 1;
    document.resize((kParaPage + 1) * 512, 0);

    // Character runs.
    std::vector<FixtureRun> charRuns = runs.empty() ? std::vector<FixtureRun>{{ccp, {}}} : runs;
    {
        size_t base = kCharPage * 512, n = charRuns.size();
        size_t grpprlAt = 511;
        uint32_t cp = 0;
        put32(document, base, uint32_t(kTextAt));
        for (size_t i = 0; i < n; ++i) {
            cp = charRuns[i].cpEnd;
            put32(document, base + 4 * (i + 1), uint32_t(kTextAt + cp * 2));
            uint8_t offset = 0;
            if (!charRuns[i].sprms.empty()) {
                grpprlAt -= charRuns[i].sprms.size() + 1;
                grpprlAt &= ~size_t(1);
                document[base + grpprlAt] = uint8_t(charRuns[i].sprms.size());
                std::copy(charRuns[i].sprms.begin(), charRuns[i].sprms.end(), document.begin() + long(base + grpprlAt + 1));
                offset = uint8_t(grpprlAt / 2);
            }
            document[base + 4 * (n + 1) + i] = offset;
        }
        document[base + 511] = uint8_t(n);
    }
    // Paragraph runs: one per paragraph, each with its own properties.
    {
        size_t base = kParaPage * 512, n = paragraphs.size();
        size_t papxAt = 511;
        uint32_t cp = 0;
        put32(document, base, uint32_t(kTextAt));
        for (size_t i = 0; i < n; ++i) {
            cp += uint32_t(paragraphs[i].text.size());
            put32(document, base + 4 * (i + 1), uint32_t(kTextAt + cp * 2));
            std::vector<uint8_t> papx;
            add16(papx, 0);  // style index
            papx.insert(papx.end(), paragraphs[i].sprms.begin(), paragraphs[i].sprms.end());
            std::vector<uint8_t> stored;
            if (papx.size() % 2 == 1) {
                stored.push_back(uint8_t((papx.size() + 1) / 2));
            } else {
                stored.push_back(0);
                stored.push_back(uint8_t(papx.size() / 2));
            }
            stored.insert(stored.end(), papx.begin(), papx.end());
            papxAt -= stored.size();
            papxAt &= ~size_t(1);
            std::copy(stored.begin(), stored.end(), document.begin() + long(base + papxAt));
            document[base + 4 * (n + 1) + 13 * i] = uint8_t(papxAt / 2);
        }
        document[base + 511] = uint8_t(n);
    }

    table.clear();
    addTable(document, table, conv::kFibStyleSheet, styleSheet());
    {
        std::vector<uint8_t> sed;
        for (uint32_t s : sectionStarts) add32(sed, s);
        add32(sed, ccp + 1);
        for (size_t i = 0; i < sectionStarts.size(); ++i) {
            add16(sed, 0);
            add32(sed, 0xFFFFFFFF);
            add16(sed, 0);
            add32(sed, 0);
        }
        addTable(document, table, conv::kFibSectionTable, sed);
    }
    std::vector<uint8_t> bins;
    add32(bins, uint32_t(kTextAt));
    add32(bins, fcEnd);
    add32(bins, kCharPage);
    addTable(document, table, conv::kFibCharBinTable, bins);
    put32(bins, 8, kParaPage);
    addTable(document, table, conv::kFibParaBinTable, bins);

    if (!fields.empty()) {
        std::vector<uint8_t> plc;
        for (const auto &f : fields) add32(plc, f.cp);
        add32(plc, ccp);
        for (const auto &f : fields) {
            plc.push_back(f.mark);
            plc.push_back(f.mark == 19 ? f.type : 0);
        }
        addTable(document, table, conv::kFibMainFields, plc);
    }
    if (!bookmarks.empty()) {
        std::vector<uint8_t> names, starts, ends;
        add16(names, 0xFFFF);
        add16(names, uint16_t(bookmarks.size()));
        add16(names, 0);
        for (const auto &b : bookmarks) {
            add16(names, uint16_t(b.name.size()));
            for (char16_t c : b.name) add16(names, c);
        }
        for (const auto &b : bookmarks) add32(starts, b.start);
        add32(starts, ccp + 1);
        for (size_t i = 0; i < bookmarks.size(); ++i) {
            add16(starts, uint16_t(i));
            add16(starts, 0);
        }
        for (const auto &b : bookmarks) add32(ends, b.end);
        add32(ends, ccp + 1);
        addTable(document, table, conv::kFibBookmarkNames, names);
        addTable(document, table, conv::kFibBookmarkStarts, starts);
        addTable(document, table, conv::kFibBookmarkEnds, ends);
    }
    std::vector<uint8_t> clx = {0x02};
    add32(clx, 4 * 2 + 8);
    add32(clx, 0);
    add32(clx, ccp);
    add16(clx, 0);
    add32(clx, uint32_t(kTextAt));
    add16(clx, 0);
    addTable(document, table, conv::kFibPieceTable, clx);
}

Converted convertFixture(const WordFixture &fixture) {
    std::vector<uint8_t> document, table;
    fixture.build(document, table);
    conv::MemoryWordSource documentSource(document), tableSource(table);
    conv::WordStreams streams;
    streams.wordDocument = &documentSource;
    streams.table1 = &tableSource;
    conv::MemoryStream out;
    conv::DocsStream docs(out);
    Converted c;
    c.result = conv::convertWordStreams(streams, docs);
    c.docs = out.bytes();
    return c;
}

namespace {

std::string utf8(const std::u16string &s) {
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80) out += char(c);
        else if (c < 0x800) out += {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
        else out += {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
    }
    return out;
}

class RecordingSink : public conv::ContentSink {
public:
    explicit RecordingSink(bool withFormats) : withFormats_(withFormats) {}
    std::vector<std::string> events;

    int32_t begin(conv::DocsReader &reader) override {
        reader_ = &reader;
        return 0;
    }
    int32_t sectionProps(const conv::DocsSection &, int64_t) override { return add("13"); }
    int32_t sectionEnd() override { return add("8"); }
    int32_t paragraphProps(const conv::DocsParagraph &, int64_t) override { return add("14"); }
    int32_t paragraphEnd() override { return add("9"); }
    int32_t endOfDocument() override { return add("27"); }
    int32_t text(const char16_t *chars, size_t count) override {
        std::string t = utf8(std::u16string(chars, count));
        if (!events.empty() && events.back().rfind("t:", 0) == 0) events.back() += t;
        else events.push_back("t:" + t);
        return 0;
    }
    int32_t charFormat(const conv::DocsCharFormat &f, int64_t) override {
        return withFormats_ ? add("5:" + std::to_string(f.formatFlags)) : 0;
    }
    int32_t picture(const conv::DocsPicture &p, int64_t) override { return add("22:f" + std::to_string(p.format)); }
    int32_t tableStart(const conv::DocsTable &t, int64_t) override { return add("23:rows=" + std::to_string(t.rowCount)); }
    int32_t rowStart(const conv::DocsRow &r, int64_t) override { return add("30:cells=" + std::to_string(r.cellCount)); }
    int32_t cellStart(const conv::DocsCell &c, int64_t) override { return add("31:w=" + std::to_string(c.width)); }
    int32_t tableEnd() override { return add("32"); }
    int32_t listReference(const conv::DocsListReference &r, int64_t) override {
        return add("38:" + std::to_string(r.listId) + ":" + std::to_string(r.level));
    }
    int32_t fieldStart(const conv::DocsFieldStart &f, int64_t) override {
        return add("6:" + std::to_string(f.kind) + ":" + utf8(f.text));
    }
    int32_t fieldEnd(const conv::DocsFieldEnd &, int64_t) override { return add("34"); }
    int32_t pageBreak() override { return add("10"); }
    int32_t lineBreak() override { return add("11"); }
    int32_t columnBreak() override { return add("12"); }
    int32_t otherRecord(uint16_t type, int64_t) override {
        conv::DocsSpecialChar special;
        if (type == conv::kDocsSpecialChar && reader_->stream().readSpecialChar(special) == 0)
            return add("39:" + std::to_string(special.charClass));
        return add("other:" + std::to_string(type));
    }

private:
    int32_t add(std::string e) {
        events.push_back(std::move(e));
        return 0;
    }
    bool withFormats_;
    conv::DocsReader *reader_ = nullptr;
};

}  // namespace

std::vector<std::string> docsEvents(const std::vector<uint8_t> &docs, bool withFormats) {
    conv::MemoryStream in(docs);
    RecordingSink sink(withFormats);
    conv::DocsReader reader;
    if (reader.run(in, sink) != 0) sink.events.push_back("damaged");
    return sink.events;
}

}  // namespace wordtest
