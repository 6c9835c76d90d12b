#include "commands.h"

#include "desktop_text.h"
#include "entry_edits.h"
#include "guid.h"
#include "handheld_names.h"
#include "home.h"
#include "card_records.h"
#include "plugin_host.h"
#include "status_codes.h"

#include <iostream>
#include <set>

namespace papyrine {

using namespace desktop;

namespace {

// Answers the "Incorrect File Name" question as the command line was told:
// take the proposed name, refuse it, or ask on the terminal.
class CommandLineNameQuestion : public FileNameQuestion {
public:
    enum class Mode { Accept, Cancel, Ask };
    explicit CommandLineNameQuestion(Mode mode) : mode_(mode) {}

    std::optional<std::string> askFileName(const std::string &proposed) override {
        if (mode_ == Mode::Cancel) return std::nullopt;
        if (mode_ == Mode::Accept) {
            if (!validHandheldName(proposed, kMaxRamNameLength)) return std::nullopt;
            std::printf("The proposed handheld name is taken or too long; \"%s\" is used instead.\n",
                        proposed.c_str());
            return proposed;
        }
        std::fprintf(stderr, "A file with this name already exists or the file name exceeds the limit of 31 "
                             "symbols for the Palm device.\nPlease change the file name.\n");
        std::fprintf(stderr, "Name on the handheld [%s] (end of input cancels): ", proposed.c_str());
        std::string line;
        if (!std::getline(std::cin, line)) return std::nullopt;
        return line.empty() ? proposed : line;
    }

private:
    Mode mode_;
};

std::optional<CommandLineNameQuestion::Mode> nameMode(const Arguments &a) {
    const std::string *mode = a.option("--on-name-clash");
    if (!mode || *mode == "accept") return CommandLineNameQuestion::Mode::Accept;
    if (*mode == "cancel") return CommandLineNameQuestion::Mode::Cancel;
    if (*mode == "ask") return CommandLineNameQuestion::Mode::Ask;
    report("--on-name-clash takes accept, cancel or ask");
    return std::nullopt;
}

const char *statusShortText(int32_t status) { return qv::fileStatusShortText(status); }

}  // namespace

int usersCommand(Session &s) {
    TQVUserManager &users = s.data().palmUsers();
    const auto list = users.users();
    if (list.empty()) {
        std::printf("There is no Palm user. Add one with \"hotsync user add NAME\".\n");
        return kExitOk;
    }
    const auto chosen = s.data().defaultUser();
    std::printf("User\tID\tFolder\n");
    for (const PalmUser &u : list) {
        const auto folder = users.userDirectory(u.id);
        std::printf("%s%s\t%u\t%s\n", u.name.c_str(), chosen && *chosen == u.id ? " *" : "", u.id,
                    folder ? folder->c_str() : "(unknown)");
    }
    return kExitOk;
}

int listCommand(Session &s, const Arguments &a) {
    if (!a.operands.empty()) {
        report("list takes no file names");
        return kExitUsage;
    }
    if (!s.selectUser(a)) return kExitFailed;
    const TQVCard *card = nullptr;
    if (const std::string *c = a.option("--card"); c && !(card = s.findCard(*c))) return kExitFailed;
    TQVFileDatabase &files = s.data().files();
    const bool ids = a.option("--ids") != nullptr;
    std::printf("%sName\tLocation\tFormat\tStatus\tDesktop path\n", ids ? "Record id\t" : "");
    size_t shown = 0;
    for (size_t i = 0; i < files.count(); ++i) {
        const TQVDBRecord &e = files.at(i);
        const qv::SyncFileRecord &r = e.record;
        if (r.removed == 1) continue;
        if (card && (r.locationKind != card->kind || r.locationId != card->identity)) continue;
        if (ids) std::printf("%s\t", platform::formatGuid(r.recordId).c_str());
        std::printf("%s\t%s\t%s\t%s\t%s\n", r.handheldName.c_str(), s.locationText(r).c_str(),
                    s.formatName(r, int32_t(r.handheldFormat)).c_str(), statusShortText(displayStatus(e)),
                    r.desktopPath.c_str());
        ++shown;
    }
    std::printf("%zu file(s)\n", shown);
    return kExitOk;
}

int addCommand(Session &s, const Arguments &a) {
    if (a.operands.empty()) {
        report("add needs at least one file");
        return kExitUsage;
    }
    const auto mode = nameMode(a);
    if (!mode) return kExitUsage;
    if (!s.selectUser(a)) return kExitFailed;
    AddTarget target = AddTarget::ram();
    if (const std::string *c = a.option("--card")) {
        const TQVCard *card = s.findCard(*c);
        if (!card) return kExitFailed;
        target = AddTarget::of(*card);
    }
    CommandLineNameQuestion question(*mode);
    FileAdder adder(s.plugins(), s.data().files(), s.data().settings(), &question);
    // Formats refused, with what the plug-in offers instead.
    std::map<int32_t, std::string> refused;
    if (const std::string *wanted = a.option("--handheld-format")) {
        adder.setHandheldFormatChooser([&, wanted](const TQVPlugin &plugin, int32_t desktopFormat) {
            const auto choices = plugin.handheldFormatChoices(desktopFormat);
            const auto picked = pickFormat(choices, *wanted);
            if (!picked)
                refused[desktopFormat] = "Handheld formats offered for " +
                                         s.plugins().formatName(plugin.pluginId(), desktopFormat) + " files: " +
                                         choicesText(choices);
            return picked;
        });
    }
    std::vector<std::string> paths;
    for (const std::string &f : a.operands) paths.push_back(absolutePath(f));
    const AddReport result = adder.addFiles(target, paths);
    for (const TQVDBRecord *e : result.added)
        std::printf("Added %s as \"%s\" (%s, %s).\n", e->record.desktopPath.c_str(), e->record.handheldName.c_str(),
                    s.locationText(e->record).c_str(), s.formatName(e->record, int32_t(e->record.handheldFormat)).c_str());
    if (!result.failures.empty()) {
        std::fprintf(stderr, "%s\n", kAddFailuresHeading);
        for (const AddFailure &f : result.failures)
            std::fprintf(stderr, "  %s\t%s\n", f.fileName.c_str(), addResultText(f.code));
        for (const auto &[format, text] : refused) std::fprintf(stderr, "%s\n", text.c_str());
    }
    if (result.stopped) report("adding stopped: every numbered handheld name up to (9999) is taken");
    return result.failures.empty() && !result.stopped ? kExitOk : kExitFailed;
}

int setFormatCommand(Session &s, const Arguments &a) {
    if (a.operands.size() != 2) {
        report("set-format needs a listed file and a handheld format");
        return kExitUsage;
    }
    const auto mode = nameMode(a);
    if (!mode) return kExitUsage;
    if (!s.selectUser(a)) return kExitFailed;
    TQVDBRecord *entry = s.findEntry(a.operands[0]);
    if (!entry) return kExitFailed;
    if (entry->synchronized()) {
        report(kAlreadySynchronizedText);
        return kExitFailed;
    }
    const TQVPlugin *plugin = s.plugins().pluginById(int32_t(entry->record.pluginId));
    const auto choices = plugin ? plugin->handheldFormatChoices(int32_t(entry->record.desktopFormat))
                                : std::vector<FormatChoice>{};
    const auto format = pickFormat(choices, a.operands[1]);
    if (!format) {
        report("\"" + a.operands[1] + "\" is not a handheld format offered for this file; offered: " +
               choicesText(choices));
        return kExitFailed;
    }
    CommandLineNameQuestion question(*mode);
    FileAdder adder(s.plugins(), s.data().files(), s.data().settings(), &question);
    if (!changeHandheldFormat(s.data().files(), adder, *entry, *format)) {
        report(kCannotChangeFormat);
        return kExitFailed;
    }
    std::printf("\"%s\" goes to the handheld as %s.\n", entry->record.handheldName.c_str(),
                s.formatName(entry->record, *format).c_str());
    return kExitOk;
}

int removeCommand(Session &s, const Arguments &a) {
    if (a.operands.empty()) {
        report("remove needs at least one listed file");
        return kExitUsage;
    }
    if (!s.selectUser(a)) return kExitFailed;
    int status = kExitOk;
    for (const std::string &text : a.operands) {
        TQVDBRecord *entry = s.findEntry(text);
        if (!entry) {
            status = kExitFailed;
            continue;
        }
        const std::string name = entry->record.handheldName;
        int32_t result = 0;
        switch (removeEntry(s.data().files(), *entry, result)) {
        case RemoveOutcome::Deleted:
            std::printf("Removed \"%s\".\n", name.c_str());
            break;
        case RemoveOutcome::MarkedRemoved:
            std::printf("Removed \"%s\"; the next HotSync removes it from the handheld.\n", name.c_str());
            break;
        case RemoveOutcome::MarkNotStored:
        case RemoveOutcome::Failed:
            report("cannot remove \"" + name + "\": " +
                   (result == kDatabaseUnavailable ? std::string(addResultText(kAddDatabaseError))
                                                   : std::string(qv::statusText(result) ? qv::statusText(result)
                                                                                        : "error") +
                                                         " (" + std::to_string(result) + ")"));
            status = kExitFailed;
            break;
        }
    }
    return status;
}

int statusCommand(Session &s, const Arguments &a) {
    DesktopData &d = s.data();
    int status = kExitOk;
    std::printf("Machine folder: %s\n", platform::machineFolder().c_str());
    std::printf("HotSync folder: %s\n", d.palmUsers().hotSyncDirectory().c_str());
    const TQVPluginsList *plugins = d.plugins();
    std::printf("Plug-ins: %zu\n", plugins ? plugins->size() : size_t(0));
    if (plugins) {
        for (size_t i = 0; i < plugins->size(); ++i)
            std::printf("  %s (ID %d) %s\n", plugins->at(i).name().c_str(), plugins->at(i).pluginId(),
                        plugins->at(i).path().c_str());
        for (const std::string &e : plugins->loadErrors()) std::printf("  refused: %s\n", e.c_str());
    }
    if (!plugins || plugins->empty()) status = kExitFailed;
    const DesktopSettings &settings = d.settings();
    std::printf("Settings: %s: PalmSyncType=%d CardSyncType=%d DefCardDir=%s\n", desktopSettingsPath().c_str(),
                settings.palmSyncType, settings.cardSyncType, settings.defCardDir.c_str());
    const auto users = d.palmUsers().users();
    std::printf("Palm users: %zu\n", users.size());
    if (users.empty() || !plugins || plugins->empty()) return status;
    if (!s.selectUser(a)) return kExitFailed;
    std::printf("User: %s (ID %u) %s\n", s.userName().c_str(), s.userId(), d.userDirectory().c_str());
    TQVFileDatabase &files = d.files();
    std::printf("Record database library: %s%s\n",
                files.libraryPath().empty() ? TQVFileDatabase::locateLibrary().c_str() : files.libraryPath().c_str(),
                files.active() ? "" : (" (not loaded: " + files.problem() + ")").c_str());
    for (size_t i = 0; i < files.paths().size(); ++i) {
        size_t n = 0;
        for (size_t k = 0; k < files.count(); ++k)
            if (files.at(k).databaseIndex == int32_t(i) && files.at(k).record.removed != 1) ++n;
        std::printf("  %s: %zu file(s)", files.paths()[i].empty() ? "(no database)" : files.paths()[i].c_str(), n);
        if (!files.loadProblems()[i].empty()) {
            std::printf(" (%s)", files.loadProblems()[i].c_str());
            status = kExitFailed;
        }
        std::printf("\n");
    }
    if (!files.active()) status = kExitFailed;
    if (const auto &cards = d.cards())
        for (const TQVCard &c : cards->cards())
            std::printf("  %s \"%s\" %s%s\n", c.kind == qv::kCardSlot ? "Slot" : "Card", c.name.c_str(),
                        platform::formatGuid(c.identity).c_str(),
                        c.kind == qv::kCardMemoryCard && !c.present ? " (not found during last HotSync)" : "");
    if (d.handheldFreeMemory() != kNoMemoryValue)
        std::printf("Free handheld memory after the last HotSync: %u bytes\n", d.handheldFreeMemory());
    return status;
}

}  // namespace papyrine
