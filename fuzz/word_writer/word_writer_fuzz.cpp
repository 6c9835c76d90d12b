// Feeds arbitrary bytes as a Docs file to the Word writer. Whatever the
// input, the writer answers with one of its results; a document it writes
// is a compound file that the Word reader reads back without failing.
#include "byte_stream.h"
#include "compound_file.h"
#include "docs_stream.h"
#include "word_reader.h"
#include "word_to_docs.h"
#include "word_writer.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

namespace {

// Handheld bitmaps pass through the temporary folder of a machine folder.
const bool kHomeSet = [] {
    if (std::getenv("PAPYRINE_HOME") == nullptr) {
        std::filesystem::path home = std::filesystem::temp_directory_path() / "qv_word_writer_fuzz";
        ::setenv("PAPYRINE_HOME", home.c_str(), 0);
    }
    return true;
}();

bool knownResult(int rc) {
    switch (rc) {
    case conv::kWriterOk:
    case conv::kWriterBadInput:
    case conv::kWriterWriteFailed:
    case conv::kWriterNoMemory:
    case conv::kWriterProtected:
    case conv::kWriterTooComplex: return true;
    default: return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    (void)kHomeSet;
    conv::MemoryStream source(data, size), destination;
    int rc = conv::convertDocsStreamToWord(source, destination, 1);
    if (!knownResult(rc)) std::abort();
    if (rc != conv::kWriterOk) return 0;

    conv::MemoryStream written(destination.bytes());
    std::unique_ptr<conv::CompoundStorage> storage = conv::openStorage(written);
    if (!storage) std::abort();
    conv::DocumentStream *document = storage->openDocumentStream(conv::kWordDocumentStream);
    conv::DocumentStream *table = storage->openDocumentStream(conv::kTable1Stream);
    conv::DocumentStream *pictures = storage->openDocumentStream(conv::kDataStream);
    if (document == nullptr || table == nullptr) std::abort();
    conv::DocumentStreamSource documentSource(*document), tableSource(*table);
    std::optional<conv::DocumentStreamSource> dataSource;
    if (pictures) dataSource.emplace(*pictures);
    conv::WordStreams streams;
    streams.wordDocument = &documentSource;
    streams.table1 = &tableSource;
    streams.data = dataSource ? &*dataSource : nullptr;
    conv::MemoryStream docs;
    conv::DocsStream out(docs);
    if (conv::convertWordStreams(streams, out) != conv::kWordOk) std::abort();
    return 0;
}
