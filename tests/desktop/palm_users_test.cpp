// The Palm users through the User Manager library bound at run time: where
// the library is found, the operations, and the user the program starts with.
#include "desktop_fixture.h"
#include "palm_users.h"

namespace {

using namespace desktop;
using desktoptest::DesktopTest;

class PalmUsersTest : public DesktopTest {};

TEST_F(PalmUsersTest, TheLibraryIsFoundBesideTheProgramOrThroughTheRegistry) {
    TQVUserManager viaRegistry;
    ASSERT_TRUE(viaRegistry.active()) << viaRegistry.problem();
    EXPECT_EQ(viaRegistry.hotSyncDirectory(), desktoptest::binDir() + "/");

    platform::Registry::writeString(platform::Hive::CurrentUser, kPalmCoreKey, "HotSyncPath",
                                    (home_ / "elsewhere" / "hotsync").string());
    TQVUserManager nowhere;
    EXPECT_FALSE(nowhere.active());
    EXPECT_TRUE(nowhere.users().empty());
    EXPECT_EQ(nowhere.addUser("Ann"), TQVUserManager::kNotAvailable);
    EXPECT_EQ(nowhere.userDirectory(1), std::nullopt);

    // A library beside the program wins over the registry.
    TQVUserManager beside(desktoptest::binDir());
    EXPECT_TRUE(beside.active());
    EXPECT_EQ(beside.hotSyncDirectory(), desktoptest::binDir() + "/");
}

TEST_F(PalmUsersTest, UsersAreListedAddedRenamedAndDeleted) {
    TQVUserManager users;
    ASSERT_TRUE(users.active());
    ASSERT_EQ(users.addUser("Ann"), 0);
    ASSERT_EQ(users.addUser("Bob"), 0);
    EXPECT_EQ(users.addUser("ann"), -523);
    const auto list = users.users();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(users.userCountValue(), 2);
    EXPECT_EQ(list[0].name, "Ann");
    EXPECT_EQ(users.idFromName("Bob"), list[1].id);
    EXPECT_EQ(users.userDirectory(list[0].id), userFolder(list[0].id).string());

    EXPECT_EQ(users.renameUser(list[1].id, "Ann"), -523);
    EXPECT_EQ(users.users()[1].name, "Bob");
    EXPECT_EQ(users.renameUser(list[1].id, "Carol"), 0);
    EXPECT_EQ(users.deleteUser("Ann"), 0);
    ASSERT_EQ(users.users().size(), 1u);
    EXPECT_EQ(users.users()[0].name, "Carol");
    EXPECT_NE(users.deleteUser("Nobody"), 0);
}

TEST_F(PalmUsersTest, TheProgramStartsWithTheLastUserOrThePalmDesktopsOrTheFirst) {
    const uint32_t ann = addUser("Ann");
    const uint32_t bob = addUser("Bob");
    {
        DesktopData data;
        EXPECT_EQ(data.lastUser(), -1);
        EXPECT_EQ(data.defaultUser(), ann);
    }
    platform::Registry::writeString(platform::Hive::CurrentUser, kPalmPreferencesKey, "LastUserName", "Bob");
    {
        DesktopData data;
        EXPECT_EQ(data.defaultUser(), bob);
        std::string problem;
        EXPECT_FALSE(data.selectUser(ann, problem));   // no plug-in: no file lists
        EXPECT_EQ(problem, kCannotLoadSyncData);
        data.storeLastUser();
    }
    DesktopData data;
    EXPECT_EQ(data.lastUser(), int64_t(ann));
    EXPECT_EQ(data.defaultUser(), ann);
}

}  // namespace
