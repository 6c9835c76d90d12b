// docsconv text: every paragraph's text followed by a newline; a line break
// also ends a line. Tables come out cell by cell in document order.
#include "commands.h"
#include "input_file.h"
#include "text_output.h"

#include "byte_stream.h"
#include "content_sink.h"
#include "docs_reader.h"

namespace docsconv {

namespace {

class TextSink : public conv::ContentSink {
public:
    int32_t header(const conv::DocsHeader &header) override {
        protected_ = header.isProtected();
        return protected_ ? kProtected : 0;
    }
    int32_t text(const char16_t *chars, size_t count) override {
        appendUtf8(text_, chars, count);
        return 0;
    }
    int32_t paragraphEnd() override {
        text_ += '\n';
        return 0;
    }
    int32_t lineBreak() override {
        text_ += '\n';
        return 0;
    }
    int32_t begin(conv::DocsReader &reader) override {
        reader_ = &reader;
        return 0;
    }
    // A special character stands for itself in the text; an optional hyphen
    // and a note reference show nothing.
    int32_t otherRecord(uint16_t type, int64_t) override {
        conv::DocsSpecialChar special;
        if (type != conv::kDocsSpecialChar || !reader_ || reader_->stream().readSpecialChar(special) != 0) return 0;
        if (special.charClass == conv::DocsSpecialChar::kOptionalHyphen ||
            special.charClass == conv::DocsSpecialChar::kFootnoteReference)
            return 0;
        char16_t c = special.charClass == conv::DocsSpecialChar::kNonBreakingHyphen ? u'-' : char16_t(special.character);
        appendUtf8(text_, &c, 1);
        return 0;
    }

    static constexpr int32_t kProtected = 15;
    const std::string &result() const { return text_; }

private:
    std::string text_;
    bool protected_ = false;
    conv::DocsReader *reader_ = nullptr;
};

}  // namespace

int runText(const std::vector<std::string> &args, std::FILE *out, std::FILE *err) {
    if (args.size() != 1) {
        std::fprintf(err, "usage: docsconv text FILE.mwd\n");
        return 1;
    }
    const std::string &path = args[0];
    std::unique_ptr<conv::FileStream> file = openInput(path, err);
    if (!file) return 1;
    TextSink sink;
    conv::DocsReader reader;
    int32_t rc = reader.run(*file, sink);
    if (rc == TextSink::kProtected) {
        std::fprintf(err, "docsconv: %s: the document is protected\n", path.c_str());
        return 1;
    }
    if (rc != 0) {
        std::fprintf(err, "docsconv: %s: damaged Docs file (reader result %d)\n", path.c_str(), int(rc));
        return 1;
    }
    std::fwrite(sink.result().data(), 1, sink.result().size(), out);
    return std::fflush(out) == 0 ? 0 : 1;
}

}  // namespace docsconv
