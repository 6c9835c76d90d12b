// Fault injection: any operation of the Palm layer can be made to answer a
// chosen error, either once (on its Nth call) or on every call from the Nth
// on, so that every failure path of a HotSync can be tested. Rules live in
// the handheld's device file ([Faults], "FaultN=operation error once|from N",
// loaded when the handheld is selected; a "once" rule is removed from the
// file when it fires) or are set for this process by a test. Calls are
// counted per process from the moment the handheld is selected; a rule set
// by a test counts the calls of its operation from then on.
//
// Two environment variables let a test follow a process from outside:
// PAPYRINE_CALL_TRACE names a file that gets one line per counted call on a
// selected handheld ("operation N", N the call's number for its operation,
// as a rule counts it), so every call a run makes can be made to fail in
// turn; PAPYRINE_KILL_AT_CALL=N ends the process at its Nth such call (of
// any operation), as a crash would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#pragma GCC visibility push(default)

namespace palm {

enum class FaultMode { Once, From };

struct FaultRule {
    std::string operation;   // "sync.writeRecord", "vfs.fileWrite", ... (faultOperations())
    int32_t error = 0;
    FaultMode mode = FaultMode::Once;
    uint32_t nthCall = 1;    // 1 = the first call
};

// Every operation name a rule can name.
const std::vector<std::string> &faultOperations();

// "vfs.fileWrite 10767 once 2" (the error may be written 0x...; "once"/"from"
// and N may be left out: once, 1).
std::optional<FaultRule> parseFaultRule(const std::string &text, std::string &error);
std::string faultRuleText(const FaultRule &rule);

// Rules for this process only.
void injectFault(const FaultRule &rule);
void clearFaults();

// Rules kept in a handheld's device file.
bool addDeviceFault(const std::string &handheld, const FaultRule &rule, std::string &error);
bool clearDeviceFaults(const std::string &handheld, std::string &error);
std::vector<FaultRule> deviceFaults(const std::string &handheld, std::string &error);

// The handheld tool acts as the handheld itself: it turns fault injection
// off for its process, so that it neither fails nor spends a rule.
void suspendFaults(bool suspended);

// Counts a call of the operation and answers the injected error, or 0.
int32_t checkFault(std::string_view operation);

}  // namespace palm

#pragma GCC visibility pop
