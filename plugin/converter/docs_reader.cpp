#include "docs_reader.h"

#include <new>

namespace conv {

// Every loop below takes one item per turn and either reads it, skips it or
// leaves; reads and skips always move forward, so no loop can spin.

int32_t DocsReader::run(ByteStream &stream, ContentSink &sink) {
    try {
        stream_ = std::make_unique<DocsStream>(stream);
        sink_ = &sink;
        int32_t rc = sink_->begin(*this);
        if (rc == kOk) rc = readHeader();
        if (rc == kOk) rc = documentLoop();
        sink_ = nullptr;
        return rc;
    } catch (const std::bad_alloc &) {
        sink_ = nullptr;
        return kNoMemory;
    }
}

int32_t DocsReader::readHeader() {
    DocsHeader header;
    DocsStream &s = *stream_;
    if (s.tell() == 0) {
        uint32_t magic = 0;
        bool hasMagic = s.readU32(magic) == kDocsOk && magic == DocsHeader::kMagic;
        if (s.seekTo(0) != kDocsOk) return kDamaged;
        if (hasMagic) {
            int32_t rc = s.readHeader(header);
            if (rc == kDocsNoMemory) return kNoMemory;
            if (rc != kDocsOk) return kDamaged;
            // A length shorter than the fixed header would point back into it.
            int64_t contentStart = header.headerLength < DocsHeader::kPlainLength ? DocsHeader::kPlainLength
                                                                                   : header.headerLength;
            if (s.seekTo(contentStart) != kDocsOk) return kDamaged;
        }
    }
    return sink_->header(header);
}

int32_t DocsReader::skip() {
    int64_t before = stream_->tell();
    if (stream_->skipRecord() != kDocsOk || stream_->tell() <= before) return kDamaged;
    return kOk;
}

int32_t DocsReader::otherRecord(int type) {
    int64_t start = stream_->tell();
    int32_t rc = sink_->otherRecord(uint16_t(type), start);
    if (rc != kOk) return rc;
    if (stream_->seekTo(start) != kDocsOk) return kDamaged;
    return skip();
}

int32_t DocsReader::documentLoop() {
    DocsStream &s = *stream_;
    while (true) {
        int type = s.nextToken();
        int64_t offset = s.tell();
        int32_t rc = kOk;
        switch (type) {
        case kDocsSectionStart:
            rc = section();
            break;
        case kDocsPageSetup:
            if (s.readPageSetup(pageSetup_) == kDocsOk) rc = sink_->pageSetup(pageSetup_, offset);
            else rc = skip();
            break;
        case kDocsDocInfo:
            if (s.readDocInfo(docInfo_) == kDocsOk) rc = sink_->docInfo(docInfo_, offset);
            else rc = skip();
            break;
        case kDocsListDefinition:
            if (s.readListDefinition(listDefinition_) != kDocsOk) return kDamaged;
            rc = sink_->listDefinition(listDefinition_, offset);
            break;
        case kDocsEndOfDocument:
            s.skipRecord();  // at the end of the stream there is nothing to skip
            return sink_->endOfDocument();
        default:
            rc = otherRecord(type);
            break;
        }
        if (rc != kOk) return rc;
    }
}

int32_t DocsReader::section() {
    DocsStream &s = *stream_;
    while (true) {
        int type = s.nextToken();
        int64_t offset = s.tell();
        int32_t rc = kOk;
        switch (type) {
        case kDocsSectionStart:
            section_ = DocsSection();
            if (s.readSection(section_) == kDocsOk) rc = sink_->sectionProps(section_, offset);
            else rc = skip();
            break;
        case kDocsParagraphStart:
            rc = paragraph();
            break;
        case kDocsTableStart:
            rc = table(1);
            break;
        case kDocsPageBreak:
            rc = skip();
            if (rc == kOk) rc = sink_->pageBreak();
            break;
        case kDocsColumnBreak:
            rc = skip();
            if (rc == kOk) rc = sink_->columnBreak();
            break;
        case kDocsSectionEnd:
            rc = skip();
            return rc != kOk ? rc : sink_->sectionEnd();
        default:
            rc = otherRecord(type);
            break;
        }
        if (rc != kOk) return rc;
    }
}

int32_t DocsReader::paragraph() {
    DocsStream &s = *stream_;
    int64_t offset = s.tell();
    paragraph_ = DocsParagraph();
    int32_t rc = s.readParagraph(paragraph_) == kDocsOk ? sink_->paragraphProps(paragraph_, offset) : skip();
    if (rc != kOk) return rc;
    format_ = DocsCharFormat();
    while (true) {
        int type = s.nextToken();
        offset = s.tell();
        switch (type) {
        case kDocsText: {
            size_t chars = s.readUtf8(text_, kTextChunk, 2 * kTextChunk);
            rc = chars == 0 ? int32_t(kDamaged) : sink_->text(text_, chars);
            break;
        }
        case kDocsTextColor:
        case kDocsHighlightColor:
        case kDocsFormatReset:
        case kDocsCharFormat:
            rc = s.readCharFormat(format_) == kDocsOk ? sink_->charFormat(format_, offset) : skip();
            break;
        case kDocsFieldStart:
            rc = fieldStart();
            break;
        case kDocsFieldEnd:
            rc = fieldEnd();
            break;
        case kDocsLineBreak:
            rc = skip();
            if (rc == kOk) rc = sink_->lineBreak();
            break;
        case kDocsPicture:
            rc = picture();
            break;
        case kDocsListReference:
            if (s.readListReference(listReference_) != kDocsOk) return kDamaged;
            rc = sink_->listReference(listReference_, offset);
            break;
        case kDocsParagraphEnd:
            rc = skip();
            return rc != kOk ? rc : sink_->paragraphEnd();
        default:
            rc = otherRecord(type);
            break;
        }
        if (rc != kOk) return rc;
    }
}

int32_t DocsReader::picture() {
    DocsStream &s = *stream_;
    int64_t offset = s.tell();
    picture_ = DocsPicture();
    // A picture record that does not read is stepped over with its data,
    // without a picture event.
    if (s.readPicture(picture_) != kDocsOk) return skip();
    int64_t dataEnd = s.tell() + int64_t(picture_.dataSize);
    int32_t rc = sink_->picture(picture_, offset);
    if (rc != kOk) return rc;
    return s.seekTo(dataEnd) == kDocsOk ? int32_t(kOk) : int32_t(kDamaged);
}

int32_t DocsReader::fieldStart() {
    int64_t offset = stream_->tell();
    if (stream_->readFieldStart(fieldStart_) != kDocsOk) return kDamaged;
    return sink_->fieldStart(fieldStart_, offset);
}

int32_t DocsReader::fieldEnd() {
    int64_t offset = stream_->tell();
    if (stream_->readFieldEnd(fieldEnd_) != kDocsOk) return kDamaged;
    return sink_->fieldEnd(fieldEnd_, offset);
}

int32_t DocsReader::table(int depth) {
    if (depth > kMaxTableDepth) return kDamaged;
    DocsStream &s = *stream_;
    while (true) {
        int type = s.nextToken();
        int64_t offset = s.tell();
        int32_t rc = kOk;
        switch (type) {
        case kDocsTableStart:
            if (s.readTable(table_) != kDocsOk) return kDamaged;
            rc = sink_->tableStart(table_, offset);
            break;
        case kDocsRowStart:
            rc = row(depth);
            break;
        case kDocsFieldStart:
            rc = fieldStart();
            break;
        case kDocsFieldEnd:
            rc = fieldEnd();
            break;
        case kDocsTableEnd:
            rc = sink_->tableEnd();
            if (rc == kOk) rc = skip();
            return rc;
        default:
            rc = otherRecord(type);
            break;
        }
        if (rc != kOk) return rc;
    }
}

int32_t DocsReader::row(int depth) {
    DocsStream &s = *stream_;
    int64_t offset = s.tell();
    if (s.readRow(row_) != kDocsOk) return kDamaged;
    int32_t rc = sink_->rowStart(row_, offset);
    while (rc == kOk) {
        int type = s.nextToken();
        if (type == kDocsRowStart || type == kDocsTableEnd) break;
        switch (type) {
        case kDocsCellStart:
            rc = cell(depth);
            break;
        case kDocsFieldStart:
            rc = fieldStart();
            break;
        case kDocsFieldEnd:
            rc = fieldEnd();
            break;
        default:
            rc = otherRecord(type);
            break;
        }
    }
    return rc != kOk ? rc : sink_->rowEnd();
}

int32_t DocsReader::cell(int depth) {
    DocsStream &s = *stream_;
    int64_t offset = s.tell();
    if (s.readCell(cell_) != kDocsOk) return kDamaged;
    int32_t rc = sink_->cellStart(cell_, offset);
    while (rc == kOk) {
        int type = s.nextToken();
        if (type == kDocsRowStart || type == kDocsCellStart || type == kDocsTableEnd) break;
        switch (type) {
        case kDocsParagraphStart:
            rc = paragraph();
            break;
        case kDocsTableStart:
            rc = table(depth + 1);
            break;
        case kDocsFieldStart:
            rc = fieldStart();
            break;
        case kDocsFieldEnd:
            rc = fieldEnd();
            break;
        default:
            rc = otherRecord(type);
            break;
        }
    }
    return rc != kOk ? rc : sink_->cellEnd();
}

}  // namespace conv
