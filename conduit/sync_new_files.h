// The actions for documents new on one side: the desktop file of a new
// handheld file (in the sync folder, named after the handheld file), the
// handheld file and record of a new desktop entry, and a record made again
// for an entry whose record a list that could not be written left out.
#pragma once

#include "conduit_context.h"

namespace conduit {

// The item has no desktop entry: its file is copied into the sync folder
// and a new entry made for it (pair.entry).
void createDesktop(ConduitContext &context, SyncPair &pair, QVDP_Error &error);

// The entry has no handheld record: its file is copied to the handheld and
// a record added to the list of its location (pair.item).
void createHandheld(ConduitContext &context, SyncPair &pair, QVDP_Error &error);

// An entry transferred before has no handheld record, while its handheld
// file is still there and no other document's record names it (a list that
// could not be written left the record out): the entry gets a record again,
// or takes back an unlinked record of that name. nullptr when there is none.
HandheldItem *relinkItem(ConduitContext &context, DesktopEntry &entry);

}  // namespace conduit
