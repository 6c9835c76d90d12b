// Which emulated handheld the Palm layer talks to. The HotSync host selects
// the handheld it syncs; a process that selected none uses the handheld named
// by the PAPYRINE_HANDHELD environment variable. The layer is one shared
// library, so the conduit, the services library and the plug-in loaded into
// one process all see the same selection, open databases and open card files.
#pragma once

#include <optional>
#include <string>

#pragma GCC visibility push(default)

namespace palm {

// Selects a handheld (closing whatever was open on the previous one); false
// with an error naming the damaged or missing file.
bool selectHandheld(const std::string &name, std::string &error);
// Writes back and closes every open database and card file, then forgets
// the selection.
void deselectHandheld();
std::optional<std::string> currentHandheldName();

// The detail of the last answer that came from a damaged or unreadable
// stored file (which file, what is wrong); empty when there was none.
std::string lastProblem();

}  // namespace palm

#pragma GCC visibility pop
