// The second process of the platform tests. Usage: platform_test_helper COMMAND ARGS...
// Commands that hold something print "ready ..." once they hold it and then
// wait to be killed. The exit status tells the outcome (0 = done as asked,
// 1 = refused, 2 = bad arguments).
#include "named_objects.h"
#include "registry.h"
#include "shared_file.h"
#include "window_endpoint.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Args = std::vector<std::string>;

void say(const std::string &line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

[[noreturn]] void holdForever() {
    while (true) ::pause();
}

int registryWrite(const Args &a) {
    if (a.size() != 3) return 2;
    return platform::Registry::writeString(platform::Hive::CurrentUser, a[0], a[1], a[2]) ? 0 : 1;
}

// event-hold NAME SIGNALLED(0|1)
int eventHold(const Args &a) {
    if (a.size() != 2) return 2;
    auto event = platform::NamedEvent::createOrOpen(a[0], a[1] == "1");
    if (!event) return 1;
    say(std::string("ready existed=") + (event->alreadyExisted() ? "1" : "0"));
    holdForever();
}

// event-set NAME DELAY_MS
int eventSet(const Args &a) {
    if (a.size() != 2) return 2;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(a[1].c_str())));
    auto event = platform::NamedEvent::openExisting(a[0]);
    return event && event->set() ? 0 : 1;
}

int mutexHold(const Args &a) {
    if (a.size() != 1) return 2;
    auto mutex = platform::NamedMutex::create(a[0]);
    if (!mutex) return 1;
    say(std::string("ready existed=") + (mutex->alreadyExisted() ? "1" : "0"));
    holdForever();
}

int fileHold(const Args &a) {
    if (a.size() != 1) return 2;
    int fd = platform::openFile(a[0], platform::Access::ReadWrite, platform::Disposition::OpenAlways,
                                platform::Share::None);
    if (fd < 0) return 1;
    say("ready");
    holdForever();
}

// file-open PATH read|write: 0 opened, 1 refused by a holder, 3 other failure
int fileOpen(const Args &a) {
    if (a.size() != 2) return 2;
    bool write = a[1] == "write";
    int fd = platform::openFile(a[0], write ? platform::Access::ReadWrite : platform::Access::Read,
                                platform::Disposition::OpenExisting, write ? platform::Share::None : platform::Share::Read);
    if (fd < 0) return errno == EBUSY ? 1 : 3;
    platform::closeFile(fd);
    return 0;
}

// window CLASS: owns a window of the class; prints what arrives. Messages
// answer message + 1, copy-data blocks their length.
int window(const Args &a) {
    if (a.size() != 1) return 2;
    std::string error;
    auto endpoint = platform::WindowEndpoint::create(
        a[0],
        [](const platform::WindowMessage &m) {
            say("message " + std::to_string(m.message) + " " + std::to_string(m.wParam) + " " + std::to_string(m.lParam));
            return intptr_t(m.message + 1);
        },
        [](const platform::CopyDataBlock &block) {
            say("copydata " + std::to_string(block.dwData) + " " + block.bytes);
            return intptr_t(block.bytes.size());
        },
        &error);
    if (!endpoint) {
        say("failed " + error);
        return 1;
    }
    say("ready");
    while (true) endpoint->waitAndProcess(-1);
}

// post CLASS MESSAGE WPARAM LPARAM
int post(const Args &a) {
    if (a.size() != 4) return 2;
    return platform::postMessage(a[0], uint32_t(std::stoul(a[1])), uintptr_t(std::stoull(a[2])),
                                 intptr_t(std::stoll(a[3])))
               ? 0
               : 1;
}

// copydata CLASS DWDATA TEXT: prints "answer N"
int copyData(const Args &a) {
    if (a.size() != 3) return 2;
    auto answer = platform::sendCopyData(a[0], uint32_t(std::stoul(a[1])), a[2], 10000);
    if (!answer) return 1;
    say("answer " + std::to_string(*answer));
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return 2;
    std::string command = argv[1];
    Args args(argv + 2, argv + argc);
    if (command == "registry-write") return registryWrite(args);
    if (command == "event-hold") return eventHold(args);
    if (command == "event-set") return eventSet(args);
    if (command == "mutex-hold") return mutexHold(args);
    if (command == "file-hold") return fileHold(args);
    if (command == "file-open") return fileOpen(args);
    if (command == "window") return window(args);
    if (command == "post") return post(args);
    if (command == "copydata") return copyData(args);
    return 2;
}
