// Whole-file reads and writes on a card of the selected handheld, through
// the card file system (so write protection and capacity apply).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace palmdevice {

// Each answers 0 or the card file system's error.
int32_t readCardFile(uint16_t volRef, const std::string &path, std::vector<uint8_t> &bytes);
// Writes the file through "<path>.tmp" and a rename, creating missing folders.
int32_t writeCardFile(uint16_t volRef, const std::string &path, const std::vector<uint8_t> &bytes);
int32_t makeCardFolders(uint16_t volRef, const std::string &folder);
std::string joinCardPath(const std::string &folder, const std::string &name);

}  // namespace palmdevice
