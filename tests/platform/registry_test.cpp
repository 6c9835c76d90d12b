#include "registry.h"

#include "child_process.h"
#include "home.h"
#include "machine_folder.h"

#include <fstream>
#include <sstream>

using platform::Hive;
using platform::Registry;

namespace {

const char *kPlugins = "Software\\Tarvoc\\QVPalmConduit\\Plugins";

std::string readFile(const std::filesystem::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::filesystem::path &p, const std::string &text) {
    std::ofstream(p, std::ios::binary) << text;
}

std::filesystem::path hiveFile(const char *name) { return platform::registryFolder() / (std::string(name) + ".reg"); }

}  // namespace

class RegistryTest : public MachineFolderTest {};

TEST_F(RegistryTest, NamesMatchWithoutCaseAndKeepTheirFirstCase) {
    ASSERT_TRUE(Registry::writeString(Hive::LocalMachine, kPlugins + std::string("\\5156707a"), "PluginDLL", "/x/lib.so"));
    EXPECT_EQ(Registry::readString(Hive::LocalMachine, "SOFTWARE\\tarvoc\\qvpalmconduit\\PLUGINS\\5156707A", "plugindll"),
              "/x/lib.so");
    ASSERT_TRUE(Registry::writeString(Hive::LocalMachine, "software\\TARVOC\\QVPalmConduit\\Plugins\\5156707A", "PLUGINDLL", "/y.so"));
    EXPECT_EQ(Registry::subkeys(Hive::LocalMachine, "Software"), std::vector<std::string>{"Tarvoc"});
    EXPECT_EQ(Registry::subkeys(Hive::LocalMachine, kPlugins), std::vector<std::string>{"5156707a"});
    EXPECT_EQ(Registry::valueNames(Hive::LocalMachine, std::string(kPlugins) + "\\5156707a"),
              std::vector<std::string>{"PluginDLL"});
    EXPECT_EQ(Registry::readString(Hive::LocalMachine, std::string(kPlugins) + "\\5156707a\\", "PluginDLL"), "/y.so");
    // Hives are separate stores.
    EXPECT_FALSE(Registry::keyExists(Hive::CurrentUser, "Software\\Tarvoc"));
}

TEST_F(RegistryTest, ValuesOfEachTypeRoundTripThroughTheFile) {
    const std::string key = "Software\\Tarvoc\\Papyrine 7.0";
    const std::string awkward = "C:\\Program Files\\\"quoted\"\\ and ; = [x]";
    ASSERT_TRUE(Registry::writeString(Hive::CurrentUser, key, "Path", awkward));
    ASSERT_TRUE(Registry::writeString(Hive::CurrentUser, key, "Lines", std::string("a\r\nb\0c", 7)));
    ASSERT_TRUE(Registry::writeString(Hive::CurrentUser, key, "", "default text"));
    ASSERT_TRUE(Registry::writeDword(Hive::CurrentUser, key, "Last User", 0xFFFFFFFFu));
    ASSERT_TRUE(Registry::writeBinary(Hive::CurrentUser, key, "Blob", std::string("\x00\x01\xFE\xFF", 4)));
    ASSERT_TRUE(Registry::writeString(Hive::CurrentUser, key, "Empty", ""));

    EXPECT_EQ(Registry::readString(Hive::CurrentUser, key, "Path"), awkward);
    EXPECT_EQ(Registry::readString(Hive::CurrentUser, key, "lines"), std::string("a\r\nb\0c", 7));
    EXPECT_EQ(Registry::readString(Hive::CurrentUser, key, Registry::kDefaultValue), "default text");
    EXPECT_EQ(Registry::readDword(Hive::CurrentUser, key, "LAST USER"), 0xFFFFFFFFu);
    EXPECT_EQ(Registry::readBinary(Hive::CurrentUser, key, "Blob"), std::string("\x00\x01\xFE\xFF", 4));
    EXPECT_EQ(Registry::readString(Hive::CurrentUser, key, "Empty"), "");
    // A value is read only as its own type.
    EXPECT_EQ(Registry::readDword(Hive::CurrentUser, key, "Path"), std::nullopt);
    EXPECT_EQ(Registry::readString(Hive::CurrentUser, key, "Last User"), std::nullopt);
    EXPECT_EQ(Registry::valueType(Hive::CurrentUser, key, "Last User"), platform::ValueType::Dword);
    // Values enumerate in the order they were made; rewriting keeps the place.
    ASSERT_TRUE(Registry::writeDword(Hive::CurrentUser, key, "path", 7));
    EXPECT_EQ(Registry::valueNames(Hive::CurrentUser, key),
              (std::vector<std::string>{"Path", "Lines", "", "Last User", "Blob", "Empty"}));

    std::string text = readFile(hiveFile("HKEY_CURRENT_USER"));
    EXPECT_EQ(text.rfind("REGEDIT4\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Tarvoc\\Papyrine 7.0]\n"), std::string::npos);
    EXPECT_NE(text.find("\"Last User\"=dword:ffffffff\n"), std::string::npos);
    EXPECT_NE(text.find("@=\"default text\"\n"), std::string::npos);
}

TEST_F(RegistryTest, SubkeysEnumerateSortedAndDeleteTakesTheSubtree) {
    for (const char *name : {"b", "C", "a", "5156707a", "Zeta"})
        ASSERT_TRUE(Registry::createKey(Hive::LocalMachine, std::string(kPlugins) + "\\" + name));
    ASSERT_TRUE(Registry::writeDword(Hive::LocalMachine, std::string(kPlugins) + "\\a\\deep\\deeper", "x", 1));
    EXPECT_EQ(Registry::subkeys(Hive::LocalMachine, kPlugins),
              (std::vector<std::string>{"5156707a", "a", "b", "C", "Zeta"}));

    EXPECT_TRUE(Registry::deleteKey(Hive::LocalMachine, std::string(kPlugins) + "\\A"));
    EXPECT_FALSE(Registry::keyExists(Hive::LocalMachine, std::string(kPlugins) + "\\a\\deep"));
    EXPECT_EQ(Registry::readDword(Hive::LocalMachine, std::string(kPlugins) + "\\a\\deep\\deeper", "x"), std::nullopt);
    EXPECT_EQ(Registry::subkeys(Hive::LocalMachine, kPlugins), (std::vector<std::string>{"5156707a", "b", "C", "Zeta"}));
    EXPECT_FALSE(Registry::deleteKey(Hive::LocalMachine, std::string(kPlugins) + "\\a"));
    EXPECT_FALSE(Registry::deleteKey(Hive::LocalMachine, ""));

    ASSERT_TRUE(Registry::writeString(Hive::LocalMachine, kPlugins, "v", "1"));
    EXPECT_TRUE(Registry::deleteValue(Hive::LocalMachine, kPlugins, "V"));
    EXPECT_FALSE(Registry::deleteValue(Hive::LocalMachine, kPlugins, "V"));
    // Empty keys stay after the values are gone.
    EXPECT_TRUE(Registry::keyExists(Hive::LocalMachine, std::string(kPlugins) + "\\zeta"));
}

TEST_F(RegistryTest, MissingKeysAndBadPathsAnswerNothing) {
    EXPECT_FALSE(Registry::keyExists(Hive::ClassesRoot, "CLSID"));
    EXPECT_EQ(Registry::readString(Hive::ClassesRoot, "CLSID", ""), std::nullopt);
    EXPECT_TRUE(Registry::subkeys(Hive::ClassesRoot, "CLSID").empty());
    EXPECT_TRUE(Registry::valueNames(Hive::ClassesRoot, "CLSID").empty());
    EXPECT_FALSE(Registry::deleteValue(Hive::ClassesRoot, "CLSID", "x"));
    for (const char *bad : {"\\Software", "Software\\\\Tarvoc", "Soft\nware"}) {
        EXPECT_FALSE(Registry::writeString(Hive::ClassesRoot, bad, "x", "y")) << bad;
        EXPECT_FALSE(Registry::createKey(Hive::ClassesRoot, bad)) << bad;
    }
    EXPECT_FALSE(Registry::writeString(Hive::ClassesRoot, "Key", "two\nlines", "y"));
}

TEST_F(RegistryTest, ChangesOfAnotherProcessAreSeen) {
    ASSERT_TRUE(Registry::writeString(Hive::CurrentUser, "Software\\A", "mine", "1"));
    ASSERT_EQ(runHelper({"registry-write", "Software\\A", "theirs", "2"}), 0);
    EXPECT_EQ(Registry::readString(Hive::CurrentUser, "software\\a", "THEIRS"), "2");
    EXPECT_EQ(Registry::readString(Hive::CurrentUser, "software\\a", "mine"), "1");
}

TEST_F(RegistryTest, ConcurrentWritersLoseNoValue) {
    std::vector<std::unique_ptr<ChildProcess>> writers;
    for (int i = 0; i < 4; ++i)
        writers.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{"registry-write", "Software\\Race", "w" + std::to_string(i), "x"}));
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(Registry::writeDword(Hive::CurrentUser, "Software\\Race", "p" + std::to_string(i), 1));
    for (auto &w : writers) EXPECT_EQ(w->wait(), 0);
    EXPECT_EQ(Registry::valueNames(Hive::CurrentUser, "Software\\Race").size(), 8u);
}

TEST_F(RegistryTest, HandWrittenHiveIsReadAndUnknownLinesSkipped) {
    writeFile(hiveFile("HKEY_CLASSES_ROOT"),
              "\xEF\xBB\xBFREGEDIT4\r\n"
              "; a comment\r\n"
              "[HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\SendToPapyrine]\r\n"
              "@=\"{6F3B1C2A-0000-4000-8000-000000000001}\"\r\n"
              "\"Count\"=dword:0000002A\r\n"
              "\"Expand\"=hex(2):25,54,45,4d,50,25,00\r\n"
              "\"Long\"=hex:01,02,\\\r\n"
              "  03,04\r\n"
              "this line means nothing\r\n"
              "\"Bad\"=dword:123456789\r\n"
              "\"Unterminated\"=\"abc\r\n"
              "[HKEY_LOCAL_MACHINE\\Elsewhere]\r\n"
              "\"Foreign\"=\"x\"\r\n"
              "[HKEY_CLASSES_ROOT\\Directory]\r\n");
    const std::string key = "*\\shellex\\ContextMenuHandlers\\SendToPapyrine";
    EXPECT_EQ(Registry::hiveProblem(Hive::ClassesRoot), "");
    EXPECT_EQ(Registry::readString(Hive::ClassesRoot, key, ""), "{6F3B1C2A-0000-4000-8000-000000000001}");
    EXPECT_EQ(Registry::readDword(Hive::ClassesRoot, key, "count"), 42u);
    EXPECT_EQ(Registry::readString(Hive::ClassesRoot, key, "Expand"), "%TEMP%");
    EXPECT_EQ(Registry::readBinary(Hive::ClassesRoot, key, "Long"), std::string("\x01\x02\x03\x04", 4));
    EXPECT_EQ(Registry::valueNames(Hive::ClassesRoot, key), (std::vector<std::string>{"", "Count", "Expand", "Long"}));
    EXPECT_EQ(Registry::subkeys(Hive::ClassesRoot, ""), (std::vector<std::string>{"*", "Directory"}));
    // A change keeps what was understood, types included.
    ASSERT_TRUE(Registry::writeString(Hive::ClassesRoot, "Drive", "", "d"));
    EXPECT_EQ(Registry::valueType(Hive::ClassesRoot, key, "Expand"), platform::ValueType::ExpandString);
    EXPECT_EQ(Registry::readBinary(Hive::ClassesRoot, key, "Long"), std::string("\x01\x02\x03\x04", 4));
}

TEST_F(RegistryTest, FileThatIsNoHiveIsRefusedAndKept) {
    static const char raw[] = "\x7F" "ELF\x00\x01\x02 not a registry";
    const std::string garbage(raw, sizeof raw - 1);
    writeFile(hiveFile("HKEY_LOCAL_MACHINE"), garbage);
    EXPECT_NE(Registry::hiveProblem(Hive::LocalMachine), "");
    EXPECT_FALSE(Registry::keyExists(Hive::LocalMachine, "Software"));
    EXPECT_FALSE(Registry::writeString(Hive::LocalMachine, "Software", "x", "y"));
    EXPECT_EQ(readFile(hiveFile("HKEY_LOCAL_MACHINE")), garbage);
    // An empty file is an empty hive.
    writeFile(hiveFile("HKEY_LOCAL_MACHINE"), "");
    EXPECT_TRUE(Registry::writeString(Hive::LocalMachine, "Software", "x", "y"));
}
