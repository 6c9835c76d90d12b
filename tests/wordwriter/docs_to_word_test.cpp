// convertDocsToWord and "docsconv docs2word": files in and out, the result
// codes and their texts, and what stays on disk after a failure.
#include "writer_support.h"

#include "compound_file.h"
#include "conversion_results.h"
#include "docs_to_word.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class DocsToWord : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("qv_docs2word_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        ::setenv("PAPYRINE_HOME", (dir_ / "home").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path write(const std::string &name, const std::vector<uint8_t> &bytes) {
        fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), long(bytes.size()));
        return p;
    }

    // Runs docsconv; returns the exit code, the error output in err.
    int docsconv(const std::string &args, std::string &err) {
        fs::path errFile = dir_ / "stderr.txt";
        std::string command = std::string(QV_BIN_DIR) + "/docsconv " + args + " 2>" + errFile.string();
        int status = std::system(command.c_str());
        std::ifstream in(errFile);
        err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static std::vector<uint8_t> protectedDocs() {
        std::vector<uint8_t> b = {0x4D, 0x57, 0x51, 0x56, 0, 34, 0, 3, 0, 0, 0, 0, 0, 0, 12, 0, 0, 16};
        b.resize(34, 0x11);
        return b;
    }

    fs::path dir_;
};

}  // namespace

TEST_F(DocsToWord, WritesAWordDocument) {
    fs::path in = write("in.mwd", wwtest::docsSection([](conv::DocsStream &s) { wwtest::paragraph(s, u"Hello"); }));
    fs::path out = dir_ / "out.doc";
    ASSERT_EQ(conv::convertDocsToWord(in.string(), out.string()), 0u);
    conv::FileStream file(out.string(), conv::FileStream::kRead);
    EXPECT_TRUE(conv::isCompoundFile(file));
}

TEST_F(DocsToWord, FailuresGiveTheirResultCodes) {
    fs::path out = dir_ / "out.doc";
    // A source that does not exist: the destination is already there, empty.
    EXPECT_EQ(conv::convertDocsToWord((dir_ / "missing.mwd").string(), out.string()), 0xA00206u);
    ASSERT_TRUE(fs::exists(out));
    EXPECT_EQ(fs::file_size(out), 0u);
    // A protected document: refused before anything is written.
    uint32_t result = conv::convertDocsToWord(write("p.mwd", protectedDocs()).string(), out.string());
    EXPECT_EQ(result, 0x07A00202u);
    EXPECT_STREQ(conv::resultText(result), "The file is protected");
    EXPECT_EQ(fs::file_size(out), 0u);
    // A damaged one.
    std::vector<uint8_t> cut = wwtest::docsSection([](conv::DocsStream &s) { wwtest::paragraph(s, u"abc"); });
    cut.resize(cut.size() - 6);
    EXPECT_STREQ(conv::resultText(conv::convertDocsToWord(write("cut.mwd", cut).string(), out.string())),
                 "Bad or not supported file format");
    // A destination that cannot be created.
    EXPECT_EQ(conv::convertDocsToWord(write("ok.mwd", {}).string(), (dir_ / "no" / "out.doc").string()),
              0xA00207u);
    EXPECT_STREQ(conv::resultText(0x07A00204), "Too complex file format");
}

TEST_F(DocsToWord, TheDocs2wordCommand) {
    std::string err;
    fs::path in = write("in.mwd", wwtest::docsSection([](conv::DocsStream &s) { wwtest::paragraph(s, u"Hi"); }));
    EXPECT_EQ(docsconv("docs2word " + in.string() + " " + (dir_ / "out.doc").string(), err), 0) << err;
    EXPECT_TRUE(fs::file_size(dir_ / "out.doc") > 0);
    fs::path locked = write("p.mwd", protectedDocs());
    EXPECT_EQ(docsconv("docs2word " + locked.string() + " " + (dir_ / "p.doc").string(), err), 1);
    EXPECT_EQ(err, "The file is protected\n");
    EXPECT_EQ(docsconv("docs2word " + in.string(), err), 1);
    EXPECT_NE(err.find("usage"), std::string::npos);
}
