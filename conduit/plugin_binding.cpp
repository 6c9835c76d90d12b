#include "plugin_binding.h"

#include "QVDPCommon.h"
#include "registry.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

namespace conduit {

namespace {

constexpr std::size_t kNameBuffer = QVDP_MAX_PATH;

template <class F>
void assign(F &slot, void *symbol) {
    slot = reinterpret_cast<F>(symbol);
}

// Resolves every export in binding order; false at the first one missing.
bool resolveExports(void *module, PluginEntryPoints &e) {
    std::array<void *, kPluginExports.size()> symbols{};
    for (std::size_t i = 0; i < kPluginExports.size(); ++i) {
        symbols[i] = ::dlsym(module, kPluginExports[i]);
        if (!symbols[i]) return false;
    }
    std::size_t i = 0;
    assign(e.destroy, symbols[i++]);
    assign(e.getPluginName, symbols[i++]);
    assign(e.getPluginBigName, symbols[i++]);
    assign(e.getPluginFolder, symbols[i++]);
    assign(e.getPluginDatabaseName, symbols[i++]);
    assign(e.getPluginDefaultCardFolder, symbols[i++]);
    assign(e.getPluginCardPathsFileName, symbols[i++]);
    assign(e.getPluginCreatorId, symbols[i++]);
    assign(e.getPluginId, symbols[i++]);
    assign(e.copyToPalmCard, symbols[i++]);
    assign(e.copyToPalmDevice, symbols[i++]);
    assign(e.copyFromPalmCard, symbols[i++]);
    assign(e.copyFromPalmDevice, symbols[i++]);
    assign(e.getDesktopFormatFromPalmDb, symbols[i++]);
    assign(e.getDesktopFormatFromCardFile, symbols[i++]);
    assign(e.getFormat, symbols[i++]);
    assign(e.getDbHeader, symbols[i++]);
    assign(e.getDbHeaderData, symbols[i++]);
    assign(e.syncConfigureDetailed, symbols[i++]);
    assign(e.getPalmDeviceDbHeader, symbols[i++]);
    assign(e.getPalmDeviceDbHeaderData, symbols[i++]);
    assign(e.getPalmCardDbHeader, symbols[i++]);
    assign(e.getPalmCardDbHeaderData, symbols[i++]);
    assign(e.loadSettings, symbols[i++]);
    assign(e.saveSettings, symbols[i++]);
    assign(e.syncPalmCategoriesToPc, symbols[i++]);
    assign(e.syncFtpAccountsToPc, symbols[i++]);
    assign(e.modifyPalmFileName, symbols[i++]);
    assign(e.getPluginDbHhType, symbols[i++]);
    assign(e.prepareDestPcFile, symbols[i++]);
    return i == kPluginExports.size();
}

using TextExport = int32_t (*)(char *, uint32_t *);

// A name handed out by the plug-in into a 260-byte buffer.
bool readPluginText(TextExport fn, std::string &out) {
    char buffer[kNameBuffer] = {};
    uint32_t size = kNameBuffer;
    if (fn(buffer, &size) != 0) return false;
    const std::size_t length = ::strnlen(buffer, kNameBuffer);
    if (length == 0 || length == kNameBuffer) return false;
    out.assign(buffer, length);
    return true;
}

// The folder name is one name inside the user folder.
bool usableFolderName(const std::string &name) {
    return name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool makeFolder(const std::string &path) {
    return path.size() < QVDP_MAX_PATH && QVPCCheckPath(path.c_str()) == 1;
}

}  // namespace

PluginBinding::~PluginBinding() {
    if (module) ::dlclose(module);
}

std::string pluginKeyOf(uint32_t creator) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", unsigned(creator));
    return std::string(kPluginsKey) + "\\" + hex;
}

std::unique_ptr<PluginBinding> bindPlugin(uint32_t creator) {
    using platform::Hive;
    const auto library = platform::Registry::readString(Hive::LocalMachine, pluginKeyOf(creator), kPluginLibraryValue);
    // The value is read into 260 bytes: a longer one is not a usable path.
    if (!library || library->empty() || library->size() >= kNameBuffer) return nullptr;
    auto plugin = std::make_unique<PluginBinding>();
    plugin->module = ::dlopen(library->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!plugin->module) return nullptr;
    if (!resolveExports(plugin->module, plugin->entry)) return nullptr;   // unloads the module
    return plugin;
}

bool preparePluginFolders(PluginBinding &plugin, const std::string &userFolder) {
    std::string folderName;
    if (!readPluginText(plugin.entry.getPluginCardPathsFileName, plugin.cardPathsFileName) ||
        !readPluginText(plugin.entry.getPluginDatabaseName, plugin.databaseName) ||
        !readPluginText(plugin.entry.getPluginFolder, folderName) || !usableFolderName(folderName))
        return false;
    plugin.pluginFolder = userFolder + (userFolder.ends_with('/') ? "" : "/") + folderName;
    plugin.tempFolder = plugin.pluginFolder + "/TEMP";
    plugin.backupRoot = plugin.pluginFolder + "/BACKUP";
    return makeFolder(plugin.pluginFolder) && makeFolder(plugin.tempFolder) && makeFolder(plugin.backupRoot);
}

}  // namespace conduit
