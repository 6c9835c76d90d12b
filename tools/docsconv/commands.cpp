#include "commands.h"

namespace docsconv {

const std::vector<Command> &commands() {
    static const std::vector<Command> table = {
        {"text", "FILE.mwd", "print the document's text, one line per paragraph", runText},
        {"dump", "FILE.mwd", "print every record with its offset and fields", runDump},
    };
    return table;
}

}  // namespace docsconv
