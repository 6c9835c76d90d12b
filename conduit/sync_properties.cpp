#include "sync_properties.h"

#include "QVPalmConduit.h"
#include "byte_order.h"

#include <cstring>

namespace conduit {

SyncProperties readSyncProperties(const void *record) {
    const auto *bytes = static_cast<const uint8_t *>(record);
    SyncProperties p;
    p.syncType = int32_t(qv::loadLE32(bytes + QVC_PROPERTIES_SYNC_TYPE_OFFSET));
    const char *name = reinterpret_cast<const char *>(bytes + QVC_PROPERTIES_USER_NAME_OFFSET);
    const std::size_t length = ::strnlen(name, QVC_PROPERTIES_USER_NAME_SIZE);
    if (length < QVC_PROPERTIES_USER_NAME_SIZE) p.userName.assign(name, length);
    p.creator = qv::loadLE32(bytes + QVC_PROPERTIES_CREATOR_OFFSET);
    return p;
}

}  // namespace conduit
