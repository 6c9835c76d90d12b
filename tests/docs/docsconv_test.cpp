#include "docs_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace conv;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int exitCode;
    std::string out, err;
};

std::string slurp(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Docsconv : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("docsconv_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path writeFile(const std::string &name, const std::vector<uint8_t> &bytes) {
        fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), long(bytes.size()));
        return p;
    }

    ToolRun docsconv(const std::string &args) {
        fs::path errFile = dir_ / "stderr.txt";
        std::string command = std::string(QV_BIN_DIR) + "/docsconv " + args + " 2>" + errFile.string();
        ToolRun r;
        FILE *pipe = ::popen(command.c_str(), "r");
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
        int status = ::pclose(pipe);
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.err = slurp(errFile);
        return r;
    }

    fs::path dir_;
};

struct Fixture {
    std::vector<uint8_t> bytes;
    int64_t helloOffset = 0, tableOffset = 0;
};

// A small document: a paragraph with a line break, a table of two cells,
// and a paragraph with letters beyond ASCII.
Fixture smallDocument() {
    Fixture f;
    f.bytes = docstest::build([&](DocsStream &s) {
        s.writeHeader();
        DocsDocInfo info;
        info.setString(DocsDocInfo::kTitle, u"T \"q\"");
        s.writeDocInfo(info);
        DocsSection section;
        section.breakCode = 2;
        s.writeSection(section);
        s.writeParagraph(DocsParagraph());
        f.helloOffset = s.tell();
        s.writeText(u"Hello");
        s.writeLineBreak();
        s.writeText(u"World");
        s.writeParagraphEnd();
        f.tableOffset = s.tell();
        s.writeTable(DocsTable{1, 1, 0});
        s.writeRow(DocsRow{0, 2, 0});
        for (uint8_t cell = 1; cell <= 2; ++cell) {
            s.writeCell(DocsCell{cell, 100, 0});
            s.writeParagraph(DocsParagraph());
            s.writeText(cell == 1 ? u"A" : u"B");
            s.writeParagraphEnd();
        }
        s.writeTableEnd();
        s.writeParagraph(DocsParagraph());
        s.writeText(u"caf\u00e9 \U0001F600");
        s.writeParagraphEnd();
        s.writeSectionEnd();
        s.writeEndOfDocument();
    });
    return f;
}

}  // namespace

TEST_F(Docsconv, TextPrintsEveryParagraphAndCellOnItsOwnLine) {
    fs::path file = writeFile("small.mwd", smallDocument().bytes);
    ToolRun r = docsconv("text " + file.string());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Hello\nWorld\nA\nB\ncaf\xC3\xA9 \xF0\x9F\x98\x80\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(Docsconv, DumpPrintsOneLinePerRecordWithItsOffset) {
    Fixture f = smallDocument();
    fs::path file = writeFile("small.mwd", f.bytes);
    ToolRun r = docsconv("dump " + file.string());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string lines[] = {
        "0 header magic=\"MWQV\" headerLength=16 version=3\n",
        "16 20 docInfo title=\"T \\\"q\\\"\"\n",
        "26 13 section breakCode=2\n",
        std::to_string(f.helloOffset) + " 0 text \"Hello\"\n",
        std::to_string(f.tableOffset) + " 23 table serial=1 rowCount=1\n",
        " 31 cell cellNumber=2 width=100\n",
        " 0 text \"caf\xC3\xA9 \xF0\x9F\x98\x80\"\n",
        " 27 endOfDocument\n",
    };
    for (const std::string &line : lines) EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 24);
}

TEST_F(Docsconv, DamagedOrMissingFilesAndBadCommandsExitWith1) {
    std::vector<uint8_t> cut = smallDocument().bytes;
    cut.resize(size_t(smallDocument().helloOffset) + 3);  // ends inside the first paragraph
    fs::path file = writeFile("cut.mwd", cut);
    ToolRun text = docsconv("text " + file.string());
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_EQ(text.out, "");
    EXPECT_NE(text.err.find("damaged"), std::string::npos) << text.err;

    std::vector<uint8_t> broken = smallDocument().bytes;
    broken.resize(broken.size() - 1);  // the last record loses a byte
    broken.back() = 0;
    ToolRun dump = docsconv("dump " + writeFile("broken.mwd", broken).string());
    EXPECT_EQ(dump.exitCode, 1);
    EXPECT_NE(dump.err.find("damaged record"), std::string::npos) << dump.err;

    for (const char *args : {"text /nonexistent/x.mwd", "frobnicate x", "text", "dump a b"}) {
        ToolRun r = docsconv(args);
        EXPECT_EQ(r.exitCode, 1) << args;
        EXPECT_NE(r.err, "") << args;
    }
}
