#include "error_record.h"
#include "status_codes.h"

#include <gtest/gtest.h>

#include <string>

TEST(StatusCodes, TextsOfKnownAndUnknownCodes) {
    EXPECT_STREQ(qv::statusText(0), "No Error");
    EXPECT_STREQ(qv::statusText(62), "Read file error");
    EXPECT_STREQ(qv::statusText(96), "Cannot make backup. Please free some space.");
    EXPECT_EQ(qv::statusText(9), nullptr);
    EXPECT_EQ(qv::statusText(-1), nullptr);
}

TEST(FileStatus, SeventeenOrMoreReadsUnknownWithTheLongTextOfZero) {
    EXPECT_STREQ(qv::fileStatusShortText(13), "Sync error");
    EXPECT_STREQ(qv::fileStatusShortText(16), "Unknown error");
    for (int32_t s : {17, 1000, -1}) {
        EXPECT_STREQ(qv::fileStatusShortText(s), "Unknown error");
        EXPECT_STREQ(qv::fileStatusLongText(s), qv::fileStatusLongText(0));
    }
}

TEST(ErrorRecord, TextIsCutToTheFieldAndTerminated) {
    QVDP_Error e;
    qv::clearError(&e);
    std::string longPath(400, 'x');
    qv::setFileError(&e, 61, longPath, 2);
    EXPECT_EQ(e.kind, QVDP_KIND_FILE);
    EXPECT_EQ(e.code, 61);
    EXPECT_EQ(e.win32Error, 2u);
    EXPECT_EQ(std::string(e.text).size(), 259u);
}
