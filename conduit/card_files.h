// Whole files on a memory card: read at once within a size limit, and
// replaced through a temporary file ("<path>.tmp", hidden) that takes the
// file's name only once it is completely written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace conduit {

// Card file-system open modes the conduit uses.
constexpr uint16_t kCardOpenRead = 2;
constexpr uint16_t kCardOpenReadWrite = 7;
constexpr uint16_t kCardOpenCreateTruncate = 31;

// The answer of readCardFile for a file larger than the limit (no card
// file-system answer is negative).
constexpr int32_t kCardFileTooLarge = -1;

// 0 with the file's bytes; the card's answer (10760: no such file), or
// kCardFileTooLarge.
int32_t readCardFile(uint16_t volume, const std::string &path, uint32_t maxSize, std::vector<uint8_t> &bytes);

// Where replacing a card file failed.
enum class CardWriteStage { None, Create, Write, Replace };

struct CardWriteResult {
    int32_t answer = 0;
    CardWriteStage failedAt = CardWriteStage::None;
    bool ok() const { return failedAt == CardWriteStage::None; }
};

// Writes the bytes to "<path>.tmp" (created, hidden) and gives it the
// file's name, trying twice; on failure the temporary file is deleted and
// the old file stays as it was.
CardWriteResult replaceCardFile(uint16_t volume, const std::string &path, const std::vector<uint8_t> &bytes);

}  // namespace conduit
