// Starts the platform test helper as a child process and talks to it through
// its standard output, so tests can check behaviour across processes.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
    // Runs the helper with `args`; its stdout is read by readLine().
    explicit ChildProcess(const std::vector<std::string> &args);
    ~ChildProcess();  // kills a child that still runs
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const { return pid_ > 0; }
    // One line of the child's output, without its newline; nullopt on time-out or end.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Kills the child with SIGKILL and reaps it.
    void kill();
    // Waits for the child's end; its exit status, or -1 after a signal or time-out.
    int wait(std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffered_;
};

// Runs the helper to its end and returns its exit status.
int runHelper(const std::vector<std::string> &args);
