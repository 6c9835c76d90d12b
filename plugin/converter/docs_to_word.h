// convertDocsToWord: a Tarvoc Docs file becomes a Word 97 document. The
// destination is created (or truncated) first, the source opened, a new
// compound file written on the destination and the Word writer fed by the
// Docs reader. A destination left by a failed conversion stays on disk for
// the caller to remove.
#pragma once

#include <cstdint>
#include <string>

namespace conv {

// Returns 0, a result code of conversion_results.h, or one of the two
// bypass codes when the destination cannot be created or the source opened.
uint32_t convertDocsToWord(const std::string &sourcePath, const std::string &destinationPath);

}  // namespace conv
