#include "card_paths.h"

namespace services {

std::string joinCardPath(std::string_view folder, std::string_view name) {
    std::string result(folder.empty() ? std::string_view("/") : folder);
    bool folderEnds = result.back() == '/';
    bool nameBegins = !name.empty() && name.front() == '/';
    if (folderEnds && nameBegins)
        name.remove_prefix(1);
    else if (!folderEnds && !nameBegins)
        result += '/';
    result += name;
    return result;
}

std::string cardFolderOf(std::string_view path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return "/";
    return std::string(path.substr(0, slash + 1));
}

std::string_view cardNameOf(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace services
