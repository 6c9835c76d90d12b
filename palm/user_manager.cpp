#include "user_manager.h"

#include "faults.h"
#include "home.h"
#include "ini_store.h"
#include "random_bytes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace palm::users {

namespace fs = std::filesystem;

namespace {

constexpr char kUserPrefix[] = "User ";

fs::path storeFile() { return platform::hotSyncRoot() / "users.ini"; }

bool validName(const std::string &name) {
    return !name.empty() && name.size() <= kMaxUserNameLength && storableText(name) && name.front() != ' ' &&
           name.back() != ' ';
}

std::string creatorKey(const char *kind, uint32_t creator) {
    char key[32];
    std::snprintf(key, sizeof key, "%s.%08X", kind, creator);
    return key;
}

std::optional<uint32_t> idOfSection(const IniSection &s) {
    if (s.name.rfind(kUserPrefix, 0) != 0) return std::nullopt;
    const auto id = parseInteger(s.name.substr(sizeof kUserPrefix - 1));
    if (!id || *id <= 0 || *id > 0xFFFFFFFFLL) return std::nullopt;
    return uint32_t(*id);
}

std::string sectionOf(uint32_t id) { return kUserPrefix + std::to_string(id); }

// The store, read under the caller's lock. A damaged store reads as an error.
bool load(IniDocument &doc) {
    std::string error;
    return loadIni(storeFile(), doc, error);
}

bool save(const IniDocument &doc) {
    std::string error;
    return saveIni(storeFile(), doc, error);
}

std::vector<const IniSection *> usersOf(const IniDocument &doc) {
    std::vector<const IniSection *> users;
    for (const IniSection &s : doc.sections())
        if (idOfSection(s) && s.find("Name")) users.push_back(&s);
    return users;
}

const IniSection *userOf(const IniDocument &doc, uint32_t id) {
    const IniSection *s = doc.section(sectionOf(id));
    return s && s->find("Name") ? s : nullptr;
}

// A folder name made from the user name: letters, digits and a few signs
// kept, the rest "_", numbered when another user has it.
std::string newFolderName(const IniDocument &doc, const std::string &name) {
    std::string base;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        base += (std::isalnum(u) || u >= 0x80 || c == ' ' || c == '-' || c == '_') ? c : '_';
    }
    if (base.empty()) base = "User";
    auto taken = [&](const std::string &folder) {
        for (const IniSection *u : usersOf(doc))
            if (const std::string *d = u->find("Directory"); d && iequals(*d, folder)) return true;
        return false;
    };
    std::string folder = base;
    for (int n = 1; taken(folder); ++n) folder = base + std::to_string(n);
    return folder;
}

bool nameTaken(const IniDocument &doc, const std::string &name, uint32_t except) {
    for (const IniSection *u : usersOf(doc))
        if (*idOfSection(*u) != except && iequals(*u->find("Name"), name)) return true;
    return false;
}

int32_t getAction(const char *kind, uint32_t id, uint32_t creator, int32_t &action) {
    IniDocument doc;
    if (!load(doc)) return kUmErrStore;
    const IniSection *u = userOf(doc, id);
    if (!u) return kUmErrUserNotFound;
    const std::string *value = u->find(creatorKey(kind, creator));
    const auto parsed = value ? parseInteger(*value) : std::nullopt;
    if (!parsed) return kUmErrNoPreference;
    action = int32_t(*parsed);
    return 0;
}

int32_t setAction(const char *kind, uint32_t id, uint32_t creator, const std::optional<int32_t> &action) {
    if (action && (*action < kActionSynchronize || *action > kActionDoNothing)) return kUmErrBadArgument;
    StoreLock lock(storeFile());
    IniDocument doc;
    if (!load(doc)) return kUmErrStore;
    if (!userOf(doc, id)) return kUmErrUserNotFound;
    IniSection *u = doc.section(sectionOf(id));
    if (action) u->set(creatorKey(kind, creator), std::to_string(*action));
    else if (!u->remove(creatorKey(kind, creator))) return kUmErrNoPreference;
    return save(doc) ? 0 : kUmErrStore;
}

}  // namespace

std::string storeProblem() {
    IniDocument doc;
    std::string error;
    return loadIni(storeFile(), doc, error) ? std::string() : error;
}

uint16_t userCount() {
    IniDocument doc;
    if (!load(doc)) return 0;
    return uint16_t(std::min<size_t>(usersOf(doc).size(), 0xFFFF));
}

int32_t userIdAt(uint16_t index, uint32_t &id) {
    if (int32_t f = checkFault("um.getUserId")) return f;
    IniDocument doc;
    if (!load(doc)) return kUmErrStore;
    const auto users = usersOf(doc);
    if (index >= users.size()) return kUmErrUserNotFound;
    id = *idOfSection(*users[index]);
    return 0;
}

int32_t userName(uint32_t id, std::string &name) {
    if (int32_t f = checkFault("um.getUserName")) return f;
    IniDocument doc;
    if (!load(doc)) return kUmErrStore;
    const IniSection *u = userOf(doc, id);
    if (!u) return kUmErrUserNotFound;
    name = *u->find("Name");
    return 0;
}

int32_t idFromName(const std::string &name, uint32_t &id) {
    if (int32_t f = checkFault("um.getIdFromName")) return f;
    IniDocument doc;
    if (!load(doc)) return kUmErrStore;
    for (const IniSection *u : usersOf(doc))
        if (iequals(*u->find("Name"), name)) {
            id = *idOfSection(*u);
            return 0;
        }
    return kUmErrUserNotFound;
}

int32_t idFromPath(const std::string &path, uint32_t &id) {
    IniDocument doc;
    if (!load(doc)) return kUmErrStore;
    std::error_code ec;
    const fs::path wanted = fs::weakly_canonical(fs::path(path), ec);
    for (const IniSection *u : usersOf(doc)) {
        const std::string *dir = u->find("Directory");
        if (!dir) continue;
        const fs::path folder = fs::weakly_canonical(platform::hotSyncRoot() / *dir, ec);
        const auto rel = wanted.lexically_relative(folder);
        if (!rel.empty() && *rel.begin() != "..") {
            id = *idOfSection(*u);
            return 0;
        }
    }
    return kUmErrUserNotFound;
}

std::string rootDirectory() {
    std::string root = platform::hotSyncRoot().string();
    if (root.empty() || root.back() != '/') root += '/';
    return root;
}

int32_t userDirectory(uint32_t id, std::string &directory) {
    if (int32_t f = checkFault("um.getUserDirectory")) return f;
    IniDocument doc;
    if (!load(doc)) return kUmErrStore;
    const IniSection *u = userOf(doc, id);
    if (!u) return kUmErrUserNotFound;
    const std::string *dir = u->find("Directory");
    if (!dir || dir->empty() || dir->find('/') != std::string::npos || *dir == "." || *dir == "..") return kUmErrStore;
    directory = *dir;
    return 0;
}

int32_t userFolder(uint32_t id, fs::path &folder) {
    std::string directory;
    if (int32_t e = userDirectory(id, directory)) return e;
    folder = platform::hotSyncRoot() / directory;
    return 0;
}

int32_t addUser(const std::string &name, uint32_t &id) {
    if (int32_t f = checkFault("um.addUser")) return f;
    if (!validName(name)) return kUmErrBadArgument;
    StoreLock lock(storeFile());
    IniDocument doc;
    if (!load(doc)) return kUmErrStore;
    if (nameTaken(doc, name, 0)) return kUmErrNameExists;
    uint32_t newId = 0;
    while (newId == 0 || userOf(doc, newId) || newId > 0x7FFFFFFF) {
        uint8_t bytes[4];
        platform::randomBytes(bytes, sizeof bytes);
        newId = ((uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3]) &
                0x7FFFFFFF;
    }
    const std::string folder = newFolderName(doc, name);
    IniSection &u = doc.sectionOrNew(sectionOf(newId));
    u.set("Name", name);
    u.set("Directory", folder);
    std::error_code ec;
    fs::create_directories(platform::hotSyncRoot() / folder, ec);
    if (ec || !save(doc)) return kUmErrStore;
    id = newId;
    return 0;
}

int32_t deleteUser(uint32_t id) {
    if (int32_t f = checkFault("um.deleteUser")) return f;
    StoreLock lock(storeFile());
    IniDocument doc;
    if (!load(doc)) return kUmErrStore;
    if (!userOf(doc, id)) return kUmErrUserNotFound;
    doc.removeSection(sectionOf(id));
    return save(doc) ? 0 : kUmErrStore;
}

int32_t renameUser(uint32_t id, const std::string &newName) {
    if (int32_t f = checkFault("um.renameUser")) return f;
    if (!validName(newName)) return kUmErrBadArgument;
    StoreLock lock(storeFile());
    IniDocument doc;
    if (!load(doc)) return kUmErrStore;
    if (!userOf(doc, id)) return kUmErrUserNotFound;
    if (nameTaken(doc, newName, id)) return kUmErrNameExists;
    doc.set(sectionOf(id), "Name", newName);
    return save(doc) ? 0 : kUmErrStore;
}

int32_t getPermanentAction(uint32_t id, uint32_t creator, int32_t &action) {
    if (int32_t f = checkFault("um.getPermanentAction")) return f;
    return getAction("Perm", id, creator, action);
}
int32_t setPermanentAction(uint32_t id, uint32_t creator, int32_t action) {
    if (int32_t f = checkFault("um.setPermanentAction")) return f;
    return setAction("Perm", id, creator, action);
}
int32_t deletePermanentAction(uint32_t id, uint32_t creator) {
    if (int32_t f = checkFault("um.deletePermanentAction")) return f;
    return setAction("Perm", id, creator, std::nullopt);
}
int32_t getTemporaryAction(uint32_t id, uint32_t creator, int32_t &action) {
    if (int32_t f = checkFault("um.getTemporaryAction")) return f;
    return getAction("Temp", id, creator, action);
}
int32_t setTemporaryAction(uint32_t id, uint32_t creator, int32_t action) {
    if (int32_t f = checkFault("um.setTemporaryAction")) return f;
    return setAction("Temp", id, creator, action);
}
int32_t removeTemporaryAction(uint32_t id, uint32_t creator) {
    if (int32_t f = checkFault("um.removeTemporaryAction")) return f;
    return setAction("Temp", id, creator, std::nullopt);
}

int32_t slots(uint32_t id, std::vector<Slot> &out) {
    IniDocument doc;
    if (!load(doc)) return kUmErrStore;
    const IniSection *u = userOf(doc, id);
    if (!u) return kUmErrUserNotFound;
    out.clear();
    for (const auto &[key, value] : u->entries) {
        if (key.rfind("Slot.", 0) != 0) continue;
        const auto ref = parseInteger(key.substr(5));
        if (ref && *ref > 0 && *ref <= 0xFFFF) out.push_back({uint32_t(*ref), value});
    }
    std::sort(out.begin(), out.end(), [](const Slot &a, const Slot &b) { return a.slotRef < b.slotRef; });
    return 0;
}

int32_t slotCount(uint32_t id, uint16_t &count) {
    if (int32_t f = checkFault("um.slotCount")) return f;
    std::vector<Slot> list;
    if (int32_t e = slots(id, list)) return e;
    count = uint16_t(list.size());
    return 0;
}

int32_t slotDisplayName(uint32_t id, uint32_t slotRef, std::string &name) {
    if (int32_t f = checkFault("um.slotDisplayName")) return f;
    std::vector<Slot> list;
    if (int32_t e = slots(id, list)) return e;
    for (const Slot &s : list)
        if (s.slotRef == slotRef) {
            name = s.displayName;
            return 0;
        }
    return kUmErrSlotNotFound;
}

int32_t setSlots(uint32_t id, const std::vector<Slot> &list) {
    for (const Slot &s : list)
        if (s.slotRef == 0 || s.slotRef > 0xFFFF || !storableText(s.displayName)) return kUmErrBadArgument;
    StoreLock lock(storeFile());
    IniDocument doc;
    if (!load(doc)) return kUmErrStore;
    if (!userOf(doc, id)) return kUmErrUserNotFound;
    IniSection *u = doc.section(sectionOf(id));
    auto &entries = u->entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const auto &e) { return e.first.rfind("Slot.", 0) == 0; }),
                  entries.end());
    for (const Slot &s : list) u->set("Slot." + std::to_string(s.slotRef), s.displayName);
    return save(doc) ? 0 : kUmErrStore;
}

}  // namespace palm::users
