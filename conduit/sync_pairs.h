// Pairing a desktop entry with its handheld item, bringing the pair up to
// date (matching), deciding what it needs, and the file status an error
// gives.
#pragma once

#include "conduit_context.h"

#include <string>

namespace conduit {

// The entry's handheld path: the RAM name, or its card folder and name
// joined (empty when they do not fit a card path).
std::string handheldPathOf(const qv::SyncFileRecord &record);

// The first item, in load order, that no walk has handled and that has the id.
HandheldItem *findItemFor(const ConduitContext &context, const qv::Guid &id);
// The first entry with the id, handled or not.
DesktopEntry *findEntryFor(const ConduitContext &context, const qv::Guid &id);

// Brings the pair up to date: the entry's status, whether its desktop file
// changed, its location and names from the item, and its card.
void matchPair(ConduitContext &context, SyncPair &pair);

// What the pair needs. The test for the handheld file may fail: no action,
// and the error record holds the failure.
SyncAction decideAction(SyncPair &pair, QVDP_Error &error);

// The file status of a failure.
int32_t statusForError(const QVDP_Error &error);

// The item keeps its file but belongs to no desktop entry any more.
void unlinkItem(HandheldItem &item);

}  // namespace conduit
