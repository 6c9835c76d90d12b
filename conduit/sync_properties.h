// The three fields of HotSync's sync properties record the conduit reads:
// the sync type, the user name and the creator it was called for.
#pragma once

#include <cstdint>
#include <string>

namespace conduit {

enum SyncType : int32_t {
    kSyncTypeFast = 0,
    kSyncTypeSlow = 1,
    kSyncTypeHandheldOverwrites = 2,
    kSyncTypeDesktopOverwrites = 3,
    kSyncTypeDoNothing = 6,
};

struct SyncProperties {
    int32_t syncType = kSyncTypeFast;
    std::string userName;   // empty when the record's name field holds no terminator
    uint32_t creator = 0;
};

// Reads the fields from a record of at least QVC_PROPERTIES_MIN_SIZE bytes.
SyncProperties readSyncProperties(const void *record);

}  // namespace conduit
