// The second process of the platform tests. Usage: platform_test_helper COMMAND ARGS...
// Commands that hold something print "ready" once they hold it and then wait
// to be killed. The exit status tells the outcome (0 = done as asked).
#include "registry.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Args = std::vector<std::string>;

void ready() {
    std::printf("ready\n");
    std::fflush(stdout);
}

[[noreturn]] void holdForever() {
    while (true) ::pause();
}

int registryWrite(const Args &a) {
    if (a.size() != 3) return 2;
    return platform::Registry::writeString(platform::Hive::CurrentUser, a[0], a[1], a[2]) ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return 2;
    std::string command = argv[1];
    Args args(argv + 2, argv + argc);
    if (command == "registry-write") return registryWrite(args);
    (void)ready;
    (void)holdForever;
    return 2;
}
