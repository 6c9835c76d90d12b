// The actions a decided pair needs, each made of transfers through the
// plug-in: update the handheld file, update the desktop file (backed up
// first), keep both versions when both changed, create the desktop file of
// a new handheld file, create the handheld file of a new desktop entry.
#pragma once

#include "conduit_context.h"

namespace conduit {

// Performs the pair's action. A failing step stops it; the error record then
// holds the failure. An action may change the pair (KeepBoth gives the entry
// a new item; CreateDesktop gives the item its new entry).
void performAction(ConduitContext &context, SyncPair &pair, QVDP_Error &error);

}  // namespace conduit
