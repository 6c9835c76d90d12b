#include "byte_stream.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(MemoryStream, SeekReportsTheDistanceMovedAndNeverGoesBeforeZero) {
    conv::MemoryStream s;
    EXPECT_EQ(s.write("abcdef", 6), 6u);
    EXPECT_EQ(s.seek(-10, conv::ByteStream::kCurrent), -6);
    EXPECT_EQ(s.tell(), 0);
    char buf[4] = {};
    EXPECT_EQ(s.read(buf, 4), 4u);
    EXPECT_EQ(std::string(buf, 4), "abcd");
    EXPECT_EQ(s.extendTo(10), 0);
    EXPECT_EQ(s.size(), 10);
    s.setLimit(12);
    s.seek(0, conv::ByteStream::kEnd);
    EXPECT_EQ(s.write("xyz", 3), 2u);
}

TEST(FileStream, AWriterSharesNothingAReaderSharesReading) {
    auto path = std::filesystem::temp_directory_path() / "qv_filestream_test.bin";
    {
        conv::FileStream w(path.string(), conv::FileStream::kWrite);
        ASSERT_TRUE(w.isOpen());
        EXPECT_EQ(w.write("hello", 5), 5u);
        conv::FileStream r(path.string(), conv::FileStream::kRead);
        EXPECT_FALSE(r.isOpen());
    }
    conv::FileStream r1(path.string(), conv::FileStream::kRead);
    conv::FileStream r2(path.string(), conv::FileStream::kRead);
    ASSERT_TRUE(r1.isOpen());
    EXPECT_TRUE(r2.isOpen());
    EXPECT_EQ(r1.size(), 5);
    conv::FileStream w2(path.string(), conv::FileStream::kWrite);
    EXPECT_FALSE(w2.isOpen());
    std::filesystem::remove(path);
}
