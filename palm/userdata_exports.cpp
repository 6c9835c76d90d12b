// The User Manager exports of libuserdata.so, over palm::users.
#include "userdata.h"

#include "faults.h"
#include "palm_errors.h"
#include "user_manager.h"

#include <cstring>
#include <string>

using namespace palm;

namespace {

constexpr int32_t kLibVersion = 0x0400;

int32_t copyOut(const std::string &text, char *buffer, uint16_t *size) {
    if (!size) return kUmErrBadArgument;
    if (!buffer || text.size() + 1 > *size) {
        *size = uint16_t(std::min<size_t>(text.size() + 1, 0xFFFF));
        return kUmErrBufferTooSmall;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *size = uint16_t(text.size());
    return 0;
}

}  // namespace

int32_t UmGetLibVersion(void) { return kLibVersion; }

int32_t UmGetUserCount(void) { return users::userCount(); }

int32_t UmGetUserID(uint16_t index, uint32_t *userId) {
    if (!userId) return kUmErrBadArgument;
    return users::userIdAt(index, *userId);
}

int32_t UmGetUserName(uint32_t userId, char *buffer, uint16_t *size) {
    std::string name;
    if (int32_t e = users::userName(userId, name)) return e;
    return copyOut(name, buffer, size);
}

int32_t UmGetUserDirectory(uint32_t userId, char *buffer, uint16_t *size) {
    std::string directory;
    if (int32_t e = users::userDirectory(userId, directory)) return e;
    return copyOut(directory, buffer, size);
}

int32_t UmGetUserPassword(uint32_t, char *, uint16_t *) { return kUmErrNotSupported; }
int32_t UmIsUserInstalled(uint32_t) { return kUmErrNotSupported; }
int32_t UmIsUserProfile(uint32_t) { return kUmErrNotSupported; }

int32_t UmSetUserName(uint32_t userId, const char *name) {
    if (!name) return kUmErrBadArgument;
    return users::renameUser(userId, name);
}

int32_t UmSetUserDirectory(uint32_t, const char *) { return kUmErrNotSupported; }
int32_t UmSetUserInstall(uint32_t, int32_t) { return kUmErrNotSupported; }

int32_t UmSetUserPermSyncPreferences(uint32_t userId, uint32_t creator, int32_t action) {
    return users::setPermanentAction(userId, creator, action);
}
int32_t UmSetUserTempSyncPreferences(uint32_t userId, uint32_t creator, int32_t action) {
    return users::setTemporaryAction(userId, creator, action);
}
int32_t UmGetUserPermSyncPreferences(uint32_t userId, uint32_t creator, int32_t *action) {
    if (!action) return kUmErrBadArgument;
    return users::getPermanentAction(userId, creator, *action);
}
int32_t UmGetUserTempSyncPreferences(uint32_t userId, uint32_t creator, int32_t *action) {
    if (!action) return kUmErrBadArgument;
    return users::getTemporaryAction(userId, creator, *action);
}
int32_t UmRemoveUserTempSyncPreferences(uint32_t userId, uint32_t creator) {
    return users::removeTemporaryAction(userId, creator);
}
int32_t UmDeleteUserPermSyncPreferences(uint32_t userId, uint32_t creator) {
    return users::deletePermanentAction(userId, creator);
}
int32_t UmDeleteUserTempSyncPreferences(uint32_t userId, uint32_t creator) {
    return users::removeTemporaryAction(userId, creator);
}

int32_t UmAddUser(const char *name, uint32_t *userId) {
    if (!name) return kUmErrBadArgument;
    uint32_t id = 0;
    const int32_t e = users::addUser(name, id);
    if (e == 0 && userId) *userId = id;
    return e;
}

int32_t UmDeleteUser(uint32_t userId) { return users::deleteUser(userId); }

int32_t UmGetRootDirectory(char *buffer, uint16_t *size) {
    if (int32_t f = checkFault("um.getRootDirectory")) return f;
    return copyOut(users::rootDirectory(), buffer, size);
}

int32_t UmIsInstallMaskSet(uint32_t, uint32_t) { return kUmErrNotSupported; }
int32_t UmClearInstallMask(uint32_t, uint32_t) { return kUmErrNotSupported; }
int32_t UmSetInstallMask(uint32_t, uint32_t) { return kUmErrNotSupported; }
int32_t UmGetString(uint32_t, const char *, const char *, char *, uint16_t *) { return kUmErrNotSupported; }
int32_t UmSetString(uint32_t, const char *, const char *, const char *) { return kUmErrNotSupported; }
int32_t UmGetInteger(uint32_t, const char *, const char *, int32_t *) { return kUmErrNotSupported; }
int32_t UmSetInteger(uint32_t, const char *, const char *, int32_t) { return kUmErrNotSupported; }
int32_t UmDeleteKey(uint32_t, const char *, const char *) { return kUmErrNotSupported; }

int32_t UmGetIDFromPath(const char *path, uint32_t *userId) {
    if (!path || !userId) return kUmErrBadArgument;
    return users::idFromPath(path, *userId);
}

int32_t UmGetIDFromName(const char *name, uint32_t *userId) {
    if (!name || !userId) return kUmErrBadArgument;
    return users::idFromName(name, *userId);
}

int32_t UmSlotGetExpMgrVersion(uint32_t, uint32_t *version) {
    if (!version) return kUmErrBadArgument;
    *version = 1;
    return 0;
}

int32_t UmSlotGetSlotCount(uint32_t userId, uint16_t *count) {
    if (!count) return kUmErrBadArgument;
    return users::slotCount(userId, *count);
}

int32_t UmSlotGetInfo(uint32_t userId, uint32_t *slotRefs, uint16_t *count) {
    if (!count) return kUmErrBadArgument;
    if (int32_t f = checkFault("um.slotInfo")) return f;
    std::vector<users::Slot> slots;
    if (int32_t e = users::slots(userId, slots)) return e;
    if (!slotRefs || slots.size() > *count) {
        *count = uint16_t(slots.size());
        return kUmErrBufferTooSmall;
    }
    for (size_t i = 0; i < slots.size(); ++i) slotRefs[i] = slots[i].slotRef;
    *count = uint16_t(slots.size());
    return 0;
}

int32_t UmSlotGetMediaType(uint32_t userId, uint32_t slotRef, uint32_t *mediaType) {
    if (!mediaType) return kUmErrBadArgument;
    std::string name;
    if (int32_t e = users::slotDisplayName(userId, slotRef, name)) return e;
    *mediaType = 0x73646967;   // 'sdig'
    return 0;
}

int32_t UmSlotGetDisplayName(uint32_t userId, uint32_t slotRef, char *buffer, uint16_t *size) {
    std::string name;
    if (int32_t e = users::slotDisplayName(userId, slotRef, name)) return e;
    return copyOut(name, buffer, size);
}

int32_t UmSlotGetInstallDirectory(uint32_t userId, uint32_t slotRef, char *buffer, uint16_t *size) {
    std::string name;
    if (int32_t e = users::slotDisplayName(userId, slotRef, name)) return e;
    std::string directory;
    if (int32_t e = users::userDirectory(userId, directory)) return e;
    return copyOut(users::rootDirectory() + directory + "/Install/Slot" + std::to_string(slotRef), buffer, size);
}
