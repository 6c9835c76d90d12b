#include "session.h"

#include "connection.h"
#include "ini_store.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace palm {

namespace detail {

Session &session() {
    static Session *s = new Session();   // lives until exit; conduits may call during teardown
    return *s;
}

void setProblem(Session &s, std::string text) { s.lastProblem = std::move(text); }

static void loadDeviceFaults(Session &s) {
    s.faults.erase(std::remove_if(s.faults.begin(), s.faults.end(),
                                  [](const ActiveFault &f) { return !f.deviceKey.empty(); }),
                   s.faults.end());
    IniDocument doc;
    std::string error;
    if (!s.handheld || !loadIni(s.handheld->deviceFile(), doc, error)) return;
    if (const IniSection *faults = doc.section("Faults")) {
        for (const auto &[key, value] : faults->entries) {
            std::string ruleError;
            if (auto rule = parseFaultRule(value, ruleError)) s.faults.push_back({*rule, key, false});
        }
    }
}

void reloadCards(Session &s) {
    s.cards.clear();
    if (!s.handheld) return;
    for (const SlotInfo &slot : s.handheld->slots()) {
        std::string error;
        if (auto card = s.handheld->card(slot.slotRef, error)) s.cards[slot.slotRef] = {*card, std::nullopt};
        else if (!error.empty()) setProblem(s, error);
    }
}

bool flushDatabase(Session &s, DbState &state) {
    if (!state.dirty || !s.handheld) return true;
    std::string error;
    const std::vector<uint8_t> bytes = serializePdb(state.db);
    if (!writeWholeFileAtomically(s.handheld->databaseFile(state.db.name), bytes, error)) {
        setProblem(s, error);
        return false;
    }
    state.storedSize = bytes.size();
    state.dirty = false;
    return true;
}

void closeEverything(Session &s) {
    for (auto &[name, state] : s.databases) flushDatabase(s, *state);
    s.databases.clear();
    s.dbHandles.clear();
    for (auto &[ref, file] : s.files)
        if (file.fd >= 0) ::close(file.fd);
    s.files.clear();
}

Handheld *connected(Session &s) {
    if (!s.handheld && !s.environmentTried) {
        s.environmentTried = true;
        if (const char *name = std::getenv("PAPYRINE_HANDHELD"); name && *name) {
            std::string error;
            if (auto h = Handheld::open(name, error)) {
                s.handheld = std::move(h);
                s.callCounts.clear();
                loadDeviceFaults(s);
                reloadCards(s);
            } else {
                setProblem(s, error);
            }
        }
    }
    return s.handheld ? &*s.handheld : nullptr;
}

}  // namespace detail

using namespace detail;

bool selectHandheld(const std::string &name, std::string &error) {
    Session &s = session();
    Lock lock(s.mutex);
    closeEverything(s);
    s.handheld.reset();
    s.environmentTried = true;
    auto h = Handheld::open(name, error);
    if (!h) return false;
    s.handheld = std::move(h);
    s.callCounts.clear();
    loadDeviceFaults(s);
    reloadCards(s);
    return true;
}

void deselectHandheld() {
    Session &s = session();
    Lock lock(s.mutex);
    closeEverything(s);
    s.handheld.reset();
    s.cards.clear();
    loadDeviceFaults(s);
}

std::optional<std::string> currentHandheldName() {
    Session &s = session();
    Lock lock(s.mutex);
    if (Handheld *h = connected(s)) return h->name();
    return std::nullopt;
}

std::string lastProblem() {
    Session &s = session();
    Lock lock(s.mutex);
    return s.lastProblem;
}

// ---- Faults -----------------------------------------------------------------

const std::vector<std::string> &faultOperations() {
    static const std::vector<std::string> names = {
        "sync.registerConduit", "sync.unregisterConduit", "sync.openDatabase", "sync.createDatabase",
        "sync.closeDatabase", "sync.deleteDatabase", "sync.findDatabase", "sync.readOpenDatabaseInfo",
        "sync.getRecordCount", "sync.readRecordByIndex", "sync.readRecordById", "sync.writeRecord",
        "sync.removeAllRecords", "sync.readAppInfoBlock", "sync.writeAppInfoBlock", "sync.readSortInfoBlock",
        "sync.writeSortInfoBlock", "sync.readSingleCardInfo", "sync.yieldCycles", "sync.addLogLine",
        "vfs.volumeEnumerate", "vfs.volumeInfo", "vfs.volumeGetLabel", "vfs.volumeSetLabel", "vfs.volumeSize",
        "vfs.fileOpen", "vfs.fileCreate", "vfs.fileClose", "vfs.fileRead", "vfs.fileWrite", "vfs.fileSeek",
        "vfs.fileTell", "vfs.fileSize", "vfs.fileDelete", "vfs.fileRename", "vfs.fileSetAttributes",
        "vfs.fileGetAttributes", "vfs.dirCreate",
        "log.addEntry",
        "um.getUserId", "um.getUserName", "um.getIdFromName", "um.getRootDirectory", "um.getUserDirectory",
        "um.addUser", "um.deleteUser", "um.renameUser", "um.getPermanentAction", "um.setPermanentAction",
        "um.deletePermanentAction", "um.getTemporaryAction", "um.setTemporaryAction", "um.removeTemporaryAction",
        "um.slotCount", "um.slotInfo", "um.slotDisplayName",
        "install.queueFile",
        "cm.install", "cm.setLibrary", "cm.setDirectory", "cm.setTitle", "cm.remove",
        "launcher.createManager", "launcher.find", "launcher.createEntry", "launcher.save", "launcher.remove",
    };
    return names;
}

std::optional<FaultRule> parseFaultRule(const std::string &text, std::string &error) {
    std::vector<std::string> words;
    for (size_t i = 0; i < text.size();) {
        while (i < text.size() && text[i] == ' ') ++i;
        size_t j = i;
        while (j < text.size() && text[j] != ' ') ++j;
        if (j > i) words.push_back(text.substr(i, j - i));
        i = j;
    }
    if (words.size() < 2 || words.size() > 4) {
        error = "a fault is \"operation error [once|from] [N]\": \"" + text + "\"";
        return std::nullopt;
    }
    FaultRule rule;
    const auto &ops = faultOperations();
    const auto op = std::find_if(ops.begin(), ops.end(), [&](const std::string &o) { return iequals(o, words[0]); });
    if (op == ops.end()) {
        error = "unknown operation \"" + words[0] + "\"";
        return std::nullopt;
    }
    rule.operation = *op;
    const auto code = parseInteger(words[1]);
    if (!code || *code == 0 || *code < INT32_MIN || *code > INT32_MAX) {
        error = "\"" + words[1] + "\" is not a non-zero error code";
        return std::nullopt;
    }
    rule.error = int32_t(*code);
    if (words.size() >= 3) {
        if (iequals(words[2], "once")) rule.mode = FaultMode::Once;
        else if (iequals(words[2], "from")) rule.mode = FaultMode::From;
        else {
            error = "\"" + words[2] + "\" is neither once nor from";
            return std::nullopt;
        }
    }
    if (words.size() == 4) {
        const auto n = parseInteger(words[3]);
        if (!n || *n < 1 || *n > 0xFFFFFFFFLL) {
            error = "\"" + words[3] + "\" is not a call number (1 or more)";
            return std::nullopt;
        }
        rule.nthCall = uint32_t(*n);
    }
    return rule;
}

std::string faultRuleText(const FaultRule &rule) {
    return rule.operation + " " + std::to_string(rule.error) + (rule.mode == FaultMode::Once ? " once " : " from ") +
           std::to_string(rule.nthCall);
}

void injectFault(const FaultRule &rule) {
    Session &s = session();
    Lock lock(s.mutex);
    s.faults.push_back({rule, {}, false});
    s.callCounts.erase(rule.operation);
}

void clearFaults() {
    Session &s = session();
    Lock lock(s.mutex);
    s.faults.erase(std::remove_if(s.faults.begin(), s.faults.end(),
                                  [](const ActiveFault &f) { return f.deviceKey.empty(); }),
                   s.faults.end());
    s.callCounts.clear();
}

bool addDeviceFault(const std::string &handheld, const FaultRule &rule, std::string &error) {
    auto h = Handheld::open(handheld, error);
    if (!h) return false;
    StoreLock lock(h->deviceFile());
    IniDocument doc;
    if (!loadIni(h->deviceFile(), doc, error, false)) return false;
    IniSection &faults = doc.sectionOrNew("Faults");
    int n = 1;
    while (faults.find("Fault" + std::to_string(n))) ++n;
    faults.set("Fault" + std::to_string(n), faultRuleText(rule));
    return saveIni(h->deviceFile(), doc, error);
}

bool clearDeviceFaults(const std::string &handheld, std::string &error) {
    auto h = Handheld::open(handheld, error);
    if (!h) return false;
    StoreLock lock(h->deviceFile());
    IniDocument doc;
    if (!loadIni(h->deviceFile(), doc, error, false)) return false;
    doc.removeSection("Faults");
    return saveIni(h->deviceFile(), doc, error);
}

std::vector<FaultRule> deviceFaults(const std::string &handheld, std::string &error) {
    std::vector<FaultRule> rules;
    auto h = Handheld::open(handheld, error);
    if (!h) return rules;
    IniDocument doc;
    if (!loadIni(h->deviceFile(), doc, error, false)) return rules;
    if (const IniSection *faults = doc.section("Faults"))
        for (const auto &[key, value] : faults->entries) {
            std::string ruleError;
            if (auto rule = parseFaultRule(value, ruleError)) rules.push_back(*rule);
            else error = h->deviceFile().string() + ": " + key + ": " + ruleError;
        }
    return rules;
}

static void forgetDeviceFault(Session &s, const std::string &key) {
    if (!s.handheld) return;
    StoreLock lock(s.handheld->deviceFile());
    IniDocument doc;
    std::string error;
    if (!loadIni(s.handheld->deviceFile(), doc, error, false)) return;
    if (IniSection *faults = doc.section("Faults"); faults && faults->remove(key))
        saveIni(s.handheld->deviceFile(), doc, error);
}

void suspendFaults(bool suspended) {
    Session &s = session();
    Lock lock(s.mutex);
    s.faultsSuspended = suspended;
}

// The outside view of a counted call on a selected handheld (see faults.h).
static void followCall(std::string_view operation, uint32_t call) {
    static uint64_t totalCalls = 0;
    ++totalCalls;
    if (const char *trace = std::getenv("PAPYRINE_CALL_TRACE"); trace && *trace) {
        if (FILE *f = std::fopen(trace, "a")) {
            std::fprintf(f, "%.*s %u\n", int(operation.size()), operation.data(), call);
            std::fclose(f);
        }
    }
    if (const char *killAt = std::getenv("PAPYRINE_KILL_AT_CALL"); killAt && *killAt) {
        if (std::strtoull(killAt, nullptr, 10) == totalCalls) ::kill(::getpid(), SIGKILL);
    }
}

int32_t checkFault(std::string_view operation) {
    Session &s = session();
    Lock lock(s.mutex);
    if (s.faultsSuspended) return 0;
    const bool selected = connected(s) != nullptr;
    auto it = s.callCounts.find(operation);
    if (it == s.callCounts.end()) it = s.callCounts.emplace(std::string(operation), 0).first;
    const uint32_t call = ++it->second;
    // Calls before a handheld is selected are counted afresh after it.
    if (selected) followCall(operation, call);
    for (ActiveFault &f : s.faults) {
        if (f.spent || f.rule.operation != operation) continue;
        const bool fires = f.rule.mode == FaultMode::Once ? call == f.rule.nthCall : call >= f.rule.nthCall;
        if (!fires) continue;
        if (f.rule.mode == FaultMode::Once) {
            f.spent = true;
            if (!f.deviceKey.empty()) forgetDeviceFault(s, f.deviceKey);
        }
        return f.rule.error;
    }
    return 0;
}

}  // namespace palm
