// docsconv dump: one line per item in file order, whatever the nesting:
//   OFFSET TYPE NAME FIELD=VALUE ...
// Tagged records (section, paragraph, page setup) show the values that differ
// from their defaults; text is quoted. An item that cannot be read is shown
// as "unreadable" and stepped over; one that cannot be stepped over either
// ends the dump with exit code 1.
#include "commands.h"
#include "input_file.h"
#include "text_output.h"

#include "byte_stream.h"
#include "docs_model.h"
#include "docs_stream.h"

#include <algorithm>
#include <cinttypes>

namespace docsconv {

namespace {

using conv::DocsStream;

class Fields {
public:
    void add(const char *name, long long value) { line_ += " " + std::string(name) + "=" + std::to_string(value); }
    void addHex(const char *name, unsigned value) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%02X", value);
        line_ += " " + std::string(name) + "=" + buf;
    }
    void addText(const char *name, const std::u16string &text) {
        line_ += " " + std::string(name) + "=" + quoted(text);
    }
    void addColor(const char *name, const conv::DocsColor &c) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "#%02X%02X%02X", c.red, c.green, c.blue);
        line_ += " " + std::string(name) + "=" + buf;
    }
    void addWord(const std::string &word) { line_ += " " + word; }
    const std::string &line() const { return line_; }

private:
    std::string line_;
};

template <typename T>
void addIfChanged(Fields &f, const char *name, T value, T defaultValue) {
    if (value != defaultValue) f.add(name, static_cast<long long>(value));
}

bool describeText(DocsStream &s, Fields &f) {
    std::u16string text;
    char16_t chunk[1025];
    while (s.nextToken() == conv::kDocsText) {
        size_t n = s.readUtf8(chunk, 1024, 2048);
        if (n == 0) break;
        text.append(chunk, n);
    }
    if (text.empty()) return false;
    f.addWord(quoted(text));
    return true;
}

bool describeCharFormat(DocsStream &s, int type, int64_t offset, Fields &f) {
    uint8_t length = 0;
    if (type == conv::kDocsCharFormat) {
        if (s.seekTo(offset + 2) != conv::kDocsOk || s.readU8(length) != conv::kDocsOk) return false;
        s.seekTo(offset);
    }
    conv::DocsCharFormat format;
    if (s.readCharFormat(format) != conv::kDocsOk) return false;
    if (type == conv::kDocsTextColor) f.addColor("color", format.textColor);
    if (type == conv::kDocsHighlightColor) f.addColor("highlight", format.highlightColor);
    if (type == conv::kDocsCharFormat) {
        if (length >= 2) f.addHex("flags", format.formatFlags);
        if (length >= 3) f.add("size", format.fontSize);
        if (length > 3) f.addText("font", format.fontName);
    }
    return true;
}

bool describeFieldStart(DocsStream &s, Fields &f) {
    conv::DocsFieldStart field;
    if (s.readFieldStart(field) != conv::kDocsOk) return false;
    f.add("kind", field.kind);
    f.add("id", field.id);
    if (field.kind == conv::DocsFieldStart::kField) {
        f.add("fieldType", field.fieldType);
        f.add("pictureLocation", field.pictureLocation);
        f.add("objectFlag", field.objectFlag);
        f.add("oleObjectFlag", field.oleObjectFlag);
        f.addText("instruction", field.text);
    } else {
        f.addText(field.kind == conv::DocsFieldStart::kBookmark ? "name" : "target", field.text);
    }
    return true;
}

bool describeSection(DocsStream &s, Fields &f) {
    conv::DocsSection v;
    if (s.readSection(v) != conv::kDocsOk) return false;
    const conv::DocsSection d;
    addIfChanged(f, "columns", v.columns, d.columns);
    addIfChanged(f, "columnSpacing", v.columnSpacing, d.columnSpacing);
    addIfChanged(f, "lineBetween", v.lineBetween, d.lineBetween);
    addIfChanged(f, "pageWidth", v.pageWidth, d.pageWidth);
    addIfChanged(f, "pageHeight", v.pageHeight, d.pageHeight);
    addIfChanged(f, "leftMargin", v.leftMargin, d.leftMargin);
    addIfChanged(f, "rightMargin", v.rightMargin, d.rightMargin);
    addIfChanged(f, "topMargin", v.topMargin, d.topMargin);
    addIfChanged(f, "bottomMargin", v.bottomMargin, d.bottomMargin);
    addIfChanged(f, "gutter", v.gutter, d.gutter);
    addIfChanged(f, "landscape", v.landscape, d.landscape);
    addIfChanged(f, "headerDistance", v.headerDistance, d.headerDistance);
    addIfChanged(f, "footerDistance", v.footerDistance, d.footerDistance);
    addIfChanged(f, "pageNumberStart", v.pageNumberStart, d.pageNumberStart);
    addIfChanged(f, "sectionFlag15", v.sectionFlag15, d.sectionFlag15);
    addIfChanged(f, "sectionValue16", v.sectionValue16, d.sectionValue16);
    addIfChanged(f, "sectionValue17", v.sectionValue17, d.sectionValue17);
    addIfChanged(f, "sectionKind", v.sectionKind, d.sectionKind);
    addIfChanged(f, "verticalAlign", v.verticalAlign, d.verticalAlign);
    addIfChanged(f, "breakCode", v.breakCode, d.breakCode);
    addIfChanged(f, "paperCode", v.paperCode, d.paperCode);
    return true;
}

bool describeParagraph(DocsStream &s, Fields &f) {
    conv::DocsParagraph v;
    if (s.readParagraph(v) != conv::kDocsOk) return false;
    const conv::DocsParagraph d;
    f.add("alignment", v.alignment);
    addIfChanged(f, "paragraphByte2", v.paragraphByte2, d.paragraphByte2);
    addIfChanged(f, "firstLineIndent", v.firstLineIndent, d.firstLineIndent);
    addIfChanged(f, "leftIndent", v.leftIndent, d.leftIndent);
    addIfChanged(f, "rightIndent", v.rightIndent, d.rightIndent);
    addIfChanged(f, "spaceBefore", v.spaceBefore, d.spaceBefore);
    addIfChanged(f, "spaceAfter", v.spaceAfter, d.spaceAfter);
    if (!v.useLineSpacing) f.add("paragraphByte12", v.paragraphByte12);
    addIfChanged(f, "lineSpacing", v.lineSpacing, d.lineSpacing);
    addIfChanged(f, "styleIndex", v.styleIndex, d.styleIndex);
    return true;
}

bool describePageSetup(DocsStream &s, Fields &f) {
    conv::DocsPageSetup v;
    if (s.readPageSetup(v) != conv::kDocsOk) return false;
    for (int id = 1; id <= conv::DocsPageSetup::kCount; ++id) {
        if (v.value(id) == conv::DocsPageSetup::kDefaults[size_t(id - 1)]) continue;
        f.add(("value" + std::to_string(id)).c_str(), v.value(id));
    }
    return true;
}

bool describeDocInfo(DocsStream &s, Fields &f) {
    static const char *const names[] = {"title", "subject", "author", "comments", "string5", "string6"};
    conv::DocsDocInfo v;
    if (s.readDocInfo(v) != conv::kDocsOk) return false;
    for (int id = 1; id <= conv::DocsDocInfo::kCount; ++id)
        if (!v.string(id).empty()) f.addText(names[id - 1], v.string(id));
    return true;
}

bool describePicture(DocsStream &s, Fields &f) {
    conv::DocsPicture v;
    if (s.readPicture(v) != conv::kDocsOk) return false;
    f.add("depth", v.depth);
    f.add("version", v.version);
    f.add("dataSize", v.dataSize);
    f.add("pixelWidth", v.pixelWidth);
    f.add("pixelHeight", v.pixelHeight);
    f.add("displayWidth", v.displayWidth);
    f.add("displayHeight", v.displayHeight);
    if (v.hasFormat) f.add("format", v.format);
    return s.seekBy(v.dataSize) == conv::kDocsOk;
}

bool describeListDefinition(DocsStream &s, Fields &f) {
    conv::DocsListDefinition v;
    if (s.readListDefinition(v) != conv::kDocsOk) return false;
    f.add("listId", v.listId);
    f.add("multilevel", v.multilevel);
    std::string formats, starts;
    for (int i = 0; i < conv::DocsListDefinition::kLevels; ++i) {
        formats += (i ? "," : "") + std::to_string(v.formats[size_t(i)]);
        starts += (i ? "," : "") + std::to_string(v.startValues[size_t(i)]);
    }
    f.addWord("formats=" + formats);
    f.addWord("starts=" + starts);
    return true;
}

// Reads the item at the stream's position and describes it; false when it
// does not read.
bool describe(DocsStream &s, int type, int64_t offset, Fields &f) {
    switch (type) {
    case conv::kDocsText:
        return describeText(s, f);
    case conv::kDocsTextColor:
    case conv::kDocsHighlightColor:
    case conv::kDocsFormatReset:
    case conv::kDocsCharFormat:
        return describeCharFormat(s, type, offset, f);
    case conv::kDocsFieldStart:
        return describeFieldStart(s, f);
    case conv::kDocsSectionEnd:
    case conv::kDocsParagraphEnd:
    case conv::kDocsPageBreak:
    case conv::kDocsLineBreak:
    case conv::kDocsColumnBreak:
    case conv::kDocsEndOfDocument:
        return s.readBareRecord(uint16_t(type)) == conv::kDocsOk;
    case conv::kDocsSectionStart:
        return describeSection(s, f);
    case conv::kDocsParagraphStart:
        return describeParagraph(s, f);
    case conv::kDocsPageSetup:
        return describePageSetup(s, f);
    case conv::kDocsDocInfo:
        return describeDocInfo(s, f);
    case conv::kDocsPicture:
        return describePicture(s, f);
    case conv::kDocsTableStart: {
        conv::DocsTable v;
        if (s.readTable(v) != conv::kDocsOk) return false;
        f.add("serial", v.serial);
        f.add("rowCount", v.rowCount);
        return true;
    }
    case conv::kDocsRowStart: {
        conv::DocsRow v;
        if (s.readRow(v) != conv::kDocsOk) return false;
        f.add("rowIndex", v.rowIndex);
        f.add("cellCount", v.cellCount);
        f.add("leftOffset", v.leftOffset);
        return true;
    }
    case conv::kDocsCellStart: {
        conv::DocsCell v;
        if (s.readCell(v) != conv::kDocsOk) return false;
        f.add("cellNumber", v.cellNumber);
        f.add("width", v.width);
        return true;
    }
    case conv::kDocsTableEnd:
        return s.readTableEnd() == conv::kDocsOk;
    case conv::kDocsFieldEnd: {
        conv::DocsFieldEnd v;
        if (s.readFieldEnd(v) != conv::kDocsOk) return false;
        f.add("id", v.id);
        return true;
    }
    case conv::kDocsListDefinition:
        return describeListDefinition(s, f);
    case conv::kDocsListReference: {
        conv::DocsListReference v;
        if (s.readListReference(v) != conv::kDocsOk) return false;
        f.add("listId", v.listId);
        f.add("level", v.level);
        return true;
    }
    case conv::kDocsSpecialChar: {
        conv::DocsSpecialChar v;
        if (s.readSpecialChar(v) != conv::kDocsOk) return false;
        f.add("class", v.charClass);
        f.add("character", v.character);
        f.add("specialFlag", v.specialFlag);
        return true;
    }
    default: {
        // A record this system does not use, with its continuations.
        if (s.skipRecord() != conv::kDocsOk) return false;
        f.add("bytes", s.tell() - offset);
        return true;
    }
    }
}

int dumpHeader(DocsStream &s, std::FILE *out) {
    conv::DocsHeader header;
    uint32_t magic = 0;
    bool hasMagic = s.readU32(magic) == conv::kDocsOk && magic == conv::DocsHeader::kMagic;
    s.seekTo(0);
    if (!hasMagic) {
        std::fprintf(out, "0 header none\n");
        return 0;
    }
    if (s.readHeader(header) != conv::kDocsOk) return -1;
    Fields f;
    f.addWord("magic=\"MWQV\"");
    f.add("headerLength", header.headerLength);
    f.add("version", header.version);
    if (header.hasProtectionBlock) f.add("protectionBlock", int64_t(header.protectionBlock.size()));
    if (header.isProtected()) f.addWord("protected");
    std::fprintf(out, "0 header%s\n", f.line().c_str());
    s.seekTo(std::max<int64_t>(header.headerLength, conv::DocsHeader::kPlainLength));
    return 0;
}

}  // namespace

int runDump(const std::vector<std::string> &args, std::FILE *out, std::FILE *err) {
    if (args.size() != 1) {
        std::fprintf(err, "usage: docsconv dump FILE.mwd\n");
        return 1;
    }
    const std::string &path = args[0];
    std::unique_ptr<conv::FileStream> file = openInput(path, err);
    if (!file) return 1;
    DocsStream s(*file);
    if (dumpHeader(s, out) != 0) {
        std::fprintf(err, "docsconv: %s: damaged header\n", path.c_str());
        return 1;
    }
    while (s.tell() < s.size()) {
        int64_t offset = s.tell();
        int type = s.nextToken();
        Fields f;
        bool ok = describe(s, type, offset, f);
        if (!ok) {
            s.seekTo(offset);
            f = Fields();
            f.addWord("unreadable");
        }
        std::fprintf(out, "%" PRId64 " %d %s%s\n", offset, type, conv::docsRecordName(uint16_t(type)), f.line().c_str());
        if (!ok && (s.skipRecord() != conv::kDocsOk || s.tell() <= offset)) {
            std::fprintf(err, "docsconv: %s: damaged record at offset %" PRId64 "\n", path.c_str(), offset);
            return 1;
        }
    }
    return std::fflush(out) == 0 ? 0 : 1;
}

}  // namespace docsconv
