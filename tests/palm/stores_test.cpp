#include "palm_test_support.h"

#include "card_fs.h"
#include "conduit_manager.h"
#include "hotsync_log.h"
#include "install_aide.h"
#include "launcher_store.h"
#include "user_manager.h"

using namespace palm;
using palmtest::PalmTest;

TEST_F(PalmTest, ConduitManagerInstallsAndRemovesACreator) {
    const uint32_t creator = 0x51567079;
    ASSERT_EQ(conduits::install(creator, conduits::kTypeApplication), 0);
    EXPECT_EQ(conduits::install(creator, conduits::kTypeApplication), -1005);
    ASSERT_EQ(conduits::setLibrary(creator, "QVPalmConduit.dll"), 0);
    ASSERT_EQ(conduits::setDirectory(creator, "QVPapyrine"), 0);
    ASSERT_EQ(conduits::setTitle(creator, "Tarvoc Papyrine 7.0"), 0);
    EXPECT_EQ(conduits::setTitle(creator + 1, "x"), kCondErrNotFound);
    conduits::Conduit c;
    ASSERT_EQ(conduits::find(creator, c), 0);
    EXPECT_EQ(c.library, "QVPalmConduit.dll");
    EXPECT_EQ(c.directory, "QVPapyrine");
    EXPECT_EQ(c.title, "Tarvoc Papyrine 7.0");
    EXPECT_EQ(c.type, 1);
    ASSERT_EQ(conduits::list().size(), 1u);
    EXPECT_EQ(conduits::remove(creator), 1);
    EXPECT_EQ(conduits::remove(creator), 0);
    EXPECT_EQ(conduits::find(creator, c), kCondErrNotFound);
    EXPECT_EQ(conduits::install(creator, 1), 0);   // free again
}

TEST_F(PalmTest, LauncherEntriesAreCreatedSavedFoundAndDeleted) {
    ASSERT_EQ(launcher::createManager(), 0);
    launcher::Entry e;
    EXPECT_EQ(launcher::findEntry("Papyrine", e), kLauncherNotFound);
    ASSERT_EQ(launcher::createEntry("Papyrine", 0x51564D42, "/opt/PapyrineDesk", e), 0);
    EXPECT_EQ(e.shortName, "Papyrine");
    e.largeColorPicture = "/opt/office_32_8bit.bmp";
    e.smallGrayPicture = "/opt/office_16_Gray.bmp";
    e.arguments = "/u \"USERNAME%\" ";
    ASSERT_EQ(launcher::saveEntry(e), 0);
    ASSERT_EQ(launcher::saveEntry(e), 0);   // saving again keeps one entry
    EXPECT_EQ(launcher::listEntries().size(), 1u);
    launcher::Entry found;
    ASSERT_EQ(launcher::findEntry("Papyrine", found), 0);
    EXPECT_EQ(found.id, 0x51564D42u);
    EXPECT_EQ(found.program, "/opt/PapyrineDesk");
    EXPECT_EQ(found.arguments, "/u \"USERNAME%\" ");
    EXPECT_EQ(found.smallGrayPicture, "/opt/office_16_Gray.bmp");
    ASSERT_EQ(launcher::deleteEntry("Papyrine"), 0);
    EXPECT_EQ(launcher::deleteEntry("Papyrine"), kLauncherNotFound);
    e.arguments = "line\nbreak";
    EXPECT_EQ(launcher::saveEntry(e), kLauncherBadArgument);
}

TEST_F(PalmTest, HotSyncLogKeepsActivityCodesPerUser) {
    uint32_t id = 0;
    ASSERT_EQ(users::addUser("Test User", id), 0);
    makeHandheld();
    ASSERT_EQ(hslog::addEntry("Tarvoc Papyrine.", hslog::kActivityRunEnd), 0);
    ASSERT_EQ(hslog::addEntry("File Error. WIN32 Error Code: 5\r\nFile : /x", hslog::kActivityConduitMessage), 0);
    std::filesystem::path folder;
    users::userFolder(id, folder);
    EXPECT_EQ(hslog::currentLogFile(), hslog::logFileOfFolder(folder));
    const auto entries = hslog::readLog(hslog::currentLogFile());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].activity, 20);
    EXPECT_EQ(entries[0].text, "Tarvoc Papyrine.");
    EXPECT_EQ(entries[1].activity, 22);
    EXPECT_EQ(entries[1].text, "File Error. WIN32 Error Code: 5\nFile : /x");
}

TEST_F(PalmTest, InstallAideQueuesFilesAndDeliversThemToTheCard) {
    makeHandheld();
    uint32_t id = 0;
    ASSERT_EQ(users::addUser("Test User", id), 0);
    ASSERT_EQ(users::setSlots(id, {{1, "Card Slot 1"}}), 0);
    const auto font = home_ / "Font.ttf";
    palmtest::writeFile(font, {1, 2, 3, 4, 5});
    EXPECT_EQ(installaide::queueFile(1, id, (home_ / "missing.ttf").string()), kInstallErrFileNotFound);
    EXPECT_EQ(installaide::queueFile(1, id + 1, font.string()), kInstallErrUserNotFound);
    EXPECT_EQ(installaide::queueFile(7, id, font.string()), kInstallErrBadArgument);
    ASSERT_EQ(installaide::queueFile(1, id, font.string()), 0);
    ASSERT_EQ(installaide::queuedFiles(id).size(), 1u);

    // No card in the slot: the file stays queued.
    std::vector<std::string> report;
    EXPECT_EQ(installaide::deliverQueuedFiles(id, report), 1);
    std::string error;
    ASSERT_TRUE(Handheld::open("hh", error)->insertCard(1, std::nullopt, std::nullopt, error));
    ASSERT_TRUE(selectHandheld("hh", error));
    report.clear();
    EXPECT_EQ(installaide::deliverQueuedFiles(id, report), 0) << report.back();
    EXPECT_TRUE(installaide::queuedFiles(id).empty());
    vfs::FileRef ref = 0;
    ASSERT_EQ(vfs::fileOpen(1, "/PALM/Launcher/Font.ttf", vfs::kModeRead, ref), 0);
    uint32_t size = 0;
    vfs::fileSize(ref, size);
    EXPECT_EQ(size, 5u);
    vfs::fileClose(ref);
}
