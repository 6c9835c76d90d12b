#include "desktop_fs.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace services {

bool entryExists(const std::string &path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool directoryExists(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int deleteFile(const std::string &path) {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int makeDirectory(const std::string &path) {
    return ::mkdir(path.c_str(), 0755) == 0 ? 0 : errno;
}

namespace {

// Copies a regular file to a new file `to` (which must not exist), flushed.
int copyToNewFile(const std::string &from, const std::string &to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        int err = errno ? errno : EISDIR;
        ::close(in);
        return err;
    }
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) {
        int err = errno;
        ::close(in);
        return err;
    }
    int err = 0;
    char buffer[65536];
    while (true) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) { err = errno; break; }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buffer + done, size_t(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) { err = w < 0 ? errno : EIO; break; }
            done += w;
        }
        if (err) break;
    }
    if (!err && ::fsync(out) != 0) err = errno;
    ::close(in);
    if (::close(out) != 0 && !err) err = errno;
    if (err) ::unlink(to.c_str());
    return err;
}

}  // namespace

int moveFile(const std::string &from, const std::string &to) {
    if (!entryExists(from)) return ENOENT;
    if (entryExists(to)) return EEXIST;
    if (::rename(from.c_str(), to.c_str()) == 0) return 0;
    if (errno != EXDEV) return errno;
    if (int err = copyToNewFile(from, to)) return err;
    if (int err = deleteFile(from)) {
        // The source stays where it was; take the copy back so there is one file.
        ::unlink(to.c_str());
        return err;
    }
    return 0;
}

}  // namespace services
