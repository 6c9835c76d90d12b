// The record database on a list of 500 records, the size of a large file
// list: locating the last record by its key, and appending one record.
#include "QVDPDatabase.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kRecordSize = 874;
constexpr int kRecords = 500;

std::array<uint8_t, 16> keyOf(int i) {
    std::array<uint8_t, 16> k{};
    k[0] = uint8_t(i);
    k[1] = uint8_t(i >> 8);
    k[15] = 0xA5;
    return k;
}

class Database500 {
public:
    Database500() {
        std::string tmpl = (fs::temp_directory_path() / "qvdb-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) std::abort();
        dir_ = tmpl;
        const std::array<uint8_t, 16> header = {0xDC, 0x91, 0x2E, 0x6B, 1, 0, 1, 0,
                                                uint8_t(kRecordSize), uint8_t(kRecordSize >> 8), 0, 0, 0, 0, 0, 0};
        if (QVDP_DBOpen((dir_ / "list.dat").c_str(), &handle_, header.data(), nullptr) != 0) std::abort();
        std::vector<uint8_t> record(kRecordSize, 0x20);
        for (int i = 0; i < kRecords; ++i) {
            auto k = keyOf(i);
            std::copy(k.begin(), k.end(), record.begin());
            if (QVDP_DBInsertRecord(handle_, record.data()) != 0) std::abort();
        }
    }
    ~Database500() {
        QVDP_DBClose(handle_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void *handle() const { return handle_; }

private:
    fs::path dir_;
    void *handle_ = nullptr;
};

void BM_LocateLastOf500(benchmark::State &state) {
    Database500 db;
    auto key = keyOf(kRecords - 1);
    for (auto _ : state) {
        if (QVDP_DBLocateRecord(db.handle(), key.data()) != 0) state.SkipWithError("not found");
    }
}
BENCHMARK(BM_LocateLastOf500)->Unit(benchmark::kMicrosecond);

void BM_AppendTo500(benchmark::State &state) {
    Database500 db;
    std::vector<uint8_t> record(kRecordSize, 0x33);
    for (auto _ : state) {
        if (QVDP_DBInsertRecord(db.handle(), record.data()) != 0) state.SkipWithError("insert failed");
        // Take it away again so every append meets 500 records.
        state.PauseTiming();
        if (QVDP_DBDeleteRecord(db.handle()) != 0) state.SkipWithError("delete failed");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AppendTo500)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
