// The Palm Desktop application launcher's store of entries
// ("Palm/launcher.ini"): each entry starts a program for the current Palm
// user, with a name, a four-character id, the program path, two name
// properties, four pictures and command-line arguments. The operations
// follow the launcher's application manager: create the manager, find an
// entry by name, create an entry, set its properties, save it, delete it.
// Answers are COM results (0 = S_OK).
#pragma once

#include "palm_errors.h"

#include <cstdint>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

namespace palm::launcher {

struct Entry {
    std::string name;
    uint32_t id = 0;            // 'QVMB': first character in the high byte
    std::string program;
    std::string shortName;      // the two name properties
    std::string longName;
    std::string largeColorPicture;
    std::string largeGrayPicture;
    std::string smallColorPicture;
    std::string smallGrayPicture;
    std::string arguments;      // UTF-8 form of the wide text
};

// Opens the store (answers its failure when it cannot be read).
int32_t createManager();
// 0 and the entry, or kLauncherNotFound.
int32_t findEntry(const std::string &name, Entry &entry);
// A new, unsaved entry with its name, id and program (both names set to the name).
int32_t createEntry(const std::string &name, uint32_t id, const std::string &program, Entry &entry);
// Stores the entry under its name, replacing one of the same name.
int32_t saveEntry(const Entry &entry);
int32_t deleteEntry(const std::string &name);
std::vector<Entry> listEntries();

}  // namespace palm::launcher

#pragma GCC visibility pop
