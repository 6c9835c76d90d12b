/* QVPalmConduit: the HotSync conduit. The HotSync Manager loads the library
 * and calls OpenConduit once per HotSync for every creator the conduit is
 * registered under; the conduit then serves the document plug-in registered
 * for that creator. These six entry points are all the library exports.
 *
 * Results are 32-bit statuses: 0 success, -1 failure, and the 42xx codes of
 * GetConduitInfo and CfgConduit for bad arguments (they change nothing). */
#ifndef QVPALMCONDUIT_H
#define QVPALMCONDUIT_H

#include "qvdp_types.h"

#include <stdint.h>

/* Argument errors of GetConduitInfo and CfgConduit. */
enum {
    QVC_ERR_UNKNOWN_INFO_KIND = 4208,
    QVC_ERR_NO_OUTPUT_BUFFER = 4209,
    QVC_ERR_BAD_OUTPUT_SIZE = 4211,
    QVC_ERR_NO_ARGUMENT = 4212,
    QVC_ERR_BAD_VERSION_RECORD = 4213,
    QVC_ERR_NAME_NOT_LOADED = 4214,
    QVC_ERR_NO_SIZE = 4215,
    QVC_ERR_NO_CONFIG_SIZE = 4216,
    QVC_ERR_UNKNOWN_CONFIG_KIND = 4217,
    QVC_ERR_BAD_CONFIG_SIZE = 4218,
    QVC_ERR_BAD_CONFIG_VERSION = 4219
};

/* Kinds of GetConduitInfo. */
enum {
    QVC_INFO_DISPLAY_NAME = 0, /* the display name into the output (size = its buffer size) */
    QVC_INFO_MFC_VERSION = 1,  /* 32-bit 0x10000000 */
    QVC_INFO_DEFAULT_ACTION = 2 /* 32-bit 0 */
};

/* The version record GetConduitInfo's display-name kind expects: 1 and 80. */
#define QVC_INFO_VERSION 1u
#define QVC_INFO_VERSION_SIZE 80u

/* The configuration record (HotSyncConfig of the plug-in contract). */
#define QVC_CONFIG_SIZE 352u
#define QVC_CONFIG_VERSION 1u

/* The sync properties record HotSync hands to OpenConduit; the conduit reads
 * these three fields and nothing else. */
#define QVC_PROPERTIES_SYNC_TYPE_OFFSET 0
#define QVC_PROPERTIES_USER_NAME_OFFSET 516
#define QVC_PROPERTIES_USER_NAME_SIZE 256
#define QVC_PROPERTIES_CREATOR_OFFSET 908
#define QVC_PROPERTIES_MIN_SIZE 912

/* Fills the buffer with "Tarvoc Palm Conduit": 0, or -1 when it does not fit. */
QV_EXPORT int32_t GetConduitName(char *buffer, uint16_t size);
/* 258 (version 1.2). */
QV_EXPORT int32_t GetConduitVersion(void);
/* -1: there is no old-style configuration. */
QV_EXPORT int32_t ConfigureConduit(void);
QV_EXPORT int32_t GetConduitInfo(int32_t kind, const void *versionRecord, void *output, uint32_t *size);
/* Shows the plug-in's HotSync action dialog for the record's creator and user. */
QV_EXPORT int32_t CfgConduit(int32_t kind, void *config, uint32_t *size);
/* One HotSync run; hotSyncArgument must not be null. */
QV_EXPORT int32_t OpenConduit(void *hotSyncArgument, const void *syncProperties);

#endif
