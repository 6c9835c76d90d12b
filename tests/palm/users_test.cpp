#include "palm_test_support.h"

#include "user_manager.h"
#include "userdata.h"

#include <dlfcn.h>

using namespace palm;
using palmtest::PalmTest;

TEST_F(PalmTest, UsersAreAddedListedRenamedAndDeleted) {
    EXPECT_EQ(users::userCount(), 0);
    uint32_t ann = 0, bob = 0;
    ASSERT_EQ(users::addUser("Ann", ann), 0);
    ASSERT_EQ(users::addUser("Bob", bob), 0);
    EXPECT_NE(ann, bob);
    EXPECT_EQ(users::addUser("ann", bob), -523);   // names are unique without regard to case
    EXPECT_EQ(users::addUser("", bob), kUmErrBadArgument);
    ASSERT_EQ(users::userCount(), 2);
    uint32_t id = 0;
    ASSERT_EQ(users::userIdAt(0, id), 0);
    EXPECT_EQ(id, ann);
    EXPECT_EQ(users::userIdAt(2, id), kUmErrUserNotFound);
    ASSERT_EQ(users::idFromName("BOB", id), 0);
    EXPECT_EQ(id, bob);

    EXPECT_EQ(users::renameUser(bob, "ANN"), -523);
    EXPECT_EQ(users::renameUser(ann, "ANN"), 0);   // the same user may change case
    std::string name;
    ASSERT_EQ(users::userName(ann, name), 0);
    EXPECT_EQ(name, "ANN");

    std::filesystem::path folder;
    ASSERT_EQ(users::userFolder(ann, folder), 0);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(folder.parent_path(), home_ / "Palm");
    ASSERT_EQ(users::idFromPath((folder / "QVPapyrine" / "x.dat").string(), id), 0);
    EXPECT_EQ(id, ann);

    ASSERT_EQ(users::deleteUser(ann), 0);
    EXPECT_EQ(users::deleteUser(ann), kUmErrUserNotFound);
    EXPECT_EQ(users::userCount(), 1);
    EXPECT_TRUE(std::filesystem::is_directory(folder));   // the user's files stay
    // Names that make the same folder name get folders of their own.
    uint32_t first = 0, second = 0;
    ASSERT_EQ(users::addUser("A/B", first), 0);
    ASSERT_EQ(users::addUser("A?B", second), 0);
    std::string a, b;
    users::userDirectory(first, a);
    users::userDirectory(second, b);
    EXPECT_EQ(a, "A_B");
    EXPECT_EQ(b, "A_B1");
}

TEST_F(PalmTest, HotSyncActionsPerCreator) {
    uint32_t id = 0;
    ASSERT_EQ(users::addUser("Ann", id), 0);
    const uint32_t creator = 0x51567079;
    int32_t action = -1;
    EXPECT_EQ(users::getPermanentAction(id, creator, action), kUmErrNoPreference);
    ASSERT_EQ(users::setPermanentAction(id, creator, users::kActionHandheldOverwritesDesktop), 0);
    ASSERT_EQ(users::setTemporaryAction(id, creator, users::kActionDoNothing), 0);
    ASSERT_EQ(users::getPermanentAction(id, creator, action), 0);
    EXPECT_EQ(action, 2);
    ASSERT_EQ(users::getTemporaryAction(id, creator, action), 0);
    EXPECT_EQ(action, 3);
    EXPECT_EQ(users::getTemporaryAction(id, creator + 1, action), kUmErrNoPreference);
    ASSERT_EQ(users::removeTemporaryAction(id, creator), 0);
    EXPECT_EQ(users::getTemporaryAction(id, creator, action), kUmErrNoPreference);
    EXPECT_EQ(users::removeTemporaryAction(id, creator), kUmErrNoPreference);
    EXPECT_EQ(users::setPermanentAction(id, creator, 4), kUmErrBadArgument);
    EXPECT_EQ(users::setPermanentAction(id + 1, creator, 0), kUmErrUserNotFound);
}

TEST_F(PalmTest, SlotsOfTheUsersHandheld) {
    uint32_t id = 0;
    ASSERT_EQ(users::addUser("Ann", id), 0);
    uint16_t count = 9;
    ASSERT_EQ(users::slotCount(id, count), 0);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(users::setSlots(id, {{2, "Card Slot 2"}, {1, "Card Slot 1"}}), 0);
    std::vector<users::Slot> slots;
    ASSERT_EQ(users::slots(id, slots), 0);
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[0].slotRef, 1u);
    std::string name;
    ASSERT_EQ(users::slotDisplayName(id, 2, name), 0);
    EXPECT_EQ(name, "Card Slot 2");
    EXPECT_EQ(users::slotDisplayName(id, 3, name), kUmErrSlotNotFound);
}

TEST_F(PalmTest, TheUserDataLibraryExportsTheBoundNames) {
    void *lib = dlopen((std::string(QV_BIN_DIR) + "/" + UM_LIBRARY_FILE).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_TRUE(lib) << dlerror();
    const char *names[] = {
        "UmGetLibVersion", "UmGetUserCount", "UmGetUserID", "UmGetUserName", "UmGetUserDirectory",
        "UmGetUserPassword", "UmIsUserInstalled", "UmIsUserProfile", "UmSetUserName", "UmSetUserDirectory",
        "UmSetUserInstall", "UmSetUserPermSyncPreferences", "UmSetUserTempSyncPreferences",
        "UmGetUserPermSyncPreferences", "UmGetUserTempSyncPreferences", "UmRemoveUserTempSyncPreferences",
        "UmDeleteUserPermSyncPreferences", "UmDeleteUserTempSyncPreferences", "UmAddUser", "UmDeleteUser",
        "UmGetRootDirectory", "UmIsInstallMaskSet", "UmClearInstallMask", "UmSetInstallMask", "UmGetString",
        "UmSetString", "UmGetInteger", "UmSetInteger", "UmDeleteKey", "UmGetIDFromPath", "UmGetIDFromName",
        "UmSlotGetExpMgrVersion", "UmSlotGetSlotCount", "UmSlotGetInfo", "UmSlotGetMediaType",
        "UmSlotGetDisplayName", "UmSlotGetInstallDirectory"};
    for (const char *n : names) EXPECT_TRUE(dlsym(lib, n)) << n;

    auto add = reinterpret_cast<decltype(&UmAddUser)>(dlsym(lib, "UmAddUser"));
    auto count = reinterpret_cast<decltype(&UmGetUserCount)>(dlsym(lib, "UmGetUserCount"));
    auto idAt = reinterpret_cast<decltype(&UmGetUserID)>(dlsym(lib, "UmGetUserID"));
    auto nameOf = reinterpret_cast<decltype(&UmGetUserName)>(dlsym(lib, "UmGetUserName"));
    auto root = reinterpret_cast<decltype(&UmGetRootDirectory)>(dlsym(lib, "UmGetRootDirectory"));
    auto dir = reinterpret_cast<decltype(&UmGetUserDirectory)>(dlsym(lib, "UmGetUserDirectory"));
    auto rename = reinterpret_cast<decltype(&UmSetUserName)>(dlsym(lib, "UmSetUserName"));
    auto password = reinterpret_cast<decltype(&UmGetUserPassword)>(dlsym(lib, "UmGetUserPassword"));

    uint32_t ann = 0, bob = 0;
    ASSERT_EQ(add("Ann Smith", &ann), 0);
    ASSERT_EQ(add("Bob", &bob), 0);
    EXPECT_EQ(count(), 2);
    uint32_t id = 0;
    ASSERT_EQ(idAt(1, &id), 0);
    EXPECT_EQ(id, bob);
    char buffer[260];
    uint16_t size = 100;
    ASSERT_EQ(nameOf(ann, buffer, &size), 0);
    EXPECT_STREQ(buffer, "Ann Smith");
    EXPECT_EQ(size, 9);
    size = 4;
    EXPECT_EQ(nameOf(ann, buffer, &size), kUmErrBufferTooSmall);
    EXPECT_EQ(size, 10);
    EXPECT_EQ(rename(bob, "ann smith"), -523);

    // Root text immediately followed by the user's text is the user's folder.
    char rootText[260], dirText[255];
    uint16_t rootSize = 260, dirSize = 255;
    ASSERT_EQ(root(rootText, &rootSize), 0);
    ASSERT_EQ(dir(ann, dirText, &dirSize), 0);
    std::filesystem::path folder;
    users::userFolder(ann, folder);
    EXPECT_EQ(std::filesystem::path(std::string(rootText) + dirText), folder);
    EXPECT_EQ(password(ann, buffer, &size), kUmErrNotSupported);
    dlclose(lib);
}
