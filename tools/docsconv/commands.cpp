#include "commands.h"

namespace docsconv {

const std::vector<Command> &commands() {
    static const std::vector<Command> table = {
        {"text", "FILE.mwd", "print the document's text, one line per paragraph", runText},
        {"dump", "FILE.mwd", "print every record with its offset and fields", runDump},
        {"word2docs", "IN.doc OUT.mwd", "convert a Word 97 document into a Docs file", runWord2Docs},
        {"docs2word", "IN.mwd OUT.doc", "convert a Docs file into a Word 97 document", runDocs2Word},
    };
    return table;
}

}  // namespace docsconv
