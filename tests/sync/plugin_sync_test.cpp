// HotSyncs with the document plug-in itself, the entries added by the
// desktop program's command line: Word documents become Tarvoc Docs files
// on the handheld and come back as Word documents, new Docs files arrive as
// Word documents, and a document the converter cannot read is reported.
#include "sync_test_support.h"

using namespace synctest;

namespace {

const std::string kCompoundMagic = "\xD0\xCF\x11\xE0";

class PluginSyncTest : public SyncTest {
protected:
    void SetUp() override {
        SyncTest::SetUp();
        fs::create_directories(pluginFolder());
        std::ofstream(pluginFolder() / "usersettings.ini")
            << "[Tarvoc Papyrine 7.0]\nSyncDir=" << syncDir_.string()
            << "\nMinFreeSpaceOnDevice=0\nBackupType=1\nBackupDays=7\n";
    }

    std::string pluginPath() const override { return DOCS_PLUGIN_PATH; }

    // A corpus Word document copied to the desktop folder and added as a
    // Tarvoc Docs file; its handheld name.
    std::string addWordDocument(const std::string &corpusName) {
        const fs::path file = docs_ / corpusName;
        fs::copy_file(fs::path(QV_CORPUS_DIR) / "word" / corpusName, file);
        const RunResult r = runTool("papyrine", {"add", "--user", "Ann", "--handheld-format", "Tarvoc Docs",
                                                 file.string()});
        EXPECT_EQ(r.status, 0) << r.output;
        return fs::path(corpusName).replace_extension(".mwd").string();
    }
};

}  // namespace

TEST_F(PluginSyncTest, WordDocumentsTravelAsDocsFilesAndComeBackAsWordDocuments) {
    const std::string name = addWordDocument("47304.doc");
    ASSERT_EQ(sync(), 0) << lastRun_.output;
    const auto entry = entryAt(docs_ / "47304.doc");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->status, qv::kSynchronized) << lastRun_.output;
    EXPECT_EQ(entry->handheldFormat, uint32_t(kDocs));
    const auto docs = handheldText(kRam, name, "docs");
    ASSERT_TRUE(docs && !docs->empty());

    // The handheld application saves the document again.
    palmtest::writeFile(home_ / "docs-copy", std::vector<uint8_t>(docs->begin(), docs->end()));
    device({"doc-edit", "hh", kRam, name, (home_ / "docs-copy").string(), "--container", "docs"});
    // And makes a new one.
    device({"doc-new", "hh", kRam, "Memo", (home_ / "docs-copy").string(), "--container", "docs"});
    ASSERT_EQ(sync(), 0) << lastRun_.output;
    EXPECT_TRUE(conduitLines().empty()) << lastRun_.output;

    const std::string back = readText(docs_ / "47304.doc");
    EXPECT_EQ(back.substr(0, 4), kCompoundMagic);
    EXPECT_NE(back, readText(fs::path(QV_CORPUS_DIR) / "word" / "47304.doc")) << "written by the Word writer";
    EXPECT_EQ(entryAt(docs_ / "47304.doc")->status, qv::kSynchronized);

    EXPECT_EQ(readText(syncDir_ / "Memo.doc").substr(0, 4), kCompoundMagic);
    const auto memo = entryAt(syncDir_ / "Memo.doc");
    ASSERT_TRUE(memo);
    EXPECT_EQ(memo->desktopFormat, uint32_t(kWord));
    EXPECT_EQ(memo->handheldFormat, uint32_t(kDocs));
    EXPECT_EQ(memo->desktopCategory, 1u);
}

TEST_F(PluginSyncTest, ADocumentTheConverterCannotReadIsReportedWithItsFiles) {
    const std::string name = addWordDocument("59322.doc");
    ASSERT_EQ(sync(), 0);
    const fs::path file = docs_ / "59322.doc";
    ASSERT_EQ(entryAt(file)->status, qv::kSynchronized) << lastRun_.output;
    const auto before = handheldText(kRam, name, "docs");

    writeText(file, "not a Word document at all");
    ASSERT_EQ(sync(), 0);
    EXPECT_EQ(entryAt(file)->status, qv::kConversionErrorStatus);
    const auto lines = conduitLines();
    ASSERT_EQ(lines.size(), 3u) << lastRun_.output;
    EXPECT_EQ(lines[0].rfind("Conversion Error : ", 0), 0u) << lines[0];
    EXPECT_GT(lines[0].size(), std::string("Conversion Error : ").size()) << "the converter's text";
    EXPECT_EQ(lines[1], "Palm File: " + name);
    EXPECT_EQ(lines[2], "PC File: " + file.string());
    EXPECT_EQ(handheldText(kRam, name, "docs"), before) << "the handheld keeps the last good version";
}
