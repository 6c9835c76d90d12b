// The Slides container: a Slides file held in handheld RAM as a record
// database (creator 'QVSS', type 'Mppt', the backup attribute), the file cut
// into consecutive 4096-byte records in file order, without application or
// sort info block.
#pragma once

#include "qvdp_types.h"

#include <string>

namespace qvplugin {

// Writes the desktop file as the database `name`, replacing a database of
// that name. A failure leaves no database of that name behind.
bool writeSlidesContainer(QVDP_Error *error, const std::string &desktopFile, const std::string &name);

// Reads the database back into the desktop file (created or truncated).
bool readSlidesContainer(QVDP_Error *error, const std::string &name, const std::string &desktopFile);

}  // namespace qvplugin
