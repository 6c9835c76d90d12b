#include "shared_file.h"

#include "child_process.h"
#include "machine_folder.h"

#include <cerrno>

using namespace platform;

class SharedFileTest : public MachineFolderTest {};

TEST_F(SharedFileTest, FileOpenedWithoutSharingRefusesOtherProcesses) {
    const std::string path = (home() / "PapyrineSync.dat").string();
    ChildProcess holder({"file-hold", path});
    ASSERT_EQ(holder.readLine(), "ready");
    EXPECT_EQ(runHelper({"file-open", path, "write"}), 1);
    EXPECT_EQ(runHelper({"file-open", path, "read"}), 1);
    errno = 0;
    EXPECT_EQ(openFile(path, Access::Read, Disposition::OpenExisting, Share::Read), -1);
    EXPECT_EQ(errno, EBUSY);
    holder.kill();
    EXPECT_EQ(runHelper({"file-open", path, "write"}), 0);
    int fd = openFile(path, Access::ReadWrite, Disposition::OpenExisting, Share::None);
    EXPECT_GE(fd, 0);
    closeFile(fd);
}

TEST_F(SharedFileTest, ReadersThatShareReadingMeetEachOther) {
    const std::string path = (home() / "list.dat").string();
    int writer = openFile(path, Access::ReadWrite, Disposition::CreateAlways, Share::None);
    ASSERT_GE(writer, 0);
    closeFile(writer);
    int reader = openFile(path, Access::Read, Disposition::OpenExisting, Share::Read);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(runHelper({"file-open", path, "read"}), 0);
    EXPECT_EQ(runHelper({"file-open", path, "write"}), 1);
    closeFile(reader);
}
