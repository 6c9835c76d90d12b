#include "compound_stream.h"

#include "byte_order.h"
#include "compound_file.h"

#include <algorithm>
#include <cstring>

namespace conv {

DocumentStream::DocumentStream(CompoundStorage &storage, StreamChain chain, std::u16string name)
    : storage_(storage), chain_(std::move(chain)), name_(std::move(name)), size_(int64_t(chain_.size)) {
    std::memset(page_, 0, sizeof page_);
}

DocumentStream::~DocumentStream() = default;

bool DocumentStream::writable() const { return open_ && storage_.writable() && !chain_.mini; }

// Brings page `page` into the buffer, writing a changed one back first.
bool DocumentStream::loadPage(int64_t page) {
    if (page == pageNumber_) return true;
    if (!flush()) return false;
    int64_t start = page * int64_t(kPageSize);
    size_t wanted = start < size_ ? size_t(std::min<int64_t>(kPageSize, size_ - start)) : 0;
    size_t got = wanted ? storage_.readChain(chain_, uint64_t(start), page_, wanted) : 0;
    std::memset(page_ + got, 0, kPageSize - got);
    if (got < wanted) {
        // A stream being written may have grown past what its sectors hold
        // yet (extendTo): those bytes are zero. Anywhere else the container is short.
        if (storage_.writable())
            got = wanted;
        else if (error_ == kNoError)
            error_ = kDamaged;
    }
    pageNumber_ = page;
    pageValid_ = got;
    dirty_ = false;
    return true;
}

bool DocumentStream::flush() {
    if (!dirty_) return true;
    dirty_ = false;
    if (storage_.writeChain(chain_, uint64_t(pageNumber_) * kPageSize, page_, pageValid_)) return true;
    error_ = kWriteFailed;
    return false;
}

int64_t DocumentStream::seek(int64_t offset, ByteStream::Origin origin) {
    int64_t base = origin == ByteStream::kBegin ? 0 : origin == ByteStream::kCurrent ? position_ : size_;
    int64_t target;
    if (offset < 0)
        target = offset < -base ? 0 : base + offset;
    else
        target = offset > size_ - base ? size_ : base + offset;
    position_ = target;
    return position_;
}

size_t DocumentStream::read(void *buffer, size_t size, size_t count) {
    if (!open_) return 0;
    if (size != 0 && count > SIZE_MAX / size) {
        error_ = kReadPastEnd;
        return 0;
    }
    size_t total = size * count;
    auto *out = static_cast<uint8_t *>(buffer);
    size_t done = 0;
    while (done < total && position_ < size_) {
        if (!loadPage(position_ / int64_t(kPageSize))) break;
        size_t within = size_t(position_ % int64_t(kPageSize));
        if (within >= pageValid_) break;   // the container ended before the stream
        size_t n = std::min(total - done, pageValid_ - within);
        std::memcpy(out + done, page_ + within, n);
        done += n;
        position_ += int64_t(n);
    }
    if (done < total && error_ == kNoError) error_ = kReadPastEnd;
    return done;
}

size_t DocumentStream::write(const void *buffer, size_t size, size_t count) {
    if (!writable() || (size != 0 && count > SIZE_MAX / size)) {
        error_ = kWriteFailed;
        return 0;
    }
    size_t total = size * count;
    if (uint64_t(total) > uint64_t(kMaxWrittenSize - position_)) {
        total = size_t(kMaxWrittenSize - position_);
        error_ = kWriteFailed;
    }
    auto *in = static_cast<const uint8_t *>(buffer);
    size_t done = 0;
    while (done < total) {
        if (!loadPage(position_ / int64_t(kPageSize))) break;
        size_t within = size_t(position_ % int64_t(kPageSize));
        size_t n = std::min(total - done, kPageSize - within);
        std::memcpy(page_ + within, in + done, n);
        dirty_ = true;
        written_ = true;
        pageValid_ = std::max(pageValid_, within + n);
        done += n;
        position_ += int64_t(n);
        size_ = std::max(size_, position_);
    }
    if (done < size * count) error_ = kWriteFailed;
    return done;
}

bool DocumentStream::extendTo(int64_t newSize) {
    if (newSize <= size_) return true;
    if (!writable() || newSize > kMaxWrittenSize) {
        error_ = kWriteFailed;
        return false;
    }
    size_ = newSize;
    written_ = true;
    // The page in the buffer may now reach further; its tail is zero already.
    if (pageNumber_ >= 0) {
        int64_t start = pageNumber_ * int64_t(kPageSize);
        pageValid_ = size_t(std::clamp<int64_t>(size_ - start, int64_t(pageValid_), int64_t(kPageSize)));
    }
    return true;
}

uint8_t DocumentStream::readU8() {
    uint8_t b = 0;
    return read(&b, 1, 1) == 1 ? b : 0;
}

uint16_t DocumentStream::readU16() {
    uint8_t b[2];
    return read(b, 1, 2) == 2 ? qv::loadLE16(b) : 0;
}

uint32_t DocumentStream::readU32() {
    uint8_t b[4];
    return read(b, 1, 4) == 4 ? qv::loadLE32(b) : 0;
}

int16_t DocumentStream::readI16() { return int16_t(readU16()); }

bool DocumentStream::writeU8(uint8_t value) { return write(&value, 1, 1) == 1; }

bool DocumentStream::writeU16(uint16_t value) {
    uint8_t b[2];
    qv::storeLE16(b, value);
    return write(b, 1, 2) == 2;
}

bool DocumentStream::writeU32(uint32_t value) {
    uint8_t b[4];
    qv::storeLE32(b, value);
    return write(b, 1, 4) == 4;
}

std::u16string DocumentStream::readCountedString() {
    uint16_t count = readU16();
    // Never more units than the stream still holds.
    size_t available = size_t((size_ - position_) / 2);
    std::u16string text;
    std::vector<uint8_t> bytes(2 * std::min<size_t>(count, available));
    size_t got = read(bytes.data(), 1, bytes.size());
    for (size_t i = 0; i + 1 < got; i += 2) text.push_back(char16_t(qv::loadLE16(&bytes[i])));
    if (count > available && error_ == kNoError) error_ = kReadPastEnd;
    return text;
}

bool DocumentStream::close() {
    if (!open_) return error_ != kWriteFailed;
    bool ok = flush();
    if (written_) ok = storage_.commit(chain_, uint64_t(size_)) && ok;
    if (!ok) error_ = kWriteFailed;
    written_ = false;
    open_ = false;
    pageNumber_ = -1;
    return ok;
}

}  // namespace conv
