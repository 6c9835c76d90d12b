#include "docs_stream.h"

#include "byte_order.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace conv {

namespace {

enum class Utf8Stop { kCount, kLimit, kInvalid, kEndOfBytes };

struct Utf8Decoded {
    size_t chars = 0;
    size_t bytes = 0;
    Utf8Stop stop = Utf8Stop::kEndOfBytes;
};

// Decodes whole characters from bytes[0, length). Stops when maxChars are
// complete, when the next character would pass byteLimit, at a 0 byte or an
// invalid sequence, or at a character that the end of the bytes cuts short.
Utf8Decoded decodeUtf8(const uint8_t *bytes, size_t length, char16_t *out, size_t maxChars, size_t byteLimit) {
    Utf8Decoded r;
    while (true) {
        if (r.chars >= maxChars) { r.stop = Utf8Stop::kCount; return r; }
        if (r.bytes >= length) { r.stop = Utf8Stop::kEndOfBytes; return r; }
        const uint8_t *p = bytes + r.bytes;
        uint8_t lead = p[0];
        size_t need;
        if (lead == 0) { r.stop = Utf8Stop::kInvalid; return r; }
        if (lead < 0x80) need = 1;
        else if ((lead & 0xE0) == 0xC0) need = 2;
        else if ((lead & 0xF0) == 0xE0) need = 3;
        else { r.stop = Utf8Stop::kInvalid; return r; }
        if (r.bytes + need > byteLimit) { r.stop = Utf8Stop::kLimit; return r; }
        size_t available = length - r.bytes;
        for (size_t i = 1; i < need; ++i) {
            if (i >= available) { r.stop = Utf8Stop::kEndOfBytes; return r; }
            if ((p[i] & 0xC0) != 0x80) { r.stop = Utf8Stop::kInvalid; return r; }
        }
        char16_t c;
        if (need == 1) c = lead;
        else if (need == 2) c = char16_t(((lead & 0x1F) << 6) | (p[1] & 0x3F));
        else c = char16_t(((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
        out[r.chars++] = c;
        r.bytes += need;
    }
}

size_t encodeUtf8(const char16_t *chars, size_t count, uint8_t *out) {
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        char16_t c = chars[i];
        if (c < 0x80) {
            out[n++] = uint8_t(c);
        } else if (c < 0x800) {
            out[n++] = uint8_t(0xC0 | (c >> 6));
            out[n++] = uint8_t(0x80 | (c & 0x3F));
        } else {
            out[n++] = uint8_t(0xE0 | (c >> 12));
            out[n++] = uint8_t(0x80 | ((c >> 6) & 0x3F));
            out[n++] = uint8_t(0x80 | (c & 0x3F));
        }
    }
    return n;
}

// Walks the bytes of a record body held in memory.
class BodyCursor {
public:
    BodyCursor(const uint8_t *bytes, size_t length) : p_(bytes), n_(length) {}
    size_t left() const { return n_ - pos_; }
    size_t position() const { return pos_; }
    const uint8_t *here() const { return p_ + pos_; }
    void advance(size_t count) { pos_ += count; }
    bool u8(uint8_t &v) {
        if (left() < 1) return false;
        v = p_[pos_++];
        return true;
    }
    bool u16(uint16_t &v) {
        if (left() < 2) return false;
        v = qv::loadBE16(p_ + pos_);
        pos_ += 2;
        return true;
    }
    bool i16(int16_t &v) {
        uint16_t u;
        if (!u16(u)) return false;
        v = int16_t(u);
        return true;
    }
    bool u32(uint32_t &v) {
        if (left() < 4) return false;
        v = qv::loadBE32(p_ + pos_);
        pos_ += 4;
        return true;
    }

private:
    const uint8_t *p_;
    size_t n_;
    size_t pos_ = 0;
};

// Builds a record in memory before it is written in one piece.
class RecordBuilder {
public:
    void u8(uint8_t v) { bytes_[n_++] = v; }
    void u16(uint16_t v) {
        qv::storeBE16(bytes_ + n_, v);
        n_ += 2;
    }
    void u32(uint32_t v) {
        qv::storeBE32(bytes_ + n_, v);
        n_ += 4;
    }
    void entryU8(uint8_t subId, uint8_t v) { u8(subId), u8(v); }
    void entryU16(uint8_t subId, uint16_t v) { u8(subId), u16(v); }
    const uint8_t *data() const { return bytes_; }
    size_t size() const { return n_; }

private:
    uint8_t bytes_[128];
    size_t n_ = 0;
};

bool isBareType(uint16_t type) {
    return type == kDocsFormatReset || (type >= kDocsSectionEnd && type <= kDocsColumnBreak) ||
           type == kDocsEndOfDocument;
}

}  // namespace

DocsStream::DocsStream(ByteStream &stream) : stream_(stream) {}

// --- primitives -----------------------------------------------------------

int32_t DocsStream::writeBytes(const void *bytes, size_t count) {
    if (count == 0) return kDocsOk;
    return stream_.write(bytes, count) == count ? kDocsOk : kDocsWriteFailed;
}

int32_t DocsStream::writeU8(uint8_t v) { return writeBytes(&v, 1); }

int32_t DocsStream::writeU16(uint16_t v) {
    uint8_t b[2];
    qv::storeBE16(b, v);
    return writeBytes(b, 2);
}

int32_t DocsStream::writeU32(uint32_t v) {
    uint8_t b[4];
    qv::storeBE32(b, v);
    return writeBytes(b, 4);
}

size_t DocsStream::utf8Length(const char16_t *chars, size_t count) {
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) n += chars[i] < 0x80 ? 1 : chars[i] < 0x800 ? 2 : 3;
    return n;
}

size_t DocsStream::writeUtf8(const char16_t *chars, size_t count, size_t *byteCount) {
    size_t done = 0, bytes = 0;
    while (done < count) {
        size_t slice = std::min(kWriteSlice, count - done);
        size_t n = encodeUtf8(chars + done, slice, buffer_.data());
        size_t written = stream_.write(buffer_.data(), n);
        if (written != n) {
            stream_.seek(-int64_t(written), ByteStream::kCurrent);
            break;
        }
        done += slice;
        bytes += n;
    }
    if (byteCount) *byteCount = bytes;
    return done;
}

int32_t DocsStream::readBytes(void *buffer, size_t count, size_t *bytesRead) {
    size_t n = count ? stream_.read(buffer, count) : 0;
    if (bytesRead) *bytesRead = n;
    return n == count ? kDocsOk : kDocsReadFailed;
}

int32_t DocsStream::readU8(uint8_t &v) {
    uint8_t b;
    size_t n = stream_.read(&b, 1);
    if (n != 1) return kDocsReadFailed;
    v = b;
    return kDocsOk;
}

int32_t DocsStream::readU16(uint16_t &v) {
    uint8_t b[2];
    size_t n = stream_.read(b, 2);
    if (n != 2) {
        stream_.seek(-int64_t(n), ByteStream::kCurrent);
        return kDocsReadFailed;
    }
    v = qv::loadBE16(b);
    return kDocsOk;
}

int32_t DocsStream::readU32(uint32_t &v) {
    uint8_t b[4];
    size_t n = stream_.read(b, 4);
    if (n != 4) {
        stream_.seek(-int64_t(n), ByteStream::kCurrent);
        return kDocsReadFailed;
    }
    v = qv::loadBE32(b);
    return kDocsOk;
}

size_t DocsStream::readUtf8(char16_t *out, size_t count, size_t byteLimit, size_t *bytesConsumed) {
    int64_t start = tell();
    // Text runs are mostly short: a small first read saves copying bytes
    // that belong to the records behind the text.
    size_t firstRead = std::min<size_t>({kFirstTextRead, kBufferSize, std::max<size_t>(byteLimit, 1)});
    size_t have = stream_.read(buffer_.data(), firstRead);
    size_t offset = 0, chars = 0, consumed = 0;
    while (true) {
        Utf8Decoded r = decodeUtf8(buffer_.data() + offset, have - offset, out + chars, count - chars,
                                   byteLimit - consumed);
        chars += r.chars;
        consumed += r.bytes;
        offset += r.bytes;
        if (r.stop != Utf8Stop::kEndOfBytes) break;
        // Keep the start of a character the buffer cut short, then refill.
        size_t tail = have - offset;
        std::memmove(buffer_.data(), buffer_.data() + offset, tail);
        size_t more = stream_.read(buffer_.data() + tail, kBufferSize - tail);
        if (more == 0) break;
        have = tail + more;
        offset = 0;
    }
    stream_.seek(start + int64_t(consumed), ByteStream::kBegin);
    if (chars < count) out[chars] = 0;
    if (bytesConsumed) *bytesConsumed = consumed;
    return chars;
}

int32_t DocsStream::seekTo(int64_t offset) {
    stream_.seek(offset, ByteStream::kBegin);
    return stream_.tell() == offset ? kDocsOk : kDocsSeekFailed;
}

int32_t DocsStream::seekBy(int64_t distance) {
    return stream_.seek(distance, ByteStream::kCurrent) == distance ? kDocsOk : kDocsSeekFailed;
}

int32_t DocsStream::seekToEnd() {
    stream_.seek(0, ByteStream::kEnd);
    return stream_.tell() == stream_.size() ? kDocsOk : kDocsSeekFailed;
}

int32_t DocsStream::overwriteU8(int64_t offset, uint8_t v) {
    int32_t rc = seekTo(offset);
    if (rc == kDocsOk) rc = writeU8(v);
    int32_t end = seekToEnd();
    return rc != kDocsOk ? rc : end;
}

int32_t DocsStream::overwriteU16(int64_t offset, uint16_t v) {
    int32_t rc = seekTo(offset);
    if (rc == kDocsOk) rc = writeU16(v);
    int32_t end = seekToEnd();
    return rc != kDocsOk ? rc : end;
}

int64_t DocsStream::remaining() const {
    int64_t left = stream_.size() - stream_.tell();
    return left > 0 ? left : 0;
}

int32_t DocsStream::skipForward(int64_t count) {
    if (count < 0) return kDocsMalformedRecord;
    if (count > remaining()) return kDocsReadFailed;
    return seekBy(count);
}

int32_t DocsStream::fail(int64_t start, int32_t code) {
    stream_.seek(start, ByteStream::kBegin);
    return code;
}

int32_t DocsStream::readUtf8Exact(size_t byteCount, std::u16string &out) {
    if (int64_t(byteCount) > remaining()) return kDocsReadFailed;
    std::u16string text(byteCount, u'\0');
    size_t consumed = 0;
    size_t chars = readUtf8(text.data(), byteCount, byteCount, &consumed);
    if (consumed != byteCount) return kDocsMalformedRecord;
    text.resize(chars);
    out = std::move(text);
    return kDocsOk;
}

// --- tokens ---------------------------------------------------------------

int DocsStream::nextToken() {
    uint8_t b[2];
    size_t n = stream_.read(b, 2);
    if (n == 0) return kDocsEndOfDocument;
    stream_.seek(-int64_t(n), ByteStream::kCurrent);
    if (b[0] != 0) return kDocsText;
    if (n < 2) return kDocsEndOfDocument;
    return b[1];
}

int32_t DocsStream::skipRecord() {
    int64_t start = tell();
    int type = nextToken();
    int32_t rc = kDocsOk;
    auto skipShort = [this]() -> int32_t {
        uint8_t length;
        int32_t rc = skipForward(2);
        if (rc == kDocsOk) rc = readU8(length);
        if (rc == kDocsOk && length < 1) rc = kDocsMalformedRecord;
        if (rc == kDocsOk) rc = skipForward(int64_t(length) - 1);
        return rc;
    };
    if (type == kDocsText || isBareType(uint16_t(type))) {
        rc = skipForward(2);
    } else if (type == kDocsFieldStart || type == kDocsSpecialChar) {
        uint16_t length = 0;
        rc = skipForward(2);
        if (rc == kDocsOk) rc = readU16(length);
        if (rc == kDocsOk && length < 2) rc = kDocsMalformedRecord;
        if (rc == kDocsOk) rc = skipForward(int64_t(length) - 2);
    } else if (type == kDocsPicture) {
        uint8_t length = 0;
        uint32_t dataSize = 0;
        rc = skipForward(2);
        if (rc == kDocsOk) rc = readU8(length);
        if (rc == kDocsOk && length < 1) rc = kDocsMalformedRecord;
        if (rc == kDocsOk && length < 7) {
            // Too short to hold a data size: the record has no data.
            rc = skipForward(int64_t(length) - 1);
        } else {
            if (rc == kDocsOk) rc = skipForward(2);
            if (rc == kDocsOk) rc = readU32(dataSize);
            if (rc == kDocsOk) rc = skipForward(int64_t(length) - 7);
            if (rc == kDocsOk) rc = skipForward(dataSize);
        }
    } else {
        rc = skipShort();
        while (rc == kDocsOk && tell() < size() && nextToken() == kDocsContinuation) rc = skipShort();
    }
    return rc == kDocsOk ? kDocsOk : fail(start, rc);
}

// --- header ---------------------------------------------------------------

int32_t DocsStream::writeHeader(const DocsHeader &header) {
    uint8_t b[16];
    size_t blockLength = header.hasProtectionBlock ? header.protectionBlock.size() : 0;
    if (header.hasProtectionBlock && blockLength > 0xFFFF - 18) return kDocsMalformedRecord;
    qv::storeBE32(b, header.magic);
    qv::storeBE16(b + 4, uint16_t(header.hasProtectionBlock ? 18 + blockLength : DocsHeader::kPlainLength));
    qv::storeBE16(b + 6, header.version);
    b[8] = header.byte8;
    b[9] = header.byte9;
    qv::storeBE32(b + 10, header.value10);
    b[14] = header.byte14;
    b[15] = header.byte15;
    int32_t rc = writeBytes(b, sizeof b);
    if (rc == kDocsOk && header.hasProtectionBlock) {
        rc = writeU16(uint16_t(blockLength));
        if (rc == kDocsOk) rc = writeBytes(header.protectionBlock.data(), blockLength);
    }
    return rc;
}

int32_t DocsStream::readHeader(DocsHeader &header) {
    int64_t start = tell();
    uint8_t b[16];
    if (readBytes(b, sizeof b) != kDocsOk) return fail(start, kDocsReadFailed);
    DocsHeader h;
    h.magic = qv::loadBE32(b);
    if (h.magic != DocsHeader::kMagic) return fail(start, kDocsWrongRecordType);
    h.headerLength = qv::loadBE16(b + 4);
    h.version = qv::loadBE16(b + 6);
    h.byte8 = b[8];
    h.byte9 = b[9];
    h.value10 = qv::loadBE32(b + 10);
    h.byte14 = b[14];
    h.byte15 = b[15];
    if (h.headerLength > DocsHeader::kPlainLength) {
        uint16_t blockLength;
        if (readU16(blockLength) != kDocsOk || blockLength > remaining()) return fail(start, kDocsReadFailed);
        try {
            h.protectionBlock.resize(blockLength);
        } catch (const std::bad_alloc &) {
            return fail(start, kDocsNoMemory);
        }
        if (readBytes(h.protectionBlock.data(), blockLength) != kDocsOk) return fail(start, kDocsReadFailed);
        h.hasProtectionBlock = true;
    }
    header = std::move(h);
    return kDocsOk;
}

// --- records: common parts ------------------------------------------------

int32_t DocsStream::writeRecordType(uint16_t type) { return writeU16(type); }

int32_t DocsStream::expectType(uint16_t type) {
    uint16_t found;
    return expectTypeIn(type, type, found);
}

int32_t DocsStream::expectTypeIn(uint16_t first, uint16_t last, uint16_t &type) {
    int64_t start = tell();
    uint16_t t;
    if (readU16(t) != kDocsOk) return kDocsReadFailed;
    if (t < first || t > last) return fail(start, kDocsWrongRecordType);
    type = t;
    return kDocsOk;
}

int32_t DocsStream::readShortBody(size_t &length) {
    uint8_t l;
    if (readU8(l) != kDocsOk) return kDocsReadFailed;
    if (l < 1) return kDocsMalformedRecord;
    length = size_t(l) - 1;
    return readBytes(buffer_.data(), length);
}

int32_t DocsStream::readShortRecord(uint16_t type, size_t &length) {
    int64_t start = tell();
    int32_t rc = expectType(type);
    if (rc == kDocsOk && (rc = readShortBody(length)) != kDocsOk) return fail(start, rc);
    return rc;
}

int32_t DocsStream::writeBareRecord(uint16_t type) {
    if (!isBareType(type)) return kDocsWrongRecordType;
    return writeRecordType(type);
}

int32_t DocsStream::readBareRecord(uint16_t type) {
    if (!isBareType(type)) return kDocsWrongRecordType;
    return expectType(type);
}

int32_t DocsStream::writeText(const char16_t *chars, size_t count) {
    size_t i = 0;
    while (i < count) {
        size_t end = i;
        while (end < count && chars[end] != 0) ++end;
        if (end > i && writeUtf8(chars + i, end - i) != end - i) return kDocsWriteFailed;
        i = end + 1;  // past the U+0000, which cannot be stored
    }
    return kDocsOk;
}

// --- page setup -----------------------------------------------------------

int32_t DocsStream::writePageSetup(const DocsPageSetup &setup) {
    RecordBuilder body;
    for (int id = 1; id <= DocsPageSetup::kCount; ++id) {
        uint16_t v = setup.value(id);
        if (v == DocsPageSetup::kDefaults[size_t(id - 1)]) continue;
        if (id == DocsPageSetup::kByteValue) v &= 0xFF;
        body.entryU16(uint8_t(id), v);
    }
    RecordBuilder r;
    r.u16(kDocsPageSetup);
    r.u8(uint8_t(1 + body.size()));
    int32_t rc = writeBytes(r.data(), r.size());
    return rc == kDocsOk ? writeBytes(body.data(), body.size()) : rc;
}

int32_t DocsStream::readPageSetup(DocsPageSetup &setup) {
    int64_t start = tell();
    size_t length;
    int32_t rc = readShortRecord(kDocsPageSetup, length);
    if (rc != kDocsOk) return rc;
    DocsPageSetup result;
    BodyCursor c(buffer_.data(), length);
    while (c.left() > 0) {
        uint8_t id;
        uint16_t v;
        c.u8(id);
        if (id < 1 || id > DocsPageSetup::kCount || !c.u16(v)) return fail(start, kDocsMalformedRecord);
        if (id == DocsPageSetup::kByteValue) v &= 0xFF;
        result.setValue(id, v);
    }
    setup = result;
    return kDocsOk;
}

// --- document information -------------------------------------------------

int32_t DocsStream::writeDocInfo(const DocsDocInfo &info) {
    size_t length = 1;
    for (const auto &s : info.strings)
        if (!s.empty()) length += 2 + utf8Length(s);
    bool fits = length < DocsDocInfo::kMaxRecordLength;
    uint8_t head[3] = {0, uint8_t(kDocsDocInfo), uint8_t(fits ? length : 1)};
    int32_t rc = writeBytes(head, sizeof head);
    if (!fits) return rc;
    for (int id = 1; rc == kDocsOk && id <= DocsDocInfo::kCount; ++id) {
        const std::u16string &s = info.string(id);
        if (s.empty()) continue;
        uint8_t entry[2] = {uint8_t(id), uint8_t(s.size())};
        rc = writeBytes(entry, 2);
        if (rc == kDocsOk && writeUtf8(s.data(), s.size()) != s.size()) rc = kDocsWriteFailed;
    }
    return rc;
}

int32_t DocsStream::readDocInfo(DocsDocInfo &info) {
    int64_t start = tell();
    size_t length;
    int32_t rc = readShortRecord(kDocsDocInfo, length);
    if (rc != kDocsOk) return rc;
    DocsDocInfo result;
    BodyCursor c(buffer_.data(), length);
    char16_t chars[256];
    while (c.left() > 0) {
        uint8_t id, count;
        c.u8(id);
        if (id < 1 || id > DocsDocInfo::kCount || !c.u8(count)) return fail(start, kDocsMalformedRecord);
        Utf8Decoded d = decodeUtf8(c.here(), c.left(), chars, count, c.left());
        c.advance(d.bytes);
        result.setString(id, std::u16string(chars, d.chars));
    }
    info = std::move(result);
    return kDocsOk;
}

// --- section --------------------------------------------------------------

int32_t DocsStream::writeSection(const DocsSection &s) {
    const DocsSection d;
    RecordBuilder b;
    if (s.columns != d.columns) b.entryU8(1, s.columns);
    if (s.columnSpacing != d.columnSpacing) b.entryU16(2, s.columnSpacing);
    if (s.lineBetween) b.u8(3);
    if (s.pageWidth != d.pageWidth) b.entryU16(4, s.pageWidth);
    if (s.pageHeight != d.pageHeight) b.entryU16(5, s.pageHeight);
    if (s.leftMargin != d.leftMargin) b.entryU16(6, s.leftMargin);
    if (s.rightMargin != d.rightMargin) b.entryU16(7, s.rightMargin);
    if (s.topMargin != d.topMargin) b.entryU16(8, s.topMargin);
    if (s.bottomMargin != d.bottomMargin) b.entryU16(9, s.bottomMargin);
    if (s.gutter != d.gutter) b.entryU16(10, s.gutter);
    if (s.landscape) b.u8(11);
    if (s.headerDistance != d.headerDistance) b.entryU16(12, s.headerDistance);
    if (s.footerDistance != d.footerDistance) b.entryU16(13, s.footerDistance);
    if (s.pageNumberStart != d.pageNumberStart) b.entryU16(14, s.pageNumberStart);
    if (s.sectionFlag15) b.u8(15);
    if (s.sectionValue16 != d.sectionValue16) b.entryU16(16, s.sectionValue16);
    if (s.sectionValue17 != d.sectionValue17) b.entryU16(17, s.sectionValue17);
    if (s.sectionKind != 0) b.u8(uint8_t(s.sectionKind <= 4 ? 18 + s.sectionKind : 18));
    if (s.verticalAlign != 0) b.u8(uint8_t(s.verticalAlign <= 3 ? 23 + s.verticalAlign : 23));
    if (s.breakCode != 0) b.entryU8(28, s.breakCode);
    if (s.paperCode != d.paperCode) b.entryU16(29, s.paperCode);
    uint8_t head[3] = {0, uint8_t(kDocsSectionStart), uint8_t(1 + b.size())};
    int32_t rc = writeBytes(head, sizeof head);
    return rc == kDocsOk ? writeBytes(b.data(), b.size()) : rc;
}

int32_t DocsStream::readSection(DocsSection &section) {
    int64_t start = tell();
    size_t length;
    int32_t rc = readShortRecord(kDocsSectionStart, length);
    if (rc != kDocsOk) return rc;
    DocsSection s;
    BodyCursor c(buffer_.data(), length);
    while (c.left() > 0) {
        uint8_t id;
        c.u8(id);
        bool ok = true;
        switch (id) {
        case 1: ok = c.u8(s.columns); break;
        case 2: ok = c.u16(s.columnSpacing); break;
        case 3: s.lineBetween = true; break;
        case 4: ok = c.u16(s.pageWidth); break;
        case 5: ok = c.u16(s.pageHeight); break;
        case 6: ok = c.u16(s.leftMargin); break;
        case 7: ok = c.u16(s.rightMargin); break;
        case 8: ok = c.u16(s.topMargin); break;
        case 9: ok = c.u16(s.bottomMargin); break;
        case 10: ok = c.u16(s.gutter); break;
        case 11: s.landscape = true; break;
        case 12: ok = c.u16(s.headerDistance); break;
        case 13: ok = c.u16(s.footerDistance); break;
        case 14: ok = c.u16(s.pageNumberStart); break;
        case 15: s.sectionFlag15 = true; break;
        case 16: ok = c.u16(s.sectionValue16); break;
        case 17: ok = c.u16(s.sectionValue17); break;
        case 18: case 19: case 20: case 21: case 22: s.sectionKind = uint8_t(id - 18); break;
        case 23: case 24: case 25: case 26: s.verticalAlign = uint8_t(id - 23); break;
        case 28: ok = c.u8(s.breakCode); break;
        case 29: ok = c.u16(s.paperCode); break;
        default: ok = false; break;
        }
        if (!ok) return fail(start, kDocsMalformedRecord);
    }
    s.pageWidth = std::max(s.pageWidth, DocsSection::kMinPageSize);
    s.pageHeight = std::max(s.pageHeight, DocsSection::kMinPageSize);
    section = s;
    return kDocsOk;
}

// --- paragraph ------------------------------------------------------------

int32_t DocsStream::writeParagraph(const DocsParagraph &p) {
    RecordBuilder b;
    if (p.paragraphByte2 != 0) b.entryU8(2, p.paragraphByte2);
    b.u8(uint8_t(3 + (p.alignment <= 3 ? p.alignment : 0)));
    if (p.firstLineIndent != 0) b.entryU16(7, uint16_t(p.firstLineIndent));
    if (p.leftIndent != 0) b.entryU16(8, uint16_t(p.leftIndent));
    if (p.rightIndent != 0) b.entryU16(9, uint16_t(p.rightIndent));
    if (p.spaceBefore != 0) b.entryU16(10, p.spaceBefore);
    if (p.spaceAfter != 0) b.entryU16(11, p.spaceAfter);
    if (!p.useLineSpacing) b.entryU8(12, p.paragraphByte12);
    else if (p.lineSpacing != DocsParagraph::kSingleSpacing) b.entryU16(14, uint16_t(p.lineSpacing));
    if (p.styleIndex != 0) b.entryU16(15, p.styleIndex);
    uint8_t head[3] = {0, uint8_t(kDocsParagraphStart), uint8_t(1 + b.size())};
    int32_t rc = writeBytes(head, sizeof head);
    return rc == kDocsOk ? writeBytes(b.data(), b.size()) : rc;
}

int32_t DocsStream::readParagraph(DocsParagraph &paragraph) {
    int64_t start = tell();
    size_t length;
    int32_t rc = readShortRecord(kDocsParagraphStart, length);
    if (rc != kDocsOk) return rc;
    DocsParagraph p;
    BodyCursor c(buffer_.data(), length);
    while (c.left() > 0) {
        uint8_t id;
        c.u8(id);
        bool ok = true;
        switch (id) {
        case 1: p = DocsParagraph(); break;
        case 2: ok = c.u8(p.paragraphByte2); break;
        case 3: case 4: case 5: case 6: p.alignment = uint8_t(id - 3); break;
        case 7: ok = c.i16(p.firstLineIndent); break;
        case 8: ok = c.i16(p.leftIndent); break;
        case 9: ok = c.i16(p.rightIndent); break;
        case 10: ok = c.u16(p.spaceBefore); break;
        case 11: ok = c.u16(p.spaceAfter); break;
        case 12:
            ok = c.u8(p.paragraphByte12);
            p.useLineSpacing = false;
            break;
        case 14: ok = c.i16(p.lineSpacing); break;
        case 15: ok = c.u16(p.styleIndex); break;
        default: ok = false; break;
        }
        if (!ok) return fail(start, kDocsMalformedRecord);
    }
    if (!DocsParagraph::isValidLineSpacing(p.lineSpacing)) p.lineSpacing = DocsParagraph::kSingleSpacing;
    p.fileOffset = start;
    p.wasRead = true;
    paragraph = p;
    return kDocsOk;
}

// --- character format -----------------------------------------------------

int32_t DocsStream::writeTextColor(const DocsColor &color) {
    uint8_t b[6] = {0, uint8_t(kDocsTextColor), 4, color.red, color.green, color.blue};
    return writeBytes(b, sizeof b);
}

int32_t DocsStream::writeHighlightColor(const DocsColor &color) {
    uint8_t b[6] = {0, uint8_t(kDocsHighlightColor), 4, color.red, color.green, color.blue};
    return writeBytes(b, sizeof b);
}

int32_t DocsStream::writeCharFormatRecord(const DocsCharFormat &format, bool withSize, bool withFont) {
    size_t fontBytes = withFont ? utf8Length(format.fontName) : 0;
    if (3 + fontBytes > 255) return kDocsMalformedRecord;
    uint8_t length = uint8_t(withFont ? 3 + fontBytes : withSize ? 3 : 2);
    uint8_t b[5] = {0, uint8_t(kDocsCharFormat), length, format.formatFlags, format.fontSize};
    int32_t rc = writeBytes(b, withSize || withFont ? 5 : 4);
    if (rc == kDocsOk && withFont && writeUtf8(format.fontName.data(), format.fontName.size()) != format.fontName.size())
        rc = kDocsWriteFailed;
    return rc;
}

int32_t DocsStream::readCharFormat(DocsCharFormat &format) {
    int64_t start = tell();
    uint16_t type;
    int32_t rc = expectTypeIn(kDocsTextColor, kDocsCharFormat, type);
    if (rc != kDocsOk) return rc;
    if (type == kDocsFormatReset) {
        format = DocsCharFormat();
        return kDocsOk;
    }
    size_t length;
    if ((rc = readShortBody(length)) != kDocsOk) return fail(start, rc);
    const uint8_t *b = buffer_.data();
    if (type == kDocsTextColor || type == kDocsHighlightColor) {
        if (length != 3) return fail(start, kDocsMalformedRecord);
        DocsColor color{b[0], b[1], b[2]};
        (type == kDocsTextColor ? format.textColor : format.highlightColor) = color;
        return kDocsOk;
    }
    DocsCharFormat f = format;
    if (length >= 1) f.formatFlags = b[0];
    if (length >= 2) f.fontSize = b[1];
    if (length > 2) {
        char16_t chars[256];
        Utf8Decoded d = decodeUtf8(b + 2, length - 2, chars, length - 2, length - 2);
        if (d.bytes != length - 2) return fail(start, kDocsMalformedRecord);
        f.fontName.assign(chars, d.chars);
    }
    format = std::move(f);
    return kDocsOk;
}

// --- fields and special characters ----------------------------------------

int32_t DocsStream::writeFieldStart(const DocsFieldStart &field) {
    if (field.kind > DocsFieldStart::kField) return kDocsMalformedRecord;
    size_t fixed = field.kind == DocsFieldStart::kField ? 14 : 7;
    size_t length = fixed + utf8Length(field.text);
    if (length > 0xFFFE) return kDocsMalformedRecord;
    RecordBuilder b;
    b.u16(kDocsFieldStart);
    b.u16(uint16_t(length));
    b.u8(field.kind);
    b.u32(field.id);
    if (field.kind == DocsFieldStart::kField) {
        b.u8(field.fieldType);
        b.u32(field.pictureLocation);
        b.u8(field.objectFlag);
        b.u8(field.oleObjectFlag);
    }
    int32_t rc = writeBytes(b.data(), b.size());
    if (rc == kDocsOk && writeUtf8(field.text.data(), field.text.size()) != field.text.size()) rc = kDocsWriteFailed;
    return rc;
}

int32_t DocsStream::readFieldStart(DocsFieldStart &field) {
    int64_t start = tell();
    int32_t rc = expectType(kDocsFieldStart);
    if (rc != kDocsOk) return rc;
    uint16_t length;
    if (readU16(length) != kDocsOk) return fail(start, kDocsReadFailed);
    if (length < 7) return fail(start, kDocsMalformedRecord);
    if (int64_t(length) - 2 > remaining()) return fail(start, kDocsReadFailed);
    DocsFieldStart f;
    uint8_t head[5];
    if (readBytes(head, sizeof head) != kDocsOk) return fail(start, kDocsReadFailed);
    f.kind = head[0];
    f.id = qv::loadBE32(head + 1);
    size_t textBytes = size_t(length) - 7;
    if (f.kind == DocsFieldStart::kField) {
        if (length < 14) return fail(start, kDocsMalformedRecord);
        uint8_t more[7];  // field type, picture location, object flag, OLE object flag
        if (readBytes(more, sizeof more) != kDocsOk) return fail(start, kDocsReadFailed);
        f.fieldType = more[0];
        f.pictureLocation = qv::loadBE32(more + 1);
        f.objectFlag = more[5];
        f.oleObjectFlag = more[6];
        textBytes = size_t(length) - 14;
    } else if (f.kind > DocsFieldStart::kField) {
        return fail(start, kDocsMalformedRecord);
    }
    if ((rc = readUtf8Exact(textBytes, f.text)) != kDocsOk) return fail(start, rc);
    field = std::move(f);
    return kDocsOk;
}

int32_t DocsStream::writeFieldEnd(const DocsFieldEnd &field) {
    RecordBuilder b;
    b.u16(kDocsFieldEnd);
    b.u8(5);
    b.u32(field.id);
    return writeBytes(b.data(), b.size());
}

int32_t DocsStream::readFieldEnd(DocsFieldEnd &field) {
    int64_t start = tell();
    size_t length;
    int32_t rc = readShortRecord(kDocsFieldEnd, length);
    if (rc != kDocsOk) return rc;
    if (length != 4) return fail(start, kDocsMalformedRecord);
    field.id = qv::loadBE32(buffer_.data());
    return kDocsOk;
}

int32_t DocsStream::writeSpecialChar(const DocsSpecialChar &special) {
    RecordBuilder b;
    b.u16(kDocsSpecialChar);
    b.u16(6);
    b.u8(special.charClass);
    b.u16(special.character);
    b.u8(special.specialFlag);
    return writeBytes(b.data(), b.size());
}

int32_t DocsStream::readSpecialChar(DocsSpecialChar &special) {
    int64_t start = tell();
    int32_t rc = expectType(kDocsSpecialChar);
    if (rc != kDocsOk) return rc;
    uint16_t length;
    if (readU16(length) != kDocsOk) return fail(start, kDocsReadFailed);
    if (length < 2) return fail(start, kDocsMalformedRecord);
    size_t body = size_t(length) - 2;
    if (int64_t(body) > remaining()) return fail(start, kDocsReadFailed);
    uint8_t b[4];
    size_t head = std::min<size_t>(body, sizeof b);
    if (readBytes(b, head) != kDocsOk) return fail(start, kDocsReadFailed);
    if (skipForward(int64_t(body - head)) != kDocsOk) return fail(start, kDocsReadFailed);
    DocsSpecialChar s;
    BodyCursor c(b, head);
    if (c.u8(s.charClass) && c.u16(s.character)) c.u8(s.specialFlag);
    special = s;
    return kDocsOk;
}

// --- picture --------------------------------------------------------------

int32_t DocsStream::writePicture(const DocsPicture &p) {
    RecordBuilder b;
    b.u16(kDocsPicture);
    b.u8(p.hasFormat ? 17 : 16);
    b.u8(p.depth);
    b.u8(p.version);
    b.u32(p.dataSize);
    b.u16(p.pixelWidth);
    b.u16(p.pixelHeight);
    b.u16(p.displayWidth);
    b.u16(p.displayHeight);
    b.u8(p.nibbles);
    if (p.hasFormat) b.u8(p.format);
    return writeBytes(b.data(), b.size());
}

int32_t DocsStream::readPicture(DocsPicture &picture) {
    int64_t start = tell();
    size_t length;
    int32_t rc = readShortRecord(kDocsPicture, length);
    if (rc != kDocsOk) return rc;
    DocsPicture p;
    BodyCursor c(buffer_.data(), length);
    p.hasFormat = false;
    if (c.u8(p.depth) && c.u8(p.version) && c.u32(p.dataSize) && c.u16(p.pixelWidth) && c.u16(p.pixelHeight) &&
        c.u16(p.displayWidth) && c.u16(p.displayHeight) && c.u8(p.nibbles) && c.u8(p.format)) {
        p.hasFormat = true;
        if (c.u8(p.reserved) && c.u16(p.horizontalScale)) c.u16(p.verticalScale);
    }
    if (int64_t(p.dataSize) > remaining()) return fail(start, kDocsReadFailed);
    picture = p;
    return kDocsOk;
}

// --- tables ---------------------------------------------------------------

int32_t DocsStream::writeTable(const DocsTable &table, int64_t *rowCountOffset) {
    int64_t start = tell();
    RecordBuilder b;
    b.u16(kDocsTableStart);
    b.u8(5);
    b.u8(table.serial);
    b.u16(table.rowCount);
    b.u8(0);
    if (rowCountOffset) *rowCountOffset = start + 4;
    return writeBytes(b.data(), b.size());
}

int32_t DocsStream::readTable(DocsTable &table) {
    size_t length;
    int32_t rc = readShortRecord(kDocsTableStart, length);
    if (rc != kDocsOk) return rc;
    DocsTable t;
    BodyCursor c(buffer_.data(), length);
    if (c.u8(t.serial) && c.u16(t.rowCount)) c.u8(t.reserved);
    table = t;
    return kDocsOk;
}

int32_t DocsStream::writeRow(const DocsRow &row, DocsRowPlaceholders *placeholders) {
    int64_t start = tell();
    RecordBuilder b;
    b.u16(kDocsRowStart);
    b.u8(6);
    b.u16(row.rowIndex);
    b.u8(row.cellCount);
    b.u16(row.leftOffset);
    if (placeholders) {
        placeholders->cellCountOffset = start + 5;
        placeholders->leftOffsetOffset = start + 6;
    }
    return writeBytes(b.data(), b.size());
}

int32_t DocsStream::readRow(DocsRow &row) {
    size_t length;
    int32_t rc = readShortRecord(kDocsRowStart, length);
    if (rc != kDocsOk) return rc;
    DocsRow r;
    BodyCursor c(buffer_.data(), length);
    if (c.u16(r.rowIndex) && c.u8(r.cellCount)) c.u16(r.leftOffset);
    row = r;
    return kDocsOk;
}

int32_t DocsStream::writeCell(const DocsCell &cell, int64_t *widthOffset) {
    int64_t start = tell();
    RecordBuilder b;
    b.u16(kDocsCellStart);
    b.u8(4);
    b.u8(cell.cellNumber);
    b.u16(cell.width);
    if (widthOffset) *widthOffset = start + 4;
    return writeBytes(b.data(), b.size());
}

int32_t DocsStream::readCell(DocsCell &cell) {
    size_t length;
    int32_t rc = readShortRecord(kDocsCellStart, length);
    if (rc != kDocsOk) return rc;
    DocsCell k;
    BodyCursor c(buffer_.data(), length);
    if (c.u8(k.cellNumber) && c.u16(k.width)) c.u8(k.reserved);
    cell = k;
    return kDocsOk;
}

int32_t DocsStream::writeTableEnd() {
    uint8_t b[3] = {0, uint8_t(kDocsTableEnd), 1};
    return writeBytes(b, sizeof b);
}

int32_t DocsStream::readTableEnd() {
    size_t length;
    return readShortRecord(kDocsTableEnd, length);
}

// --- lists ----------------------------------------------------------------

int32_t DocsStream::writeListDefinition(const DocsListDefinition &list) {
    RecordBuilder b;
    b.u16(kDocsListDefinition);
    b.u8(33);
    b.u32(list.listId);
    b.u8(list.multilevel);
    for (uint8_t f : list.formats) b.u8(f);
    for (uint16_t s : list.startValues) b.u16(s);
    return writeBytes(b.data(), b.size());
}

int32_t DocsStream::readListDefinition(DocsListDefinition &list) {
    int64_t start = tell();
    size_t length;
    int32_t rc = readShortRecord(kDocsListDefinition, length);
    if (rc != kDocsOk) return rc;
    if (length != 32) return fail(start, kDocsMalformedRecord);
    DocsListDefinition l;
    BodyCursor c(buffer_.data(), length);
    c.u32(l.listId);
    c.u8(l.multilevel);
    for (auto &f : l.formats) c.u8(f);
    for (auto &s : l.startValues) c.u16(s);
    list = l;
    return kDocsOk;
}

int32_t DocsStream::writeListReference(const DocsListReference &reference) {
    RecordBuilder b;
    b.u16(kDocsListReference);
    b.u8(6);
    b.u32(reference.listId);
    b.u8(reference.level);
    return writeBytes(b.data(), b.size());
}

int32_t DocsStream::readListReference(DocsListReference &reference) {
    int64_t start = tell();
    size_t length;
    int32_t rc = readShortRecord(kDocsListReference, length);
    if (rc != kDocsOk) return rc;
    if (length != 5) return fail(start, kDocsMalformedRecord);
    reference.listId = qv::loadBE32(buffer_.data());
    reference.level = buffer_[4];
    return kDocsOk;
}

// --- character format of runs ---------------------------------------------

void DocsCharFormatWriter::paragraphEnded() {
    previous_ = DocsCharFormat();
    previous_.fontName = DocsCharFormat::kSentinelFont;
}

int32_t DocsCharFormatWriter::writeRun(DocsStream &stream, const DocsCharFormat &current) {
    bool fontDiffers = current.fontName != previous_.fontName;
    bool sizeDiffers = current.fontSize != previous_.fontSize;
    int32_t rc = stream.writeCharFormatRecord(current, sizeDiffers || fontDiffers, fontDiffers);
    if (rc == kDocsOk && current.textColor != previous_.textColor) rc = stream.writeTextColor(current.textColor);
    if (rc == kDocsOk && current.highlightColor != previous_.highlightColor)
        rc = stream.writeHighlightColor(current.highlightColor);
    if (rc == kDocsOk) previous_ = current;
    return rc;
}

}  // namespace conv
