#include "word_text.h"

#include "byte_order.h"

#include <algorithm>

namespace conv {

int WordRunTable::loadPage(uint32_t pageNumber) {
    if (pageNumber_ == int64_t(pageNumber)) return kWordOk;
    pageNumber_ = -1;
    if (!document_.readAt(uint64_t(pageNumber) * kPageSize, page_.data(), kPageSize)) return kWordShortRead;
    pageNumber_ = pageNumber;
    return kWordOk;
}

int WordRunTable::find(uint32_t fc, WordRun &run) {
    size_t bin = bins_.find(fc);
    if (bin >= bins_.count()) return kWordEndOfText;
    uint32_t pageNumber = bins_.element(bin).u32(0) & 0x3FFFFF;
    if (int r = loadPage(pageNumber)) return r;

    ByteView page(page_.data(), page_.size());
    size_t count = page.u8(kPageSize - 1);
    size_t entrySize = kind_ == kCharacter ? 1 : 13;
    size_t entriesAt = (count + 1) * 4;
    if (count == 0 || entriesAt + count * entrySize > kPageSize - 1) return kWordEndOfText;

    // Last run whose start is <= fc.
    size_t lo = 0, hi = count;
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        if (page.u32(mid * 4) <= fc) lo = mid + 1;
        else hi = mid;
    }
    if (lo == 0) return kWordEndOfText;
    size_t i = lo - 1;
    run.fcStart = page.u32(i * 4);
    run.fcEnd = page.u32((i + 1) * 4);
    if (fc >= run.fcEnd) return kWordEndOfText;
    run.styleIndex = 0;
    run.sprms.clear();

    size_t offset = size_t(page.u8(entriesAt + i * entrySize)) * 2;
    if (offset == 0) return kWordOk;  // the default properties
    if (kind_ == kCharacter) {
        size_t cb = page.u8(offset);
        ByteView grpprl = page.sub(offset + 1, cb);
        run.sprms.assign(grpprl.data, grpprl.data + grpprl.size);
        return kWordOk;
    }
    size_t cb = page.u8(offset);
    size_t start = offset + 1, size = 0;
    if (cb != 0) {
        size = cb * 2 - 1;
    } else {
        size = size_t(page.u8(offset + 1)) * 2;
        start = offset + 2;
    }
    ByteView papx = page.sub(start, std::min(size, kPageSize - 1 - std::min(start, kPageSize - 1)));
    if (papx.size < 2) return kWordOk;
    run.styleIndex = papx.u16(0);
    run.sprms.assign(papx.data + 2, papx.data + papx.size);
    return kWordOk;
}

int WordTextReader::charAt(const WordPiece &piece, uint32_t cp, char16_t &c) {
    if (piece_ != &piece || cp < sliceCp_ || cp - sliceCp_ >= slice_.size()) {
        piece_ = nullptr;
        uint32_t count = std::min<uint32_t>(uint32_t(kSlice), piece.cpEnd - cp);
        uint64_t fc = uint64_t(piece.fcStart) + uint64_t(cp - piece.cpStart) * piece.charSize();
        std::vector<uint8_t> bytes;
        if (!document_.readRange(fc, uint64_t(count) * piece.charSize(), bytes)) return kWordShortRead;
        slice_.resize(count);
        for (uint32_t i = 0; i < count; ++i)
            slice_[i] = piece.compressed ? cp1252ToUnicode(bytes[i]) : char16_t(qv::loadLE16(&bytes[2 * i]));
        piece_ = &piece;
        sliceCp_ = cp;
    }
    c = slice_[cp - sliceCp_];
    return kWordOk;
}

}  // namespace conv
