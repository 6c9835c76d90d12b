// The desktop program's own settings file, "QVDPSettings.ini" in the
// program folder, section "Settings": the sync mode given to files added to
// handheld RAM ("PalmSyncType") and to memory cards ("CardSyncType"), 1 =
// synchronize, 0 = copy only, both 1 by default; and the default folder on a
// card for new entries ("DefCardDir"), by default the first plug-in's
// default card folder or "/Documents".
#pragma once

#include <cstdint>
#include <string>

namespace desktop {

constexpr char kDesktopSettingsFile[] = "QVDPSettings.ini";
constexpr char kDefaultCardFolder[] = "/Documents";

struct DesktopSettings {
    int32_t palmSyncType = 1;
    int32_t cardSyncType = 1;
    std::string defCardDir = kDefaultCardFolder;
};

// The settings file in the program folder of the machine.
std::string desktopSettingsPath();

// Reads the file; missing values take their defaults, a sync type other than
// 0 reads as 1, and a card folder that is not a valid card folder (or too
// long for a record) reads as defaultCardDir. False with error set when the
// file exists but cannot be read (the defaults are then given).
bool loadDesktopSettings(const std::string &path, const std::string &defaultCardDir, DesktopSettings &out,
                         std::string &error);
bool saveDesktopSettings(const std::string &path, const DesktopSettings &settings, std::string &error);

}  // namespace desktop
