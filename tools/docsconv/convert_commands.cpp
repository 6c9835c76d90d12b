// docsconv word2docs and docs2word: convert between Word 97 documents and
// Tarvoc Docs files. On failure the conversion's message goes to the error
// output.
#include "commands.h"

#include "conversion_results.h"
#include "docs_to_word.h"
#include "word_to_docs.h"

namespace docsconv {

namespace {

using Converter = uint32_t (*)(const std::string &source, const std::string &destination);

int runConversion(const std::vector<std::string> &args, std::FILE *err, const char *usage, Converter convert) {
    if (args.size() != 2) {
        std::fprintf(err, "usage: docsconv %s\n", usage);
        return 1;
    }
    uint32_t result = convert(args[0], args[1]);
    if (result == 0) return 0;
    if (result == conv::kResultCannotOpenSource)
        std::fprintf(err, "docsconv: cannot open %s\n", args[0].c_str());
    else if (result == conv::kResultCannotCreateDestination)
        std::fprintf(err, "docsconv: cannot create %s\n", args[1].c_str());
    else
        std::fprintf(err, "%s\n", conv::resultText(result));
    return 1;
}

}  // namespace

int runWord2Docs(const std::vector<std::string> &args, std::FILE *, std::FILE *err) {
    return runConversion(args, err, "word2docs IN.doc OUT.mwd", conv::convertWordToDocs);
}

int runDocs2Word(const std::vector<std::string> &args, std::FILE *, std::FILE *err) {
    return runConversion(args, err, "docs2word IN.mwd OUT.doc", conv::convertDocsToWord);
}

}  // namespace docsconv
