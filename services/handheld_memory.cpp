// Free handheld memory, the room check before a copy to handheld RAM, and
// creating handheld databases.
#include "QVDPCommon.h"
#include "error_record.h"
#include "status_codes.h"
#include "sync_manager.h"
#include "text_out.h"

#include <climits>
#include <cstring>
#include <string>
#include <sys/stat.h>

using namespace services;

QV_EXPORT int32_t QVGetFreeSpaceOnPalmDevice(QVDP_Error *error) {
    palm::sync::CardInfo info;
    if (int32_t answer = palm::sync::readSingleCardInfo(0, info)) {
        qv::setSyncError(error, qv::kGeneralSyncError, answer);
        return -1;
    }
    // More than 2 GiB free reads as the largest answer, never as a failure.
    return info.freeRam > uint32_t(INT32_MAX) ? INT32_MAX : int32_t(info.freeRam);
}

QV_EXPORT int32_t CheckAvailableSpaceOnPalmDevice(QVDP_Error *error, const char *desktopPath, int32_t reserve) {
    int32_t freeBytes = QVGetFreeSpaceOnPalmDevice(error);
    if (freeBytes < 0 || (error && error->code != 0)) return 0;
    std::string_view path;
    struct stat st;
    if (!readText(desktopPath, kMaxPathLength, path) || path.empty() || ::stat(std::string(path).c_str(), &st) != 0) {
        qv::setConduitError(error, qv::kDesktopFileMissing);
        return 0;
    }
    if (uint64_t(st.st_size) >= (uint64_t(1) << 32)) return 0;
    // Wide arithmetic: a file larger than the free memory never wraps round to "fits".
    return int64_t(freeBytes) - int64_t(st.st_size) >= int64_t(reserve) ? 1 : 0;
}

QV_EXPORT int32_t QVCheckDBCreatorID(const char *name, uint32_t creator) {
    std::string_view text;
    if (!readText(name, kMaxPalmNameLength, text) || text.empty()) return 0;
    palm::sync::DbHandle handle = 0;
    if (palm::sync::openDatabase(std::string(text), 0, palm::sync::kModeRead, handle) != 0) return 0;
    palm::sync::DbInfo info;
    bool same = palm::sync::readOpenDatabaseInfo(handle, info) == 0 && info.creator == creator;
    palm::sync::closeDatabase(handle);
    return same ? 1 : 0;
}

QV_EXPORT int32_t QVCreatePalmDatabase(uint8_t *outHandle, const char *name, uint32_t creator, uint32_t type,
                                       uint32_t flags, int32_t replace) {
    std::string_view text;
    if (!readText(name, kMaxPalmNameLength, text)) return -2;
    palm::sync::CreateDbInfo info;
    info.creator = creator;
    info.type = type;
    info.name.assign(text);
    info.flags = uint16_t(flags);
    palm::sync::DbHandle handle = 0;
    int32_t answer = palm::sync::createDatabase(info, handle);
    if (answer == palm::kSyncErrExists) {
        if (!replace || !QVCheckDBCreatorID(name, creator)) return answer;
        if (int32_t deleted = palm::sync::deleteDatabase(info.name, 0)) return deleted;
        answer = palm::sync::createDatabase(info, handle);
    }
    if (answer != 0) return answer;
    if (outHandle)
        *outHandle = handle;
    else
        palm::sync::closeDatabase(handle);  // nobody could ever close it
    return 0;
}
