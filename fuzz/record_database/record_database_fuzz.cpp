// Opens the input, written to a file, as a record database, once with a
// header for a new file and once without. A refused file must be left as it
// was. An opened one must count the whole records after its header and blob,
// read each as the bytes in the file, locate a record by its first 16 bytes,
// and delete its first record, leaving the others in order.
#include "QVDPDatabase.h"
#include "sync_records.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const std::string &scratchFile() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("record_database_fuzz." + std::to_string(::getpid()) + ".db"))
            .string();
    static const bool cleanup = [] {
        std::atexit([] { std::remove(path.c_str()); });
        return true;
    }();
    (void)cleanup;
    return path;
}

void writeFile(const std::string &path, const uint8_t *data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), std::streamsize(size));
    if (!out) std::abort();
}

Bytes readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void exercise(const Bytes &input, const uint8_t *header16) {
    const std::string &path = scratchFile();
    writeFile(path, input.data(), input.size());
    void *h = nullptr;
    const int32_t opened = QVDP_DBOpen(path.c_str(), &h, header16, nullptr);
    if (opened != 0) {
        if (h != nullptr || readFile(path) != input) std::abort();
        return;
    }
    // The stored header wins; an empty file took the one given.
    Bytes file = input.empty() ? Bytes(header16, header16 + qv::kDBHeaderSize) : input;
    if (file.size() < qv::kDBHeaderSize) std::abort();
    const QVDP_DBHeader header = qv::decodeDBHeader(std::span<const uint8_t, qv::kDBHeaderSize>(file.data(), 16));
    const uint64_t first = qv::kDBHeaderSize + uint64_t(header.blobSize);
    if (header.magic != QVDP_DB_MAGIC || header.recordSize == 0 || first > file.size()) std::abort();
    const uint64_t count = (file.size() - first) / header.recordSize;
    if (uint64_t(QVDP_DBGetNumRecord(h)) != count) std::abort();

    const size_t size = header.recordSize;
    Bytes record(std::min<size_t>(size, file.size()));  // a record size the file cannot hold counts none
    uint64_t index = 0;
    for (QVDP_DBFirst(h); !QVDP_DBEof(h); QVDP_DBNext(h), ++index) {
        if (index >= count || QVDP_DBGetRecord(h, uint32_t(record.size()), record.data()) != 0) std::abort();
        if (!std::equal(record.begin(), record.end(), file.begin() + first + index * size)) std::abort();
    }
    if (index != count || QVDP_DBGetRecord(h, uint32_t(record.size()), record.data()) != 23) std::abort();

    if (count > 0 && size >= 16) {
        const uint8_t *key = file.data() + first + (count - 1) * size;
        if (QVDP_DBLocateRecord(h, key) != 0) std::abort();
        if (QVDP_DBGetRecord(h, 16, record.data()) != 0 || std::memcmp(record.data(), key, 16) != 0) std::abort();
    }
    QVDP_DBFirst(h);
    const int32_t deleted = QVDP_DBDeleteRecord(h);
    if (deleted != (count > 0 ? 0 : 25)) std::abort();
    if (QVDP_DBClose(h) != 0) std::abort();

    if (count > 0) {
        Bytes expected(file.begin(), file.begin() + first);
        expected.insert(expected.end(), file.begin() + first + size, file.begin() + first + count * size);
        file = std::move(expected);
    }
    if (readFile(path) != file) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const Bytes input(data, data + size);
    uint8_t header[qv::kDBHeaderSize];
    qv::encodeDBHeader(qv::makeDBHeader(24), header);
    exercise(input, header);
    exercise(input, nullptr);
    return 0;
}
