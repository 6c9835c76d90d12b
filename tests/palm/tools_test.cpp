// palmdevice and hotsync run as child processes: what one process stores,
// the next one finds.
#include "palm_test_support.h"
#include "pdb_fixture.h"

#include "card_records.h"
#include "conduit_manager.h"
#include "install_aide.h"
#include "pdb_file.h"
#include "registry.h"
#include "sync_manager.h"
#include "sync_records.h"
#include "user_manager.h"

#include <fstream>
#include <sstream>

using namespace palm;
using palmtest::PalmTest;
using palmtest::runTool;

namespace {

std::string readText(const std::filesystem::path &p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ToolsTest : public PalmTest {
protected:
    void SetUp() override {
        PalmTest::SetUp();
        auto r = runTool("palmdevice", {"create", "hh", "--user", "Ann", "--slots", "2"});
        ASSERT_EQ(r.status, 0) << r.output;
    }

    palmtest::RunResult device(std::vector<std::string> args) { return runTool("palmdevice", args); }

    std::filesystem::path file(const std::string &name, const std::vector<uint8_t> &bytes) {
        const auto p = home_ / "desk" / name;
        palmtest::writeFile(p, bytes);
        return p;
    }
};

class HotSyncTest : public ToolsTest {
protected:
    void SetUp() override {
        ToolsTest::SetUp();
        record_ = home_ / "conduit-record.txt";
        setenv("FAKE_CONDUIT_RECORD", record_.c_str(), 1);
        creator_ = fourCC("Fake");
        ASSERT_EQ(conduits::install(creator_, conduits::kTypeApplication), 0);
        ASSERT_EQ(conduits::setLibrary(creator_, FAKE_CONDUIT_PATH), 0);
    }
    void TearDown() override {
        unsetenv("FAKE_CONDUIT_RECORD");
        ToolsTest::TearDown();
    }

    std::filesystem::path record_;
    uint32_t creator_ = 0;
};

}  // namespace

TEST_F(ToolsTest, APdbFromAnotherProgramImportsAndExportsByteForByte) {
    const auto fixture = palmtest::memoPdbFixture();
    const auto source = file("memo.pdb", fixture);
    auto r = device({"import", "hh", source.string()});
    ASSERT_EQ(r.status, 0) << r.output;
    r = device({"list", "hh"});
    EXPECT_NE(r.output.find("MemoDB"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("memo"), std::string::npos);
    r = device({"dump", "hh", "MemoDB"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("id 43777, attributes 0x40, category 3, 3 bytes"), std::string::npos) << r.output;
    EXPECT_EQ(device({"import", "hh", source.string()}).status, 1);   // the name is taken
    EXPECT_EQ(device({"import", "hh", source.string(), "--replace"}).status, 0);

    const auto exported = home_ / "out.pdb";
    r = device({"export", "hh", "MemoDB", exported.string()});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(palmtest::readFile(exported), fixture);

    // The Sync Manager of this process sees what the other process stored.
    std::string error;
    ASSERT_TRUE(selectHandheld("hh", error));
    sync::DbHandle h = 0;
    ASSERT_EQ(sync::openDatabase("MemoDB", 0, sync::kModeRead, h), 0);
    char buffer[16];
    sync::RecordInfo info;
    ASSERT_EQ(sync::readRecordByIndex(h, 1, buffer, sizeof buffer, info), 0);
    EXPECT_EQ(std::string(buffer, info.size), "second");
    EXPECT_EQ(info.attributes, sync::kRecAttrDeleted);
    ASSERT_EQ(sync::readRecordByIndex(h, 0, buffer, sizeof buffer, info), 0);
    EXPECT_EQ(info.category, 3);
    EXPECT_EQ(info.attributes, sync::kRecAttrDirty);
    sync::closeDatabase(h);
}

TEST_F(ToolsTest, DamagedInputsAreClearErrors) {
    auto bad = palmtest::memoPdbFixture();
    bad[79] = 0x7F;   // first record offset far past the end
    const auto source = file("bad.pdb", bad);
    auto r = device({"import", "hh", source.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("bad.pdb"), std::string::npos) << r.output;

    // A database file damaged on the handheld.
    const auto stored = home_ / "handhelds" / "hh" / "ram" / "MemoDB.pdb";
    palmtest::writeFile(stored, std::vector<uint8_t>(bad.begin(), bad.begin() + 90));
    r = device({"list", "hh"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("MemoDB.pdb"), std::string::npos) << r.output;
    r = device({"export", "hh", "MemoDB", (home_ / "x.pdb").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("MemoDB.pdb"), std::string::npos) << r.output;

    // A damaged device file.
    const auto deviceFile = home_ / "handhelds" / "hh" / "device.ini";
    palmtest::writeFile(deviceFile, {'[', 'D', 'e', 'v', '\n', 'x'});
    for (const auto &args : {std::vector<std::string>{"palmdevice", "info", "hh"},
                             std::vector<std::string>{"hotsync", "sync", "hh"}}) {
        r = runTool(args[0], {args.begin() + 1, args.end()});
        EXPECT_NE(r.status, 0) << args[0];
        EXPECT_NE(r.output.find("device.ini"), std::string::npos) << r.output;
    }
    // Damaged stores of the HotSync installation.
    for (const char *store : {"users.ini", "conduits.ini"}) {
        const auto path = home_ / "Palm" / store;
        palmtest::writeFile(path, {'n', 'o', 't', ' ', 'i', 'n', 'i'});
        r = runTool("hotsync", {"user", "list"});
        EXPECT_EQ(r.status, 2) << store;
        EXPECT_NE(r.output.find(store), std::string::npos) << r.output;
        std::filesystem::remove(path);
    }
    r = device({"info", "no-such-handheld"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(device({"info", "../escape"}).status, 1);
    EXPECT_EQ(device({"nonsense"}).status, 2);
}

TEST_F(ToolsTest, CardsAreInsertedLabelledProtectedAndRemoved) {
    EXPECT_EQ(device({"card-insert", "hh", "1", "--label", "Memory", "--capacity", "4096"}).status, 0);
    EXPECT_EQ(device({"card-insert", "hh", "1"}).status, 1);   // occupied
    EXPECT_EQ(device({"card-insert", "hh", "3"}).status, 1);   // no such slot
    EXPECT_EQ(device({"card-label", "hh", "1", "Renamed"}).status, 0);
    const auto desktop = file("a.txt", {'a', 'b', 'c'});
    EXPECT_EQ(device({"card-put", "hh", "1", desktop.string(), "/Docs/a.txt"}).status, 0);
    EXPECT_EQ(device({"card-protect", "hh", "1", "on"}).status, 0);
    auto r = device({"card-put", "hh", "1", desktop.string(), "/Docs/b.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("10503"), std::string::npos) << r.output;
    r = device({"info", "hh"});
    EXPECT_NE(r.output.find("card \"Renamed\", 4096 bytes, 3 used, write-protected"), std::string::npos) << r.output;
    EXPECT_EQ(device({"card-remove", "hh", "1"}).status, 0);
    r = device({"info", "hh"});
    EXPECT_NE(r.output.find("removed"), std::string::npos) << r.output;
    // The removed card keeps its files and comes back with them.
    EXPECT_EQ(device({"card-insert", "hh", "1"}).status, 0);
    r = device({"card-ls", "hh", "1"});
    EXPECT_NE(r.output.find("/Docs/a.txt\t3"), std::string::npos) << r.output;
}

TEST_F(ToolsTest, TheHandheldApplicationEditsTheSuitesDocuments) {
    ASSERT_EQ(device({"card-insert", "hh", "1"}).status, 0);
    std::vector<uint8_t> text(5000);
    for (size_t i = 0; i < text.size(); ++i) text[i] = uint8_t('a' + i % 26);
    const auto desktop = file("report.txt", text);
    auto r = device({"doc-new", "hh", "ram", "Report", desktop.string(), "--container", "docs", "--category", "2"});
    ASSERT_EQ(r.status, 0) << r.output;
    r = device({"doc-new", "hh", "card:1:/Documents", "report.txt", desktop.string()});
    ASSERT_EQ(r.status, 0) << r.output;
    r = device({"doc-new", "hh", "ram", "Notes", desktop.string()});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(device({"doc-new", "hh", "ram", "Notes", desktop.string()}).status, 1);

    ASSERT_EQ(device({"doc-edit", "hh", "ram", "Report", desktop.string()}).status, 0);
    ASSERT_EQ(device({"doc-edit", "hh", "card:1:/Documents", "REPORT.TXT", desktop.string()}).status, 0);
    ASSERT_EQ(device({"doc-delete", "hh", "ram", "Notes", "--attribute"}).status, 0);
    ASSERT_EQ(device({"doc-flags", "hh", "card:1:/Documents", "report.txt", "1"}).status, 0);
    const auto back = home_ / "back.txt";
    ASSERT_EQ(device({"doc-get", "hh", "ram", "Report", back.string()}).status, 0);
    EXPECT_EQ(palmtest::readFile(back), text);

    std::string error;
    ASSERT_TRUE(selectHandheld("hh", error));
    // The Docs container: application info (12, length), 4096-byte records, sort info of their ids.
    sync::DbHandle h = 0;
    ASSERT_EQ(sync::openDatabase("Report", 0, sync::kModeRead, h), 0);
    uint8_t app[6];
    uint32_t size = 0;
    ASSERT_EQ(sync::readAppInfoBlock(h, app, sizeof app, size), 0);
    EXPECT_EQ(app[1], 12);
    EXPECT_EQ((app[4] << 8) | app[5], 5000);
    uint16_t count = 0;
    sync::getRecordCount(h, count);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(sync::readSortInfoBlock(h, nullptr, 0, size), 0);
    EXPECT_EQ(size, 8u);
    sync::closeDatabase(h);

    // The RAM list: the edited document's stamp was raised, the deleted one carries the attribute.
    ASSERT_EQ(sync::openDatabase("PapyrineSync.dat", 0, sync::kModeRead, h), 0);
    std::vector<std::pair<sync::RecordInfo, std::vector<uint8_t>>> records;
    ASSERT_EQ(sync::readAllRecords(h, records), 0);
    sync::closeDatabase(h);
    ASSERT_EQ(records.size(), 2u);
    auto report = qv::decodeHandheldFileRecord(records[0].second, qv::HandheldList::Ram);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->name, "Report");
    EXPECT_EQ(report->stamp, 1u);
    EXPECT_EQ(report->palmCategory, 2);
    EXPECT_EQ(records[0].second.size(), 56u);
    EXPECT_EQ(records[1].first.attributes & sync::kRecAttrDeleted, sync::kRecAttrDeleted);

    // The card list: mixed-order header, 280-byte record; the folder is in the paths file.
    const auto volume = home_ / "handhelds" / "hh" / "cards" / "1" / "volume";
    const auto list = palmtest::readFile(volume / "Documents" / "PapyrineSync.dat");
    ASSERT_EQ(list.size(), 16u + 280u);
    EXPECT_EQ(std::vector<uint8_t>(list.begin(), list.begin() + 16),
              (std::vector<uint8_t>{0xDC, 0x91, 0x2E, 0x6B, 0, 1, 0, 1, 0, 0, 1, 0x18, 0, 0, 0, 0}));
    auto card = qv::decodeHandheldFileRecord(std::span(list).subspan(16), qv::HandheldList::Card);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->stamp, 1u);
    EXPECT_EQ(card->flags, 1);
    EXPECT_EQ(qv::readCardPaths(palmtest::readFile(volume / "PapyrineSyncMain.dat")),
              std::vector<std::string>{"/Documents"});
    EXPECT_EQ(palmtest::readFile(volume / "Documents" / "report.txt"), text);
}

TEST_F(HotSyncTest, ASyncRunsEachRegisteredConduitWithTheSyncProperties) {
    auto r = runTool("hotsync", {"sync", "hh"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Fake conduit ran."), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("[20] Tarvoc Papyrine."), std::string::npos) << r.output;
    EXPECT_EQ(readText(record_), "open type=0 user=Ann creator=Fake\nwrite=0\n");
    uint32_t id = 0;
    ASSERT_EQ(users::idFromName("Ann", id), 0);   // the handheld's user was made
    uint16_t slots = 0;
    users::slotCount(id, slots);
    EXPECT_EQ(slots, 2);
    EXPECT_EQ(platform::Registry::readString(platform::Hive::CurrentUser,
                                             "Software\\U.S. Robotics\\Pilot Desktop\\Preferences", "LastUserName"),
              "Ann");
    const auto hotSyncPath = platform::Registry::readString(
        platform::Hive::CurrentUser, "Software\\U.S. Robotics\\Pilot Desktop\\Core", "HotSyncPath");
    ASSERT_TRUE(hotSyncPath);
    EXPECT_EQ(std::filesystem::path(*hotSyncPath).filename(), "hotsync");

    // What the conduit wrote is on the handheld for the next process.
    r = runTool("palmdevice", {"dump", "hh", "FakeConduitDB"});
    EXPECT_NE(r.output.find("Records: 1"), std::string::npos) << r.output;
    std::filesystem::path folder;
    users::userFolder(id, folder);
    EXPECT_NE(readText(folder / "HotSync.log").find("\t22\tFake conduit ran."), std::string::npos);
}

TEST_F(HotSyncTest, TheUsersActionChoosesTheSyncType) {
    uint32_t id = 0;
    ASSERT_EQ(users::addUser("Ann", id), 0);
    ASSERT_EQ(users::setPermanentAction(id, creator_, users::kActionDoNothing), 0);
    ASSERT_EQ(users::setTemporaryAction(id, creator_, users::kActionDesktopOverwritesHandheld), 0);
    ASSERT_EQ(runTool("hotsync", {"sync", "hh"}).status, 0);     // next-only action: type 3, then gone
    ASSERT_EQ(runTool("hotsync", {"sync", "hh"}).status, 0);     // permanent: do nothing = type 6
    ASSERT_EQ(runTool("hotsync", {"sync", "hh", "--type", "2"}).status, 0);
    const std::string text = readText(record_);
    EXPECT_NE(text.find("open type=3 user=Ann"), std::string::npos) << text;
    EXPECT_NE(text.find("open type=6 user=Ann"), std::string::npos) << text;
    EXPECT_NE(text.find("open type=2 user=Ann"), std::string::npos) << text;
    EXPECT_LT(text.find("type=3"), text.find("type=6"));
    int32_t action = 0;
    EXPECT_EQ(users::getTemporaryAction(id, creator_, action), kUmErrNoPreference);
}

TEST_F(HotSyncTest, ConfigureHandsTheConduitTheConfigurationRecord) {
    uint32_t id = 0;
    ASSERT_EQ(users::addUser("Ann", id), 0);
    ASSERT_EQ(users::setPermanentAction(id, creator_, users::kActionDesktopOverwritesHandheld), 0);
    auto r = runTool("hotsync", {"configure", "Ann", "Fake"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(readText(record_), "configure kind=0 size=352 version=1 creator=Fake user=Ann permanent=3 new=3\n");
    int32_t action = -1;
    ASSERT_EQ(users::getTemporaryAction(id, creator_, action), 0);
    EXPECT_EQ(action, users::kActionHandheldOverwritesDesktop);
    EXPECT_EQ(runTool("hotsync", {"configure", "Nobody", "Fake"}).status, 1);
    EXPECT_EQ(runTool("hotsync", {"configure", "Ann", "Nope"}).status, 1);
}

TEST_F(HotSyncTest, QueuedFilesReachTheCardAtTheNextHotSync) {
    ASSERT_EQ(runTool("palmdevice", {"card-insert", "hh", "1"}).status, 0);
    ASSERT_EQ(runTool("hotsync", {"sync", "hh"}).status, 0);   // makes the user and records the slots
    const auto font = file("Serif.ttf", {0, 1, 0, 0});
    auto r = runTool("hotsync", {"install", "Ann", "1", font.string()});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(runTool("hotsync", {"queue", "Ann"}).output.find("Serif.ttf"), std::string::npos);
    r = runTool("hotsync", {"sync", "hh"});
    EXPECT_NE(r.output.find("Installed \"Serif.ttf\" on the card in slot 1"), std::string::npos) << r.output;
    r = runTool("palmdevice", {"card-ls", "hh", "1"});
    EXPECT_NE(r.output.find("/PALM/Launcher/Serif.ttf\t4"), std::string::npos) << r.output;
    EXPECT_EQ(runTool("hotsync", {"queue", "Ann"}).output, "");
}

TEST_F(HotSyncTest, UsersAndRegistrationFromTheCommandLine) {
    EXPECT_EQ(runTool("hotsync", {"user", "add", "Bob"}).status, 0);
    EXPECT_EQ(runTool("hotsync", {"user", "add", "Carl"}).status, 0);
    auto r = runTool("hotsync", {"user", "rename", "Carl", "bob"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("-523"), std::string::npos) << r.output;
    EXPECT_EQ(runTool("hotsync", {"user", "delete", "Carl"}).status, 0);
    r = runTool("hotsync", {"user", "list"});
    EXPECT_NE(r.output.find("\tBob\t"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Carl"), std::string::npos);

    ASSERT_EQ(conduits::remove(creator_), 1);
    r = runTool("hotsync", {"register", FAKE_CONDUIT_PATH});
    EXPECT_NE(r.output.find("DllRegisterServer answered 1."), std::string::npos) << r.output;
    conduits::Conduit c;
    ASSERT_EQ(conduits::find(creator_, c), 0);
    EXPECT_EQ(c.title, "Fake conduit");
    r = runTool("hotsync", {"unregister", FAKE_CONDUIT_PATH});
    EXPECT_EQ(conduits::find(creator_, c), kCondErrNotFound);
    EXPECT_EQ(runTool("hotsync", {"bogus"}).status, 1);
}
