// A desktop file opened for one transfer and closed when it goes out of
// scope. A file that cannot be opened is a file error (kind 2, code 61, the
// system error and the path) in the caller's record.
#pragma once

#include "qvdp_types.h"

namespace services {

class DesktopFile {
public:
    enum Mode {
        ReadExclusive,     // must exist; nobody else may open it meanwhile
        ReadShared,        // must exist; others may read it meanwhile
        CreateOrTruncate,  // read/write, created or emptied, not shared
    };

    DesktopFile(QVDP_Error *error, const char *path, Mode mode);
    ~DesktopFile();
    DesktopFile(const DesktopFile &) = delete;
    DesktopFile &operator=(const DesktopFile &) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

}  // namespace services
