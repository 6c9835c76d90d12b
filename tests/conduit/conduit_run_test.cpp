// Conduit runs through the HotSync host: the handshake with a desktop
// program that is not running, allows, refuses or stays silent; runs that
// end without a plug-in; exceptions inside the run; configuration.
#include "conduit_test_support.h"

using namespace conduittest;
using Entries = std::vector<std::pair<int32_t, std::string>>;

namespace {

const std::vector<std::string> kFullRun = {
    "loaded",
    "QVDP_GetPluginCardPathsFileName",
    "QVDP_GetPluginDatabaseName",
    "QVDP_GetPluginFolder",
    "QVDP_LoadSettings",
    "QVDP_GetDBHeaderData",
    "QVDP_GetDBHeader",
    "QVDP_GetPalmCardDBHeaderData",
    "QVDP_GetPalmCardDBHeader",
    "QVDP_GetPalmDeviceDBHeaderData",
    "QVDP_GetPalmDeviceDBHeader",
    "QVDP_SyncPalmCategoriesToPC",
    "QVDP_SyncFTPAccountsToPC",
    "unloaded",
};

const Entries kRunEndOnly = {{20, "Tarvoc Papyrine."}};
const Entries kRefused = {{22, "Desktop application is active."}, {20, "Tarvoc Papyrine."}};

// The calls of the trace, without the probe lines of the fake plug-in.
std::vector<std::string> calls(const std::vector<std::string> &trace) {
    std::vector<std::string> names;
    for (const std::string &w : firstWords(trace))
        if (w.rfind("wants-start", 0) != 0) names.push_back(w);
    return names;
}

bool contains(const std::vector<std::string> &lines, const std::string &line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool anyEventLeft() {
    for (const char *name : {"QVDP_COND_FINISHED", "QVDP_COND_WANTS_START", "QVDP_COND_CAN_START",
                             "QVDP_COND_CANT_START"})
        if (platform::NamedEvent::exists(name)) return true;
    return false;
}

}  // namespace

TEST_F(ConduitTest, DesktopNotRunningTheStartEventIsCreatedSignalledAndTheRunGoesAhead) {
    registerConduit(kCreator, FAKE_PLUGIN_PATH);
    EXPECT_EQ(sync(), 0) << lastRun_.output;

    const auto lines = trace();
    EXPECT_EQ(calls(lines), kFullRun);
    // A desktop program started during the run would find the run announced.
    EXPECT_TRUE(contains(lines, "wants-start=signalled"));
    // The folders exist before the settings are read; the settings record
    // carries only its size, the creator, the user id and the name.
    EXPECT_TRUE(contains(lines, "QVDP_LoadSettings size=352 version=0 creator=51567079 user=" +
                                    std::to_string(userId_) + " name=Ann folders=1"));
    EXPECT_TRUE(contains(lines, "QVDP_SyncPalmCategoriesToPC " + userFolder_.string()));
    EXPECT_TRUE(contains(lines, "QVDP_SyncFTPAccountsToPC " + userFolder_.string()));
    EXPECT_EQ(conduitEntries(), kRunEndOnly);
    EXPECT_FALSE(anyEventLeft());
}

TEST_F(ConduitTest, DesktopAllowingTheRunStartsAndTheDesktopIsToldToReloadTheUser) {
    registerConduit(kCreator, FAKE_PLUGIN_PATH);
    startDesktop("allow");
    EXPECT_EQ(sync(), 0) << lastRun_.output;
    EXPECT_EQ(calls(trace()), kFullRun);
    ASSERT_TRUE(waitForDesktopLine("message"));
    ASSERT_TRUE(waitForDesktopLine("finished"));
    const auto record = desktopRecord();
    ASSERT_GE(record.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(record.begin(), record.begin() + 3),
              (std::vector<std::string>{"ready", "wants-start", "allowed"}));
    // WM_USER + 14 with the user id, after the finished event was signalled.
    EXPECT_TRUE(contains(record, "message 1038 0 " + std::to_string(userId_) + " finished=1"));
    EXPECT_EQ(conduitEntries(), kRunEndOnly);
}

TEST_F(ConduitTest, DesktopRefusingNothingIsTouched) {
    registerConduit(kCreator, FAKE_PLUGIN_PATH);
    startDesktop("refuse");
    EXPECT_EQ(sync(), -1) << lastRun_.output;
    EXPECT_TRUE(trace().empty());   // the plug-in was never loaded
    EXPECT_FALSE(fs::exists(userFolder_ / "FakePlugin"));
    EXPECT_EQ(conduitEntries(), kRefused);
    // The handheld's own log gets the line too.
    const auto syncLog = readLines(palm::Handheld::folderOf("hh") / "synclog.txt");
    EXPECT_TRUE(contains(syncLog, "Desktop application is active."));
    // A desktop program waiting for the end of the refused run is released,
    // but not told to reload.
    EXPECT_TRUE(waitForDesktopLine("finished"));
    EXPECT_FALSE(contains(firstWords(desktopRecord()), "message"));
}

TEST_F(ConduitTest, DesktopSilentTheRunIsRefusedAfterTenSeconds) {
    registerConduit(kCreator, FAKE_PLUGIN_PATH);
    startDesktop("silent");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sync(), -1) << lastRun_.output;
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(10000));
    EXPECT_LT(waited, std::chrono::seconds(30));
    EXPECT_TRUE(trace().empty());
    EXPECT_EQ(conduitEntries(), kRefused);
    EXPECT_TRUE(waitForDesktopLine("finished"));
}

TEST_F(ConduitTest, ACreatorWithoutRegistryEntryRunsTheHandshakeButTouchesNothing) {
    const uint32_t creator = palm::fourCC("QVzz");
    registerConduit(creator, "");
    startDesktop("allow");
    EXPECT_EQ(sync(), 0) << lastRun_.output;
    EXPECT_TRUE(trace().empty());
    EXPECT_TRUE(waitForDesktopLine("message 1038 0 " + std::to_string(userId_)));
    EXPECT_EQ(conduitEntries(), kRunEndOnly);
}

// ---- runs that end without a plug-in ---------------------------------------

struct NoPluginCase {
    const char *name;
    const char *library;           // registered as the plug-in
    const char *blocker;           // a file where the conduit wants a folder, or null
    std::vector<std::string> calls;
};

void PrintTo(const NoPluginCase &c, std::ostream *os) { *os << c.name; }

class NoPluginTest : public ConduitTest, public ::testing::WithParamInterface<NoPluginCase> {};

const std::vector<std::string> kFolderCalls = {"loaded", "QVDP_GetPluginCardPathsFileName",
                                               "QVDP_GetPluginDatabaseName", "QVDP_GetPluginFolder", "unloaded"};

INSTANTIATE_TEST_SUITE_P(
    Conduit, NoPluginTest,
    ::testing::Values(
        NoPluginCase{"LacksPrepareDestPCFile", FAKE_PLUGIN_WITHOUT_PREPARE_PATH, nullptr, {"loaded", "unloaded"}},
        NoPluginCase{"LibraryMissing", "/nowhere/libFake.so", nullptr, {}},
        NoPluginCase{"PluginFolderBlocked", FAKE_PLUGIN_PATH, "FakePlugin", kFolderCalls},
        NoPluginCase{"TempFolderBlocked", FAKE_PLUGIN_PATH, "FakePlugin/TEMP", kFolderCalls},
        NoPluginCase{"BackupFolderBlocked", FAKE_PLUGIN_PATH, "FakePlugin/BACKUP", kFolderCalls}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_P(NoPluginTest, TheRunSkipsItsStepsAndEndsNormally) {
    const NoPluginCase &c = GetParam();
    registerConduit(kCreator, c.library);
    if (c.blocker) {
        const fs::path blocker = userFolder_ / c.blocker;
        fs::create_directories(blocker.parent_path());
        std::ofstream(blocker) << "not a folder";
    }
    EXPECT_EQ(sync(), 0) << lastRun_.output;
    EXPECT_EQ(calls(trace()), c.calls);
    EXPECT_EQ(conduitEntries(), kRunEndOnly);
    EXPECT_FALSE(anyEventLeft());
}

// ---- exceptions inside the run -----------------------------------------------

struct ThrowCase {
    const char *thrower;
    std::vector<std::string> calls;
};

void PrintTo(const ThrowCase &c, std::ostream *os) { *os << c.thrower; }

class ThrowingPluginTest : public ConduitTest, public ::testing::WithParamInterface<ThrowCase> {};

INSTANTIATE_TEST_SUITE_P(
    Conduit, ThrowingPluginTest,
    ::testing::Values(
        // While the context is made.
        ThrowCase{"QVDP_LoadSettings",
                  {"loaded", "QVDP_GetPluginCardPathsFileName", "QVDP_GetPluginDatabaseName", "QVDP_GetPluginFolder",
                   "QVDP_LoadSettings", "unloaded"}},
        // Inside the sync steps: the steps after it are not run.
        ThrowCase{"QVDP_SyncPalmCategoriesToPC",
                  std::vector<std::string>(kFullRun.begin(), kFullRun.end() - 2)}),
    [](const auto &info) { return std::string(info.param.thrower); });

TEST_P(ThrowingPluginTest, TheRunLogsAnUnknownErrorAndStillEndsTheHandshake) {
    std::vector<std::string> expected = GetParam().calls;
    if (expected.back() != "unloaded") expected.push_back("unloaded");
    setenv("FAKE_PLUGIN_THROW", GetParam().thrower, 1);
    registerConduit(kCreator, FAKE_PLUGIN_PATH);
    startDesktop("allow");
    EXPECT_EQ(sync(), -1) << lastRun_.output;
    EXPECT_EQ(calls(trace()), expected);
    EXPECT_EQ(conduitEntries(), (Entries{{22, "Unknown error in conduit"}, {20, "Tarvoc Papyrine."}}));
    EXPECT_TRUE(waitForDesktopLine("message 1038 0 " + std::to_string(userId_) + " finished=1"));
}

// ---- the host's other paths -----------------------------------------------------

TEST_F(ConduitTest, SyncTypeDoNothingReturnsAtOnceWithoutALogEntry) {
    registerConduit(kCreator, FAKE_PLUGIN_PATH);
    EXPECT_EQ(sync({"--type", "6"}), 0) << lastRun_.output;
    EXPECT_TRUE(conduitEntries().empty());
    EXPECT_TRUE(trace().empty());
}

TEST_F(ConduitTest, ASyncManagerRegistrationFailureEndsTheRunSilently) {
    registerConduit(kCreator, FAKE_PLUGIN_PATH);
    auto r = runTool("palmdevice", {"fault", "hh", "add", "sync.registerConduit 0x4001 once"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(sync(), -1) << lastRun_.output;
    EXPECT_TRUE(conduitEntries().empty());
    EXPECT_TRUE(trace().empty());
    EXPECT_FALSE(anyEventLeft());
}

TEST_F(ConduitTest, ThePluginRegisteredByItsInstallerIsFound) {
    auto r = runTool("hotsync", {"register", std::string(QV_BIN_DIR) + "/libQVDocsPlugin.so"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(sync(), 0) << lastRun_.output;
    const auto entries = conduitEntries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back(), (std::pair<int32_t, std::string>{20, "Tarvoc Papyrine."}));
}

// ---- configuration through the host -----------------------------------------------

TEST_F(ConduitTest, ConfigureShowsThePluginDialogWithTheRecordAsReceived) {
    registerConduit(kCreator, FAKE_PLUGIN_PATH);
    const auto r = runTool("hotsync", {"configure", "Ann", "QVpy"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("CfgConduit answered 0."), std::string::npos) << r.output;
    // The dialog's choice came back through the host's own record.
    EXPECT_NE(r.output.find("Next HotSync action: 2."), std::string::npos) << r.output;
    const auto lines = trace();
    EXPECT_TRUE(contains(lines, "QVDP_SyncConfigureDetailed parent=none creator=51567079 user=Ann"));
    EXPECT_TRUE(contains(firstWords(lines), "QVDP_LoadSettings"));
    EXPECT_EQ(firstWords(lines).back(), "unloaded");
    for (const auto &e : logEntries()) EXPECT_NE(e.text, "Tarvoc Papyrine.");
}

TEST_F(ConduitTest, ConfigureWithoutPluginShowsTheErrorBox) {
    registerConduit(kCreator, "");
    const auto r = runTool("hotsync", {"configure", "Ann", "QVpy"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Error: Can not initialize the conduit. Bad instalation or incorrect palm user "
                            "information."),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("CfgConduit answered 0."), std::string::npos);
}
