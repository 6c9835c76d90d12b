// Shared by the Palm layer tests: each test gets its own machine folder
// (PAPYRINE_HOME) and starts with no handheld selected and no faults; the
// tools run as child processes.
#pragma once

#include "connection.h"
#include "faults.h"
#include "handheld.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace palmtest {

class PalmTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/palm_test_XXXXXX";
        home_ = mkdtemp(pattern);
        setenv("PAPYRINE_HOME", home_.c_str(), 1);
        unsetenv("PAPYRINE_HANDHELD");
        palm::deselectHandheld();
        palm::clearFaults();
        palm::suspendFaults(false);
    }
    void TearDown() override {
        palm::deselectHandheld();
        palm::clearFaults();
        std::error_code ec;
        std::filesystem::remove_all(home_, ec);
    }

    // Creates a handheld and selects it.
    void makeHandheld(const std::string &name = "hh", uint32_t ram = 1 << 20, uint16_t slots = 2) {
        std::string error;
        ASSERT_TRUE(palm::Handheld::create(name, "Test User", ram, slots, error)) << error;
        ASSERT_TRUE(palm::selectHandheld(name, error)) << error;
    }

    std::filesystem::path home_;
};

struct RunResult {
    int status = -1;
    std::string output;   // stdout and stderr
};

inline std::string quote(const std::string &arg) {
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a program of the bin folder with the arguments.
inline RunResult runTool(const std::string &tool, const std::vector<std::string> &args) {
    std::string command = quote(std::string(QV_BIN_DIR) + "/" + tool);
    for (const std::string &a : args) command += " " + quote(a);
    command += " 2>&1";
    RunResult r;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline std::vector<uint8_t> readFile(const std::filesystem::path &p) {
    std::vector<uint8_t> bytes;
    std::string error;
    palm::readWholeFile(p, bytes, error);
    return bytes;
}

inline void writeFile(const std::filesystem::path &p, const std::vector<uint8_t> &bytes) {
    std::string error;
    std::filesystem::create_directories(p.parent_path());
    FILE *f = fopen(p.c_str(), "wb");
    if (!f) return;
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

}  // namespace palmtest
