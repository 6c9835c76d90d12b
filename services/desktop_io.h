// Reading and writing open desktop files completely: reads fill the
// buffer unless the end of the file comes first, writes write everything.
#pragma once

#include <cstddef>
#include <cstdint>

namespace services {

// Reads up to size bytes; returns the count (0 at the end), or -1 with errno.
long readFull(int fd, void *buffer, std::size_t size);
// Writes all bytes; 0, or the errno of the failure (EIO for a short write).
int writeAll(int fd, const void *bytes, std::size_t size);

}  // namespace services
