// The card folders that hold the plug-in's file lists, as the paths file at
// the root of each card names them: read while the lists are loaded (with
// the folders of the desktop records on the card added), and written back
// through a temporary file before the card's folder lists.
#pragma once

#include "conduit_context.h"

#include <string>

namespace conduit {

inline constexpr const char kCannotReadPathsText[] = "Can not read paths database on palm card";
inline constexpr const char kPathsReadExceptionText[] = "Exception while reading paths database on palm card";

// Reads the card's paths file, adds the folders of the desktop records that
// live on the card, and loads the list of every folder that still exists;
// a folder that is gone is marked deleted. A paths file that cannot be read
// is logged and leaves the card with no listed folders, and is not rewritten.
void loadCardFolders(ConduitContext &context, CardEntry &card);

// Rewrites the paths file when its list changed. False when it could not be
// written (logged): the card's folder lists are then left as they are.
bool saveCardFolders(ConduitContext &context, CardEntry &card);

// Adds a folder to the card's paths list unless it is already listed.
void addCardFolder(CardEntry &card, const std::string &folder);

}  // namespace conduit
