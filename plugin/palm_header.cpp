#include "palm_header.h"

#include "byte_order.h"
#include "plugin_files.h"

#include <fcntl.h>
#include <unistd.h>

namespace qvplugin {

bool readPalmDatabaseHeader(const char *path, PalmDatabaseHeader &header) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    uint8_t bytes[kPalmHeaderSize];
    const bool complete = readFully(fd, bytes, sizeof bytes) == sizeof bytes;
    ::close(fd);
    if (!complete) return false;
    size_t nameLength = 0;
    // The name field ends at its terminator; a Palm name has at most 31 characters.
    while (nameLength < kPalmNameSize - 1 && bytes[nameLength] != 0) ++nameLength;
    header.name.assign(reinterpret_cast<const char *>(bytes), nameLength);
    header.type = qv::loadBE32(bytes + 60);
    header.creator = qv::loadBE32(bytes + 64);
    return true;
}

}  // namespace qvplugin
