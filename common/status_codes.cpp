#include "status_codes.h"

namespace qv {

const char *statusText(int32_t code) {
    switch (code) {
    case 0: return "No Error";
    case 1: return "Bad Parameters";
    case 2: return "Buffer too small";
    case 3: return "Format not recognized";
    case 4: return "No Memory";
    case 5: return "Cannot open database";
    case 6: return "Not Implemented";
    case 7: return "Cannot open categories";
    case 8: return "Cannot open FTP accounts";
    case 11: return "Palm database already exists";
    case 12: return "PC file already exists";
    case 13: return "Format not supported";
    case 14: return "Not enough memory on Palm device";
    case 15: return "General synchronization error";
    case 16: return "General Windows error";
    case 17: return "Conversion error";
    case 21: return "Cannot add record";
    case 22: return "Cannot insert record";
    case 23: return "IO error";
    case 24: return "Seek error";
    case 25: return "EOF error";
    case 26: return "Read error";
    case 27: return "Write error";
    case 28: return "Record not found";
    case 41: return "Palm DB IO error";
    case 44: return "Palm DB read error";
    case 45: return "Palm DB write error";
    case 47: return "Palm DB not found";
    case 48: return "Desktop file is missing";
    case 61: return "General file error";
    case 62: return "Read file error";
    case 63: return "Write file error";
    case 91: return "Card IO error";
    case 92: return "General Card file error";
    case 93: return "Card read error";
    case 94: return "Card write error";
    case 95: return "Card not present";
    case 96: return "Cannot make backup. Please free some space.";
    default: return nullptr;
    }
}

namespace {
struct StatusTexts {
    const char *shortText;
    const char *longText;
};

constexpr StatusTexts kFileStatusTexts[] = {
    {"Need sync", "The files on both the desktop and Palm device are not synchronized and synchronization is needed."},
    {"Synchronized", "The files on both the desktop and Palm device are synchronized."},
    {"Sync conflict", "Synchronization conflict occurred during last hotsync."},
    {"Missing desktop file", "The desktop file is missing. Use Find Missing Desktop File item from the File menu to try to locate the file."},
    {"Missing Palm database", "The file was not found on the Palm device."},
    {"Card not found", "Memory card not found during last hotsync."},
    {"No card in slot", "No card found in slot during last HotSync."},
    {"No free memory available", "No free memory available on Palm device."},
    {"Sync error", "Synchronization error occurred during the last HotSync."},
    {"File error", "Error occurred during last HotSync operation. Check if the file is not opened by another application."},
    {"System error", "System error occurred during last HotSync."},
    {"Conversion error", "Error occurred during document conversion. The desktop format is not supported or you try to synchronize password protected files."},
    {"File already exists", "A file with the same name already exists on Palm device."},
    {"Sync error", "Synchronization error occurred during the last HotSync."},
    {"Conduit error", "Conduit error occurred during last synchronization. Check the HotSync log for more details."},
    {"Card Read-Only", "The inserted card is write protected."},
    {"Unknown error", "Unknown error occurred during last synchronization."},
};
constexpr int32_t kFileStatusCount = sizeof(kFileStatusTexts) / sizeof(kFileStatusTexts[0]);

bool known(int32_t status) { return status >= 0 && status < kFileStatusCount; }
}  // namespace

const char *fileStatusShortText(int32_t status) {
    return known(status) ? kFileStatusTexts[status].shortText : "Unknown error";
}

const char *fileStatusLongText(int32_t status) {
    return known(status) ? kFileStatusTexts[status].longText : kFileStatusTexts[0].longText;
}

}  // namespace qv
