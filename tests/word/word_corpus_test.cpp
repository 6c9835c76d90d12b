// The Word reader over the shared corpus: every file converts or fails
// with the result it should; the text of every converted file equals what
// antiword extracts from the same file (after the same normalisation); and
// pictures arrive as the records they should.
#include "word_fixture.h"

#include "byte_order.h"
#include "conversion_results.h"
#include "docs_reader.h"
#include "word_to_docs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = fs::path(QV_CORPUS_DIR) / "word";

// Files that are refused, with the message they are refused with.
const std::map<std::string, std::string> kRefused = {
    // Word 6 and Word 95 documents have no table stream.
    {"52117.doc", "Bad or not supported file format"},
    {"57843.doc", "Bad or not supported file format"},
    {"Bug51944.doc", "Bad or not supported file format"},
    {"TestInvertedClassID.doc", "Bad or not supported file format"},
    {"TestMickey.doc", "Bad or not supported file format"},
    {"Word6.doc", "Bad or not supported file format"},
    {"Word6_sections2.doc", "Bad or not supported file format"},
    {"Word95.doc", "Bad or not supported file format"},
    {"cn.orthodox.www_divenbog_APRIL_30-APRIL.DOC", "Bad or not supported file format"},
    {"password_password_cryptoapi.doc", "Bad parameters for conversion"},
    {"multimedia.doc", "Bad or not supported file format"},        // empty
    {"word2.doc", "Bad or not supported file format"},             // not a compound file
    {"TestRobert_Flaherty.doc", "Bad or not supported file format"},  // a workbook
    // Its streams are named in capitals; stream names match exactly.
    {"47950_upper.doc", "Bad or not supported file format"},
    // Damaged copies.
    {"clusterfuzz-testcase-minimized-POIHWPFFuzzer-4892412469968896.doc", "Bad or not supported file format"},
    {"clusterfuzz-testcase-minimized-POIHWPFFuzzer-5074346559012864.doc", "Bad or not supported file format"},
    {"clusterfuzz-testcase-minimized-POIHWPFFuzzer-5418937293340672.doc", "Bad or not supported file format"},
    {"clusterfuzz-testcase-minimized-POIHWPFFuzzer-5440721166139392.doc", "Error reading from file"},
};

// Converted files whose text is not compared with antiword's, and why.
const std::map<std::string, std::string> kTextDifferences = {
    {"Bug33519.doc", "antiword leaves out table rows that the piece table holds"},
    {"Bug48075.doc", "antiword drops a letter where a paragraph starts without listed properties"},
    {"Bug41898.doc", "its only text lies in a text box, which is not main text"},
    {"clusterfuzz-testcase-minimized-POIHWPFFuzzer-4951943183990784.doc",
     "a damaged copy whose piece table antiword reads differently"},
    {"clusterfuzz-testcase-minimized-POIHWPFFuzzer-5050208641482752.doc", "antiword refuses the damaged copy"},
    {"clusterfuzz-testcase-minimized-POIHWPFFuzzer-6610789829836800.doc", "antiword refuses the damaged copy"},
};
// antiword refuses documents whose text stream is below its minimum size.
const std::set<std::string> kTooSmallForAntiword = {
    "Bug44431.doc", "Bug45269.doc", "TestNon4ByteBoundary.doc", "WithArtShapes.doc", "documentProperties.doc",
    "endingnote.doc", "footnote.doc", "hyperlink.doc", "lists-margins.doc", "page-break-before.doc",
    "page-break.doc", "pageref.doc", "testRangeDelete.doc", "testRangeInsertion.doc", "testRangeReplacement.doc",
};

std::vector<fs::path> corpusFiles() {
    std::vector<fs::path> files;
    for (const auto &e : fs::directory_iterator(kCorpus))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

fs::path outputFolder() {
    fs::path dir = fs::temp_directory_path() / ("qv_word_corpus_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

std::vector<uint8_t> readFile(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string quoted(const fs::path &p) {
    std::string s = "'";
    for (char c : p.string()) s += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return s + "'";
}

bool run(const std::string &command, std::string &output) {
    output.clear();
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) output.append(buf.data(), n);
    return pclose(pipe) == 0;
}

// UTF-8 to code points and back, for folding case and dropping characters.
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

// Both texts lose white space, table bars and control characters and are
// compared without case (Word's capitals formatting changes only the look).
std::u32string normalise(const std::string &utf8) {
    std::u32string out;
    for (char32_t c : decode(utf8)) {
        if (c <= 0x20 || c == 0x7C || c == 0xA0 || c == 0x2002 || c == 0x2003 || c == 0x2005) continue;
        if (c < 0x80 && c >= 'A' && c <= 'Z') c += 32;
        else if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x410 && c <= 0x42F)) c += 32;
        else if (c >= 0x400 && c <= 0x40F) c += 80;
        out.push_back(c);
    }
    return out;
}

// antiword's DocBook output as plain text: the chapter only, without
// footnote bodies, the notes and text boxes it appends after a rule,
// markup, picture marks and endnote marks.
std::string antiwordText(const std::string &xml) {
    size_t start = xml.find("<chapter>");
    std::string s = start == std::string::npos ? std::string() : xml.substr(start + 9);
    for (size_t at; (at = s.find("<footnote>")) != std::string::npos;) {
        size_t close = s.find("</footnote>", at);
        s.replace(at, close == std::string::npos ? std::string::npos : close + 11 - at, " ");
    }
    size_t rule = s.find("-----------------------");
    if (rule != std::string::npos) s.resize(rule);

    static const char *const kInline[] = {"emphasis", "superscript", "subscript", "literal", "ulink"};
    std::string out;
    for (size_t i = 0; i < s.size();) {
        if (s[i] == '<') {
            size_t close = s.find('>', i);
            if (close == std::string::npos) break;
            std::string name = s.substr(i + 1, close - i - 1);
            if (!name.empty() && name[0] == '/') name.erase(0, 1);
            name = name.substr(0, name.find_first_of(" /"));
            bool inlineTag = std::any_of(std::begin(kInline), std::end(kInline), [&](const char *t) { return name == t; });
            if (!inlineTag) out += ' ';
            i = close + 1;
        } else if (s[i] == '[') {
            size_t close = s.find(']', i);
            std::string inside = close == std::string::npos ? std::string() : s.substr(i + 1, close - i - 1);
            bool mark = inside == "pic" ||
                        (!inside.empty() && inside.find_first_not_of("ivx") == std::string::npos);
            if (mark) {
                out += ' ';
                i = close + 1;
            } else {
                out += s[i++];
            }
        } else {
            out += s[i++];
        }
    }
    const std::pair<std::string, std::string> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto &[from, to] : entities)
        for (size_t at = 0; (at = out.find(from, at)) != std::string::npos; at += to.size()) out.replace(at, from.size(), to);
    return out;
}

// Equal, where a symbol-font character of ours (U+F000 to U+F0FF) stands
// for whatever single character antiword made of it.
bool sameText(const std::u32string &ours, const std::u32string &theirs, size_t &at) {
    size_t i = 0;
    for (; i < ours.size() && i < theirs.size(); ++i)
        if (ours[i] != theirs[i] && !(ours[i] >= 0xF000 && ours[i] <= 0xF0FF)) break;
    at = i;
    return i == ours.size() && i == theirs.size();
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

TEST(WordCorpus, EveryFileConvertsOrFailsWithItsResult) {
    fs::path out = outputFolder();
    int converted = 0;
    for (const fs::path &file : corpusFiles()) {
        std::string name = file.filename().string();
        fs::path target = out / (name + ".mwd");
        uint32_t result = conv::convertWordToDocs(file.string(), target.string());
        auto refused = kRefused.find(name);
        if (refused != kRefused.end()) {
            EXPECT_STREQ(conv::resultText(result), refused->second.c_str()) << name;
            continue;
        }
        EXPECT_EQ(result, 0u) << name << ": " << conv::resultText(result);
        if (result != 0) continue;
        ++converted;
        // The Docs file reads back whole, ending with its end record.
        std::vector<std::string> events = wordtest::docsEvents(readFile(target));
        ASSERT_FALSE(events.empty()) << name;
        EXPECT_EQ(events.back(), "27") << name;
        EXPECT_EQ(std::count(events.begin(), events.end(), "damaged"), 0) << name;
        // Every record stands where the Docs grammar expects it.
        EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const std::string &e) { return e.rfind("other:", 0) == 0; }), 0)
            << name;
        EXPECT_EQ(std::count(events.begin(), events.end(), "14"), std::count(events.begin(), events.end(), "9"))
            << name;
    }
    EXPECT_GT(converted, 90);
    fs::remove_all(out);
}

TEST(WordCorpus, TextEqualsWhatAntiwordExtracts) {
    std::string version;
    ASSERT_TRUE(run("antiword -h 2>&1 | grep -q Version", version))
        << "antiword (Debian package antiword) is needed for this test";
    fs::path docsconv = fs::path(QV_BIN_DIR) / "docsconv";
    ASSERT_TRUE(fs::exists(docsconv));
    fs::path out = outputFolder();
    int compared = 0;
    for (const fs::path &file : corpusFiles()) {
        std::string name = file.filename().string();
        if (kRefused.count(name) || kTextDifferences.count(name) || kTooSmallForAntiword.count(name)) continue;
        fs::path target = out / "text.mwd";
        ASSERT_EQ(conv::convertWordToDocs(file.string(), target.string()), 0u) << name;
        std::string ours, theirs;
        ASSERT_TRUE(run(quoted(docsconv) + " text " + quoted(target), ours)) << name;
        // Removed and hidden text stay in the Docs text, so antiword shows them too.
        ASSERT_TRUE(run("antiword -r -s -x db " + quoted(file) + " 2>/dev/null", theirs)) << name;
        std::u32string a = normalise(ours), b = normalise(antiwordText(theirs));
        size_t at = 0;
        EXPECT_TRUE(sameText(a, b, at)) << name << " differs at " << at << "\n  ours:     " << excerpt(a, at)
                                        << "\n  antiword: " << excerpt(b, at);
        ++compared;
    }
    EXPECT_GT(compared, 70);
    fs::remove_all(out);
}

namespace {

struct PictureSeen {
    conv::DocsPicture record;
    std::vector<uint8_t> head;  // the first bytes of its data
};

class PictureSink : public conv::ContentSink {
public:
    std::vector<PictureSeen> pictures;
    int32_t begin(conv::DocsReader &reader) override {
        reader_ = &reader;
        return 0;
    }
    int32_t picture(const conv::DocsPicture &p, int64_t) override {
        PictureSeen seen{p, {}};
        seen.head.resize(std::min<size_t>(p.dataSize, 64));
        reader_->stream().readBytes(seen.head.data(), seen.head.size());
        pictures.push_back(seen);
        return 0;
    }

private:
    conv::DocsReader *reader_ = nullptr;
};

std::vector<PictureSeen> picturesOf(const std::string &name) {
    fs::path target = outputFolder() / (name + ".mwd");
    EXPECT_EQ(conv::convertWordToDocs((kCorpus / name).string(), target.string()), 0u) << name;
    conv::FileStream in(target.string(), conv::FileStream::kRead);
    PictureSink sink;
    conv::DocsReader reader;
    EXPECT_EQ(reader.run(in, sink), 0);
    fs::remove_all(target.parent_path());
    return sink.pictures;
}

// The image inside a picture's data: the prefix gives its offset.
std::vector<uint8_t> imageStart(const PictureSeen &p) {
    if (p.head.size() < 8) return {};
    size_t offset = 8 + qv::loadBE32(p.head.data());
    if (offset >= p.head.size()) return {};
    return std::vector<uint8_t>(p.head.begin() + long(offset), p.head.end());
}

}  // namespace

TEST(WordCorpus, InlineJpegAndPngPicturesCarryTheirWordPictureRegion) {
    std::vector<PictureSeen> pics = picturesOf("two_images.doc");
    ASSERT_EQ(pics.size(), 2u);
    std::set<int> formats;
    for (const PictureSeen &p : pics) {
        formats.insert(p.record.format);
        EXPECT_EQ(p.record.pixelWidth, 20);
        EXPECT_EQ(p.record.displayWidth, 400);
        uint32_t imageOffset = qv::loadBE32(p.head.data());
        // The region starts with the picture's PICF: its lcb is the data size less the prefix.
        EXPECT_EQ(qv::loadLE32(p.head.data() + 8), p.record.dataSize - 8);
        EXPECT_GT(imageOffset, 68u);
    }
    EXPECT_EQ(formats, (std::set<int>{conv::DocsPicture::kJpeg, conv::DocsPicture::kPng}));
}

TEST(WordCorpus, FloatingPicturesCarryTheBareImage) {
    std::vector<PictureSeen> pics = picturesOf("FloatingPictures.doc");
    int bare = 0;
    for (const PictureSeen &p : pics) {
        // Inline ones carry their Word picture region (and an offset into it).
        if (p.record.format == conv::DocsPicture::kWordPicture || qv::loadBE32(p.head.data()) != 0) continue;
        ++bare;
        EXPECT_EQ(p.record.format, conv::DocsPicture::kPng);
        std::vector<uint8_t> image = imageStart(p);
        ASSERT_GE(image.size(), 4u);
        EXPECT_EQ(image[1], 'P');
        EXPECT_EQ(qv::loadBE32(p.head.data() + 4), p.record.dataSize - 8);
    }
    EXPECT_EQ(bare, 4);
}

TEST(WordCorpus, OtherPicturesTravelAsWordPictures) {
    std::vector<PictureSeen> pics = picturesOf("vector_image.doc");
    ASSERT_EQ(pics.size(), 1u);
    EXPECT_EQ(pics[0].record.format, conv::DocsPicture::kWordPicture);
    EXPECT_EQ(pics[0].record.displayWidth, 1);
    EXPECT_EQ(qv::loadBE32(pics[0].head.data() + 4), pics[0].record.dataSize - 8);
}

TEST(WordCorpus, ListParagraphsReferToTheirListDefinitions) {
    fs::path target = outputFolder() / "list.mwd";
    ASSERT_EQ(conv::convertWordToDocs((kCorpus / "simple-list.doc").string(), target.string()), 0u);
    std::vector<std::string> events = wordtest::docsEvents(readFile(target));
    fs::remove_all(target.parent_path());
    // Three numbered items, each paragraph start followed by its reference.
    int references = 0;
    for (size_t i = 1; i < events.size(); ++i)
        if (events[i].rfind("38:", 0) == 0) {
            ++references;
            EXPECT_EQ(events[i - 1], "14");
            EXPECT_EQ(events[i], "38:0:0");
        }
    EXPECT_EQ(references, 3);
}
