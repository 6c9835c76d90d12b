#include "plugin_settings.h"

#include "home.h"
#include "plugin_names.h"
#include "profile_file.h"
#include "status_codes.h"

#include <cstring>
#include <string>

namespace qvplugin {

namespace {

constexpr const char *kSyncDirKey = "SyncDir";
constexpr const char *kMinFreeSpaceKey = "MinFreeSpaceOnDevice";
constexpr const char *kBackupTypeKey = "BackupType";
constexpr const char *kBackupDaysKey = "BackupDays";

// Copies text into the folder field when it fits with its terminator.
bool setSyncDir(QVDP_Settings &settings, const std::string &text) {
    if (text.size() >= sizeof settings.syncDir) return false;
    std::memcpy(settings.syncDir, text.c_str(), text.size() + 1);
    return true;
}

int32_t readInteger(const ProfileFile &profile, const char *key, int32_t fallback) {
    const auto text = profile.value(kSettingsSection, key);
    return text ? profileInteger(*text) : fallback;
}

}  // namespace

QVDP_Settings defaultSettings() {
    QVDP_Settings settings{};
    // The documents folder always has a path here; one too long for the
    // field leaves it empty rather than cut.
    setSyncDir(settings, platform::documentsFolder().string());
    settings.minFreeSpaceOnDevice = kDefaultMinFreeSpace;
    settings.backupType = kDefaultBackupType;
    settings.backupDays = kDefaultBackupDays;
    return settings;
}

int32_t loadSettingsFile(const std::filesystem::path &file, QVDP_Settings &out) {
    out = defaultSettings();
    ProfileFile profile;
    std::error_code ec;
    if (!profile.load(file, ec)) return qv::kReadFileError;
    int32_t result = qv::kOk;
    if (const auto folder = profile.value(kSettingsSection, kSyncDirKey); folder && !setSyncDir(out, *folder))
        result = qv::kBufferTooSmall;
    out.minFreeSpaceOnDevice = readInteger(profile, kMinFreeSpaceKey, kDefaultMinFreeSpace);
    out.backupType = readInteger(profile, kBackupTypeKey, kDefaultBackupType);
    out.backupDays = readInteger(profile, kBackupDaysKey, kDefaultBackupDays);
    return result;
}

int32_t saveSettingsFile(const std::filesystem::path &file, const QVDP_Settings &in) {
    if (std::memchr(in.syncDir, 0, sizeof in.syncDir) == nullptr) return qv::kBadParameters;
    // A line break would end the value and start a line of its own.
    if (std::strpbrk(in.syncDir, "\r\n")) return qv::kBadParameters;
    ProfileFile profile;
    std::error_code ec;
    if (!profile.load(file, ec)) return qv::kWriteFileError;
    profile.setValue(kSettingsSection, kSyncDirKey, in.syncDir);
    profile.setValue(kSettingsSection, kMinFreeSpaceKey, std::to_string(in.minFreeSpaceOnDevice));
    profile.setValue(kSettingsSection, kBackupTypeKey, std::to_string(in.backupType));
    profile.setValue(kSettingsSection, kBackupDaysKey, std::to_string(in.backupDays));
    return profile.save(file, ec) ? qv::kOk : qv::kWriteFileError;
}

}  // namespace qvplugin
