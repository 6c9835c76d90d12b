// Helpers for the Docs tests: building a stream in memory and a sink that
// writes every event down as a short line.
#pragma once

#include "byte_stream.h"
#include "content_sink.h"
#include "docs_reader.h"
#include "docs_stream.h"

#include <functional>
#include <string>
#include <vector>

namespace docstest {

inline std::vector<uint8_t> build(const std::function<void(conv::DocsStream &)> &write) {
    conv::MemoryStream m;
    conv::DocsStream s(m);
    write(s);
    return m.bytes();
}

inline std::string ascii(const std::u16string &s) {
    std::string out;
    for (char16_t c : s) out += c < 0x80 ? char(c) : '?';
    return out;
}

// Writes each event as a line: "para", "text ab", "other 39@17" ...
class RecordingSink : public conv::ContentSink {
public:
    std::vector<std::string> events;
    conv::DocsReader *reader = nullptr;

    int32_t begin(conv::DocsReader &r) override {
        reader = &r;
        return 0;
    }
    int32_t header(const conv::DocsHeader &h) override { return log("header " + std::to_string(h.headerLength)); }
    int32_t docInfo(const conv::DocsDocInfo &i, int64_t) override { return log("docInfo " + ascii(i.string(1))); }
    int32_t pageSetup(const conv::DocsPageSetup &p, int64_t) override {
        return log("pageSetup " + std::to_string(p.value(2)));
    }
    int32_t endOfDocument() override { return log("endOfDocument"); }
    int32_t sectionProps(const conv::DocsSection &s, int64_t) override {
        return log("section " + std::to_string(s.pageWidth));
    }
    int32_t sectionEnd() override { return log("sectionEnd"); }
    int32_t paragraphProps(const conv::DocsParagraph &p, int64_t o) override {
        return log("para " + std::to_string(p.alignment) + "@" + std::to_string(o));
    }
    int32_t paragraphEnd() override { return log("paraEnd"); }
    int32_t text(const char16_t *c, size_t n) override { return log("text " + ascii(std::u16string(c, n))); }
    int32_t charFormat(const conv::DocsCharFormat &f, int64_t) override {
        return log("format " + std::to_string(f.formatFlags) + " " + std::to_string(f.fontSize) + " " +
                   ascii(f.fontName));
    }
    int32_t picture(const conv::DocsPicture &p, int64_t) override {
        return log("picture " + std::to_string(p.dataSize));
    }
    int32_t tableStart(const conv::DocsTable &t, int64_t) override {
        return log("table " + std::to_string(t.serial));
    }
    int32_t rowStart(const conv::DocsRow &r, int64_t) override { return log("row " + std::to_string(r.rowIndex)); }
    int32_t rowEnd() override { return log("rowEnd"); }
    int32_t cellStart(const conv::DocsCell &c, int64_t) override {
        return log("cell " + std::to_string(c.cellNumber));
    }
    int32_t cellEnd() override { return log("cellEnd"); }
    int32_t tableEnd() override { return log("tableEnd"); }
    int32_t listDefinition(const conv::DocsListDefinition &l, int64_t) override {
        return log("list " + std::to_string(l.listId));
    }
    int32_t listReference(const conv::DocsListReference &l, int64_t) override {
        return log("listRef " + std::to_string(l.listId) + " " + std::to_string(l.level));
    }
    int32_t fieldStart(const conv::DocsFieldStart &f, int64_t) override {
        return log("field " + std::to_string(f.id) + " " + ascii(f.text));
    }
    int32_t fieldEnd(const conv::DocsFieldEnd &f, int64_t) override { return log("fieldEnd " + std::to_string(f.id)); }
    int32_t pageBreak() override { return log("pageBreak"); }
    int32_t lineBreak() override { return log("lineBreak"); }
    int32_t columnBreak() override { return log("columnBreak"); }
    int32_t otherRecord(uint16_t type, int64_t offset) override {
        return log("other " + std::to_string(type) + "@" + std::to_string(offset));
    }

    // When set, the event whose line starts with this text returns 7.
    std::string stopAt;

private:
    int32_t log(std::string line) {
        bool stop = !stopAt.empty() && line.rfind(stopAt, 0) == 0;
        events.push_back(std::move(line));
        return stop ? 7 : 0;
    }
};

inline int32_t readAllEvents(const std::vector<uint8_t> &bytes, RecordingSink &sink) {
    conv::MemoryStream m(bytes);
    conv::DocsReader reader;
    return reader.run(m, sink);
}

}  // namespace docstest
