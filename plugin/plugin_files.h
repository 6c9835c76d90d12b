// Small file helpers shared by the plug-in's stored files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace qvplugin {

// Reads up to `size` bytes, going on after short reads; returns the count
// read (less only at the end of the file or on an error).
size_t readFully(int fd, void *buffer, size_t size);

// Makes sure the file exists, creating it empty when missing, without
// changing an existing one; false when it cannot be opened or created.
bool ensureFileExists(const std::filesystem::path &file);

// Up to `limit` bytes from the start of the file; false when it cannot be
// opened or read.
bool readFilePrefix(const std::filesystem::path &file, size_t limit, std::vector<uint8_t> &bytes);

}  // namespace qvplugin
