#include "command_session.h"

#include "desktop_text.h"
#include "guid.h"
#include "home.h"
#include "card_records.h"
#include "plugin_host.h"

#include <filesystem>

namespace papyrine {

using namespace desktop;

const std::string *Arguments::option(const std::string &name) const {
    auto it = options.find(name);
    return it == options.end() ? nullptr : &it->second;
}

bool parseArguments(int argc, char **argv, const std::map<std::string, bool> &known, Arguments &out,
                    std::string &error) {
    out = Arguments{};
    if (argc < 2) {
        error = "no command given";
        return false;
    }
    out.command = argv[1];
    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            if (arg == "--") {
                optionsEnded = true;
                continue;
            }
            out.operands.push_back(arg);
            continue;
        }
        std::string name = arg, value;
        bool hasValue = false;
        if (const size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        auto it = known.find(name);
        if (it == known.end()) {
            error = "unknown option " + name + " for \"" + out.command + "\"";
            return false;
        }
        if (it->second && !hasValue) {
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!it->second && hasValue) {
            error = name + " takes no value";
            return false;
        }
        out.options[name] = value;
    }
    return true;
}

void report(const std::string &message) { std::fprintf(stderr, "papyrine: %s\n", message.c_str()); }

bool Session::open(bool needPlugins) {
    data_ = std::make_unique<DesktopData>();
    if (!data_->palmUsers().active()) {
        report(std::string(kBadHotSyncInstallation) + " (" + data_->palmUsers().problem() + ")");
        return false;
    }
    if (!data_->settingsProblem().empty()) report("warning: " + data_->settingsProblem() + "; using the defaults");
    if (needPlugins && (!data_->plugins() || data_->plugins()->empty())) {
        std::string why = "no document plug-in is registered";
        if (data_->plugins())
            for (const std::string &e : data_->plugins()->loadErrors()) why += "; " + e;
        report("The installation of Tarvoc Papyrine is incomplete or damaged. Please reinstall the application. (" +
               why + ")");
        return false;
    }
    return true;
}

bool Session::selectUser(const Arguments &args) {
    TQVUserManager &users = data_->palmUsers();
    if (const std::string *name = args.option("--user")) {
        const auto id = users.idFromName(*name);
        if (!id) {
            report("there is no Palm user named \"" + *name + "\"");
            return false;
        }
        userId_ = *id;
    } else if (const auto id = data_->defaultUser()) {
        userId_ = *id;
    } else {
        report("there is no Palm user; add one with \"hotsync user add NAME\"");
        return false;
    }
    for (const PalmUser &u : users.users())
        if (u.id == userId_) userName_ = u.name;
    std::string problem;
    if (!data_->selectUser(userId_, problem)) {
        report(problem);
        return false;
    }
    return true;
}

std::vector<TQVDBRecord *> Session::findEntries(const std::string &text) {
    TQVFileDatabase &files = data_->files();
    std::vector<TQVDBRecord *> found;
    auto collect = [&](auto matches) {
        for (size_t i = 0; i < files.count(); ++i) {
            TQVDBRecord &e = files.at(i);
            if (e.record.removed != 1 && matches(e.record)) found.push_back(&e);
        }
    };
    if (const auto id = platform::parseGuid(text)) {
        collect([&](const qv::SyncFileRecord &r) { return r.recordId == *id; });
        return found;
    }
    const std::string path = absolutePath(text);
    collect([&](const qv::SyncFileRecord &r) { return sameText(r.desktopPath, path); });
    if (found.empty()) collect([&](const qv::SyncFileRecord &r) { return sameText(r.handheldName, text); });
    return found;
}

TQVDBRecord *Session::findEntry(const std::string &text) {
    const auto found = findEntries(text);
    if (found.size() == 1) return found.front();
    if (found.empty()) {
        report("no listed file is called \"" + text + "\" (give its handheld name, desktop path or record id)");
        return nullptr;
    }
    std::string which;
    for (const TQVDBRecord *e : found)
        which += "\n  " + platform::formatGuid(e->record.recordId) + "  " + locationText(e->record) + "  " +
                 e->record.desktopPath;
    report("\"" + text + "\" names several files; give one of their record ids:" + which);
    return nullptr;
}

const TQVCard *Session::findCard(const std::string &text) {
    const auto &cards = data_->cards();
    std::vector<const TQVCard *> found;
    const auto id = platform::parseGuid(text);
    if (cards)
        for (const TQVCard &c : cards->cards())
            if ((id && c.identity == *id) || sameText(c.name, text)) found.push_back(&c);
    if (found.size() == 1) return found.front();
    std::string known;
    if (cards)
        for (const TQVCard &c : cards->cards())
            known += std::string(known.empty() ? "" : ", ") + "\"" + c.name + "\"" +
                     (c.kind == qv::kCardSlot ? " (slot)" : "");
    if (found.empty())
        report("the handheld of " + userName_ + " has no memory card or slot \"" + text + "\"" +
               (known.empty() ? " (none is known yet: run a HotSync first)" : "; known: " + known));
    else
        report("\"" + text + "\" names several cards; give its identity {...}");
    return nullptr;
}

std::string Session::locationText(const qv::SyncFileRecord &r) const {
    if (r.locationKind == qv::kLocationRam) return "Palm Device";
    const auto &cards = data_->cards();
    const TQVCard *card = cards ? cards->find(r.locationKind, r.locationId) : nullptr;
    std::string name = card ? card->name
                            : r.locationKind == qv::kLocationSlot
                                  ? "Slot " + std::to_string(qv::slotOfLocationId(r.locationId))
                                  : "Unknown card " + platform::formatGuid(r.locationId);
    return name + ":" + r.cardFolder;
}

std::string Session::formatName(const qv::SyncFileRecord &r, int32_t formatId) const {
    return plugins().formatName(int32_t(r.pluginId), formatId);
}

std::optional<int32_t> pickFormat(const std::vector<FormatChoice> &choices, const std::string &text) {
    for (const FormatChoice &c : choices)
        if (std::to_string(c.id) == text || sameText(c.name, text)) return c.id;
    return std::nullopt;
}

std::string choicesText(const std::vector<FormatChoice> &choices) {
    std::string text;
    for (const FormatChoice &c : choices)
        text += std::string(text.empty() ? "" : ", ") + c.name + " (" + std::to_string(c.id) + ")";
    return text.empty() ? "none" : text;
}

std::string absolutePath(const std::string &path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

}  // namespace papyrine
