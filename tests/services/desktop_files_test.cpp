// Desktop files: temporary files, existence tests, deleting, replacing
// without losing the old file (every step made to fail), unique names.
#include "desktop_fault_hooks.h"
#include "services_fixture.h"
#include "shared_file.h"

#include <cerrno>
#include <cstring>

namespace servicestest {
namespace {

using DesktopFilesTest = MachineFolderTest;

TEST_F(DesktopFilesTest, TemporaryFilesAreNewEmptyAndNamedByTheirPrefix) {
    char path[QVDP_MAX_PATH];
    ASSERT_EQ(QVPCGetTempFileName(path), 1);
    EXPECT_EQ(fs::path(path).parent_path(), home() / "temp");
    EXPECT_EQ(fs::path(path).filename().string().rfind("QVPD", 0), 0u);
    EXPECT_EQ(fs::file_size(path), 0u);

    char second[QVDP_MAX_PATH];
    int fd = QVPCGetTempFileHandle(second);
    ASSERT_GE(fd, 0);
    EXPECT_STRNE(path, second);
    // Opened without sharing: nobody else gets the file meanwhile.
    EXPECT_LT(platform::openFile(second, platform::Access::Read, platform::Disposition::OpenExisting,
                                 platform::Share::Read), 0);
    ::close(fd);

    ASSERT_EQ(QVPCGetTempFileInPath(desk().c_str(), path), 1);
    EXPECT_EQ(fs::path(path).parent_path(), desk());
    EXPECT_EQ(fs::path(path).filename().string().rfind("QVPC", 0), 0u);
    EXPECT_EQ(QVPCGetTempFileInPath((desk() / "missing").c_str(), path), 0);
}

TEST_F(DesktopFilesTest, ExistenceTestsAndFolderCreation) {
    writeFile(desk() / "a.doc", "x");
    EXPECT_EQ(QVPCFileExists(deskPath("a.doc").c_str()), 1);
    EXPECT_EQ(QVPCFileExists(desk().c_str()), 1);
    EXPECT_EQ(QVPCFileExists(deskPath("b.doc").c_str()), 0);
    EXPECT_EQ(QVPCDirectoryExists(desk().c_str()), 1);
    EXPECT_EQ(QVPCDirectoryExists(deskPath("a.doc").c_str()), 0);

    EXPECT_EQ(QVPCCheckPath(desk().c_str()), 1);
    EXPECT_EQ(QVPCCheckPath(deskPath("new").c_str()), 1);
    EXPECT_TRUE(fs::is_directory(desk() / "new"));
    EXPECT_EQ(QVPCCheckPath(deskPath("x/y").c_str()), 0);  // one level only
    EXPECT_EQ(QVPCCheckPath(deskPath("a.doc").c_str()), 0);
}

TEST_F(DesktopFilesTest, DeleteFailureIsAFileErrorNamingThePath) {
    writeFile(desk() / "a.doc", "x");
    QVDP_Error e = cleared();
    EXPECT_EQ(QVPCDeleteFile(&e, deskPath("a.doc").c_str()), 1);
    EXPECT_EQ(e.code, 0);
    EXPECT_FALSE(fs::exists(desk() / "a.doc"));

    EXPECT_EQ(QVPCDeleteFile(&e, deskPath("a.doc").c_str()), 0);
    EXPECT_EQ(e.kind, QVDP_KIND_FILE);
    EXPECT_EQ(e.code, 61);
    EXPECT_EQ(e.win32Error, uint32_t(ENOENT));
    EXPECT_EQ(std::string(e.text), deskPath("a.doc"));
}

// ---- QVPCReplaceFile ----

class ReplaceFileTest : public MachineFolderTest {
protected:
    void SetUp() override {
        MachineFolderTest::SetUp();
        writeFile(desk() / "list.dat", "old");
        writeFile(desk() / "list.dat.tmp", "new");
    }
    int32_t replace() {
        return QVPCReplaceFile(deskPath("list.dat").c_str(), deskPath("list.dat.tmp").c_str(),
                               deskPath("list.dat.bak").c_str());
    }
};

TEST_F(ReplaceFileTest, NewFileTakesTheNameAndTheBackupGoes) {
    writeFile(desk() / "list.dat.bak", "stale");
    EXPECT_EQ(replace(), 1);
    EXPECT_EQ(readFile(desk() / "list.dat"), "new");
    EXPECT_FALSE(fs::exists(desk() / "list.dat.tmp"));
    EXPECT_FALSE(fs::exists(desk() / "list.dat.bak"));
}

TEST_F(ReplaceFileTest, MissingTargetSimplyReceivesTheNewFile) {
    fs::remove(desk() / "list.dat");
    EXPECT_EQ(replace(), 1);
    EXPECT_EQ(readFile(desk() / "list.dat"), "new");
}

TEST_F(ReplaceFileTest, EveryFailingStepLeavesTheOldFileInPlace) {
    struct Step { const char *what; DesktopFaultPlan plan; bool staleBackup; } steps[] = {
        {"deleting the old backup", {{}, {1}}, true},
        {"moving the target aside", {{1}, {}}, false},
        {"moving the new file in", {{2}, {}}, false},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        writeFile(desk() / "list.dat", "old");
        writeFile(desk() / "list.dat.tmp", "new");
        if (step.staleBackup) writeFile(desk() / "list.dat.bak", "stale");
        {
            ScopedDesktopFaults faults(step.plan);
            EXPECT_EQ(replace(), 0);
        }
        EXPECT_EQ(readFile(desk() / "list.dat"), "old");
        EXPECT_EQ(readFile(desk() / "list.dat.tmp"), "new");
        fs::remove(desk() / "list.dat.bak");
    }
}

TEST_F(ReplaceFileTest, WhenEvenTheWayBackFailsTheOldFileStaysAtTheBackupPath) {
    ScopedDesktopFaults faults({{2, 3}, {}});
    EXPECT_EQ(replace(), 0);
    EXPECT_EQ(readFile(desk() / "list.dat.bak"), "old");
    EXPECT_EQ(readFile(desk() / "list.dat.tmp"), "new");
}

TEST_F(ReplaceFileTest, BackupThatCannotBeDeletedAfterwardsDoesNotUndoTheReplacement) {
    ScopedDesktopFaults faults({{}, {1}});
    EXPECT_EQ(replace(), 1);
    EXPECT_EQ(readFile(desk() / "list.dat"), "new");
}

// ---- QVPCReplaceTmpFile ----

class ReplaceTmpFileTest : public MachineFolderTest {
protected:
    void SetUp() override {
        MachineFolderTest::SetUp();
        writeFile(desk() / "a.doc", "old");
        writeFile(desk() / "a.doc.TMP", "new");
    }
    int32_t replace(QVDP_Error &e) {
        return QVPCReplaceTmpFile(&e, deskPath("a.doc.TMP").c_str(), deskPath("a.doc").c_str());
    }
};

TEST_F(ReplaceTmpFileTest, ReplacesThroughTheAsideFile) {
    writeFile(desk() / "a.doc.$$$", "leftover");
    QVDP_Error e = cleared();
    EXPECT_EQ(replace(e), 1);
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(readFile(desk() / "a.doc"), "new");
    EXPECT_FALSE(fs::exists(desk() / "a.doc.$$$"));
    EXPECT_FALSE(fs::exists(desk() / "a.doc.TMP"));

    fs::remove(desk() / "a.doc");
    writeFile(desk() / "a.doc.TMP", "newer");
    EXPECT_EQ(replace(e), 1);
    EXPECT_EQ(readFile(desk() / "a.doc"), "newer");
}

TEST_F(ReplaceTmpFileTest, EveryFailingStepIsAFileErrorAndKeepsTheOldFile) {
    struct Step { const char *what; DesktopFaultPlan plan; bool leftover; const char *blamed; } steps[] = {
        {"deleting the leftover aside file", {{}, {1}, EACCES}, true, "a.doc.$$$"},
        {"moving the target aside", {{1}, {}, EACCES}, false, "a.doc"},
        {"moving the temporary file in", {{2}, {}, EACCES}, false, "a.doc.TMP"},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        writeFile(desk() / "a.doc", "old");
        writeFile(desk() / "a.doc.TMP", "new");
        if (step.leftover) writeFile(desk() / "a.doc.$$$", "leftover");
        QVDP_Error e = cleared();
        {
            ScopedDesktopFaults faults(step.plan);
            EXPECT_EQ(replace(e), 0);
        }
        EXPECT_EQ(e.kind, QVDP_KIND_FILE);
        EXPECT_EQ(e.code, 61);
        EXPECT_EQ(e.win32Error, uint32_t(EACCES));
        EXPECT_EQ(std::string(e.text), deskPath(step.blamed));
        EXPECT_EQ(readFile(desk() / "a.doc"), "old");
        EXPECT_EQ(readFile(desk() / "a.doc.TMP"), "new");
        fs::remove(desk() / "a.doc.$$$");
    }
}

TEST_F(ReplaceTmpFileTest, WhenEvenTheWayBackFailsTheOldFileStaysAside) {
    QVDP_Error e = cleared();
    {
        ScopedDesktopFaults faults({{2, 3}, {}});
        EXPECT_EQ(replace(e), 0);
    }
    EXPECT_EQ(readFile(desk() / "a.doc.$$$"), "old");
    EXPECT_EQ(readFile(desk() / "a.doc.TMP"), "new");
}

TEST_F(ReplaceTmpFileTest, MissingTargetFailingMoveBlamesTheTemporaryFile) {
    fs::remove(desk() / "a.doc");
    QVDP_Error e = cleared();
    {
        ScopedDesktopFaults faults({{1}, {}});
        EXPECT_EQ(replace(e), 0);
    }
    EXPECT_EQ(e.code, 61);
    EXPECT_EQ(std::string(e.text), deskPath("a.doc.TMP"));
    EXPECT_EQ(readFile(desk() / "a.doc.TMP"), "new");
}

// ---- GenerateUniquePCFileName ----

TEST_F(DesktopFilesTest, UniqueDesktopNameSkipsTakenNumbers) {
    writeFile(desk() / "a.doc", "");
    writeFile(desk() / "a(1).doc", "");
    char out[QVDP_MAX_PATH];
    EXPECT_EQ(GenerateUniquePCFileName(deskPath("a.doc").c_str(), out), 1);
    EXPECT_EQ(std::string(out), deskPath("a(2).doc"));

    EXPECT_EQ(GenerateUniquePCFileName(deskPath("free.doc").c_str(), out), 1);
    EXPECT_EQ(std::string(out), deskPath("free.doc"));

    // A folder of that name counts as taken; a dot in the folder is no extension.
    fs::create_directories(desk() / "v1.2" / "notes");
    EXPECT_EQ(GenerateUniquePCFileName((desk() / "v1.2" / "notes").c_str(), out), 1);
    EXPECT_EQ(fs::path(out), desk() / "v1.2" / "notes(1)");
}

TEST_F(DesktopFilesTest, UniqueDesktopNameIsShortenedToTheLimit) {
    std::string folder = desk().string() + "/";
    std::string name = std::string(259 - folder.size() - 4, 'n') + ".doc";  // exactly 259 characters
    writeFile(folder + name, "");
    char out[QVDP_MAX_PATH];
    ASSERT_EQ(GenerateUniquePCFileName((folder + name).c_str(), out), 1);
    std::string result(out);
    EXPECT_EQ(result.size(), 259u);
    EXPECT_EQ(result.substr(result.size() - 7), "(1).doc");
    EXPECT_EQ(result.substr(0, folder.size()), folder);
}

TEST_F(DesktopFilesTest, UniqueDesktopNameWhenEveryNumberIsTakenIsNoSuccess) {
    writeFile(desk() / "f", "");
    for (int n = 1; n <= 9998; ++n) writeFile(desk() / ("f(" + std::to_string(n) + ")"), "");
    char out[QVDP_MAX_PATH];
    EXPECT_EQ(GenerateUniquePCFileName(deskPath("f").c_str(), out), 0);
    EXPECT_EQ(std::string(out), deskPath("f(9998)"));
}

}  // namespace
}  // namespace servicestest
