// The desktop file operations the services are built from, each answering
// the system error (errno) of a failure. Moves behave like the Windows move:
// they never overwrite an existing entry, and a move to another file system
// copies the file and then deletes the source.
#pragma once

#include <string>

namespace services {

bool entryExists(const std::string &path);      // a file, folder or link of that name
bool directoryExists(const std::string &path);

// Each returns 0 or the errno of the failure.
int deleteFile(const std::string &path);
int moveFile(const std::string &from, const std::string &to);
int makeDirectory(const std::string &path);      // one level

}  // namespace services
