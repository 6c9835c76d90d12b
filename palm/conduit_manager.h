// The Conduit Manager: which conduit library HotSync runs for which creator
// ("Palm/conduits.ini"). A plug-in installs its creator as an application
// conduit, then names the library, the conduit's folder and its display
// name; the HotSync host runs every installed conduit in creator order.
#pragma once

#include "palm_errors.h"

#include <cstdint>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

namespace palm::conduits {

enum : int32_t { kTypeApplication = 1 };

struct Conduit {
    uint32_t creator = 0;
    int32_t type = kTypeApplication;
    std::string library;     // file name or path of the conduit library
    std::string directory;   // the conduit's folder inside the user's folder
    std::string title;       // display name
};

// -1005 when a conduit is installed for the creator.
int32_t install(uint32_t creator, int32_t type);
int32_t setLibrary(uint32_t creator, const std::string &library);
int32_t setDirectory(uint32_t creator, const std::string &directory);
int32_t setTitle(uint32_t creator, const std::string &title);
// Removes the conduits of the creator; answers how many there were (0 or 1),
// or a negative error.
int32_t remove(uint32_t creator);

int32_t find(uint32_t creator, Conduit &conduit);
// Empty when the store can be read, otherwise what is wrong with it.
std::string storeProblem();
std::vector<Conduit> list();

}  // namespace palm::conduits

#pragma GCC visibility pop
