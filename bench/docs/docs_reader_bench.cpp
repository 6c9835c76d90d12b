// Reading speed of the Docs reader: a 10 MB document made in memory (text
// runs with format changes, lists, fields and tables) read into a sink that
// only counts. Reports MB/s.
#include "byte_stream.h"
#include "content_sink.h"
#include "docs_reader.h"
#include "docs_stream.h"

#include <benchmark/benchmark.h>

namespace {

using namespace conv;

class CountingSink : public ContentSink {
public:
    size_t characters = 0, paragraphs = 0, formats = 0, cells = 0;
    int32_t text(const char16_t *, size_t count) override {
        characters += count;
        return 0;
    }
    int32_t paragraphEnd() override {
        ++paragraphs;
        return 0;
    }
    int32_t charFormat(const DocsCharFormat &, int64_t) override {
        ++formats;
        return 0;
    }
    int32_t cellStart(const DocsCell &, int64_t) override {
        ++cells;
        return 0;
    }
};

void writeParagraph(DocsStream &s, DocsCharFormatWriter &formats, int n) {
    static const std::u16string words[] = {
        u"The handheld keeps every document as a stream of records. ",
        u"Caf\u00e9 cr\u00e8me, na\u00efve fa\u00e7ade \u2014 \u20ac 12,50. ",
        u"Short. ",
    };
    DocsParagraph p;
    p.alignment = uint8_t(n % 4);
    p.leftIndent = int16_t(n % 3 * 18);
    s.writeParagraph(p);
    if (n % 7 == 0) s.writeListReference(DocsListReference{0, uint8_t(n % 3)});
    for (int run = 0; run < 4; ++run) {
        DocsCharFormat f;
        f.formatFlags = uint8_t(run == 1 ? DocsCharFormat::kBold : run == 2 ? DocsCharFormat::kItalic : 0);
        f.fontSize = uint8_t(run == 3 ? 14 : 12);
        formats.writeRun(s, f);
        s.writeText(words[size_t((n + run) % 3)]);
        if (run == 2 && n % 5 == 0) {
            DocsFieldStart field;
            field.kind = DocsFieldStart::kField;
            field.id = uint32_t(n);
            field.text = u" PAGE ";
            s.writeFieldStart(field);
            s.writeText(u"1");
            s.writeFieldEnd(DocsFieldEnd{uint32_t(n)});
        }
    }
    s.writeParagraphEnd();
    formats.paragraphEnded();
}

std::vector<uint8_t> makeDocument(size_t targetBytes) {
    MemoryStream m;
    DocsStream s(m);
    DocsCharFormatWriter formats;
    s.writeHeader();
    s.writePageSetup(DocsPageSetup());
    DocsListDefinition list;
    s.writeListDefinition(list);
    DocsSection section;
    section.breakCode = 2;
    s.writeSection(section);
    int n = 0;
    while (size_t(m.size()) < targetBytes) {
        if (n % 50 == 49) {
            s.writeTable(DocsTable{uint8_t(n), 3, 0});
            for (uint16_t row = 0; row < 3; ++row) {
                s.writeRow(DocsRow{row, 3, 0});
                for (uint8_t cell = 1; cell <= 3; ++cell) {
                    s.writeCell(DocsCell{cell, 150, 0});
                    writeParagraph(s, formats, n + cell);
                }
            }
            s.writeTableEnd();
        } else {
            writeParagraph(s, formats, n);
        }
        ++n;
    }
    s.writeSectionEnd();
    s.writeEndOfDocument();
    return m.bytes();
}

void BM_ReadDocs10MB(benchmark::State &state) {
    static const std::vector<uint8_t> document = makeDocument(10 * 1024 * 1024);
    size_t characters = 0;
    MemoryStream m(document);
    for (auto _ : state) {
        m.seek(0, ByteStream::kBegin);
        CountingSink sink;
        int32_t rc = DocsReader().run(m, sink);
        if (rc != 0) state.SkipWithError("the document did not read");
        characters = sink.characters;
        benchmark::DoNotOptimize(sink.paragraphs);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(document.size()));
    state.counters["MB/s"] = benchmark::Counter(double(document.size()) / (1024.0 * 1024.0),
                                                benchmark::Counter::kIsIterationInvariantRate);
    state.counters["chars"] = double(characters);
}
BENCHMARK(BM_ReadDocs10MB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
