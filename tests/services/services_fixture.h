// Fixtures of the services tests: every test gets its own machine folder
// (PAPYRINE_HOME); handheld tests also get an emulated handheld with one
// mounted card, selected for this process.
#pragma once

#include "QVDPCommon.h"
#include "connection.h"
#include "faults.h"
#include "handheld.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace servicestest {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const fs::path &p, const std::string &bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// Bytes that differ from block to block, so a misplaced block shows.
inline std::string patternBytes(std::size_t size, uint32_t seed = 1) {
    std::string bytes(size, '\0');
    uint32_t x = seed;
    for (char &c : bytes) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 24);
    }
    return bytes;
}

class MachineFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "papyrine-services-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        home_ = pattern;
        ::setenv("PAPYRINE_HOME", home_.c_str(), 1);
        fs::create_directories(home_ / "desk");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(home_, ec);
        ::unsetenv("PAPYRINE_HOME");
    }
    const fs::path &home() const { return home_; }
    // A folder for desktop files.
    fs::path desk() const { return home_ / "desk"; }
    std::string deskPath(const std::string &name) const { return (desk() / name).string(); }

    static QVDP_Error cleared() { return QVDP_Error{}; }

private:
    fs::path home_;
};

class HandheldTest : public MachineFolderTest {
protected:
    static constexpr uint16_t kCard = 1;

    void SetUp() override {
        MachineFolderTest::SetUp();
        std::string error;
        ASSERT_TRUE(palm::Handheld::create("Test", "Tester", ramSize(), 1, error)) << error;
        auto handheld = palm::Handheld::open("Test", error);
        ASSERT_TRUE(handheld) << error;
        ASSERT_TRUE(handheld->insertCard(kCard, std::string("Card"), cardCapacity(), error)) << error;
        ASSERT_TRUE(palm::selectHandheld("Test", error)) << error;
    }
    void TearDown() override {
        palm::clearFaults();
        palm::deselectHandheld();
        MachineFolderTest::TearDown();
    }
    virtual uint32_t ramSize() const { return palm::kDefaultRamSize; }
    virtual uint32_t cardCapacity() const { return palm::kDefaultCardCapacity; }

    // The real file behind a card path of the test card.
    fs::path cardFile(const std::string &cardPath) const {
        return home() / "handhelds" / "Test" / "cards" / std::to_string(kCard) / "volume" / cardPath.substr(1);
    }

    static void fault(const std::string &operation, int32_t error, uint32_t nthCall = 1,
                      palm::FaultMode mode = palm::FaultMode::Once) {
        palm::injectFault(palm::FaultRule{operation, error, mode, nthCall});
    }
};

}  // namespace servicestest
