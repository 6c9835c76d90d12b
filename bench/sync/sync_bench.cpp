// One HotSync of a user with 300 listed Word documents (each a Tarvoc Docs
// file on the handheld), run in this process as the HotSync Manager runs the
// conduit: once when nothing changed, once when all 300 are new. The
// conduit reaches the document plug-in through a timing plug-in, so the
// counters tell the conduit's own time (lists, pairing, handheld calls)
// from the time spent in conversions and copies.
#include "QVDPDatabase.h"
#include "QVPalmConduit.h"
#include "byte_order.h"
#include "connection.h"
#include "guid.h"
#include "handheld.h"
#include "registry.h"
#include "sync_records.h"
#include "times.h"
#include "user_manager.h"

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Nanoseconds the plug-in spent converting and copying; the timing plug-in adds to it.
extern "C" {
__attribute__((visibility("default"))) uint64_t syncBenchConversionNanos = 0;
}

namespace {

namespace fs = std::filesystem;

constexpr int kDocuments = 300;
constexpr uint32_t kCreator = 0x51567079;   // 'QVpy'
constexpr int32_t kWord = 1, kDocs = 6;
const char *const kCorpus[] = {"47304.doc", "52420.doc", "59322.doc", "60279.doc", "Bug28627.doc"};

[[noreturn]] void fail(const std::string &what) {
    std::fprintf(stderr, "sync bench: %s\n", what.c_str());
    std::abort();
}

// The machine folder with the handheld "Bench" of the user "Bench", the
// conduit's plug-in registered, and 300 Word documents on the desktop.
class Machine {
public:
    Machine() {
        std::string pattern = (fs::temp_directory_path() / "papyrine-sync-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) fail("no temporary folder");
        home_ = pattern;
        ::setenv("PAPYRINE_HOME", home_.c_str(), 1);
        ::setenv("SYNC_BENCH_PLUGIN", DOCS_PLUGIN_PATH, 1);
        std::string error;
        if (!palm::Handheld::create("Bench", "Bench", 64u << 20, 0, error)) fail(error);
        uint32_t userId = 0;
        if (palm::users::addUser("Bench", userId) != 0 || palm::users::userFolder(userId, userFolder_) != 0)
            fail("cannot add the user");
        const std::string key = "Software\\Tarvoc\\QVPalmConduit\\Plugins\\51567079";
        if (!platform::Registry::writeString(platform::Hive::LocalMachine, key, "PluginDLL", TIMING_PLUGIN_PATH))
            fail("cannot register the plug-in");
        fs::create_directories(pluginFolder());
        std::ofstream(pluginFolder() / "usersettings.ini")
            << "[Tarvoc Papyrine 7.0]\nSyncDir=" << (home_ / "Inbox").string()
            << "\nMinFreeSpaceOnDevice=0\nBackupType=2\nBackupDays=7\n";
        fs::create_directories(home_ / "Docs");
        for (int i = 0; i < kDocuments; ++i)
            fs::copy_file(fs::path(QV_CORPUS_DIR) / "word" / kCorpus[i % std::size(kCorpus)], document(i));

        conduit_ = ::dlopen(CONDUIT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!conduit_) fail(::dlerror());
        open_ = reinterpret_cast<OpenFn>(::dlsym(conduit_, "OpenConduit"));
        if (!open_) fail("no OpenConduit");
    }

    ~Machine() {
        ::dlclose(conduit_);
        palm::deselectHandheld();
        std::error_code ec;
        fs::remove_all(home_, ec);
    }

    // A desktop list of new entries, one per document, as the desktop program adds them.
    void listNewDocuments() {
        const fs::path list = pluginFolder() / "PapyrineSync.dat";
        fs::remove(list);
        std::array<uint8_t, qv::kDBHeaderSize> header{};
        qv::encodeDBHeader(qv::makeDBHeader(qv::kSyncFileRecordSizeDesktop), header);
        void *db = nullptr;
        if (QVDP_DBOpen(list.c_str(), &db, header.data(), nullptr) != 0) fail("cannot make the desktop list");
        for (int i = 0; i < kDocuments; ++i) {
            qv::SyncFileRecord r;
            r.recordId = platform::createGuid();
            r.dateAdded = platform::oleDateNow();
            r.desktopPath = document(i).string();
            r.handheldName = document(i).stem().string() + ".mwd";
            r.cardFolder = "/Documents";
            r.pluginId = 1;
            r.desktopCategory = 1;
            r.desktopFormat = kWord;
            r.handheldFormat = kDocs;
            r.creationMark = qv::kCreatedByDesktop;
            std::array<uint8_t, qv::kSyncFileRecordSizeDesktop> bytes{};
            if (!qv::encodeSyncFileRecord(r, bytes) || QVDP_DBInsertRecord(db, bytes.data()) != 0)
                fail("cannot list a document");
        }
        QVDP_DBClose(db);
    }

    // Empties the handheld's RAM.
    void clearHandheld() {
        palm::deselectHandheld();
        std::string error;
        auto handheld = palm::Handheld::open("Bench", error);
        if (!handheld) fail(error);
        for (const auto &file : fs::directory_iterator(handheld->ramFolder())) fs::remove(file.path());
    }

    // One HotSync of the conduit, in this process.
    void hotSync() {
        std::string error;
        if (!palm::selectHandheld("Bench", error)) fail(error);
        uint8_t properties[QVC_PROPERTIES_MIN_SIZE] = {};
        std::memcpy(properties + QVC_PROPERTIES_USER_NAME_OFFSET, "Bench", 6);
        qv::storeLE32(properties + QVC_PROPERTIES_CREATOR_OFFSET, kCreator);
        int progress = 0;
        if (open_(&progress, properties) != 0) fail("the HotSync failed");
        palm::deselectHandheld();
    }

    int synchronizedCount() const {
        void *db = nullptr;
        const fs::path list = pluginFolder() / "PapyrineSync.dat";
        if (QVDP_DBOpen(list.c_str(), &db, nullptr, nullptr) != 0) fail("cannot read the desktop list");
        int synchronized = 0;
        const int32_t count = QVDP_DBGetNumRecord(db);
        QVDP_DBFirst(db);
        for (int32_t i = 0; i < count; ++i, QVDP_DBNext(db)) {
            std::array<uint8_t, qv::kSyncFileRecordSizeDesktop> bytes{};
            QVDP_DBGetRecord(db, uint32_t(bytes.size()), bytes.data());
            const auto r = qv::decodeSyncFileRecord(bytes);
            if (r && r->status == 1) ++synchronized;
        }
        QVDP_DBClose(db);
        return synchronized;
    }

private:
    using OpenFn = int32_t (*)(void *, void *);

    fs::path pluginFolder() const { return userFolder_ / "QVPapyrine"; }
    fs::path document(int i) const {
        char name[32];
        std::snprintf(name, sizeof name, "report%03d.doc", i);
        return home_ / "Docs" / name;
    }

    fs::path home_;
    fs::path userFolder_;
    void *conduit_ = nullptr;
    OpenFn open_ = nullptr;
};

void report(benchmark::State &state, double totalSeconds, uint64_t conversionNanos) {
    const double iterations = double(state.iterations());
    const double conversion = double(conversionNanos) / 1e9;
    state.counters["conduit_ms"] = (totalSeconds - conversion) / iterations * 1e3;
    state.counters["conversions_ms"] = conversion / iterations * 1e3;
    state.counters["documents"] = kDocuments;
}

void BM_HotSyncNothingChanged(benchmark::State &state) {
    Machine machine;
    machine.listNewDocuments();
    machine.hotSync();
    if (machine.synchronizedCount() != kDocuments) fail("not every document was synchronized");
    double total = 0;
    syncBenchConversionNanos = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        machine.hotSync();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    report(state, total, syncBenchConversionNanos);
}
BENCHMARK(BM_HotSyncNothingChanged)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_HotSyncAllNewWordDocuments(benchmark::State &state) {
    Machine machine;
    double total = 0;
    syncBenchConversionNanos = 0;
    for (auto _ : state) {
        state.PauseTiming();
        machine.clearHandheld();
        machine.listNewDocuments();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        machine.hotSync();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        if (machine.synchronizedCount() != kDocuments) fail("not every document was synchronized");
        state.ResumeTiming();
    }
    report(state, total, syncBenchConversionNanos);
}
BENCHMARK(BM_HotSyncAllNewWordDocuments)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
