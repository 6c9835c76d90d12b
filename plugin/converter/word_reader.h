// The Word reader: turns the main text of a Word 97 document into a Docs
// stream, walking the text character by character in document order and
// writing records as it goes (sections, paragraphs with their style chain,
// runs, tables with nested tables, lists, fields, hyperlinks, bookmarks,
// breaks, special characters and pictures). Headers, footers, notes,
// comments and text boxes are not converted.
#pragma once

#include "docs_stream.h"
#include "word_format.h"

#include <cstdint>
#include <string>

namespace conv {

// The streams of a Word document; any may be missing (null).
struct WordStreams {
    WordSource *wordDocument = nullptr;
    WordSource *table0 = nullptr;
    WordSource *table1 = nullptr;
    WordSource *data = nullptr;
};

// Converts the document into out; returns a WordResult (kWordOk on
// success). What was written before a failure stays in out.
int convertWordStreams(const WordStreams &streams, DocsStream &out);

// The next id of a field, hyperlink or bookmark (one counter for the life
// of the process, starting at 1) and the next table serial (8 bits, wraps).
uint32_t nextDocsFieldId();
uint8_t nextDocsTableSerial();

// The address of a HYPERLINK field from its code: the first argument, with
// "#" and the location appended when the code has a location switch (\l).
std::u16string hyperlinkTarget(const std::u16string &code);

}  // namespace conv
