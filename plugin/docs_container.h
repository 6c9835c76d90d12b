// The Docs container: a Docs file held in handheld RAM as a record
// database (creator 'QVMW', type 'QVWD'). The file is cut into consecutive
// 4096-byte records; the application info block holds a 16-bit 12 and the
// file's 32-bit length, the sort info block the records' unique ids in file
// order, all big-endian.
#pragma once

#include "qvdp_types.h"

#include <cstddef>
#include <string>

namespace qvplugin {

inline constexpr size_t kDocsRecordSize = 4096;

// Writes the desktop file as the database `name` (at most 31 characters of
// it are used), replacing a database of that name. A failure leaves no
// database of that name behind. true on success.
bool writeDocsContainer(QVDP_Error *error, const std::string &desktopFile, const std::string &name);

// Reads the database `name` back into the desktop file (created or
// truncated). A damaged container (a sort info block that does not list
// every record exactly once, a record longer than 4096 bytes) is an error
// (kind 1, code 44), never a wrong file. true on success.
bool readDocsContainer(QVDP_Error *error, const std::string &name, const std::string &desktopFile);

// The database name a request uses: the first 31 characters.
std::string handheldName(const std::string &name);

}  // namespace qvplugin
