#include "word_to_docs.h"

#include "buffered_stream.h"
#include "compound_file.h"
#include "conversion_results.h"
#include "docs_stream.h"
#include "word_reader.h"

#include <memory>
#include <new>
#include <optional>

namespace conv {

bool DocumentStreamSource::readAt(uint64_t offset, void *buffer, size_t count) {
    uint64_t total = size();
    if (offset > total || count > total - offset) return false;
    if (stream_.seek(int64_t(offset), ByteStream::kBegin) != int64_t(offset)) return false;
    bool complete = stream_.read(buffer, 1, count) == count;
    stream_.clearError();
    return complete;
}

namespace {

int convertStorage(ByteStream &source, ByteStream &destination) {
    if (!isCompoundFile(source)) return kWordNotCompound;
    std::unique_ptr<CompoundStorage> storage = openStorage(source);
    if (!storage) return kWordNotCompound;

    std::optional<DocumentStreamSource> sources[kWordStreamCount];
    WordSource *found[kWordStreamCount] = {};
    for (int i = 0; i < kWordStreamCount; ++i) {
        if (DocumentStream *s = storage->openDocumentStream(i)) {
            sources[i].emplace(*s);
            found[i] = &*sources[i];
        }
    }
    WordStreams streams;
    streams.wordDocument = found[kWordDocumentStream];
    streams.table0 = found[kTable0Stream];
    streams.table1 = found[kTable1Stream];
    streams.data = found[kDataStream];

    // Records are small; the file gets them in large pieces.
    BufferedStream buffered(destination);
    DocsStream out(buffered);
    int result = convertWordStreams(streams, out);
    if (!buffered.flush() && result == kWordOk) result = kWordWriteFailed;
    return result;
}

}  // namespace

uint32_t convertWordToDocs(const std::string &sourcePath, const std::string &destinationPath) {
    FileStream source(sourcePath, FileStream::kRead);
    if (!source.isOpen()) return kResultCannotOpenSource;
    FileStream destination(destinationPath, FileStream::kWrite);
    if (!destination.isOpen()) return kResultCannotCreateDestination;
    int internal = kWordOk;
    try {
        internal = convertStorage(source, destination);
    } catch (const std::bad_alloc &) {
        internal = kWordNoMemory;
    }
    return resultFromInternal(internal);
}

}  // namespace conv
