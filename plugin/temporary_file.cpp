#include "temporary_file.h"

#include "QVDPCommon.h"
#include "error_record.h"
#include "status_codes.h"

#include <cerrno>
#include <unistd.h>

namespace qvplugin {

TemporaryFile::TemporaryFile(QVDP_Error *error) {
    char path[QVDP_MAX_PATH] = {};
    errno = 0;
    if (QVPCGetTempFileName(path) && path[0] != '\0') {
        path_ = path;
        return;
    }
    qv::setSystemError(error, qv::kGeneralWindowsError, uint32_t(errno ? errno : EIO));
}

TemporaryFile::~TemporaryFile() { removeFile(); }

void TemporaryFile::removeFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
}

}  // namespace qvplugin
