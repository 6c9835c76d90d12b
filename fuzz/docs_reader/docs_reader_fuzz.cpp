// Feeds arbitrary bytes to the Docs reader (with a sink that ignores every
// event) and to every record read of DocsStream, item by item.
#include "byte_stream.h"
#include "content_sink.h"
#include "docs_reader.h"
#include "docs_stream.h"

#include <cstdint>
#include <cstdlib>

namespace {

class IgnoringSink : public conv::ContentSink {};

int32_t readItem(conv::DocsStream &s, int type) {
    using namespace conv;
    switch (type) {
    case kDocsText: {
        char16_t text[1025];
        return s.readUtf8(text, 1024, 2048) > 0 ? kDocsOk : kDocsReadFailed;
    }
    case kDocsTextColor: case kDocsHighlightColor: case kDocsFormatReset: case kDocsCharFormat: {
        DocsCharFormat f;
        return s.readCharFormat(f);
    }
    case kDocsFieldStart: { DocsFieldStart v; return s.readFieldStart(v); }
    case kDocsSectionStart: { DocsSection v; return s.readSection(v); }
    case kDocsParagraphStart: { DocsParagraph v; return s.readParagraph(v); }
    case kDocsPageSetup: { DocsPageSetup v; return s.readPageSetup(v); }
    case kDocsDocInfo: { DocsDocInfo v; return s.readDocInfo(v); }
    case kDocsPicture: {
        DocsPicture v;
        int32_t rc = s.readPicture(v);
        return rc == kDocsOk ? s.seekBy(v.dataSize) : rc;
    }
    case kDocsTableStart: { DocsTable v; return s.readTable(v); }
    case kDocsRowStart: { DocsRow v; return s.readRow(v); }
    case kDocsCellStart: { DocsCell v; return s.readCell(v); }
    case kDocsTableEnd: return s.readTableEnd();
    case kDocsFieldEnd: { DocsFieldEnd v; return s.readFieldEnd(v); }
    case kDocsListDefinition: { DocsListDefinition v; return s.readListDefinition(v); }
    case kDocsListReference: { DocsListReference v; return s.readListReference(v); }
    case kDocsSpecialChar: { DocsSpecialChar v; return s.readSpecialChar(v); }
    default: return s.skipRecord();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    {
        conv::MemoryStream m(data, size);
        IgnoringSink sink;
        int32_t rc = conv::DocsReader().run(m, sink);
        if (rc != 0 && rc != 2) std::abort();  // the sink never stops the run, memory is plenty
    }
    {
        conv::MemoryStream m(data, size);
        conv::DocsStream s(m);
        conv::DocsHeader header;
        s.readHeader(header);
        while (s.tell() < s.size()) {
            int64_t before = s.tell();
            int type = s.nextToken();
            if (readItem(s, type) != conv::kDocsOk) {
                s.seekTo(before);
                if (s.skipRecord() != conv::kDocsOk) break;
            }
            if (s.tell() <= before) std::abort();  // every item moves the stream forward
        }
    }
    return 0;
}
