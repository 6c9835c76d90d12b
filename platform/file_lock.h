// An exclusive lock on a lock file, held for the life of the object (flock:
// it serialises processes, and threads too, since every FileLock opens the
// file anew). A process that dies releases it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

class FileLock {
public:
    // Waits for the lock; held() is false when the file cannot be opened or locked.
    explicit FileLock(const std::filesystem::path &path);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// A name as a file name: letters, digits, "_" and "-" stay, every other byte
// becomes %XX, so different names never meet in one file.
std::string fileNameOf(std::string_view name);

}  // namespace platform
