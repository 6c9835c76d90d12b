// The exports over a Palm user's plug-in files: the categories, the FTP
// accounts and the settings, and the copies from the handheld.
#include "QVDPCommon.h"
#include "QVDocsPlugin.h"
#include "categories.h"
#include "ftp_accounts.h"
#include "handheld_database.h"
#include "plugin_files.h"
#include "plugin_names.h"
#include "plugin_settings.h"
#include "status_codes.h"

using namespace qvplugin;

namespace {

// The settings file of the Palm user the configuration names; false when
// there is no such user.
bool settingsFileOf(const HotSyncConfig &config, std::filesystem::path &file) {
    char userFolder[QVDP_MAX_PATH];
    if (!GetUserFullPath(config.userId, userFolder)) return false;
    file = pluginFolderOf(userFolder) / kSettingsFileName;
    return true;
}

}  // namespace

// ---- Categories.

QV_EXPORT int32_t QVDP_GetPalmCategories(const char *userFolder, void *buffer) {
    if (!userFolder || !buffer) return qv::kBadParameters;
    return readCategoriesFile(pluginFolderOf(userFolder) / kCategoriesFileName, buffer);
}

QV_EXPORT int32_t QVDP_SyncPalmCategoriesToPC(const char *userFolder) {
    if (!userFolder) return qv::kBadParameters;
    const auto file = pluginFolderOf(userFolder) / kCategoriesFileName;
    if (!ensureFileExists(file)) return qv::kCannotOpenCategories;
    int32_t error = 0;
    auto database = HandheldDatabase::openReadOnly(kHandheldCategoriesDatabase, error);
    if (!database) return qv::kCannotOpenCategories;
    return copyCategoriesFromHandheld(file, *database);
}

// ---- FTP accounts.

QV_EXPORT int32_t QVDP_LoadFTPAccounts(const char *userFolder, QVDP_FtpAccounts *list) {
    if (!list) return qv::kBadParameters;
    if (!userFolder) {
        *list = QVDP_FtpAccounts{0, nullptr};
        return qv::kBadParameters;
    }
    return loadFtpAccounts(pluginFolderOf(userFolder) / kFtpAccountsFileName, *list);
}

QV_EXPORT int32_t QVDP_FreeFTPAccounts(QVDP_FtpAccounts *list) {
    if (list) freeFtpAccounts(*list);
    return qv::kOk;
}

QV_EXPORT int32_t QVDP_FreeFTP1Accounts(void * /*unused*/) { return qv::kOk; }

QV_EXPORT int32_t QVDP_SyncFTPAccountsToPC(const char *userFolder) {
    if (!userFolder) return qv::kBadParameters;
    const auto file = pluginFolderOf(userFolder) / kFtpAccountsFileName;
    // The hosts know this failure by the categories' code.
    if (!ensureFileExists(file)) return qv::kCannotOpenCategories;
    int32_t error = 0;
    auto database = HandheldDatabase::openReadOnly(kHandheldFtpDatabase, error);
    if (!database) return qv::kCannotOpenFtpAccounts;
    return copyFtpAccountsFromHandheld(file, *database);
}

// ---- Settings.

// `out` always ends up filled: with the defaults when the user is unknown or
// the file unreadable (the answer says which).
QV_EXPORT int32_t QVDP_LoadSettings(const HotSyncConfig *config, QVDP_Settings *out) {
    if (!out) return qv::kBadParameters;
    *out = defaultSettings();
    std::filesystem::path file;
    if (!config || !settingsFileOf(*config, file)) return qv::kBadParameters;
    return loadSettingsFile(file, *out);
}

// Answers 0 once the settings are stored; 1 for an unknown user or settings
// that cannot be stored; 63 when the file cannot be written.
QV_EXPORT int32_t QVDP_SaveSettings(const HotSyncConfig *config, const QVDP_Settings *in) {
    if (!config || !in) return qv::kBadParameters;
    std::filesystem::path file;
    if (!settingsFileOf(*config, file)) return qv::kBadParameters;
    std::error_code ec;
    std::filesystem::create_directory(file.parent_path(), ec);
    return saveSettingsFile(file, *in);
}

// This build has no HotSync action dialog: nothing is confirmed, so nothing
// is saved and the record stays as it was, as after "Cancel".
QV_EXPORT int32_t QVDP_SyncConfigureDetailed(QVDP_Window /*parent*/, HotSyncConfig * /*config*/) { return 1; }
