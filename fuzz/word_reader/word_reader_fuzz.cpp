// Fuzz target: any bytes as a Word document, read as a compound file and
// converted into a Docs stream in memory (whose size is capped).
#include "compound_file.h"
#include "docs_stream.h"
#include "word_reader.h"
#include "word_to_docs.h"

#include <cstddef>
#include <cstdint>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    conv::MemoryStream input(data, size);
    if (!conv::isCompoundFile(input)) return 0;
    std::unique_ptr<conv::CompoundStorage> storage = conv::openStorage(input);
    if (!storage) return 0;
    std::optional<conv::DocumentStreamSource> sources[conv::kWordStreamCount];
    conv::WordSource *found[conv::kWordStreamCount] = {};
    for (int i = 0; i < conv::kWordStreamCount; ++i) {
        if (conv::DocumentStream *s = storage->openDocumentStream(i)) {
            sources[i].emplace(*s);
            found[i] = &*sources[i];
        }
    }
    conv::WordStreams streams;
    streams.wordDocument = found[conv::kWordDocumentStream];
    streams.table0 = found[conv::kTable0Stream];
    streams.table1 = found[conv::kTable1Stream];
    streams.data = found[conv::kDataStream];
    conv::MemoryStream output;
    output.setLimit(64 << 20);
    conv::DocsStream docs(output);
    conv::convertWordStreams(streams, docs);
    return 0;
}
