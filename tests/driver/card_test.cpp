// Copies between desktop files and open card files, plain or converted on
// the way through a temporary file.
#include "driver_fixture.h"

#include <cstring>

using namespace drivertest;

namespace {

auto toCard() { return QV_BIND(QVDP_CopyToPalmCard); }
auto fromCard() { return QV_BIND(QVDP_CopyFromPalmCard); }

constexpr uint16_t kWriteMode = palm::vfs::kModeReadWrite | palm::vfs::kModeCreate | palm::vfs::kModeTruncate;
constexpr uint16_t kReadMode = palm::vfs::kModeRead;

}  // namespace

TEST_F(DriverTest, SameFormatCardCopiesCarryTheBytes) {
    const auto bytes = pattern(5000);
    uint32_t card = openCardFile("/Documents/notes.txt", kWriteMode);
    QVDP_Error e{};
    toCard()(&e, write("notes.txt", bytes).c_str(), card, 2, 2);
    palm::vfs::fileClose(card);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_EQ(readBytes(cardFile("/Documents/notes.txt")), bytes);

    card = openCardFile("/Documents/notes.txt", kReadMode);
    fromCard()(&e, at("back.txt").c_str(), card, 2, 2);
    palm::vfs::fileClose(card);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_EQ(readBytes(desk / "back.txt"), bytes);
}

TEST_F(DriverTest, ConvertedCardCopiesGoThroughATemporaryFile) {
    uint32_t card = openCardFile("/Documents/sample.mwd", kWriteMode);
    QVDP_Error e{};
    toCard()(&e, corpusWord("SampleDoc.doc").c_str(), card, 1, 6);
    palm::vfs::fileClose(card);
    ASSERT_EQ(e.code, 0) << describe(e);
    const auto docs = readBytes(cardFile("/Documents/sample.mwd"));
    ASSERT_GE(docs.size(), 4u);
    EXPECT_EQ(std::memcmp(docs.data(), "MWQV", 4), 0);
    EXPECT_TRUE(temporaryFiles().empty());

    card = openCardFile("/Documents/sample.mwd", kReadMode);
    fromCard()(&e, at("sample.doc").c_str(), card, 1, 6);
    palm::vfs::fileClose(card);
    ASSERT_EQ(e.code, 0) << describe(e);
    const auto word = readBytes(desk / "sample.doc");
    ASSERT_GE(word.size(), 8u);
    EXPECT_EQ(std::memcmp(word.data(), "\xD0\xCF\x11\xE0", 4), 0);
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(DriverTest, FailedCardCopiesLeaveNoTemporaryFile) {
    const std::string text = write("text.txt", {'h', 'i'});
    struct Case {
        const char *what;
        const char *faultOperation;  // null: none
        std::string source;
        int32_t from, to;
        int32_t kind, code;
    } cases[] = {
        {"the card is full", "vfs.fileWrite", corpusWord("SampleDoc.doc"), 1, 6, QVDP_KIND_SYNC, 94},
        {"no Word document", nullptr, text, 1, 6, QVDP_KIND_CONVERSION, 17},
        {"no spreadsheet program", nullptr, text, 33, 21, QVDP_KIND_CONVERSION, 17},
        {"no such pair", nullptr, text, 2, 6, QVDP_KIND_CONDUIT, 13},
        {"no desktop file", nullptr, at("missing.doc"), 2, 2, QVDP_KIND_FILE, 61},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const uint32_t card = openCardFile("/Documents/out", kWriteMode);
        if (c.faultOperation) fault(c.faultOperation, palm::kVfsErrVolumeFull);
        QVDP_Error e{};
        toCard()(&e, c.source.c_str(), card, c.from, c.to);
        palm::vfs::fileClose(card);
        palm::clearFaults();
        EXPECT_EQ(e.kind, c.kind) << describe(e);
        EXPECT_EQ(e.code, c.code);
        EXPECT_TRUE(temporaryFiles().empty());
    }
}

TEST_F(DriverTest, FailedCopiesFromTheCardLeaveNoTemporaryFile) {
    // A Docs file whose header breaks off after its mark.
    writeBytes(cardFile("/Documents/garbage.mwd"), {'M', 'W', 'Q', 'V', 0});
    struct Case {
        const char *what;
        const char *faultOperation;
        int32_t desktopFormat, handheldFormat;
        int32_t kind, code;
    } cases[] = {
        {"the card cannot be read", "vfs.fileRead", 1, 6, QVDP_KIND_SYNC, 93},
        {"no Docs file", nullptr, 1, 6, QVDP_KIND_CONVERSION, 17},
        {"no spreadsheet program", nullptr, 33, 21, QVDP_KIND_CONVERSION, 17},
        {"no such pair", nullptr, 2, 6, QVDP_KIND_CONDUIT, 13},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const uint32_t card = openCardFile("/Documents/garbage.mwd", kReadMode);
        if (c.faultOperation) fault(c.faultOperation, palm::kExpErrCardNotPresent);
        QVDP_Error e{};
        fromCard()(&e, at("out").c_str(), card, c.desktopFormat, c.handheldFormat);
        palm::vfs::fileClose(card);
        palm::clearFaults();
        EXPECT_EQ(e.kind, c.kind) << describe(e);
        EXPECT_EQ(e.code, c.code);
        if (c.kind == QVDP_KIND_CONVERSION && c.desktopFormat == 33) { EXPECT_EQ(at("out"), e.text); }
        EXPECT_TRUE(temporaryFiles().empty());
    }
}
