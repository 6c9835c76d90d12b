// DesktopData: the program-wide state of the desktop program without its
// windows, created in the order the program needs it: the desktop log
// ("QVDesktop.log" in the program folder, read but never written), the Palm
// users, the last user, the plug-ins, the settings file and, once a user is
// chosen, that user's cards and file lists. The window program and the
// command line both build on it.
#pragma once

#include "card_list.h"
#include "desktop_settings.h"
#include "file_database.h"
#include "log_file.h"
#include "plugin_host.h"
#include "palm_users.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace desktop {

constexpr char kDesktopLogFile[] = "QVDesktop.log";
constexpr char kProgramKey[] = "Software\\Tarvoc\\Papyrine 7.0";
constexpr char kCannotLoadSyncData[] = "Cannot load the sync data for the selected user.";
constexpr char kBadHotSyncInstallation[] =
    "Bad or incomplete Hotsync installation. Please reinstall the software which comes with your handheld.";
constexpr uint32_t kNoMemoryValue = 0xFFFFFFFFu;

struct DesktopDataOptions {
    // Where libraries beside the program are looked for; empty = the folder
    // of the running program.
    std::string programFolder;
    // The record database library; empty = the one in the HotSync folder.
    std::string databaseLibrary;
};

class DesktopData {
public:
    explicit DesktopData(const DesktopDataOptions &options = {});

    TQvLogFile desktopLog{false};
    TQVUserManager &palmUsers() { return *users_; }
    // Null when the plug-ins key is missing; may be empty.
    TQVPluginsList *plugins() const { return plugins_.get(); }
    const DesktopSettings &settings() const { return settings_; }
    // Empty when the settings file was read without trouble.
    const std::string &settingsProblem() const { return settingsProblem_; }
    TQVFileDatabase &files() { return files_; }
    const std::optional<TQVCardList> &cards() const { return cards_; }

    // "Last User" of the program's registry key, or the Palm desktop's last
    // HotSync user; -1 when neither is known.
    int64_t lastUser() const { return lastUser_; }
    void storeLastUser() const;
    // The user to show first: the last user when listed, else the first user.
    std::optional<uint32_t> defaultUser();

    // Builds the user's card list and loads the user's file lists; false with
    // problem set ("Cannot load the sync data for the selected user.") when
    // no database path could be formed.
    bool selectUser(uint32_t userId, std::string &problem);
    std::optional<uint32_t> selectedUser() const { return selectedUser_; }
    const std::string &userDirectory() const { return userDirectory_; }
    // Free handheld RAM after the last HotSync; kNoMemoryValue when unknown.
    uint32_t handheldFreeMemory() const { return freeMemory_; }

private:
    std::unique_ptr<TQVUserManager> users_;
    std::unique_ptr<TQVPluginsList> plugins_;
    DesktopSettings settings_;
    std::string settingsProblem_;
    TQVFileDatabase files_;
    std::optional<TQVCardList> cards_;
    int64_t lastUser_ = -1;
    std::optional<uint32_t> selectedUser_;
    std::string userDirectory_;
    uint32_t memoryTotal_ = 0;
    uint32_t freeMemory_ = kNoMemoryValue;
};

}  // namespace desktop
