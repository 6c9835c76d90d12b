// The machine folder: one folder stands for the Windows machine and its Palm
// installation. It is $PAPYRINE_HOME, or ${XDG_DATA_HOME:-~/.local/share}/papyrine.
// Every test makes its own in a temporary folder and points PAPYRINE_HOME at it.
#pragma once

#include <filesystem>

namespace platform {

// The machine folder (not created).
std::filesystem::path machineFolder();

// Its subfolders; each is created when asked for.
std::filesystem::path registryFolder();   // registry hives
std::filesystem::path programFolder();    // files kept beside the programs
std::filesystem::path hotSyncRoot();      // "Palm": one folder per Palm user
std::filesystem::path handheldsFolder();  // the emulated handhelds
std::filesystem::path tempFolder();       // the temporary folder
std::filesystem::path runFolder();        // named events, mutex, window endpoints
std::filesystem::path documentsFolder();  // the personal documents folder

}  // namespace platform
