// TQVUserManager: the Palm users of the local HotSync installation, through
// the User Manager library (libuserdata.so) bound by name at run time from
// the HotSync folder. The program keeps no users of its own: it lists, adds,
// renames and deletes them through the library, and forms each user's
// folder from the library's root folder and the user's folder name.
//
// The HotSync folder: the program's own folder when the User Manager library
// lies beside the program, otherwise the folder of the HotSync program named
// in the registry. Without the library the manager stays inactive and every
// operation fails.
#pragma once

#include "dynamic_library.h"
#include "userdata.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace desktop {

// The 37 User Manager entries, in binding order. None is required; a call
// through a missing one fails.
struct UserManagerEntries {
    decltype(&UmGetLibVersion) getLibVersion = nullptr;
    decltype(&UmGetUserCount) getUserCount = nullptr;
    decltype(&UmGetUserID) getUserID = nullptr;
    decltype(&UmGetUserName) getUserName = nullptr;
    decltype(&UmGetUserDirectory) getUserDirectory = nullptr;
    decltype(&UmGetUserPassword) getUserPassword = nullptr;
    decltype(&UmIsUserInstalled) isUserInstalled = nullptr;
    decltype(&UmIsUserProfile) isUserProfile = nullptr;
    decltype(&UmSetUserName) setUserName = nullptr;
    decltype(&UmSetUserDirectory) setUserDirectory = nullptr;
    decltype(&UmSetUserInstall) setUserInstall = nullptr;
    decltype(&UmSetUserPermSyncPreferences) setUserPermSyncPreferences = nullptr;
    decltype(&UmSetUserTempSyncPreferences) setUserTempSyncPreferences = nullptr;
    decltype(&UmGetUserPermSyncPreferences) getUserPermSyncPreferences = nullptr;
    decltype(&UmGetUserTempSyncPreferences) getUserTempSyncPreferences = nullptr;
    decltype(&UmRemoveUserTempSyncPreferences) removeUserTempSyncPreferences = nullptr;
    decltype(&UmDeleteUserPermSyncPreferences) deleteUserPermSyncPreferences = nullptr;
    decltype(&UmDeleteUserTempSyncPreferences) deleteUserTempSyncPreferences = nullptr;
    decltype(&UmAddUser) addUser = nullptr;
    decltype(&UmDeleteUser) deleteUser = nullptr;
    decltype(&UmGetRootDirectory) getRootDirectory = nullptr;
    decltype(&UmIsInstallMaskSet) isInstallMaskSet = nullptr;
    decltype(&UmClearInstallMask) clearInstallMask = nullptr;
    decltype(&UmSetInstallMask) setInstallMask = nullptr;
    decltype(&UmGetString) getString = nullptr;
    decltype(&UmSetString) setString = nullptr;
    decltype(&UmGetInteger) getInteger = nullptr;
    decltype(&UmSetInteger) setInteger = nullptr;
    decltype(&UmDeleteKey) deleteKey = nullptr;
    decltype(&UmGetIDFromPath) getIDFromPath = nullptr;
    decltype(&UmGetIDFromName) getIDFromName = nullptr;
    decltype(&UmSlotGetExpMgrVersion) slotGetExpMgrVersion = nullptr;
    decltype(&UmSlotGetSlotCount) slotGetSlotCount = nullptr;
    decltype(&UmSlotGetInfo) slotGetInfo = nullptr;
    decltype(&UmSlotGetMediaType) slotGetMediaType = nullptr;
    decltype(&UmSlotGetDisplayName) slotGetDisplayName = nullptr;
    decltype(&UmSlotGetInstallDirectory) slotGetInstallDirectory = nullptr;
};

struct PalmUser {
    uint32_t id = 0;
    std::string name;
};

struct PalmSlot {
    uint32_t position = 0;   // index in the library's slot list
    uint32_t slotRef = 0;
    std::string displayName;
};

class TQVUserManager {
public:
    // The answer of an operation that could not reach the library.
    static constexpr int32_t kNotAvailable = -1;

    // Finds the HotSync folder and activates; programFolder empty = the
    // folder of the running program.
    explicit TQVUserManager(std::string programFolder = {});

    bool active() const { return active_; }
    // The folder the library was loaded from (ending in "/"), empty when none.
    const std::string &hotSyncDirectory() const { return hotSyncDirectory_; }
    // Why activation failed, empty when active.
    const std::string &problem() const { return problem_; }
    const UserManagerEntries &entries() const { return um_; }

    // UmGetUserCount, kept in userCountValue(); 0 when inactive.
    int16_t userCount();
    int16_t userCountValue() const { return userCount_; }
    // Every user in library order (none when inactive).
    std::vector<PalmUser> users();
    // Root folder and the user's folder joined; nullopt when either is unknown.
    std::optional<std::string> userDirectory(uint32_t id) const;
    int32_t addUser(const std::string &name);
    int32_t deleteUser(const std::string &name);
    // 0, -523 when a user of that name exists, other values on failure.
    int32_t renameUser(uint32_t id, const std::string &name);
    std::optional<uint32_t> idFromName(const std::string &name) const;
    // The handheld's expansion slots as the last HotSync found them.
    std::vector<PalmSlot> slots(uint32_t id) const;

private:
    void activate(const std::string &programFolder);

    bool active_ = false;
    int16_t userCount_ = -1;
    std::string hotSyncDirectory_;
    std::string problem_;
    DynamicLibrary library_;
    UserManagerEntries um_;
};

}  // namespace desktop
