#include "launcher_store.h"

#include "faults.h"
#include "home.h"
#include "ini_store.h"

namespace palm::launcher {

namespace fs = std::filesystem;

namespace {

fs::path storeFile() { return platform::hotSyncRoot() / "launcher.ini"; }

std::string sectionOf(const std::string &name) { return "Entry " + name; }

Entry entryOf(const IniSection &s) {
    Entry e;
    e.name = s.name.substr(6);
    auto get = [&](const char *key) { return s.find(key) ? *s.find(key) : std::string(); };
    e.id = uint32_t(parseInteger(get("Id")).value_or(0));
    e.program = get("Program");
    e.shortName = get("ShortName");
    e.longName = get("LongName");
    e.largeColorPicture = get("LargeColorPicture");
    e.largeGrayPicture = get("LargeGrayPicture");
    e.smallColorPicture = get("SmallColorPicture");
    e.smallGrayPicture = get("SmallGrayPicture");
    e.arguments = get("Arguments");
    return e;
}

bool load(IniDocument &doc) {
    std::string error;
    return loadIni(storeFile(), doc, error);
}

}  // namespace

int32_t createManager() {
    if (int32_t f = checkFault("launcher.createManager")) return f;
    IniDocument doc;
    return load(doc) ? kLauncherOk : kLauncherStoreFailed;
}

int32_t findEntry(const std::string &name, Entry &entry) {
    if (int32_t f = checkFault("launcher.find")) return f;
    IniDocument doc;
    if (!load(doc)) return kLauncherStoreFailed;
    const IniSection *s = doc.section(sectionOf(name));
    if (!s) return kLauncherNotFound;
    entry = entryOf(*s);
    return kLauncherOk;
}

int32_t createEntry(const std::string &name, uint32_t id, const std::string &program, Entry &entry) {
    if (int32_t f = checkFault("launcher.createEntry")) return f;
    if (name.empty() || !storableText(name) || !storableText(program)) return kLauncherBadArgument;
    entry = Entry();
    entry.name = name;
    entry.id = id;
    entry.program = program;
    entry.shortName = entry.longName = name;
    return kLauncherOk;
}

int32_t saveEntry(const Entry &e) {
    if (int32_t f = checkFault("launcher.save")) return f;
    for (const std::string *text : {&e.name, &e.program, &e.shortName, &e.longName, &e.largeColorPicture,
                                    &e.largeGrayPicture, &e.smallColorPicture, &e.smallGrayPicture, &e.arguments})
        if (!storableText(*text)) return kLauncherBadArgument;
    if (e.name.empty()) return kLauncherBadArgument;
    StoreLock lock(storeFile());
    IniDocument doc;
    if (!load(doc)) return kLauncherStoreFailed;
    doc.removeSection(sectionOf(e.name));
    IniSection &s = doc.sectionOrNew(sectionOf(e.name));
    s.set("Id", std::to_string(e.id));
    s.set("Program", e.program);
    s.set("ShortName", e.shortName);
    s.set("LongName", e.longName);
    s.set("LargeColorPicture", e.largeColorPicture);
    s.set("LargeGrayPicture", e.largeGrayPicture);
    s.set("SmallColorPicture", e.smallColorPicture);
    s.set("SmallGrayPicture", e.smallGrayPicture);
    s.set("Arguments", e.arguments);
    std::string error;
    return saveIni(storeFile(), doc, error) ? kLauncherOk : kLauncherStoreFailed;
}

int32_t deleteEntry(const std::string &name) {
    if (int32_t f = checkFault("launcher.remove")) return f;
    StoreLock lock(storeFile());
    IniDocument doc;
    if (!load(doc)) return kLauncherStoreFailed;
    if (!doc.removeSection(sectionOf(name))) return kLauncherNotFound;
    std::string error;
    return saveIni(storeFile(), doc, error) ? kLauncherOk : kLauncherStoreFailed;
}

std::vector<Entry> listEntries() {
    std::vector<Entry> out;
    IniDocument doc;
    if (!load(doc)) return out;
    for (const IniSection &s : doc.sections())
        if (s.name.rfind("Entry ", 0) == 0) out.push_back(entryOf(s));
    return out;
}

}  // namespace palm::launcher
