// The entry points called directly, the library loaded by path as the
// HotSync host loads it: argument checks with their codes, and the runs that
// end before or without the plug-in.
#include "conduit_test_support.h"

#include "QVPalmConduit.h"
#include "byte_order.h"

#include <cstring>
#include <dlfcn.h>

using namespace conduittest;

namespace {

class EntryPointsTest : public ConduitTest {
protected:
    void SetUp() override {
        ConduitTest::SetUp();
        module_ = dlopen(CONDUIT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module_, nullptr) << dlerror();
        getName = entry<decltype(&GetConduitName)>("GetConduitName");
        getVersion = entry<decltype(&GetConduitVersion)>("GetConduitVersion");
        configure = entry<decltype(&ConfigureConduit)>("ConfigureConduit");
        getInfo = entry<decltype(&GetConduitInfo)>("GetConduitInfo");
        cfg = entry<decltype(&CfgConduit)>("CfgConduit");
        open = entry<decltype(&OpenConduit)>("OpenConduit");
    }
    void TearDown() override {
        if (module_) dlclose(module_);
        ConduitTest::TearDown();
    }

    template <class F>
    F entry(const char *name) {
        return reinterpret_cast<F>(dlsym(module_, name));
    }

    // A sync properties record as the HotSync Manager makes it.
    static std::vector<uint8_t> properties(int32_t type, const std::string &user, uint32_t creator) {
        std::vector<uint8_t> p(1024, 0);
        qv::storeLE32(p.data() + QVC_PROPERTIES_SYNC_TYPE_OFFSET, uint32_t(type));
        std::memcpy(p.data() + QVC_PROPERTIES_USER_NAME_OFFSET, user.c_str(), user.size() + 1);
        qv::storeLE32(p.data() + QVC_PROPERTIES_CREATOR_OFFSET, creator);
        return p;
    }

    void *module_ = nullptr;
    decltype(&GetConduitName) getName = nullptr;
    decltype(&GetConduitVersion) getVersion = nullptr;
    decltype(&ConfigureConduit) configure = nullptr;
    decltype(&GetConduitInfo) getInfo = nullptr;
    decltype(&CfgConduit) cfg = nullptr;
    decltype(&OpenConduit) open = nullptr;
    int hotSyncArgument_ = 0;
};

}  // namespace

TEST_F(EntryPointsTest, NameVersionAndOldStyleConfiguration) {
    char buffer[64];
    EXPECT_EQ(getName(buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "Tarvoc Palm Conduit");
    EXPECT_EQ(getName(buffer, 20), 0);    // exactly the name and its terminator
    EXPECT_EQ(getName(buffer, 19), -1);   // never cut
    EXPECT_EQ(getName(nullptr, 64), -1);
    EXPECT_EQ(getVersion(), 258);
    EXPECT_EQ(configure(), -1);
}

TEST_F(EntryPointsTest, GetConduitInfoChecksItsArgumentsInOrder) {
    struct Case {
        const char *what;
        int32_t kind;
        bool version;        // pass a version record
        uint32_t v0, v1;     // its two values
        bool output;
        bool size;
        uint32_t sizeValue;
        int32_t expected;
    };
    const Case cases[] = {
        {"no output, nothing else either", 0, false, 0, 0, false, false, 0, 4209},
        {"no size", 1, true, 1, 80, true, false, 0, 4215},
        {"name without version record", 0, false, 0, 0, true, true, 64, 4212},
        {"name with version 2", 0, true, 2, 80, true, true, 64, 4213},
        {"name with record size 76", 0, true, 1, 76, true, true, 64, 4213},
        {"name into 19 bytes", 0, true, 1, 80, true, true, 19, 4214},
        {"name", 0, true, 1, 80, true, true, 64, 0},
        {"MFC version in 8 bytes", 1, false, 0, 0, true, true, 8, 4211},
        {"MFC version", 1, false, 0, 0, true, true, 4, 0},
        {"default action in 2 bytes", 2, false, 0, 0, true, true, 2, 4211},
        {"default action", 2, false, 0, 0, true, true, 4, 0},
        {"kind 5, size 4", 5, true, 1, 80, true, true, 4, 4208},
        {"kind 5, size 0", 5, false, 0, 0, true, true, 0, 4208},
        {"kind -1", -1, false, 0, 0, true, true, 4, 4208},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        uint8_t version[80] = {};
        qv::storeLE32(version, c.v0);
        qv::storeLE32(version + 4, c.v1);
        uint8_t output[64];
        std::memset(output, 0xAA, sizeof output);
        uint32_t size = c.sizeValue;
        EXPECT_EQ(getInfo(c.kind, c.version ? version : nullptr, c.output ? output : nullptr, c.size ? &size : nullptr),
                  c.expected);
        EXPECT_EQ(size, c.sizeValue);
        if (c.expected != 0) continue;
        if (c.kind == 0) {
            EXPECT_STREQ(reinterpret_cast<char *>(output), "Tarvoc Palm Conduit");
        } else {
            EXPECT_EQ(qv::loadLE32(output), c.kind == 1 ? 0x10000000u : 0u);
        }
    }
}

TEST_F(EntryPointsTest, CfgConduitChecksItsArgumentsInOrderAndShowsNothing) {
    registerConduit(kCreator, FAKE_PLUGIN_PATH);
    struct Case {
        const char *what;
        int32_t kind;
        bool config;
        bool size;
        uint32_t sizeValue;
        uint32_t version;
        int32_t expected;
    };
    const Case cases[] = {
        {"no record, nothing else either", 1, false, false, 0, 0, 4212},
        {"no size", 1, true, false, 0, 0, 4216},
        {"size 351", 1, true, true, 351, 0, 4218},
        {"kind 1", 1, true, true, 352, 1, 4217},
        {"version 2", 0, true, true, 352, 2, 4219},
        {"version 0", 0, true, true, 352, 0, 4219},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        HotSyncConfig config{};
        config.version = c.version;
        config.size = 352;
        config.creatorId = kCreator;
        std::strcpy(config.userName, "Ann");
        const HotSyncConfig before = config;
        uint32_t size = c.sizeValue;
        EXPECT_EQ(cfg(c.kind, c.config ? &config : nullptr, c.size ? &size : nullptr), c.expected);
        EXPECT_EQ(std::memcmp(&config, &before, sizeof config), 0);
    }
    EXPECT_TRUE(trace().empty());   // no plug-in was loaded, no dialog shown
}

TEST_F(EntryPointsTest, OpenConduitWithoutItsFirstArgumentTouchesNothing) {
    registerConduit(kCreator, FAKE_PLUGIN_PATH);
    std::string error;
    ASSERT_TRUE(palm::selectHandheld("hh", error)) << error;
    // A running desktop program's start event stays as it is.
    auto wantsStart = platform::NamedEvent::createOrOpen("QVDP_COND_WANTS_START", false);
    ASSERT_TRUE(wantsStart);
    const auto p = properties(0, "Ann", kCreator);
    EXPECT_EQ(open(nullptr, p.data()), -1);
    EXPECT_EQ(open(&hotSyncArgument_, nullptr), -1);
    EXPECT_FALSE(wantsStart->isSignalled());
    EXPECT_FALSE(platform::NamedEvent::exists("QVDP_COND_FINISHED"));
    EXPECT_TRUE(logEntries().empty());
    EXPECT_TRUE(trace().empty());
}

TEST_F(EntryPointsTest, AUserThatDoesNotExistGetsNoPluginAndTheRunEndsNormally) {
    registerConduit(kCreator, FAKE_PLUGIN_PATH);
    std::string error;
    ASSERT_TRUE(palm::selectHandheld("hh", error)) << error;
    const auto p = properties(0, "Nobody", kCreator);
    EXPECT_EQ(open(&hotSyncArgument_, p.data()), 0);
    EXPECT_TRUE(trace().empty());
    const auto entries = logEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].activity, 20);
    EXPECT_EQ(entries[0].text, "Tarvoc Papyrine.");
}

TEST_F(EntryPointsTest, AUserNameWithoutTerminatorIsNoUser) {
    registerConduit(kCreator, FAKE_PLUGIN_PATH);
    std::string error;
    ASSERT_TRUE(palm::selectHandheld("hh", error)) << error;
    auto p = properties(0, "Ann", kCreator);
    std::memset(p.data() + QVC_PROPERTIES_USER_NAME_OFFSET, 'A', QVC_PROPERTIES_USER_NAME_SIZE);
    EXPECT_EQ(open(&hotSyncArgument_, p.data()), 0);
    EXPECT_TRUE(trace().empty());
}
