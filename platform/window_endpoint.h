// Window messages between programs. A program that owns a window of a class
// (for example "TQVPapyrineMainForm") creates a WindowEndpoint for the class:
// it listens on a local socket in runFolder() named after the class. Other
// programs find the window by its class, post messages to it (no waiting),
// send messages or copy-data blocks to it and wait for the answer.
//
// The owner receives on its own thread: notifyFd() becomes readable when
// messages wait (watch it with a QSocketNotifier, or poll it), and
// processPending() runs the handlers on the calling thread, in arrival order,
// and sends the answers back. A background thread only collects the frames.
//
// Frames on the socket (all little-endian): u32 magic "QVWM", u32 kind,
// u32 payload length, payload. A frame that does not follow this is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

constexpr uint32_t kWmUser = 0x0400;      // WM_USER
constexpr uint32_t kWmCopyData = 0x004A;  // WM_COPYDATA

struct WindowMessage {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    bool sent = false;  // true: the sender waits for the answer
};

struct CopyDataBlock {
    uint32_t dwData = 0;
    std::string bytes;
};

// The largest copy-data block accepted.
constexpr std::size_t kMaxCopyDataBytes = 16u << 20;

class WindowEndpoint {
public:
    using MessageHandler = std::function<intptr_t(const WindowMessage &)>;
    using CopyDataHandler = std::function<intptr_t(const CopyDataBlock &)>;

    // Starts listening for `className`. Fails (nullptr, `error` set) when a
    // living program already owns a window of that class or the socket
    // cannot be made. A socket left by a program that died is replaced.
    static std::unique_ptr<WindowEndpoint> create(std::string_view className, MessageHandler onMessage,
                                                  CopyDataHandler onCopyData, std::string *error = nullptr);
    ~WindowEndpoint();
    WindowEndpoint(const WindowEndpoint &) = delete;
    WindowEndpoint &operator=(const WindowEndpoint &) = delete;

    const std::string &className() const;
    int notifyFd() const;
    // Handles every message received so far; returns how many.
    std::size_t processPending();
    // Waits up to timeoutMs (-1: no limit) for messages, then handles them.
    std::size_t waitAndProcess(int timeoutMs);

private:
    struct State;
    explicit WindowEndpoint(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// Whether a living program owns a window of the class (FindWindow).
bool findWindow(std::string_view className);
// Queues a message for the window and returns without waiting (PostMessage).
bool postMessage(std::string_view className, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Delivers a message and waits up to timeoutMs for the handler's answer
// (SendMessageTimeout); nullopt when there is no window or no answer in time.
std::optional<intptr_t> sendMessage(std::string_view className, uint32_t message, uintptr_t wParam,
                                    intptr_t lParam, int timeoutMs);
// Delivers a copy-data block (WM_COPYDATA) and waits for the answer.
std::optional<intptr_t> sendCopyData(std::string_view className, uint32_t dwData, std::string_view bytes,
                                     int timeoutMs);

}  // namespace platform
