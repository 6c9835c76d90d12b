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

// An entry transferred before has no handheld record, while its handheld
// file is still there and no other document's record names it (a list that
// could not be written left the record out): the entry gets a record again,
// or takes back an unlinked record of that name. nullptr when there is none.
HandheldItem *relinkItem(ConduitContext &context, DesktopEntry &entry);

}  // namespace conduit
