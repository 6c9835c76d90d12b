#include "buffered_stream.h"

#include <algorithm>
#include <cstring>

namespace conv {

bool BufferedStream::flush() {
    if (window_.empty() || failed_) {
        window_.clear();
        return !failed_;
    }
    inner_.seek(windowStart_, kBegin);
    bool complete = inner_.tell() == windowStart_ && inner_.write(window_.data(), window_.size()) == window_.size();
    window_.clear();
    if (!complete) failed_ = true;
    return complete;
}

size_t BufferedStream::write(const void *buffer, size_t count) {
    const uint8_t *bytes = static_cast<const uint8_t *>(buffer);
    size_t done = 0;
    while (done < count && !failed_) {
        int64_t windowEnd = windowStart_ + int64_t(window_.size());
        bool inside = !window_.empty() && position_ >= windowStart_ && position_ <= windowEnd &&
                      position_ - windowStart_ < int64_t(kCapacity);
        if (!inside) {
            if (!flush()) break;
            windowStart_ = position_;
        }
        size_t offset = size_t(position_ - windowStart_);
        size_t chunk = std::min(kCapacity - offset, count - done);
        if (offset + chunk > window_.size()) window_.resize(offset + chunk);
        std::memcpy(window_.data() + offset, bytes + done, chunk);
        done += chunk;
        position_ += int64_t(chunk);
        size_ = std::max(size_, position_);
    }
    return done;
}

size_t BufferedStream::read(void *buffer, size_t count) {
    if (!flush()) return 0;
    inner_.seek(position_, kBegin);
    if (inner_.tell() != position_) return 0;
    size_t got = inner_.read(buffer, count);
    position_ += int64_t(got);
    return got;
}

int64_t BufferedStream::seek(int64_t distance, Origin origin) {
    int64_t base = origin == kBegin ? 0 : origin == kCurrent ? position_ : size_;
    int64_t target = std::max<int64_t>(0, base + distance);
    int64_t old = position_;
    position_ = target;
    return target - old;
}

int32_t BufferedStream::extendTo(int64_t size) {
    if (!flush()) return -1;
    int32_t r = inner_.extendTo(size);
    if (r == 0) size_ = std::max(size_, size);
    return r;
}

}  // namespace conv
