// Card path rules: absolute paths with "/" as separator.
#pragma once

#include <string>
#include <string_view>

namespace services {

// Joins a card folder and a name with exactly one "/" between them; an empty
// folder stands for the root.
std::string joinCardPath(std::string_view folder, std::string_view name);

// The folder part of a card path, with its trailing "/" ("/" when there is none).
std::string cardFolderOf(std::string_view path);
// The text after the last "/".
std::string_view cardNameOf(std::string_view path);

}  // namespace services
