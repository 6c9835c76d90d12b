// BufferedStream: a ByteStream that gathers writes to another ByteStream in
// one window of 64 KB and hands them on in large pieces. Writes inside the
// window (placeholders filled in later) stay in memory; a write elsewhere,
// a read or flush() sends the window on first. A write the stream below
// takes short makes this and every later write come back short.
#pragma once

#include "byte_stream.h"

#include <vector>

namespace conv {

class BufferedStream : public ByteStream {
public:
    static constexpr size_t kCapacity = 64 * 1024;

    explicit BufferedStream(ByteStream &inner) : inner_(inner), size_(inner.size()) {}
    ~BufferedStream() override { flush(); }
    BufferedStream(const BufferedStream &) = delete;
    BufferedStream &operator=(const BufferedStream &) = delete;

    int32_t lastError() const override { return inner_.lastError(); }
    size_t read(void *buffer, size_t count) override;
    size_t write(const void *buffer, size_t count) override;
    int64_t seek(int64_t distance, Origin origin) override;
    int64_t tell() const override { return position_; }
    int32_t extendTo(int64_t size) override;
    int64_t size() const override { return size_; }

    // Sends the window on; false when a write below came back short.
    bool flush();

private:
    ByteStream &inner_;
    std::vector<uint8_t> window_;
    int64_t windowStart_ = 0;
    int64_t position_ = 0;
    int64_t size_ = 0;
    bool failed_ = false;
};

}  // namespace conv
