// One conduit run (OpenConduit) and one configuration call (CfgConduit).
#pragma once

#include <cstdint>

namespace conduit {

// Registers with the Sync Manager, agrees with the desktop program, runs the
// sync steps for the plug-in of the creator and writes the closing log
// entry. 0 when the run got through; -1 otherwise.
int32_t runConduit(void *hotSyncArgument, const void *syncProperties);

// Shows the plug-in's HotSync action dialog for the creator and user of the
// configuration record (already checked); without a plug-in an error box.
// 0, or the failure of loading the display name.
int32_t configureConduit(void *config);

}  // namespace conduit
