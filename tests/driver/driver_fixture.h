// What the driver tests share: the plug-in loaded by path and bound by name
// (as the hosts do), a machine folder of the test's own with an emulated
// handheld that has one mounted card, desktop files in a folder of their
// own, and looks at the handheld's databases and the temporary folder.
#pragma once

#include "plugin_fixture.h"

#include "card_fs.h"
#include "connection.h"
#include "faults.h"
#include "handheld.h"
#include "home.h"
#include "pdb_file.h"
#include "sync_manager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace drivertest {

namespace fs = std::filesystem;
using plugintest::readBytes;
using plugintest::writeBytes;

inline constexpr const char *kHandheld = "drv";
inline constexpr uint16_t kCard = 1;

inline uint32_t fourCC(const char *text) {
    return (uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) | (uint32_t(uint8_t(text[2])) << 8) |
           uint32_t(uint8_t(text[3]));
}

// Bytes that differ from piece to piece, so a misplaced piece shows.
inline std::vector<uint8_t> pattern(size_t size, uint32_t seed = 7) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed;
    for (uint8_t &b : bytes) {
        x = x * 1103515245u + 12345u;
        b = uint8_t(x >> 24);
    }
    return bytes;
}

inline std::string corpusWord(const char *name) {
    return (fs::path(QV_CORPUS_DIR) / "word" / name).string();
}

class DriverTest : public ::testing::Test {
protected:
    plugintest::TempHome home;
    fs::path desk;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(palm::Handheld::create(kHandheld, "Tester", ramSize(), 1, error)) << error;
        auto handheld = palm::Handheld::open(kHandheld, error);
        ASSERT_TRUE(handheld) << error;
        ASSERT_TRUE(handheld->insertCard(kCard, std::string("Card"), palm::kDefaultCardCapacity, error)) << error;
        ASSERT_TRUE(palm::selectHandheld(kHandheld, error)) << error;
        desk = home.root() / "desk";
        fs::create_directories(desk);
        fs::create_directories(platform::tempFolder());
    }
    void TearDown() override {
        palm::clearFaults();
        palm::deselectHandheld();
    }
    virtual uint32_t ramSize() const { return palm::kDefaultRamSize; }

    std::string at(const std::string &name) const { return (desk / name).string(); }
    std::string write(const std::string &name, const std::vector<uint8_t> &bytes) const {
        writeBytes(desk / name, bytes);
        return at(name);
    }

    // The database as stored on the handheld (every handle closed).
    static std::optional<palm::PalmDatabase> database(const std::string &name) {
        std::string error;
        auto handheld = palm::Handheld::open(kHandheld, error);
        if (!handheld) return std::nullopt;
        return handheld->loadDatabase(name, error);
    }
    static bool hasDatabase(const std::string &name) {
        palm::sync::DbInfo info;
        return palm::sync::findDatabase(name, 0, info) == 0;
    }
    static void store(const palm::PalmDatabase &db) {
        std::string error;
        auto handheld = palm::Handheld::open(kHandheld, error);
        ASSERT_TRUE(handheld && handheld->saveDatabase(db, error)) << error;
    }

    // Names left in the temporary folder.
    static std::vector<std::string> temporaryFiles() {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto &entry : fs::directory_iterator(platform::tempFolder(), ec))
            names.push_back(entry.path().filename().string());
        return names;
    }

    static void fault(const std::string &operation, int32_t error, uint32_t nthCall = 1,
                      palm::FaultMode mode = palm::FaultMode::Once) {
        palm::injectFault(palm::FaultRule{operation, error, mode, nthCall});
    }

    // A card file opened with the given mode ("/Documents/..." on the card).
    static uint32_t openCardFile(const std::string &path, uint16_t mode) {
        palm::vfs::FileRef ref = 0;
        palm::vfs::dirCreate(kCard, "/Documents");
        EXPECT_EQ(palm::vfs::fileOpen(kCard, path, mode, ref), 0) << path;
        return ref;
    }
    fs::path cardFile(const std::string &cardPath) const {
        return home.root() / "handhelds" / kHandheld / "cards" / std::to_string(kCard) / "volume" / cardPath.substr(1);
    }
};

// Renders an error record for failure messages.
inline std::string describe(const QVDP_Error &e) {
    return "kind " + std::to_string(e.kind) + ", code " + std::to_string(e.code) + ", text \"" + e.text +
           "\", sync " + std::to_string(e.syncError) + ", system " + std::to_string(e.win32Error);
}

}  // namespace drivertest
