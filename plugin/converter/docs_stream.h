// DocsStream: writes and reads the byte encoding of a Tarvoc Docs file over
// a ByteStream (which it does not own): big-endian integers, UTF-8 text,
// one write and one read function per record class, the next-token test and
// record skipping. Writers that must fill in sizes later remember a
// placeholder's offset and overwrite it with overwriteU8/overwriteU16.
//
// Every operation returns 0 or one of the failure codes below. A record read
// that fails leaves the stream where the record began, so the caller can
// skip the record as a whole.
#pragma once

#include "byte_stream.h"
#include "docs_model.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace conv {

enum DocsStatus : int32_t {
    kDocsOk = 0,
    kDocsSeekFailed = 0x207,          // a relative seek moved less than asked
    kDocsNoMemory = 0x301,            // no memory for a header block
    kDocsReadFailed = 0xA00206,
    kDocsWriteFailed = 0xA00207,
    kDocsWrongRecordType = 0xA0020A,  // the stream is not at a record of that type
    kDocsMalformedRecord = 0xA0020B,  // a length or sub-id that does not fit
};

// Any code with a bit in 0xFFFF00 is a failure.
inline bool docsFailed(int32_t code) { return (code & 0xFFFF00) != 0; }

// Where the values that a table writer learns late were written.
struct DocsRowPlaceholders {
    int64_t cellCountOffset = -1;   // u8
    int64_t leftOffsetOffset = -1;  // u16
};

class DocsStream {
public:
    static constexpr size_t kBufferSize = 2048;
    // Characters encoded per slice when writing text.
    static constexpr size_t kWriteSlice = 512;
    // Bytes the first read of readUtf8 takes; later reads fill the buffer.
    static constexpr size_t kFirstTextRead = 256;

    explicit DocsStream(ByteStream &stream);
    DocsStream(const DocsStream &) = delete;
    DocsStream &operator=(const DocsStream &) = delete;

    ByteStream &byteStream() { return stream_; }

    // --- primitives -------------------------------------------------------
    int32_t writeU8(uint8_t v);
    int32_t writeU16(uint16_t v);
    int32_t writeU32(uint32_t v);
    int32_t writeBytes(const void *bytes, size_t count);
    // Encodes count UTF-16 units, each on its own (a surrogate becomes a
    // three-byte sequence). Returns the characters written; fewer than count
    // means the write failed. byteCount receives the bytes written.
    size_t writeUtf8(const char16_t *chars, size_t count, size_t *byteCount = nullptr);
    // Bytes the UTF-8 form of these characters takes.
    static size_t utf8Length(const char16_t *chars, size_t count);
    static size_t utf8Length(const std::u16string &s) { return utf8Length(s.data(), s.size()); }

    int32_t readU8(uint8_t &v);
    int32_t readU16(uint16_t &v);
    int32_t readU32(uint32_t &v);
    // Reads exactly count bytes; bytesRead (optional) receives how many came.
    int32_t readBytes(void *buffer, size_t count, size_t *bytesRead = nullptr);
    // Decodes whole characters until count are read, the next character
    // would pass byteLimit bytes, or a 0 byte or an invalid sequence comes.
    // The stream is left right after the last whole character. A 0 follows
    // the characters when fewer than count were read. Returns the count.
    size_t readUtf8(char16_t *buffer, size_t count, size_t byteLimit, size_t *bytesConsumed = nullptr);

    int64_t tell() const { return stream_.tell(); }
    int64_t size() const { return stream_.size(); }
    int32_t seekTo(int64_t offset);
    int32_t seekBy(int64_t distance);
    int32_t seekToEnd();

    // Placeholders: overwrite a value written earlier, then go back to the end.
    int32_t overwriteU8(int64_t offset, uint8_t v);
    int32_t overwriteU16(int64_t offset, uint16_t v);

    // --- tokens -----------------------------------------------------------
    // 0 when the next item is text, else the next record's type; 27 at the
    // end of the stream. The stream stays at the item's start.
    int nextToken();
    // Skips the item at the stream's position (text: two bytes); a short
    // record takes the continuation records (28) behind it along. Fails
    // without moving when the item reaches past the end of the stream.
    int32_t skipRecord();

    // --- records ----------------------------------------------------------
    int32_t writeHeader(const DocsHeader &header = DocsHeader());
    int32_t readHeader(DocsHeader &header);

    // Text items: the characters as UTF-8. U+0000 cannot stand in text (a 0
    // byte starts a record) and is left out.
    int32_t writeText(const char16_t *chars, size_t count);
    int32_t writeText(const std::u16string &s) { return writeText(s.data(), s.size()); }

    // Records without a body: 4, 8, 9, 10, 11, 12, 27.
    int32_t writeBareRecord(uint16_t type);
    int32_t readBareRecord(uint16_t type);
    int32_t writeFormatReset() { return writeBareRecord(kDocsFormatReset); }
    int32_t writeSectionEnd() { return writeBareRecord(kDocsSectionEnd); }
    int32_t writeParagraphEnd() { return writeBareRecord(kDocsParagraphEnd); }
    int32_t writePageBreak() { return writeBareRecord(kDocsPageBreak); }
    int32_t writeLineBreak() { return writeBareRecord(kDocsLineBreak); }
    int32_t writeColumnBreak() { return writeBareRecord(kDocsColumnBreak); }
    int32_t writeEndOfDocument() { return writeBareRecord(kDocsEndOfDocument); }

    int32_t writePageSetup(const DocsPageSetup &setup);
    int32_t readPageSetup(DocsPageSetup &setup);
    int32_t writeDocInfo(const DocsDocInfo &info);
    int32_t readDocInfo(DocsDocInfo &info);
    int32_t writeSection(const DocsSection &section);
    int32_t readSection(DocsSection &section);
    int32_t writeParagraph(const DocsParagraph &paragraph);
    int32_t readParagraph(DocsParagraph &paragraph);

    int32_t writeTextColor(const DocsColor &color);
    int32_t writeHighlightColor(const DocsColor &color);
    // Record 5: the flags, then the size when withSize, then the font name
    // when withFont (which implies the size).
    int32_t writeCharFormatRecord(const DocsCharFormat &format, bool withSize, bool withFont);
    // Reads a record 2, 3, 4 or 5 into the format state; on failure the
    // state is left as it was.
    int32_t readCharFormat(DocsCharFormat &format);

    int32_t writeFieldStart(const DocsFieldStart &field);
    int32_t readFieldStart(DocsFieldStart &field);
    int32_t writeFieldEnd(const DocsFieldEnd &field);
    int32_t readFieldEnd(DocsFieldEnd &field);
    int32_t writeSpecialChar(const DocsSpecialChar &special);
    int32_t readSpecialChar(DocsSpecialChar &special);

    // The picture record only; its data is written after it by the caller.
    int32_t writePicture(const DocsPicture &picture);
    // Reads the picture record and leaves the stream at the start of its data.
    int32_t readPicture(DocsPicture &picture);

    // rowCountOffset receives where the row count was written.
    int32_t writeTable(const DocsTable &table, int64_t *rowCountOffset = nullptr);
    int32_t readTable(DocsTable &table);
    int32_t writeRow(const DocsRow &row, DocsRowPlaceholders *placeholders = nullptr);
    int32_t readRow(DocsRow &row);
    // widthOffset receives where the width was written.
    int32_t writeCell(const DocsCell &cell, int64_t *widthOffset = nullptr);
    int32_t readCell(DocsCell &cell);
    int32_t writeTableEnd();
    int32_t readTableEnd();

    int32_t writeListDefinition(const DocsListDefinition &list);
    int32_t readListDefinition(DocsListDefinition &list);
    int32_t writeListReference(const DocsListReference &reference);
    int32_t readListReference(DocsListReference &reference);

private:
    int32_t writeRecordType(uint16_t type);
    // Reads L and the L - 1 body bytes of a short record into the work buffer.
    int32_t readShortBody(size_t &length);
    // The same after the type, which must be this one; on failure the stream
    // stays where the record began.
    int32_t readShortRecord(uint16_t type, size_t &length);
    // Reads the u16 type and checks it; the stream stays where it was on failure.
    int32_t expectType(uint16_t type);
    int32_t expectTypeIn(uint16_t first, uint16_t last, uint16_t &type);
    // Moves forward by count bytes only when that stays inside the stream.
    int32_t skipForward(int64_t count);
    int64_t remaining() const;
    // Leaves the stream at start and passes the failure on.
    int32_t fail(int64_t start, int32_t code);
    // Reads count bytes of UTF-8 and requires that all of them decode.
    int32_t readUtf8Exact(size_t byteCount, std::u16string &out);

    ByteStream &stream_;
    std::array<uint8_t, kBufferSize> buffer_{};
};

// Writes the character format of each run, with only what changed since the
// previous run. After a paragraph end the previous run's font is a name no
// real run has, so the first run of every paragraph carries its full format.
class DocsCharFormatWriter {
public:
    DocsCharFormatWriter() { paragraphEnded(); }
    // The previous run's state goes back to the defaults with the sentinel
    // font; the caller starts its current state from the defaults as well.
    void paragraphEnded();
    int32_t writeRun(DocsStream &stream, const DocsCharFormat &current);
    const DocsCharFormat &previous() const { return previous_; }

private:
    DocsCharFormat previous_;
};

}  // namespace conv
