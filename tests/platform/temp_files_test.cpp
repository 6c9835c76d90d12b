#include "temp_files.h"

#include "home.h"
#include "machine_folder.h"

#include <fstream>
#include <sstream>

using namespace platform;
namespace fs = std::filesystem;

namespace {
std::string readFile(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
}  // namespace

class TempFilesTest : public MachineFolderTest {};

TEST_F(TempFilesTest, TempFilesAreNewEmptyAndDistinct) {
    std::error_code ec;
    auto a = createTempFile("QVPD", ec);
    auto b = createTempFile("QVPD", ec);
    ASSERT_TRUE(a && b) << ec.message();
    EXPECT_NE(*a, *b);
    EXPECT_EQ(a->parent_path(), tempFolder());
    EXPECT_EQ(a->filename().string().rfind("QVPD", 0), 0u);
    EXPECT_EQ(a->extension(), ".tmp");
    EXPECT_EQ(fs::file_size(*a), 0u);
    EXPECT_FALSE(createTempFileIn(home() / "missing", "X", ec));
    EXPECT_TRUE(ec);
}

TEST_F(TempFilesTest, AtomicReplacementLeavesOldOrNewContent) {
    const fs::path target = home() / "settings.ini";
    std::error_code ec;
    ASSERT_TRUE(writeFileAtomically(target, "first", ec));
    ASSERT_TRUE(writeFileAtomically(target, "second", ec));
    EXPECT_EQ(readFile(target), "second");
    {
        AtomicFile file(target);
        ASSERT_TRUE(file.open(ec));
        ASSERT_TRUE(file.write("third", 5, ec));
        // Dropped without commit: the target keeps its content.
    }
    EXPECT_EQ(readFile(target), "second");
    // No temporary file is left behind.
    int entries = 0;
    for (auto &e : fs::directory_iterator(home())) entries += e.is_regular_file();
    EXPECT_EQ(entries, 1);
    EXPECT_FALSE(writeFileAtomically(home() / "missing" / "x", "y", ec));
}
