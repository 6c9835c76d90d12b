// palmdevice: inspects and changes an emulated handheld the way the handheld
// and its applications would: creates a handheld for a user, lists, dumps,
// exports and imports RAM databases, inserts, removes, labels and
// write-protects cards, sets injected faults, and works on the suite's
// documents and file lists. Results go to stdout, errors to stderr with a
// non-zero exit status.
#include "documents.h"

#include "card_files.h"
#include "card_fs.h"
#include "connection.h"
#include "faults.h"
#include "handheld.h"
#include "ini_store.h"
#include "palm_errors.h"
#include "pdb_file.h"
#include "sync_manager.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace palm;
using namespace palmdevice;

namespace {

const char kUsage[] =
    "usage: palmdevice <command> <handheld> ...\n"
    "  create <hh> --user NAME [--ram BYTES] [--slots N]\n"
    "  info <hh>                              user, memory, slots and cards\n"
    "  set-user <hh> <name>\n"
    "  list <hh>                              RAM databases\n"
    "  dump <hh> <database> [--full]          header, blocks and records\n"
    "  export <hh> <database> <file.pdb>\n"
    "  import <hh> <file.pdb> [--replace]\n"
    "  delete <hh> <database>\n"
    "  card-insert <hh> <slot> [--label L] [--capacity BYTES]\n"
    "  card-remove <hh> <slot>\n"
    "  card-label <hh> <slot> <label>\n"
    "  card-protect <hh> <slot> on|off\n"
    "  card-ls <hh> <slot> [folder]\n"
    "  card-put <hh> <slot> <file> <card path>\n"
    "  card-get <hh> <slot> <card path> <file>\n"
    "  card-rm <hh> <slot> <card path>\n"
    "  fault <hh> add \"<operation> <error> [once|from] [N]\" | clear | list\n"
    "  docs <hh> <location>                   the file list (location: ram or card:<slot>:<folder>)\n"
    "  doc-new <hh> <location> <name> <file> [--container auto|stream|docs|slides|pdb]\n"
    "          [--type T] [--creator C] [--category N] [--mode 0|1]\n"
    "  doc-edit <hh> <location> <name> <file> [--container ...]   new bytes, raised stamp\n"
    "  doc-get <hh> <location> <name> <file> [--container ...]\n"
    "  doc-delete <hh> <location> <name> [--remove] [--attribute]\n"
    "  doc-flags <hh> <location> <name> <flags>\n"
    "  (document and list commands take --list NAME and --paths NAME)\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int fail(const std::string &message) {
    std::fprintf(stderr, "palmdevice: %s\n", message.c_str());
    return 1;
}

int failCode(const std::string &what, int32_t code) {
    std::fprintf(stderr, "palmdevice: %s: %s (%d)\n", what.c_str(), errorText(code), code);
    return 1;
}

// Positional arguments and --options of one command line.
struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    bool has(const std::string &o) const { return options.count(o) != 0; }
};

bool parseArgs(const std::vector<std::string> &raw, Args &args) {
    static const std::vector<std::string> flags = {"--full", "--replace", "--remove", "--attribute"};
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i].rfind("--", 0) == 0) {
            if (std::find(flags.begin(), flags.end(), raw[i]) != flags.end()) {
                args.options[raw[i]] = "";
            } else if (i + 1 < raw.size()) {
                args.options[raw[i]] = raw[i + 1];
                ++i;
            } else {
                return false;
            }
        } else {
            args.positional.push_back(raw[i]);
        }
    }
    return true;
}

std::optional<uint16_t> slotArg(const std::string &text) {
    const auto n = parseInteger(text);
    if (!n || *n < 1 || *n > 0xFFFF) return std::nullopt;
    return uint16_t(*n);
}

bool connect(const std::string &name) {
    std::string error;
    suspendFaults(true);
    if (selectHandheld(name, error)) return true;
    std::fprintf(stderr, "palmdevice: %s\n", error.c_str());
    return false;
}

std::optional<Handheld> openHandheld(const std::string &name) {
    std::string error;
    auto h = Handheld::open(name, error);
    if (!h) std::fprintf(stderr, "palmdevice: %s\n", error.c_str());
    return h;
}

void printHex(const std::vector<uint8_t> &bytes, bool full) {
    const size_t shown = full ? bytes.size() : std::min<size_t>(bytes.size(), 64);
    for (size_t at = 0; at < shown; at += 16) {
        std::printf("      %06zx ", at);
        for (size_t i = at; i < at + 16 && i < shown; ++i) std::printf(" %02x", bytes[i]);
        std::printf("\n");
    }
    if (shown < bytes.size()) std::printf("      ... %zu more bytes\n", bytes.size() - shown);
}

// ---- commands ---------------------------------------------------------------

int cmdCreate(const Args &a) {
    if (a.positional.size() != 1 || !a.has("--user")) return usage();
    const auto ram = parseInteger(a.options.count("--ram") ? a.options.at("--ram") : std::to_string(kDefaultRamSize));
    const auto slots = parseInteger(a.options.count("--slots") ? a.options.at("--slots") : "1");
    if (!ram || *ram < 1024 || *ram > 0xFFFFFFFFLL || !slots || *slots < 0 || *slots > kMaxSlots) return usage();
    std::string error;
    if (!Handheld::create(a.positional[0], a.options.at("--user"), uint32_t(*ram), uint16_t(*slots), error))
        return fail(error);
    std::printf("Created handheld \"%s\" for \"%s\": %lld bytes of RAM, %lld slot(s).\n", a.positional[0].c_str(),
                a.options.at("--user").c_str(), *ram, *slots);
    return 0;
}

int cmdInfo(const Args &a) {
    if (a.positional.size() != 1) return usage();
    auto h = openHandheld(a.positional[0]);
    if (!h) return 1;
    const uint64_t used = h->usedRam();
    std::printf("Handheld: %s\nUser: %s\nRAM: %u bytes, %llu used, %llu free\n", h->name().c_str(),
                h->userName().c_str(), h->ramSize(), (unsigned long long)used,
                (unsigned long long)(used >= h->ramSize() ? 0 : h->ramSize() - used));
    int status = 0;
    for (const SlotInfo &slot : h->slots()) {
        std::string error;
        auto card = h->card(slot.slotRef, error);
        std::printf("Slot %u (%s): ", slot.slotRef, slot.displayName.c_str());
        if (!card) {
            std::printf("%s\n", error.empty() ? "never held a card" : "damaged");
            if (!error.empty()) status = fail(error);
            continue;
        }
        std::printf("card \"%s\", %u bytes, %llu used%s%s\n", card->label.c_str(), card->capacity,
                    (unsigned long long)h->cardUsedBytes(slot.slotRef), card->readOnly ? ", write-protected" : "",
                    card->mounted ? "" : ", removed");
    }
    return status;
}

int cmdSetUser(const Args &a) {
    if (a.positional.size() != 2) return usage();
    auto h = openHandheld(a.positional[0]);
    std::string error;
    if (!h) return 1;
    if (!h->setUserName(a.positional[1], error)) return fail(error);
    return 0;
}

int cmdList(const Args &a) {
    if (a.positional.size() != 1) return usage();
    auto h = openHandheld(a.positional[0]);
    if (!h) return 1;
    std::vector<std::string> problems;
    for (const DatabaseSummary &d : h->databases(problems))
        std::printf("%-31s  %s  %s  attr 0x%04X  v%u  %u records  %llu bytes\n", d.name.c_str(),
                    fourCCText(d.type).c_str(), fourCCText(d.creator).c_str(), d.attributes, d.version, d.recordCount,
                    (unsigned long long)d.fileSize);
    for (const std::string &p : problems) std::fprintf(stderr, "palmdevice: %s\n", p.c_str());
    return problems.empty() ? 0 : 1;
}

int cmdDump(const Args &a) {
    if (a.positional.size() != 2) return usage();
    auto h = openHandheld(a.positional[0]);
    if (!h) return 1;
    std::string error;
    auto db = h->loadDatabase(a.positional[1], error);
    if (!db) return fail(error);
    const bool full = a.has("--full");
    std::printf("Name: %s\nType: %s  Creator: %s\nAttributes: 0x%04X  Version: %u\n", db->name.c_str(),
                fourCCText(db->type).c_str(), fourCCText(db->creator).c_str(), db->attributes, db->version);
    std::printf("Created: %u  Modified: %u  Backed up: %u  Modification number: %u  Unique id seed: %u\n",
                db->creationDate, db->modificationDate, db->lastBackupDate, db->modificationNumber, db->uniqueIdSeed);
    if (db->appInfo) {
        std::printf("Application info: %zu bytes\n", db->appInfo->size());
        printHex(*db->appInfo, full);
    }
    if (db->sortInfo) {
        std::printf("Sort info: %zu bytes\n", db->sortInfo->size());
        printHex(*db->sortInfo, full);
    }
    if (db->isResourceDatabase()) {
        std::printf("Resources: %zu\n", db->resources.size());
        for (size_t i = 0; i < db->resources.size(); ++i) {
            const PdbResource &r = db->resources[i];
            std::printf("  %zu: %s %u, %zu bytes\n", i, fourCCText(r.type).c_str(), r.id, r.data.size());
            printHex(r.data, full);
        }
        return 0;
    }
    std::printf("Records: %zu\n", db->records.size());
    for (size_t i = 0; i < db->records.size(); ++i) {
        const PdbRecord &r = db->records[i];
        std::printf("  %zu: id %u, attributes 0x%02X, category %u, %zu bytes\n", i, r.uniqueId,
                    r.attributes & 0xF0, r.attributes & kPdbRecCategoryMask, r.data.size());
        printHex(r.data, full);
    }
    return 0;
}

int cmdExport(const Args &a) {
    if (a.positional.size() != 3) return usage();
    auto h = openHandheld(a.positional[0]);
    if (!h) return 1;
    std::string error;
    if (!h->loadDatabase(a.positional[1], error)) return fail(error);
    std::vector<uint8_t> bytes;
    if (!readWholeFile(h->databaseFile(a.positional[1]), bytes, error)) return fail(error);
    std::ofstream out(a.positional[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) return fail(a.positional[2] + ": cannot be written");
    std::printf("Exported \"%s\" to %s (%zu bytes).\n", a.positional[1].c_str(), a.positional[2].c_str(), bytes.size());
    return 0;
}

int cmdImport(const Args &a) {
    if (a.positional.size() != 2) return usage();
    auto h = openHandheld(a.positional[0]);
    if (!h) return 1;
    std::vector<uint8_t> bytes;
    std::string error, stored;
    if (!readWholeFile(a.positional[1], bytes, error)) return fail(error);
    if (!h->importDatabase(bytes, a.positional[1], a.has("--replace"), stored, error)) return fail(error);
    std::printf("Imported \"%s\" (%zu bytes).\n", stored.c_str(), bytes.size());
    return 0;
}

int cmdDelete(const Args &a) {
    if (a.positional.size() != 2) return usage();
    if (!connect(a.positional[0])) return 1;
    if (int32_t e = sync::deleteDatabase(a.positional[1], 0)) return failCode("cannot delete \"" + a.positional[1] + "\"", e);
    std::printf("Deleted \"%s\".\n", a.positional[1].c_str());
    return 0;
}

int cmdCardInsert(const Args &a) {
    if (a.positional.size() != 2) return usage();
    auto h = openHandheld(a.positional[0]);
    const auto slot = slotArg(a.positional[1]);
    if (!h || !slot) return h ? usage() : 1;
    std::optional<std::string> label;
    std::optional<uint32_t> capacity;
    if (a.has("--label")) label = a.options.at("--label");
    if (a.has("--capacity")) {
        const auto c = parseInteger(a.options.at("--capacity"));
        if (!c || *c < 0 || *c > 0xFFFFFFFFLL) return usage();
        capacity = uint32_t(*c);
    }
    std::string error;
    if (!h->insertCard(*slot, label, capacity, error)) return fail(error);
    std::printf("Inserted a card into slot %u.\n", *slot);
    return 0;
}

int changeCard(const Args &a, size_t count, const std::function<bool(CardState &, std::string &)> &change) {
    if (a.positional.size() != count) return usage();
    auto h = openHandheld(a.positional[0]);
    const auto slot = slotArg(a.positional[1]);
    if (!h || !slot) return h ? usage() : 1;
    std::string error;
    auto card = h->card(*slot, error);
    if (!card) return fail(error.empty() ? "slot " + a.positional[1] + " never held a card" : error);
    if (!change(*card, error) || !h->saveCard(*card, error)) return fail(error);
    return 0;
}

int cmdCardLs(const Args &a) {
    if (a.positional.size() != 2 && a.positional.size() != 3) return usage();
    const auto slot = slotArg(a.positional[1]);
    if (!slot) return usage();
    if (!connect(a.positional[0])) return 1;
    std::function<int(const std::string &)> list = [&](const std::string &folder) -> int {
        std::vector<std::pair<std::string, bool>> entries;
        if (int32_t e = vfs::dirList(*slot, folder, entries)) return failCode(folder, e);
        for (const auto &[name, isDir] : entries) {
            const std::string path = joinCardPath(folder, name);
            if (isDir) {
                std::printf("%s/\n", path.c_str());
                if (int r = list(path)) return r;
            } else {
                std::vector<uint8_t> bytes;
                readCardFile(*slot, path, bytes);
                std::printf("%s\t%zu\n", path.c_str(), bytes.size());
            }
        }
        return 0;
    };
    return list(a.positional.size() == 3 ? a.positional[2] : "/");
}

int cmdCardPut(const Args &a) {
    if (a.positional.size() != 4) return usage();
    const auto slot = slotArg(a.positional[1]);
    if (!slot) return usage();
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readWholeFile(a.positional[2], bytes, error)) return fail(error);
    if (!connect(a.positional[0])) return 1;
    if (int32_t e = writeCardFile(*slot, a.positional[3], bytes)) return failCode("cannot write " + a.positional[3], e);
    std::printf("Wrote %s (%zu bytes).\n", a.positional[3].c_str(), bytes.size());
    return 0;
}

int cmdCardGet(const Args &a) {
    if (a.positional.size() != 4) return usage();
    const auto slot = slotArg(a.positional[1]);
    if (!slot) return usage();
    if (!connect(a.positional[0])) return 1;
    std::vector<uint8_t> bytes;
    if (int32_t e = readCardFile(*slot, a.positional[2], bytes)) return failCode("cannot read " + a.positional[2], e);
    std::ofstream out(a.positional[3], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) return fail(a.positional[3] + ": cannot be written");
    return 0;
}

int cmdCardRm(const Args &a) {
    if (a.positional.size() != 3) return usage();
    const auto slot = slotArg(a.positional[1]);
    if (!slot) return usage();
    if (!connect(a.positional[0])) return 1;
    if (int32_t e = vfs::fileDelete(*slot, a.positional[2])) return failCode("cannot delete " + a.positional[2], e);
    return 0;
}

int cmdFault(const Args &a) {
    if (a.positional.size() < 2) return usage();
    std::string error;
    const std::string &verb = a.positional[1];
    if (verb == "add" && a.positional.size() == 3) {
        auto rule = parseFaultRule(a.positional[2], error);
        if (!rule || !addDeviceFault(a.positional[0], *rule, error)) return fail(error);
        std::printf("Fault: %s\n", faultRuleText(*rule).c_str());
        return 0;
    }
    if (verb == "clear" && a.positional.size() == 2) return clearDeviceFaults(a.positional[0], error) ? 0 : fail(error);
    if (verb == "list" && a.positional.size() == 2) {
        for (const FaultRule &r : deviceFaults(a.positional[0], error)) std::printf("%s\n", faultRuleText(r).c_str());
        return error.empty() ? 0 : fail(error);
    }
    return usage();
}

int documentCommand(const std::string &command, const Args &a) {
    if (a.positional.size() < 2) return usage();
    const auto where = parseLocation(a.positional[1]);
    if (!where) return usage();
    DocumentOptions o;
    if (a.has("--list")) o.listName = a.options.at("--list");
    if (a.has("--paths")) o.pathsFile = a.options.at("--paths");
    if (a.has("--container")) {
        const auto c = parseContainer(a.options.at("--container"));
        if (!c) return usage();
        o.container = *c;
    }
    for (const char *key : {"--type", "--creator"}) {
        if (!a.has(key)) continue;
        const auto code = parseFourCC(a.options.at(key));
        if (!code) return usage();
        (std::string(key) == "--type" ? o.type : o.creator) = *code;
    }
    if (a.has("--category")) {
        const auto n = parseInteger(a.options.at("--category"));
        if (!n || *n < 0 || *n > 255) return usage();
        o.category = uint8_t(*n);
    }
    if (a.has("--mode")) {
        const auto n = parseInteger(a.options.at("--mode"));
        if (!n || (*n != 0 && *n != 1)) return usage();
        o.syncMode = uint8_t(*n);
    }
    o.removeFile = a.has("--remove");
    o.attributeDeleted = a.has("--attribute");
    if (!connect(a.positional[0])) return 1;
    const auto &p = a.positional;
    if (command == "docs" && p.size() == 2) return listDocuments(*where, o);
    if (command == "doc-new" && p.size() == 4) return newDocument(*where, p[2], p[3], o);
    if (command == "doc-edit" && p.size() == 4) return editDocument(*where, p[2], p[3], o);
    if (command == "doc-get" && p.size() == 4) return getDocument(*where, p[2], p[3], o);
    if (command == "doc-delete" && p.size() == 3) return deleteDocument(*where, p[2], o);
    if (command == "doc-flags" && p.size() == 4) {
        const auto flags = parseInteger(p[3]);
        if (!flags || *flags < 0 || *flags > 255) return usage();
        return setDocumentFlags(*where, p[2], uint8_t(*flags), o);
    }
    return usage();
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    Args a;
    if (!parseArgs(std::vector<std::string>(argv + 2, argv + argc), a)) return usage();
    int status;
    if (command == "create") status = cmdCreate(a);
    else if (command == "info") status = cmdInfo(a);
    else if (command == "set-user") status = cmdSetUser(a);
    else if (command == "list") status = cmdList(a);
    else if (command == "dump") status = cmdDump(a);
    else if (command == "export") status = cmdExport(a);
    else if (command == "import") status = cmdImport(a);
    else if (command == "delete") status = cmdDelete(a);
    else if (command == "card-insert") status = cmdCardInsert(a);
    else if (command == "card-remove")
        status = changeCard(a, 2, [](CardState &c, std::string &error) {
            if (!c.mounted) error = "the slot holds no card";
            c.mounted = false;
            return error.empty();
        });
    else if (command == "card-label")
        status = changeCard(a, 3, [&](CardState &c, std::string &) {
            c.label = a.positional[2];
            return true;
        });
    else if (command == "card-protect") {
        if (a.positional.size() == 3 && a.positional[2] != "on" && a.positional[2] != "off") return usage();
        status = changeCard(a, 3, [&](CardState &c, std::string &) {
            c.readOnly = a.positional[2] == "on";
            return true;
        });
    } else if (command == "card-ls") status = cmdCardLs(a);
    else if (command == "card-put") status = cmdCardPut(a);
    else if (command == "card-get") status = cmdCardGet(a);
    else if (command == "card-rm") status = cmdCardRm(a);
    else if (command == "fault") status = cmdFault(a);
    else if (command == "docs" || command.rfind("doc-", 0) == 0) status = documentCommand(command, a);
    else return usage();
    deselectHandheld();
    return status;
}
