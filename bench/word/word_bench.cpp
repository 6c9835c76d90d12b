// Converting the whole Word corpus to Docs, side by side with antiword
// extracting the text of the same files. Each pass is timed for our
// converter in-process, for our converter as a program (docsconv word2docs,
// started once per file like antiword), and for antiword; the counters give
// the wall-clock and processor milliseconds of each; ratio is our
// converter's processor time over antiword's, program_ratio the same for
// docsconv (on a shared machine the processor times are the steadier
// measure).
// peak_rss_kb is the process's peak resident size after our passes.
#include "word_to_docs.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace fs = std::filesystem;

namespace {

std::vector<std::string> corpus() {
    std::vector<std::string> files;
    for (const auto &e : fs::directory_iterator(fs::path(QV_CORPUS_DIR) / "word"))
        if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

double cpuMs(const timeval &user, const timeval &system) {
    return (user.tv_sec + system.tv_sec) * 1000.0 + (user.tv_usec + system.tv_usec) / 1000.0;
}

// Runs a program with its output thrown away and adds its processor time;
// false when it cannot start.
bool runQuietly(std::vector<std::string> args, double &cpu) {
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    cpu += cpuMs(usage.ru_utime, usage.ru_stime);
    return true;
}

double millisecondsOf(const std::function<void()> &pass) {
    auto start = std::chrono::steady_clock::now();
    pass();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double ownCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return cpuMs(usage.ru_utime, usage.ru_stime);
}

void BM_WordCorpusSideBySide(benchmark::State &state) {
    std::vector<std::string> files = corpus();
    std::string target = (fs::temp_directory_path() / "qv_word_bench.mwd").string();
    std::string docsconv = (fs::path(QV_BIN_DIR) / "docsconv").string();
    double inProcess = 0, program = 0, antiword = 0;
    double inProcessCpu = 0, programCpu = 0, antiwordCpu = 0;
    bool antiwordRan = true;
    for (auto _ : state) {
        double cpuBefore = ownCpuMs();
        inProcess += millisecondsOf([&] {
            for (const auto &f : files) {
                // A new file each time: rewriting a truncated file makes the
                // file system write it out at once.
                fs::remove(target);
                benchmark::DoNotOptimize(conv::convertWordToDocs(f, target));
            }
        });
        inProcessCpu += ownCpuMs() - cpuBefore;
        program += millisecondsOf([&] {
            for (const auto &f : files) {
                fs::remove(target);
                runQuietly({docsconv, "word2docs", f, target}, programCpu);
            }
        });
        antiword += millisecondsOf([&] {
            for (const auto &f : files) antiwordRan &= runQuietly({"antiword", f}, antiwordCpu);
        });
    }
    fs::remove(target);
    if (!antiwordRan) state.SkipWithError("antiword (Debian package antiword) is not installed");
    double n = double(state.iterations());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["files"] = double(files.size());
    state.counters["ours_ms"] = inProcess / n;
    state.counters["docsconv_ms"] = program / n;
    state.counters["antiword_ms"] = antiword / n;
    state.counters["ours_cpu_ms"] = inProcessCpu / n;
    state.counters["docsconv_cpu_ms"] = programCpu / n;
    state.counters["antiword_cpu_ms"] = antiwordCpu / n;
    // Our converter (as the plug-in runs it, in-process) against antiword,
    // and our program started per file against antiword.
    state.counters["ratio"] = antiwordCpu > 0 ? inProcessCpu / antiwordCpu : 0;
    state.counters["program_ratio"] = antiwordCpu > 0 ? programCpu / antiwordCpu : 0;
    state.counters["peak_rss_kb"] = double(usage.ru_maxrss);
}
BENCHMARK(BM_WordCorpusSideBySide)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
