// The plug-in together with the machine: registration in the registry and
// the Conduit Manager, copies from an emulated handheld, settings of a Palm
// user. The test and the loaded plug-in share one Palm layer.
#include "plugin_fixture.h"

#include "conduit_manager.h"
#include "connection.h"
#include "handheld.h"
#include "registry.h"
#include "sync_manager.h"
#include "user_manager.h"

#include <cstring>

using namespace plugintest;
using platform::Hive;
using platform::Registry;

namespace {

constexpr const char *kPluginKey = "Software\\Tarvoc\\QVPalmConduit\\Plugins\\51567079";
constexpr uint32_t kCreator = 0x51567079;

class WithHandheld : public ::testing::Test {
protected:
    TempHome home;
    uint32_t userId = 0;
    std::filesystem::path userFolder;

    void SetUp() override {
        ASSERT_EQ(palm::users::addUser("Alice", userId), 0);
        ASSERT_EQ(palm::users::userFolder(userId, userFolder), 0);
        std::filesystem::create_directories(userFolder / "QVPapyrine");
        std::string error;
        ASSERT_TRUE(palm::Handheld::create("alice-palm", "Alice", palm::kDefaultRamSize, 0, error)) << error;
        ASSERT_TRUE(palm::selectHandheld("alice-palm", error)) << error;
    }
    void TearDown() override { palm::deselectHandheld(); }

    // A database in the handheld's RAM with the given records.
    void makeDatabase(const std::string &name, uint32_t type, const std::vector<std::vector<uint8_t>> &records) {
        palm::sync::CreateDbInfo info;
        info.name = name;
        info.creator = kCreator;
        info.type = type;
        palm::sync::DbHandle handle = 0;
        ASSERT_EQ(palm::sync::createDatabase(info, handle), 0);
        for (const auto &record : records) {
            uint32_t id = 0;
            ASSERT_EQ(palm::sync::writeRecord(handle, 0, 0, 0, record.data(), uint32_t(record.size()), id), 0);
        }
        ASSERT_EQ(palm::sync::closeDatabase(handle), 0);
    }

    HotSyncConfig configOf(uint32_t id) {
        HotSyncConfig config{};
        config.size = sizeof config;
        config.creatorId = kCreator;
        config.userId = id;
        return config;
    }
};

std::vector<uint8_t> categoryRecord(uint16_t index, const char *name) {
    std::vector<uint8_t> record(20, 0);
    record[1] = 1;  // in use, big-endian
    record[2] = uint8_t(index >> 8);
    record[3] = uint8_t(index);
    std::memcpy(record.data() + 4, name, std::strlen(name));
    return record;
}

}  // namespace

TEST_F(WithHandheld, RegistrationWritesTheKeyAndTheConduitTwice) {
    auto registerServer = QV_BIND(DllRegisterServer);
    ASSERT_EQ(registerServer(), 1);
    ASSERT_TRUE(Registry::writeString(Hive::LocalMachine, kPluginKey, "PluginDLL", "stale"));
    ASSERT_EQ(registerServer(), 1);  // finds the key and the conduit, overwrites both

    EXPECT_EQ(Registry::readString(Hive::LocalMachine, kPluginKey, "Plugin Title"), "Tarvoc Papyrine 7.0");
    EXPECT_EQ(Registry::readString(Hive::LocalMachine, kPluginKey, "PluginDLL"),
              std::filesystem::canonical(pluginPath()).string());
    EXPECT_EQ(Registry::readDword(Hive::LocalMachine, kPluginKey, "CreatorID"), kCreator);
    EXPECT_EQ(Registry::readDword(Hive::LocalMachine, kPluginKey, "PackageID"), 4u);
    // Hosts find the key by the creator's text, whatever its case.
    EXPECT_TRUE(Registry::keyExists(Hive::LocalMachine, "SOFTWARE\\tarvoc\\QVPalmConduit\\plugins\\51567079"));

    palm::conduits::Conduit conduit;
    ASSERT_EQ(palm::conduits::find(kCreator, conduit), 0);
    EXPECT_EQ(conduit.type, 1);
    EXPECT_EQ(conduit.library, "libQVPalmConduit.so");
    EXPECT_EQ(conduit.directory, "QVPapyrine");
    EXPECT_EQ(conduit.title, "Tarvoc Papyrine 7.0");
    EXPECT_EQ(palm::conduits::list().size(), 1u);
}

TEST_F(WithHandheld, RegistrationTakesOverACreatorInUse) {
    ASSERT_EQ(palm::conduits::install(kCreator, 1), 0);
    ASSERT_EQ(palm::conduits::setLibrary(kCreator, "someone-else.so"), 0);
    ASSERT_EQ(QV_BIND(DllRegisterServer)(), 1);
    palm::conduits::Conduit conduit;
    ASSERT_EQ(palm::conduits::find(kCreator, conduit), 0);
    EXPECT_EQ(conduit.library, "libQVPalmConduit.so");
    EXPECT_EQ(conduit.directory, "QVPapyrine");
}

TEST_F(WithHandheld, UnregistrationRemovesTheValuesAndTheConduit) {
    auto unregisterServer = QV_BIND(DllUnregisterServer);
    EXPECT_EQ(unregisterServer(), 1);  // nothing registered
    EXPECT_FALSE(Registry::keyExists(Hive::LocalMachine, kPluginKey));

    ASSERT_EQ(QV_BIND(DllRegisterServer)(), 1);
    ASSERT_TRUE(Registry::writeString(Hive::LocalMachine, kPluginKey, "Other", "kept"));
    EXPECT_EQ(unregisterServer(), 1);
    EXPECT_TRUE(Registry::keyExists(Hive::LocalMachine, kPluginKey));
    EXPECT_EQ(Registry::valueNames(Hive::LocalMachine, kPluginKey), std::vector<std::string>{"Other"});
    palm::conduits::Conduit conduit;
    EXPECT_NE(palm::conduits::find(kCreator, conduit), 0);
    EXPECT_EQ(unregisterServer(), 1);  // and once more: still nothing to remove
}

TEST_F(WithHandheld, CategoriesCopyFromAHandheldWithFewerThan256Records) {
    auto sync = QV_BIND(QVDP_SyncPalmCategoriesToPC);
    auto get = QV_BIND(QVDP_GetPalmCategories);
    const auto file = userFolder / "QVPapyrine" / "PapyrineCategories.dat";
    EXPECT_EQ(sync(userFolder.c_str()), 7);  // no categories database on the handheld
    EXPECT_TRUE(std::filesystem::exists(file));

    std::vector<std::vector<uint8_t>> records;
    for (uint16_t i = 0; i < 16; ++i) records.push_back(categoryRecord(i, i == 0 ? "Unfiled" : "Work"));
    makeDatabase("PapyrineCategories", QV_FOURCC('D', 'A', 'T', 'A'), records);
    EXPECT_EQ(sync(userFolder.c_str()), 7);
    EXPECT_EQ(std::filesystem::file_size(file), 16u * 20);
    std::vector<QVDP_CategorySlot> slots(256);
    EXPECT_EQ(get(userFolder.c_str(), slots.data()), 62);

    ASSERT_EQ(palm::sync::deleteDatabase("PapyrineCategories", 0), 0);
    for (uint16_t i = 16; i < 256; ++i) records.push_back(categoryRecord(i, ""));
    makeDatabase("PapyrineCategories", QV_FOURCC('D', 'A', 'T', 'A'), records);
    EXPECT_EQ(sync(userFolder.c_str()), 0);
    ASSERT_EQ(get(userFolder.c_str(), slots.data()), 0);
    EXPECT_EQ(slots[0].inUse, 1);
    EXPECT_STREQ(slots[0].name, "Unfiled");
    EXPECT_EQ(slots[200].index, 200);
    EXPECT_EQ(sync(nullptr), 1);
}

TEST_F(WithHandheld, AccountsCopyAndLoad) {
    auto sync = QV_BIND(QVDP_SyncFTPAccountsToPC);
    EXPECT_EQ(sync(userFolder.c_str()), 8);  // no accounts database on the handheld

    const char text[] = "Work\0ftp.example.org\0alice\0secret\0\0";
    std::vector<uint8_t> record(text, text + sizeof text - 1);
    record.insert(record.end(), {0x00, 0x15, 0, 0, 0, 9});
    makeDatabase("AARDVARK", QV_FOURCC('D', 'A', 'T', 'A'), {record});
    ASSERT_EQ(sync(userFolder.c_str()), 0);

    const auto bytes = readBytes(userFolder / "QVPapyrine" / "AARDVARK");
    ASSERT_EQ(bytes.size(), 8 + record.size());
    EXPECT_EQ(bytes[8], 'W' ^ 0xDC);  // scrambled on the desktop

    QVDP_FtpAccounts list{};
    ASSERT_EQ(QV_BIND(QVDP_LoadFTPAccounts)(userFolder.c_str(), &list), 0);
    ASSERT_EQ(list.count, 1u);
    EXPECT_STREQ(list.items[0].host, "ftp.example.org");
    EXPECT_EQ(list.items[0].port, 21);
    EXPECT_EQ(list.items[0].value, 9u);
    QV_BIND(QVDP_FreeFTPAccounts)(&list);
}

TEST_F(WithHandheld, HandheldDatabasesAreRecognisedByType) {
    makeDatabase("Report", QV_FOURCC('Q', 'V', 'W', 'D'), {{1, 2, 3}});
    makeDatabase("Addresses", QV_FOURCC('D', 'A', 'T', 'A'), {});
    makeDatabase("Sheet", QV_FOURCC('X', 'L', 'S', 'a'), {});
    makeDatabase("Typeless", 0, {});  // type 0 stands for "none" in the table
    auto fromPalm = QV_BIND(QVDP_GetDesktopFormatFromPalmDB);
    const struct {
        const char *name;
        int32_t desktop, handheld;
    } cases[] = {{"Report", 1, 6}, {"Sheet", 21, 21}, {"Addresses", 0, 0}, {"Typeless", 0, 0}, {"Missing", 0, 0}};
    for (const auto &c : cases) {
        int32_t desktop = -7, handheld = -7;
        fromPalm(c.name, &desktop, &handheld);
        EXPECT_EQ(desktop, c.desktop) << c.name;
        EXPECT_EQ(handheld, c.handheld) << c.name;
    }
}

TEST_F(WithHandheld, SettingsOfAPalmUser) {
    auto load = QV_BIND(QVDP_LoadSettings);
    auto save = QV_BIND(QVDP_SaveSettings);
    const HotSyncConfig config = configOf(userId);
    QVDP_Settings settings;
    EXPECT_EQ(load(&config, &settings), 0);
    EXPECT_EQ(std::string(settings.syncDir), (home.root() / "Documents").string());
    EXPECT_EQ(settings.minFreeSpaceOnDevice, 300);
    EXPECT_EQ(settings.backupType, 0);
    EXPECT_EQ(settings.backupDays, 7);

    settings.minFreeSpaceOnDevice = 0;
    ASSERT_EQ(save(&config, &settings), 0);
    const std::string text = readText(userFolder / "QVPapyrine" / "usersettings.ini");
    EXPECT_NE(text.find("[Tarvoc Papyrine 7.0]"), std::string::npos);
    EXPECT_NE(text.find("MinFreeSpaceOnDevice=0\n"), std::string::npos);
    QVDP_Settings again;
    EXPECT_EQ(load(&config, &again), 0);
    EXPECT_EQ(again.minFreeSpaceOnDevice, 0);

    // An unknown user gets the defaults and nothing is written anywhere.
    const HotSyncConfig stranger = configOf(userId + 1000);
    EXPECT_EQ(load(&stranger, &again), 1);
    EXPECT_EQ(again.minFreeSpaceOnDevice, 300);
    EXPECT_EQ(save(&stranger, &settings), 1);
    EXPECT_EQ(load(nullptr, &again), 1);
    EXPECT_EQ(load(&config, nullptr), 1);
}

TEST_F(WithHandheld, ActionDialogChangesNothing) {
    HotSyncConfig config = configOf(userId);
    config.newAction = 3;
    EXPECT_EQ(QV_BIND(QVDP_SyncConfigureDetailed)(nullptr, &config), 1);
    EXPECT_EQ(config.newAction, 3);
    EXPECT_EQ(config.preference, 0);
}
