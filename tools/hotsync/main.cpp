// hotsync: the HotSync Manager of this machine. Runs a HotSync of an
// emulated handheld through the registered conduits, manages the Palm users,
// configures a conduit, queues files with the Install Aide and installs a
// library the way an installer does.
#include "sync_run.h"

#include "conduit_manager.h"
#include "hotsync_log.h"
#include "install_aide.h"
#include "ini_store.h"
#include "palm_errors.h"
#include "pdb_file.h"
#include "user_manager.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage:\n"
    "  hotsync sync <handheld> [--type N]       run one HotSync\n"
    "  hotsync user list\n"
    "  hotsync user add <name>\n"
    "  hotsync user rename <name> <new name>\n"
    "  hotsync user delete <name>\n"
    "  hotsync action <user> <creator> [perm|next] <0-3>   set a HotSync action\n"
    "  hotsync configure <user> <creator>        call the conduit's CfgConduit\n"
    "  hotsync conduits                          list the registered conduits\n"
    "  hotsync register <library>                call its DllRegisterServer\n"
    "  hotsync unregister <library>              call its DllUnregisterServer\n"
    "  hotsync install <user> <slot> <file>      queue a file (slot 0 = handheld RAM)\n"
    "  hotsync queue <user>                      list the queued files\n"
    "  hotsync log <user>                        print the user's HotSync log\n"
    "creators are four characters (QVpy) or 0x... numbers\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 1;
}

int fail(const std::string &what, int32_t code) {
    std::fprintf(stderr, "hotsync: %s: %s (%d)\n", what.c_str(), palm::errorText(code), code);
    return 1;
}

bool userId(const std::string &name, uint32_t &id) {
    if (palm::users::idFromName(name, id) == 0) return true;
    std::fprintf(stderr, "hotsync: no user named \"%s\"\n", name.c_str());
    return false;
}

std::optional<uint32_t> creatorArg(const std::string &text) {
    auto creator = palm::parseFourCC(text);
    if (!creator) std::fprintf(stderr, "hotsync: \"%s\" is not a creator (four characters or 0x...)\n", text.c_str());
    return creator;
}

int userCommand(const std::vector<std::string> &a) {
    if (a.size() < 2) return usage();
    const std::string &verb = a[1];
    if (verb == "list" && a.size() == 2) {
        const uint16_t count = palm::users::userCount();
        for (uint16_t i = 0; i < count; ++i) {
            uint32_t id = 0;
            std::string name, directory;
            if (palm::users::userIdAt(i, id) || palm::users::userName(id, name)) continue;
            palm::users::userDirectory(id, directory);
            std::printf("%u\t%s\t%s\n", id, name.c_str(), directory.c_str());
        }
        return 0;
    }
    if (verb == "add" && a.size() == 3) {
        uint32_t id = 0;
        if (int32_t e = palm::users::addUser(a[2], id)) return fail("cannot add \"" + a[2] + "\"", e);
        std::printf("Added \"%s\" (id %u).\n", a[2].c_str(), id);
        return 0;
    }
    if (verb == "rename" && a.size() == 4) {
        uint32_t id = 0;
        if (!userId(a[2], id)) return 1;
        if (int32_t e = palm::users::renameUser(id, a[3])) return fail("cannot rename \"" + a[2] + "\"", e);
        std::printf("Renamed \"%s\" to \"%s\".\n", a[2].c_str(), a[3].c_str());
        return 0;
    }
    if (verb == "delete" && a.size() == 3) {
        uint32_t id = 0;
        if (!userId(a[2], id)) return 1;
        if (int32_t e = palm::users::deleteUser(id)) return fail("cannot delete \"" + a[2] + "\"", e);
        std::printf("Deleted \"%s\".\n", a[2].c_str());
        return 0;
    }
    return usage();
}

int actionCommand(const std::vector<std::string> &a) {
    if (a.size() != 4 && a.size() != 5) return usage();
    uint32_t id = 0;
    if (!userId(a[1], id)) return 1;
    const auto creator = creatorArg(a[2]);
    if (!creator) return 1;
    const bool next = a.size() == 5 && a[3] == "next";
    if (a.size() == 5 && !next && a[3] != "perm") return usage();
    const auto action = palm::parseInteger(a.back());
    if (!action || *action < 0 || *action > 3) return usage();
    const int32_t e = next ? palm::users::setTemporaryAction(id, *creator, int32_t(*action))
                           : palm::users::setPermanentAction(id, *creator, int32_t(*action));
    return e ? fail("cannot set the action", e) : 0;
}

int registerCommand(const std::string &library, bool unregister) {
    void *module = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "hotsync: %s cannot be loaded: %s\n", library.c_str(), dlerror());
        return 1;
    }
    const char *entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<int32_t (*)()>(dlsym(module, entry));
    if (!fn) {
        std::fprintf(stderr, "hotsync: %s has no %s\n", library.c_str(), entry);
        dlclose(module);
        return 1;
    }
    const int32_t result = fn();
    dlclose(module);
    std::printf("%s answered %d.\n", entry, result);
    return 0;
}

int conduitsCommand() {
    for (const auto &c : palm::conduits::list())
        std::printf("%s\ttype %d\t%s\t%s\t%s\n", palm::fourCCText(c.creator).c_str(), c.type, c.library.c_str(),
                    c.directory.c_str(), c.title.c_str());
    return 0;
}

int installCommand(const std::vector<std::string> &a) {
    if (a.size() != 4) return usage();
    uint32_t id = 0;
    if (!userId(a[1], id)) return 1;
    const auto slot = palm::parseInteger(a[2]);
    if (!slot || *slot < 0 || *slot > 0xFFFF) return usage();
    if (int32_t e = palm::installaide::queueFile(uint32_t(*slot), id, a[3])) return fail("cannot queue " + a[3], e);
    std::printf("Queued %s.\n", a[3].c_str());
    return 0;
}

int queueCommand(const std::vector<std::string> &a) {
    if (a.size() != 2) return usage();
    uint32_t id = 0;
    if (!userId(a[1], id)) return 1;
    for (const auto &q : palm::installaide::queuedFiles(id))
        std::printf("%s\t%s\n", q.slotRef ? ("slot " + std::to_string(q.slotRef)).c_str() : "RAM",
                    q.file.filename().c_str());
    return 0;
}

int logCommand(const std::vector<std::string> &a) {
    if (a.size() != 2) return usage();
    uint32_t id = 0;
    if (!userId(a[1], id)) return 1;
    std::filesystem::path folder;
    palm::users::userFolder(id, folder);
    for (const auto &e : palm::hslog::readLog(palm::hslog::logFileOfFolder(folder)))
        std::printf("%s\t%d\t%s\n", e.time.c_str(), e.activity, e.text.c_str());
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> a(argv + 1, argv + argc);
    if (a.empty()) return usage();
    const std::string &command = a[0];
    hotsync::writeHotSyncPath();
    for (const std::string &problem : {palm::users::storeProblem(), palm::conduits::storeProblem()}) {
        if (problem.empty()) continue;
        std::fprintf(stderr, "hotsync: %s\n", problem.c_str());
        return 2;
    }
    if (command == "sync") {
        if (a.size() < 2) return usage();
        hotsync::SyncOptions options;
        options.handheld = a[1];
        for (size_t i = 2; i < a.size(); ++i) {
            if (a[i] == "--type" && i + 1 < a.size()) {
                const auto type = palm::parseInteger(a[++i]);
                if (!type || *type < 0 || *type > 0xFFFF) return usage();
                options.typeOverride = int32_t(*type);
            } else {
                return usage();
            }
        }
        return hotsync::runSync(options);
    }
    if (command == "user") return userCommand(a);
    if (command == "action") return actionCommand(a);
    if (command == "configure") {
        if (a.size() != 3) return usage();
        const auto creator = creatorArg(a[2]);
        return creator ? hotsync::runConfigure(a[1], *creator) : 1;
    }
    if (command == "conduits" && a.size() == 1) return conduitsCommand();
    if ((command == "register" || command == "unregister") && a.size() == 2)
        return registerCommand(a[1], command == "unregister");
    if (command == "install") return installCommand(a);
    if (command == "queue") return queueCommand(a);
    if (command == "log") return logCommand(a);
    return usage();
}
