// The handheld file lists of a run: the RAM list, read and rewritten through
// the Sync Manager, and the list file of each card folder, read and replaced
// through the card file system. Items of a list loaded later that repeat the
// record id of an earlier item lose their id, so that no document pairs twice.
#pragma once

#include "conduit_context.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace conduit {

// The volume of a list's files: the card's, or the RAM marker.
uint16_t volumeOf(const HandheldList &list);
// The item's full handheld path: the RAM name, or its folder and name joined.
std::string itemPath(const HandheldItem &item);
// A card folder and a name joined with one "/"; empty when the result would
// not fit a card path.
std::string joinCardPath(std::string_view folder, std::string_view name);

// Loads the RAM list (empty when the handheld has none). False when it
// exists but cannot be read: the run then writes nothing.
bool loadRamList(ConduitContext &context);

// Loads the list file of a card folder and appends it to the lists; a
// folder without a list file gives no list (nullptr). A list file that
// cannot be read gives a list marked unreadable.
HandheldList *loadFolderList(ConduitContext &context, CardEntry &card, const std::string &folder);

// The card's list of the folder (compared without regard to case or a
// trailing "/"); nullptr when none is loaded.
HandheldList *findFolderList(ConduitContext &context, const CardEntry &card, std::string_view folder);

// The list a new file of the folder goes into: the loaded one, else the
// folder's list file (also when the paths file does not name the folder),
// else a new empty list. The folder is added to the card's paths list.
HandheldList &folderListFor(ConduitContext &context, CardEntry &card, const std::string &folder);

// Appends a new item to a list (dirty).
HandheldItem &appendItem(HandheldList &list, const qv::HandheldFileRecord &record);

// Rewrites the RAM list in place when it changed; a failed write is made
// once more.
void writeRamList(ConduitContext &context);
// Replaces a card folder's list file through a temporary file; false, with
// the old file kept, when that fails.
bool writeFolderList(HandheldList &list);

}  // namespace conduit
