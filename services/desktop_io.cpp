#include "desktop_io.h"

#include <cerrno>
#include <unistd.h>

namespace services {

long readFull(int fd, void *buffer, std::size_t size) {
    auto *p = static_cast<uint8_t *>(buffer);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, p + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += std::size_t(n);
    }
    return long(done);
}

int writeAll(int fd, const void *bytes, std::size_t size) {
    auto *p = static_cast<const uint8_t *>(bytes);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno ? errno : EIO;
        if (n == 0) return EIO;
        p += n;
        size -= std::size_t(n);
    }
    return 0;
}

}  // namespace services
