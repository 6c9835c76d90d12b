// Adding files against the built plug-in and record database library: the
// add result codes, RAM names and the "Incorrect File Name" question, card
// entries, sync modes and the settings file.
#include "card_records.h"
#include "desktop_fixture.h"
#include "desktop_settings.h"
#include "entry_edits.h"
#include "file_adder.h"
#include "home.h"

namespace {

using namespace desktop;
using desktoptest::DesktopTest;
using desktoptest::ScriptedQuestion;

class FileAdderTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        registerPlugin();
        user_ = addUser("Ann");
    }

    // The desktop data with Ann's lists loaded.
    std::unique_ptr<DesktopData> load() {
        auto data = std::make_unique<DesktopData>();
        std::string problem;
        EXPECT_TRUE(data->selectUser(user_, problem)) << problem;
        return data;
    }

    AddReport add(DesktopData &data, const std::vector<std::string> &paths, FileNameQuestion *question = nullptr,
                  AddTarget target = AddTarget::ram()) {
        FileAdder adder(*data.plugins(), data.files(), data.settings(), question);
        return adder.addFiles(target, paths);
    }

    uint32_t user_ = 0;
};

TEST_F(FileAdderTest, EachFileThatCannotBeAddedIsReportedWithItsReason) {
    auto data = load();
    const std::string doc = makeFile("a/Letter.doc");
    const auto first = add(*data, {doc});
    ASSERT_EQ(first.added.size(), 1u);
    const qv::SyncFileRecord &r = first.added[0]->record;
    EXPECT_EQ(r.handheldName, "Letter.doc");
    EXPECT_EQ(r.desktopFormat, 1u);
    EXPECT_EQ(r.handheldFormat, 1u);   // the plug-in's default keeps Word as Word
    EXPECT_EQ(r.desktopCategory, 1u);
    EXPECT_EQ(r.pluginId, 1u);
    EXPECT_EQ(r.syncMode, 1u);
    EXPECT_EQ(r.creationMark, 9u);
    EXPECT_EQ(r.cardFolder, "/Documents");
    EXPECT_EQ(r.locationKind, 0u);
    EXPECT_EQ(r.syncedFileTime, 0u);
    EXPECT_FALSE(qv::isZeroGuid(r.recordId));
    EXPECT_GT(r.dateAdded, 40000.0);

    // A desktop path longer than a record holds cannot be stored.
    const std::string deep = makeFile(std::string(120, 'd') + "/" + std::string(120, 'e') + "/deep.txt");
    const auto report = add(*data, {doc, makeFile("b/notes.xyz"), (home_ / "docs" / "a").string(),
                                    (home_ / "docs" / "gone.doc").string(), deep, makeFile("b/readme.txt")});
    ASSERT_EQ(report.added.size(), 1u);
    EXPECT_EQ(report.added[0]->record.handheldName, "readme.txt");
    ASSERT_EQ(report.failures.size(), 5u);
    const std::pair<std::string, std::string> expected[] = {
        {"Letter.doc", "Already added"},
        {"notes.xyz", "Not supported file format"},
        {"a", "The item is not a file"},
        {"gone.doc", "The file does not exist"},
        {"deep.txt", "Database error"},
    };
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(report.failures[i].fileName, expected[i].first);
        EXPECT_EQ(addResultText(report.failures[i].code), expected[i].second);
    }
}

TEST_F(FileAdderTest, ATakenRamNameIsNumberedAndTheUserConfirmsIt) {
    auto data = load();
    ASSERT_EQ(add(*data, {makeFile("a/report.doc")}).added.size(), 1u);

    // Cancelled: nothing is added.
    ScriptedQuestion cancel({std::nullopt});
    auto report = add(*data, {makeFile("b/report.doc")}, &cancel);
    EXPECT_EQ(cancel.asked, (std::vector<std::string>{"report(1).doc"}));
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(std::string(addResultText(report.failures[0].code)), "Canceled");
    EXPECT_EQ(data->files().count(), 1u);

    // An invalid answer asks again with that text; the confirmed name is kept.
    ScriptedQuestion answers({"con", "Report B.doc"});
    report = add(*data, {makeFile("b/report.doc")}, &answers);
    EXPECT_EQ(answers.asked, (std::vector<std::string>{"report(1).doc", "con"}));
    ASSERT_EQ(report.added.size(), 1u);
    EXPECT_EQ(report.added[0]->record.handheldName, "Report B.doc");

    // A confirmed name that is taken after all is caught as a duplicate.
    ScriptedQuestion taken({"REPORT.DOC"});
    report = add(*data, {makeFile("c/report.doc")}, &taken);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].code, kAddAlreadyAdded);
}

TEST_F(FileAdderTest, ALongOrInvalidNameIsPutToTheUser) {
    auto data = load();
    ScriptedQuestion accept({"accepted.doc"});
    const auto report = add(*data, {makeFile(std::string(40, 'L') + ".doc")}, &accept);
    EXPECT_EQ(accept.asked, (std::vector<std::string>{std::string(27, 'L') + ".doc"}));
    ASSERT_EQ(report.added.size(), 1u);

    // A free name the handheld cannot take is put to the user as well.
    ScriptedQuestion rename({"lead.txt"});
    ASSERT_EQ(add(*data, {makeFile(" lead.txt")}, &rename).added.size(), 1u);
    EXPECT_EQ(rename.asked, (std::vector<std::string>{" lead.txt"}));
}

TEST_F(FileAdderTest, SyncModesAndCardFolderComeFromTheSettingsAndTheFormat) {
    std::ofstream(platform::programFolder() / kDesktopSettingsFile)
        << "[Settings]\nPalmSyncType=0\nCardSyncType=1\nDefCardDir=/Books\n";
    palm::users::setSlots(user_, {{1, "SD Slot"}});
    auto data = load();
    ASSERT_TRUE(data->cards());
    ASSERT_EQ(data->cards()->cards().size(), 1u);

    const auto ram = add(*data, {makeFile("ram.txt")});
    ASSERT_EQ(ram.added.size(), 1u);
    EXPECT_EQ(ram.added[0]->record.syncMode, 0u);
    EXPECT_EQ(ram.added[0]->record.cardFolder, "/Books");

    std::string header(78, '\0');
    header.replace(0, 6, "Novel1");
    header.replace(60, 8, "TEXtREAd");
    const auto slot = add(*data, {makeFile("My Novel.pdb", header), makeFile("card.txt")}, nullptr,
                          AddTarget::of(data->cards()->cards()[0]));
    ASSERT_EQ(slot.added.size(), 2u);
    const qv::SyncFileRecord &novel = slot.added[0]->record;
    EXPECT_EQ(novel.syncMode, 0u);   // Palm Doc files are only copied
    EXPECT_EQ(novel.handheldName, "My Novel.pdb");   // card names keep the desktop name
    EXPECT_EQ(novel.locationKind, 1u);
    EXPECT_EQ(novel.locationId, qv::slotLocationId(0));
    EXPECT_EQ(slot.added[1]->record.syncMode, 1u);

    // In RAM a Palm Doc file takes the name stored in it.
    const auto pdbInRam = add(*data, {makeFile("Other Novel.pdb", header)});
    ASSERT_EQ(pdbInRam.added.size(), 1u);
    EXPECT_EQ(pdbInRam.added[0]->record.handheldName, "Novel1.pdb");
}

TEST_F(FileAdderTest, BadSettingsValuesFallBackToTheirDefaults) {
    std::ofstream(platform::programFolder() / kDesktopSettingsFile)
        << "[Settings]\nPalmSyncType=7\nDefCardDir=..\\outside\n";
    DesktopSettings settings;
    std::string error;
    ASSERT_TRUE(loadDesktopSettings(desktopSettingsPath(), "/Documents", settings, error));
    EXPECT_EQ(settings.palmSyncType, 1);
    EXPECT_EQ(settings.cardSyncType, 1);
    EXPECT_EQ(settings.defCardDir, "/Documents");
    settings.cardSyncType = 0;
    ASSERT_TRUE(saveDesktopSettings(desktopSettingsPath(), settings, error));
    DesktopSettings back;
    ASSERT_TRUE(loadDesktopSettings(desktopSettingsPath(), "/Documents", back, error));
    EXPECT_EQ(back.cardSyncType, 0);
}

TEST_F(FileAdderTest, ChangingTheHandheldFormatRenamesTheEntry) {
    auto data = load();
    const auto report = add(*data, {makeFile("Letter.doc")});
    ASSERT_EQ(report.added.size(), 1u);
    TQVDBRecord &entry = *report.added[0];
    ScriptedQuestion none({});
    FileAdder adder(*data->plugins(), data->files(), data->settings(), &none);
    ASSERT_TRUE(changeHandheldFormat(data->files(), adder, entry, 6));
    EXPECT_EQ(entry.record.handheldFormat, 6u);
    EXPECT_EQ(entry.record.handheldName, "Letter.mwd");
    EXPECT_TRUE(none.asked.empty());

    auto reloaded = load();
    ASSERT_EQ(reloaded->files().count(), 1u);
    EXPECT_EQ(reloaded->files().at(0).record.handheldName, "Letter.mwd");
}

}  // namespace
