// docsfromtext OUT.mwd [TEXT.txt]
// Writes a Tarvoc Docs file with one paragraph per line of the UTF-8 text
// (standard input when no text file is named). The first line becomes a
// bold title. Exit 0, or 1 with a message on stderr.
#include "byte_stream.h"
#include "docs_model.h"
#include "docs_stream.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

bool decodeUtf8(const std::string &line, std::u16string &out) {
    conv::MemoryStream bytes(line.data(), line.size());
    conv::DocsStream stream(bytes);
    out.assign(line.size() + 1, u'\0');
    size_t consumed = 0;
    out.resize(stream.readUtf8(out.data(), line.size(), line.size(), &consumed));
    return consumed == line.size();
}

int32_t writeParagraph(conv::DocsStream &out, const std::u16string &text, bool title) {
    int32_t rc = out.writeParagraph(conv::DocsParagraph());
    if (rc == 0 && title) {
        conv::DocsCharFormat bold;
        bold.formatFlags |= conv::DocsCharFormat::kBold;
        conv::DocsCharFormatWriter runs;
        rc = runs.writeRun(out, bold);
    }
    if (rc == 0 && !text.empty()) rc = out.writeText(text);
    if (rc == 0) rc = out.writeParagraphEnd();
    return rc;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: docsfromtext OUT.mwd [TEXT.txt]\n");
        return 1;
    }
    std::ifstream file;
    if (argc == 3) {
        file.open(argv[2]);
        if (!file) {
            std::fprintf(stderr, "cannot read %s\n", argv[2]);
            return 1;
        }
    }
    std::istream &in = argc == 3 ? static_cast<std::istream &>(file) : std::cin;

    conv::FileStream target(argv[1], conv::FileStream::kWrite);
    if (!target.isOpen()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    conv::DocsStream out(target);
    int32_t rc = out.writeHeader();
    if (rc == 0) rc = out.writeSection(conv::DocsSection());
    std::string line;
    bool first = true;
    while (rc == 0 && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::u16string text;
        if (!decodeUtf8(line, text)) {
            std::fprintf(stderr, "the text is not UTF-8: %s\n", line.c_str());
            std::remove(argv[1]);  // no half-written document is left behind
            return 1;
        }
        rc = writeParagraph(out, text, first);
        first = false;
    }
    if (rc == 0) rc = out.writeSectionEnd();
    if (rc == 0) rc = out.writeEndOfDocument();
    if (rc != 0) {
        std::fprintf(stderr, "cannot write %s (code 0x%X)\n", argv[1], unsigned(rc));
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
