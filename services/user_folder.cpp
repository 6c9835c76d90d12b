// The folder of a Palm user: the HotSync root joined with the user's folder.
#include "QVDPCommon.h"
#include "text_out.h"
#include "user_manager.h"

#include <string>

using namespace services;

QV_EXPORT int32_t GetUserFullPath(uint32_t userId, char *outPath) {
    copyOut(outPath, kPathBuffer, {});
    std::string userFolder;
    if (palm::users::userDirectory(userId, userFolder) != 0 || userFolder.empty()) return 0;
    std::string path = palm::users::rootDirectory();
    if (path.empty()) return 0;
    if (path.back() != '/') path += '/';
    path += userFolder;
    return copyOut(outPath, kPathBuffer, path) ? 1 : 0;
}
