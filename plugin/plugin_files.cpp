#include "plugin_files.h"

#include "shared_file.h"

#include <cerrno>
#include <unistd.h>

namespace qvplugin {

size_t readFully(int fd, void *buffer, size_t size) {
    auto *bytes = static_cast<uint8_t *>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    return done;
}

bool ensureFileExists(const std::filesystem::path &file) {
    const int fd = platform::openFile(file.string(), platform::Access::Read, platform::Disposition::OpenAlways,
                                      platform::Share::Read);
    if (fd < 0) return false;
    platform::closeFile(fd);
    return true;
}

bool readFilePrefix(const std::filesystem::path &file, size_t limit, std::vector<uint8_t> &bytes) {
    const int fd = platform::openFile(file.string(), platform::Access::Read, platform::Disposition::OpenExisting,
                                      platform::Share::Read);
    if (fd < 0) return false;
    bytes.resize(limit);
    bytes.resize(readFully(fd, bytes.data(), limit));
    platform::closeFile(fd);
    return true;
}

}  // namespace qvplugin
