// Other programs read what the writer writes: every corpus document the
// Word reader converts is written back to Word from its Docs file, and the
// text LibreOffice and antiword read from that Word file equals the Docs
// text. Both texts lose white space, table bars and control characters and
// are compared without case, as in the reader's test against antiword.
// LibreOffice converts the whole batch in one run.
#include "writer_support.h"

#include "content_sink.h"
#include "docs_reader.h"
#include "docs_to_word.h"
#include "word_to_docs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Documents whose text antiword reads otherwise, and why.
const std::map<std::string, std::string> kAntiwordDifferences = {
    {"clusterfuzz-testcase-minimized-POIHWPFFuzzer-4951943183990784.doc",
     "a damaged copy whose table rows antiword skips as unmatched (the reader skips it too)"},
};

// Documents whose text LibreOffice does not take from the file, and why.
const std::map<std::string, std::string> kLibreOfficeDifferences = {
    {"Bug44431.doc", "LibreOffice recomputes the FILENAME field from the file's own name"},
    {"TestSectionDictionary.doc", "LibreOffice recomputes the FILENAME field from the file's own name"},
};

bool run(const std::string &command, std::string &output) {
    output.clear();
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) output.append(buf.data(), n);
    return pclose(pipe) == 0;
}

std::string quoted(const fs::path &p) {
    std::string s = "'";
    for (char c : p.string()) s += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return s + "'";
}

std::u32string decode(const std::string &s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
        out.push_back(cp);
        i += 1 + extra;
    }
    return out;
}

// White space, bars, control characters and the byte-order mark go; hyphens
// are one kind, soft hyphens none; capitals become small letters.
std::u32string normalise(const std::u32string &text) {
    std::u32string out;
    for (char32_t c : text) {
        if (c <= 0x20 || c == 0x7C || c == 0xA0 || c == 0x2002 || c == 0x2003 || c == 0x2005 || c == 0xFEFF ||
            c == 0xAD)
            continue;
        if (c == 0x2011) c = u'-';
        if (c < 0x80 && c >= 'A' && c <= 'Z') c += 32;
        else if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x410 && c <= 0x42F)) c += 32;
        else if (c >= 0x400 && c <= 0x40F) c += 80;
        out.push_back(c);
    }
    return out;
}

// antiword's DocBook output as plain text: the chapter only, without
// markup, picture marks and the marks of notes that are not main text.
std::string antiwordText(const std::string &xml) {
    size_t start = xml.find("<chapter>");
    std::string s = start == std::string::npos ? std::string() : xml.substr(start + 9);
    size_t rule = s.find("-----------------------");
    if (rule != std::string::npos) s.resize(rule);
    s = std::regex_replace(s, std::regex("<[^>]*>"), " ");
    s = std::regex_replace(s, std::regex("\\[pic\\]|\\[\\?\\]"), " ");
    const std::pair<const char *, const char *> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (auto [from, to] : entities) s = std::regex_replace(s, std::regex(from), to);
    return s;
}

// The text of a Docs file: characters of text, field results and special
// characters that show (a note reference shows nothing of its own).
class TextSink : public conv::ContentSink {
public:
    std::u32string chars;
    int32_t begin(conv::DocsReader &reader) override {
        reader_ = &reader;
        return 0;
    }
    int32_t text(const char16_t *chars, size_t count) override {
        for (size_t i = 0; i < count; ++i) this->chars.push_back(chars[i]);
        return 0;
    }
    int32_t paragraphEnd() override {
        chars.push_back(U'\n');
        return 0;
    }
    int32_t otherRecord(uint16_t type, int64_t) override {
        conv::DocsSpecialChar c;
        if (type != conv::kDocsSpecialChar || reader_->stream().readSpecialChar(c) != 0) return 0;
        if (c.charClass == conv::DocsSpecialChar::kNonBreakingHyphen) chars.push_back(U'-');
        else if (c.charClass != conv::DocsSpecialChar::kFootnoteReference &&
                 c.charClass != conv::DocsSpecialChar::kOptionalHyphen && c.character >= 0x20)
            chars.push_back(c.character);
        return 0;
    }

private:
    conv::DocsReader *reader_ = nullptr;
};

std::u32string docsText(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    conv::MemoryStream stream(bytes);
    TextSink sink;
    conv::DocsReader().run(stream, sink);
    return normalise(sink.chars);
}

// Equal, where a symbol-font character of ours (U+F000 to U+F0FF) stands
// for whatever single character the other program made of it.
size_t sameUpTo(const std::u32string &ours, size_t from, const std::u32string &theirs) {
    size_t i = 0;
    while (from + i < ours.size() && i < theirs.size() &&
           (ours[from + i] == theirs[i] || (ours[from + i] >= 0xF000 && ours[from + i] <= 0xF0FF)))
        ++i;
    return i;
}

// A list paragraph's number or bullet as LibreOffice writes it: "3.",
// "iv)", "1.2.", "." or a single symbol.
bool isListLabel(const std::u32string &word) {
    if (word.size() == 1) return true;
    if (word.size() > 12 || (word.back() != U'.' && word.back() != U')')) return false;
    return std::all_of(word.begin(), word.end(), [](char32_t c) {
        return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c == U'.' ||
               c == U')' || c == U'(';
    });
}

// LibreOffice writes each paragraph as a line and puts a list paragraph's
// number or bullet in front of it: a line matches our text as it is or
// without such a label.
bool libreOfficeMatches(const std::u32string &ours, const std::string &theirs, size_t &at) {
    at = 0;
    std::u32string all = decode(theirs);
    size_t begin = !all.empty() && all[0] == 0xFEFF ? 1 : 0;  // the byte-order mark
    while (begin <= all.size()) {
        size_t end = all.find(U'\n', begin);
        if (end == std::u32string::npos) end = all.size();
        std::u32string line = all.substr(begin, end - begin);
        std::u32string plain = normalise(line);
        if (sameUpTo(ours, at, plain) == plain.size()) {
            at += plain.size();
        } else {
            size_t word = line.find_first_not_of(U" \t");
            size_t gap = word == std::u32string::npos ? std::u32string::npos : line.find_first_of(U" \t", word);
            if (gap == std::u32string::npos || !isListLabel(line.substr(word, gap - word))) return false;
            std::u32string rest = normalise(line.substr(gap));
            if (sameUpTo(ours, at, rest) != rest.size()) return false;
            at += rest.size();
        }
        begin = end + 1;
    }
    return at == ours.size();
}

std::string excerpt(const std::u32string &s, size_t at) {
    std::string out;
    for (size_t i = at > 20 ? at - 20 : 0; i < s.size() && i < at + 40; ++i) {
        char32_t c = s[i];
        if (c < 0x80) out += char(c);
        else if (c < 0x800) out += {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
        else out += {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
    }
    return out;
}

}  // namespace

TEST(WordWriterOracle, LibreOfficeAndAntiwordReadTheDocsText) {
    std::string version;
    ASSERT_TRUE(run("antiword -h 2>&1 | grep -q Version", version))
        << "antiword (Debian package antiword) is needed for this test";
    ASSERT_TRUE(run("soffice --version", version))
        << "LibreOffice (Debian package libreoffice-writer-nogui) is needed for this test";

    fs::path dir = fs::temp_directory_path() / ("qv_wordwriter_oracle_" + std::to_string(::getpid()));
    fs::create_directories(dir / "lo");
    ::setenv("PAPYRINE_HOME", (dir / "home").c_str(), 1);
    std::vector<fs::path> corpus;
    for (const auto &e : fs::directory_iterator(fs::path(QV_CORPUS_DIR) / "word"))
        if (e.is_regular_file()) corpus.push_back(e.path());
    std::sort(corpus.begin(), corpus.end());

    // Docs files from the reader, Word files from the writer.
    std::vector<std::pair<std::string, fs::path>> written;  // name, stem in dir
    std::string batch;
    for (const fs::path &file : corpus) {
        fs::path stem = dir / ("doc" + std::to_string(written.size()));
        fs::path docs = stem.string() + ".mwd", word = stem.string() + ".doc";
        if (conv::convertWordToDocs(file.string(), docs.string()) != 0) continue;
        ASSERT_EQ(conv::convertDocsToWord(docs.string(), word.string()), 0u) << file.filename();
        written.push_back({file.filename().string(), stem});
        batch += " " + quoted(word);
    }
    ASSERT_GT(written.size(), 90u);

    // One LibreOffice run over all of them, with a profile of its own.
    std::string log;
    ASSERT_TRUE(run("soffice -env:UserInstallation=file://" + (dir / "profile").string() +
                        " --headless --convert-to txt:Text --outdir " + quoted(dir / "lo") + batch + " 2>&1",
                    log))
        << log;

    for (const auto &[name, stem] : written) {
        std::u32string ours = docsText(stem.string() + ".mwd");
        fs::path word = stem.string() + ".doc";
        std::string theirs;
        ASSERT_TRUE(run("antiword -r -s -x db " + quoted(word) + " 2>/dev/null", theirs)) << name << " antiword";
        if (!kAntiwordDifferences.count(name)) {
            std::u32string aw = normalise(decode(antiwordText(theirs)));
            size_t same = sameUpTo(ours, 0, aw);
            EXPECT_TRUE(same == ours.size() && same == aw.size())
                << name << ": antiword differs at " << same << "\n  ours:     " << excerpt(ours, same)
                << "\n  antiword: " << excerpt(aw, same);
        }

        if (kLibreOfficeDifferences.count(name)) continue;
        fs::path lo = dir / "lo" / (stem.filename().string() + ".txt");
        std::ifstream in(lo, std::ios::binary);
        ASSERT_TRUE(in.good()) << name << ": LibreOffice did not open the file";
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        size_t at = 0;
        EXPECT_TRUE(libreOfficeMatches(ours, text, at))
            << name << ": LibreOffice differs at " << at << "\n  ours: " << excerpt(ours, at);
    }
    fs::remove_all(dir);
}
