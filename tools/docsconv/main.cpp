// docsconv: command-line access to Tarvoc Docs files.
//   docsconv text FILE.mwd    the document's text
//   docsconv dump FILE.mwd    one line per record
#include "commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void printUsage(std::FILE *to) {
    std::fprintf(to, "usage: docsconv COMMAND ARGUMENTS\n");
    for (const auto &c : docsconv::commands())
        std::fprintf(to, "  docsconv %s %s\n      %s\n", c.name, c.arguments, c.summary);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 1;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printUsage(stdout);
        return 0;
    }
    for (const auto &c : docsconv::commands()) {
        if (std::strcmp(argv[1], c.name) != 0) continue;
        std::vector<std::string> args(argv + 2, argv + argc);
        return c.run(args, stdout, stderr);
    }
    std::fprintf(stderr, "docsconv: unknown command \"%s\"\n", argv[1]);
    printUsage(stderr);
    return 1;
}
