// Self-registration, called by an installer: the plug-in's key in the
// registry, where the hosts find the library, and the HotSync conduit for
// the plug-in's creator in the Conduit Manager.
#include "QVDocsPlugin.h"
#include "conduit_manager.h"
#include "palm_errors.h"
#include "plugin_names.h"
#include "registry.h"

#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <string>

using platform::Hive;
using platform::Registry;
using namespace qvplugin;

namespace {

constexpr const char *kPluginsKey = "Software\\Tarvoc\\QVPalmConduit\\Plugins";
constexpr const char *kTitleValue = "Plugin Title";
constexpr const char *kLibraryValue = "PluginDLL";
constexpr const char *kCreatorValue = "CreatorID";
constexpr const char *kPackageValue = "PackageID";
constexpr uint32_t kPackageId = 4;
// The conduit library the HotSync Manager runs for our creator.
constexpr const char *kConduitLibrary = "libQVPalmConduit.so";

// The creator's key: "Plugins\51567079", the creator in lower-case hexadecimal.
std::string creatorKey() {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", unsigned(QVDP_PLUGIN_CREATOR));
    return std::string(kPluginsKey) + "\\" + hex;
}

// The full path of this library's own file; empty when it cannot be found.
std::string ownLibraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&DllRegisterServer), &info) == 0 || !info.dli_fname) return {};
    std::error_code ec;
    const auto path = std::filesystem::canonical(info.dli_fname, ec);
    return ec ? std::string() : path.string();
}

bool writeRegistryValues() {
    const std::string library = ownLibraryPath();
    if (library.empty()) return false;
    const std::string key = creatorKey();
    return Registry::createKey(Hive::LocalMachine, key) &&
           Registry::writeString(Hive::LocalMachine, key, kTitleValue, kPluginBigName) &&
           Registry::writeString(Hive::LocalMachine, key, kLibraryValue, library) &&
           Registry::writeDword(Hive::LocalMachine, key, kCreatorValue, QVDP_PLUGIN_CREATOR) &&
           Registry::writeDword(Hive::LocalMachine, key, kPackageValue, kPackageId);
}

// When the creator is already in use, whatever conduit holds it is removed
// (as unregistration would) before the one more install attempt.
int32_t installConduit() {
    int32_t answer = palm::conduits::install(QVDP_PLUGIN_CREATOR, palm::conduits::kTypeApplication);
    if (answer == palm::kCondErrCreatorInUse) {
        palm::conduits::remove(QVDP_PLUGIN_CREATOR);
        answer = palm::conduits::install(QVDP_PLUGIN_CREATOR, palm::conduits::kTypeApplication);
    }
    return answer;
}

bool registerConduit() {
    return installConduit() == 0 && palm::conduits::setLibrary(QVDP_PLUGIN_CREATOR, kConduitLibrary) == 0 &&
           palm::conduits::setDirectory(QVDP_PLUGIN_CREATOR, kPluginFolderName) == 0 &&
           palm::conduits::setTitle(QVDP_PLUGIN_CREATOR, kPluginBigName) == 0;
}

// Deletes a value of the creator's key; true when it is gone afterwards,
// also when it (or the key) was never there.
bool removeValue(const std::string &key, const char *name) {
    Registry::deleteValue(Hive::LocalMachine, key, name);
    return !Registry::valueType(Hive::LocalMachine, key, name).has_value();
}

}  // namespace

QV_EXPORT int32_t DllRegisterServer(void) { return writeRegistryValues() && registerConduit() ? 1 : 0; }

// The creator's key itself stays. The Conduit Manager answers how many
// conduits it removed (0 or 1) or a negative error; an error is a failure.
QV_EXPORT int32_t DllUnregisterServer(void) {
    const std::string key = creatorKey();
    bool removed = true;
    if (Registry::keyExists(Hive::LocalMachine, key)) {
        for (const char *name : {kTitleValue, kLibraryValue, kPackageValue, kCreatorValue})
            removed = removeValue(key, name) && removed;
    }
    const int32_t answer = palm::conduits::remove(QVDP_PLUGIN_CREATOR);
    const bool conduitRemoved = (answer >= 0 && answer <= 1) || answer == palm::kCondErrNotFound;
    return removed && conduitRemoved ? 1 : 0;
}
