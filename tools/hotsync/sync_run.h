// One HotSync of an emulated handheld, and the conduit configuration call,
// as the HotSync Manager performs them: the records it hands to a conduit
// are filled field by field at the offsets conduits read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hotsync {

// Sync properties record: sync type at 0, user name at 516, creator at 908.
constexpr size_t kSyncPropertiesSize = 1024;
constexpr size_t kSyncTypeOffset = 0;
constexpr size_t kUserNameOffset = 516;
constexpr size_t kUserNameWidth = 256;
constexpr size_t kCreatorOffset = 908;

// The 352-byte conduit configuration record.
constexpr size_t kHotSyncConfigSize = 352;

// User Manager action (0 synchronize, 1 desktop overwrites, 2 handheld
// overwrites, 3 do nothing) to sync type (0, 3, 2, 6) and back.
int32_t syncTypeOfAction(int32_t action);
int32_t actionOfSyncType(int32_t type);

// The library file a conduit registration names, found beside this program
// when it is not a path ("QVPalmConduit.dll" is looked for as
// libQVPalmConduit.so and QVPalmConduit.so as well).
std::optional<std::string> resolveLibrary(const std::string &library);

struct SyncOptions {
    std::string handheld;
    std::optional<int32_t> typeOverride;
};

// Records this program in the registry ("HotSyncPath"), where the desktop
// program looks for the HotSync folder and its libraries.
void writeHotSyncPath();

// Runs one HotSync and prints what happened; answers the exit status.
int runSync(const SyncOptions &options);
// Calls CfgConduit of the conduit registered for the creator.
int runConfigure(const std::string &userName, uint32_t creator);

}  // namespace hotsync
