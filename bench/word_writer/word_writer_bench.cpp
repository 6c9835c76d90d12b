// Converting the Docs files of the whole Word corpus back to Word, beside
// the reader converting the same Word files to Docs: both in-process, file
// to file. The bytes per second count the input of each direction (the
// Docs files here, the Word files for the reader).
#include "docs_to_word.h"
#include "word_to_docs.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Corpus {
    fs::path dir;
    std::vector<fs::path> word;  // the documents the reader converts
    std::vector<fs::path> docs;  // their Docs files
    int64_t wordBytes = 0, docsBytes = 0;

    Corpus() {
        dir = fs::temp_directory_path() / ("qv_word_writer_bench_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        ::setenv("PAPYRINE_HOME", (dir / "home").c_str(), 1);
        std::vector<fs::path> files;
        for (const auto &e : fs::directory_iterator(fs::path(QV_CORPUS_DIR) / "word"))
            if (e.is_regular_file()) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (const fs::path &f : files) {
            fs::path target = dir / (std::to_string(docs.size()) + ".mwd");
            if (conv::convertWordToDocs(f.string(), target.string()) != 0) continue;
            word.push_back(f);
            docs.push_back(target);
            wordBytes += int64_t(fs::file_size(f));
            docsBytes += int64_t(fs::file_size(target));
        }
    }
    ~Corpus() { fs::remove_all(dir); }
};

Corpus &corpus() {
    static Corpus c;
    return c;
}

void BM_DocsToWordCorpus(benchmark::State &state) {
    Corpus &c = corpus();
    std::string target = (c.dir / "out.doc").string();
    for (auto _ : state)
        for (const fs::path &f : c.docs) benchmark::DoNotOptimize(conv::convertDocsToWord(f.string(), target));
    state.SetBytesProcessed(state.iterations() * c.docsBytes);
    state.counters["files"] = double(c.docs.size());
}
BENCHMARK(BM_DocsToWordCorpus)->Unit(benchmark::kMillisecond);

void BM_WordToDocsCorpus(benchmark::State &state) {
    Corpus &c = corpus();
    std::string target = (c.dir / "out.mwd").string();
    for (auto _ : state)
        for (const fs::path &f : c.word) benchmark::DoNotOptimize(conv::convertWordToDocs(f.string(), target));
    state.SetBytesProcessed(state.iterations() * c.wordBytes);
    state.counters["files"] = double(c.word.size());
}
BENCHMARK(BM_WordToDocsCorpus)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
