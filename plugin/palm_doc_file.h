// Palm Doc files (format 5): a desktop file that is itself a standard Palm
// database (78-byte header, record list of 8-byte entries, optional
// application and sort info blocks, then the records, all big-endian). The
// installer writes it into handheld RAM record by record; the export writes
// a handheld database back out as such a file, so that nothing on the
// handheld is lost when it comes back to the desktop.
#pragma once

#include "qvdp_types.h"

#include <string>

namespace qvplugin {

// Installs the file as the database `name`: an existing database of that
// name is emptied and refilled (keeping its header), a missing one is
// created with the file's creator, type, attributes and version. The file
// is checked whole before the handheld is touched: one that is not a record
// database laid out as above is kind 1, code 3. A failure after the
// database was created or emptied deletes it.
bool installPalmDocFile(QVDP_Error *error, const std::string &desktopFile, const std::string &name);

// Writes the database `name` out as a Palm database file (created or
// truncated): header, record list, blocks and records as on the handheld.
bool exportPalmDocFile(QVDP_Error *error, const std::string &name, const std::string &desktopFile);

}  // namespace qvplugin
