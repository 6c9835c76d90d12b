// The handheld's document categories as the desktop keeps them:
// "PapyrineCategories.dat", 256 slots of 20 bytes (in use, index, 16-byte
// name), the two 16-bit fields little-endian; on the handheld the same slots
// are records 0 to 255 of "PapyrineCategories", with the fields big-endian.
#pragma once

#include "handheld_records.h"

#include <cstdint>
#include <filesystem>

namespace qvplugin {

inline constexpr size_t kCategorySlotSize = 20;

// Reads the 5120 bytes of the categories file into `slots` (256
// QVDP_CategorySlot in host order). A missing file is created empty.
// Answers 0; 7 when the file cannot be opened; 62 when it is shorter.
int32_t readCategoriesFile(const std::filesystem::path &file, void *slots);

// Copies records 0 to 255 of the handheld database into the slots of the
// file, creating it when missing. The file is rewritten through a temporary
// file; slots that were not copied keep what the file held. Answers 0
// when all 256 were copied; 7 when the file cannot be opened or a record
// cannot be read or is not a 20-byte slot (the slots before it are kept);
// 63 when the file cannot be written.
int32_t copyCategoriesFromHandheld(const std::filesystem::path &file, HandheldRecords &database);

}  // namespace qvplugin
