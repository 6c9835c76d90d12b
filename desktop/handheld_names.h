// The rules for names on the handheld: which handheld names and card folders
// are valid, and how a proposed RAM name is made unique among the user's RAM
// entries by a number in parentheses before its extension.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace desktop {

constexpr size_t kMaxRamNameLength = 31;
constexpr size_t kMaxCardNameLength = 255;
constexpr int kLastUniqueNumber = 9999;

// Not empty, within maximum, not beginning with a space or a dot, not a
// reserved device name (prn, con, nul; prn0-9, lpt0-9) and without any of
// \ / : * ? " < > |.
bool validHandheldName(std::string_view name, size_t maximum);

// Begins with "/"; segments between single slashes are not empty (a
// trailing "/" is allowed), do not begin with a space and hold none of
// \ : * ? " < > |. "/" alone is valid.
bool validCardFolder(std::string_view folder);

// The proposal itself when it is free, else the proposal numbered "(1)",
// "(2)" ... before its extension, cut to at most 31 characters; nullopt when
// every number up to 9999 is taken.
std::optional<std::string> makeNameUnique(std::string_view proposal,
                                          const std::function<bool(const std::string &)> &taken);

}  // namespace desktop
