#include "window_endpoint.h"

#include "file_lock.h"
#include "home.h"
#include "window_frames.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxConnections = 64;
// A sender that stays silent this long in the middle of a frame is dropped.
constexpr auto kIdleLimit = std::chrono::seconds(5);
constexpr int kPostTimeoutMs = 5000;

std::string socketName(std::string_view className) { return fileNameOf(className) + ".window"; }

// A socket address in runFolder(). A path too long for sockaddr_un is
// reached through /proc/self/fd and a descriptor of the folder.
class SocketAddress {
public:
    explicit SocketAddress(std::string_view className) {
        std::string name = socketName(className);
        std::string path = (runFolder() / name).string();
        if (path.size() >= sizeof addr_.sun_path) {
            dirFd_ = ::open(runFolder().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (dirFd_ < 0) return;
            path = "/proc/self/fd/" + std::to_string(dirFd_) + "/" + name;
            if (path.size() >= sizeof addr_.sun_path) return;
        }
        addr_.sun_family = AF_UNIX;
        path.copy(addr_.sun_path, path.size());
        ok_ = true;
    }
    ~SocketAddress() {
        if (dirFd_ >= 0) ::close(dirFd_);
    }
    SocketAddress(const SocketAddress &) = delete;
    SocketAddress &operator=(const SocketAddress &) = delete;

    bool ok() const { return ok_; }
    const sockaddr *get() const { return reinterpret_cast<const sockaddr *>(&addr_); }
    socklen_t size() const { return sizeof addr_; }

private:
    sockaddr_un addr_{};
    int dirFd_ = -1;
    bool ok_ = false;
};

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : int(left);
}

// Connects to the class's endpoint; -1 when no living program listens.
int connectTo(std::string_view className, Clock::time_point deadline) {
    SocketAddress address(className);
    if (!address.ok()) return -1;
    while (true) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) return -1;
        if (::connect(fd, address.get(), address.size()) == 0) return fd;
        int err = errno;
        ::close(fd);
        // EAGAIN: the listener's queue is full; it lives, so try again.
        if (err != EAGAIN || remainingMs(deadline) == 0) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool sendAll(int fd, std::string_view data, Clock::time_point deadline) {
    while (!data.empty()) {
        ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n > 0) {
            data.remove_prefix(std::size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        pollfd p{fd, POLLOUT, 0};
        int left = remainingMs(deadline);
        if (left == 0 || ::poll(&p, 1, left) <= 0) return false;
    }
    return true;
}

std::optional<intptr_t> awaitReply(int fd, Clock::time_point deadline) {
    std::string buffer;
    while (true) {
        frames::Frame frame;
        std::size_t consumed = 0;
        switch (frames::decode(buffer, frame, consumed)) {
        case frames::DecodeStatus::Complete:
            if (frame.kind != frames::Kind::Reply) return std::nullopt;
            return frame.answer;
        case frames::DecodeStatus::Bad: return std::nullopt;
        case frames::DecodeStatus::NeedMore: break;
        }
        pollfd p{fd, POLLIN, 0};
        int left = remainingMs(deadline);
        if (left == 0) return std::nullopt;
        int ready = ::poll(&p, 1, left);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char chunk[64];
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return std::nullopt;  // the window went away without answering
        buffer.append(chunk, std::size_t(n));
    }
}

// Sends one frame; when `wantReply`, waits for the answer.
std::optional<intptr_t> deliver(std::string_view className, const std::string &frame, bool wantReply, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    int fd = connectTo(className, deadline);
    if (fd < 0) return std::nullopt;
    std::optional<intptr_t> answer;
    if (sendAll(fd, frame, deadline)) answer = wantReply ? awaitReply(fd, deadline) : std::optional<intptr_t>(0);
    ::close(fd);
    return answer;
}

}  // namespace

// A message waiting to be handled; `replyFd` is open when the sender waits.
struct PendingItem {
    frames::Frame frame;
    int replyFd = -1;
};

struct Connection {
    int fd = -1;
    std::string buffer;
    Clock::time_point lastActivity;
};

struct WindowEndpoint::State {
    std::string className;
    std::string socketPath;
    MessageHandler onMessage;
    CopyDataHandler onCopyData;
    int lockFd = -1;
    int listenFd = -1;
    int notifyFd = -1;  // eventfd: readable while items wait
    int wakeFd = -1;    // eventfd: tells the reader thread to stop
    std::thread reader;
    std::mutex mutex;
    std::deque<PendingItem> pending;
    std::vector<Connection> connections;  // reader thread only

    ~State() {
        if (reader.joinable()) {
            uint64_t one = 1;
            (void)!::write(wakeFd, &one, sizeof one);
            reader.join();
        }
        for (Connection &c : connections) ::close(c.fd);
        for (PendingItem &item : pending)
            if (item.replyFd >= 0) ::close(item.replyFd);
        if (listenFd >= 0) {
            ::close(listenFd);
            ::unlink(socketPath.c_str());  // still ours: we hold the class's lock
        }
        for (int fd : {notifyFd, wakeFd, lockFd})
            if (fd >= 0) ::close(fd);
    }

    void queue(PendingItem item) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            pending.push_back(std::move(item));
        }
        uint64_t one = 1;
        (void)!::write(notifyFd, &one, sizeof one);
    }

    // Reads what a connection has; true while it should stay open.
    bool readFrom(Connection &c) {
        char chunk[4096];
        while (true) {
            ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
            if (n > 0) {
                c.buffer.append(chunk, std::size_t(n));
                c.lastActivity = Clock::now();
                frames::Frame frame;
                std::size_t consumed = 0;
                switch (frames::decode(c.buffer, frame, consumed)) {
                case frames::DecodeStatus::NeedMore: continue;
                case frames::DecodeStatus::Bad: ::close(c.fd); return false;
                case frames::DecodeStatus::Complete: break;
                }
                // One frame a connection; a reply goes back on it when the sender waits.
                bool waits = frame.kind == frames::Kind::Send || frame.kind == frames::Kind::CopyData;
                if (frame.kind == frames::Kind::Reply) {
                    ::close(c.fd);
                    return false;
                }
                if (!waits) ::close(c.fd);
                queue(PendingItem{std::move(frame), waits ? c.fd : -1});
                return false;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) return true;
            ::close(c.fd);  // closed or failed before a whole frame came
            return false;
        }
    }

    void run() {
        while (true) {
            std::vector<pollfd> fds;
            fds.push_back({wakeFd, POLLIN, 0});
            fds.push_back({listenFd, POLLIN, 0});
            for (const Connection &c : connections) fds.push_back({c.fd, POLLIN, 0});
            int ready = ::poll(fds.data(), fds.size(), 1000);
            if (ready < 0 && errno != EINTR) return;
            if (fds[0].revents) return;
            std::vector<Connection> kept;
            auto now = Clock::now();
            for (std::size_t i = 0; i < connections.size(); ++i) {
                Connection &c = connections[i];
                if (fds[i + 2].revents) {
                    if (readFrom(c)) kept.push_back(std::move(c));
                } else if (now - c.lastActivity > kIdleLimit) {
                    ::close(c.fd);
                } else {
                    kept.push_back(std::move(c));
                }
            }
            connections = std::move(kept);
            if (fds[1].revents & POLLIN) {
                while (true) {
                    int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                    if (fd < 0) break;
                    if (connections.size() >= kMaxConnections) {
                        ::close(fd);
                        continue;
                    }
                    connections.push_back(Connection{fd, {}, Clock::now()});
                }
            }
        }
    }
};

std::unique_ptr<WindowEndpoint> WindowEndpoint::create(std::string_view className, MessageHandler onMessage,
                                                       CopyDataHandler onCopyData, std::string *error) {
    auto fail = [&](const std::string &why) -> std::unique_ptr<WindowEndpoint> {
        if (error) *error = why;
        return nullptr;
    };
    if (className.empty()) return fail("empty window class name");
    auto state = std::make_unique<State>();
    state->className = std::string(className);
    state->onMessage = std::move(onMessage);
    state->onCopyData = std::move(onCopyData);
    state->socketPath = (runFolder() / socketName(className)).string();

    // The lock says a living program owns the class; it vanishes with the program.
    std::string lockPath = state->socketPath + ".lock";
    state->lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (state->lockFd < 0) return fail("cannot open " + lockPath);
    if (::flock(state->lockFd, LOCK_EX | LOCK_NB) != 0)
        return fail("a window of class " + state->className + " already exists");

    SocketAddress address(className);
    if (!address.ok()) return fail("the window's socket path is too long");
    ::unlink(state->socketPath.c_str());  // left by a program that died
    state->listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (state->listenFd < 0) return fail("cannot make a socket");
    if (::bind(state->listenFd, address.get(), address.size()) != 0 || ::listen(state->listenFd, 32) != 0) {
        ::close(state->listenFd);
        state->listenFd = -1;
        return fail("cannot listen on " + state->socketPath);
    }
    state->notifyFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    state->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (state->notifyFd < 0 || state->wakeFd < 0) return fail("cannot make an event descriptor");
    State *raw = state.get();
    state->reader = std::thread([raw] { raw->run(); });
    return std::unique_ptr<WindowEndpoint>(new WindowEndpoint(std::move(state)));
}

WindowEndpoint::WindowEndpoint(std::unique_ptr<State> state) : state_(std::move(state)) {}

WindowEndpoint::~WindowEndpoint() = default;

const std::string &WindowEndpoint::className() const { return state_->className; }

int WindowEndpoint::notifyFd() const { return state_->notifyFd; }

std::size_t WindowEndpoint::processPending() {
    uint64_t count = 0;
    (void)!::read(state_->notifyFd, &count, sizeof count);
    std::deque<PendingItem> items;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        items.swap(state_->pending);
    }
    for (PendingItem &item : items) {
        intptr_t answer = 0;
        try {
            if (item.frame.kind == frames::Kind::CopyData) {
                if (state_->onCopyData) answer = state_->onCopyData(item.frame.copyData);
            } else if (state_->onMessage) {
                answer = state_->onMessage(item.frame.message);
            }
        } catch (...) {
            answer = 0;  // a failing handler answers 0, as an unhandled message does
        }
        if (item.replyFd >= 0) {
            std::string reply = frames::encodeReply(answer);
            (void)!::send(item.replyFd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            ::close(item.replyFd);
        }
    }
    return items.size();
}

std::size_t WindowEndpoint::waitAndProcess(int timeoutMs) {
    pollfd p{state_->notifyFd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return processPending();
}

bool findWindow(std::string_view className) {
    int fd = connectTo(className, Clock::now() + std::chrono::milliseconds(500));
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool postMessage(std::string_view className, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return deliver(className, frames::encodeMessage(frames::Kind::Post, message, wParam, lParam), false, kPostTimeoutMs)
        .has_value();
}

std::optional<intptr_t> sendMessage(std::string_view className, uint32_t message, uintptr_t wParam, intptr_t lParam,
                                    int timeoutMs) {
    return deliver(className, frames::encodeMessage(frames::Kind::Send, message, wParam, lParam), true, timeoutMs);
}

std::optional<intptr_t> sendCopyData(std::string_view className, uint32_t dwData, std::string_view bytes,
                                     int timeoutMs) {
    if (bytes.size() > kMaxCopyDataBytes) return std::nullopt;
    return deliver(className, frames::encodeCopyData(dwData, bytes), true, timeoutMs);
}

}  // namespace platform
