#include "palm_test_support.h"

#include "card_fs.h"
#include "sync_manager.h"
#include "user_manager.h"

using namespace palm;
using palmtest::PalmTest;

namespace {

int32_t writeOne(sync::DbHandle h) {
    uint32_t id = 0;
    return sync::writeRecord(h, 0, 0, 0, "r", 1, id);
}

}  // namespace

TEST_F(PalmTest, AOnceFaultFailsExactlyTheChosenCall) {
    makeHandheld();
    sync::CreateDbInfo info;
    info.name = "List";
    sync::DbHandle h = 0;
    ASSERT_EQ(sync::createDatabase(info, h), 0);
    injectFault({"sync.writeRecord", kSyncErrNotEnoughSpace, FaultMode::Once, 3});
    EXPECT_EQ(writeOne(h), 0);
    EXPECT_EQ(writeOne(h), 0);
    EXPECT_EQ(writeOne(h), kSyncErrNotEnoughSpace);
    EXPECT_EQ(writeOne(h), 0);
    EXPECT_EQ(writeOne(h), 0);
    uint16_t count = 0;
    sync::getRecordCount(h, count);
    EXPECT_EQ(count, 4);   // the failed call stored nothing
    sync::closeDatabase(h);
}

TEST_F(PalmTest, AFromFaultFailsEveryCallFromTheNthOn) {
    makeHandheld();
    std::string error;
    ASSERT_TRUE(Handheld::open("hh", error)->insertCard(1, std::nullopt, std::nullopt, error));
    ASSERT_TRUE(selectHandheld("hh", error));
    injectFault({"vfs.fileWrite", 10802, FaultMode::From, 2});
    vfs::FileRef ref = 0;
    ASSERT_EQ(vfs::fileOpen(1, "/f", 31, ref), 0);
    uint32_t written = 0;
    EXPECT_EQ(vfs::fileWrite(ref, 1, "a", written), 0);
    EXPECT_EQ(vfs::fileWrite(ref, 1, "b", written), 10802);
    EXPECT_EQ(vfs::fileWrite(ref, 1, "c", written), 10802);
    // Other operations are untouched.
    uint32_t size = 0;
    EXPECT_EQ(vfs::fileSize(ref, size), 0);
    EXPECT_EQ(size, 1u);
    vfs::fileClose(ref);
    clearFaults();
    ASSERT_EQ(vfs::fileOpen(1, "/f", vfs::kModeReadWrite, ref), 0);
    EXPECT_EQ(vfs::fileWrite(ref, 1, "d", written), 0);
    vfs::fileClose(ref);
}

TEST_F(PalmTest, FaultsReachTheUserManagerToo) {
    uint32_t id = 0;
    injectFault({"um.addUser", kUmErrStore, FaultMode::Once, 1});
    EXPECT_EQ(users::addUser("Ann", id), kUmErrStore);
    EXPECT_EQ(users::addUser("Ann", id), 0);
}

TEST_F(PalmTest, DeviceFileFaultsAreLoadedOnSelectionAndSpentOnce) {
    std::string error;
    ASSERT_TRUE(Handheld::create("hh", "Ann", 1 << 20, 1, error));
    auto rule = parseFaultRule("sync.openDatabase 0x4003 once 2", error);
    ASSERT_TRUE(rule) << error;
    ASSERT_TRUE(addDeviceFault("hh", *rule, error)) << error;
    ASSERT_EQ(deviceFaults("hh", error).size(), 1u);

    ASSERT_TRUE(selectHandheld("hh", error));
    sync::CreateDbInfo info;
    info.name = "Db";
    sync::DbHandle h = 0;
    ASSERT_EQ(sync::createDatabase(info, h), 0);
    sync::closeDatabase(h);
    EXPECT_EQ(sync::openDatabase("Db", 0, sync::kModeRead, h), 0);
    sync::closeDatabase(h);
    EXPECT_EQ(sync::openDatabase("Db", 0, sync::kModeRead, h), 0x4003);
    EXPECT_EQ(sync::openDatabase("Db", 0, sync::kModeRead, h), 0);
    sync::closeDatabase(h);
    EXPECT_TRUE(deviceFaults("hh", error).empty());   // spent, so a later HotSync runs clean

    // A suspended process (the handheld tool) neither fails nor spends a rule.
    ASSERT_TRUE(addDeviceFault("hh", {"sync.openDatabase", 0x4003, FaultMode::Once, 1}, error));
    suspendFaults(true);
    ASSERT_TRUE(selectHandheld("hh", error));
    EXPECT_EQ(sync::openDatabase("Db", 0, sync::kModeRead, h), 0);
    sync::closeDatabase(h);
    EXPECT_EQ(deviceFaults("hh", error).size(), 1u);
}

TEST_F(PalmTest, FaultRulesAreChecked) {
    std::string error;
    auto rule = parseFaultRule("vfs.fileWrite 10767", error);
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->mode, FaultMode::Once);
    EXPECT_EQ(rule->nthCall, 1u);
    EXPECT_EQ(faultRuleText(*rule), "vfs.fileWrite 10767 once 1");
    for (const char *bad : {"", "vfs.fileWrite", "no.such 5", "vfs.fileWrite zero", "vfs.fileWrite 0",
                            "vfs.fileWrite 5 sometimes", "vfs.fileWrite 5 once 0", "a b c d e"}) {
        error.clear();
        EXPECT_FALSE(parseFaultRule(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}
