// The plug-in host: TQVPluginsList finds the document plug-ins registered for
// the HotSync conduit (HKLM "SOFTWARE\Tarvoc\QVPalmConduit\Plugins", one
// subkey per plug-in with its library in "PluginDLL"), loads each, binds its
// 22 entries and keeps it loaded for the life of the list. Every question
// about a file (supported? which plug-in? format name, handheld formats,
// handheld name) is answered through these lookups; several take the first
// plug-in that answers, so list order (registry order) matters.
#pragma once

#include "QVDocsPlugin.h"
#include "dynamic_library.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace desktop {

class TQvLogFile;

constexpr char kPluginsKey[] = "SOFTWARE\\Tarvoc\\QVPalmConduit\\Plugins";

// The 22 entries the desktop program binds, in binding order; all required.
struct PluginEntries {
    decltype(&QVDP_Init) init = nullptr;
    decltype(&QVDP_Destroy) destroy = nullptr;
    decltype(&QVDP_GetPluginName) getPluginName = nullptr;
    decltype(&QVDP_GetPluginVersion) getPluginVersion = nullptr;
    decltype(&QVDP_GetPluginFolder) getPluginFolder = nullptr;
    decltype(&QVDP_GetPluginDatabaseName) getPluginDatabaseName = nullptr;
    decltype(&QVDP_GetPluginDefaultCardFolder) getPluginDefaultCardFolder = nullptr;
    decltype(&QVDP_RecognizeFile) recognizeFile = nullptr;
    decltype(&QVDP_GetPluginID) getPluginID = nullptr;
    decltype(&QVDP_GetPluginCreatorID) getPluginCreatorID = nullptr;
    decltype(&QVDP_GetFormat) getFormat = nullptr;
    decltype(&QVDP_GetPCToHHConversions) getPCToHHConversions = nullptr;
    decltype(&QVDP_GetHHToPCConversions) getHHToPCConversions = nullptr;
    decltype(&QVDP_GetDefaultPCToHHConversion) getDefaultPCToHHConversion = nullptr;
    decltype(&QVDP_GetDesktopCategories) getDesktopCategories = nullptr;
    decltype(&QVDP_GetPalmCategories) getPalmCategories = nullptr;
    decltype(&QVDP_ModifyPalmFileName) modifyPalmFileName = nullptr;
    decltype(&QVDP_LoadSettings) loadSettings = nullptr;
    decltype(&QVDP_SaveSettings) saveSettings = nullptr;
    decltype(&QVDP_LoadFTPAccounts) loadFTPAccounts = nullptr;
    decltype(&QVDP_FreeFTPAccounts) freeFTPAccounts = nullptr;
    decltype(&QVDP_FreeFTP1Accounts) freeFTP1Accounts = nullptr;
};

struct DesktopCategory {
    int32_t id = 0;
    std::string name;
    int32_t bitmap = 0;
};

// One handheld format a desktop format can become.
struct FormatChoice {
    int32_t id = 0;
    std::string name;
};

class TQVPlugin {
public:
    // Loads, binds, initialises and names the plug-in; nullptr with error
    // set ("Cannot load %s", "The plugin %s is not compatible ...", "Cannot
    // initialize the plugin", "Internal error : %d") when refused, the
    // library then released again.
    static std::unique_ptr<TQVPlugin> load(const std::string &path, std::string &error);
    ~TQVPlugin();
    TQVPlugin(const TQVPlugin &) = delete;
    TQVPlugin &operator=(const TQVPlugin &) = delete;

    int32_t index = 0;   // position in the list = index of its file database
    const std::string &path() const { return path_; }
    const std::string &name() const { return name_; }
    const PluginEntries &entries() const { return fn_; }

    int32_t pluginId() const;
    // The format row the plug-in recognises for the file; nullptr when none.
    const QVDP_Format *recognize(const std::string &path) const;
    // The row of a format id; nullptr when the plug-in has none.
    const QVDP_Format *format(int32_t formatId) const;
    // Desktop-to-handheld pairs, without the terminating pair.
    std::vector<QVDP_Conversion> conversions() const;
    // The handheld formats a desktop format can become, in table order,
    // formats the plug-in has no row for left out.
    std::vector<FormatChoice> handheldFormatChoices(int32_t desktopFormat) const;
    int32_t defaultHandheldFormat(int32_t desktopFormat) const;
    // The desktop format the plug-in gives the file; -1 when none.
    int32_t desktopFormatOf(const std::string &path) const;
    // The first extension of a format's row, "" without a row.
    std::string handheldExtension(int32_t formatId) const;
    std::string pluginFolder() const;
    std::string databaseName() const;
    std::string defaultCardFolder() const;
    uint32_t creatorId() const;
    std::vector<DesktopCategory> desktopCategories() const;

    // Handheld names proposed for a desktop file converted to a handheld
    // format: in RAM (the name cut to 32 characters, maybe rewritten by the
    // plug-in, the extension replaced) and on a card.
    std::string ramEntryName(const std::string &desktopPath, int32_t handheldFormat) const;
    std::string cardEntryName(const std::string &desktopPath, int32_t handheldFormat) const;

private:
    TQVPlugin() = default;
    std::string text(decltype(&QVDP_GetPluginFolder) getter) const;

    std::string path_;
    std::string name_;
    DynamicLibrary library_;
    PluginEntries fn_;
};

// The user's Palm category slots (256), the built-in table when the plug-in
// has none.
std::vector<QVDP_CategorySlot> defaultPalmCategories();

// Internet-storage accounts loaded through a plug-in, handed back to it when
// the object goes.
class FtpAccounts {
public:
    FtpAccounts() = default;
    FtpAccounts(const TQVPlugin *owner, QVDP_FtpAccounts list) : owner_(owner), list_(list) {}
    ~FtpAccounts();
    FtpAccounts(FtpAccounts &&other) noexcept;
    FtpAccounts &operator=(FtpAccounts &&other) noexcept;
    const QVDP_FtpAccounts &list() const { return list_; }

private:
    void release();
    const TQVPlugin *owner_ = nullptr;
    QVDP_FtpAccounts list_{0, nullptr};
};

class TQVPluginsList {
public:
    // Loads every registered plug-in; one that is refused is reported to the
    // log (source "PluginList") and to loadErrors(), and skipped. keyFound()
    // is false when the plug-ins key cannot be opened (no plug-ins then).
    explicit TQVPluginsList(TQvLogFile *log = nullptr);

    bool keyFound() const { return keyFound_; }
    const std::vector<std::string> &loadErrors() const { return loadErrors_; }
    size_t size() const { return plugins_.size(); }
    bool empty() const { return plugins_.empty(); }
    TQVPlugin &at(size_t i) const { return *plugins_.at(i); }
    TQVPlugin *first() const { return plugins_.empty() ? nullptr : plugins_.front().get(); }

    // Adds a plug-in (for hosts that load one by path); its index is set.
    void append(std::unique_ptr<TQVPlugin> plugin);

    // The plug-in of the first that recognises the file, when it accepts
    // the format on the desktop; nullptr otherwise.
    TQVPlugin *pluginForFile(const std::string &path) const;
    int32_t pluginIdForFile(const std::string &path) const;
    bool canBeAdded(const std::string &path) const;
    TQVPlugin *pluginById(int32_t id) const;
    // The format's name from the first plug-in with that ID that has a row;
    // "Unknown format" otherwise.
    std::string formatName(int32_t pluginId, int32_t formatId) const;
    // True when some plug-in has a row for the format without the
    // transfer-only flag.
    bool formatCanBeSynchronized(int32_t formatId) const;

    // First plug-in only.
    std::vector<QVDP_CategorySlot> palmCategories(const std::string &userDirectory) const;
    std::optional<QVDP_Settings> loadSettings(uint32_t userId) const;
    bool saveSettings(uint32_t userId, const QVDP_Settings &settings) const;
    FtpAccounts loadFtpAccounts(const std::string &userDirectory) const;

private:
    bool keyFound_ = false;
    std::vector<std::string> loadErrors_;
    std::vector<std::unique_ptr<TQVPlugin>> plugins_;
};

// True when the path names an existing regular file.
bool isFile(const std::string &path);

}  // namespace desktop
