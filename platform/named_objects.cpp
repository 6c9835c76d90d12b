#include "named_objects.h"

#include "file_lock.h"
#include "home.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

constexpr char kSignalled = '1';
constexpr char kNotSignalled = '0';

// The lock that makes create, open and close of named objects one step each.
std::filesystem::path objectsGuardPath() { return runFolder() / ".objects.lock"; }

// True when no handle holds the object whose file is open as `fd`: an
// exclusive lock is granted only then. The lock is kept on success.
bool nobodyHolds(int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

char readState(int fd) {
    char state = kNotSignalled;
    if (::pread(fd, &state, 1, 0) != 1) return kNotSignalled;
    return state;
}

bool writeState(int fd, char state) { return ::pwrite(fd, &state, 1, 0) == 1; }

}  // namespace

NamedObjectHandle::NamedObjectHandle(NamedObjectHandle &&other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      existed_(other.existed_),
      name_(std::move(other.name_)),
      path_(std::move(other.path_)) {}

NamedObjectHandle &NamedObjectHandle::operator=(NamedObjectHandle &&other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        existed_ = other.existed_;
        name_ = std::move(other.name_);
        path_ = std::move(other.path_);
    }
    return *this;
}

NamedObjectHandle::~NamedObjectHandle() { close(); }

void NamedObjectHandle::close() {
    if (fd_ < 0) return;
    FileLock guard(objectsGuardPath());
    // The last handle removes the file (turning our shared lock into an
    // exclusive one succeeds only then; losing it is fine, we are closing).
    // A file left by a crashed holder is harmless: the next creator starts it afresh.
    if (guard.held() && nobodyHolds(fd_)) ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

bool NamedObjectHandle::acquire(std::string_view name, std::string_view kind, Mode mode, char initialState) {
    close();  // before taking the guard, which close() takes too
    if (name.empty()) return false;
    std::string fileName = fileNameOf(name) + "." + std::string(kind);
    if (fileName.size() > 255) return false;
    std::string path = (runFolder() / fileName).string();

    FileLock guard(objectsGuardPath());
    if (!guard.held()) return false;
    int flags = O_RDWR | O_CLOEXEC | (mode == Mode::CreateOrOpen ? O_CREAT : 0);
    int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) return false;
    bool existed = !nobodyHolds(fd);
    if (!existed) {
        if (mode == Mode::OpenExisting) {
            ::unlink(path.c_str());  // a file left by a process that died
            ::close(fd);
            return false;
        }
        if (::ftruncate(fd, 0) != 0 || !writeState(fd, initialState)) {
            ::close(fd);
            return false;
        }
    }
    // Hold the object with a shared lock, beside the other handles.
    if (::flock(fd, LOCK_SH) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    existed_ = existed;
    name_ = std::string(name);
    path_ = std::move(path);
    return true;
}

bool NamedObjectHandle::existsNow(std::string_view name, std::string_view kind) {
    NamedObjectHandle probe;
    return probe.acquire(name, kind, Mode::OpenExisting, kNotSignalled);
}

std::optional<NamedEvent> NamedEvent::createOrOpen(std::string_view name, bool initiallySignalled) {
    NamedEvent event;
    if (!event.acquire(name, "event", Mode::CreateOrOpen, initiallySignalled ? kSignalled : kNotSignalled))
        return std::nullopt;
    return event;
}

std::optional<NamedEvent> NamedEvent::openExisting(std::string_view name) {
    NamedEvent event;
    if (!event.acquire(name, "event", Mode::OpenExisting, kNotSignalled)) return std::nullopt;
    return event;
}

bool NamedEvent::exists(std::string_view name) { return existsNow(name, "event"); }

bool NamedEvent::set() { return valid() && writeState(fd(), kSignalled); }

bool NamedEvent::reset() { return valid() && writeState(fd(), kNotSignalled); }

bool NamedEvent::isSignalled() const { return valid() && readState(fd()) == kSignalled; }

bool NamedEvent::wait(uint32_t timeoutMs) const {
    const NamedEvent *self = this;
    return waitForAny(&self, 1, timeoutMs).status == WaitStatus::Signalled;
}

WaitResult waitForAny(std::initializer_list<const NamedEvent *> events, uint32_t timeoutMs) {
    return waitForAny(events.begin(), events.size(), timeoutMs);
}

WaitResult waitForAny(const NamedEvent *const *events, std::size_t count, uint32_t timeoutMs) {
    if (count == 0) return {WaitStatus::Failed, 0};
    for (std::size_t i = 0; i < count; ++i)
        if (!events[i] || !events[i]->valid()) return {WaitStatus::Failed, i};
    const auto start = std::chrono::steady_clock::now();
    auto pause = std::chrono::milliseconds(1);
    while (true) {
        for (std::size_t i = 0; i < count; ++i)
            if (events[i]->isSignalled()) return {WaitStatus::Signalled, i};
        auto elapsed = std::chrono::steady_clock::now() - start;
        if (timeoutMs != kWaitInfinite && elapsed >= std::chrono::milliseconds(timeoutMs))
            return {WaitStatus::Timeout, 0};
        // Short pauses first, so quick answers are seen quickly; a long wait
        // settles at a few milliseconds.
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(4)) pause *= 2;
    }
}

std::optional<NamedMutex> NamedMutex::create(std::string_view name) {
    NamedMutex mutex;
    if (!mutex.acquire(name, "mutex", Mode::CreateOrOpen, kNotSignalled)) return std::nullopt;
    return mutex;
}

bool NamedMutex::isHeld(std::string_view name) { return existsNow(name, "mutex"); }

}  // namespace platform
