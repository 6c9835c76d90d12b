#include "home.h"

#include <cstdlib>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

fs::path machineFolder() {
    if (const char *home = std::getenv("PAPYRINE_HOME"); home && *home) return fs::path(home);
    if (const char *data = std::getenv("XDG_DATA_HOME"); data && *data) return fs::path(data) / "papyrine";
    const char *user = std::getenv("HOME");
    return fs::path(user && *user ? user : "/tmp") / ".local" / "share" / "papyrine";
}

namespace {
fs::path subfolder(const char *name) {
    fs::path p = machineFolder() / name;
    std::error_code ec;
    fs::create_directories(p, ec);
    return p;
}
}  // namespace

fs::path registryFolder() { return subfolder("registry"); }
fs::path programFolder() { return subfolder("program"); }
fs::path hotSyncRoot() { return subfolder("Palm"); }
fs::path handheldsFolder() { return subfolder("handhelds"); }
fs::path tempFolder() { return subfolder("temp"); }
fs::path runFolder() { return subfolder("run"); }
fs::path documentsFolder() { return subfolder("Documents"); }

}  // namespace platform
