// docsconv docs2word: converts a Tarvoc Docs file into a Word 97 document.
// On failure the conversion's message goes to the error output.
#include "commands.h"

#include "conversion_results.h"
#include "docs_to_word.h"

namespace docsconv {

int runDocs2Word(const std::vector<std::string> &args, std::FILE *out, std::FILE *err) {
    (void)out;
    if (args.size() != 2) {
        std::fprintf(err, "usage: docsconv docs2word IN.mwd OUT.doc\n");
        return 1;
    }
    uint32_t result = conv::convertDocsToWord(args[0], args[1]);
    if (result == 0) return 0;
    if (result == conv::kResultCannotOpenSource)
        std::fprintf(err, "docsconv: cannot open %s\n", args[0].c_str());
    else if (result == conv::kResultCannotCreateDestination)
        std::fprintf(err, "docsconv: cannot create %s\n", args[1].c_str());
    else
        std::fprintf(err, "%s\n", conv::resultText(result));
    return 1;
}

}  // namespace docsconv
