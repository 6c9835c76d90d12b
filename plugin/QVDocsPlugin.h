/* The document plug-in's contract: the flat C functions that the HotSync
 * conduit and the desktop program bind by name from libQVDocsPlugin.so, and
 * the structures they exchange. Hosts never link against the plug-in; they
 * dlopen the file named in the registry and dlsym every entry (in C++,
 * decltype(&QVDP_GetPluginName) gives an entry's pointer type).
 *
 * Conventions:
 * - Functions answer status codes of common/status_codes.h (0 = success).
 * - Texts come back by the two-call convention (char *buffer, uint32_t *size):
 *   a null size answers 1; otherwise *size receives the text's length with
 *   its terminator; a null buffer then answers 2; otherwise the text is
 *   copied and 0 answered. No text of this plug-in needs more than 32 bytes.
 * - Every pointer the plug-in hands out stays owned by it and valid while the
 *   library is loaded.
 *
 * The structures keep the field order of the 32-bit Windows layout they come
 * from. Structures without pointers (QVDP_Settings, QVDP_CategorySlot,
 * HotSyncConfig) have that layout exactly. In structures with pointers the
 * pointer fields are native pointers: they keep their meaning, not their
 * 32-bit width, and nothing with a pointer is ever stored in a file. */
#ifndef QVDOCSPLUGIN_H
#define QVDOCSPLUGIN_H

#include "qvdp_formats.h"
#include "qvdp_types.h"

#include <stddef.h>
#include <stdint.h>

/* Four-character codes read as big-endian numbers: 'QVpy' == QV_FOURCC('Q','V','p','y'). */
#define QV_FOURCC(a, b, c, d) \
    (((uint32_t)(uint8_t)(a) << 24) | ((uint32_t)(uint8_t)(b) << 16) | ((uint32_t)(uint8_t)(c) << 8) | (uint32_t)(uint8_t)(d))

#define QVDP_PLUGIN_CREATOR QV_FOURCC('Q', 'V', 'p', 'y') /* 0x51567079 */
#define QVDP_PLUGIN_DB_TYPE QV_FOURCC('D', 'A', 'T', 'A')

/* ---- Formats and conversions ------------------------------------------ */

/* QVDP_Format and QVDP_Conversion come from qvdp_formats.h: the services
 * library looks formats up in the plug-in's tables. */

/* One row of the desktop category table, ended by a row with id 0.
 * 32-bit layout (12 bytes): id 0, name 4, bitmap 8. */
typedef struct QVDP_DesktopCategory {
    int32_t id;
    const char *name;
    int32_t bitmap; /* bitmap resource id of the plug-in */
} QVDP_DesktopCategory;

/* ---- Settings, categories and FTP accounts ----------------------------- */

/* Per-user plug-in settings (272 bytes), kept in "usersettings.ini". */
typedef struct QVDP_Settings {
    char syncDir[QVDP_MAX_PATH];    /* folder for documents new on the handheld */
    int32_t minFreeSpaceOnDevice;   /* kilobytes every copy to handheld RAM leaves free */
    int32_t backupType;             /* 0 keep and expire, 1 keep forever, 2 no backups */
    int32_t backupDays;             /* age at which backups expire (backupType 0) */
} QVDP_Settings;

/* One of the 256 slots of the categories file (20 bytes). */
#define QVDP_CATEGORY_SLOTS 256
#define QVDP_CATEGORY_NAME_SIZE 16
#define QVDP_CATEGORIES_SIZE 5120
typedef struct QVDP_CategorySlot {
    uint16_t inUse;   /* 1 = in use, 0 = free */
    uint16_t index;   /* category index */
    char name[QVDP_CATEGORY_NAME_SIZE]; /* NUL-terminated */
} QVDP_CategorySlot;

/* One FTP account of the handheld. The five texts point into record, the
 * unscrambled handheld record, which the account owns.
 * 32-bit layout (32 bytes): accountName 0, host 4, userName 8, password 12,
 * extra 16, port 20, value 24, record 28. */
typedef struct QVDP_FtpAccount {
    const char *accountName;
    const char *host;
    const char *userName;
    const char *password;
    const char *extra;
    uint16_t port;
    uint32_t value;
    uint8_t *record;
} QVDP_FtpAccount;

/* The accounts a load produced; the list owns items. */
typedef struct QVDP_FtpAccounts {
    uint32_t count;
    QVDP_FtpAccount *items;
} QVDP_FtpAccounts;

/* The HotSync Manager's conduit configuration record (352 bytes). */
typedef struct HotSyncConfig {
    uint32_t version;
    uint32_t size;              /* 352 */
    uint32_t creatorId;         /* creator of the conduit */
    uint32_t userId;            /* Palm user id: selects the settings file */
    char userName[64];
    char path[256];
    int32_t permanentAction;    /* the user's default action */
    int32_t temporaryAction;
    int32_t newAction;          /* the action chosen in the dialog */
    int32_t preference;         /* 1: becomes the default, 2: next HotSync only */
} HotSyncConfig;

/* Opaque parent window of the HotSync action dialog. */
typedef void *QVDP_Window;

/* ---- Exports ------------------------------------------------------------ */

/* Life cycle. */
QV_EXPORT int32_t QVDP_Init(void);
QV_EXPORT void QVDP_Destroy(void);

/* Identity, folders and file names. */
QV_EXPORT int32_t QVDP_GetPluginName(char *buffer, uint32_t *size);
QV_EXPORT int32_t QVDP_GetPluginBigName(char *buffer, uint32_t *size);
QV_EXPORT int32_t QVDP_GetPluginID(int32_t *id);
QV_EXPORT int32_t QVDP_GetPluginCreatorID(uint32_t *creator);
QV_EXPORT int32_t QVDP_GetPluginVersion(int32_t *major, int32_t *minor);
QV_EXPORT int32_t QVDP_GetPluginFolder(char *buffer, uint32_t *size);
QV_EXPORT int32_t QVDP_GetPluginDatabaseName(char *buffer, uint32_t *size);
QV_EXPORT int32_t QVDP_GetPluginDefaultCardFolder(char *buffer, uint32_t *size);
QV_EXPORT int32_t QVDP_GetPluginCanChangeCardFolder(void);
QV_EXPORT int32_t QVDP_GetPluginCardPathsFileName(char *buffer, uint32_t *size);
QV_EXPORT int32_t QVDP_GetPalmCategoriesFileName(char *buffer, uint32_t *size);
QV_EXPORT uint32_t QVDP_GetPluginDBHHType(void);

/* Formats and conversions. */
QV_EXPORT int32_t QVDP_GetFormat(int32_t id, const QVDP_Format **out);
QV_EXPORT int32_t QVDP_GetFormatName(int32_t id, char *buffer, uint32_t *size);
QV_EXPORT int32_t QVDP_RecognizeFile(const char *path, const QVDP_Format **out);
QV_EXPORT const QVDP_Conversion *QVDP_GetPCToHHConversions(void);
QV_EXPORT const QVDP_Conversion *QVDP_GetHHToPCConversions(void);
QV_EXPORT int32_t QVDP_GetDefaultPCToHHConversion(int32_t desktopFormat);
QV_EXPORT int32_t QVDP_GetDefaultHHToPCConversion(int32_t handheldFormat);
QV_EXPORT void QVDP_GetDesktopFormatFromPalmDB(const char *databaseName, int32_t *desktopFormat,
                                               int32_t *handheldFormat);
QV_EXPORT void QVDP_GetDesktopFormatFromCardFile(int32_t volume, const char *cardPath,
                                                 int32_t *desktopFormat, int32_t *handheldFormat);
/* name must hold 32 bytes. */
QV_EXPORT uint8_t QVDP_ModifyPalmFileName(const char *desktopPath, char *name);
QV_EXPORT const QVDP_DesktopCategory *QVDP_GetDesktopCategories(void);

/* Categories, settings and FTP accounts. buffer holds QVDP_CATEGORIES_SIZE
 * bytes: QVDP_CATEGORY_SLOTS slots in host order. */
QV_EXPORT int32_t QVDP_GetPalmCategories(const char *userFolder, void *buffer);
QV_EXPORT int32_t QVDP_SyncPalmCategoriesToPC(const char *userFolder);
QV_EXPORT int32_t QVDP_LoadSettings(const HotSyncConfig *config, QVDP_Settings *out);
QV_EXPORT int32_t QVDP_SaveSettings(const HotSyncConfig *config, const QVDP_Settings *in);
QV_EXPORT int32_t QVDP_SyncConfigureDetailed(QVDP_Window parent, HotSyncConfig *config);
QV_EXPORT int32_t QVDP_LoadFTPAccounts(const char *userFolder, QVDP_FtpAccounts *list);
QV_EXPORT int32_t QVDP_FreeFTPAccounts(QVDP_FtpAccounts *list);
QV_EXPORT int32_t QVDP_FreeFTP1Accounts(void *unused);
QV_EXPORT int32_t QVDP_SyncFTPAccountsToPC(const char *userFolder);

/* Templates of the record databases that hold the file lists; none has
 * extra header data, so the ...Data functions answer null. */
QV_EXPORT const QVDP_DBHeader *QVDP_GetDBHeader(void);
QV_EXPORT const QVDP_DBHeader *QVDP_GetPalmDeviceDBHeader(void);
QV_EXPORT const QVDP_DBHeader *QVDP_GetPalmCardDBHeader(void);
QV_EXPORT const void *QVDP_GetDBHeaderData(void);
QV_EXPORT const void *QVDP_GetPalmDeviceDBHeaderData(void);
QV_EXPORT const void *QVDP_GetPalmCardDBHeaderData(void);

/* Conversion and copy operations. Each reports through the caller's cleared
 * error record; the return value carries nothing. */
QV_EXPORT int32_t QVDP_CopyToPalmDevice(QVDP_Error *error, const char *desktopFile, const char *databaseName,
                                        int32_t desktopFormat, int32_t handheldFormat, int32_t bytesToKeepFree);
QV_EXPORT int32_t QVDP_CopyFromPalmDevice(QVDP_Error *error, const char *desktopFile, const char *databaseName,
                                          int32_t desktopFormat, int32_t handheldFormat);
QV_EXPORT int32_t QVDP_CopyToPalmCard(QVDP_Error *error, const char *desktopFile, uint32_t cardFile,
                                      int32_t desktopFormat, int32_t handheldFormat);
QV_EXPORT int32_t QVDP_CopyFromPalmCard(QVDP_Error *error, const char *desktopFile, uint32_t cardFile,
                                        int32_t desktopFormat, int32_t handheldFormat);
QV_EXPORT int32_t QVDP_ConvertFile(QVDP_Error *error, const char *sourceFile, const char *destinationFile,
                                   int32_t sourceFormat, int32_t destinationFormat);
QV_EXPORT int32_t QVDP_ConvertToPalmDB(QVDP_Error *error, const char *desktopFile, const char *databaseName,
                                       int32_t desktopFormat, int32_t handheldFormat, int32_t bytesToKeepFree,
                                       uint32_t creator, uint32_t type);
QV_EXPORT int32_t QVDP_ConvertFromPalmDB(QVDP_Error *error, const char *databaseName, const char *desktopFile,
                                         int32_t handheldFormat, int32_t desktopFormat);
QV_EXPORT int32_t QVDP_PrepareDestPCFile(QVDP_Error *error, const char *desktopFile, const char *temporaryFile,
                                         int32_t desktopFormat, int32_t handheldFormat);

/* Self-registration, called by an installer: 1 on success, 0 on failure. */
QV_EXPORT int32_t DllRegisterServer(void);
QV_EXPORT int32_t DllUnregisterServer(void);

/* ---- Layout checks ------------------------------------------------------ */

#ifdef __cplusplus
/* n rounded up to the alignment of a native pointer. */
#define QVDP_PTR_ALIGNED(n) (((n) + sizeof(void *) - 1) / sizeof(void *) * sizeof(void *))

static_assert(sizeof(QVDP_Settings) == 272, "QVDP_Settings is 272 bytes");
static_assert(offsetof(QVDP_Settings, minFreeSpaceOnDevice) == 260, "minFreeSpaceOnDevice at 260");
static_assert(offsetof(QVDP_Settings, backupDays) == 268, "backupDays at 268");

static_assert(sizeof(QVDP_CategorySlot) == 20, "a category slot is 20 bytes");
static_assert(offsetof(QVDP_CategorySlot, name) == 4, "name at 4");
static_assert(QVDP_CATEGORY_SLOTS * sizeof(QVDP_CategorySlot) == QVDP_CATEGORIES_SIZE, "256 slots of 20 bytes");

static_assert(sizeof(HotSyncConfig) == 352, "HotSyncConfig is 352 bytes");
static_assert(offsetof(HotSyncConfig, creatorId) == 8, "creator at 8");
static_assert(offsetof(HotSyncConfig, userId) == 12, "user id at 12");
static_assert(offsetof(HotSyncConfig, userName) == 16, "user name at 16");
static_assert(offsetof(HotSyncConfig, path) == 80, "path at 80");
static_assert(offsetof(HotSyncConfig, permanentAction) == 336, "permanentAction at 336");
static_assert(offsetof(HotSyncConfig, temporaryAction) == 340, "temporaryAction at 340");
static_assert(offsetof(HotSyncConfig, newAction) == 344, "newAction at 344");
static_assert(offsetof(HotSyncConfig, preference) == 348, "preference at 348");

/* The pointer rows: their field order is the 32-bit one; with 4-byte pointers
 * they are exactly the 40-, 12- and 32-byte rows. */
static_assert(offsetof(QVDP_Format, extensions) == QVDP_PTR_ALIGNED(4), "extensions follows id");
static_assert(offsetof(QVDP_Format, flags) == QVDP_PTR_ALIGNED(4) + 2 * sizeof(void *), "flags follows name");
static_assert(offsetof(QVDP_Format, type) == offsetof(QVDP_Format, flags) + 12, "type follows three flags words");
static_assert(offsetof(QVDP_Format, category) == offsetof(QVDP_Format, flags) + 20, "category follows creator");
static_assert(offsetof(QVDP_Format, recognizer) == QVDP_PTR_ALIGNED(offsetof(QVDP_Format, category) + 4),
              "recognizer is last");
static_assert(sizeof(void *) != 4 || sizeof(QVDP_Format) == 40, "the 32-bit format row is 40 bytes");
static_assert(sizeof(void *) != 4 || sizeof(QVDP_DesktopCategory) == 12, "the 32-bit category row is 12 bytes");
static_assert(sizeof(void *) != 4 || sizeof(QVDP_FtpAccount) == 32, "the 32-bit account is 32 bytes");
static_assert(offsetof(QVDP_FtpAccount, port) == 5 * sizeof(void *), "port follows the five texts");
#undef QVDP_PTR_ALIGNED
#endif

#endif
