// The user's desktop file list of the plug-in (a record database in the
// plug-in folder): read whole at the start of the synchronization and kept
// open, so the desktop program cannot change it meanwhile; written back
// whole at the end through a temporary database that replaces it.
#pragma once

#include "conduit_context.h"

namespace conduit {

// The record buffer the list is read with (the conduit writes 874 bytes).
constexpr std::size_t kDesktopReadBuffer = 876;

// Opens the list (created empty when missing) and reads every record into
// an entry. False when it cannot be opened or a record cannot be read: the
// run then writes nothing. A list that a replacement cut short left under
// its ".bak" name is put back first.
bool loadDesktopList(ConduitContext &context);

// Writes every entry that is not dropped into "<list>.tmp" and replaces the
// list with it; on failure the old list stays. The list is closed either way.
bool writeDesktopList(ConduitContext &context);

// Closes the list without writing it.
void closeDesktopList(ConduitContext &context);

}  // namespace conduit
