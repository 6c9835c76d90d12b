// A 10 MB desktop file carried to the handheld and back: into handheld RAM
// as a stream database, and into a card file, each measured against a plain
// copy of the same bytes between two files in the same folder. The ratio of
// a round trip to the plain copy is what to watch.
#include "QVDPCommon.h"
#include "card_fs.h"
#include "connection.h"
#include "handheld.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFileSize = 10 * 1000 * 1000;
constexpr uint32_t kCreator = 0x51564D57;  // 'QVMW'
constexpr uint32_t kType = 0x54455854;     // 'TEXT'
constexpr uint16_t kCard = 1;

// The machine folder with a handheld (64 MiB of RAM, one card) and the 10 MB file.
class Machine {
public:
    Machine() {
        std::string pattern = (fs::temp_directory_path() / "papyrine-services-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        home_ = pattern;
        ::setenv("PAPYRINE_HOME", home_.c_str(), 1);
        std::string error;
        if (!palm::Handheld::create("Bench", "Bench", 64u * 1024 * 1024, 1, error)) fail(error);
        auto handheld = palm::Handheld::open("Bench", error);
        if (!handheld || !handheld->insertCard(kCard, std::string("Card"), 64u * 1024 * 1024, error)) fail(error);
        if (!palm::selectHandheld("Bench", error)) fail(error);

        std::string bytes(kFileSize, '\0');
        uint32_t x = 7;
        for (char &c : bytes) {
            x = x * 1103515245u + 12345u;
            c = char(x >> 24);
        }
        std::ofstream(source(), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    ~Machine() {
        palm::deselectHandheld();
        std::error_code ec;
        fs::remove_all(home_, ec);
    }
    std::string source() const { return (home_ / "source.bin").string(); }
    std::string target() const { return (home_ / "target.bin").string(); }

private:
    [[noreturn]] static void fail(const std::string &error) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::abort();
    }
    fs::path home_;
};

Machine &machine() {
    static Machine m;
    return m;
}

bool sameSize(const std::string &path) { return fs::file_size(path) == kFileSize; }

// The reference: read and write the file in 1 MiB pieces.
void plainCopy(const std::string &from, const std::string &to) {
    int in = ::open(from.c_str(), O_RDONLY);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> buffer(1 << 20);
    ssize_t n;
    while ((n = ::read(in, buffer.data(), buffer.size())) > 0)
        if (::write(out, buffer.data(), size_t(n)) != n) std::abort();
    ::close(in);
    ::close(out);
}

void BM_PlainFileCopy(benchmark::State &state) {
    Machine &m = machine();
    for (auto _ : state) plainCopy(m.source(), m.target());
    if (!sameSize(m.target())) state.SkipWithError("copy incomplete");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileSize));
}

void BM_StreamDatabaseRoundTrip(benchmark::State &state) {
    Machine &m = machine();
    for (auto _ : state) {
        QVDP_Error e{};
        StreamCopyFileToPalmDevice(&e, m.source().c_str(), "Bench stream", kCreator, kType);
        StreamCopyFileFromPalmDevice(&e, m.target().c_str(), "Bench stream");
        if (e.code != 0) state.SkipWithError("stream copy failed");
    }
    if (!sameSize(m.target())) state.SkipWithError("copy incomplete");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileSize));
}

void BM_CardFileRoundTrip(benchmark::State &state) {
    Machine &m = machine();
    for (auto _ : state) {
        QVDP_Error e{};
        palm::vfs::FileRef ref = 0;
        if (palm::vfs::fileOpen(kCard, "/bench.bin", 31, ref) != 0) state.SkipWithError("card open failed");
        DirectCopyFileToPalmCard(&e, m.source().c_str(), ref);
        palm::vfs::fileClose(ref);
        if (palm::vfs::fileOpen(kCard, "/bench.bin", 2, ref) != 0) state.SkipWithError("card open failed");
        DirectCopyFileFromPalmCard(&e, m.target().c_str(), ref);
        palm::vfs::fileClose(ref);
        if (e.code != 0) state.SkipWithError("card copy failed");
    }
    if (!sameSize(m.target())) state.SkipWithError("copy incomplete");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileSize));
}

BENCHMARK(BM_PlainFileCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamDatabaseRoundTrip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CardFileRoundTrip)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
