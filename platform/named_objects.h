// Named manual-reset events and the named mutex, shared by all processes of
// the user (the handshake between the conduit and the desktop program, the
// desktop program's single instance).
//
// An object exists exactly while some handle in some living process holds it:
// each handle keeps the object's file in runFolder() open with a shared flock,
// and the kernel drops the lock when the process ends, however it ends.
// Creating, opening and closing are serialised by one lock file in the same
// folder, so "already existed" is exact. An event's state is one byte of its
// file; waiting polls it every few milliseconds. Names are case-sensitive, as
// Windows object names are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

constexpr uint32_t kWaitInfinite = 0xFFFFFFFFu;

// One handle to a named object: the object's file, held open and locked.
class NamedObjectHandle {
public:
    NamedObjectHandle() = default;
    NamedObjectHandle(NamedObjectHandle &&other) noexcept;
    NamedObjectHandle &operator=(NamedObjectHandle &&other) noexcept;
    ~NamedObjectHandle();

    bool valid() const { return fd_ >= 0; }
    bool alreadyExisted() const { return existed_; }
    const std::string &name() const { return name_; }
    void close();

protected:
    enum class Mode { CreateOrOpen, OpenExisting };
    // Takes a handle of the object; when this creates it, its state byte is
    // set to initialState.
    bool acquire(std::string_view name, std::string_view kind, Mode mode, char initialState);
    static bool existsNow(std::string_view name, std::string_view kind);
    int fd() const { return fd_; }

private:
    int fd_ = -1;
    bool existed_ = false;
    std::string name_;
    std::string path_;
};

class NamedEvent : public NamedObjectHandle {
public:
    // Creates the manual-reset event, or opens it when it exists (its state is
    // then left as it is; alreadyExisted() tells which happened).
    static std::optional<NamedEvent> createOrOpen(std::string_view name, bool initiallySignalled = false);
    // Opens the event only when it exists.
    static std::optional<NamedEvent> openExisting(std::string_view name);
    static bool exists(std::string_view name);

    bool set();
    bool reset();
    bool isSignalled() const;
    // True when signalled within timeoutMs (kWaitInfinite: no limit).
    bool wait(uint32_t timeoutMs) const;
};

enum class WaitStatus { Signalled, Timeout, Failed };
struct WaitResult {
    WaitStatus status = WaitStatus::Failed;
    std::size_t index = 0;  // with Signalled: the first signalled event in the list
};

// Waits until one of the events is signalled, like WaitForMultipleObjects
// with bWaitAll false. Failed when the list is empty or holds a closed handle.
WaitResult waitForAny(std::initializer_list<const NamedEvent *> events, uint32_t timeoutMs);
WaitResult waitForAny(const NamedEvent *const *events, std::size_t count, uint32_t timeoutMs);

class NamedMutex : public NamedObjectHandle {
public:
    // Creates the mutex (without taking ownership) or opens the existing one;
    // alreadyExisted() is the "already exists" answer of the system.
    static std::optional<NamedMutex> create(std::string_view name);
    // Whether some living process holds a handle of the mutex.
    static bool isHeld(std::string_view name);
};

}  // namespace platform
