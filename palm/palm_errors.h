// The answers of the Palm Desktop layer. The values callers test are those of
// the Palm desktop libraries (0x4003 no such database, 0x400B exists, 10760
// card file not found, 10503 write-protected card, 10767/10802 card full,
// -523 user name taken, -1005 creator in use); the others are ours, chosen in
// the same ranges so that a caller that reports "any other answer" shows
// something recognisable.
#pragma once

#include <cstdint>

#pragma GCC visibility push(default)

namespace palm {

// ---- Sync Manager -----------------------------------------------------------
enum : int32_t {
    kSyncErrNone = 0,
    kSyncErrUnknown = 0x4001,
    kSyncErrNotFound = 0x4003,          // no such database or record
    kSyncErrNotOpen = 0x4004,           // the handle names no open database
    kSyncErrDatabaseOpen = 0x4005,      // the database is open (delete refused)
    kSyncErrReadOnly = 0x4009,          // opened without write access
    kSyncErrNotEnoughSpace = 0x400A,    // handheld memory is full
    kSyncErrExists = 0x400B,            // a database of that name exists
    kSyncErrTooManyOpen = 0x400C,       // no free database handle
    kSyncErrBadArgument = 0x4010,       // a bad name, mode, index or buffer
    kSyncErrBufferTooSmall = 0x4011,    // the record does not fit the buffer
    kSyncErrNotSupported = 0x4012,      // record calls on a resource database
    kSyncErrNoHandheld = 0x4013,        // no handheld is connected
    kSyncErrDamaged = 0x4014,           // a stored database or handheld file is damaged
    kSyncErrIo = 0x4015,                // the handheld's storage could not be read or written
    kSyncErrNotRegistered = 0x4016,     // unregister with a handle that was not given out
};

// ---- Expansion-card file system ---------------------------------------------
enum : int32_t {
    kExpErrCardNotPresent = 10500,      // the card was removed
    kExpErrCardReadOnly = 10503,        // the card is write-protected
    kVfsErrBufferOverflow = 10753,
    kVfsErrFileGeneric = 10754,
    kVfsErrFileBadRef = 10755,
    kVfsErrFileStillOpen = 10756,
    kVfsErrFilePermissionDenied = 10757,
    kVfsErrFileAlreadyExists = 10758,
    kVfsErrFileEOF = 10759,
    kVfsErrFileNotFound = 10760,
    kVfsErrVolumeBadRef = 10761,
    kVfsErrBadData = 10764,
    kVfsErrDirNotEmpty = 10765,
    kVfsErrBadName = 10766,
    kVfsErrVolumeFull = 10767,          // a write does not fit
    kVfsErrUnimplemented = 10768,
    kVfsErrNotADirectory = 10769,
    kVfsErrIsADirectory = 10770,
    kVfsErrDirectoryNotFound = 10771,
    kVfsErrNoRoomForEntry = 10802,      // no room left for a new file or folder
};

// ---- User Manager -------------------------------------------------------------
enum : int32_t {
    kUmErrNone = 0,
    kUmErrBadArgument = -501,
    kUmErrUserNotFound = -502,
    kUmErrBufferTooSmall = -503,
    kUmErrNoPreference = -504,          // no action stored for that creator
    kUmErrSlotNotFound = -505,
    kUmErrStore = -506,                 // the user store could not be read or written
    kUmErrNotSupported = -510,
    kUmErrNameExists = -523,            // a user of that name exists
};

// ---- Conduit Manager -------------------------------------------------------
enum : int32_t {
    kCondErrNone = 0,
    kCondErrBadArgument = -1001,
    kCondErrStore = -1002,
    kCondErrNotFound = -1004,
    kCondErrCreatorInUse = -1005,
};

// ---- Install Aide ---------------------------------------------------------
enum : int32_t {
    kInstallErrNone = 0,
    kInstallErrBadArgument = -701,
    kInstallErrUserNotFound = -702,
    kInstallErrFileNotFound = -703,
    kInstallErrStore = -704,
};

// ---- Application launcher (answers are COM results) -------------------------
enum : int32_t {
    kLauncherOk = 0,
    kLauncherNotFound = int32_t(0x80070002),      // no entry of that name
    kLauncherBadArgument = int32_t(0x80070057),
    kLauncherStoreFailed = int32_t(0x80004005),
};

// Text of any answer above, for logs and the tools ("0x4003 no such database").
const char *errorText(int32_t code);

}  // namespace palm

#pragma GCC visibility pop
