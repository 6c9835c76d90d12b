// A temporary folder per test and whole-file helpers for the database tests.
#pragma once

#include "QVDPDatabase.h"
#include "sync_records.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace dbtest {

namespace fs = std::filesystem;

inline std::vector<uint8_t> readAll(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeAll(const fs::path &p, const std::vector<uint8_t> &bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::array<uint8_t, 16> headerBytes(uint32_t recordSize, uint32_t blobSize = 0) {
    QVDP_DBHeader h = qv::makeDBHeader(recordSize);
    h.blobSize = blobSize;
    std::array<uint8_t, 16> b{};
    qv::encodeDBHeader(h, b);
    return b;
}

// A record whose first 16 bytes are the key tag and whose rest is fill.
inline std::vector<uint8_t> record(uint32_t size, uint8_t tag, uint8_t fill = 0x5A) {
    std::vector<uint8_t> r(size, fill);
    for (size_t i = 0; i < 16 && i < size; ++i) r[i] = tag;
    return r;
}

inline std::array<uint8_t, 16> key(uint8_t tag) {
    std::array<uint8_t, 16> k;
    k.fill(tag);
    return k;
}

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "qvdb-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path file(const std::string &name = "PapyrineSync.dat") const { return dir_ / name; }

    // Opens (creating with recordSize records when empty); fails the test on error.
    void *openDb(const fs::path &p, uint32_t recordSize) {
        auto header = headerBytes(recordSize);
        void *h = nullptr;
        EXPECT_EQ(QVDP_DBOpen(p.c_str(), &h, header.data(), nullptr), 0);
        return h;
    }

    void *createWith(const fs::path &p, uint32_t recordSize, std::initializer_list<uint8_t> tags) {
        void *h = openDb(p, recordSize);
        for (uint8_t t : tags) EXPECT_EQ(QVDP_DBInsertRecord(h, record(recordSize, t).data()), 0);
        return h;
    }

    fs::path dir_;
};

}  // namespace dbtest
