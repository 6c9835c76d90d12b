#include "content_sink.h"

namespace conv {

int32_t ContentSink::begin(DocsReader &) { return 0; }
int32_t ContentSink::header(const DocsHeader &) { return 0; }
int32_t ContentSink::docInfo(const DocsDocInfo &, int64_t) { return 0; }
int32_t ContentSink::pageSetup(const DocsPageSetup &, int64_t) { return 0; }
int32_t ContentSink::endOfDocument() { return 0; }
int32_t ContentSink::sectionProps(const DocsSection &, int64_t) { return 0; }
int32_t ContentSink::sectionEnd() { return 0; }
int32_t ContentSink::paragraphProps(const DocsParagraph &, int64_t) { return 0; }
int32_t ContentSink::paragraphEnd() { return 0; }
int32_t ContentSink::text(const char16_t *, size_t) { return 0; }
int32_t ContentSink::charFormat(const DocsCharFormat &, int64_t) { return 0; }
int32_t ContentSink::picture(const DocsPicture &, int64_t) { return 0; }
int32_t ContentSink::tableStart(const DocsTable &, int64_t) { return 0; }
int32_t ContentSink::rowStart(const DocsRow &, int64_t) { return 0; }
int32_t ContentSink::rowEnd() { return 0; }
int32_t ContentSink::cellStart(const DocsCell &, int64_t) { return 0; }
int32_t ContentSink::cellEnd() { return 0; }
int32_t ContentSink::tableEnd() { return 0; }
int32_t ContentSink::listDefinition(const DocsListDefinition &, int64_t) { return 0; }
int32_t ContentSink::listReference(const DocsListReference &, int64_t) { return 0; }
int32_t ContentSink::fieldStart(const DocsFieldStart &, int64_t) { return 0; }
int32_t ContentSink::fieldEnd(const DocsFieldEnd &, int64_t) { return 0; }
int32_t ContentSink::pageBreak() { return 0; }
int32_t ContentSink::lineBreak() { return 0; }
int32_t ContentSink::columnBreak() { return 0; }
int32_t ContentSink::otherRecord(uint16_t, int64_t) { return 0; }

}  // namespace conv
