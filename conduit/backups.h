// Backups of desktop files before the handheld version replaces them: one
// folder per run inside the plug-in's "BACKUP" folder, named from the local
// time, made on first use. Old run folders are deleted at the start of a
// run when the user keeps backups for a number of days.
#pragma once

#include "conduit_context.h"

#include <string>

namespace conduit {

// backupType of the plug-in settings.
enum BackupType : int32_t {
    kBackupExpire = 0,   // keep backups for backupDays days
    kBackupKeep = 1,     // keep every backup
    kBackupNone = 2,     // make none
};

// Copies the desktop file into the run's backup folder (its name made
// unique there; nothing is overwritten). True when there is nothing to back
// up; false with conduit error 96 in the record when the copy cannot be made.
bool backupDesktopFile(ConduitContext &context, const std::string &path, QVDP_Error &error);

// Deletes the backup folders older than backupDays days (backupType 0 only);
// a folder holding a file that cannot be deleted stays.
void removeOldBackups(ConduitContext &context);

}  // namespace conduit
