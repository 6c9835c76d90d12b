#include "shared_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

int openFile(const std::string &path, Access access, Disposition disposition, Share share) {
    int flags = O_CLOEXEC | (access == Access::Read ? O_RDONLY : O_RDWR);
    if (disposition != Disposition::OpenExisting) flags |= O_CREAT;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return -1;
    // A reader that lets others read takes a shared lock; every writer, and a
    // reader that shares nothing, takes an exclusive one.
    int lock = (access == Access::Read && share == Share::Read) ? LOCK_SH : LOCK_EX;
    if (::flock(fd, lock | LOCK_NB) != 0) {
        ::close(fd);
        errno = EBUSY;
        return -1;
    }
    // Truncate only after the lock is ours, so a refused open changes nothing.
    if (disposition == Disposition::CreateAlways && ::ftruncate(fd, 0) != 0) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

void closeFile(int fd) {
    if (fd >= 0) ::close(fd);
}

}  // namespace platform
