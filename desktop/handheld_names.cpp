#include "handheld_names.h"

#include "desktop_text.h"

namespace desktop {

namespace {

constexpr std::string_view kForbiddenInName = "\\/:*?\"<>|";
constexpr std::string_view kForbiddenInFolder = "\\:*?\"<>|";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool validHandheldName(std::string_view name, size_t maximum) {
    if (name.empty() || name.size() > maximum) return false;
    if (name.front() == ' ' || name.front() == '.') return false;
    if (name.size() == 3 && (sameText(name, "prn") || sameText(name, "con") || sameText(name, "nul"))) return false;
    if (name.size() == 4 && isDigit(name[3]) && (sameText(name.substr(0, 3), "prn") || sameText(name.substr(0, 3), "lpt")))
        return false;
    return name.find_first_of(kForbiddenInName) == std::string_view::npos;
}

bool validCardFolder(std::string_view folder) {
    if (folder.empty() || folder.front() != '/') return false;
    std::string_view rest = folder.substr(1);
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        if (segment.empty() || segment.front() == ' ' ||
            segment.find_first_of(kForbiddenInFolder) != std::string_view::npos)
            return false;
        if (slash == std::string_view::npos) break;
        rest = rest.substr(slash + 1);
    }
    return true;
}

std::optional<std::string> makeNameUnique(std::string_view proposal,
                                          const std::function<bool(const std::string &)> &taken) {
    std::string ext = extensionOf(proposal);
    std::string base(proposal.substr(0, proposal.size() - ext.size()));
    if (proposal.size() > kMaxRamNameLength) {
        const size_t keep = ext.size() < kMaxRamNameLength ? kMaxRamNameLength - ext.size() : 0;
        base = cutText(proposal, keep);
    }
    if (!taken(base + ext)) return base + ext;
    for (int n = 1; n <= kLastUniqueNumber; ++n) {
        const std::string suffix = "(" + std::to_string(n) + ")";
        if (suffix.size() + ext.size() > kMaxRamNameLength) ext = cutText(ext, kMaxRamNameLength - suffix.size());
        const std::string candidate = cutText(base, kMaxRamNameLength - suffix.size() - ext.size()) + suffix + ext;
        if (!taken(candidate)) return candidate;
    }
    return std::nullopt;
}

}  // namespace desktop
