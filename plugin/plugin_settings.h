// The per-user plug-in settings: the folder for documents that appear new
// on the handheld, the memory every copy must leave free on the handheld and
// the backup policy. Kept in "usersettings.ini" (section "Tarvoc Papyrine
// 7.0", numbers as decimal text) in the user's plug-in folder.
#pragma once

#include "QVDocsPlugin.h"

#include <filesystem>

namespace qvplugin {

inline constexpr int32_t kDefaultMinFreeSpace = 300;  // kilobytes
inline constexpr int32_t kDefaultBackupType = 0;
inline constexpr int32_t kDefaultBackupDays = 7;

// The defaults: the personal documents folder, 300, 0 and 7.
QVDP_Settings defaultSettings();

// Fills `out` from the settings file; a missing file, section or key gives
// the default. Answers 0, or 62 when the file exists but cannot be read
// (then `out` holds the defaults), or 2 when the stored folder does not fit
// its 260 bytes (then `out` holds the default folder).
int32_t loadSettingsFile(const std::filesystem::path &file, QVDP_Settings &out);

// Writes the four values into the settings file, keeping its other lines.
// Answers 0; 1 when the folder text is not terminated within its 260 bytes
// or holds a line break;
// 63 when the file cannot be written.
int32_t saveSettingsFile(const std::filesystem::path &file, const QVDP_Settings &in);

}  // namespace qvplugin
