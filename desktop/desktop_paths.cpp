#include "desktop_paths.h"

#include "registry.h"

#include <filesystem>

namespace desktop {

std::string withTrailingSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string executableFolder() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : withTrailingSlash(self.parent_path().string());
}

std::string hotSyncPathFolder() {
    const auto path = platform::Registry::readString(platform::Hive::CurrentUser, kPalmCoreKey, "HotSyncPath");
    if (!path) return {};
    return withTrailingSlash(std::filesystem::path(*path).parent_path().string());
}

}  // namespace desktop
