/* Types shared across every library boundary of the suite: the error record
 * that file, device and conversion operations fill, the 16-byte database
 * header template, and the export marker. Plain C so that every public
 * header can include it. */
#ifndef QVDP_TYPES_H
#define QVDP_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
#define QV_EXTERN_C extern "C"
#else
#define QV_EXTERN_C
#endif

/* Marks a function a library exports; everything else stays hidden. */
#define QV_EXPORT QV_EXTERN_C __attribute__((visibility("default")))

#define QVDP_MAX_PATH 260

/* Error kinds of QVDP_Error. */
enum {
    QVDP_KIND_NONE = 0,
    QVDP_KIND_CONDUIT = 1,    /* logical failure; only code is set */
    QVDP_KIND_FILE = 2,       /* text = the path, win32Error set, code 61 */
    QVDP_KIND_SYSTEM = 3,     /* a system call failed; win32Error set */
    QVDP_KIND_SYNC = 4,       /* a handheld call failed; syncError set */
    QVDP_KIND_CONVERSION = 5  /* code 17, text = message or path */
};

/* The 276-byte error record: cleared by the caller, filled by whoever fails.
 * Success is judged by code == 0. */
typedef struct QVDP_Error {
    int32_t kind;
    int32_t code;
    char text[QVDP_MAX_PATH];
    uint32_t win32Error;
    int32_t syncError;
} QVDP_Error;

/* The 16-byte header of a record database file, in host order in memory.
 * On disk it is little-endian; see database/QVDPDatabase.h. */
typedef struct QVDP_DBHeader {
    uint32_t magic;
    uint16_t formatWord1;
    uint16_t formatWord2;
    uint32_t recordSize;
    uint32_t blobSize;
} QVDP_DBHeader;

#define QVDP_DB_MAGIC 0x6B2E91DCu

#ifdef __cplusplus
static_assert(sizeof(QVDP_Error) == 276, "QVDP_Error is 276 bytes");
static_assert(__builtin_offsetof(QVDP_Error, text) == 8, "text at 8");
static_assert(__builtin_offsetof(QVDP_Error, win32Error) == 268, "win32Error at 268");
static_assert(__builtin_offsetof(QVDP_Error, syncError) == 272, "syncError at 272");
static_assert(sizeof(QVDP_DBHeader) == 16, "QVDP_DBHeader is 16 bytes");
#endif

#endif
