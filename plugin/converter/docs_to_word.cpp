#include "docs_to_word.h"

#include "byte_stream.h"
#include "conversion_results.h"
#include "word_writer.h"

#include <ctime>
#include <new>

namespace conv {

uint32_t convertDocsToWord(const std::string &sourcePath, const std::string &destinationPath) {
    FileStream destination(destinationPath, FileStream::kWrite);
    if (!destination.isOpen()) return kResultCannotCreateDestination;
    // The destination stays behind (empty) when the source cannot be opened.
    FileStream source(sourcePath, FileStream::kRead);
    if (!source.isOpen()) return kResultCannotOpenSource;
    int internal = kWriterNoMemory;
    try {
        internal = convertDocsStreamToWord(source, destination, uint32_t(std::time(nullptr)));
    } catch (const std::bad_alloc &) {
        internal = kWriterNoMemory;
    }
    return resultFromInternal(internal);
}

}  // namespace conv
