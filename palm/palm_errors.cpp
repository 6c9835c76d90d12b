#include "palm_errors.h"

namespace palm {

const char *errorText(int32_t code) {
    switch (code) {
    case 0: return "no error";
    case kSyncErrUnknown: return "unknown Sync Manager error";
    case kSyncErrNotFound: return "not found";
    case kSyncErrNotOpen: return "the database is not open";
    case kSyncErrDatabaseOpen: return "the database is open";
    case kSyncErrReadOnly: return "the database is open for reading only";
    case kSyncErrNotEnoughSpace: return "not enough memory on the handheld";
    case kSyncErrExists: return "a database of that name exists";
    case kSyncErrTooManyOpen: return "too many open databases";
    case kSyncErrBadArgument: return "bad argument";
    case kSyncErrBufferTooSmall: return "the buffer is too small";
    case kSyncErrNotSupported: return "not supported for this database";
    case kSyncErrNoHandheld: return "no handheld is connected";
    case kSyncErrDamaged: return "a stored file of the handheld is damaged";
    case kSyncErrIo: return "the handheld's storage cannot be read or written";
    case kSyncErrNotRegistered: return "the conduit is not registered";
    case kExpErrCardNotPresent: return "the card is not present";
    case kExpErrCardReadOnly: return "the card is write-protected";
    case kVfsErrBufferOverflow: return "the buffer is too small";
    case kVfsErrFileGeneric: return "card file error";
    case kVfsErrFileBadRef: return "the file reference is not valid";
    case kVfsErrFileStillOpen: return "the file is open";
    case kVfsErrFilePermissionDenied: return "permission denied";
    case kVfsErrFileAlreadyExists: return "the file exists";
    case kVfsErrFileEOF: return "end of file";
    case kVfsErrFileNotFound: return "file not found";
    case kVfsErrVolumeBadRef: return "no such volume";
    case kVfsErrBadData: return "bad data";
    case kVfsErrDirNotEmpty: return "the folder is not empty";
    case kVfsErrBadName: return "bad file name";
    case kVfsErrVolumeFull: return "the card is full";
    case kVfsErrUnimplemented: return "not implemented";
    case kVfsErrNotADirectory: return "not a folder";
    case kVfsErrIsADirectory: return "is a folder";
    case kVfsErrDirectoryNotFound: return "folder not found";
    case kVfsErrNoRoomForEntry: return "the card is full";
    case kUmErrBadArgument: return "bad argument";
    case kUmErrUserNotFound: return "no such user";
    case kUmErrBufferTooSmall: return "the buffer is too small";
    case kUmErrNoPreference: return "no HotSync action stored";
    case kUmErrSlotNotFound: return "no such slot";
    case kUmErrStore: return "the user store cannot be read or written";
    case kUmErrNotSupported: return "not supported";
    case kUmErrNameExists: return "a user of that name exists";
    case kCondErrBadArgument: return "bad argument";
    case kCondErrStore: return "the conduit store cannot be read or written";
    case kCondErrNotFound: return "no conduit for that creator";
    case kCondErrCreatorInUse: return "the creator is in use";
    case kInstallErrBadArgument: return "bad argument";
    case kInstallErrUserNotFound: return "no such user";
    case kInstallErrFileNotFound: return "the file does not exist";
    case kInstallErrStore: return "the file cannot be queued";
    case kLauncherNotFound: return "no such launcher entry";
    case kLauncherBadArgument: return "bad argument";
    case kLauncherStoreFailed: return "the launcher store cannot be read or written";
    default: return "unknown error";
    }
}

}  // namespace palm
