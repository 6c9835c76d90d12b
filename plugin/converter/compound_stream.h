// DocumentStream: one named stream of a compound file as the Word reader and
// writer see it. Bytes go through a 512-byte page buffer; a read past the end
// or a damaged container comes back short with the error marker set, a write
// past the end grows the stream. Streams belong to their CompoundStorage
// (compound_file.h), which creates them and closes them with itself.
#pragma once

#include "byte_stream.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace conv {

class CompoundStorage;

// Where a stream's bytes lie: its sectors in order, regular ones or 64-byte
// sectors of the mini stream.
struct StreamChain {
    uint32_t id = 0;            // directory entry
    uint64_t size = 0;          // bytes the chain stands for
    bool mini = false;
    bool broken = false;        // the chain ends before size is reached
    std::vector<uint32_t> sectors;
};

class DocumentStream {
public:
    static constexpr size_t kPageSize = 512;
    // Largest stream this storage writes (the size field of a 512-byte-sector
    // container holds up to 2 GB).
    static constexpr int64_t kMaxWrittenSize = 0x7FFFFFFF;

    enum Error {
        kNoError = 0,
        kReadPastEnd = 1,   // a read asked for bytes the stream does not have
        kWriteFailed = 2,   // a write or the commit came back short
        kDamaged = 3,       // the container ends or breaks before the stream does
    };

    DocumentStream(const DocumentStream &) = delete;
    DocumentStream &operator=(const DocumentStream &) = delete;
    ~DocumentStream();

    const std::u16string &name() const { return name_; }
    bool isOpen() const { return open_; }
    int error() const { return error_; }
    void clearError() { error_ = kNoError; }

    // New position, kept between 0 and the size.
    int64_t seek(int64_t offset, ByteStream::Origin origin);
    int64_t skip(int64_t count) { return seek(count, ByteStream::kCurrent); }
    int64_t tell() const { return position_; }
    int64_t size() const { return size_; }

    // Reads size * count bytes; returns the number of bytes read.
    size_t read(void *buffer, size_t size, size_t count);
    // Writes size * count bytes at the position; returns the number written.
    size_t write(const void *buffer, size_t size, size_t count);
    // Grows the stream with zero bytes to newSize (a later write may start
    // there); false when the stream cannot be written or grow that far.
    bool extendTo(int64_t newSize);

    // Little-endian integers; a short read gives 0, a short write false.
    uint8_t readU8();
    uint16_t readU16();
    uint32_t readU32();
    int16_t readI16();
    bool writeU8(uint8_t value);
    bool writeU16(uint16_t value);
    bool writeU32(uint32_t value);
    // A u16 count followed by that many UTF-16 units.
    std::u16string readCountedString();

    // Writes the page buffer back when it was changed.
    bool flush();
    // Flushes and, when the stream was written, commits its size and place
    // into the directory. The storage may open the stream again later.
    bool close();

private:
    friend class CompoundStorage;
    DocumentStream(CompoundStorage &storage, StreamChain chain, std::u16string name);

    bool loadPage(int64_t page);
    bool writable() const;

    CompoundStorage &storage_;
    StreamChain chain_;
    std::u16string name_;
    uint8_t page_[kPageSize];
    int64_t pageNumber_ = -1;
    size_t pageValid_ = 0;
    int64_t position_ = 0;
    int64_t size_ = 0;
    bool dirty_ = false;
    bool open_ = true;
    bool written_ = false;
    int error_ = kNoError;
};

}  // namespace conv
