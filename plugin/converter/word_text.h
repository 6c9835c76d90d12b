// The text of a Word document and its formatting runs: the character and
// paragraph properties kept in 512-byte formatted disk pages (FKPs), found
// through the bin tables by file position, and the characters of the pieces
// read in slices. Only the page in use is held in memory.
#pragma once

#include "word_format.h"
#include "word_tables.h"

#include <array>
#include <cstdint>
#include <vector>

namespace conv {

// A stretch of file positions [fcStart, fcEnd) sharing one set of properties.
struct WordRun {
    uint32_t fcStart = 0;
    uint32_t fcEnd = 0;
    uint16_t styleIndex = 0;        // paragraph runs only
    std::vector<uint8_t> sprms;     // the run's own sprms (may be empty)
};

// Finds the run that holds a file position in the pages of one bin table.
class WordRunTable {
public:
    enum Kind { kCharacter, kParagraph };
    static constexpr size_t kPageSize = 512;

    WordRunTable(WordSource &document, Kind kind) : document_(document), kind_(kind) {}
    bool parse(std::vector<uint8_t> bytes) { return bins_.parse(std::move(bytes), 4); }

    // kWordOk with the run, kWordEndOfText when no page lists fc, kWordShortRead
    // when a page cannot be read.
    int find(uint32_t fc, WordRun &run);

private:
    int loadPage(uint32_t pageNumber);

    WordSource &document_;
    Kind kind_;
    Plcf bins_;
    std::array<uint8_t, kPageSize> page_{};
    int64_t pageNumber_ = -1;
};

// Reads the characters of a piece in slices.
class WordTextReader {
public:
    static constexpr size_t kSlice = 2048;  // characters per read

    explicit WordTextReader(WordSource &document) : document_(document) {}
    // The character at cp of piece; kWordShortRead when it is not in the file.
    int charAt(const WordPiece &piece, uint32_t cp, char16_t &c);

private:
    WordSource &document_;
    const WordPiece *piece_ = nullptr;
    uint32_t sliceCp_ = 0;
    std::vector<char16_t> slice_;
};

}  // namespace conv
