// Small Word 97 documents built byte by byte for the reader's tests: a FIB,
// UTF-16 text, one page of character runs and one of paragraph runs, a
// style sheet with "Normal", the section table, the piece table, and the
// field and bookmark tables when asked for. Plus a sink that records the
// Docs events a converted document gives.
#pragma once

#include "content_sink.h"
#include "word_format.h"
#include "word_reader.h"

#include <memory>
#include <string>
#include <vector>

namespace wordtest {

struct FixtureParagraph {
    std::u16string text;          // ends with its mark (\r or \a)
    std::vector<uint8_t> sprms;   // paragraph sprms of its run
};

struct FixtureRun {
    uint32_t cpEnd;               // the run covers up to here
    std::vector<uint8_t> sprms;   // character sprms
};

struct FixtureField {
    uint32_t cp;
    uint8_t mark;                 // 19, 20 or 21
    uint8_t type;                 // for 19: the field type
};

struct FixtureBookmark {
    std::u16string name;
    uint32_t start, end;
};

struct WordFixture {
    std::vector<FixtureParagraph> paragraphs;
    std::vector<FixtureRun> runs;          // empty: one run with no sprms
    std::vector<FixtureField> fields;
    std::vector<FixtureBookmark> bookmarks;
    std::vector<uint32_t> sectionStarts = {0};
    uint16_t extraFlags = 0;               // FIB flags besides the table stream

    // Builds the "WordDocument" and "1Table" streams.
    void build(std::vector<uint8_t> &document, std::vector<uint8_t> &table) const;
};

// Converts a fixture; result is the reader's result, docs the Docs bytes.
struct Converted {
    int result = 0;
    std::vector<uint8_t> docs;
};
Converted convertFixture(const WordFixture &fixture);

// The Docs events of a stream as short strings: "13" section, "14"
// paragraph, "t:text" (merged), "9", "8", "27", "6:<kind>:<text>", "34",
// "10", "11", "12", "23:rows=N", "30:cells=N", "31:w=N", "32", "39:<class>",
// "38:<list>:<level>", "22:f<format>"; with formats, "5:<flags>" too.
std::vector<std::string> docsEvents(const std::vector<uint8_t> &docs, bool withFormats = false);

// UTF-16 of a plain ASCII literal.
std::u16string u16(const std::string &ascii);

// A sprm with an operand of 1, 2 or 4 bytes (little-endian).
std::vector<uint8_t> sprm(uint16_t code, uint32_t operand, int operandSize);

}  // namespace wordtest
