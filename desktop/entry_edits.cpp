#include "entry_edits.h"

#include "file_adder.h"
#include "status_codes.h"
#include "times.h"

#include <filesystem>

namespace desktop {

int32_t displayStatus(const TQVDBRecord &entry) {
    const qv::SyncFileRecord &r = entry.record;
    std::error_code ec;
    const bool exists = std::filesystem::exists(r.desktopPath, ec);
    if (exists) {
        if (r.status == qv::kMissingDesktopFile) return qv::kNeedSync;
        if (r.status == qv::kSynchronized) {
            const auto written = platform::lastWriteFileTime(r.desktopPath);
            if (written && *written > r.syncedFileTime) return qv::kNeedSync;
        }
        return r.status;
    }
    return r.status == qv::kConversionErrorStatus ? r.status : int32_t(qv::kMissingDesktopFile);
}

bool changeHandheldFormat(TQVFileDatabase &database, FileAdder &adder, TQVDBRecord &entry, int32_t handheldFormat) {
    if (int32_t(entry.record.handheldFormat) == handheldFormat) return true;
    TQVDBRecord copy = entry;
    copy.record.handheldFormat = uint32_t(handheldFormat);
    if (!adder.nameEntry(copy)) return false;
    return database.updateFromCopy(copy, entry) == 0;
}

RemoveOutcome removeEntry(TQVFileDatabase &database, TQVDBRecord &entry, int32_t &result) {
    if (entry.synchronized()) {
        entry.record.removed = 1;
        result = database.updateInPlace(entry, true);
        return result == 0 ? RemoveOutcome::MarkedRemoved : RemoveOutcome::MarkNotStored;
    }
    result = database.remove(entry);
    return result == 0 ? RemoveOutcome::Deleted : RemoveOutcome::Failed;
}

}  // namespace desktop
