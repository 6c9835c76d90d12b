#include "temp_files.h"

#include "home.h"
#include "random_bytes.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

std::error_code lastError() { return std::error_code(errno, std::generic_category()); }

std::string hex8() {
    uint8_t bytes[4];
    randomBytes(bytes, sizeof bytes);
    char text[9];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

// Creates a new file with O_EXCL under a random name; returns its descriptor.
int createUnique(const fs::path &folder, const std::string &stem, const std::string &suffix,
                 fs::path &created, std::error_code &ec) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = folder / (stem + hex8() + suffix);
        int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            created = candidate;
            ec.clear();
            return fd;
        }
        if (errno != EEXIST) {
            ec = lastError();
            return -1;
        }
    }
    ec = std::make_error_code(std::errc::file_exists);
    return -1;
}

}  // namespace

std::optional<fs::path> createTempFileIn(const fs::path &folder, std::string_view prefix, std::error_code &ec) {
    fs::path created;
    int fd = createUnique(folder, std::string(prefix), ".tmp", created, ec);
    if (fd < 0) return std::nullopt;
    ::close(fd);
    return created;
}

std::optional<fs::path> createTempFile(std::string_view prefix, std::error_code &ec) {
    return createTempFileIn(tempFolder(), prefix, ec);
}

AtomicFile::AtomicFile(fs::path target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open(std::error_code &ec) {
    discard();
    fs::path folder = target_.parent_path();
    if (folder.empty()) folder = ".";
    fd_ = createUnique(folder, "." + target_.filename().string() + ".", ".tmp", temp_, ec);
    return fd_ >= 0;
}

bool AtomicFile::write(const void *data, std::size_t size, std::error_code &ec) {
    if (fd_ < 0) {
        ec = std::make_error_code(std::errc::bad_file_descriptor);
        return false;
    }
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            ec = lastError();
            return false;
        }
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

bool AtomicFile::commit(std::error_code &ec) {
    if (fd_ < 0) {
        ec = std::make_error_code(std::errc::bad_file_descriptor);
        return false;
    }
    bool ok = ::fsync(fd_) == 0;
    if (!ok) ec = lastError();
    if (::close(fd_) != 0 && ok) {
        ok = false;
        ec = lastError();
    }
    fd_ = -1;
    if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0) {
        ok = false;
        ec = lastError();
    }
    if (!ok) ::unlink(temp_.c_str());
    temp_.clear();
    return ok;
}

void AtomicFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool writeFileAtomically(const fs::path &target, std::string_view content, std::error_code &ec) {
    AtomicFile file(target);
    return file.open(ec) && file.write(content.data(), content.size(), ec) && file.commit(ec);
}

}  // namespace platform
