// The plug-in contract as a host sees it: identity, texts, formats,
// conversions and database templates, through the loaded library.
#include "plugin_fixture.h"

#include <cstdio>
#include <cstring>
#include <set>

using namespace plugintest;

TEST(PluginContract, LibraryLoadsAndStartsUp) {
    ASSERT_NE(Plugin::handle(), nullptr) << dlerror();
    auto init = QV_BIND(QVDP_Init);
    auto destroy = QV_BIND(QVDP_Destroy);
    ASSERT_TRUE(init && destroy);
    EXPECT_EQ(init(), 0);
    destroy();
}

// Every export both hosts resolve, and the conversion and copy operations.
TEST(PluginContract, EveryHostEntryIsExported) {
    const char *names[] = {
        "QVDP_Init", "QVDP_Destroy", "QVDP_GetPluginName", "QVDP_GetPluginBigName", "QVDP_GetPluginID",
        "QVDP_GetPluginCreatorID", "QVDP_GetPluginVersion", "QVDP_GetPluginFolder", "QVDP_GetPluginDatabaseName",
        "QVDP_GetPluginDefaultCardFolder", "QVDP_GetPluginCanChangeCardFolder", "QVDP_GetPluginCardPathsFileName",
        "QVDP_GetPalmCategoriesFileName", "QVDP_GetPluginDBHHType", "QVDP_GetFormat", "QVDP_GetFormatName",
        "QVDP_RecognizeFile", "QVDP_GetPCToHHConversions", "QVDP_GetHHToPCConversions",
        "QVDP_GetDefaultPCToHHConversion", "QVDP_GetDefaultHHToPCConversion", "QVDP_GetDesktopFormatFromPalmDB",
        "QVDP_GetDesktopFormatFromCardFile", "QVDP_ModifyPalmFileName", "QVDP_GetDesktopCategories",
        "QVDP_GetPalmCategories", "QVDP_SyncPalmCategoriesToPC", "QVDP_LoadSettings", "QVDP_SaveSettings",
        "QVDP_SyncConfigureDetailed", "QVDP_LoadFTPAccounts", "QVDP_FreeFTPAccounts", "QVDP_FreeFTP1Accounts",
        "QVDP_SyncFTPAccountsToPC", "QVDP_GetDBHeader", "QVDP_GetPalmDeviceDBHeader", "QVDP_GetPalmCardDBHeader",
        "QVDP_GetDBHeaderData", "QVDP_GetPalmDeviceDBHeaderData", "QVDP_GetPalmCardDBHeaderData",
        "QVDP_CopyToPalmDevice", "QVDP_CopyFromPalmDevice", "QVDP_CopyToPalmCard", "QVDP_CopyFromPalmCard",
        "QVDP_ConvertFile", "QVDP_ConvertToPalmDB", "QVDP_ConvertFromPalmDB", "QVDP_PrepareDestPCFile",
        "DllRegisterServer", "DllUnregisterServer"};
    for (const char *name : names) EXPECT_NE(Plugin::symbol(name), nullptr) << name;
}

// Nothing but the contract leaves the library: no helper of the static
// libraries linked into it.
TEST(PluginContract, ExportsOnlyTheContract) {
    const std::string command = "nm -D --defined-only '" + pluginPath().string() + "' 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char kind = 0;
        char name[400] = {};
        if (std::sscanf(line, "%*s %c %399s", &kind, name) != 2 || (kind != 'T' && kind != 'W')) continue;
        // Weak instantiations of standard library templates that an unoptimised
        // build leaves out of line are the library's, not ours.
        const std::string n = name;
        if (kind == 'W' && (n.rfind("_ZNSt", 0) == 0 || n.rfind("_ZNKSt", 0) == 0 || n.rfind("_ZSt", 0) == 0)) continue;
        exported.insert(n);
    }
    pclose(pipe);
    if (exported.empty()) GTEST_SKIP() << "nm is not available";
    for (const std::string &name : exported)
        EXPECT_TRUE(name.rfind("QVDP_", 0) == 0 || name == "DllRegisterServer" || name == "DllUnregisterServer")
            << name;
}

TEST(PluginContract, TextsFollowTheTwoCallConvention) {
    struct Case {
        decltype(&QVDP_GetPluginName) get;
        const char *text;
    } cases[] = {
        {QV_BIND(QVDP_GetPluginName), "Tarvoc Papyrine 7.0"},
        {QV_BIND(QVDP_GetPluginBigName), "Tarvoc Papyrine 7.0"},
        {QV_BIND(QVDP_GetPluginFolder), "QVPapyrine"},
        {QV_BIND(QVDP_GetPluginDatabaseName), "PapyrineSync.dat"},
        {QV_BIND(QVDP_GetPluginDefaultCardFolder), "/Documents"},
        {QV_BIND(QVDP_GetPluginCardPathsFileName), "/PapyrineSyncMain.dat"},
        {QV_BIND(QVDP_GetPalmCategoriesFileName), "PapyrineCategories.dat"},
    };
    for (const Case &c : cases) {
        ASSERT_NE(c.get, nullptr) << c.text;
        char buffer[260];
        EXPECT_EQ(c.get(buffer, nullptr), 1) << c.text;
        uint32_t size = 0;
        EXPECT_EQ(c.get(nullptr, &size), 2) << c.text;
        EXPECT_EQ(size, std::strlen(c.text) + 1) << c.text;
        size = 0;
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(c.get(buffer, &size), 0) << c.text;
        EXPECT_STREQ(buffer, c.text);
        EXPECT_EQ(size, std::strlen(c.text) + 1);
    }
    uint32_t size = 0;
    EXPECT_EQ(QV_BIND(QVDP_GetPluginName)(nullptr, &size), 2);
    EXPECT_EQ(size, 20u);
}

TEST(PluginContract, IdentityNumbersAndNullPointers) {
    int32_t id = 0;
    EXPECT_EQ(QV_BIND(QVDP_GetPluginID)(&id), 0);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(QV_BIND(QVDP_GetPluginID)(nullptr), 1);

    uint32_t creator = 0;
    EXPECT_EQ(QV_BIND(QVDP_GetPluginCreatorID)(&creator), 0);
    EXPECT_EQ(creator, 0x51567079u);  // 'QVpy'
    EXPECT_EQ(QV_BIND(QVDP_GetPluginCreatorID)(nullptr), 1);

    auto version = QV_BIND(QVDP_GetPluginVersion);
    int32_t major = 0, minor = 0;
    EXPECT_EQ(version(&major, &minor), 0);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 1);
    major = minor = 9;
    EXPECT_EQ(version(nullptr, &minor), 1);
    EXPECT_EQ(version(&major, nullptr), 1);
    EXPECT_EQ(major, 9);
    EXPECT_EQ(minor, 9);

    EXPECT_EQ(QV_BIND(QVDP_GetPluginCanChangeCardFolder)(), 1);
    EXPECT_EQ(QV_BIND(QVDP_GetPluginDBHHType)(), 0x44415441u);  // 'DATA'
}

TEST(PluginContract, DatabaseTemplates) {
    struct Case {
        decltype(&QVDP_GetDBHeader) header;
        decltype(&QVDP_GetDBHeaderData) data;
        uint32_t recordSize;
    } cases[] = {
        {QV_BIND(QVDP_GetDBHeader), QV_BIND(QVDP_GetDBHeaderData), 874},
        {QV_BIND(QVDP_GetPalmDeviceDBHeader), QV_BIND(QVDP_GetPalmDeviceDBHeaderData), 56},
        {QV_BIND(QVDP_GetPalmCardDBHeader), QV_BIND(QVDP_GetPalmCardDBHeaderData), 280},
    };
    for (const Case &c : cases) {
        const QVDP_DBHeader *h = c.header();
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(h->magic, QVDP_DB_MAGIC);
        EXPECT_EQ(h->formatWord1, 1);
        EXPECT_EQ(h->formatWord2, 1);
        EXPECT_EQ(h->recordSize, c.recordSize);
        EXPECT_EQ(h->blobSize, 0u);
        EXPECT_EQ(c.data(), nullptr);
    }
}

TEST(PluginContract, DesktopCategories) {
    const QVDP_DesktopCategory *rows = QV_BIND(QVDP_GetDesktopCategories)();
    ASSERT_NE(rows, nullptr);
    const struct {
        int32_t id;
        const char *name;
        int32_t bitmap;
    } expected[] = {{1, "Docs", 107}, {2, "Spreadsheets", 108}, {3, "Slides", 109}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i].id, expected[i].id);
        EXPECT_STREQ(rows[i].name, expected[i].name);
        EXPECT_EQ(rows[i].bitmap, expected[i].bitmap);
    }
    EXPECT_EQ(rows[3].id, 0);
}
