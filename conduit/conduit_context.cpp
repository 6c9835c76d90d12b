#include "conduit_context.h"

#include "QVDPCommon.h"
#include "QVDPDatabase.h"
#include "user_manager.h"

#include <cstring>
#include <new>

namespace conduit {

namespace {

// A list header blob larger than this is not a header the lists can use.
constexpr uint32_t kMaxHeaderBlob = 64 * 1024;

// The record the plug-in reads its settings for: only the size, the creator,
// the user id and the user name are filled.
bool loadSettings(PluginBinding &plugin, const ConduitContext &context) {
    HotSyncConfig config{};
    config.size = sizeof(HotSyncConfig);
    config.creatorId = context.properties.creator;
    config.userId = context.userId;
    const std::string &name = context.properties.userName;
    if (name.size() >= sizeof config.userName) return false;
    std::memcpy(config.userName, name.data(), name.size());
    plugin.entry.loadSettings(&config, &plugin.settings);
    plugin.settings.syncDir[sizeof plugin.settings.syncDir - 1] = '\0';
    return true;
}

bool copyHeader(const QVDP_DBHeader *header, const void *blob, QVDP_DBHeader &outHeader,
                std::vector<uint8_t> &outBlob) {
    if (!header || header->blobSize > kMaxHeaderBlob || (header->blobSize && !blob)) return false;
    outHeader = *header;
    const auto *bytes = static_cast<const uint8_t *>(blob);
    outBlob.assign(bytes, bytes + (blob ? header->blobSize : 0));
    return true;
}

// The desktop list header stays the plug-in's; the two handheld list headers
// are copied at once.
bool takeListHeaders(ConduitContext &context) {
    const PluginEntryPoints &e = context.plugin->entry;
    context.desktop.blob = e.getDbHeaderData();
    context.desktop.header = e.getDbHeader();
    if (!context.desktop.header) return false;
    const void *cardBlob = e.getPalmCardDbHeaderData();
    if (!copyHeader(e.getPalmCardDbHeader(), cardBlob, context.handheld.cardHeader, context.handheld.cardBlob))
        return false;
    const void *ramBlob = e.getPalmDeviceDbHeaderData();
    return copyHeader(e.getPalmDeviceDbHeader(), ramBlob, context.handheld.ramHeader, context.handheld.ramBlob);
}

void unbindPlugin(ConduitContext &context) {
    context.desktop.header = nullptr;
    context.desktop.blob = nullptr;
    context.plugin.reset();
}

}  // namespace

ConduitContext::~ConduitContext() {
    if (desktop.database) QVDP_DBClose(desktop.database);
    if (ramDatabase) palm::sync::closeDatabase(*ramDatabase);
    handheld.lists.clear();
    desktop.entries.clear();
    cards.clear();
    backupFolder.reset();
    unbindPlugin(*this);
}

std::unique_ptr<ConduitContext> createConduitContext(void *hotSyncArgument, const SyncProperties &properties,
                                                     ConduitLog *log) {
    std::unique_ptr<ConduitContext> context(new (std::nothrow) ConduitContext);
    if (!context) return nullptr;
    context->hotSyncArgument = hotSyncArgument;
    context->properties = properties;
    context->log = log;

    if (palm::users::idFromName(properties.userName, context->userId) != 0) return context;
    char folder[QVDP_MAX_PATH] = {};
    if (GetUserFullPath(context->userId, folder) != 1) return context;
    context->userFolder = folder;

    context->plugin = bindPlugin(properties.creator);
    if (!context->plugin) return context;
    if (!preparePluginFolders(*context->plugin, context->userFolder) || !loadSettings(*context->plugin, *context) ||
        !takeListHeaders(*context))
        unbindPlugin(*context);
    return context;
}

}  // namespace conduit
