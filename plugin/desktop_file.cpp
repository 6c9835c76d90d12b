#include "desktop_file.h"

#include "error_record.h"
#include "shared_file.h"
#include "status_codes.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace qvplugin {

DesktopFile::DesktopFile(QVDP_Error *error, const std::string &path, Mode mode) : path_(path) {
    if (mode == Read)
        fd_ = platform::openFile(path, platform::Access::Read, platform::Disposition::OpenExisting,
                                 platform::Share::Read);
    else
        fd_ = platform::openFile(path, platform::Access::ReadWrite, platform::Disposition::CreateAlways,
                                 platform::Share::None);
    if (fd_ < 0) qv::setFileError(error, qv::kGeneralFileError, path, uint32_t(errno));
}

DesktopFile::~DesktopFile() { platform::closeFile(fd_); }

bool DesktopFile::size(QVDP_Error *error, uint64_t &bytes) const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        qv::setSystemError(error, qv::kReadFileError, uint32_t(errno));
        return false;
    }
    bytes = uint64_t(st.st_size);
    return true;
}

long DesktopFile::read(QVDP_Error *error, void *buffer, size_t size) {
    auto *bytes = static_cast<uint8_t *>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd_, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            qv::setSystemError(error, qv::kReadFileError, uint32_t(errno));
            return -1;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    return long(done);
}

bool DesktopFile::readAt(QVDP_Error *error, uint64_t offset, void *buffer, size_t size, bool &truncated) {
    truncated = false;
    auto *bytes = static_cast<uint8_t *>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd_, bytes + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            qv::setSystemError(error, qv::kReadFileError, uint32_t(errno));
            return false;
        }
        if (n == 0) {
            truncated = true;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool DesktopFile::write(QVDP_Error *error, const void *bytes, size_t size) {
    const auto *p = static_cast<const uint8_t *>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            qv::setSystemError(error, qv::kWriteFileError, uint32_t(n < 0 ? errno : EIO));
            return false;
        }
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool DesktopFile::writeAt(QVDP_Error *error, uint64_t offset, const void *bytes, size_t size) {
    const auto *p = static_cast<const uint8_t *>(bytes);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, p, size, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            qv::setSystemError(error, qv::kWriteFileError, uint32_t(n < 0 ? errno : EIO));
            return false;
        }
        p += n;
        offset += uint64_t(n);
        size -= size_t(n);
    }
    return true;
}

}  // namespace qvplugin
