// A stand-in conduit for the HotSync host tests. OpenConduit appends what
// the host handed it (sync type, user name at 516, creator at 908) to the
// file named by FAKE_CONDUIT_RECORD and writes a database through the Sync
// Manager; CfgConduit records the configuration record and chooses
// "handheld overwrites desktop" for the next HotSync; DllRegisterServer
// registers this library for the creator 'Fake'.
#include "byte_order.h"
#include "conduit_manager.h"
#include "hotsync_log.h"
#include "pdb_file.h"
#include "sync_manager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

void record(const std::string &line) {
    const char *path = std::getenv("FAKE_CONDUIT_RECORD");
    if (!path) return;
    if (FILE *f = std::fopen(path, "a")) {
        std::fputs((line + "\n").c_str(), f);
        std::fclose(f);
    }
}

}  // namespace

EXPORT int32_t OpenConduit(void *progress, void *properties) {
    if (!progress || !properties) return -1;
    const auto *p = static_cast<const uint8_t *>(properties);
    const int32_t type = int32_t(qv::loadLE32(p));
    const std::string user(reinterpret_cast<const char *>(p + 516));
    const uint32_t creator = qv::loadLE32(p + 908);
    record("open type=" + std::to_string(type) + " user=" + user + " creator=" + palm::fourCCText(creator));

    palm::sync::ConduitHandle handle = 0;
    if (palm::sync::registerConduit(handle) != 0) return -1;
    palm::sync::DbHandle db = 0;
    int32_t e = palm::sync::openDatabase("FakeConduitDB", 0, palm::sync::kModeReadWrite, db);
    if (e == palm::kSyncErrNotFound) {
        palm::sync::CreateDbInfo info;
        info.name = "FakeConduitDB";
        info.type = palm::fourCC("DATA");
        info.creator = creator;
        info.flags = palm::sync::kDbFlagBackup;
        e = palm::sync::createDatabase(info, db);
    }
    if (e == 0) {
        uint32_t id = 0;
        e = palm::sync::writeRecord(db, 0, 0, 0, user.data(), uint32_t(user.size()), id);
        palm::sync::closeDatabase(db);
    }
    record("write=" + std::to_string(e));
    palm::hslog::addEntry("Fake conduit ran.", palm::hslog::kActivityConduitMessage);
    palm::hslog::addEntry("Tarvoc Papyrine.", palm::hslog::kActivityRunEnd);
    palm::sync::unregisterConduit(handle);
    return e == 0 ? 0 : -1;
}

EXPORT int32_t CfgConduit(int32_t kind, void *config, uint32_t *size) {
    if (!config || !size) return 4212;
    auto *c = static_cast<uint8_t *>(config);
    record("configure kind=" + std::to_string(kind) + " size=" + std::to_string(*size) +
           " version=" + std::to_string(qv::loadLE32(c)) + " creator=" + palm::fourCCText(qv::loadLE32(c + 8)) +
           " user=" + std::string(reinterpret_cast<const char *>(c + 16)) +
           " permanent=" + std::to_string(int32_t(qv::loadLE32(c + 336))) +
           " new=" + std::to_string(int32_t(qv::loadLE32(c + 344))));
    qv::storeLE32(c + 344, 2);   // handheld overwrites desktop
    qv::storeLE32(c + 348, 2);   // for the next HotSync only
    return 0;
}

EXPORT int32_t DllRegisterServer() {
    Dl_info self{};
    dladdr(reinterpret_cast<void *>(&DllRegisterServer), &self);
    const uint32_t creator = palm::fourCC("Fake");
    int32_t e = palm::conduits::install(creator, palm::conduits::kTypeApplication);
    if (e == palm::kCondErrCreatorInUse) {
        palm::conduits::remove(creator);
        e = palm::conduits::install(creator, palm::conduits::kTypeApplication);
    }
    if (e == 0) e = palm::conduits::setLibrary(creator, self.dli_fname ? self.dli_fname : "");
    if (e == 0) e = palm::conduits::setTitle(creator, "Fake conduit");
    return e == 0 ? 1 : 0;
}

EXPORT int32_t DllUnregisterServer() { return palm::conduits::remove(palm::fourCC("Fake")) <= 1 ? 1 : 0; }
