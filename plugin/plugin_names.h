// The plug-in's names and the places of its per-user files: the plug-in
// folder "QVPapyrine" inside a Palm user's folder holds the file-list
// database, the settings file, the categories file and the FTP accounts file.
#pragma once

#include <cstdint>
#include <filesystem>

namespace qvplugin {

inline constexpr const char *kPluginName = "Tarvoc Papyrine 7.0";
inline constexpr const char *kPluginBigName = "Tarvoc Papyrine 7.0";
inline constexpr const char *kPluginFolderName = "QVPapyrine";
inline constexpr const char *kDatabaseFileName = "PapyrineSync.dat";
inline constexpr const char *kDefaultCardFolder = "/Documents";
inline constexpr const char *kCardPathsFileName = "/PapyrineSyncMain.dat";
inline constexpr const char *kCategoriesFileName = "PapyrineCategories.dat";
inline constexpr const char *kSettingsFileName = "usersettings.ini";
inline constexpr const char *kSettingsSection = "Tarvoc Papyrine 7.0";
// The handheld database of the FTP accounts and its desktop copy share a name.
inline constexpr const char *kFtpAccountsFileName = "AARDVARK";
inline constexpr const char *kHandheldCategoriesDatabase = "PapyrineCategories";
inline constexpr const char *kHandheldFtpDatabase = "AARDVARK";

inline constexpr int32_t kPluginId = 1;
inline constexpr int32_t kVersionMajor = 1;
inline constexpr int32_t kVersionMinor = 1;

// The plug-in folder inside a Palm user's folder.
inline std::filesystem::path pluginFolderOf(const std::filesystem::path &userFolder) {
    return userFolder / kPluginFolderName;
}

}  // namespace qvplugin
