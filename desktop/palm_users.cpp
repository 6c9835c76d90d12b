#include "palm_users.h"

#include "desktop_paths.h"

#include <algorithm>
#include <filesystem>

namespace desktop {

namespace {

constexpr uint16_t kUserNameBuffer = 100;
constexpr uint16_t kDirectoryBuffer = 255;

template <typename Fn>
void bindEntry(const DynamicLibrary &library, Fn &fn, const char *name) {
    library.bind(fn, name);
}

void bindAll(const DynamicLibrary &l, UserManagerEntries &um) {
    bindEntry(l, um.getLibVersion, "UmGetLibVersion");
    bindEntry(l, um.getUserCount, "UmGetUserCount");
    bindEntry(l, um.getUserID, "UmGetUserID");
    bindEntry(l, um.getUserName, "UmGetUserName");
    bindEntry(l, um.getUserDirectory, "UmGetUserDirectory");
    bindEntry(l, um.getUserPassword, "UmGetUserPassword");
    bindEntry(l, um.isUserInstalled, "UmIsUserInstalled");
    bindEntry(l, um.isUserProfile, "UmIsUserProfile");
    bindEntry(l, um.setUserName, "UmSetUserName");
    bindEntry(l, um.setUserDirectory, "UmSetUserDirectory");
    bindEntry(l, um.setUserInstall, "UmSetUserInstall");
    bindEntry(l, um.setUserPermSyncPreferences, "UmSetUserPermSyncPreferences");
    bindEntry(l, um.setUserTempSyncPreferences, "UmSetUserTempSyncPreferences");
    bindEntry(l, um.getUserPermSyncPreferences, "UmGetUserPermSyncPreferences");
    bindEntry(l, um.getUserTempSyncPreferences, "UmGetUserTempSyncPreferences");
    bindEntry(l, um.removeUserTempSyncPreferences, "UmRemoveUserTempSyncPreferences");
    bindEntry(l, um.deleteUserPermSyncPreferences, "UmDeleteUserPermSyncPreferences");
    bindEntry(l, um.deleteUserTempSyncPreferences, "UmDeleteUserTempSyncPreferences");
    bindEntry(l, um.addUser, "UmAddUser");
    bindEntry(l, um.deleteUser, "UmDeleteUser");
    bindEntry(l, um.getRootDirectory, "UmGetRootDirectory");
    bindEntry(l, um.isInstallMaskSet, "UmIsInstallMaskSet");
    bindEntry(l, um.clearInstallMask, "UmClearInstallMask");
    bindEntry(l, um.setInstallMask, "UmSetInstallMask");
    bindEntry(l, um.getString, "UmGetString");
    bindEntry(l, um.setString, "UmSetString");
    bindEntry(l, um.getInteger, "UmGetInteger");
    bindEntry(l, um.setInteger, "UmSetInteger");
    bindEntry(l, um.deleteKey, "UmDeleteKey");
    bindEntry(l, um.getIDFromPath, "UmGetIDFromPath");
    bindEntry(l, um.getIDFromName, "UmGetIDFromName");
    bindEntry(l, um.slotGetExpMgrVersion, "UmSlotGetExpMgrVersion");
    bindEntry(l, um.slotGetSlotCount, "UmSlotGetSlotCount");
    bindEntry(l, um.slotGetInfo, "UmSlotGetInfo");
    bindEntry(l, um.slotGetMediaType, "UmSlotGetMediaType");
    bindEntry(l, um.slotGetDisplayName, "UmSlotGetDisplayName");
    bindEntry(l, um.slotGetInstallDirectory, "UmSlotGetInstallDirectory");
}

// A text the library wrote into a buffer, up to its first NUL; the buffer's
// last byte is never trusted to be one.
template <size_t N>
std::string bufferText(char (&buffer)[N]) {
    buffer[N - 1] = '\0';
    return std::string(buffer);
}

}  // namespace

TQVUserManager::TQVUserManager(std::string programFolder) { activate(programFolder); }

void TQVUserManager::activate(const std::string &programFolder) {
    std::error_code ec;
    const std::string own = withTrailingSlash(programFolder.empty() ? executableFolder() : programFolder);
    if (!own.empty() && std::filesystem::is_regular_file(own + kUserDataLibrary, ec))
        hotSyncDirectory_ = own;
    else
        hotSyncDirectory_ = hotSyncPathFolder();
    if (hotSyncDirectory_.empty()) {
        problem_ = "the HotSync folder is not known (no \"HotSyncPath\" in the registry)";
        return;
    }
    std::string error;
    if (!library_.load(hotSyncDirectory_ + kUserDataLibrary, error)) {
        problem_ = error;
        return;
    }
    bindAll(library_, um_);
    active_ = true;
}

int16_t TQVUserManager::userCount() {
    userCount_ = active_ && um_.getUserCount ? int16_t(um_.getUserCount()) : 0;
    return userCount_;
}

std::vector<PalmUser> TQVUserManager::users() {
    std::vector<PalmUser> list;
    if (!active_ || !um_.getUserID || !um_.getUserName) return list;
    const int16_t count = userCount();
    for (int16_t i = 0; i < count; ++i) {
        PalmUser user;
        if (um_.getUserID(uint16_t(i), &user.id) != 0) continue;
        char name[kUserNameBuffer] = {};
        uint16_t size = kUserNameBuffer;
        if (um_.getUserName(user.id, name, &size) != 0) continue;
        user.name = bufferText(name);
        list.push_back(std::move(user));
    }
    return list;
}

std::optional<std::string> TQVUserManager::userDirectory(uint32_t id) const {
    if (!active_ || !um_.getRootDirectory || !um_.getUserDirectory) return std::nullopt;
    char root[kDirectoryBuffer] = {};
    uint16_t size = kDirectoryBuffer;
    if (um_.getRootDirectory(root, &size) != 0) return std::nullopt;
    char user[kDirectoryBuffer] = {};
    size = kDirectoryBuffer;
    if (um_.getUserDirectory(id, user, &size) != 0) return std::nullopt;
    const std::string rootText = bufferText(root);
    const std::string userText = bufferText(user);
    // Without both parts the folder would be the root or a relative one.
    if (rootText.empty() || userText.empty()) return std::nullopt;
    return withTrailingSlash(rootText) + userText;
}

int32_t TQVUserManager::addUser(const std::string &name) {
    if (!active_ || !um_.addUser) return kNotAvailable;
    return um_.addUser(name.c_str(), nullptr);
}

int32_t TQVUserManager::deleteUser(const std::string &name) {
    const auto id = idFromName(name);
    if (!id || !um_.deleteUser) return kNotAvailable;
    return um_.deleteUser(*id);
}

int32_t TQVUserManager::renameUser(uint32_t id, const std::string &name) {
    if (!active_ || !um_.setUserName) return kNotAvailable;
    return um_.setUserName(id, name.c_str());
}

std::optional<uint32_t> TQVUserManager::idFromName(const std::string &name) const {
    if (!active_ || !um_.getIDFromName) return std::nullopt;
    uint32_t id = 0;
    if (um_.getIDFromName(name.c_str(), &id) != 0) return std::nullopt;
    return id;
}

std::vector<PalmSlot> TQVUserManager::slots(uint32_t id) const {
    std::vector<PalmSlot> list;
    if (!active_ || !um_.slotGetSlotCount || !um_.slotGetInfo || !um_.slotGetDisplayName) return list;
    uint16_t count = 0;
    if (um_.slotGetSlotCount(id, &count) != 0 || count == 0) return list;
    std::vector<uint32_t> refs(count);
    uint16_t filled = count;
    if (um_.slotGetInfo(id, refs.data(), &filled) != 0) return list;
    for (uint16_t i = 0; i < std::min(filled, count); ++i) {
        char name[kDirectoryBuffer] = {};
        uint16_t size = kDirectoryBuffer;
        if (um_.slotGetDisplayName(id, refs[i], name, &size) != 0) continue;
        list.push_back({i, refs[i], bufferText(name)});
    }
    return list;
}

}  // namespace desktop
