// Runs a fuzz target over files without libFuzzer: each argument is a file
// or a folder of files. Used to replay the inputs that once found faults.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static void runFile(const std::filesystem::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

int main(int argc, char **argv) {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (auto &e : std::filesystem::recursive_directory_iterator(p))
                if (e.is_regular_file()) { runFile(e.path()); ++count; }
        } else {
            runFile(p);
            ++count;
        }
    }
    std::printf("ran %d inputs\n", count);
    return 0;
}
