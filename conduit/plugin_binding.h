// The document plug-in a conduit run serves: found in the registry under the
// creator the run was called for, loaded for the run, bound by its thirty
// entry points and unloaded when the binding is destroyed. The plug-in's
// names give the folders it keeps in the user's folder.
#pragma once

#include "QVDocsPlugin.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace conduit {

inline constexpr const char kPluginsKey[] = "Software\\Tarvoc\\QVPalmConduit\\Plugins";
inline constexpr const char kPluginLibraryValue[] = "PluginDLL";

// The exports a plug-in must have, in the order they are bound.
inline constexpr std::array<const char *, 30> kPluginExports = {
    "QVDP_Destroy", "QVDP_GetPluginName", "QVDP_GetPluginBigName", "QVDP_GetPluginFolder",
    "QVDP_GetPluginDatabaseName", "QVDP_GetPluginDefaultCardFolder", "QVDP_GetPluginCardPathsFileName",
    "QVDP_GetPluginCreatorID", "QVDP_GetPluginID", "QVDP_CopyToPalmCard", "QVDP_CopyToPalmDevice",
    "QVDP_CopyFromPalmCard", "QVDP_CopyFromPalmDevice", "QVDP_GetDesktopFormatFromPalmDB",
    "QVDP_GetDesktopFormatFromCardFile", "QVDP_GetFormat", "QVDP_GetDBHeader", "QVDP_GetDBHeaderData",
    "QVDP_SyncConfigureDetailed", "QVDP_GetPalmDeviceDBHeader", "QVDP_GetPalmDeviceDBHeaderData",
    "QVDP_GetPalmCardDBHeader", "QVDP_GetPalmCardDBHeaderData", "QVDP_LoadSettings", "QVDP_SaveSettings",
    "QVDP_SyncPalmCategoriesToPC", "QVDP_SyncFTPAccountsToPC", "QVDP_ModifyPalmFileName",
    "QVDP_GetPluginDBHHType", "QVDP_PrepareDestPCFile",
};

// The entry points, in binding order.
struct PluginEntryPoints {
    decltype(&QVDP_Destroy) destroy;
    decltype(&QVDP_GetPluginName) getPluginName;
    decltype(&QVDP_GetPluginBigName) getPluginBigName;
    decltype(&QVDP_GetPluginFolder) getPluginFolder;
    decltype(&QVDP_GetPluginDatabaseName) getPluginDatabaseName;
    decltype(&QVDP_GetPluginDefaultCardFolder) getPluginDefaultCardFolder;
    decltype(&QVDP_GetPluginCardPathsFileName) getPluginCardPathsFileName;
    decltype(&QVDP_GetPluginCreatorID) getPluginCreatorId;
    decltype(&QVDP_GetPluginID) getPluginId;
    decltype(&QVDP_CopyToPalmCard) copyToPalmCard;
    decltype(&QVDP_CopyToPalmDevice) copyToPalmDevice;
    decltype(&QVDP_CopyFromPalmCard) copyFromPalmCard;
    decltype(&QVDP_CopyFromPalmDevice) copyFromPalmDevice;
    decltype(&QVDP_GetDesktopFormatFromPalmDB) getDesktopFormatFromPalmDb;
    decltype(&QVDP_GetDesktopFormatFromCardFile) getDesktopFormatFromCardFile;
    decltype(&QVDP_GetFormat) getFormat;
    decltype(&QVDP_GetDBHeader) getDbHeader;
    decltype(&QVDP_GetDBHeaderData) getDbHeaderData;
    decltype(&QVDP_SyncConfigureDetailed) syncConfigureDetailed;
    decltype(&QVDP_GetPalmDeviceDBHeader) getPalmDeviceDbHeader;
    decltype(&QVDP_GetPalmDeviceDBHeaderData) getPalmDeviceDbHeaderData;
    decltype(&QVDP_GetPalmCardDBHeader) getPalmCardDbHeader;
    decltype(&QVDP_GetPalmCardDBHeaderData) getPalmCardDbHeaderData;
    decltype(&QVDP_LoadSettings) loadSettings;
    decltype(&QVDP_SaveSettings) saveSettings;
    decltype(&QVDP_SyncPalmCategoriesToPC) syncPalmCategoriesToPc;
    decltype(&QVDP_SyncFTPAccountsToPC) syncFtpAccountsToPc;
    decltype(&QVDP_ModifyPalmFileName) modifyPalmFileName;
    decltype(&QVDP_GetPluginDBHHType) getPluginDbHhType;
    decltype(&QVDP_PrepareDestPCFile) prepareDestPcFile;
};

// One per sync context; owns the loaded module.
struct PluginBinding {
    PluginBinding() = default;
    ~PluginBinding();
    PluginBinding(const PluginBinding &) = delete;
    PluginBinding &operator=(const PluginBinding &) = delete;

    void *module = nullptr;
    std::string cardPathsFileName;   // card path of the plug-in's paths file
    std::string databaseName;        // the file-list database, in the plug-in folder and in handheld RAM
    std::string pluginFolder;        // user folder + the plug-in's folder name
    std::string tempFolder;          // plug-in folder + "TEMP"
    std::string backupRoot;          // plug-in folder + "BACKUP"
    QVDP_Settings settings{};
    PluginEntryPoints entry{};
};

// The registry key of a creator's plug-in: the creator in lower-case
// hexadecimal without leading zeros.
std::string pluginKeyOf(uint32_t creator);

// Loads the plug-in registered for the creator and binds every export;
// nullptr when the key, its "PluginDLL" value, the module or an export is
// missing (a loaded module is unloaded again).
std::unique_ptr<PluginBinding> bindPlugin(uint32_t creator);

// Reads the plug-in's card paths file name, database name and folder name,
// and makes the plug-in folder in the user folder with its "TEMP" and
// "BACKUP" subfolders. False when a name is unusable or a folder cannot be made.
bool preparePluginFolders(PluginBinding &plugin, const std::string &userFolder);

}  // namespace conduit
