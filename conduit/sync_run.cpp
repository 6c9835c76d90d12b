#include "sync_run.h"

#include "QVDocsPlugin.h"
#include "QVDPCommon.h"
#include "QVPalmConduit.h"
#include "card_pass.h"
#include "conduit_context.h"
#include "conduit_log.h"
#include "conduit_strings.h"
#include "handshake.h"
#include "message_box.h"
#include "sync_engine.h"
#include "user_manager.h"

#include <cstring>

namespace conduit {

namespace {

constexpr int kLogMinimumLevel = 1;
constexpr int32_t kRunFailed = -1;

inline constexpr const char kNoPluginText[] =
    "Can not initialize the conduit. Bad instalation or incorrect palm user information.";

// The user folder of the run's user, looked up afresh; empty when unknown.
std::string userFolderOf(const std::string &userName) {
    uint32_t userId = 0;
    char folder[QVDP_MAX_PATH] = {};
    if (palm::users::idFromName(userName, userId) != 0 || GetUserFullPath(userId, folder) != 1) return {};
    return folder;
}

void runSyncSteps(ConduitContext &context) {
    const std::string &userName = context.properties.userName;
    refreshCards(context, userName);
    if (const std::string folder = userFolderOf(userName); !folder.empty())
        context.plugin->entry.syncPalmCategoriesToPc(folder.c_str());
    if (const std::string folder = userFolderOf(userName); !folder.empty())
        context.plugin->entry.syncFtpAccountsToPc(folder.c_str());
    cleanBackups(context);
    synchronize(context);
    // Again, so that the cards table holds the labels and free space after the transfer.
    refreshCards(context, userName);
}

// The part of the run the desktop program has agreed to: create the
// context, run the steps, destroy it, end the handshake.
int32_t runAgreedPart(void *hotSyncArgument, const SyncProperties &properties, ConduitLog &log,
                      DesktopHandshake &handshake) {
    int32_t result = kRunFailed;
    try {
        std::unique_ptr<ConduitContext> context = createConduitContext(hotSyncArgument, properties, &log);
        if (context) {
            try {
                if (context->plugin) runSyncSteps(*context);
                context.reset();
                result = 0;
            } catch (...) {
                log.logResource(kConduitMessageLevel, kStrUnknownError);
                context.reset();
            }
        }
        handshake.end(properties.userName, true);
        handshake.closeStartEvent();
    } catch (...) {
        log.logResource(kConduitMessageLevel, kStrUnknownError);
        handshake.end(properties.userName, true);
        handshake.closeStartEvent();
    }
    return result;
}

}  // namespace

int32_t runConduit(void *hotSyncArgument, const void *syncProperties) {
    if (!hotSyncArgument || !syncProperties) return kRunFailed;
    SyncProperties properties;
    try {
        properties = readSyncProperties(syncProperties);
    } catch (...) {
        return kRunFailed;
    }
    if (properties.syncType == kSyncTypeDoNothing) return 0;

    ConduitLog log(kLogMinimumLevel);
    CurrentLogScope logScope(log);
    palm::sync::ConduitHandle handle = 0;
    if (palm::sync::registerConduit(handle) != 0) return kRunFailed;

    int32_t result = kRunFailed;
    DesktopHandshake handshake;
    try {
        if (handshake.begin())
            result = runAgreedPart(hotSyncArgument, properties, log, handshake);
        else
            log.logText(kConduitMessageLevel, kDesktopActiveText);
        handshake.releaseFinished();
        writeRunEnd();
    } catch (...) {
        log.logResource(kConduitMessageLevel, kStrCannotLoadPlugin);
        // Whatever happened, a desktop program waiting for the end is released.
        handshake.releaseFinished();
        handshake.closeStartEvent();
    }
    palm::sync::unregisterConduit(handle);
    return result;
}

int32_t configureConduit(void *config) {
    const auto *record = static_cast<const HotSyncConfig *>(config);
    char displayName[kMaxStringLength + 1];
    if (!loadStringInto(kStrConduitName, displayName, sizeof displayName)) return QVC_ERR_NAME_NOT_LOADED;

    SyncProperties properties;
    properties.creator = record->creatorId;
    const std::size_t nameLength = ::strnlen(record->userName, sizeof record->userName);
    if (nameLength < sizeof record->userName) properties.userName.assign(record->userName, nameLength);

    std::unique_ptr<ConduitContext> context = createConduitContext(nullptr, properties, nullptr);
    if (context && context->plugin)
        context->plugin->entry.syncConfigureDetailed(nullptr, static_cast<HotSyncConfig *>(config));
    else
        showErrorBox(kNoPluginText);
    return 0;
}

}  // namespace conduit
