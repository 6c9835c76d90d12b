#include "compound_file.h"

#include "byte_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <unistd.h>

using namespace conv;
namespace fs = std::filesystem;

namespace {

const std::string kWordCorpus = QV_CORPUS_DIR "/word";

struct NamedBytes {
    std::u16string name;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> pattern(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto &b : bytes) {
        x = x * 1103515245u + 12345u;
        b = uint8_t(x >> 16);
    }
    return bytes;
}

std::string narrow(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) out.push_back(c < 0x80 ? char(c) : '?');
    return out;
}

// Reads from the position to the end in odd-sized pieces.
std::vector<uint8_t> readRest(DocumentStream &s) {
    std::vector<uint8_t> out;
    uint8_t buffer[777];
    for (;;) {
        size_t n = s.read(buffer, 1, sizeof buffer);
        out.insert(out.end(), buffer, buffer + n);
        if (n < sizeof buffer) return out;
    }
}

std::vector<uint8_t> fileBytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Writes the streams into a new container, in 1000-byte pieces taken from
// each stream in turn, so that their sector chains interleave.
std::vector<uint8_t> writeContainer(const std::vector<NamedBytes> &streams) {
    MemoryStream file;
    auto storage = createStorage(file);
    EXPECT_TRUE(storage);
    if (!storage) return {};
    std::vector<DocumentStream *> opened;
    for (auto &s : streams) {
        opened.push_back(storage->createStream(s.name));
        EXPECT_TRUE(opened.back()) << narrow(s.name);
        if (!opened.back()) return {};
    }
    for (size_t offset = 0;; offset += 1000) {
        bool any = false;
        for (size_t i = 0; i < streams.size(); ++i) {
            const auto &bytes = streams[i].bytes;
            if (offset >= bytes.size()) continue;
            size_t n = std::min<size_t>(1000, bytes.size() - offset);
            EXPECT_EQ(opened[i]->write(bytes.data() + offset, 1, n), n);
            any = true;
        }
        if (!any) break;
    }
    EXPECT_TRUE(storage->close());
    return file.bytes();
}

const std::vector<NamedBytes> &sizedStreams() {
    static const std::vector<NamedBytes> streams = {
        {u"Empty", {}},
        {u"Small", pattern(106, 1)},
        {u"BelowCutoff", pattern(4095, 2)},
        {u"AtCutoff", pattern(4096, 3)},
        {u"Regular", pattern(5000, 4)},
        {u"Large", pattern(8000000, 5)},
    };
    return streams;
}

// A container whose FAT outgrows the 109 places of the header.
const std::vector<uint8_t> &largeContainer() {
    static const std::vector<uint8_t> bytes = writeContainer(sizedStreams());
    return bytes;
}

uint32_t u32(const std::vector<uint8_t> &b, size_t offset) { return qv::loadLE32(&b[offset]); }
void put32(std::vector<uint8_t> &b, size_t offset, uint32_t v) { qv::storeLE32(&b[offset], v); }

// Where FAT entry n lies in a container with 512-byte sectors.
size_t fatEntryOffset(const std::vector<uint8_t> &b, uint32_t n) {
    uint32_t index = n / 128;
    uint32_t sector;
    if (index < 109) {
        sector = u32(b, cfb::kHeaderDifat + 4 * index);
    } else {
        uint32_t difat = u32(b, cfb::kHeaderFirstDifatSector);
        for (uint32_t k = (index - 109) / 127; k > 0; --k) difat = u32(b, (difat + 1) * 512 + 4 * 127);
        sector = u32(b, (difat + 1) * 512 + 4 * ((index - 109) % 127));
    }
    return (size_t(sector) + 1) * 512 + 4 * (n % 128);
}

// Directory entry `id` of a small created container: its directory is sector 1.
size_t entryOffset(uint32_t id) { return 1024 + 128 * size_t(id); }

bool oleReaderPresent() { return std::system("/usr/bin/python3 -c 'import olefile' >/dev/null 2>&1") == 0; }

// Lists a container with the other reader: name -> bytes.
// strict: any irregularity it notices fails.
std::map<std::string, std::vector<uint8_t>> readWithOleReader(const fs::path &container, std::string &sizes,
                                                              bool strict = false) {
    fs::path out = fs::temp_directory_path() / ("qv_olefile_" + std::to_string(::getpid()));
    fs::remove_all(out);
    fs::create_directories(out);
    std::string command = "/usr/bin/python3 '" QV_SOURCE_DIR "/tests/compound/olefile_dump.py' '" +
                          container.string() + "' '" + out.string() + "'" + (strict ? " strict" : "");
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::map<std::string, std::vector<uint8_t>> streams;
    std::ifstream listing(out / "list.txt");
    std::string line;
    while (std::getline(listing, line)) {
        std::istringstream fields(line);
        std::string index, name, size;
        std::getline(fields, index, '\t');
        std::getline(fields, name, '\t');
        std::getline(fields, size, '\t');
        streams[name] = fileBytes(out / (index + ".bin"));
        sizes += name + "=" + size + " ";
    }
    fs::remove_all(out);
    return streams;
}

}  // namespace

// ---------------------------------------------------------------------------
// Word documents from the corpus

TEST(CompoundCorpus, EveryWordFileOpensOrIsRefusedAndEveryStreamReadsToItsEnd) {
    std::vector<std::string> refused;
    int opened = 0;
    std::vector<fs::path> files;
    for (auto &e : fs::directory_iterator(kWordCorpus)) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    ASSERT_GT(files.size(), 100u);
    for (auto &path : files) {
        SCOPED_TRACE(path.filename().string());
        FileStream file(path.string(), FileStream::kRead);
        ASSERT_TRUE(file.isOpen());
        auto storage = openStorage(file);
        if (!storage) {
            refused.push_back(path.filename().string());
            continue;
        }
        ++opened;
        for (const auto &child : storage->children()) {
            if (child.type != cfb::kStreamEntry) continue;
            DocumentStream *s = storage->openStream(child.name);
            if (!s) continue;
            EXPECT_EQ(uint64_t(s->size()), child.size);
            std::vector<uint8_t> bytes = readRest(*s);
            if (s->error() != DocumentStream::kDamaged) {
                EXPECT_EQ(bytes.size(), child.size) << narrow(child.name);
            }
        }
    }
    // Only the empty file and a Word 2 file (no container) are refused.
    EXPECT_EQ(refused, (std::vector<std::string>{"multimedia.doc", "word2.doc"}));
    EXPECT_EQ(opened + 2, int(files.size()));
}

TEST(CompoundCorpus, WordFilesHaveTheirStreamsWithTheDirectorySizes) {
    struct Known {
        const char *file;
        int64_t wordDocument;
        std::u16string_view table;
        int64_t tableSize;
        int64_t data;   // -1: no "Data" stream
    };
    const Known known[] = {
        {"SampleDoc.doc", 4096, u"1Table", 6533, 4096},
        {"hyperlink.doc", 3620, u"1Table", 2123, 153},   // all three in the mini stream
        {"Bug33519.doc", 20480, u"0Table", 44508, -1},
        {"Bug46220.doc", 6196, u"1Table", 5040, 1108535},
        {"ca.kwsymphony.www_education_School_Concert_Seat_Booking_Form_2011-12.doc", 697827, u"1Table", 893499, 4096},
    };
    for (const auto &k : known) {
        SCOPED_TRACE(k.file);
        FileStream file(kWordCorpus + "/" + k.file, FileStream::kRead);
        auto storage = openStorage(file);
        ASSERT_TRUE(storage);
        EXPECT_FALSE(storage->damaged());
        DocumentStream *word = storage->openDocumentStream(kWordDocumentStream);
        ASSERT_TRUE(word);
        EXPECT_EQ(word->size(), k.wordDocument);
        EXPECT_EQ(word->readU16(), 0xA5EC);   // the identifier a Word 97 document begins with
        EXPECT_EQ(storage->openDocumentStream(kWordDocumentStream), word);
        DocumentStream *table = storage->openStream(k.table);
        ASSERT_TRUE(table);
        EXPECT_EQ(table->size(), k.tableSize);
        DocumentStream *data = storage->openDocumentStream(kDataStream);
        EXPECT_EQ(data ? data->size() : -1, k.data);
        for (DocumentStream *s : {word, table, data}) {
            if (!s) continue;
            s->seek(0, ByteStream::kBegin);
            EXPECT_EQ(int64_t(readRest(*s).size()), s->size());
            EXPECT_EQ(s->error(), DocumentStream::kReadPastEnd);   // the last short piece
        }
    }
}

TEST(CompoundCorpus, NamesMatchExactlyAndOlderWordFilesHaveNoTableStream) {
    FileStream upper(kWordCorpus + "/47950_upper.doc", FileStream::kRead);
    auto storage = openStorage(upper);
    ASSERT_TRUE(storage);
    EXPECT_FALSE(storage->openDocumentStream(kWordDocumentStream));
    EXPECT_TRUE(storage->openStream(u"WORDDOCUMENT"));

    FileStream word6(kWordCorpus + "/Word6.doc", FileStream::kRead);
    storage = openStorage(word6);
    ASSERT_TRUE(storage);
    EXPECT_TRUE(storage->openDocumentStream(kWordDocumentStream));
    EXPECT_FALSE(storage->openDocumentStream(kTable0Stream));
    EXPECT_FALSE(storage->openDocumentStream(kTable1Stream));

    MemoryStream text(std::vector<uint8_t>(600, 'a'));
    EXPECT_FALSE(isCompoundFile(text));
    EXPECT_FALSE(openStorage(text));
}

TEST(CompoundCorpus, StreamsReadAsAnotherReaderReadsThem) {
    if (!oleReaderPresent()) GTEST_SKIP() << "python3-olefile is not installed";
    for (const char *name : {"hyperlink.doc", "Bug46220.doc", "Bug33519.doc"}) {
        SCOPED_TRACE(name);
        fs::path path = kWordCorpus + "/" + name;
        std::string sizes;
        auto expected = readWithOleReader(path, sizes);
        ASSERT_FALSE(expected.empty());
        FileStream file(path.string(), FileStream::kRead);
        auto storage = openStorage(file);
        ASSERT_TRUE(storage);
        for (const auto &[streamName, bytes] : expected) {
            std::u16string wide(streamName.begin(), streamName.end());
            DocumentStream *s = storage->openStream(wide);
            ASSERT_TRUE(s) << streamName;
            EXPECT_TRUE(readRest(*s) == bytes) << streamName;
        }
    }
}

// ---------------------------------------------------------------------------
// Writing

TEST(CompoundWrite, ANewContainerHasTheHeaderFatAndRootOfTheFormat) {
    MemoryStream file;
    ASSERT_TRUE(createStorage(file));
    const auto &b = file.bytes();
    ASSERT_EQ(b.size(), 3u * 512);   // header, FAT sector 0, directory sector 1
    EXPECT_TRUE(std::equal(std::begin(cfb::kSignature), std::end(cfb::kSignature), b.begin()));
    EXPECT_TRUE(std::all_of(b.begin() + 8, b.begin() + 24, [](uint8_t x) { return x == 0; }));
    EXPECT_EQ(qv::loadLE16(&b[24]), 0x003E);
    EXPECT_EQ(qv::loadLE16(&b[26]), 3);
    EXPECT_EQ(qv::loadLE16(&b[28]), 0xFFFE);
    EXPECT_EQ(qv::loadLE16(&b[30]), 9);
    EXPECT_EQ(qv::loadLE16(&b[32]), 6);
    EXPECT_TRUE(std::all_of(b.begin() + 34, b.begin() + 44, [](uint8_t x) { return x == 0; }));
    EXPECT_EQ(u32(b, 44), 1u);            // FAT sectors
    EXPECT_EQ(u32(b, 48), 1u);            // first directory sector
    EXPECT_EQ(u32(b, 52), 0u);            // transaction signature
    EXPECT_EQ(u32(b, 56), 4096u);         // mini stream cutoff
    EXPECT_EQ(u32(b, 60), 0xFFFFFFFEu);   // no mini FAT yet
    EXPECT_EQ(u32(b, 64), 0u);
    EXPECT_EQ(u32(b, 68), 0xFFFFFFFEu);   // no DIFAT sector
    EXPECT_EQ(u32(b, 72), 0u);
    EXPECT_EQ(u32(b, 76), 0u);            // the first FAT sector is sector 0
    for (size_t i = 1; i < 109; ++i) EXPECT_EQ(u32(b, 76 + 4 * i), 0xFFFFFFFFu);
    EXPECT_EQ(u32(b, 512), 0xFFFFFFFDu);   // sector 0 is a FAT sector
    EXPECT_EQ(u32(b, 516), 0xFFFFFFFEu);   // the directory is one sector long
    EXPECT_EQ(u32(b, 520), 0xFFFFFFFFu);

    cfb::DirectoryEntry root = cfb::parseEntry(&b[1024], false);
    EXPECT_EQ(root.name, u"Root Entry");
    EXPECT_EQ(qv::loadLE16(&b[1024 + 64]), 22);
    EXPECT_EQ(root.type, cfb::kRootEntry);
    EXPECT_EQ(root.colour, cfb::kBlack);
    EXPECT_EQ(root.left, cfb::kNoStream);
    EXPECT_EQ(root.right, cfb::kNoStream);
    EXPECT_EQ(root.child, cfb::kNoStream);
    EXPECT_EQ(root.startSector, cfb::kEndOfChain);

    MemoryStream used(std::vector<uint8_t>{1, 2, 3});
    EXPECT_FALSE(createStorage(used));   // only on an empty stream
}

TEST(CompoundWrite, StreamsOfEverySizeReadBackByteForByte) {
    MemoryStream file(largeContainer());
    auto storage = openStorage(file);
    ASSERT_TRUE(storage);
    EXPECT_FALSE(storage->damaged());
    ASSERT_EQ(storage->children().size(), sizedStreams().size());
    for (const auto &expected : sizedStreams()) {
        SCOPED_TRACE(narrow(expected.name));
        DocumentStream *s = storage->openStream(expected.name);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->size(), int64_t(expected.bytes.size()));
        EXPECT_TRUE(readRest(*s) == expected.bytes);
        EXPECT_EQ(s->error(), DocumentStream::kReadPastEnd);
    }
    // The streams below the cutoff share the mini stream, each from a
    // 512-byte boundary: "Small" (id 2) takes mini sectors 0 and 1,
    // "BelowCutoff" (id 3) sectors 8 to 71; the rest lie in regular sectors.
    const auto &b = largeContainer();
    EXPECT_EQ(u32(b, cfb::kHeaderMiniFatSectorCount), 1u);
    cfb::DirectoryEntry root = cfb::parseEntry(&b[entryOffset(0)], false);
    EXPECT_EQ(root.size, 72u * 64);
    EXPECT_EQ(cfb::parseEntry(&b[entryOffset(2)], false).startSector, 0u);
    EXPECT_EQ(cfb::parseEntry(&b[entryOffset(3)], false).startSector, 8u);
    size_t miniFat = (size_t(u32(b, cfb::kHeaderFirstMiniFatSector)) + 1) * 512;
    EXPECT_EQ(u32(b, miniFat + 4 * 0), 1u);
    EXPECT_EQ(u32(b, miniFat + 4 * 1), cfb::kEndOfChain);
    EXPECT_EQ(u32(b, miniFat + 4 * 2), cfb::kFreeSector);
    EXPECT_EQ(u32(b, miniFat + 4 * 71), cfb::kEndOfChain);
}

TEST(CompoundWrite, AFatOfMoreThan109SectorsIsListedThroughTheDifatChain) {
    const auto &b = largeContainer();
    uint32_t fatSectors = u32(b, cfb::kHeaderFatSectorCount);
    uint32_t sectors = uint32_t(b.size() / 512 - 1);
    EXPECT_GT(fatSectors, 109u);
    EXPECT_EQ(fatSectors, (sectors + 127) / 128);
    uint32_t difat = u32(b, cfb::kHeaderFirstDifatSector);
    EXPECT_LT(difat, sectors);
    EXPECT_EQ(u32(b, cfb::kHeaderDifatSectorCount), 1u);
    EXPECT_EQ(u32(b, (difat + 1) * 512 + 4 * 127), cfb::kEndOfChain);
    EXPECT_EQ(u32(b, fatEntryOffset(b, difat)), cfb::kDifatSector);
    for (uint32_t i = 0; i < fatSectors; ++i) {
        uint32_t fat = i < 109 ? u32(b, 76 + 4 * i) : u32(b, (difat + 1) * 512 + 4 * (i - 109));
        EXPECT_EQ(u32(b, fatEntryOffset(b, fat)), cfb::kFatSector) << i;
    }
}

TEST(CompoundWrite, AnotherReaderOpensWhatWeWrite) {
    if (!oleReaderPresent()) GTEST_SKIP() << "python3-olefile is not installed";
    fs::path path = fs::temp_directory_path() / ("qv_compound_" + std::to_string(::getpid()) + ".doc");
    {
        std::ofstream out(path, std::ios::binary);
        const auto &b = largeContainer();
        out.write(reinterpret_cast<const char *>(b.data()), std::streamsize(b.size()));
    }
    std::string sizes;
    auto streams = readWithOleReader(path, sizes, true);
    fs::remove(path);
    EXPECT_EQ(sizes, "AtCutoff=4096 BelowCutoff=4095 Empty=0 Large=8000000 Regular=5000 Small=106 ");
    for (const auto &expected : sizedStreams())
        EXPECT_TRUE(streams[narrow(expected.name)] == expected.bytes) << narrow(expected.name);
}

TEST(CompoundWrite, NewStreamsHangInTheRootTreeByLengthThenByUnit) {
    MemoryStream file;
    auto storage = createStorage(file);
    ASSERT_TRUE(storage);
    ASSERT_TRUE(storage->createDocumentStream(kWordDocumentStream));   // id 1
    ASSERT_TRUE(storage->createDocumentStream(kTable1Stream));         // id 2
    ASSERT_TRUE(storage->createDocumentStream(kDataStream));           // id 3
    ASSERT_TRUE(storage->createDocumentStream(kTable0Stream));         // id 4, a second directory sector
    EXPECT_FALSE(storage->createStream(u"1Table"));
    EXPECT_FALSE(storage->createStream(u""));
    EXPECT_FALSE(storage->createStream(u"a/b"));
    EXPECT_FALSE(storage->createStream(std::u16string(32, u'x')));
    EXPECT_TRUE(storage->createStream(std::u16string(31, u'x')));
    ASSERT_TRUE(storage->close());

    std::vector<std::string> order;
    for (const auto &c : storage->children()) order.push_back(narrow(c.name));
    EXPECT_EQ(order, (std::vector<std::string>{"Data", "0Table", "1Table", "WordDocument", std::string(31, 'x')}));

    const auto &b = file.bytes();
    auto entry = [&](uint32_t id) {
        uint32_t sector = id < 4 ? 1 : u32(b, 512 + 4 * 1);   // the directory's second sector
        return cfb::parseEntry(&b[(size_t(sector) + 1) * 512 + 128 * (id % 4)], false);
    };
    EXPECT_EQ(entry(0).child, 1u);
    EXPECT_EQ(entry(1).name, u"WordDocument");
    EXPECT_EQ(entry(1).left, 2u);   // "1Table" is shorter
    EXPECT_EQ(entry(1).right, 5u);  // the 31-unit name is longer
    EXPECT_EQ(entry(2).left, 3u);   // "Data" is shorter still
    EXPECT_EQ(entry(3).right, 4u);  // "0Table" is longer than "Data", smaller than "1Table"
    for (uint32_t id = 1; id <= 5; ++id) {
        EXPECT_EQ(entry(id).colour, cfb::kBlack);
        EXPECT_EQ(entry(id).type, cfb::kStreamEntry);
        EXPECT_EQ(entry(id).size, 0u);
        EXPECT_EQ(entry(id).startSector, cfb::kEndOfChain);   // empty streams own no sector
    }
}

TEST(CompoundWrite, ADocumentStreamSeeksWithinItsSizeAndGrowsWithZeros) {
    MemoryStream file;
    {
        auto storage = createStorage(file);
        ASSERT_TRUE(storage);
        DocumentStream *s = storage->createStream(u"S");
        ASSERT_TRUE(s);
        EXPECT_TRUE(s->writeU8(0x11));
        EXPECT_TRUE(s->writeU16(0x2233));
        EXPECT_TRUE(s->writeU32(0x44556677));
        EXPECT_TRUE(s->writeU16(2));
        EXPECT_TRUE(s->writeU16(u'h'));
        EXPECT_TRUE(s->writeU16(u'i'));
        EXPECT_EQ(s->tell(), 13);
        EXPECT_EQ(s->seek(100, ByteStream::kBegin), 13);
        EXPECT_EQ(s->seek(-100, ByteStream::kCurrent), 0);
        EXPECT_EQ(s->skip(3), 3);
        EXPECT_EQ(s->seek(-4, ByteStream::kEnd), 9);
        EXPECT_TRUE(s->extendTo(5000));   // a gap the writer fills later
        EXPECT_EQ(s->seek(4990, ByteStream::kBegin), 4990);
        EXPECT_EQ(s->write("tail", 1, 4), 4u);
        EXPECT_EQ(s->size(), 5000);
        EXPECT_EQ(s->seek(0, ByteStream::kBegin), 0);
        EXPECT_EQ(s->readU8(), 0x11);   // readable before it is committed
        EXPECT_EQ(s->error(), DocumentStream::kNoError);
        EXPECT_TRUE(storage->close());
        EXPECT_FALSE(storage->createStream(u"Late"));
    }
    auto storage = openStorage(file);
    ASSERT_TRUE(storage);
    DocumentStream *s = storage->openStream(u"S");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->size(), 5000);
    EXPECT_EQ(s->readU8(), 0x11);
    EXPECT_EQ(s->readU16(), 0x2233);
    EXPECT_EQ(s->readU32(), 0x44556677u);
    EXPECT_EQ(s->readCountedString(), u"hi");
    std::vector<uint8_t> rest = readRest(*s);
    ASSERT_EQ(rest.size(), 5000u - 13);
    EXPECT_TRUE(std::all_of(rest.begin(), rest.end() - 10, [](uint8_t x) { return x == 0; }));
    EXPECT_EQ(std::string(rest.end() - 10, rest.end() - 6), "tail");
    EXPECT_EQ(s->error(), DocumentStream::kReadPastEnd);
    s->clearError();
    EXPECT_EQ(s->readU32(), 0u);
    EXPECT_EQ(s->error(), DocumentStream::kReadPastEnd);
    s->seek(-1, ByteStream::kEnd);
    s->clearError();
    EXPECT_EQ(s->readCountedString(), u"");   // a count cut off by the end
    EXPECT_EQ(s->error(), DocumentStream::kReadPastEnd);

    // An opened container is read, never written.
    s->clearError();
    EXPECT_EQ(s->write("x", 1, 1), 0u);
    EXPECT_EQ(s->error(), DocumentStream::kWriteFailed);
    EXPECT_FALSE(storage->createStream(u"New"));
}

TEST(CompoundWrite, AContainerThatCannotGrowFailsTheWriteAndTheClose) {
    MemoryStream file;
    file.setLimit(4 * 512);   // header, FAT, directory and one more sector
    auto storage = createStorage(file);
    ASSERT_TRUE(storage);
    DocumentStream *s = storage->createStream(u"WordDocument");
    ASSERT_TRUE(s);
    std::vector<uint8_t> bytes = pattern(5000, 9);
    s->write(bytes.data(), 1, bytes.size());   // held in the page buffer until it moves on
    EXPECT_EQ(s->error(), DocumentStream::kWriteFailed);
    EXPECT_FALSE(storage->createStream(u"1Table"));
    EXPECT_FALSE(storage->close());
}

// ---------------------------------------------------------------------------
// Damaged containers

TEST(CompoundDamage, StreamsBelowASubStorageAreNotFound) {
    std::vector<uint8_t> b = writeContainer({{u"Sub", {}}, {u"WordDocument", pattern(300, 1)}});
    // Make "Sub" (id 1) a storage holding "WordDocument" (id 2).
    b[entryOffset(1) + cfb::kEntryType] = cfb::kStorageEntry;
    put32(b, entryOffset(1) + cfb::kEntryRightSibling, cfb::kNoStream);
    put32(b, entryOffset(1) + cfb::kEntryChild, 2);
    MemoryStream file(b);
    auto storage = openStorage(file);
    ASSERT_TRUE(storage);
    ASSERT_EQ(storage->children().size(), 1u);
    EXPECT_EQ(storage->children()[0].name, u"Sub");
    EXPECT_FALSE(storage->openDocumentStream(kWordDocumentStream));
    EXPECT_FALSE(storage->openStream(u"Sub"));
}

TEST(CompoundDamage, BrokenContainersAreRefusedOrReadToWhereTheyBreak) {
    const std::vector<NamedBytes> streams = {{u"WordDocument", pattern(5000, 1)}, {u"1Table", pattern(106, 2)}};
    const std::vector<uint8_t> intact = writeContainer(streams);
    auto start = [&](const std::vector<uint8_t> &b, uint32_t id) {
        return u32(b, entryOffset(id) + cfb::kEntryStartSector);
    };
    auto miniFat = [&](const std::vector<uint8_t> &b, uint32_t n) {
        return (size_t(u32(b, cfb::kHeaderFirstMiniFatSector)) + 1) * 512 + 4 * n;
    };
    enum Outcome { kRefused, kReadToTheBreak, kIntact };
    struct Case {
        const char *what;
        std::function<void(std::vector<uint8_t> &)> damage;
        Outcome outcome;
    };
    const Case cases[] = {
        {"a FAT chain that loops", [&](auto &b) { put32(b, 512 + 4 * start(b, 1), start(b, 1)); }, kReadToTheBreak},
        {"a FAT entry past the file", [&](auto &b) { put32(b, 512 + 4 * start(b, 1), 0x00FFFFF0); }, kReadToTheBreak},
        {"a start sector past the file", [&](auto &b) { put32(b, entryOffset(1) + cfb::kEntryStartSector, 0x7FFFFFF0); }, kReadToTheBreak},
        {"a mini FAT chain that loops", [&](auto &b) { put32(b, miniFat(b, start(b, 2)), start(b, 2)); }, kReadToTheBreak},
        {"a mini stream past the file", [&](auto &b) { put32(b, entryOffset(0) + cfb::kEntryStartSector, 0x7FFFFFF0); }, kReadToTheBreak},
        {"a directory tree with a cycle", [&](auto &b) { put32(b, entryOffset(2) + cfb::kEntryRightSibling, 1); }, kReadToTheBreak},
        {"a child id past the directory", [&](auto &b) { put32(b, entryOffset(0) + cfb::kEntryChild, 0x1000); }, kReadToTheBreak},
        {"a directory chain that loops", [&](auto &b) { put32(b, 512 + 4 * 1, 1); }, kReadToTheBreak},
        {"a stream size past the file", [&](auto &b) { put32(b, entryOffset(1) + cfb::kEntrySize64, 0x7FFFFFF0); }, kReadToTheBreak},
        // Older writers left the upper half of the size unset in 512-byte-sector files.
        {"a size with its high half set", [&](auto &b) { put32(b, entryOffset(1) + cfb::kEntrySize64 + 4, 0xFFFFFFFF); }, kIntact},
        {"a FAT sector past the file", [&](auto &b) { put32(b, cfb::kHeaderDifat, 0x00FFFFFF); }, kReadToTheBreak},
        {"a truncated file", [&](auto &b) { b.resize(3000); }, kReadToTheBreak},
        {"a huge FAT sector count", [&](auto &b) { put32(b, cfb::kHeaderFatSectorCount, 0xFFFFFFFF); }, kRefused},
        {"a huge DIFAT sector count", [&](auto &b) { put32(b, cfb::kHeaderDifatSectorCount, 0xFFFFFFFF); }, kRefused},
        {"a directory past the file", [&](auto &b) { put32(b, cfb::kHeaderFirstDirectorySector, 0x00FFFFFF); }, kRefused},
        {"an unknown sector size", [&](auto &b) { qv::storeLE16(&b[cfb::kHeaderSectorShift], 30); }, kRefused},
        {"big-endian byte order", [&](auto &b) { qv::storeLE16(&b[cfb::kHeaderByteOrder], 0xFEFF); }, kRefused},
        {"a header cut short", [&](auto &b) { b.resize(300); }, kRefused},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = intact;
        c.damage(bytes);
        MemoryStream file(bytes);
        auto storage = openStorage(file);
        if (c.outcome == kRefused) {
            EXPECT_FALSE(storage);
            continue;
        }
        ASSERT_TRUE(storage);
        if (c.outcome == kIntact) {
            EXPECT_FALSE(storage->damaged());
            for (const auto &expected : streams) {
                DocumentStream *s = storage->openStream(expected.name);
                ASSERT_TRUE(s);
                EXPECT_TRUE(readRest(*s) == expected.bytes);
            }
            continue;
        }
        bool someFault = storage->damaged();
        for (const auto &expected : streams) {
            DocumentStream *s = storage->openStream(expected.name);
            if (!s) continue;
            std::vector<uint8_t> got = readRest(*s);
            EXPECT_LE(got.size(), expected.bytes.size());
            if (s->error() == DocumentStream::kDamaged) {
                someFault = true;
                EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.bytes.begin()));
            } else {
                EXPECT_EQ(s->error(), DocumentStream::kReadPastEnd);
            }
        }
        EXPECT_TRUE(someFault || storage->damaged());
    }
}

TEST(CompoundDamage, ALoopingDifatChainEndsAndTheFatItListedStillServes) {
    std::vector<uint8_t> b = largeContainer();
    uint32_t difat = u32(b, cfb::kHeaderFirstDifatSector);
    put32(b, cfb::kHeaderFatSectorCount, uint32_t(b.size() / 512 - 1));
    put32(b, (difat + 1) * 512 + 4 * 127, difat);
    MemoryStream file(b);
    auto storage = openStorage(file);
    ASSERT_TRUE(storage);
    EXPECT_TRUE(storage->damaged());
    DocumentStream *large = storage->openStream(u"Large");
    ASSERT_TRUE(large);
    EXPECT_TRUE(readRest(*large) == sizedStreams()[5].bytes);
}

TEST(CompoundDamage, ALargeContainerCutInHalfReadsToTheCut) {
    std::vector<uint8_t> b = largeContainer();
    b.resize(b.size() / 2);
    MemoryStream file(b);
    auto storage = openStorage(file);
    ASSERT_TRUE(storage);
    DocumentStream *large = storage->openStream(u"Large");
    if (!large) return;   // refused as larger than the file: as good
    std::vector<uint8_t> got = readRest(*large);
    EXPECT_LT(got.size(), b.size());
    EXPECT_EQ(large->error(), DocumentStream::kDamaged);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), sizedStreams()[5].bytes.begin()));
}
