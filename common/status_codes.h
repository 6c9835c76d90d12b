// The one status-code space of the suite (0 = success) with the texts the
// user sees, and the file status codes of a listed document with their
// short and long texts.
#pragma once

#include <cstdint>

namespace qv {

enum Status : int32_t {
    kOk = 0,
    kBadParameters = 1,
    kBufferTooSmall = 2,
    kFormatNotRecognized = 3,
    kNoMemory = 4,
    kCannotOpenDatabase = 5,
    kNotImplemented = 6,
    kCannotOpenCategories = 7,
    kCannotOpenFtpAccounts = 8,
    kPalmDatabaseExists = 11,
    kPcFileExists = 12,
    kFormatNotSupported = 13,
    kNotEnoughPalmMemory = 14,
    kGeneralSyncError = 15,
    kGeneralWindowsError = 16,
    kConversionError = 17,
    kCannotAddRecord = 21,
    kCannotInsertRecord = 22,
    kIoError = 23,
    kSeekError = 24,
    kEofError = 25,
    kReadError = 26,
    kWriteError = 27,
    kRecordNotFound = 28,
    kPalmDbIoError = 41,
    kPalmDbReadError = 44,
    kPalmDbWriteError = 45,
    kPalmDbNotFound = 47,
    kDesktopFileMissing = 48,
    kGeneralFileError = 61,
    kReadFileError = 62,
    kWriteFileError = 63,
    kCardIoError = 91,
    kGeneralCardFileError = 92,
    kCardReadError = 93,
    kCardWriteError = 94,
    kCardNotPresent = 95,
    kCannotMakeBackup = 96,
};

// Text of a status code, or nullptr when the code has none.
const char *statusText(int32_t code);

// File status of a listed document (the status field of a desktop record).
enum FileStatus : int32_t {
    kNeedSync = 0,
    kSynchronized = 1,
    kSyncConflict = 2,
    kMissingDesktopFile = 3,
    kMissingPalmDatabase = 4,
    kCardNotFound = 5,
    kNoCardInSlot = 6,
    kNoFreeMemory = 7,
    kSyncErrorStatus = 8,
    kFileErrorStatus = 9,
    kSystemErrorStatus = 10,
    kConversionErrorStatus = 11,
    kFileAlreadyExists = 12,
    kSyncManagerError = 13,
    kConduitError = 14,
    kCardReadOnly = 15,
    kUnknownErrorStatus = 16,
};

// Short text shown in the file list; 17 or more reads "Unknown error".
const char *fileStatusShortText(int32_t status);
// Long text shown in the file details; 17 or more gets the text of code 0.
const char *fileStatusLongText(int32_t status);

}  // namespace qv
