// The standard 78-byte header at the start of a Palm database file, as far
// as the plug-in looks at it: the database name (32 bytes, NUL-terminated
// unless it fills them), the type at offset 60 and the creator at offset 64,
// both big-endian.
#pragma once

#include <cstdint>
#include <string>

namespace qvplugin {

inline constexpr size_t kPalmHeaderSize = 78;
inline constexpr size_t kPalmNameSize = 32;

struct PalmDatabaseHeader {
    std::string name;  // at most 31 characters
    uint32_t type = 0;
    uint32_t creator = 0;
};

// Reads the header of the file at `path`; false when the file cannot be
// opened or holds fewer than 78 bytes.
bool readPalmDatabaseHeader(const char *path, PalmDatabaseHeader &header);

}  // namespace qvplugin
