// Temporary files and whole-file replacement.
// createTempFile gives a new, empty, uniquely named file in the temporary
// folder (like GetTempFileName); writeFileAtomically and AtomicFile replace a
// file through a temporary file in the same folder and a rename, so that a
// reader sees either the old or the new content, never a half-written file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace platform {

// Creates an empty file named <prefix><8 hex digits>.tmp in tempFolder() (or
// in `folder`) and returns its path; nullopt (with ec set) when it cannot.
std::optional<std::filesystem::path> createTempFile(std::string_view prefix, std::error_code &ec);
std::optional<std::filesystem::path> createTempFileIn(const std::filesystem::path &folder,
                                                      std::string_view prefix, std::error_code &ec);

// Replaces `target` with `content` (temporary file beside it, flushed, renamed).
bool writeFileAtomically(const std::filesystem::path &target, std::string_view content,
                         std::error_code &ec);

// The same for content written piece by piece: write through fd(), then
// commit(). Destroying it without commit() removes the temporary file and
// leaves the target untouched.
class AtomicFile {
public:
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Opens the temporary file; false (ec set) on failure.
    bool open(std::error_code &ec);
    int fd() const { return fd_; }
    // Writes all of `data`; false (ec set) on failure.
    bool write(const void *data, std::size_t size, std::error_code &ec);
    // Flushes, closes and renames over the target.
    bool commit(std::error_code &ec);
    void discard();

private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    int fd_ = -1;
};

}  // namespace platform
