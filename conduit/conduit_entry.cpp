// The six entry points the HotSync Manager calls.
#include "QVPalmConduit.h"

#include "byte_order.h"
#include "conduit_strings.h"
#include "sync_run.h"

namespace {

constexpr int32_t kConduitVersion = 0x0102;
constexpr uint32_t kMfcNotUsed = 0x10000000;

}  // namespace

QV_EXPORT int32_t GetConduitName(char *buffer, uint16_t size) {
    return conduit::loadStringInto(conduit::kStrConduitName, buffer, size) ? 0 : -1;
}

QV_EXPORT int32_t GetConduitVersion(void) { return kConduitVersion; }

QV_EXPORT int32_t ConfigureConduit(void) { return -1; }

QV_EXPORT int32_t GetConduitInfo(int32_t kind, const void *versionRecord, void *output, uint32_t *size) {
    if (!output) return QVC_ERR_NO_OUTPUT_BUFFER;
    if (!size) return QVC_ERR_NO_SIZE;
    auto *out = static_cast<uint8_t *>(output);
    switch (kind) {
    case QVC_INFO_DISPLAY_NAME: {
        if (!versionRecord) return QVC_ERR_NO_ARGUMENT;
        const auto *version = static_cast<const uint8_t *>(versionRecord);
        if (qv::loadLE32(version) != QVC_INFO_VERSION || qv::loadLE32(version + 4) != QVC_INFO_VERSION_SIZE)
            return QVC_ERR_BAD_VERSION_RECORD;
        return conduit::loadStringInto(conduit::kStrConduitName, static_cast<char *>(output), *size)
                   ? 0
                   : QVC_ERR_NAME_NOT_LOADED;
    }
    case QVC_INFO_MFC_VERSION:
        if (*size != 4) return QVC_ERR_BAD_OUTPUT_SIZE;
        qv::storeLE32(out, kMfcNotUsed);
        return 0;
    case QVC_INFO_DEFAULT_ACTION:
        if (*size != 4) return QVC_ERR_BAD_OUTPUT_SIZE;
        qv::storeLE32(out, 0);
        return 0;
    default:
        return QVC_ERR_UNKNOWN_INFO_KIND;
    }
}

QV_EXPORT int32_t CfgConduit(int32_t kind, void *config, uint32_t *size) {
    if (!config) return QVC_ERR_NO_ARGUMENT;
    if (!size) return QVC_ERR_NO_CONFIG_SIZE;
    if (*size != QVC_CONFIG_SIZE) return QVC_ERR_BAD_CONFIG_SIZE;
    if (kind != 0) return QVC_ERR_UNKNOWN_CONFIG_KIND;
    if (qv::loadLE32(static_cast<const uint8_t *>(config)) != QVC_CONFIG_VERSION) return QVC_ERR_BAD_CONFIG_VERSION;
    try {
        return conduit::configureConduit(config);
    } catch (...) {
        return -1;   // nothing may cross the library boundary
    }
}

QV_EXPORT int32_t OpenConduit(void *hotSyncArgument, const void *syncProperties) {
    return conduit::runConduit(hotSyncArgument, syncProperties);
}
