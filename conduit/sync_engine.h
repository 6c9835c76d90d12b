// The file synchronization of a run: loads the user's desktop list and the
// handheld lists, pairs their records, transfers what needs transferring
// through the plug-in and writes every list back; and the cleaning of old
// backup folders before it.
#pragma once

#include "conduit_context.h"

#include <cstdint>

namespace conduit {

// Not built yet: both leave everything as it is (synchronize answers 0).
// The run calls them in their places so that the steps keep their order.
int32_t synchronize(ConduitContext &context);
void cleanBackups(ConduitContext &context);

}  // namespace conduit
