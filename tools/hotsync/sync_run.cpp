#include "sync_run.h"

#include "byte_order.h"
#include "conduit_manager.h"
#include "connection.h"
#include "handheld.h"
#include "hotsync_log.h"
#include "install_aide.h"
#include "palm_errors.h"
#include "pdb_file.h"
#include "registry.h"
#include "user_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <thread>

namespace hotsync {

namespace fs = std::filesystem;

namespace {

constexpr char kCoreKey[] = "Software\\U.S. Robotics\\Pilot Desktop\\Core";
constexpr char kPreferencesKey[] = "Software\\U.S. Robotics\\Pilot Desktop\\Preferences";

using OpenConduitFn = int32_t (*)(void *progress, void *properties);
using CfgConduitFn = int32_t (*)(int32_t kind, void *config, uint32_t *size);

// The progress callback HotSync hands to OpenConduit; conduits only test it.
extern "C" int32_t progressCallback(const char *) { return 0; }

fs::path programPath() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path("hotsync") : self;
}

bool endsWithDll(const std::string &name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".dll";
}

// Loads a library and finds one entry; prints why when it cannot.
void *loadEntry(const std::string &library, const char *entry, void *&module) {
    const auto path = resolveLibrary(library);
    if (!path) {
        std::fprintf(stderr, "hotsync: the conduit library \"%s\" was not found\n", library.c_str());
        return nullptr;
    }
    module = dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "hotsync: %s cannot be loaded: %s\n", path->c_str(), dlerror());
        return nullptr;
    }
    void *fn = dlsym(module, entry);
    if (!fn) {
        std::fprintf(stderr, "hotsync: %s has no %s\n", path->c_str(), entry);
        dlclose(module);
        module = nullptr;
    }
    return fn;
}

int32_t userAction(uint32_t userId, uint32_t creator, bool consumeTemporary) {
    int32_t action = palm::users::kActionSynchronize;
    if (palm::users::getTemporaryAction(userId, creator, action) == 0) {
        if (consumeTemporary) palm::users::removeTemporaryAction(userId, creator);
        return action;
    }
    if (palm::users::getPermanentAction(userId, creator, action) == 0) return action;
    return palm::users::kActionSynchronize;
}

void printLog(const fs::path &file, uint64_t from) {
    std::printf("HotSync log:\n");
    for (const auto &e : palm::hslog::readLog(file, from)) {
        std::string text = e.text;
        for (size_t pos = 0; (pos = text.find('\n', pos)) != std::string::npos; pos += 2) text.insert(pos + 1, "  ");
        std::printf("  [%d] %s\n", e.activity, text.c_str());
    }
}

uint64_t fileSize(const fs::path &file) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

}  // namespace

void writeHotSyncPath() {
    platform::Registry::writeString(platform::Hive::CurrentUser, kCoreKey, "HotSyncPath", programPath().string());
}

int32_t syncTypeOfAction(int32_t action) {
    switch (action) {
    case 1: return 3;
    case 2: return 2;
    case 3: return 6;
    default: return 0;
    }
}

int32_t actionOfSyncType(int32_t type) {
    switch (type) {
    case 0:
    case 1: return 0;
    case 3: return 1;
    case 2: return 2;
    default: return 3;
    }
}

std::optional<std::string> resolveLibrary(const std::string &library) {
    if (library.empty()) return std::nullopt;
    std::error_code ec;
    const fs::path given(library);
    if (given.is_absolute()) return fs::is_regular_file(given, ec) ? std::optional(library) : std::nullopt;
    const fs::path folder = programPath().parent_path();
    std::vector<fs::path> candidates = {folder / library};
    if (endsWithDll(library)) {
        const std::string stem = library.substr(0, library.size() - 4);
        candidates.push_back(folder / ("lib" + stem + ".so"));
        candidates.push_back(folder / (stem + ".so"));
    }
    for (const fs::path &c : candidates)
        if (fs::is_regular_file(c, ec)) return c.string();
    return std::nullopt;
}

int runSync(const SyncOptions &options) {
    std::string error;
    auto handheld = palm::Handheld::open(options.handheld, error);
    if (!handheld) {
        std::fprintf(stderr, "hotsync: %s\n", error.c_str());
        return 2;
    }
    std::vector<std::string> problems;
    handheld->databases(problems);
    for (const std::string &p : problems) std::fprintf(stderr, "hotsync: warning: %s\n", p.c_str());
    const std::string userName = handheld->userName();
    if (userName.empty()) {
        std::fprintf(stderr, "hotsync: %s: the handheld has no user name\n", handheld->deviceFile().c_str());
        return 2;
    }
    if (userName.size() >= kUserNameWidth) {
        std::fprintf(stderr, "hotsync: the user name is too long\n");
        return 2;
    }
    uint32_t userId = 0;
    if (palm::users::idFromName(userName, userId) != 0) {
        if (int32_t e = palm::users::addUser(userName, userId)) {
            std::fprintf(stderr, "hotsync: cannot add the user \"%s\": %s\n", userName.c_str(), palm::errorText(e));
            return 1;
        }
        std::printf("New user \"%s\" (id %u).\n", userName.c_str(), userId);
    }
    std::vector<palm::users::Slot> slots;
    for (const palm::SlotInfo &s : handheld->slots()) slots.push_back({s.slotRef, s.displayName});
    palm::users::setSlots(userId, slots);

    if (!palm::selectHandheld(options.handheld, error)) {
        std::fprintf(stderr, "hotsync: %s\n", error.c_str());
        return 2;
    }
    const fs::path logFile = palm::hslog::currentLogFile();
    const uint64_t logStart = fileSize(logFile);
    std::printf("HotSync of \"%s\" for user \"%s\".\n", options.handheld.c_str(), userName.c_str());
    palm::hslog::addEntry("HotSync started for " + userName + ".", palm::hslog::kActivityHostMessage);

    int status = 0;
    for (const palm::conduits::Conduit &c : palm::conduits::list()) {
        const int32_t action = userAction(userId, c.creator, true);
        const int32_t type = options.typeOverride.value_or(syncTypeOfAction(action));
        const std::string creatorText = palm::fourCCText(c.creator);
        void *module = nullptr;
        auto open = reinterpret_cast<OpenConduitFn>(loadEntry(c.library, "OpenConduit", module));
        if (!open) {
            palm::hslog::addEntry("The conduit for " + creatorText + " could not be loaded.",
                                  palm::hslog::kActivityHostMessage);
            status = 1;
            continue;
        }
        uint8_t properties[kSyncPropertiesSize] = {};
        qv::storeLE32(properties + kSyncTypeOffset, uint32_t(type));
        std::memcpy(properties + kUserNameOffset, userName.c_str(), userName.size() + 1);
        qv::storeLE32(properties + kCreatorOffset, c.creator);
        int32_t result = 0;
        // The conduit runs on the HotSync thread, as under the HotSync Manager.
        std::thread run([&] { result = open(reinterpret_cast<void *>(&progressCallback), properties); });
        run.join();
        std::printf("Conduit %s (%s), sync type %d: OpenConduit answered %d.\n", creatorText.c_str(),
                    c.title.empty() ? c.library.c_str() : c.title.c_str(), type, result);
        dlclose(module);
    }

    std::vector<std::string> report;
    palm::installaide::deliverQueuedFiles(userId, report);
    for (const std::string &line : report) palm::hslog::addEntry(line, palm::hslog::kActivityHostMessage);
    palm::hslog::addEntry("HotSync finished.", palm::hslog::kActivityHostMessage);
    palm::deselectHandheld();
    platform::Registry::writeString(platform::Hive::CurrentUser, kPreferencesKey, "LastUserName", userName);
    printLog(logFile, logStart);
    return status;
}

int runConfigure(const std::string &userName, uint32_t creator) {
    uint32_t userId = 0;
    if (palm::users::idFromName(userName, userId) != 0) {
        std::fprintf(stderr, "hotsync: no user named \"%s\"\n", userName.c_str());
        return 1;
    }
    palm::conduits::Conduit conduit;
    if (palm::conduits::find(creator, conduit) != 0) {
        std::fprintf(stderr, "hotsync: no conduit is registered for %s\n", palm::fourCCText(creator).c_str());
        return 1;
    }
    fs::path folder;
    palm::users::userFolder(userId, folder);
    if (userName.size() >= 64 || folder.string().size() >= 256) {
        std::fprintf(stderr, "hotsync: the user name or folder does not fit the configuration record\n");
        return 1;
    }
    void *module = nullptr;
    auto cfg = reinterpret_cast<CfgConduitFn>(loadEntry(conduit.library, "CfgConduit", module));
    if (!cfg) return 1;

    int32_t permanent = palm::users::kActionSynchronize;
    palm::users::getPermanentAction(userId, creator, permanent);
    const int32_t next = userAction(userId, creator, false);
    uint8_t config[kHotSyncConfigSize] = {};
    qv::storeLE32(config + 0, 1);
    qv::storeLE32(config + 4, uint32_t(kHotSyncConfigSize));
    qv::storeLE32(config + 8, creator);
    qv::storeLE32(config + 12, userId);
    std::memcpy(config + 16, userName.c_str(), userName.size() + 1);
    std::memcpy(config + 80, folder.c_str(), folder.string().size() + 1);
    qv::storeLE32(config + 336, uint32_t(syncTypeOfAction(permanent)));
    qv::storeLE32(config + 340, uint32_t(syncTypeOfAction(next)));
    qv::storeLE32(config + 344, uint32_t(syncTypeOfAction(next)));
    uint32_t size = kHotSyncConfigSize;
    const int32_t result = cfg(0, config, &size);
    dlclose(module);
    std::printf("CfgConduit answered %d.\n", result);
    if (result != 0) return 1;

    const int32_t chosen = actionOfSyncType(int32_t(qv::loadLE32(config + 344)));
    const uint32_t preference = qv::loadLE32(config + 348);
    if (preference == 1) {
        palm::users::removeTemporaryAction(userId, creator);
        palm::users::setPermanentAction(userId, creator, chosen);
        std::printf("Default HotSync action: %d.\n", chosen);
    } else if (preference == 2) {
        palm::users::setTemporaryAction(userId, creator, chosen);
        std::printf("Next HotSync action: %d.\n", chosen);
    }
    return 0;
}

}  // namespace hotsync
