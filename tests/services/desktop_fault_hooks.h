// Making the desktop file system fail on purpose: the test program defines
// rename() and unlink() itself, so the services library's calls come here
// first. While a plan is armed, the chosen calls fail with the chosen error;
// every other call goes on to the C library.
#pragma once

#include <set>
#include <string>

namespace servicestest {

struct DesktopFaultPlan {
    std::set<int> failingRenames;   // 1 = the first rename after arming
    std::set<int> failingUnlinks;
    int error = 5;                  // EIO
};

void armDesktopFaults(const DesktopFaultPlan &plan);
void disarmDesktopFaults();

// Disarms when it goes out of scope.
struct ScopedDesktopFaults {
    explicit ScopedDesktopFaults(const DesktopFaultPlan &plan) { armDesktopFaults(plan); }
    ~ScopedDesktopFaults() { disarmDesktopFaults(); }
};

}  // namespace servicestest
