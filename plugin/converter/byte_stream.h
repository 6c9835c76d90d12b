// ByteStream: the seekable byte stream every converter reads and writes.
// FileStream implements it over a file, MemoryStream over a growing buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace conv {

class ByteStream {
public:
    enum Origin { kBegin = 0, kCurrent = 1, kEnd = 2 };

    virtual ~ByteStream() = default;
    // Last error of the underlying medium; 0 for files and memory.
    virtual int32_t lastError() const { return 0; }
    // Reads up to count bytes; returns the number read (0 at the end).
    virtual size_t read(void *buffer, size_t count) = 0;
    // Writes count bytes; returns the number written.
    virtual size_t write(const void *buffer, size_t count) = 0;
    // Moves the position; returns the distance actually moved
    // (new position minus old position). Never moves before 0.
    virtual int64_t seek(int64_t distance, Origin origin) = 0;
    virtual int64_t tell() const = 0;
    // Appends zero bytes until the stream is size bytes long; 0 or -1.
    virtual int32_t extendTo(int64_t size) = 0;
    virtual int64_t size() const = 0;
};

class MemoryStream : public ByteStream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
    MemoryStream(const void *bytes, size_t count)
        : data_(static_cast<const uint8_t *>(bytes), static_cast<const uint8_t *>(bytes) + count) {}

    size_t read(void *buffer, size_t count) override;
    size_t write(const void *buffer, size_t count) override;
    int64_t seek(int64_t distance, Origin origin) override;
    int64_t tell() const override { return pos_; }
    int32_t extendTo(int64_t size) override;
    int64_t size() const override { return int64_t(data_.size()); }

    const std::vector<uint8_t> &bytes() const { return data_; }
    // Largest size the stream may grow to; writes past it come back short.
    void setLimit(size_t limit) { limit_ = limit; }

private:
    std::vector<uint8_t> data_;
    size_t pos_ = 0;
    size_t limit_ = SIZE_MAX;
};

class FileStream : public ByteStream {
public:
    enum Mode {
        kRead,   // existing file, read access, others may read
        kWrite,  // created or truncated, read and write access, no sharing
    };
    // Opens the file; isOpen() tells whether it worked.
    FileStream(const std::string &path, Mode mode);
    ~FileStream() override;
    FileStream(const FileStream &) = delete;
    FileStream &operator=(const FileStream &) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // errno of the failed open, 0 when open.
    int openError() const { return openError_; }

    size_t read(void *buffer, size_t count) override;
    size_t write(const void *buffer, size_t count) override;
    int64_t seek(int64_t distance, Origin origin) override;
    int64_t tell() const override;
    int32_t extendTo(int64_t size) override;
    int64_t size() const override;

private:
    int fd_ = -1;
    int openError_ = 0;
};

// Reads a whole stream from its start into memory (for tests and tools).
std::vector<uint8_t> readAll(ByteStream &stream);

}  // namespace conv
