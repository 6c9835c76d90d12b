#include "word_format.h"

#include "byte_order.h"

#include <algorithm>
#include <cstring>

namespace conv {

bool WordSource::readRange(uint64_t offset, uint64_t count, std::vector<uint8_t> &bytes) {
    uint64_t total = size();
    if (offset > total || count > total - offset) return false;
    bytes.resize(size_t(count));
    return count == 0 || readAt(offset, bytes.data(), size_t(count));
}

bool WordSource::readU16(uint64_t offset, uint16_t &v) {
    uint8_t b[2];
    if (!readAt(offset, b, 2)) return false;
    v = qv::loadLE16(b);
    return true;
}

bool WordSource::readU32(uint64_t offset, uint32_t &v) {
    uint8_t b[4];
    if (!readAt(offset, b, 4)) return false;
    v = qv::loadLE32(b);
    return true;
}

bool MemoryWordSource::readAt(uint64_t offset, void *buffer, size_t count) {
    if (offset > bytes_.size() || count > bytes_.size() - offset) return false;
    if (count) std::memcpy(buffer, bytes_.data() + offset, count);
    return true;
}

uint16_t ByteView::u16(size_t offset) const { return has(offset, 2) ? qv::loadLE16(data + offset) : 0; }
uint32_t ByteView::u32(size_t offset) const { return has(offset, 4) ? qv::loadLE32(data + offset) : 0; }

ByteView ByteView::sub(size_t offset, size_t count) const {
    if (offset > size) return ByteView(data + size, 0);
    return ByteView(data + offset, std::min(count, size - offset));
}

bool readFibBase(WordSource &stream, WordFib &fib) {
    uint8_t base[WordFib::kBaseSize];
    if (!stream.readAt(0, base, sizeof base)) return false;
    fib.ident = qv::loadLE16(base);
    fib.nFib = qv::loadLE16(base + 2);
    fib.flags = qv::loadLE16(base + 10);
    return true;
}

bool readFibArrays(WordSource &stream, WordFib &fib) {
    uint64_t pos = WordFib::kBaseSize;
    uint16_t csw = 0, cslw = 0, cbRgFcLcb = 0;
    std::vector<uint8_t> bytes;

    if (!stream.readU16(pos, csw) || !stream.readRange(pos + 2, uint64_t(csw) * 2, bytes)) return false;
    fib.shorts.resize(csw);
    for (size_t i = 0; i < csw; ++i) fib.shorts[i] = qv::loadLE16(bytes.data() + 2 * i);
    pos += 2 + uint64_t(csw) * 2;

    if (!stream.readU16(pos, cslw) || !stream.readRange(pos + 2, uint64_t(cslw) * 4, bytes)) return false;
    fib.longs.resize(cslw);
    for (size_t i = 0; i < cslw; ++i) fib.longs[i] = qv::loadLE32(bytes.data() + 4 * i);
    pos += 2 + uint64_t(cslw) * 4;

    if (!stream.readU16(pos, cbRgFcLcb) || !stream.readRange(pos + 2, uint64_t(cbRgFcLcb) * 8, bytes))
        return false;
    fib.pairs.resize(cbRgFcLcb);
    for (size_t i = 0; i < cbRgFcLcb; ++i) {
        fib.pairs[i].fc = qv::loadLE32(bytes.data() + 8 * i);
        fib.pairs[i].lcb = qv::loadLE32(bytes.data() + 8 * i + 4);
    }
    return true;
}

bool Plcf::parse(std::vector<uint8_t> bytes, size_t elementSize) {
    bytes_.clear();
    count_ = 0;
    elementSize_ = elementSize;
    if (bytes.empty()) return true;
    if (bytes.size() < 4 || (bytes.size() - 4) % (4 + elementSize) != 0) return false;
    count_ = (bytes.size() - 4) / (4 + elementSize);
    bytes_ = std::move(bytes);
    return true;
}

size_t Plcf::find(uint32_t value) const {
    if (count_ == 0) return 0;
    // Last entry whose start is <= value.
    size_t lo = 0, hi = count_;
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        if (position(mid) <= value) lo = mid + 1;
        else hi = mid;
    }
    if (lo == 0) return count_;
    size_t i = lo - 1;
    return value < position(i + 1) ? i : count_;
}

size_t Plcf::lowerBound(uint32_t value) const {
    size_t lo = 0, hi = count_;
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        if (position(mid) < value) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

bool parseSttb(ByteView bytes, Sttb &table) {
    table = Sttb{};
    if (bytes.size == 0) return true;
    size_t pos = 0;
    bool extended = bytes.u16(0) == 0xFFFF;
    if (extended) pos = 2;
    if (!bytes.has(pos, 4)) return false;
    size_t count = bytes.u16(pos);
    size_t cbExtra = bytes.u16(pos + 2);
    pos += 4;
    for (size_t i = 0; i < count; ++i) {
        size_t chars = 0;
        if (extended) {
            if (!bytes.has(pos, 2)) return false;
            chars = bytes.u16(pos);
            pos += 2;
        } else {
            if (!bytes.has(pos, 1)) return false;
            chars = bytes.u8(pos);
            pos += 1;
        }
        size_t charBytes = extended ? chars * 2 : chars;
        if (!bytes.has(pos, charBytes + cbExtra)) return false;
        std::u16string s(chars, u'\0');
        for (size_t c = 0; c < chars; ++c)
            s[c] = extended ? char16_t(bytes.u16(pos + 2 * c)) : cp1252ToUnicode(bytes.u8(pos + c));
        pos += charBytes;
        table.strings.push_back(std::move(s));
        table.extras.emplace_back(bytes.data + pos, bytes.data + pos + cbExtra);
        pos += cbExtra;
    }
    return true;
}

int sprmOperandSize(uint16_t sprm, ByteView operand) {
    int size = 0;
    switch (sprm >> 13) {
    case 0:
    case 1: size = 1; break;
    case 2:
    case 4:
    case 5: size = 2; break;
    case 3: size = 4; break;
    case 7: size = 3; break;
    default:  // 6: variable
        if (sprm == 0xD608 || sprm == 0xD606) {
            // Table definition: a u16 count of the bytes that follow, plus one.
            if (!operand.has(0, 2)) return -1;
            uint16_t cb = operand.u16(0);
            size = 2 + (cb > 0 ? cb - 1 : 0);
        } else if (sprm == 0xC615) {
            // Tab changes: a count of 255 means the two lists size it.
            if (!operand.has(0, 1)) return -1;
            uint8_t cb = operand.u8(0);
            if (cb == 255) {
                if (!operand.has(1, 1)) return -1;
                size_t deletions = operand.u8(1);
                size_t addAt = 2 + deletions * 4;
                if (!operand.has(addAt, 1)) return -1;
                size = int(addAt + 1 + size_t(operand.u8(addAt)) * 3);
            } else {
                size = 1 + cb;
            }
        } else {
            if (!operand.has(0, 1)) return -1;
            size = 1 + operand.u8(0);
        }
        break;
    }
    return operand.has(0, size_t(size)) ? size : -1;
}

bool SprmIterator::next(Sprm &sprm) {
    if (!bytes_.has(pos_, 2)) return false;
    uint16_t code = bytes_.u16(pos_);
    ByteView rest = bytes_.sub(pos_ + 2, bytes_.size);
    int size = sprmOperandSize(code, rest);
    if (size < 0) {
        pos_ = bytes_.size;
        return false;
    }
    sprm.code = code;
    // Variable operands keep their count byte(s); readers skip it themselves.
    sprm.operand = rest.sub(0, size_t(size));
    pos_ += 2 + size_t(size);
    return true;
}

char16_t cp1252ToUnicode(uint8_t byte) {
    static const char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
    return char16_t(byte);
}

}  // namespace conv
