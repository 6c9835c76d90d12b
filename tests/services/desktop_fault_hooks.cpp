#include "desktop_fault_hooks.h"

#include <cerrno>
#include <dlfcn.h>
#include <mutex>

namespace servicestest {

namespace {

std::mutex planMutex;
bool armed = false;
DesktopFaultPlan plan;
int renames = 0;
int unlinks = 0;

}  // namespace

// True when this call is one the plan makes fail (errno set).
bool shouldFail(bool isRename) {
    std::lock_guard<std::mutex> lock(planMutex);
    if (!armed) return false;
    int call = isRename ? ++renames : ++unlinks;
    if (!(isRename ? plan.failingRenames : plan.failingUnlinks).count(call)) return false;
    errno = plan.error;
    return true;
}

namespace {

template <typename F>
F next(const char *name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

void armDesktopFaults(const DesktopFaultPlan &p) {
    std::lock_guard<std::mutex> lock(planMutex);
    plan = p;
    renames = unlinks = 0;
    armed = true;
}

void disarmDesktopFaults() {
    std::lock_guard<std::mutex> lock(planMutex);
    armed = false;
}

}  // namespace servicestest

extern "C" __attribute__((visibility("default"))) int rename(const char *from, const char *to) {
    if (servicestest::shouldFail(true)) return -1;
    static auto real = servicestest::next<int (*)(const char *, const char *)>("rename");
    return real(from, to);
}

extern "C" __attribute__((visibility("default"))) int unlink(const char *path) {
    if (servicestest::shouldFail(false)) return -1;
    static auto real = servicestest::next<int (*)(const char *)>("unlink");
    return real(path);
}
