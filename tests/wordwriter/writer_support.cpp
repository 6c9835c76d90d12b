#include "writer_support.h"

#include "compound_file.h"
#include "content_sink.h"
#include "docs_reader.h"
#include "word_reader.h"
#include "word_writer.h"

#include <algorithm>
#include <sstream>

namespace wwtest {

std::vector<uint8_t> docs(const std::function<void(conv::DocsStream &)> &body, const conv::DocsDocInfo &info) {
    conv::MemoryStream m;
    conv::DocsStream s(m);
    // What the Word reader writes before the content.
    s.writeHeader();
    s.writePageSetup(conv::DocsPageSetup());
    s.writeDocInfo(info);
    body(s);
    s.writeEndOfDocument();
    return m.bytes();
}

std::vector<uint8_t> docsSection(const std::function<void(conv::DocsStream &)> &body) {
    return docs([&](conv::DocsStream &s) {
        conv::DocsSection section;
        section.breakCode = 2;
        s.writeSection(section);
        body(s);
        s.writeSectionEnd();
    });
}

void paragraph(conv::DocsStream &s, const std::u16string &text, const conv::DocsParagraph &props) {
    s.writeParagraph(props);
    s.writeCharFormatRecord(conv::DocsCharFormat(), true, true);
    if (!text.empty()) s.writeText(text);
    s.writeParagraphEnd();
}

namespace {

std::vector<uint8_t> streamBytes(conv::CompoundStorage &storage, std::u16string_view name) {
    conv::DocumentStream *s = storage.openStream(name);
    if (s == nullptr) return {};
    std::vector<uint8_t> bytes(size_t(s->size()));
    s->seek(0, conv::ByteStream::kBegin);
    s->read(bytes.data(), 1, bytes.size());
    return bytes;
}

}  // namespace

Written writeWord(const std::vector<uint8_t> &docsBytes, uint32_t seed) {
    Written w;
    conv::MemoryStream source(docsBytes), destination;
    w.result = conv::convertDocsStreamToWord(source, destination, seed);
    w.file = destination.bytes();
    conv::MemoryStream container(w.file);
    std::unique_ptr<conv::CompoundStorage> storage = conv::openStorage(container);
    if (!storage) return w;
    for (const auto &child : storage->children()) w.streamNames.push_back(child.name);
    w.document = streamBytes(*storage, u"WordDocument");
    w.table = streamBytes(*storage, u"1Table");
    w.data = streamBytes(*storage, u"Data");
    conv::MemoryWordSource document(w.document);
    if (!conv::readFibBase(document, w.fib) || !conv::readFibArrays(document, w.fib)) return w;
    std::vector<uint8_t> clx = w.pair(conv::kFibPieceTable);
    if (!w.pieces.parse(conv::ByteView(clx))) return w;
    conv::ByteView bytes(w.document);
    for (const conv::WordPiece &p : w.pieces.pieces())
        for (uint32_t cp = p.cpStart; cp < p.cpEnd; ++cp) w.text.push_back(char16_t(bytes.u16(p.fcOf(cp))));
    return w;
}

std::vector<uint8_t> Written::pair(size_t index) const {
    conv::WordFib::FcLcb p = fib.pair(index);
    if (uint64_t(p.fc) + p.lcb > table.size()) return {};
    return std::vector<uint8_t>(table.begin() + p.fc, table.begin() + p.fc + p.lcb);
}

uint32_t Written::fcOf(uint32_t cp) const {
    size_t i = pieces.find(cp);
    return i < pieces.pieces().size() ? pieces.pieces()[i].fcOf(cp) : 0;
}

namespace {

conv::WordRun runAt(const Written &w, size_t pairIndex, conv::WordRunTable::Kind kind, uint32_t cp) {
    conv::MemoryWordSource document(w.document);
    conv::WordRunTable runs(document, kind);
    conv::WordRun run;
    if (runs.parse(w.pair(pairIndex))) runs.find(w.fcOf(cp), run);
    return run;
}

}  // namespace

conv::WordRun Written::paragraphRun(uint32_t cp) const {
    return runAt(*this, conv::kFibParaBinTable, conv::WordRunTable::kParagraph, cp);
}

conv::WordRun Written::characterRun(uint32_t cp) const {
    return runAt(*this, conv::kFibCharBinTable, conv::WordRunTable::kCharacter, cp);
}

std::vector<uint8_t> Written::readBack(int *result) const {
    conv::MemoryWordSource document(this->document), tableSource(table), dataSource(data);
    conv::WordStreams streams;
    streams.wordDocument = &document;
    streams.table1 = &tableSource;
    streams.data = data.empty() ? nullptr : &dataSource;
    conv::MemoryStream out;
    conv::DocsStream docsOut(out);
    int rc = conv::convertWordStreams(streams, docsOut);
    if (result) *result = rc;
    return out.bytes();
}

std::optional<std::vector<uint8_t>> sprmOperand(const std::vector<uint8_t> &sprms, uint16_t code) {
    conv::SprmIterator it{conv::ByteView(sprms)};
    conv::Sprm s;
    std::optional<std::vector<uint8_t>> found;
    while (it.next(s))
        if (s.code == code) found = std::vector<uint8_t>(s.operand.data, s.operand.data + s.operand.size);
    return found;
}

std::optional<uint32_t> sprmValue(const std::vector<uint8_t> &sprms, uint16_t code) {
    auto operand = sprmOperand(sprms, code);
    if (!operand) return std::nullopt;
    uint32_t v = 0;
    for (size_t i = 0; i < operand->size() && i < 4; ++i) v |= uint32_t((*operand)[i]) << (8 * i);
    return v;
}

namespace {

std::string utf8(const std::u16string &s) {
    std::string out;
    for (char16_t c : s) {
        if (c < 0x20) out += "\\x" + std::to_string(int(c));
        else if (c < 0x80) out += char(c);
        else if (c < 0x800) out += {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
        else out += {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
    }
    return out;
}

std::string color(const conv::DocsColor &c) {
    return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

class RecordSink : public conv::ContentSink {
public:
    explicit RecordSink(bool everyFormat) : everyFormat_(everyFormat) {}
    std::vector<std::string> lines;

    int32_t begin(conv::DocsReader &reader) override {
        reader_ = &reader;
        return 0;
    }
    int32_t docInfo(const conv::DocsDocInfo &i, int64_t) override {
        std::string line = "20";
        for (const auto &s : i.strings) line += " [" + utf8(s) + "]";
        return add(line);
    }
    int32_t endOfDocument() override { return add("27"); }
    int32_t sectionProps(const conv::DocsSection &s, int64_t) override {
        std::ostringstream o;
        o << "13 " << int(s.columns) << ' ' << s.columnSpacing << ' ' << s.lineBetween << ' ' << s.pageWidth << ' '
          << s.pageHeight << ' ' << s.leftMargin << ' ' << s.rightMargin << ' ' << s.topMargin << ' '
          << s.bottomMargin << ' ' << s.gutter << ' ' << s.landscape << ' ' << s.headerDistance << ' '
          << s.footerDistance << ' ' << s.pageNumberStart << ' ' << int(s.verticalAlign) << ' '
          << int(s.breakCode) << ' ' << s.paperCode;
        return add(o.str());
    }
    int32_t sectionEnd() override { return add("8"); }
    int32_t paragraphProps(const conv::DocsParagraph &p, int64_t) override {
        state_ = shown_ = conv::DocsCharFormat();
        std::ostringstream o;
        o << "14 " << int(p.alignment) << ' ' << p.firstLineIndent << ' ' << p.leftIndent << ' ' << p.rightIndent
          << ' ' << p.spaceBefore << ' ' << p.spaceAfter << ' ' << p.lineSpacing << ' ' << p.styleIndex;
        return add(o.str());
    }
    int32_t paragraphEnd() override { return add("9"); }
    int32_t text(const char16_t *chars, size_t count) override {
        showFormat();
        std::string t = utf8(std::u16string(chars, count));
        if (!lines.empty() && lines.back().rfind("t:", 0) == 0) lines.back() += t;
        else lines.push_back("t:" + t);
        return 0;
    }
    int32_t charFormat(const conv::DocsCharFormat &f, int64_t) override {
        state_ = f;
        return everyFormat_ ? add(formatLine(f)) : 0;
    }
    int32_t picture(const conv::DocsPicture &p, int64_t) override {
        // A picture the handheld cannot show has no data and is no content.
        if (p.dataSize == 0 && !everyFormat_) return 0;
        showFormat();
        std::vector<uint8_t> data(p.dataSize);
        size_t got = 0;
        reader_->stream().readBytes(data.data(), data.size(), &got);
        data.resize(got);
        std::ostringstream o;
        o << "22 " << int(p.depth) << ' ' << p.pixelWidth << 'x' << p.pixelHeight << ' ' << p.displayWidth << 'x'
          << p.displayHeight << " f" << int(p.format) << " #" << std::hex << imageHash(p.format, data);
        return add(o.str());
    }
    int32_t tableStart(const conv::DocsTable &t, int64_t) override {
        return add("23 rows=" + std::to_string(t.rowCount));
    }
    int32_t rowStart(const conv::DocsRow &r, int64_t) override {
        return add("30 " + std::to_string(r.rowIndex) + " cells=" + std::to_string(r.cellCount) + " left=" +
                   std::to_string(r.leftOffset));
    }
    int32_t rowEnd() override { return add("rowEnd"); }
    int32_t cellStart(const conv::DocsCell &c, int64_t) override {
        return add("31 " + std::to_string(c.cellNumber) + " w=" + std::to_string(c.width));
    }
    int32_t cellEnd() override { return add("cellEnd"); }
    int32_t tableEnd() override { return add("32"); }
    int32_t listDefinition(const conv::DocsListDefinition &l, int64_t) override {
        std::ostringstream o;
        o << "37 " << l.listId << ' ' << int(l.multilevel);
        for (int i = 0; i < 9; ++i) o << ' ' << int(l.formats[size_t(i)]) << '/' << l.startValues[size_t(i)];
        return add(o.str());
    }
    int32_t listReference(const conv::DocsListReference &r, int64_t) override {
        return add("38 " + std::to_string(r.listId) + ' ' + std::to_string(r.level));
    }
    int32_t fieldStart(const conv::DocsFieldStart &f, int64_t) override {
        // Only an embedded object keeps its place in "Data"; other fields'
        // data (form fields) is not carried.
        std::ostringstream o;
        o << "6 " << int(f.kind) << ' ' << int(f.fieldType) << ' ' << (f.oleObjectFlag ? f.pictureLocation : 0)
          << ' ' << int(f.objectFlag) << ' ' << int(f.oleObjectFlag) << " [" << utf8(f.text) << ']';
        return add(o.str());
    }
    int32_t fieldEnd(const conv::DocsFieldEnd &, int64_t) override { return add("34"); }
    int32_t pageBreak() override { return add("10"); }
    int32_t lineBreak() override {
        showFormat();
        return add("11");
    }
    int32_t columnBreak() override { return add("12"); }
    int32_t otherRecord(uint16_t type, int64_t) override {
        conv::DocsSpecialChar c;
        if (type != conv::kDocsSpecialChar || reader_->stream().readSpecialChar(c) != 0)
            return add("other " + std::to_string(type));
        showFormat();
        return add("39 " + std::to_string(c.charClass) + ' ' + std::to_string(c.character) + ' ' +
                   std::to_string(c.specialFlag));
    }

private:
    int32_t add(std::string line) {
        lines.push_back(std::move(line));
        return 0;
    }
    static std::string formatLine(const conv::DocsCharFormat &f) {
        return "5 " + std::to_string(f.formatFlags) + ' ' + std::to_string(f.fontSize) + ' ' + utf8(f.fontName) + ' ' +
               color(f.textColor) + ' ' + color(f.highlightColor);
    }
    // Before content: the format it is in, when that changed.
    void showFormat() {
        if (everyFormat_ || state_ == shown_) return;
        shown_ = state_;
        add(formatLine(state_));
    }
    // The image a picture shows: a JPEG, PNG or bitmap wherever it sits in
    // the data (a bitmap without its file header and trailing zero bytes);
    // anything else is its whole data.
    static uint64_t imageHash(uint8_t format, const std::vector<uint8_t> &data) {
        size_t begin = 0, end = data.size();
        if (format >= 1 && format <= 3 && data.size() >= 8) {
            uint64_t offset = uint64_t(data[0]) << 24 | data[1] << 16 | data[2] << 8 | data[3];
            uint64_t length = uint64_t(data[4]) << 24 | data[5] << 16 | data[6] << 8 | data[7];
            begin = size_t(std::min<uint64_t>(8 + offset + (format == 2 ? 14 : 0), data.size()));
            end = size_t(std::min<uint64_t>(8 + offset + length, data.size()));
            if (format == 2)
                while (end > begin && data[end - 1] == 0) --end;
        }
        uint64_t hash = 1469598103934665603ull;
        for (size_t i = begin; i < end; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
        return hash;
    }
    bool everyFormat_;
    conv::DocsCharFormat state_, shown_;
    conv::DocsReader *reader_ = nullptr;
};

}  // namespace

std::vector<std::string> docsRecords(const std::vector<uint8_t> &docsBytes, bool everyFormat) {
    conv::MemoryStream in(docsBytes);
    RecordSink sink(everyFormat);
    conv::DocsReader reader;
    int32_t rc = reader.run(in, sink);
    if (rc != 0) sink.lines.push_back("failed " + std::to_string(rc));
    return sink.lines;
}

}  // namespace wwtest
