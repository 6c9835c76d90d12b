#include "plugin_host.h"

#include "desktop_text.h"
#include "log_file.h"
#include "registry.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace desktop {

namespace {

// A plug-in's tables end with a terminating row; a table that does not end
// within this many rows is read no further.
constexpr size_t kMaxTableRows = 4096;
constexpr uint32_t kTextBuffer = QVDP_MAX_PATH;
constexpr size_t kNameBuffer = 64;          // room for the 32-character proposal
constexpr size_t kRamProposalLength = 32;
constexpr uint32_t kMaxPluginNameSize = 4096;

template <typename Fn>
bool bindRequired(const DynamicLibrary &library, Fn &fn, const char *name) {
    return library.bind(fn, name);
}

bool bindAll(const DynamicLibrary &l, PluginEntries &p) {
    return bindRequired(l, p.init, "QVDP_Init") && bindRequired(l, p.destroy, "QVDP_Destroy") &&
           bindRequired(l, p.getPluginName, "QVDP_GetPluginName") &&
           bindRequired(l, p.getPluginVersion, "QVDP_GetPluginVersion") &&
           bindRequired(l, p.getPluginFolder, "QVDP_GetPluginFolder") &&
           bindRequired(l, p.getPluginDatabaseName, "QVDP_GetPluginDatabaseName") &&
           bindRequired(l, p.getPluginDefaultCardFolder, "QVDP_GetPluginDefaultCardFolder") &&
           bindRequired(l, p.recognizeFile, "QVDP_RecognizeFile") &&
           bindRequired(l, p.getPluginID, "QVDP_GetPluginID") &&
           bindRequired(l, p.getPluginCreatorID, "QVDP_GetPluginCreatorID") &&
           bindRequired(l, p.getFormat, "QVDP_GetFormat") &&
           bindRequired(l, p.getPCToHHConversions, "QVDP_GetPCToHHConversions") &&
           bindRequired(l, p.getHHToPCConversions, "QVDP_GetHHToPCConversions") &&
           bindRequired(l, p.getDefaultPCToHHConversion, "QVDP_GetDefaultPCToHHConversion") &&
           bindRequired(l, p.getDesktopCategories, "QVDP_GetDesktopCategories") &&
           bindRequired(l, p.getPalmCategories, "QVDP_GetPalmCategories") &&
           bindRequired(l, p.modifyPalmFileName, "QVDP_ModifyPalmFileName") &&
           bindRequired(l, p.loadSettings, "QVDP_LoadSettings") &&
           bindRequired(l, p.saveSettings, "QVDP_SaveSettings") &&
           bindRequired(l, p.loadFTPAccounts, "QVDP_LoadFTPAccounts") &&
           bindRequired(l, p.freeFTPAccounts, "QVDP_FreeFTPAccounts") &&
           bindRequired(l, p.freeFTP1Accounts, "QVDP_FreeFTP1Accounts");
}

std::string safeText(const char *text) { return text ? std::string(text) : std::string(); }

HotSyncConfig configOfUser(uint32_t userId) {
    HotSyncConfig config;
    std::memset(&config, 0, sizeof config);
    config.userId = userId;
    return config;
}

}  // namespace

bool isFile(const std::string &path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// ---- TQVPlugin ---------------------------------------------------------------

std::unique_ptr<TQVPlugin> TQVPlugin::load(const std::string &path, std::string &error) {
    std::unique_ptr<TQVPlugin> plugin(new TQVPlugin);
    plugin->path_ = path;
    std::string why;
    if (!plugin->library_.load(path, why)) {
        error = "Cannot load " + path;
        return nullptr;
    }
    if (!bindAll(plugin->library_, plugin->fn_)) {
        error = "The plugin " + path + " is not compatible with this version. Please reinstall the software.";
        return nullptr;
    }
    if (plugin->fn_.init() != 0) {
        error = "Cannot initialize the plugin";
        return nullptr;
    }
    uint32_t size = 0;
    plugin->fn_.getPluginName(nullptr, &size);
    int32_t result = 2;   // "Buffer too small" when the size makes no sense
    if (size > 0 && size <= kMaxPluginNameSize) {
        std::vector<char> buffer(size + 1, '\0');
        uint32_t given = size;
        result = plugin->fn_.getPluginName(buffer.data(), &given);
        buffer[size] = '\0';
        plugin->name_ = buffer.data();
    }
    if (result != 0) {
        error = "Internal error : " + std::to_string(result);
        return nullptr;
    }
    return plugin;
}

TQVPlugin::~TQVPlugin() {
    if (library_.loaded() && fn_.destroy) fn_.destroy();
    library_.release();
}

int32_t TQVPlugin::pluginId() const {
    int32_t id = -1;
    return fn_.getPluginID(&id) == 0 ? id : -1;
}

const QVDP_Format *TQVPlugin::recognize(const std::string &path) const {
    const QVDP_Format *row = nullptr;
    return fn_.recognizeFile(path.c_str(), &row) == 0 ? row : nullptr;
}

const QVDP_Format *TQVPlugin::format(int32_t formatId) const {
    const QVDP_Format *row = nullptr;
    return fn_.getFormat(formatId, &row) == 0 ? row : nullptr;
}

std::vector<QVDP_Conversion> TQVPlugin::conversions() const {
    std::vector<QVDP_Conversion> pairs;
    const QVDP_Conversion *table = fn_.getPCToHHConversions();
    for (size_t i = 0; table && i < kMaxTableRows && table[i].from != 0; ++i) pairs.push_back(table[i]);
    return pairs;
}

std::vector<FormatChoice> TQVPlugin::handheldFormatChoices(int32_t desktopFormat) const {
    std::vector<FormatChoice> choices;
    for (const QVDP_Conversion &c : conversions()) {
        if (c.from != desktopFormat) continue;
        const QVDP_Format *row = format(c.to);
        if (!row) continue;
        const bool seen = std::any_of(choices.begin(), choices.end(), [&](const FormatChoice &f) { return f.id == c.to; });
        if (!seen) choices.push_back({c.to, safeText(row->name)});
    }
    return choices;
}

int32_t TQVPlugin::defaultHandheldFormat(int32_t desktopFormat) const {
    return fn_.getDefaultPCToHHConversion(desktopFormat);
}

int32_t TQVPlugin::desktopFormatOf(const std::string &path) const {
    const QVDP_Format *row = recognize(path);
    return row ? row->id : -1;
}

std::string TQVPlugin::handheldExtension(int32_t formatId) const {
    const QVDP_Format *row = format(formatId);
    if (!row || !row->extensions) return {};
    const std::string list = row->extensions;
    return list.substr(0, list.find(';'));
}

std::string TQVPlugin::text(decltype(&QVDP_GetPluginFolder) getter) const {
    char buffer[kTextBuffer + 1] = {};
    uint32_t size = kTextBuffer;
    if (getter(buffer, &size) != 0) return {};
    buffer[kTextBuffer] = '\0';
    return buffer;
}

std::string TQVPlugin::pluginFolder() const { return text(fn_.getPluginFolder); }
std::string TQVPlugin::databaseName() const { return text(fn_.getPluginDatabaseName); }
std::string TQVPlugin::defaultCardFolder() const { return text(fn_.getPluginDefaultCardFolder); }

uint32_t TQVPlugin::creatorId() const {
    uint32_t creator = 0;
    return fn_.getPluginCreatorID(&creator) == 0 ? creator : 0;
}

std::vector<DesktopCategory> TQVPlugin::desktopCategories() const {
    std::vector<DesktopCategory> list;
    const QVDP_DesktopCategory *table = fn_.getDesktopCategories();
    for (size_t i = 0; table && i < kMaxTableRows && table[i].id != 0; ++i)
        list.push_back({table[i].id, safeText(table[i].name), table[i].bitmap});
    return list;
}

std::string TQVPlugin::ramEntryName(const std::string &desktopPath, int32_t handheldFormat) const {
    char buffer[kNameBuffer] = {};
    const std::string proposal = cutText(fileNameOf(desktopPath), kRamProposalLength);
    std::memcpy(buffer, proposal.data(), proposal.size());
    fn_.modifyPalmFileName(desktopPath.c_str(), buffer);
    buffer[kNameBuffer - 1] = '\0';
    return replaceExtension(buffer, lowerAscii(handheldExtension(handheldFormat)));
}

std::string TQVPlugin::cardEntryName(const std::string &desktopPath, int32_t handheldFormat) const {
    return replaceExtension(fileNameOf(desktopPath), lowerAscii(handheldExtension(handheldFormat)));
}

// ---- Categories and accounts ------------------------------------------------------

std::vector<QVDP_CategorySlot> defaultPalmCategories() {
    std::vector<QVDP_CategorySlot> slots(QVDP_CATEGORY_SLOTS);
    const char *names[] = {"Unfiled", "Business", "Personal"};
    for (size_t i = 0; i < slots.size(); ++i) {
        std::memset(&slots[i], 0, sizeof slots[i]);
        slots[i].index = uint16_t(i);
        if (i < 3) {
            slots[i].inUse = 1;
            std::strncpy(slots[i].name, names[i], QVDP_CATEGORY_NAME_SIZE - 1);
        }
    }
    return slots;
}

FtpAccounts::~FtpAccounts() { release(); }

FtpAccounts::FtpAccounts(FtpAccounts &&other) noexcept : owner_(other.owner_), list_(other.list_) {
    other.list_ = {0, nullptr};
}

FtpAccounts &FtpAccounts::operator=(FtpAccounts &&other) noexcept {
    if (this != &other) {
        release();
        owner_ = other.owner_;
        list_ = other.list_;
        other.list_ = {0, nullptr};
    }
    return *this;
}

void FtpAccounts::release() {
    if (owner_ && list_.count != 0) owner_->entries().freeFTPAccounts(&list_);
    list_ = {0, nullptr};
}

// ---- TQVPluginsList -----------------------------------------------------------

TQVPluginsList::TQVPluginsList(TQvLogFile *log) {
    using platform::Hive;
    using platform::Registry;
    keyFound_ = Registry::keyExists(Hive::LocalMachine, kPluginsKey);
    if (!keyFound_) return;
    for (const std::string &subkey : Registry::subkeys(Hive::LocalMachine, kPluginsKey)) {
        const std::string key = std::string(kPluginsKey) + "\\" + subkey;
        std::string error;
        std::unique_ptr<TQVPlugin> plugin;
        if (const auto library = Registry::readString(Hive::LocalMachine, key, "PluginDLL"))
            plugin = TQVPlugin::load(*library, error);
        else
            error = "The plugin " + subkey + " has no \"PluginDLL\" value";
        if (plugin) {
            append(std::move(plugin));
            continue;
        }
        loadErrors_.push_back(error);
        if (log) log->addNow("PluginList", " Plugin error : " + error);
    }
}

void TQVPluginsList::append(std::unique_ptr<TQVPlugin> plugin) {
    plugin->index = int32_t(plugins_.size());
    plugins_.push_back(std::move(plugin));
}

TQVPlugin *TQVPluginsList::pluginForFile(const std::string &path) const {
    for (const auto &p : plugins_) {
        if (const QVDP_Format *row = p->recognize(path)) return row->onDesktop ? p.get() : nullptr;
    }
    return nullptr;
}

int32_t TQVPluginsList::pluginIdForFile(const std::string &path) const {
    const TQVPlugin *p = pluginForFile(path);
    return p ? p->pluginId() : -1;
}

bool TQVPluginsList::canBeAdded(const std::string &path) const {
    return isFile(path) && pluginIdForFile(path) != -1;
}

TQVPlugin *TQVPluginsList::pluginById(int32_t id) const {
    for (const auto &p : plugins_)
        if (p->pluginId() == id) return p.get();
    return nullptr;
}

std::string TQVPluginsList::formatName(int32_t pluginId, int32_t formatId) const {
    for (const auto &p : plugins_) {
        if (p->pluginId() != pluginId) continue;
        if (const QVDP_Format *row = p->format(formatId)) return safeText(row->name);
    }
    return "Unknown format";
}

bool TQVPluginsList::formatCanBeSynchronized(int32_t formatId) const {
    return std::any_of(plugins_.begin(), plugins_.end(), [&](const auto &p) {
        const QVDP_Format *row = p->format(formatId);
        return row && !(row->flags & QVDP_FORMAT_TRANSFER_ONLY);
    });
}

std::vector<QVDP_CategorySlot> TQVPluginsList::palmCategories(const std::string &userDirectory) const {
    if (plugins_.empty()) return defaultPalmCategories();
    std::vector<QVDP_CategorySlot> slots(QVDP_CATEGORY_SLOTS);
    if (first()->entries().getPalmCategories(userDirectory.c_str(), slots.data()) != 0)
        return defaultPalmCategories();
    for (auto &slot : slots) slot.name[QVDP_CATEGORY_NAME_SIZE - 1] = '\0';
    return slots;
}

std::optional<QVDP_Settings> TQVPluginsList::loadSettings(uint32_t userId) const {
    if (plugins_.empty()) return std::nullopt;
    const HotSyncConfig config = configOfUser(userId);
    QVDP_Settings settings;
    std::memset(&settings, 0, sizeof settings);
    first()->entries().loadSettings(&config, &settings);
    settings.syncDir[QVDP_MAX_PATH - 1] = '\0';
    return settings;
}

bool TQVPluginsList::saveSettings(uint32_t userId, const QVDP_Settings &settings) const {
    if (plugins_.empty()) return false;
    const HotSyncConfig config = configOfUser(userId);
    return first()->entries().saveSettings(&config, &settings) == 0;
}

FtpAccounts TQVPluginsList::loadFtpAccounts(const std::string &userDirectory) const {
    if (plugins_.empty()) return {};
    QVDP_FtpAccounts list{0, nullptr};
    first()->entries().loadFTPAccounts(userDirectory.c_str(), &list);
    return FtpAccounts(first(), list);
}

}  // namespace desktop
