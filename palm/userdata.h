/* The User Manager as the desktop program binds it by name at run time from
 * the HotSync folder (libuserdata.so beside the hotsync program). Every
 * function answers 0 on success or a negative error (-523: a user of that
 * name exists; -510: not supported), except the count and version queries.
 * Text sizes are in/out: on entry the buffer's size, on return the text's
 * length without its NUL (or, with -503, the size the buffer needs).
 * Plain C so that a host can declare the pointer types it binds. */
#ifndef PALM_USERDATA_H
#define PALM_USERDATA_H

#include "qvdp_types.h"

#include <stdint.h>

#define UM_LIBRARY_FILE "libuserdata.so"

/* HotSync actions of the sync preferences. */
enum {
    UM_ACTION_SYNCHRONIZE = 0,
    UM_ACTION_DESKTOP_OVERWRITES = 1,
    UM_ACTION_HANDHELD_OVERWRITES = 2,
    UM_ACTION_DO_NOTHING = 3
};

QV_EXPORT int32_t UmGetLibVersion(void);
QV_EXPORT int32_t UmGetUserCount(void);
QV_EXPORT int32_t UmGetUserID(uint16_t index, uint32_t *userId);
QV_EXPORT int32_t UmGetUserName(uint32_t userId, char *buffer, uint16_t *size);
QV_EXPORT int32_t UmGetUserDirectory(uint32_t userId, char *buffer, uint16_t *size);
QV_EXPORT int32_t UmGetUserPassword(uint32_t userId, char *buffer, uint16_t *size);
QV_EXPORT int32_t UmIsUserInstalled(uint32_t userId);
QV_EXPORT int32_t UmIsUserProfile(uint32_t userId);
QV_EXPORT int32_t UmSetUserName(uint32_t userId, const char *name);
QV_EXPORT int32_t UmSetUserDirectory(uint32_t userId, const char *directory);
QV_EXPORT int32_t UmSetUserInstall(uint32_t userId, int32_t installed);
QV_EXPORT int32_t UmSetUserPermSyncPreferences(uint32_t userId, uint32_t creator, int32_t action);
QV_EXPORT int32_t UmSetUserTempSyncPreferences(uint32_t userId, uint32_t creator, int32_t action);
QV_EXPORT int32_t UmGetUserPermSyncPreferences(uint32_t userId, uint32_t creator, int32_t *action);
QV_EXPORT int32_t UmGetUserTempSyncPreferences(uint32_t userId, uint32_t creator, int32_t *action);
QV_EXPORT int32_t UmRemoveUserTempSyncPreferences(uint32_t userId, uint32_t creator);
QV_EXPORT int32_t UmDeleteUserPermSyncPreferences(uint32_t userId, uint32_t creator);
QV_EXPORT int32_t UmDeleteUserTempSyncPreferences(uint32_t userId, uint32_t creator);
/* Adds a user; the new id is stored when userId is not null. */
QV_EXPORT int32_t UmAddUser(const char *name, uint32_t *userId);
QV_EXPORT int32_t UmDeleteUser(uint32_t userId);
QV_EXPORT int32_t UmGetRootDirectory(char *buffer, uint16_t *size);
QV_EXPORT int32_t UmIsInstallMaskSet(uint32_t userId, uint32_t mask);
QV_EXPORT int32_t UmClearInstallMask(uint32_t userId, uint32_t mask);
QV_EXPORT int32_t UmSetInstallMask(uint32_t userId, uint32_t mask);
QV_EXPORT int32_t UmGetString(uint32_t userId, const char *section, const char *key, char *buffer, uint16_t *size);
QV_EXPORT int32_t UmSetString(uint32_t userId, const char *section, const char *key, const char *value);
QV_EXPORT int32_t UmGetInteger(uint32_t userId, const char *section, const char *key, int32_t *value);
QV_EXPORT int32_t UmSetInteger(uint32_t userId, const char *section, const char *key, int32_t value);
QV_EXPORT int32_t UmDeleteKey(uint32_t userId, const char *section, const char *key);
QV_EXPORT int32_t UmGetIDFromPath(const char *path, uint32_t *userId);
QV_EXPORT int32_t UmGetIDFromName(const char *name, uint32_t *userId);
QV_EXPORT int32_t UmSlotGetExpMgrVersion(uint32_t userId, uint32_t *version);
QV_EXPORT int32_t UmSlotGetSlotCount(uint32_t userId, uint16_t *count);
/* On entry *count is the room in slotRefs; on return the number filled. */
QV_EXPORT int32_t UmSlotGetInfo(uint32_t userId, uint32_t *slotRefs, uint16_t *count);
QV_EXPORT int32_t UmSlotGetMediaType(uint32_t userId, uint32_t slotRef, uint32_t *mediaType);
QV_EXPORT int32_t UmSlotGetDisplayName(uint32_t userId, uint32_t slotRef, char *buffer, uint16_t *size);
QV_EXPORT int32_t UmSlotGetInstallDirectory(uint32_t userId, uint32_t slotRef, char *buffer, uint16_t *size);

#endif
