#include "backups.h"

#include "QVDPCommon.h"
#include "error_record.h"
#include "status_codes.h"
#include "times.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace conduit {

namespace fs = std::filesystem;

namespace {

constexpr platform::FileTime kFileTimeUnitsPerDay = 864000000000ull;

std::string runFolderName() {
    const platform::CivilTime now = platform::localNow();
    char name[64];
    std::snprintf(name, sizeof name, "%d-%d-%d-%d-%d-%d", now.year, now.month, now.day, now.hour, now.minute,
                  now.second);
    return name;
}

// The run's backup folder; made on first use, and remembered even when it
// could not be made, so later backups of the run fail the same way.
const std::string &runFolder(ConduitContext &context) {
    if (!context.backupFolder) {
        context.backupFolder = context.plugin->backupRoot + "/" + runFolderName();
        QVPCCheckPath(context.backupFolder->c_str());
    }
    return *context.backupFolder;
}

// Deletes the files of a folder and then the folder; false (folder kept)
// when something in it cannot be deleted.
bool removeBackupFolder(const fs::path &folder) {
    std::error_code ec;
    for (const auto &item : fs::directory_iterator(folder, ec)) {
        if (item.is_directory(ec) && !item.is_symlink(ec)) return false;
        if (!fs::remove(item.path(), ec)) return false;
    }
    if (ec) return false;
    return fs::remove(folder, ec);
}

}  // namespace

bool backupDesktopFile(ConduitContext &context, const std::string &path, QVDP_Error &error) {
    if (context.plugin->settings.backupType == kBackupNone || !QVPCFileExists(path.c_str())) return true;
    const std::string &folder = runFolder(context);
    char name[QVDP_MAX_PATH] = {};
    char target[QVDP_MAX_PATH] = {};
    std::error_code ec;
    const bool copied = QVPCGetOnlyFileName(name, path.c_str()) && (folder.size() + 1 + std::strlen(name)) < QVDP_MAX_PATH &&
                        GenerateUniquePCFileName((folder + "/" + name).c_str(), target) &&
                        fs::copy_file(path, target, fs::copy_options::none, ec);
    if (copied) return true;
    qv::setConduitError(&error, qv::kCannotMakeBackup);
    return false;
}

// The folder's last-write time stands for its creation time: a run fills
// its backup folder at once and never touches it again.
void removeOldBackups(ConduitContext &context) {
    const QVDP_Settings &settings = context.plugin->settings;
    if (settings.backupType != kBackupExpire) return;
    const platform::FileTime now = platform::fileTimeNow();
    const uint64_t days = uint64_t(std::max<int32_t>(settings.backupDays, 0));
    const platform::FileTime age = days > now / kFileTimeUnitsPerDay ? now : days * kFileTimeUnitsPerDay;
    std::error_code ec;
    for (const auto &item : fs::directory_iterator(context.plugin->backupRoot, ec)) {
        if (!item.is_directory(ec) || item.is_symlink(ec)) continue;
        const auto written = platform::lastWriteFileTime(item.path());
        if (written && *written < now && now - *written > age) removeBackupFolder(item.path());
    }
}

}  // namespace conduit
