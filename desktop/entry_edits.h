// The edits a user makes to listed entries, shared by every front end: the
// status shown for an entry (refreshed from its desktop file, never stored),
// choosing another handheld format, and removing entries.
#pragma once

#include "file_database.h"

#include <cstdint>
#include <string>

namespace desktop {

class FileAdder;
class TQVPlugin;

constexpr char kCannotChangeFormat[] = "Cannot change handheld format.";
constexpr char kAlreadySynchronizedText[] =
    "The selected file has already been synchronized. You can modify its properties on the Palm device. ";

// The status as shown: a missing desktop file reads 3 (unless the status is
// 11), a file that is back or was changed after the last transfer reads 0.
int32_t displayStatus(const TQVDBRecord &entry);

// Gives the entry another handheld format, names it again (the question may
// be asked for a RAM entry) and stores it; false when naming or storing
// fails, the entry then unchanged. Choosing the current format changes nothing.
bool changeHandheldFormat(TQVFileDatabase &database, FileAdder &adder, TQVDBRecord &entry, int32_t handheldFormat);

enum class RemoveOutcome {
    Deleted,          // never synchronized: deleted from its database
    MarkedRemoved,    // synchronized: kept with the removal mark until the next HotSync
    MarkNotStored,    // synchronized, but the mark could not be stored
    Failed,           // the delete failed; the entry stays
};

// Removes an entry as the remove command does; result is the database's answer.
RemoveOutcome removeEntry(TQVFileDatabase &database, TQVDBRecord &entry, int32_t &result);

}  // namespace desktop
