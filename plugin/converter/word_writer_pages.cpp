#include "word_writer_pages.h"

#include "byte_order.h"

#include <algorithm>

namespace conv {

namespace {

constexpr size_t kPage = WordPageStore::kPageSize;
// Most runs a CHPX page and a PAPX page may hold.
constexpr size_t kMaxCharacterRuns = 0x65;
constexpr size_t kMaxParagraphRuns = 0x1D;
constexpr size_t kParagraphEntrySize = 13;  // offset byte and height cache

}  // namespace

bool WordPageStore::write(uint32_t page, const uint8_t *bytes) {
    int64_t offset = int64_t(page) * int64_t(kPageSize);
    if (stream_.size() < offset && !stream_.extendTo(offset)) return false;
    if (stream_.seek(offset, ByteStream::kBegin) != offset) return false;
    return stream_.write(bytes, 1, kPageSize) == kPageSize;
}

std::vector<uint8_t> PieceTable::serialise() const {
    ByteWriter plc;
    for (const Piece &p : pieces_) plc.u32(p.cp);
    plc.u32(end_);
    for (const Piece &p : pieces_) {
        plc.u16(0x0040);
        plc.u32(p.fc);  // UTF-16 text: the compressed bit stays clear
        plc.u16(0);
    }
    ByteWriter clx;
    clx.u8(0x02);
    clx.u32(uint32_t(plc.size()));
    clx.append(plc.bytes());
    return clx.take();
}

std::vector<uint8_t> BinTable::serialise() const {
    ByteWriter w;
    for (const Entry &e : entries_) w.u32(e.fc);
    w.u32(end_);
    for (const Entry &e : entries_) w.u32(e.page);
    return w.take();
}

TextPageWriter::TextPageWriter(WordPageStore &store, PieceTable &pieces)
    : store_(store), pieces_(pieces), page_(store.takePage()) {
    pieces_.add(0, uint32_t(page_ * kPage));
}

bool TextPageWriter::put(char16_t c, uint32_t cp) {
    if (used_ == kPage) {
        if (!flush()) return false;
        page_ = store_.takePage();
        used_ = 0;
        bytes_.fill(0);
        pieces_.add(cp, uint32_t(page_ * kPage));
    }
    qv::storeLE16(&bytes_[used_], uint16_t(c));
    used_ += 2;
    return true;
}

void TextPageWriter::replaceLast(char16_t c) {
    if (used_ >= 2) qv::storeLE16(&bytes_[used_ - 2], uint16_t(c));
}

bool TextPageWriter::flush() { return store_.write(page_, bytes_.data()); }

FkpWriter::FkpWriter(WordPageStore &store, BinTable &bins, Kind kind)
    : store_(store), bins_(bins), kind_(kind), page_(store.takePage()) {}

bool FkpWriter::fits(const std::vector<uint8_t> &property, int &offset, bool &isNew) const {
    size_t runs = runsInPage() + 1;
    size_t maxRuns = kind_ == kCharacterRuns ? kMaxCharacterRuns : kMaxParagraphRuns;
    if (runs > maxRuns) return false;
    size_t entrySize = kind_ == kCharacterRuns ? 1 : kParagraphEntrySize;
    size_t front = 4 * (runs + 1) + entrySize * runs;
    isNew = false;
    if (property.empty()) {
        offset = 0;
        return front <= groupStart_;
    }
    for (size_t i = 0; i < groups_.size(); ++i) {
        if (groups_[i] == property) {
            offset = groupOffsets_[i];
            return front <= groupStart_;
        }
    }
    if (property.size() > groupStart_) return false;
    size_t start = (groupStart_ - property.size()) & ~size_t(1);
    if (start < front) return false;
    offset = int(start / 2);
    isNew = true;
    return true;
}

void FkpWriter::place(uint32_t fcStart, uint32_t fcEnd, const std::vector<uint8_t> &property, int offset,
                      bool isNew) {
    if (fcs_.empty()) {
        fcs_.push_back(fcStart);
        bins_.add(fcStart, page_);
    }
    fcs_.push_back(fcEnd);
    offsets_.push_back(uint8_t(offset));
    if (isNew) {
        std::copy(property.begin(), property.end(), bytes_.begin() + offset * 2);
        groupStart_ = size_t(offset) * 2;
        groups_.push_back(property);
        groupOffsets_.push_back(uint8_t(offset));
    }
}

int FkpWriter::add(uint32_t fcStart, uint32_t fcEnd, const std::vector<uint8_t> &property) {
    int offset = 0;
    bool isNew = false;
    if (fits(property, offset, isNew)) {
        place(fcStart, fcEnd, property, offset, isNew);
        return kWriterOk;
    }
    if (runsInPage() == 0) return kWriterTooComplex;
    if (!startNewPage()) return kWriterWriteFailed;
    if (!fits(property, offset, isNew)) return kWriterTooComplex;
    place(fcStart, fcEnd, property, offset, isNew);
    return kWriterOk;
}

bool FkpWriter::flush() {
    size_t runs = runsInPage();
    for (size_t i = 0; i < fcs_.size(); ++i) qv::storeLE32(&bytes_[4 * i], fcs_[i]);
    size_t entries = 4 * fcs_.size();
    size_t entrySize = kind_ == kCharacterRuns ? 1 : kParagraphEntrySize;
    for (size_t i = 0; i < runs; ++i) {
        uint8_t *entry = &bytes_[entries + i * entrySize];
        entry[0] = offsets_[i];
        std::fill(entry + 1, entry + entrySize, uint8_t(0));
    }
    bytes_[kPage - 1] = uint8_t(runs);
    return store_.write(page_, bytes_.data());
}

bool FkpWriter::startNewPage() {
    if (!flush()) return false;
    page_ = store_.takePage();
    fcs_.clear();
    offsets_.clear();
    groups_.clear();
    groupOffsets_.clear();
    groupStart_ = kPage - 1;
    bytes_.fill(0);
    return true;
}

bool encodeChpx(const SprmList &sprms, std::vector<uint8_t> &out) {
    out.clear();
    if (sprms.empty()) return true;
    if (sprms.size() > 255) return false;
    out.push_back(uint8_t(sprms.size()));
    out.insert(out.end(), sprms.bytes().begin(), sprms.bytes().end());
    return true;
}

bool encodePapx(uint16_t istd, const SprmList &sprms, std::vector<uint8_t> &out) {
    // The size byte counts words: an odd group of n bytes is stored with
    // (n + 1) / 2; an even one with 0 and a second byte n / 2.
    out.clear();
    size_t n = 2 + sprms.size();
    if (n > 2 * 255) return false;
    if (n % 2 == 1) {
        out.push_back(uint8_t((n + 1) / 2));
    } else {
        out.push_back(0);
        out.push_back(uint8_t(n / 2));
    }
    out.push_back(uint8_t(istd));
    out.push_back(uint8_t(istd >> 8));
    out.insert(out.end(), sprms.bytes().begin(), sprms.bytes().end());
    return true;
}

SepxPageWriter::SepxPageWriter(WordPageStore &store) : store_(store), page_(store.takePage()) {}

int SepxPageWriter::add(const SprmList &sprms, uint32_t &fc) {
    size_t size = (2 + sprms.size() + 1) & ~size_t(1);
    if (size > kPage) return kWriterTooComplex;
    if (used_ + size > kPage) {
        if (!flush()) return kWriterWriteFailed;
        page_ = store_.takePage();
        used_ = 0;
        bytes_.fill(0);
    }
    fc = uint32_t(page_ * kPage + used_);
    qv::storeLE16(&bytes_[used_], uint16_t(sprms.size()));
    std::copy(sprms.bytes().begin(), sprms.bytes().end(), bytes_.begin() + used_ + 2);
    used_ += size;
    return kWriterOk;
}

bool SepxPageWriter::flush() { return store_.write(page_, bytes_.data()); }

bool LvcPageWriter::write(uint32_t fcStart, uint32_t fcEnd) {
    std::array<uint8_t, kPage> bytes{};
    qv::storeLE32(&bytes[0], fcStart);
    qv::storeLE32(&bytes[4], fcEnd);
    bytes[8] = 0xFD;
    bytes[kPage - 1] = 1;
    return store_.write(page_, bytes.data());
}

}  // namespace conv
