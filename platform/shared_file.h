// Files opened with or without sharing, as the suite's stored files need:
// while one handle holds a file "without sharing", any other open of it,
// from this or another process, fails. Built on flock(), whose locks belong
// to the open file description, so two opens in one process also collide.
#pragma once

#include <string>

namespace platform {

enum class Access { Read, ReadWrite };
enum class Disposition {
    OpenExisting,   // fail when missing
    OpenAlways,     // create when missing
    CreateAlways,   // create or truncate
};
enum class Share {
    None,   // nobody else may open the file
    Read,   // others may open it for reading only
};

// Opens a file; returns the descriptor, or -1 with errno set (EBUSY when a
// holder's sharing refuses this open).
int openFile(const std::string &path, Access access, Disposition disposition, Share share);
void closeFile(int fd);

}  // namespace platform
