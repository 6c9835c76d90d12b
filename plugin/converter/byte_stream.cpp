#include "byte_stream.h"

#include "shared_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace conv {

size_t MemoryStream::read(void *buffer, size_t count) {
    if (pos_ >= data_.size()) return 0;
    size_t n = std::min(count, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

size_t MemoryStream::write(const void *buffer, size_t count) {
    if (pos_ >= limit_) return 0;
    size_t n = std::min(count, limit_ - pos_);
    if (pos_ + n > data_.size()) data_.resize(pos_ + n);
    std::memcpy(data_.data() + pos_, buffer, n);
    pos_ += n;
    return n;
}

int64_t MemoryStream::seek(int64_t distance, Origin origin) {
    int64_t base = origin == kBegin ? 0 : origin == kCurrent ? int64_t(pos_) : int64_t(data_.size());
    int64_t target = base + distance;
    if (target < 0) target = 0;
    int64_t old = int64_t(pos_);
    pos_ = size_t(target);
    return target - old;
}

int32_t MemoryStream::extendTo(int64_t size) {
    if (size < 0 || size_t(size) > limit_) return -1;
    if (size_t(size) > data_.size()) data_.resize(size_t(size), 0);
    return 0;
}

FileStream::FileStream(const std::string &path, Mode mode) {
    using namespace platform;
    fd_ = mode == kRead ? openFile(path, Access::Read, Disposition::OpenExisting, Share::Read)
                        : openFile(path, Access::ReadWrite, Disposition::CreateAlways, Share::None);
    if (fd_ < 0) openError_ = errno;
}

FileStream::~FileStream() { platform::closeFile(fd_); }

size_t FileStream::read(void *buffer, size_t count) {
    if (fd_ < 0) return 0;
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, static_cast<uint8_t *>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    return done;
}

size_t FileStream::write(const void *buffer, size_t count) {
    if (fd_ < 0) return 0;
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, static_cast<const uint8_t *>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    return done;
}

int64_t FileStream::seek(int64_t distance, Origin origin) {
    if (fd_ < 0) return 0;
    int64_t old = tell();
    int whence = origin == kBegin ? SEEK_SET : origin == kCurrent ? SEEK_CUR : SEEK_END;
    off_t now = ::lseek(fd_, off_t(distance), whence);
    if (now < 0) return 0;
    return int64_t(now) - old;
}

int64_t FileStream::tell() const {
    if (fd_ < 0) return 0;
    off_t now = ::lseek(fd_, 0, SEEK_CUR);
    return now < 0 ? 0 : int64_t(now);
}

int32_t FileStream::extendTo(int64_t size) {
    if (fd_ < 0 || size < 0) return -1;
    if (size <= this->size()) return 0;
    return ::ftruncate(fd_, off_t(size)) == 0 ? 0 : -1;
}

int64_t FileStream::size() const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
    return int64_t(st.st_size);
}

std::vector<uint8_t> readAll(ByteStream &stream) {
    std::vector<uint8_t> out(size_t(std::max<int64_t>(stream.size(), 0)));
    stream.seek(0, ByteStream::kBegin);
    out.resize(stream.read(out.data(), out.size()));
    return out;
}

}  // namespace conv
