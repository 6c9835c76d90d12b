// The numbering of taken names shared by desktop files, handheld databases
// and card files: the name as given first, then "(1)" .. "(9998)" inserted
// before the extension (the text from the last "." on), the base shortened
// so that the whole name stays within a length limit.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace services {

enum class NameProbe { Free, Taken, Failed };

enum class UniqueResult {
    Found,      // out holds a free name
    Unusable,   // the name cannot be kept within the limit, even numbered
    Failed,     // the probe failed; out holds the candidate it tested
    AllTaken,   // every number is taken; out holds the last candidate
};

constexpr int kLastNumber = 9998;

// "base" + "(n)" + "ext", the base cut (at a character boundary) so that the
// result has at most limit bytes; empty when even an empty base is too long.
std::string numberedName(std::string_view base, std::string_view extension, int n, std::size_t limit);

// name = the file name to make unique (no folder); limit = its longest length.
UniqueResult findUniqueName(std::string_view name, std::size_t limit,
                            const std::function<NameProbe(const std::string &)> &probe, std::string &out);

}  // namespace services
