// DocsReader: parses a Tarvoc Docs stream into ContentSink events, in
// document order: document, sections, paragraphs, tables, rows, cells and
// tables nested in cells. Records that do not belong where they stand go to
// the sink's otherRecord and are skipped. The reader never reads past the
// end of the stream, always moves forward, and bounds table nesting, so a
// damaged file ends with kDamaged rather than a crash or a hang.
#pragma once

#include "byte_stream.h"
#include "content_sink.h"
#include "docs_model.h"
#include "docs_stream.h"

#include <cstdint>
#include <memory>

namespace conv {

class DocsReader {
public:
    enum Result : int32_t {
        kOk = 0,
        kNoMemory = 1,
        kDamaged = 2,  // a record that could be neither read nor skipped
    };
    // Tables nested deeper than this end the run as damaged.
    static constexpr int kMaxTableDepth = 64;
    static constexpr size_t kTextChunk = 1024;

    DocsReader() = default;
    DocsReader(const DocsReader &) = delete;
    DocsReader &operator=(const DocsReader &) = delete;

    // 0, the first non-zero value a sink operation returned, kNoMemory or
    // kDamaged.
    int32_t run(ByteStream &stream, ContentSink &sink);

    // The stream being read; valid from the sink's begin to the end of run.
    DocsStream &stream() { return *stream_; }

private:
    int32_t readHeader();
    int32_t documentLoop();
    int32_t section();
    int32_t paragraph();
    int32_t picture();
    int32_t table(int depth);
    int32_t row(int depth);
    int32_t cell(int depth);
    int32_t fieldStart();
    int32_t fieldEnd();
    // Hands an unexpected item to the sink, then skips it from its start.
    int32_t otherRecord(int type);
    // Skips the item at the stream's position; kDamaged when it cannot.
    int32_t skip();

    std::unique_ptr<DocsStream> stream_;
    ContentSink *sink_ = nullptr;
    DocsSection section_;
    DocsParagraph paragraph_;
    DocsCharFormat format_;
    DocsTable table_;
    DocsRow row_;
    DocsCell cell_;
    DocsFieldStart fieldStart_;
    DocsFieldEnd fieldEnd_;
    DocsPicture picture_;
    DocsListDefinition listDefinition_;
    DocsListReference listReference_;
    DocsPageSetup pageSetup_;
    DocsDocInfo docInfo_;
    char16_t text_[kTextChunk + 1] = {};
};

}  // namespace conv
