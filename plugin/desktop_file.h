// A desktop file opened by one conversion or copy request and closed when
// the request is done with it. Failures are filled into the caller's error
// record the way the driver reports them: a file that cannot be opened or
// created is a file error (kind 2, code 61, the path and the system error),
// a failed read is kind 3, code 62, a failed or short write kind 3, code 63.
#pragma once

#include "qvdp_types.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qvplugin {

class DesktopFile {
public:
    enum Mode {
        Read,              // must exist; others may read it meanwhile
        CreateOrTruncate,  // read/write, created or emptied, not shared
    };

    DesktopFile(QVDP_Error *error, const std::string &path, Mode mode);
    ~DesktopFile();
    DesktopFile(const DesktopFile &) = delete;
    DesktopFile &operator=(const DesktopFile &) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string &path() const { return path_; }

    // The file's size; false (kind 3, code 62) when it cannot be asked.
    bool size(QVDP_Error *error, uint64_t &bytes) const;
    // Reads up to `size` bytes, going on after short reads; the count read
    // (0 at the end), or -1 after filling a read error.
    long read(QVDP_Error *error, void *buffer, size_t size);
    // Reads exactly `size` bytes at `offset`; false after filling a read
    // error, or when the file ends first (then `truncated` is set and no
    // error is filled).
    bool readAt(QVDP_Error *error, uint64_t offset, void *buffer, size_t size, bool &truncated);
    // Writes every byte at the current position, or fills a write error.
    bool write(QVDP_Error *error, const void *bytes, size_t size);
    // Writes every byte at `offset` without moving the position.
    bool writeAt(QVDP_Error *error, uint64_t offset, const void *bytes, size_t size);

private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace qvplugin
