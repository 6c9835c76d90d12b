// ContentSink: the consumer of a Docs document. DocsReader walks a Docs
// stream and calls one operation per event, in document order; a writer of
// another format implements the operations it needs (each does nothing by
// default). Every operation returns 0 to go on; any other value stops the
// reader and becomes its result. Operations that take a record also get the
// file offset at which that record began.
#pragma once

#include "docs_model.h"

#include <cstddef>
#include <cstdint>

namespace conv {

class DocsReader;

class ContentSink {
public:
    ContentSink(const ContentSink &) = delete;
    ContentSink &operator=(const ContentSink &) = delete;

    // Before the first record; the reader's stream is available from here on.
    virtual int32_t begin(DocsReader &reader);
    virtual int32_t header(const DocsHeader &header);
    virtual int32_t docInfo(const DocsDocInfo &info, int64_t offset);
    virtual int32_t pageSetup(const DocsPageSetup &setup, int64_t offset);
    virtual int32_t endOfDocument();
    virtual int32_t sectionProps(const DocsSection &section, int64_t offset);
    virtual int32_t sectionEnd();
    virtual int32_t paragraphProps(const DocsParagraph &paragraph, int64_t offset);
    virtual int32_t paragraphEnd();
    // Up to 1024 UTF-16 units at a time.
    virtual int32_t text(const char16_t *chars, size_t count);
    // The whole character format after a record 2, 3, 4 or 5.
    virtual int32_t charFormat(const DocsCharFormat &format, int64_t offset);
    // The reader's stream stands at the start of the picture data; wherever
    // the sink leaves it, reading goes on after the data.
    virtual int32_t picture(const DocsPicture &picture, int64_t offset);
    virtual int32_t tableStart(const DocsTable &table, int64_t offset);
    virtual int32_t rowStart(const DocsRow &row, int64_t offset);
    virtual int32_t rowEnd();
    virtual int32_t cellStart(const DocsCell &cell, int64_t offset);
    virtual int32_t cellEnd();
    virtual int32_t tableEnd();
    virtual int32_t listDefinition(const DocsListDefinition &list, int64_t offset);
    virtual int32_t listReference(const DocsListReference &reference, int64_t offset);
    virtual int32_t fieldStart(const DocsFieldStart &field, int64_t offset);
    virtual int32_t fieldEnd(const DocsFieldEnd &field, int64_t offset);
    virtual int32_t pageBreak();
    virtual int32_t lineBreak();
    virtual int32_t columnBreak();
    // A record (type, or 0 for text) that is not expected where it stands.
    // The stream is at its start; the sink may read it, and the reader then
    // skips it from its start. At the end of the file inside a section,
    // paragraph or table this comes with type 27 and nothing left to read.
    virtual int32_t otherRecord(uint16_t type, int64_t offset);

    virtual ~ContentSink() = default;

protected:
    ContentSink() = default;
};

}  // namespace conv
