#include "conduit_manager.h"

#include "faults.h"
#include "home.h"
#include "ini_store.h"

#include <algorithm>
#include <cstdio>

namespace palm::conduits {

namespace fs = std::filesystem;

namespace {

fs::path storeFile() { return platform::hotSyncRoot() / "conduits.ini"; }

std::string sectionOf(uint32_t creator) {
    char name[32];
    std::snprintf(name, sizeof name, "Conduit %08X", creator);
    return name;
}

std::optional<Conduit> conduitOf(const IniSection &s) {
    if (s.name.rfind("Conduit ", 0) != 0) return std::nullopt;
    const auto creator = parseInteger("0x" + s.name.substr(8));
    const auto type = parseInteger(s.find("Type") ? *s.find("Type") : "");
    if (!creator || *creator < 0 || *creator > 0xFFFFFFFFLL || !type) return std::nullopt;
    Conduit c;
    c.creator = uint32_t(*creator);
    c.type = int32_t(*type);
    if (const std::string *v = s.find("Library")) c.library = *v;
    if (const std::string *v = s.find("Directory")) c.directory = *v;
    if (const std::string *v = s.find("Title")) c.title = *v;
    return c;
}

int32_t setField(uint32_t creator, const char *key, const std::string &value) {
    if (!storableText(value)) return kCondErrBadArgument;
    StoreLock lock(storeFile());
    IniDocument doc;
    std::string error;
    if (!loadIni(storeFile(), doc, error)) return kCondErrStore;
    IniSection *s = doc.section(sectionOf(creator));
    if (!s) return kCondErrNotFound;
    s->set(key, value);
    return saveIni(storeFile(), doc, error) ? 0 : kCondErrStore;
}

}  // namespace

int32_t install(uint32_t creator, int32_t type) {
    if (int32_t f = checkFault("cm.install")) return f;
    if (creator == 0) return kCondErrBadArgument;
    StoreLock lock(storeFile());
    IniDocument doc;
    std::string error;
    if (!loadIni(storeFile(), doc, error)) return kCondErrStore;
    if (doc.section(sectionOf(creator))) return kCondErrCreatorInUse;
    doc.set(sectionOf(creator), "Type", std::to_string(type));
    return saveIni(storeFile(), doc, error) ? 0 : kCondErrStore;
}

int32_t setLibrary(uint32_t creator, const std::string &library) {
    if (int32_t f = checkFault("cm.setLibrary")) return f;
    return setField(creator, "Library", library);
}

int32_t setDirectory(uint32_t creator, const std::string &directory) {
    if (int32_t f = checkFault("cm.setDirectory")) return f;
    return setField(creator, "Directory", directory);
}

int32_t setTitle(uint32_t creator, const std::string &title) {
    if (int32_t f = checkFault("cm.setTitle")) return f;
    return setField(creator, "Title", title);
}

int32_t remove(uint32_t creator) {
    if (int32_t f = checkFault("cm.remove")) return f;
    StoreLock lock(storeFile());
    IniDocument doc;
    std::string error;
    if (!loadIni(storeFile(), doc, error)) return kCondErrStore;
    if (!doc.removeSection(sectionOf(creator))) return 0;
    return saveIni(storeFile(), doc, error) ? 1 : kCondErrStore;
}

int32_t find(uint32_t creator, Conduit &conduit) {
    IniDocument doc;
    std::string error;
    if (!loadIni(storeFile(), doc, error)) return kCondErrStore;
    const IniSection *s = doc.section(sectionOf(creator));
    const auto c = s ? conduitOf(*s) : std::nullopt;
    if (!c) return kCondErrNotFound;
    conduit = *c;
    return 0;
}

std::string storeProblem() {
    IniDocument doc;
    std::string error;
    return loadIni(storeFile(), doc, error) ? std::string() : error;
}

std::vector<Conduit> list() {
    std::vector<Conduit> out;
    IniDocument doc;
    std::string error;
    if (!loadIni(storeFile(), doc, error)) return out;
    for (const IniSection &s : doc.sections())
        if (auto c = conduitOf(s)) out.push_back(*c);
    std::sort(out.begin(), out.end(), [](const Conduit &a, const Conduit &b) { return a.creator < b.creator; });
    return out;
}

}  // namespace palm::conduits
