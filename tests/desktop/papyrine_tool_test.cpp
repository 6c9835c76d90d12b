// The papyrine command line: what people and scripts see, and its exit
// statuses.
#include "desktop_fixture.h"
#include "times.h"


namespace {

using desktoptest::DesktopTest;

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

class PapyrineToolTest : public DesktopTest {};

TEST_F(PapyrineToolTest, AnInstallationWithoutUsersOrPluginsIsReported) {
    auto r = papyrine({"list"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.output, "incomplete or damaged")) << r.output;
    registerPlugin();
    r = papyrine({"add", makeFile("a.doc")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.output, "there is no Palm user")) << r.output;
    addUser("Ann");
    r = papyrine({"list", "--user", "Bob"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.output, "no Palm user named \"Bob\"")) << r.output;
    EXPECT_EQ(papyrine({"list", "--bogus"}).status, 2);
    EXPECT_EQ(papyrine({"frobnicate"}).status, 2);
    r = papyrine({"users"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.output, "Ann *\t")) << r.output;
}

TEST_F(PapyrineToolTest, AddListChangeAndRemove) {
    registerPlugin();
    addUser("Ann");
    const std::string letter = makeFile("Letter.doc"), notes = makeFile("notes.txt");
    auto r = papyrine({"add", "--handheld-format", "tarvoc docs", letter});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(contains(r.output, "as \"Letter.mwd\" (Palm Device, Tarvoc Docs)")) << r.output;

    r = papyrine({"add", "--handheld-format", "21", notes, letter, makeFile("x.xyz")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.output, "The following files cannot be added:\n"
                                   "  notes.txt\tThe handheld format is not offered for this file\n"
                                   "  Letter.doc\tThe handheld format is not offered for this file\n"
                                   "  x.xyz\tNot supported file format\n"))
        << r.output;
    EXPECT_TRUE(contains(r.output, "Handheld formats offered for Text File files: Text File (2)")) << r.output;

    ASSERT_EQ(papyrine({"add", notes}).status, 0);
    r = papyrine({"list"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(contains(r.output, "Name\tLocation\tFormat\tStatus\tDesktop path\n"
                                   "Letter.mwd\tPalm Device\tTarvoc Docs\tNeed sync\t" + letter + "\n" +
                                   "notes.txt\tPalm Device\tText File\tNeed sync\t" + notes + "\n2 file(s)\n"))
        << r.output;

    r = papyrine({"set-format", "Letter.mwd", "Microsoft Word"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(contains(r.output, "\"Letter.doc\" goes to the handheld as Microsoft Word.")) << r.output;
    r = papyrine({"set-format", letter, "Text File"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.output, "offered: Microsoft Word (1), Tarvoc Docs (6)")) << r.output;

    std::filesystem::remove(notes);
    r = papyrine({"list"});
    EXPECT_TRUE(contains(r.output, "notes.txt\tPalm Device\tText File\tMissing desktop file\t")) << r.output;

    r = papyrine({"remove", "letter.DOC", "nothing.doc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.output, "Removed \"Letter.doc\".")) << r.output;
    EXPECT_TRUE(contains(r.output, "no listed file is called \"nothing.doc\"")) << r.output;
    r = papyrine({"list"});
    EXPECT_TRUE(contains(r.output, "\n1 file(s)\n")) << r.output;
}

TEST_F(PapyrineToolTest, ASynchronizedEntryIsMarkedRemovedUntilTheNextHotSync) {
    registerPlugin();
    const uint32_t ann = addUser("Ann");
    const std::string letter = makeFile("Letter.doc");
    ASSERT_EQ(papyrine({"add", letter}).status, 0);
    {
        desktop::DesktopData data;
        std::string problem;
        ASSERT_TRUE(data.selectUser(ann, problem));
        desktop::TQVDBRecord &e = data.files().at(0);
        e.record.syncedFileTime = platform::fileTimeNow() + 10000000;
        e.record.status = 1;
        ASSERT_EQ(data.files().updateInPlace(e, false), 0);
    }
    EXPECT_TRUE(contains(papyrine({"list"}).output, "\tSynchronized\t"));
    auto r = papyrine({"set-format", "Letter.doc", "6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.output, "already been synchronized")) << r.output;
    r = papyrine({"remove", letter});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(contains(r.output, "the next HotSync removes it")) << r.output;
    EXPECT_TRUE(contains(papyrine({"list"}).output, "\n0 file(s)\n"));
    desktop::DesktopData data;
    std::string problem;
    ASSERT_TRUE(data.selectUser(ann, problem));
    ASSERT_EQ(data.files().count(), 1u);
    EXPECT_EQ(data.files().at(0).record.removed, 1);
}

TEST_F(PapyrineToolTest, AddingWhileAnotherProcessHoldsTheDatabaseGivesDatabaseError) {
    registerPlugin();
    const uint32_t ann = addUser("Ann");
    ASSERT_EQ(papyrine({"add", makeFile("first.txt")}).status, 0);
    const auto database = userFolder(ann) / "QVPapyrine" / "PapyrineSync.dat";
    desktoptest::FileHolder holder(database.string());
    ASSERT_TRUE(holder.holding());
    const auto r = papyrine({"add", makeFile("a.txt"), makeFile("b.doc")});
    holder.stop();
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.output, "  a.txt\tDatabase error\n  b.doc\tDatabase error\n")) << r.output;
    EXPECT_TRUE(contains(papyrine({"list"}).output, "\n1 file(s)\n"));
}

TEST_F(PapyrineToolTest, FilesGoToANamedCard) {
    registerPlugin();
    const uint32_t ann = addUser("Ann");
    palm::users::setSlots(ann, {{1, "SD Slot"}});
    auto r = papyrine({"add", "--card", "Nope", makeFile("a.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.output, "known: \"SD Slot\" (slot)")) << r.output;
    r = papyrine({"add", "--card", "sd slot", makeFile("a.txt")});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(contains(r.output, "(SD Slot:/Documents, Text File)")) << r.output;
    r = papyrine({"list", "--card", "SD Slot"});
    EXPECT_TRUE(contains(r.output, "a.txt\tSD Slot:/Documents\tText File\tNeed sync\t")) << r.output;
}

}  // namespace
