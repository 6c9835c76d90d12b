// papyrine: the desktop program's file lists from the command line, for
// people and scripts. Lists the Palm users, lists a user's files, adds files
// to handheld RAM or a memory card, changes an entry's handheld format,
// removes entries and reports the state of the installation.
#include "commands.h"

#include <cstdio>
#include <map>
#include <string>

namespace {

const char kUsage[] =
    "usage:\n"
    "  papyrine users                                     list the Palm users (* = the default one)\n"
    "  papyrine list [--user NAME] [--card CARD] [--ids]  list a user's files\n"
    "  papyrine add [--user NAME] [--card CARD] [--handheld-format FORMAT]\n"
    "               [--on-name-clash accept|cancel|ask] FILE...\n"
    "                                                     add files to handheld RAM or a memory card\n"
    "  papyrine set-format [--user NAME] [--on-name-clash accept|cancel|ask] ENTRY FORMAT\n"
    "                                                     convert a listed file to another handheld format\n"
    "  papyrine remove [--user NAME] ENTRY...             remove listed files\n"
    "  papyrine status [--user NAME]                      the installation, plug-ins and databases\n"
    "ENTRY is a handheld name, a desktop path or a record id {...} (list --ids shows them).\n"
    "FORMAT is a format id or name (\"Tarvoc Docs\" or 6). CARD is a card or slot name.\n"
    "Exit status: 0 done, 1 failed, 2 usage error.\n";

int usage(const std::string &problem) {
    if (!problem.empty()) std::fprintf(stderr, "papyrine: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    return papyrine::kExitUsage;
}

}  // namespace

int main(int argc, char **argv) {
    using namespace papyrine;
    const std::map<std::string, std::map<std::string, bool>> commands = {
        {"users", {}},
        {"list", {{"--user", true}, {"--card", true}, {"--ids", false}}},
        {"add", {{"--user", true}, {"--card", true}, {"--handheld-format", true}, {"--on-name-clash", true}}},
        {"set-format", {{"--user", true}, {"--on-name-clash", true}}},
        {"remove", {{"--user", true}}},
        {"status", {{"--user", true}}},
    };
    if (argc < 2) return usage("");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    const auto known = commands.find(command);
    if (known == commands.end()) return usage("unknown command \"" + command + "\"");
    Arguments args;
    std::string error;
    if (!parseArguments(argc, argv, known->second, args, error)) return usage(error);

    Session session;
    if (command == "users" && !args.operands.empty()) return usage("users takes no arguments");
    if (command == "status" && !args.operands.empty()) return usage("status takes no arguments");
    if (!session.open(command != "users" && command != "status")) return kExitFailed;
    if (command == "users") return usersCommand(session);
    if (command == "list") return listCommand(session, args);
    if (command == "add") return addCommand(session, args);
    if (command == "set-format") return setFormatCommand(session, args);
    if (command == "remove") return removeCommand(session, args);
    return statusCommand(session, args);
}
