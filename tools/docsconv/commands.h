// The subcommands of docsconv. Each is one row of the table in commands.cpp:
// a new subcommand is a function with this signature and a row.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace docsconv {

// Runs a subcommand with the arguments after its name; returns the exit code.
// Results go to out, messages to err.
using CommandFunction = int (*)(const std::vector<std::string> &args, std::FILE *out, std::FILE *err);

struct Command {
    const char *name;
    const char *arguments;  // for the usage text, e.g. "FILE.mwd"
    const char *summary;
    CommandFunction run;
};

const std::vector<Command> &commands();

int runText(const std::vector<std::string> &args, std::FILE *out, std::FILE *err);
int runDump(const std::vector<std::string> &args, std::FILE *out, std::FILE *err);
int runWord2Docs(const std::vector<std::string> &args, std::FILE *out, std::FILE *err);
int runDocs2Word(const std::vector<std::string> &args, std::FILE *out, std::FILE *err);

}  // namespace docsconv
