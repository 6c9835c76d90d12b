#include "compound_file.h"

#include "byte_order.h"

#include <algorithm>
#include <cstring>

namespace conv {

using namespace cfb;
using qv::loadLE16;
using qv::loadLE32;
using qv::loadLE64;
using qv::storeLE16;
using qv::storeLE32;
using qv::storeLE64;

namespace cfb {

DirectoryEntry parseEntry(const uint8_t *bytes, bool highSizeBits) {
    DirectoryEntry e;
    size_t units = std::min<size_t>(loadLE16(bytes + kEntryNameLength) / 2, kEntryNameBytes / 2);
    for (size_t i = 0; i < units; ++i) {
        char16_t c = char16_t(loadLE16(bytes + kEntryName + 2 * i));
        if (c == 0) break;
        e.name.push_back(c);
    }
    e.type = bytes[kEntryType];
    e.colour = bytes[kEntryColour];
    e.left = loadLE32(bytes + kEntryLeftSibling);
    e.right = loadLE32(bytes + kEntryRightSibling);
    e.child = loadLE32(bytes + kEntryChild);
    e.startSector = loadLE32(bytes + kEntryStartSector);
    e.size = highSizeBits ? loadLE64(bytes + kEntrySize64) : loadLE32(bytes + kEntrySize64);
    return e;
}

void storeEntry(uint8_t *bytes, const DirectoryEntry &e) {
    std::memset(bytes + kEntryName, 0, kEntryNameBytes);
    size_t units = std::min(e.name.size(), kMaxNameUnits);
    for (size_t i = 0; i < units; ++i) storeLE16(bytes + kEntryName + 2 * i, uint16_t(e.name[i]));
    storeLE16(bytes + kEntryNameLength, units ? uint16_t(2 * (units + 1)) : 0);
    bytes[kEntryType] = e.type;
    bytes[kEntryColour] = e.colour;
    storeLE32(bytes + kEntryLeftSibling, e.left);
    storeLE32(bytes + kEntryRightSibling, e.right);
    storeLE32(bytes + kEntryChild, e.child);
    storeLE32(bytes + kEntryStartSector, e.startSector);
    storeLE64(bytes + kEntrySize64, e.size);
}

int compareNames(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

}  // namespace cfb

std::u16string_view wordStreamName(int index) {
    static constexpr std::u16string_view kNames[kWordStreamCount] = {u"Data", u"1Table", u"0Table",
                                                                     u"WordDocument"};
    return index >= 0 && index < kWordStreamCount ? kNames[index] : std::u16string_view();
}

bool isCompoundFile(ByteStream &stream) {
    uint8_t bytes[sizeof kSignature];
    stream.seek(0, ByteStream::kBegin);
    size_t n = stream.read(bytes, sizeof bytes);
    stream.seek(0, ByteStream::kBegin);
    return n == sizeof bytes && std::memcmp(bytes, kSignature, sizeof bytes) == 0;
}

std::unique_ptr<CompoundStorage> openStorage(ByteStream &stream) {
    return CompoundStorage::open(&stream, nullptr);
}
std::unique_ptr<CompoundStorage> openStorage(std::unique_ptr<ByteStream> stream) {
    ByteStream *file = stream.get();
    return file ? CompoundStorage::open(file, std::move(stream)) : nullptr;
}
std::unique_ptr<CompoundStorage> createStorage(ByteStream &stream) {
    return CompoundStorage::create(&stream, nullptr);
}
std::unique_ptr<CompoundStorage> createStorage(std::unique_ptr<ByteStream> stream) {
    ByteStream *file = stream.get();
    return file ? CompoundStorage::create(file, std::move(stream)) : nullptr;
}

CompoundStorage::CompoundStorage(ByteStream *file, std::unique_ptr<ByteStream> owned)
    : owned_(std::move(owned)), file_(file) {}

CompoundStorage::~CompoundStorage() { close(); }

// ---------------------------------------------------------------------------
// Opening

std::unique_ptr<CompoundStorage> CompoundStorage::open(ByteStream *file, std::unique_ptr<ByteStream> owned) {
    if (!isCompoundFile(*file)) return nullptr;
    std::unique_ptr<CompoundStorage> s(new CompoundStorage(file, std::move(owned)));
    if (!s->readHeader()) return nullptr;
    s->readFatSectorList();

    bool broken = false;
    s->directorySectors_ = s->followChain(s->header_.firstDirectorySector, UINT64_MAX, false, broken);
    if (broken) s->damaged_ = true;
    if (s->directorySectors_.empty()) return nullptr;

    DirectoryEntry root;
    if (!s->readEntry(0, root)) return nullptr;
    if (!s->readMiniFat()) s->damaged_ = true;
    if (root.type == kRootEntry) {
        StreamChain &mini = s->miniStream_;
        mini.size = root.size;
        uint64_t wanted = (root.size + s->sectorSize_ - 1) / s->sectorSize_;
        mini.sectors = s->followChain(root.startSector, wanted, false, mini.broken);
        if (mini.broken) s->damaged_ = true;
        s->listChildren();
    }
    return s;
}

bool CompoundStorage::readHeader() {
    uint8_t h[kHeaderSize];
    if (readAt(0, h, sizeof h) != sizeof h) return false;
    header_.minorVersion = loadLE16(h + kHeaderMinorVersion);
    header_.majorVersion = loadLE16(h + kHeaderMajorVersion);
    header_.byteOrder = loadLE16(h + kHeaderByteOrder);
    header_.sectorShift = loadLE16(h + kHeaderSectorShift);
    header_.miniSectorShift = loadLE16(h + kHeaderMiniSectorShift);
    header_.fatSectorCount = loadLE32(h + kHeaderFatSectorCount);
    header_.firstDirectorySector = loadLE32(h + kHeaderFirstDirectorySector);
    header_.miniStreamCutoff = loadLE32(h + kHeaderMiniStreamCutoff);
    header_.firstMiniFatSector = loadLE32(h + kHeaderFirstMiniFatSector);
    header_.miniFatSectorCount = loadLE32(h + kHeaderMiniFatSectorCount);
    header_.firstDifatSector = loadLE32(h + kHeaderFirstDifatSector);
    header_.difatSectorCount = loadLE32(h + kHeaderDifatSectorCount);
    for (uint32_t i = 0; i < kHeaderDifatEntries; ++i) header_.difat[i] = loadLE32(h + kHeaderDifat + 4 * i);

    if (header_.byteOrder != kLittleEndianMark) return false;
    // 512-byte sectors (version 3) or 4096-byte ones (version 4), 64-byte mini sectors.
    if (header_.sectorShift != 9 && header_.sectorShift != 12) return false;
    if (header_.miniSectorShift != kWrittenMiniSectorShift) return false;
    sectorSize_ = 1u << header_.sectorShift;
    int64_t size = file_->size();
    if (size <= int64_t(sectorSize_)) return false;
    fileSize_ = uint64_t(size);
    // A partial last sector still counts: what it holds can be read.
    uint64_t sectors = (fileSize_ - sectorSize_ + sectorSize_ - 1) / sectorSize_;
    sectorCount_ = uint32_t(std::min<uint64_t>(sectors, kMaxRegularSector));
    // Counts the file cannot hold are not a container we can trust.
    if (header_.fatSectorCount == 0 || header_.fatSectorCount > sectorCount_) return false;
    if (header_.difatSectorCount > sectorCount_) return false;
    if (header_.firstDirectorySector >= sectorCount_) return false;
    fatCache_.assign(sectorSize_, 0xFF);
    return true;
}

void CompoundStorage::readFatSectorList() {
    uint32_t wanted = header_.fatSectorCount;
    for (uint32_t i = 0; i < kHeaderDifatEntries && fatSectors_.size() < wanted; ++i)
        fatSectors_.push_back(header_.difat[i]);
    if (fatSectors_.size() == wanted) return;

    // The rest lie in the DIFAT chain; each of its sectors ends with the next one's number.
    std::vector<uint8_t> sector(sectorSize_);
    std::vector<bool> seen(sectorCount_);
    uint32_t perSector = fatEntriesPerSector() - 1;
    uint32_t d = header_.firstDifatSector;
    while (fatSectors_.size() < wanted) {
        if (d >= sectorCount_ || seen[d]) {
            damaged_ = true;
            return;
        }
        seen[d] = true;
        size_t got = readAt(sectorOffset(d), sector.data(), sectorSize_);
        std::fill(sector.begin() + got, sector.end(), 0xFF);
        for (uint32_t j = 0; j < perSector && fatSectors_.size() < wanted; ++j)
            fatSectors_.push_back(loadLE32(&sector[4 * j]));
        d = loadLE32(&sector[4 * perSector]);
    }
}

bool CompoundStorage::readMiniFat() {
    if (header_.firstMiniFatSector == kEndOfChain || header_.firstMiniFatSector == kFreeSector) return true;
    bool broken = false;
    miniFatSectors_ = followChain(header_.firstMiniFatSector, UINT64_MAX, false, broken);
    std::vector<uint8_t> sector(sectorSize_);
    for (uint32_t s : miniFatSectors_) {
        size_t got = readAt(sectorOffset(s), sector.data(), sectorSize_);
        std::fill(sector.begin() + got, sector.end(), 0xFF);
        for (uint32_t j = 0; j < fatEntriesPerSector(); ++j) miniFat_.push_back(loadLE32(&sector[4 * j]));
    }
    return !broken;
}

// Walks the root's child tree in order: left subtree, the entry, right subtree.
// Every id is taken once, so a tree with cycles ends.
void CompoundStorage::listChildren() {
    children_.clear();
    DirectoryEntry parent;
    if (!readEntry(listedStorage_, parent)) return;
    if (parent.type != kStorageEntry && !(listedStorage_ == 0 && parent.type == kRootEntry)) return;

    std::vector<bool> seen(entryCount());
    seen[listedStorage_] = true;
    std::vector<std::pair<uint32_t, DirectoryEntry>> stack;
    uint32_t current = parent.child;
    for (;;) {
        while (current != kNoStream) {
            DirectoryEntry e;
            if (current >= entryCount() || seen[current] || !readEntry(current, e)) {
                damaged_ = true;
                break;
            }
            seen[current] = true;
            uint32_t left = e.left;
            stack.emplace_back(current, std::move(e));
            current = left;
        }
        if (stack.empty()) break;
        auto [id, e] = std::move(stack.back());
        stack.pop_back();
        children_.push_back(CompoundEntry{id, e.name, e.type, e.size});
        current = e.right;
    }
}

// ---------------------------------------------------------------------------
// The container file

size_t CompoundStorage::readAt(uint64_t offset, void *buffer, size_t count) {
    if (offset > uint64_t(INT64_MAX)) return 0;
    file_->seek(int64_t(offset), ByteStream::kBegin);
    if (file_->tell() != int64_t(offset)) return 0;
    return file_->read(buffer, count);
}

bool CompoundStorage::writeAt(uint64_t offset, const void *buffer, size_t count) {
    if (offset > uint64_t(INT64_MAX)) return false;
    file_->seek(int64_t(offset), ByteStream::kBegin);
    if (file_->tell() != int64_t(offset)) return false;
    return file_->write(buffer, count) == count;
}

// ---------------------------------------------------------------------------
// The FAT

bool CompoundStorage::loadFatSector(uint32_t index) {
    if (int64_t(index) == fatCacheIndex_) return true;
    if (!flushFatCache()) return false;
    fatCacheIndex_ = -1;
    if (index >= fatSectors_.size() || fatSectors_[index] >= sectorCount_) return false;
    size_t got = readAt(sectorOffset(fatSectors_[index]), fatCache_.data(), sectorSize_);
    std::fill(fatCache_.begin() + got, fatCache_.end(), 0xFF);
    fatCacheIndex_ = index;
    return true;
}

bool CompoundStorage::flushFatCache() {
    if (!fatCacheDirty_) return true;
    fatCacheDirty_ = false;
    return writeAt(sectorOffset(fatSectors_[size_t(fatCacheIndex_)]), fatCache_.data(), sectorSize_);
}

uint32_t CompoundStorage::nextSector(uint32_t sector) {
    if (!loadFatSector(sector / fatEntriesPerSector())) return kFreeSector;
    return loadLE32(&fatCache_[4 * (sector % fatEntriesPerSector())]);
}

bool CompoundStorage::setFatEntry(uint32_t sector, uint32_t value) {
    if (!loadFatSector(sector / fatEntriesPerSector())) return false;
    storeLE32(&fatCache_[4 * (sector % fatEntriesPerSector())], value);
    fatCacheDirty_ = true;
    return true;
}

// Follows a chain of the FAT (or of the mini FAT) for at most `wanted` links.
// The walk never takes a sector twice nor one the file cannot hold, so it
// ends whatever the tables say; broken tells that it stopped early.
std::vector<uint32_t> CompoundStorage::followChain(uint32_t start, uint64_t wanted, bool mini, bool &broken) {
    uint64_t limit = sectorCount_;
    if (mini)
        limit = std::min<uint64_t>(miniFat_.size(),
                                   uint64_t(miniStream_.sectors.size()) * (sectorSize_ >> kWrittenMiniSectorShift));
    std::vector<uint32_t> chain;
    std::vector<bool> seen(static_cast<size_t>(limit));
    broken = false;
    uint32_t current = start;
    while (chain.size() < wanted) {
        if (current == kEndOfChain) {
            broken = wanted != UINT64_MAX;
            break;
        }
        if (current >= limit || seen[current]) {
            broken = true;
            break;
        }
        seen[current] = true;
        chain.push_back(current);
        current = mini ? miniFat_[current] : nextSector(current);
    }
    return chain;
}

// ---------------------------------------------------------------------------
// The directory

uint64_t CompoundStorage::entryOffset(uint32_t id) const {
    uint32_t perSector = sectorSize_ / kEntrySize;
    return sectorOffset(directorySectors_[id / perSector]) + uint64_t(id % perSector) * kEntrySize;
}

bool CompoundStorage::readEntry(uint32_t id, DirectoryEntry &entry) {
    if (id >= entryCount()) return false;
    uint8_t bytes[kEntrySize];
    if (readAt(entryOffset(id), bytes, kEntrySize) != kEntrySize) return false;
    entry = parseEntry(bytes, header_.sectorShift != 9);
    return true;
}

bool CompoundStorage::writeEntry(uint32_t id, const DirectoryEntry &entry) {
    if (id >= entryCount()) return false;
    uint8_t bytes[kEntrySize];
    if (readAt(entryOffset(id), bytes, kEntrySize) != kEntrySize) return false;
    storeEntry(bytes, entry);
    return writeAt(entryOffset(id), bytes, kEntrySize);
}

bool CompoundStorage::loadChain(uint32_t id, const DirectoryEntry &entry, StreamChain &chain) {
    chain = StreamChain();
    chain.id = id;
    chain.size = entry.size;
    chain.mini = entry.size < header_.miniStreamCutoff;
    if (entry.size == 0) return true;
    if (entry.size > fileSize_ && !writable_) {
        damaged_ = true;   // a stream cannot be larger than the file that holds it
        return false;
    }
    uint32_t unit = chain.mini ? (1u << kWrittenMiniSectorShift) : sectorSize_;
    chain.sectors = followChain(entry.startSector, (entry.size + unit - 1) / unit, chain.mini, chain.broken);
    if (chain.broken) damaged_ = true;
    return true;
}

DocumentStream *CompoundStorage::findStream(std::u16string_view name) {
    for (auto &s : streams_)
        if (s->name() == name) return s.get();
    return nullptr;
}

DocumentStream *CompoundStorage::openStream(std::u16string_view name) {
    if (closed_ || name.empty()) return nullptr;
    if (DocumentStream *known = findStream(name)) {
        if (!known->open_) {
            known->open_ = true;
            known->position_ = 0;
            known->pageNumber_ = -1;
            known->written_ = false;
        }
        return known;
    }
    auto child = std::find_if(children_.begin(), children_.end(),
                              [&](const CompoundEntry &c) { return c.name == name; });
    if (child == children_.end()) return nullptr;
    DirectoryEntry entry;
    if (!readEntry(child->id, entry) || entry.type != kStreamEntry) return nullptr;
    StreamChain chain;
    if (!loadChain(child->id, entry, chain)) return nullptr;
    streams_.emplace_back(new DocumentStream(*this, std::move(chain), std::u16string(name)));
    return streams_.back().get();
}

// ---------------------------------------------------------------------------
// Creating

std::unique_ptr<CompoundStorage> CompoundStorage::create(ByteStream *file, std::unique_ptr<ByteStream> owned) {
    if (file->size() != 0) return nullptr;
    std::unique_ptr<CompoundStorage> s(new CompoundStorage(file, std::move(owned)));
    CompoundHeader &h = s->header_;
    h.minorVersion = kWrittenMinorVersion;
    h.majorVersion = kWrittenMajorVersion;
    h.byteOrder = kLittleEndianMark;
    h.sectorShift = kWrittenSectorShift;
    h.miniSectorShift = kWrittenMiniSectorShift;
    h.miniStreamCutoff = kWrittenMiniStreamCutoff;
    std::fill(std::begin(h.difat), std::end(h.difat), kFreeSector);
    s->writable_ = true;
    s->sectorSize_ = 1u << kWrittenSectorShift;
    s->fatCache_.assign(s->sectorSize_, 0xFF);
    s->miniStream_.id = 0;

    // Sector 0 is the first FAT sector, sector 1 the first directory sector.
    if (!s->writeHeader() || !s->addFatSector()) return nullptr;
    uint32_t directory = s->allocateSector(0, kEndOfChain);
    if (directory == kEndOfChain) return nullptr;
    h.firstDirectorySector = directory;
    s->directorySectors_.push_back(directory);

    DirectoryEntry root;
    root.name = u"Root Entry";
    root.type = kRootEntry;
    root.colour = kBlack;
    root.startSector = kEndOfChain;
    if (!s->writeEntry(0, root) || !s->flushFatCache() || !s->writeHeader()) return nullptr;
    return s;
}

bool CompoundStorage::writeHeader() {
    uint8_t h[kHeaderSize] = {};
    std::memcpy(h, kSignature, sizeof kSignature);
    storeLE16(h + kHeaderMinorVersion, header_.minorVersion);
    storeLE16(h + kHeaderMajorVersion, header_.majorVersion);
    storeLE16(h + kHeaderByteOrder, header_.byteOrder);
    storeLE16(h + kHeaderSectorShift, header_.sectorShift);
    storeLE16(h + kHeaderMiniSectorShift, header_.miniSectorShift);
    storeLE32(h + kHeaderFatSectorCount, header_.fatSectorCount);
    storeLE32(h + kHeaderFirstDirectorySector, header_.firstDirectorySector);
    storeLE32(h + kHeaderMiniStreamCutoff, header_.miniStreamCutoff);
    storeLE32(h + kHeaderFirstMiniFatSector, header_.firstMiniFatSector);
    storeLE32(h + kHeaderMiniFatSectorCount, header_.miniFatSectorCount);
    storeLE32(h + kHeaderFirstDifatSector, header_.firstDifatSector);
    storeLE32(h + kHeaderDifatSectorCount, header_.difatSectorCount);
    for (uint32_t i = 0; i < kHeaderDifatEntries; ++i) storeLE32(h + kHeaderDifat + 4 * i, header_.difat[i]);
    return writeAt(0, h, sizeof h);
}

// Grows the file by one sector, not yet listed in the FAT.
bool CompoundStorage::appendSector(uint8_t fill) {
    if (sectorCount_ >= kMaxRegularSector) return false;
    std::vector<uint8_t> bytes(sectorSize_, fill);
    if (!writeAt(sectorOffset(sectorCount_), bytes.data(), bytes.size())) return false;
    ++sectorCount_;
    fileSize_ = sectorOffset(sectorCount_);
    return true;
}

// Appends a FAT sector; it covers itself and the sectors that follow.
bool CompoundStorage::addFatSector() {
    uint32_t index = uint32_t(fatSectors_.size());
    uint32_t sector = sectorCount_;
    if (!appendSector(0xFF)) return false;
    fatSectors_.push_back(sector);
    header_.fatSectorCount = uint32_t(fatSectors_.size());
    return listFatSector(index, sector) && setFatEntry(sector, kFatSector) && writeHeader();
}

// Records where FAT sector `index` lies: in the header for the first 109,
// then in DIFAT sectors, each holding (sector size / 4 - 1) of them and the
// number of the next DIFAT sector in its last slot.
bool CompoundStorage::listFatSector(uint32_t index, uint32_t sector) {
    if (index < kHeaderDifatEntries) {
        header_.difat[index] = sector;
        return true;
    }
    uint32_t perSector = fatEntriesPerSector() - 1;
    uint32_t slot = index - kHeaderDifatEntries;
    while (slot / perSector >= difatSectors_.size()) {
        uint32_t difat = sectorCount_;
        uint8_t end[4];
        storeLE32(end, kEndOfChain);
        if (!appendSector(0xFF) || !writeAt(sectorOffset(difat) + 4 * perSector, end, 4)) return false;
        if (difatSectors_.empty()) {
            header_.firstDifatSector = difat;
        } else {
            uint8_t next[4];
            storeLE32(next, difat);
            if (!writeAt(sectorOffset(difatSectors_.back()) + 4 * perSector, next, 4)) return false;
        }
        difatSectors_.push_back(difat);
        header_.difatSectorCount = uint32_t(difatSectors_.size());
        if (!setFatEntry(difat, kDifatSector)) return false;
    }
    uint8_t entry[4];
    storeLE32(entry, sector);
    return writeAt(sectorOffset(difatSectors_[slot / perSector]) + 4 * (slot % perSector), entry, 4);
}

// Appends a sector filled with `fill` and marks it in the FAT; end of chain
// when the file cannot grow.
uint32_t CompoundStorage::allocateSector(uint8_t fill, uint32_t mark) {
    while (uint64_t(sectorCount_) >= uint64_t(fatSectors_.size()) * fatEntriesPerSector())
        if (!addFatSector()) return kEndOfChain;
    uint32_t sector = sectorCount_;
    if (!appendSector(fill) || !setFatEntry(sector, mark)) return kEndOfChain;
    return sector;
}

bool CompoundStorage::appendToChain(StreamChain &chain) {
    uint32_t sector = allocateSector(0, kEndOfChain);
    if (sector == kEndOfChain) return false;
    if (!chain.sectors.empty() && !setFatEntry(chain.sectors.back(), sector)) return false;
    chain.sectors.push_back(sector);
    return true;
}

void CompoundStorage::freeChain(const std::vector<uint32_t> &sectors) {
    for (uint32_t s : sectors) setFatEntry(s, kFreeSector);
}

DocumentStream *CompoundStorage::createStream(std::u16string_view name) {
    if (!writable_ || closed_ || name.empty() || name.size() > kMaxNameUnits) return nullptr;
    for (char16_t c : name)
        if (c == 0 || c == u'/' || c == u'\\' || c == u':' || c == u'!') return nullptr;

    // Where the new entry hangs in the root's tree; a taken name fails.
    DirectoryEntry root;
    if (!readEntry(0, root)) return nullptr;
    uint32_t parent = kNoStream;
    bool asLeft = false;
    uint32_t current = root.child;
    for (uint32_t steps = 0; current != kNoStream; ++steps) {
        DirectoryEntry e;
        if (steps > entryCount() || !readEntry(current, e)) return nullptr;
        int order = compareNames(name, e.name);
        if (order == 0) return nullptr;
        parent = current;
        asLeft = order < 0;
        current = asLeft ? e.left : e.right;
    }

    // A free slot in the last directory sector, or a new sector.
    uint32_t perSector = sectorSize_ / kEntrySize;
    uint32_t id = kNoStream;
    for (uint32_t i = entryCount() - perSector; i < entryCount(); ++i) {
        uint8_t type = 0xFF;
        if (readAt(entryOffset(i) + kEntryType, &type, 1) == 1 && type == kUnusedEntry) {
            id = i;
            break;
        }
    }
    if (id == kNoStream) {
        uint32_t sector = allocateSector(0, kEndOfChain);
        if (sector == kEndOfChain || !setFatEntry(directorySectors_.back(), sector)) return nullptr;
        directorySectors_.push_back(sector);
        id = entryCount() - perSector;
    }

    StreamChain chain;
    chain.id = id;
    if (!appendToChain(chain)) return nullptr;
    DirectoryEntry entry;
    entry.name = std::u16string(name);
    entry.type = kStreamEntry;
    entry.colour = kBlack;
    entry.startSector = chain.sectors.front();
    if (!writeEntry(id, entry)) return nullptr;

    bool linked;
    if (parent == kNoStream) {
        root.child = id;
        linked = writeEntry(0, root);
    } else {
        DirectoryEntry p;
        linked = readEntry(parent, p);
        (asLeft ? p.left : p.right) = id;
        linked = linked && writeEntry(parent, p);
    }
    if (!linked) return nullptr;
    listChildren();
    auto *stream = new DocumentStream(*this, std::move(chain), entry.name);
    stream->written_ = true;
    streams_.emplace_back(stream);
    return stream;
}

// ---------------------------------------------------------------------------
// Stream bytes

size_t CompoundStorage::readChain(const StreamChain &chain, uint64_t offset, uint8_t *buffer, size_t count) {
    const uint32_t unit = chain.mini ? (1u << kWrittenMiniSectorShift) : sectorSize_;
    size_t done = 0;
    while (done < count) {
        uint64_t pos = offset + done;
        uint64_t index = pos / unit;
        if (index >= chain.sectors.size()) break;
        uint32_t within = uint32_t(pos % unit);
        uint64_t fileOffset;
        uint64_t run = unit - within;
        if (chain.mini) {
            uint64_t streamPos = uint64_t(chain.sectors[index]) * unit + within;
            uint64_t sector = streamPos / sectorSize_;
            if (sector >= miniStream_.sectors.size()) break;
            fileOffset = sectorOffset(miniStream_.sectors[sector]) + streamPos % sectorSize_;
        } else {
            // Consecutive sectors are read in one go.
            fileOffset = sectorOffset(chain.sectors[index]) + within;
            for (uint64_t j = index + 1; j < chain.sectors.size() && run < count - done &&
                                         chain.sectors[j] == chain.sectors[j - 1] + 1;
                 ++j)
                run += unit;
        }
        size_t take = size_t(std::min<uint64_t>(run, count - done));
        size_t got = readAt(fileOffset, buffer + done, take);
        done += got;
        if (got < take) break;
    }
    return done;
}

bool CompoundStorage::writeChain(StreamChain &chain, uint64_t offset, const uint8_t *buffer, size_t count) {
    if (!writable_ || chain.mini) return false;
    uint64_t end = offset + count;
    while (uint64_t(chain.sectors.size()) * sectorSize_ < end)
        if (!appendToChain(chain)) return false;
    size_t done = 0;
    while (done < count) {
        uint64_t pos = offset + done;
        uint64_t index = pos / sectorSize_;
        uint32_t within = uint32_t(pos % sectorSize_);
        uint64_t run = sectorSize_ - within;
        for (uint64_t j = index + 1;
             j < chain.sectors.size() && run < count - done && chain.sectors[j] == chain.sectors[j - 1] + 1; ++j)
            run += sectorSize_;
        size_t take = size_t(std::min<uint64_t>(run, count - done));
        if (!writeAt(sectorOffset(chain.sectors[index]) + within, buffer + done, take)) return false;
        done += take;
    }
    chain.size = std::max(chain.size, end);
    return true;
}

// Records a written stream in its directory entry. Below the cutoff it moves
// into the mini stream; an empty stream gives its sectors back.
bool CompoundStorage::commit(StreamChain &chain, uint64_t size) {
    if (!writable_) return false;
    DirectoryEntry entry;
    if (!readEntry(chain.id, entry)) return false;
    if (!chain.mini) {
        while (uint64_t(chain.sectors.size()) * sectorSize_ < size)
            if (!appendToChain(chain)) return false;
        size_t needed = size_t((size + sectorSize_ - 1) / sectorSize_);
        if (chain.sectors.size() > needed) {
            freeChain(std::vector<uint32_t>(chain.sectors.begin() + needed, chain.sectors.end()));
            chain.sectors.resize(needed);
            if (needed && !setFatEntry(chain.sectors.back(), kEndOfChain)) return false;
        }
        chain.size = size;
        if (size > 0 && size < header_.miniStreamCutoff) {
            if (!moveToMiniStream(chain, size)) return false;
        }
    }
    entry.size = size;
    entry.startSector = chain.sectors.empty() ? kEndOfChain : chain.sectors.front();
    return writeEntry(chain.id, entry) && flushFatCache() && writeHeader();
}

bool CompoundStorage::writeMiniFatEntries(uint32_t first, uint32_t count) {
    uint32_t perSector = fatEntriesPerSector();
    std::vector<uint8_t> bytes(sectorSize_);
    for (uint32_t s = first / perSector; s <= (first + count - 1) / perSector; ++s) {
        for (uint32_t j = 0; j < perSector; ++j) storeLE32(&bytes[4 * j], miniFat_[s * perSector + j]);
        if (!writeAt(sectorOffset(miniFatSectors_[s]), bytes.data(), bytes.size())) return false;
    }
    return true;
}

// Copies a committed small stream into the mini stream, starting on a sector
// boundary of the mini stream, and gives its regular sectors back.
bool CompoundStorage::moveToMiniStream(StreamChain &chain, uint64_t size) {
    const uint32_t miniSize = 1u << kWrittenMiniSectorShift;
    const uint32_t perFatSector = fatEntriesPerSector();
    uint64_t startByte = (miniStream_.size + sectorSize_ - 1) / sectorSize_ * sectorSize_;
    uint32_t first = uint32_t(startByte / miniSize);
    uint32_t count = uint32_t((size + miniSize - 1) / miniSize);
    uint64_t end = uint64_t(first + count) * miniSize;

    while (uint64_t(miniStream_.sectors.size()) * sectorSize_ < end)
        if (!appendToChain(miniStream_)) return false;
    while (miniFat_.size() < uint64_t(first) + count) {
        uint32_t sector = allocateSector(0xFF, kEndOfChain);
        if (sector == kEndOfChain) return false;
        if (miniFatSectors_.empty()) {
            header_.firstMiniFatSector = sector;
        } else if (!setFatEntry(miniFatSectors_.back(), sector)) {
            return false;
        }
        miniFatSectors_.push_back(sector);
        header_.miniFatSectorCount = uint32_t(miniFatSectors_.size());
        miniFat_.resize(miniFat_.size() + perFatSector, kFreeSector);
    }
    for (uint32_t i = 0; i < count; ++i) miniFat_[first + i] = i + 1 < count ? first + i + 1 : kEndOfChain;
    if (!writeMiniFatEntries(first, count)) return false;

    std::vector<uint8_t> bytes(sectorSize_);
    for (size_t k = 0; uint64_t(k) * sectorSize_ < size; ++k) {
        size_t n = size_t(std::min<uint64_t>(sectorSize_, size - uint64_t(k) * sectorSize_));
        if (readAt(sectorOffset(chain.sectors[k]), bytes.data(), n) != n) return false;
        if (!writeAt(sectorOffset(miniStream_.sectors[startByte / sectorSize_ + k]), bytes.data(), n)) return false;
    }
    freeChain(chain.sectors);

    miniStream_.size = end;
    DirectoryEntry root;
    if (!readEntry(0, root)) return false;
    root.startSector = miniStream_.sectors.front();
    root.size = end;
    if (!writeEntry(0, root)) return false;

    chain.mini = true;
    chain.sectors.clear();
    for (uint32_t i = 0; i < count; ++i) chain.sectors.push_back(first + i);
    return true;
}

bool CompoundStorage::close() {
    if (closed_) return closeResult_;
    bool ok = true;
    for (auto &s : streams_)
        if (s->isOpen()) ok = s->close() && ok;
    if (writable_) ok = flushFatCache() && writeHeader() && ok;
    closed_ = true;
    closeResult_ = ok;
    return ok;
}

}  // namespace conv
