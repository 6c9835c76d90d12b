// Reads the input as the text of a registry hive, writes the hive back as
// text and reads that again: the second reading must understand every line
// and give the same keys and values, and writing it must give the same text.
#include "registry_hive.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using platform::hive::Key;

constexpr std::string_view kRoot = "HKEY_LOCAL_MACHINE";

bool sameKey(const Key &a, const Key &b) {
    if (a.name != b.name || a.values.size() != b.values.size() || a.subkeys.size() != b.subkeys.size())
        return false;
    for (std::size_t i = 0; i < a.values.size(); ++i) {
        const auto &x = a.values[i];
        const auto &y = b.values[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
    }
    for (std::size_t i = 0; i < a.subkeys.size(); ++i)
        if (!sameKey(*a.subkeys[i], *b.subkeys[i])) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view text(reinterpret_cast<const char *>(data), size);
    Key root;
    auto outcome = platform::hive::parse(text, kRoot, root);
    if (!outcome.ok) return 0;

    std::string written = platform::hive::format(root, kRoot);
    Key again;
    auto second = platform::hive::parse(written, kRoot, again);
    if (!second.ok || second.skippedLines != 0) std::abort();
    if (!sameKey(root, again)) std::abort();
    if (platform::hive::format(again, kRoot) != written) std::abort();
    return 0;
}
