// The transfers every action is made of: a desktop file copied onto the
// handheld (into RAM by the plug-in, or onto a card through a temporary
// file that takes the target's name only when complete), a handheld file
// copied into a desktop path, and the marks a successful transfer leaves on
// the desktop entry.
#pragma once

#include "conduit_context.h"

#include <string>

namespace conduit {

constexpr std::size_t kMaxPathLength = QVDP_MAX_PATH - 1;

inline bool failed(const QVDP_Error &error) { return error.code != 0; }

// A card file-system failure: sync error 91 with the card's answer.
void cardError(QVDP_Error &error, int32_t answer);
// Deletes a desktop file if there is one; failures are ignored.
void deleteDesktopFile(const std::string &path);

// Whether the entry's handheld name can be stored: a RAM database name, or
// one file name inside the card folder with room for ".tmp".
bool usableHandheldName(const DesktopEntry &entry);

// The entry's desktop file onto its handheld path.
void copyToHandheld(ConduitContext &context, DesktopEntry &entry, QVDP_Error &error);
// The item's handheld file into the desktop path; a failed copy deletes it.
void copyFromHandheld(ConduitContext &context, const HandheldItem &item, const std::string &target,
                      int32_t desktopFormat, int32_t handheldFormat, QVDP_Error &error);

// After every successful transfer: the size on the handheld, the status,
// the card and the time of the transfer.
void markSynchronized(DesktopEntry &entry);
// The entry lives where the list is.
void takeLocationOf(DesktopEntry &entry, const HandheldList &list);

}  // namespace conduit
