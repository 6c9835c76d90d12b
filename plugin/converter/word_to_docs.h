// convertWordToDocs: a Word 97 document file becomes a Tarvoc Docs file.
// The source is opened as a compound file, its document streams are found
// and the Word reader writes the Docs stream into the destination, which is
// created (or truncated) first and left as it is when the conversion fails.
#pragma once

#include "compound_stream.h"
#include "word_format.h"

#include <cstdint>
#include <string>

namespace conv {

// Returns 0, a result code of conversion_results.h, or one of the two
// bypass codes when a file cannot be opened or created.
uint32_t convertWordToDocs(const std::string &sourcePath, const std::string &destinationPath);

// A stream of a compound file seen through the Word reader's random access.
class DocumentStreamSource : public WordSource {
public:
    explicit DocumentStreamSource(DocumentStream &stream) : stream_(stream) {}
    uint64_t size() const override { return uint64_t(stream_.size()); }
    bool readAt(uint64_t offset, void *buffer, size_t count) override;

private:
    DocumentStream &stream_;
};

}  // namespace conv
