// The parts behind the exports that a host cannot reach without a handheld
// or a Palm user: the profile file, the settings file, scrambling, and the
// copies from a handheld database (here a table of records).
#include "categories.h"
#include "ftp_accounts.h"
#include "plugin_fixture.h"
#include "plugin_settings.h"
#include "profile_file.h"

#include <cstring>

using namespace plugintest;
using namespace qvplugin;

namespace {

// A handheld database given as its records; reads past `readable` fail.
class RecordTable : public HandheldRecords {
public:
    std::vector<std::vector<uint8_t>> records;
    size_t readable = SIZE_MAX;
    uint32_t recordCount() const override { return uint32_t(records.size()); }
    bool readRecord(uint32_t index, std::vector<uint8_t> &record) override {
        if (index >= records.size() || index >= readable) return false;
        record = records[index];
        return true;
    }
};

std::vector<uint8_t> handheldSlot(uint16_t inUse, uint16_t index, const std::string &name) {
    std::vector<uint8_t> slot(20, 0);
    slot[0] = uint8_t(inUse >> 8), slot[1] = uint8_t(inUse);
    slot[2] = uint8_t(index >> 8), slot[3] = uint8_t(index);
    std::memcpy(slot.data() + 4, name.data(), std::min<size_t>(name.size(), 16));
    return slot;
}

class PluginCore : public ::testing::Test {
protected:
    TempHome home;
    std::filesystem::path folder = home.root() / "Palm" / "Alice" / "QVPapyrine";
    void SetUp() override { std::filesystem::create_directories(folder); }
};

}  // namespace

TEST(Scrambling, SixByteRecordUsesTheWholeKeyThenItsFirstTwoBytes) {
    uint8_t record[6] = {0, 0, 0, 0, 0, 0};
    scrambleRecord(record, sizeof record);
    const uint8_t expected[6] = {0xDC, 0x91, 0x2E, 0x6B, 0xDC, 0x91};
    EXPECT_EQ(std::memcmp(record, expected, 6), 0);
    uint8_t text[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
    scrambleRecord(text, 6);
    scrambleRecord(text, 6);
    EXPECT_EQ(std::memcmp(text, "abcdef", 6), 0);
}

TEST_F(PluginCore, ProfileKeepsOtherLinesAndIgnoresCase) {
    const auto file = folder / "usersettings.ini";
    writeBytes(file, {});
    {
        std::ofstream out(file);
        out << "; kept\r\n[Other]\r\nSyncDir=elsewhere\r\n\r\n[tarvoc papyrine 7.0]\r\n  syncdir = \"/data/docs\" \r\n"
               "BackupDays=12abc\r\n";
    }
    ProfileFile profile;
    std::error_code ec;
    ASSERT_TRUE(profile.load(file, ec));
    EXPECT_EQ(profile.value("Tarvoc Papyrine 7.0", "SyncDir"), "/data/docs");
    EXPECT_EQ(profile.value("OTHER", "syncdir"), "elsewhere");
    EXPECT_EQ(profile.value("Tarvoc Papyrine 7.0", "Missing"), std::nullopt);
    EXPECT_EQ(profileInteger(*profile.value("Tarvoc Papyrine 7.0", "BackupDays")), 12);
    EXPECT_EQ(profileInteger("abc"), 0);
    EXPECT_EQ(profileInteger(" -5"), -5);
    EXPECT_EQ(profileInteger("99999999999"), INT32_MAX);

    profile.setValue("Tarvoc Papyrine 7.0", "MinFreeSpaceOnDevice", "0");
    profile.setValue("Tarvoc Papyrine 7.0", "SYNCDIR", "/new");
    profile.setValue("Fresh", "Key", "1");
    ASSERT_TRUE(profile.save(file, ec));
    EXPECT_EQ(readText(file),
              "; kept\n[Other]\nSyncDir=elsewhere\n\n[tarvoc papyrine 7.0]\nSYNCDIR=/new\nBackupDays=12abc\n"
              "MinFreeSpaceOnDevice=0\n\n[Fresh]\nKey=1\n");
}

TEST_F(PluginCore, SettingsDefaultsAndRoundTrip) {
    const auto file = folder / "usersettings.ini";
    QVDP_Settings settings;
    EXPECT_EQ(loadSettingsFile(file, settings), 0);
    EXPECT_EQ(std::string(settings.syncDir), (home.root() / "Documents").string());
    EXPECT_EQ(settings.minFreeSpaceOnDevice, 300);
    EXPECT_EQ(settings.backupType, 0);
    EXPECT_EQ(settings.backupDays, 7);
    EXPECT_FALSE(std::filesystem::exists(file));

    std::strcpy(settings.syncDir, "/home/alice/Synced");
    settings.minFreeSpaceOnDevice = 0;
    settings.backupType = 2;
    settings.backupDays = 30;
    ASSERT_EQ(saveSettingsFile(file, settings), 0);
    EXPECT_EQ(readText(file),
              "[Tarvoc Papyrine 7.0]\nSyncDir=/home/alice/Synced\nMinFreeSpaceOnDevice=0\nBackupType=2\n"
              "BackupDays=30\n");
    QVDP_Settings loaded;
    EXPECT_EQ(loadSettingsFile(file, loaded), 0);
    EXPECT_EQ(std::memcmp(&loaded, &settings, sizeof settings), 0);
}

TEST_F(PluginCore, SettingsRefuseWhatCannotBeStored) {
    const auto file = folder / "usersettings.ini";
    QVDP_Settings settings = defaultSettings();
    std::memset(settings.syncDir, 'a', sizeof settings.syncDir);  // no terminator
    EXPECT_EQ(saveSettingsFile(file, settings), 1);
    std::strcpy(settings.syncDir, "/a\nBackupType=2");
    EXPECT_EQ(saveSettingsFile(file, settings), 1);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(saveSettingsFile(home.root() / "no" / "such" / "folder" / "usersettings.ini", defaultSettings()), 63);

    // A stored folder too long for its 260 bytes is not cut: the default stays.
    writeBytes(file, {});
    std::ofstream(file) << "[Tarvoc Papyrine 7.0]\nSyncDir=/" << std::string(300, 'd') << "\nBackupDays=3\n";
    QVDP_Settings loaded;
    EXPECT_EQ(loadSettingsFile(file, loaded), 2);
    EXPECT_EQ(std::string(loaded.syncDir), (home.root() / "Documents").string());
    EXPECT_EQ(loaded.backupDays, 3);
}

TEST_F(PluginCore, CategoriesCopyAllSlots) {
    RecordTable handheld;
    for (uint16_t i = 0; i < 256; ++i) handheld.records.push_back(handheldSlot(i < 3, i, i == 1 ? "Business" : ""));
    handheld.records[5] = handheldSlot(1, 5, "SixteenCharsLong");  // no room for a terminator
    const auto file = folder / "PapyrineCategories.dat";
    ASSERT_EQ(copyCategoriesFromHandheld(file, handheld), 0);
    const auto bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), 5120u);
    EXPECT_EQ(bytes[20], 1);  // in use, little-endian
    EXPECT_EQ(bytes[21], 0);
    EXPECT_EQ(bytes[22], 1);  // index 1
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&bytes[24])), "Business");
    EXPECT_EQ(bytes[20 * 255 + 2], 255);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&bytes[20 * 5 + 4])), "SixteenCharsLon");
}

TEST_F(PluginCore, CategoriesCopyFromAHandheldWithFewerRecords) {
    RecordTable handheld;
    for (uint16_t i = 0; i < 16; ++i) handheld.records.push_back(handheldSlot(1, i, "New"));
    const auto file = folder / "PapyrineCategories.dat";
    writeBytes(file, {});
    EXPECT_EQ(copyCategoriesFromHandheld(file, handheld), 7);
    EXPECT_EQ(readBytes(file).size(), 16u * 20);
    std::vector<uint8_t> slots(5120);
    EXPECT_EQ(readCategoriesFile(file, slots.data()), 62);

    // After a complete copy, a short one replaces only the slots it read.
    RecordTable full;
    for (uint16_t i = 0; i < 256; ++i) full.records.push_back(handheldSlot(0, i, "Old"));
    ASSERT_EQ(copyCategoriesFromHandheld(file, full), 0);
    EXPECT_EQ(copyCategoriesFromHandheld(file, handheld), 7);
    const auto bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), 5120u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&bytes[20 * 15 + 4])), "New");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&bytes[20 * 16 + 4])), "Old");

    // A record that is not a 20-byte slot ends the copy as an unreadable one does.
    RecordTable odd = full;
    odd.records[3].resize(12);
    EXPECT_EQ(copyCategoriesFromHandheld(file, odd), 7);
}

TEST_F(PluginCore, AccountsCopyScramblesEveryRecord) {
    RecordTable handheld;
    handheld.records = {{'W', 0, 'h', 0, 'u', 0, 'p', 0, 0, 0, 21, 0, 0, 0, 0}, {1, 2, 3, 4, 5, 6}};
    const auto file = folder / "AARDVARK";
    ASSERT_EQ(copyFtpAccountsFromHandheld(file, handheld), 0);
    const auto bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), 4u + 4 + 15 + 4 + 6);
    EXPECT_EQ(bytes[0], 2);  // count, little-endian
    EXPECT_EQ(bytes[4], 15);
    EXPECT_EQ(bytes[8], 'W' ^ 0xDC);
    const std::vector<uint8_t> six(bytes.end() - 6, bytes.end());
    EXPECT_EQ(six, (std::vector<uint8_t>{1 ^ 0xDC, 2 ^ 0x91, 3 ^ 0x2E, 4 ^ 0x6B, 5 ^ 0xDC, 6 ^ 0x91}));

    // A record that cannot be read leaves the earlier copy as it was.
    RecordTable failing = handheld;
    failing.readable = 1;
    EXPECT_EQ(copyFtpAccountsFromHandheld(file, failing), 8);
    EXPECT_EQ(readBytes(file), bytes);
    std::vector<std::filesystem::path> leftovers;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) leftovers.push_back(entry.path());
    EXPECT_EQ(leftovers.size(), 1u);  // no temporary file left behind
}
