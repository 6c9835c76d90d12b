// Where the desktop program finds what it loads at run time. The program's
// own folder is where its executable lies (libraries may lie beside it); the
// HotSync folder is the folder of the HotSync program recorded in the
// registry (HKCU "Software\U.S. Robotics\Pilot Desktop\Core", "HotSyncPath"),
// where the record database library and the User Manager library lie.
#pragma once

#include <string>

namespace desktop {

constexpr char kPalmCoreKey[] = "Software\\U.S. Robotics\\Pilot Desktop\\Core";
constexpr char kPalmPreferencesKey[] = "Software\\U.S. Robotics\\Pilot Desktop\\Preferences";
constexpr char kUserDataLibrary[] = "libuserdata.so";
constexpr char kDatabaseLibrary[] = "libQVDPDatabase.so";

// The folder of the running program, ending in "/"; empty when unknown.
std::string executableFolder();
// The folder part of "HotSyncPath", ending in "/"; empty when the key or
// value is missing or holds no folder.
std::string hotSyncPathFolder();
// The folder with a "/" at its end (an empty text stays empty).
std::string withTrailingSlash(std::string folder);

}  // namespace desktop
