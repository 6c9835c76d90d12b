// The state of the Palm layer in one process: the selected handheld, the
// open databases and card files, card states, fault rules and call counts.
// Every public call locks the session.
#pragma once

#include "faults.h"
#include "handheld.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace palm::detail {

struct DbState {
    PalmDatabase db;
    uint64_t storedSize = 0;   // size of the file as last read or written
    bool dirty = false;
    int openCount = 0;
};

struct DbHandleState {
    std::shared_ptr<DbState> db;
    uint8_t mode = 0;
};

struct OpenCardFile {
    uint16_t volRef = 0;
    std::filesystem::path file;     // the real file in the volume folder
    std::string cardPath;           // canonical card path, "/Documents/a.doc"
    int fd = -1;
    uint16_t mode = 0;
    bool directory = false;
    uint64_t position = 0;
};

struct CardCache {
    CardState state;
    std::optional<uint64_t> used;   // bytes in use, counted on first need
};

struct ActiveFault {
    FaultRule rule;
    std::string deviceKey;          // the device-file entry to remove when a "once" rule fires
    bool spent = false;
};

struct Session {
    std::recursive_mutex mutex;
    std::optional<Handheld> handheld;
    bool environmentTried = false;
    std::map<std::string, std::shared_ptr<DbState>> databases;
    std::map<uint8_t, DbHandleState> dbHandles;
    std::map<uint32_t, OpenCardFile> files;
    uint32_t nextFileRef = 1;
    std::map<uint16_t, CardCache> cards;
    std::vector<ActiveFault> faults;
    bool faultsSuspended = false;
    std::map<std::string, uint32_t, std::less<>> callCounts;
    std::vector<uint32_t> conduits;
    uint32_t nextConduit = 1;
    std::string lastProblem;
};

Session &session();
using Lock = std::lock_guard<std::recursive_mutex>;

// The selected handheld, selecting the one named by PAPYRINE_HANDHELD on first
// use; nullptr when there is none.
Handheld *connected(Session &s);
// Reloads the card states of the selected handheld.
void reloadCards(Session &s);
// Writes back every changed open database and closes every handle.
void closeEverything(Session &s);
// Writes back one database; false with lastProblem set.
bool flushDatabase(Session &s, DbState &state);
void setProblem(Session &s, std::string text);

}  // namespace palm::detail
