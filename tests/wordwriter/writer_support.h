// Helpers for the Word writer's tests: Docs documents built with DocsStream,
// the Word file written from one and opened again (FIB, streams, text and
// the property runs of each position), the sprms of a run, and the Docs
// records of a stream as comparable lines.
#pragma once

#include "byte_stream.h"
#include "docs_stream.h"
#include "word_format.h"
#include "word_tables.h"
#include "word_text.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wwtest {

// A Docs stream as the Word reader begins one (header, empty page setup and
// document information), then whatever body writes, then record 27.
std::vector<uint8_t> docs(const std::function<void(conv::DocsStream &)> &body,
                          const conv::DocsDocInfo &info = conv::DocsDocInfo());
// One section holding the paragraphs that body writes.
std::vector<uint8_t> docsSection(const std::function<void(conv::DocsStream &)> &body);
// A paragraph with the default format and this text.
void paragraph(conv::DocsStream &s, const std::u16string &text, const conv::DocsParagraph &props = {});

// A Word document written by the writer and opened again.
struct Written {
    int result = -1;
    std::vector<uint8_t> file;
    std::vector<std::u16string> streamNames;
    std::vector<uint8_t> document, table, data;
    conv::WordFib fib;
    conv::WordPieceTable pieces;
    std::u16string text;  // the main text, through the piece table

    // The table stream bytes of FIB pair index.
    std::vector<uint8_t> pair(size_t index) const;
    // File position of the character at cp.
    uint32_t fcOf(uint32_t cp) const;
    // The paragraph and character runs holding cp.
    conv::WordRun paragraphRun(uint32_t cp) const;
    conv::WordRun characterRun(uint32_t cp) const;
    // The Docs stream the Word reader makes of the file.
    std::vector<uint8_t> readBack(int *result = nullptr) const;
};
Written writeWord(const std::vector<uint8_t> &docs, uint32_t seed = 1);

// The operand of the last occurrence of a sprm in a group; none when absent.
std::optional<std::vector<uint8_t>> sprmOperand(const std::vector<uint8_t> &sprms, uint16_t code);
// The operand as a little-endian number.
std::optional<uint32_t> sprmValue(const std::vector<uint8_t> &sprms, uint16_t code);

// The records of a Docs stream, one line each with every field except ids.
// A picture line ends with a checksum of the image it shows (a Word
// picture's whole data). Unless everyFormat, a character format appears
// only before content whose format it changes, and the text between is
// joined, so runs cut where nothing changes compare equal; pictures
// without data are no content then.
std::vector<std::string> docsRecords(const std::vector<uint8_t> &docs, bool everyFormat = false);

}  // namespace wwtest
