// The plug-in host against the built document plug-in and two stand-in
// plug-ins: loading from the registry, refusals, and the lookups the other
// parts of the program rely on.
#include "desktop_fixture.h"
#include "home.h"
#include "log_file.h"
#include "plugin_host.h"

namespace {

using namespace desktop;
using desktoptest::DesktopTest;

class PluginHostTest : public DesktopTest {};

TEST_F(PluginHostTest, TheRegisteredPluginAnswersTheLookups) {
    registerPlugin();
    TQVPluginsList plugins;
    ASSERT_TRUE(plugins.keyFound());
    ASSERT_EQ(plugins.size(), 1u) << (plugins.loadErrors().empty() ? "" : plugins.loadErrors()[0]);
    const TQVPlugin &p = plugins.at(0);
    EXPECT_EQ(p.name(), "Tarvoc Papyrine 7.0");
    EXPECT_EQ(p.index, 0);
    EXPECT_EQ(p.pluginId(), 1);
    EXPECT_EQ(p.pluginFolder(), "QVPapyrine");
    EXPECT_EQ(p.databaseName(), "PapyrineSync.dat");
    EXPECT_EQ(p.defaultCardFolder(), "/Documents");

    const std::string doc = makeFile("Letter.DOC");
    EXPECT_EQ(plugins.pluginForFile(doc), &p);
    EXPECT_TRUE(plugins.canBeAdded(doc));
    EXPECT_EQ(plugins.pluginForFile(makeFile("handheld.mwd")), nullptr);   // handheld-only format
    EXPECT_FALSE(plugins.canBeAdded(makeFile("notes.xyz")));
    EXPECT_FALSE(plugins.canBeAdded((home_ / "docs").string()));
    EXPECT_EQ(plugins.pluginIdForFile(makeFile("n.xyz")), -1);

    EXPECT_EQ(plugins.formatName(1, 6), "Tarvoc Docs");
    EXPECT_EQ(plugins.formatName(1, 4), "Unknown format");
    EXPECT_EQ(plugins.formatName(2, 1), "Unknown format");
    EXPECT_TRUE(plugins.formatCanBeSynchronized(1));
    EXPECT_FALSE(plugins.formatCanBeSynchronized(5));   // Palm Doc is transfer-only
    EXPECT_EQ(plugins.pluginById(1), &p);
    EXPECT_EQ(plugins.pluginById(9), nullptr);

    const auto wordChoices = p.handheldFormatChoices(1);
    ASSERT_EQ(wordChoices.size(), 2u);
    EXPECT_EQ(wordChoices[0].id, 1);
    EXPECT_EQ(wordChoices[1].name, "Tarvoc Docs");
    EXPECT_EQ(p.defaultHandheldFormat(31), 32);
    EXPECT_EQ(p.handheldExtension(39), ".HTM");
    EXPECT_EQ(p.desktopCategories().size(), 3u);
}

TEST_F(PluginHostTest, HandheldNamesForRamAndCardEntries) {
    registerPlugin();
    TQVPluginsList plugins;
    ASSERT_EQ(plugins.size(), 1u);
    const TQVPlugin &p = plugins.at(0);
    const std::string longName = makeFile(std::string(40, 'n') + ".doc");
    EXPECT_EQ(p.ramEntryName(longName, 6), std::string(32, 'n') + ".mwd");
    EXPECT_EQ(p.cardEntryName(longName, 6), std::string(40, 'n') + ".mwd");
    EXPECT_EQ(p.ramEntryName(makeFile("page.html"), 1), "page.doc");

    // A Palm Doc file is named after the database name in its header.
    std::string header(78, '\0');
    header.replace(0, 11, "Stored Name");
    header.replace(60, 8, "TEXtREAd");
    const std::string pdb = makeFile("file on disk.pdb", header);
    EXPECT_EQ(p.ramEntryName(pdb, 5), "Stored Name.pdb");
}

TEST_F(PluginHostTest, RefusedPluginsAreLoggedAndSkipped) {
    registerPlugin();
    const std::string incomplete = STUB_INCOMPLETE_PATH;
    registerLibrary("00000001", incomplete);
    registerLibrary("00000002", (home_ / "missing.so").string());
    registerLibrary("00000003", STUB_PLUGIN_PATH);
    platform::Registry::createKey(platform::Hive::LocalMachine, std::string(kPluginsKey) + "\\00000004");
    setenv("STUB_PLUGIN_INIT", "5", 1);

    TQvLogFile log;
    TQVPluginsList plugins(&log);
    unsetenv("STUB_PLUGIN_INIT");
    ASSERT_EQ(plugins.size(), 1u);
    EXPECT_EQ(plugins.at(0).name(), "Tarvoc Papyrine 7.0");
    EXPECT_EQ(plugins.at(0).index, 0);
    ASSERT_EQ(log.entries().size(), 4u);
    EXPECT_EQ(log.entries()[0].source, "PluginList");
    EXPECT_EQ(log.entries()[0].message, " Plugin error : The plugin " + incomplete +
                                            " is not compatible with this version. Please reinstall the software.");
    EXPECT_EQ(log.entries()[1].message, " Plugin error : Cannot load " + (home_ / "missing.so").string());
    EXPECT_EQ(log.entries()[2].message, " Plugin error : Cannot initialize the plugin");
    EXPECT_EQ(plugins.loadErrors().size(), 4u);
}

TEST_F(PluginHostTest, TheFirstPluginThatRecognisesAFileDecides) {
    registerPlugin();                                   // key 51567079
    registerLibrary("00000001", STUB_PLUGIN_PATH);      // enumerated first
    TQVPluginsList plugins;
    ASSERT_EQ(plugins.size(), 2u);
    EXPECT_EQ(plugins.at(0).name(), "Stub Plugin");
    EXPECT_EQ(plugins.at(1).index, 1);
    // The stand-in knows .doc but does not take it on the desktop: nobody does.
    EXPECT_EQ(plugins.pluginForFile(makeFile("a.doc")), nullptr);
    EXPECT_EQ(plugins.pluginForFile(makeFile("a.txt")), &plugins.at(1));
    EXPECT_EQ(plugins.pluginForFile(makeFile("a.stub")), &plugins.at(0));
    // Format names are looked up in the plug-in that owns the record.
    EXPECT_EQ(plugins.formatName(7, 1), "Stub Word");
    EXPECT_EQ(plugins.formatName(1, 1), "Microsoft Word");
    // Categories come from the first plug-in; it has none, so the built-in table.
    const auto categories = plugins.palmCategories("/nowhere");
    EXPECT_STREQ(categories[2].name, "Personal");
    EXPECT_EQ(categories[3].inUse, 0);
}

TEST_F(PluginHostTest, WithoutThePluginsKeyTheDataHasNoPluginList) {
    const auto logFile = platform::programFolder() / "QVDesktop.log";
    std::ofstream(logFile, std::ios::binary) << "[t]old>entry\r\n";
    desktop::DesktopData data;
    EXPECT_EQ(data.plugins(), nullptr);
    EXPECT_EQ(data.settings().defCardDir, "/Documents");
    EXPECT_EQ(data.desktopLog.entries().size(), 1u);

    registerLibrary("00000001", (home_ / "missing.so").string());
    desktop::DesktopData broken;
    ASSERT_NE(broken.plugins(), nullptr);
    EXPECT_TRUE(broken.plugins()->empty());
    // The program's own log is read but never written.
    std::ifstream in(logFile, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[t]old>entry\r\n");
}

}  // namespace
