// Compound file storage: the container a Word 97 document lives in.
// openStorage reads an existing container from a ByteStream and lists the
// entries directly below its root; its streams are opened by name and read
// through DocumentStream. createStorage writes a new container on an empty
// ByteStream; streams are created below the root, written, and committed
// when closed (small ones into the mini stream). A container that does not
// hold together is refused, or its streams are read up to the point where it
// breaks, with the stream's error marker set.
#pragma once

#include "byte_stream.h"
#include "compound_format.h"
#include "compound_stream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace conv {

// The streams the Word converters use, by index.
enum WordStreamIndex {
    kDataStream = 0,
    kTable1Stream = 1,
    kTable0Stream = 2,
    kWordDocumentStream = 3,
    kWordStreamCount = 4,
};
// "Data", "1Table", "0Table", "WordDocument"; empty for any other index.
std::u16string_view wordStreamName(int index);

// The header values the storage works with.
struct CompoundHeader {
    uint16_t minorVersion = 0;
    uint16_t majorVersion = 0;
    uint16_t byteOrder = 0;
    uint16_t sectorShift = 0;
    uint16_t miniSectorShift = 0;
    uint32_t fatSectorCount = 0;
    uint32_t firstDirectorySector = cfb::kEndOfChain;
    uint32_t miniStreamCutoff = 0;
    uint32_t firstMiniFatSector = cfb::kEndOfChain;
    uint32_t miniFatSectorCount = 0;
    uint32_t firstDifatSector = cfb::kEndOfChain;
    uint32_t difatSectorCount = 0;
    uint32_t difat[cfb::kHeaderDifatEntries] = {};
};

// One entry below the root, as listed.
struct CompoundEntry {
    uint32_t id = 0;
    std::u16string name;
    uint8_t type = 0;   // cfb::EntryType
    uint64_t size = 0;
};

class CompoundStorage {
public:
    ~CompoundStorage();
    CompoundStorage(const CompoundStorage &) = delete;
    CompoundStorage &operator=(const CompoundStorage &) = delete;

    const CompoundHeader &header() const { return header_; }
    // The root's children in the order of its tree (left, entry, right).
    const std::vector<CompoundEntry> &children() const { return children_; }
    bool writable() const { return writable_; }
    // Something in the container did not hold together (a chain that breaks
    // or loops, an id out of range); what could be read is still offered.
    bool damaged() const { return damaged_; }

    // The stream of that name below the root, opened on first request and
    // the same object afterwards; none when absent or not a stream.
    DocumentStream *openStream(std::u16string_view name);
    DocumentStream *openDocumentStream(int index) { return openStream(wordStreamName(index)); }
    // A new empty stream below the root of a created container; none when
    // the name is taken or not valid, or the container cannot grow.
    DocumentStream *createStream(std::u16string_view name);
    DocumentStream *createDocumentStream(int index) { return createStream(wordStreamName(index)); }

    // Closes every open stream (committing written ones) and writes the
    // allocation table and the header back. False when a write failed.
    // The destructor does this when it was not done.
    bool close();

private:
    friend class DocumentStream;
    friend std::unique_ptr<CompoundStorage> openStorage(ByteStream &);
    friend std::unique_ptr<CompoundStorage> openStorage(std::unique_ptr<ByteStream>);
    friend std::unique_ptr<CompoundStorage> createStorage(ByteStream &);
    friend std::unique_ptr<CompoundStorage> createStorage(std::unique_ptr<ByteStream>);

    CompoundStorage(ByteStream *file, std::unique_ptr<ByteStream> owned);
    static std::unique_ptr<CompoundStorage> open(ByteStream *file, std::unique_ptr<ByteStream> owned);
    static std::unique_ptr<CompoundStorage> create(ByteStream *file, std::unique_ptr<ByteStream> owned);

    // Reading an existing container.
    bool readHeader();
    void readFatSectorList();
    bool readMiniFat();
    void listChildren();

    // Bytes of the container file.
    uint64_t sectorOffset(uint32_t sector) const { return (uint64_t(sector) + 1) << header_.sectorShift; }
    size_t readAt(uint64_t offset, void *buffer, size_t count);
    bool writeAt(uint64_t offset, const void *buffer, size_t count);

    // The FAT, one sector cached.
    uint32_t fatEntriesPerSector() const { return sectorSize_ / 4; }
    bool loadFatSector(uint32_t index);
    bool flushFatCache();
    uint32_t nextSector(uint32_t sector);
    bool setFatEntry(uint32_t sector, uint32_t value);
    std::vector<uint32_t> followChain(uint32_t start, uint64_t wanted, bool mini, bool &broken);

    // The directory.
    uint32_t entryCount() const { return uint32_t(directorySectors_.size() * (sectorSize_ / cfb::kEntrySize)); }
    uint64_t entryOffset(uint32_t id) const;
    bool readEntry(uint32_t id, cfb::DirectoryEntry &entry);
    bool writeEntry(uint32_t id, const cfb::DirectoryEntry &entry);
    bool loadChain(uint32_t id, const cfb::DirectoryEntry &entry, StreamChain &chain);
    DocumentStream *findStream(std::u16string_view name);

    // Growing a created container.
    bool writeHeader();
    bool appendSector(uint8_t fill);
    bool addFatSector();
    bool listFatSector(uint32_t index, uint32_t sector);
    uint32_t allocateSector(uint8_t fill, uint32_t mark);
    bool appendToChain(StreamChain &chain);
    void freeChain(const std::vector<uint32_t> &sectors);
    bool writeMiniFatEntries(uint32_t first, uint32_t count);

    // What DocumentStream calls.
    size_t readChain(const StreamChain &chain, uint64_t offset, uint8_t *buffer, size_t count);
    bool writeChain(StreamChain &chain, uint64_t offset, const uint8_t *buffer, size_t count);
    bool commit(StreamChain &chain, uint64_t size);
    bool moveToMiniStream(StreamChain &chain, uint64_t size);

    std::unique_ptr<ByteStream> owned_;   // destroyed after everything else
    ByteStream *file_;
    CompoundHeader header_;
    bool writable_ = false;
    bool damaged_ = false;
    bool closed_ = false;
    bool closeResult_ = true;
    uint32_t sectorSize_ = 512;
    uint64_t fileSize_ = 0;
    uint32_t sectorCount_ = 0;   // sectors after the header

    std::vector<uint32_t> fatSectors_;     // where FAT sector i lies
    std::vector<uint32_t> difatSectors_;   // the DIFAT chain of a created container
    std::vector<uint8_t> fatCache_;
    int64_t fatCacheIndex_ = -1;
    bool fatCacheDirty_ = false;

    std::vector<uint32_t> directorySectors_;
    std::vector<uint32_t> miniFatSectors_;
    std::vector<uint32_t> miniFat_;
    StreamChain miniStream_;   // the root entry's chain

    std::vector<CompoundEntry> children_;
    uint32_t listedStorage_ = 0;   // the root
    std::vector<std::unique_ptr<DocumentStream>> streams_;
};

// True when the stream starts with the compound file signature; the stream
// is left at offset 0.
bool isCompoundFile(ByteStream &stream);
// The container in stream, or none when it is not one or cannot be read.
// The first form leaves the stream to the caller, who keeps it alive longer
// than the storage; the second destroys it with the storage.
std::unique_ptr<CompoundStorage> openStorage(ByteStream &stream);
std::unique_ptr<CompoundStorage> openStorage(std::unique_ptr<ByteStream> stream);
// A new container written on an empty stream, or none when the stream is
// not empty or cannot be written.
std::unique_ptr<CompoundStorage> createStorage(ByteStream &stream);
std::unique_ptr<CompoundStorage> createStorage(std::unique_ptr<ByteStream> stream);

}  // namespace conv
