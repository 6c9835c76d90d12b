// The file synchronization of a run: loads the user's desktop list and the
// handheld lists, pairs their records, transfers what needs transferring
// through the plug-in and writes every list back; and the cleaning of old
// backup folders before it.
#pragma once

#include "conduit_context.h"

#include <cstdint>

namespace conduit {

// Loads, walks according to the sync type and writes every list back.
// 0, or -1 when the lists could not be loaded (nothing is written then) or
// the desktop list could not be written (the old one stays).
int32_t synchronize(ConduitContext &context);

// Deletes the backup folders that are older than the user keeps them.
void cleanBackups(ConduitContext &context);

}  // namespace conduit
