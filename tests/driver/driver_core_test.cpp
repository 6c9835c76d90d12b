// The driver with converters of the test's own, for the paths that need the
// office programs: presentations into the Slides container and back, and
// the spreadsheet and word-processor conversions once they succeed.
#include "driver_fixture.h"

#include "conversion_driver.h"
#include "document_converters.h"
#include "error_record.h"

#include <fstream>

using namespace drivertest;
using qvplugin::DocumentConverters;

namespace {

std::vector<uint8_t> fileBytes(const std::string &path) { return readBytes(path); }

class FakeConverters : public DocumentConverters {
public:
    std::vector<uint8_t> slides = pattern(9000);  // what a presentation becomes
    bool presentationProgram = true;              // false: it cannot be started
    bool presentationFails = false;               // started, then fails
    bool officeSucceeds = true;
    mutable bool officeDestinationExisted = false;
    mutable std::pair<int32_t, int32_t> officePair;

    uint32_t wordToDocs(const std::string &s, const std::string &d) const override { return copy(s, d) ? 0 : 0xA00206; }
    uint32_t docsToWord(const std::string &s, const std::string &d) const override { return copy(s, d) ? 0 : 0xA00206; }
    bool officeConversion(const std::string &s, const std::string &d, int32_t from, int32_t to) const override {
        officeDestinationExisted = fs::exists(d);
        officePair = {from, to};
        if (!officeSucceeds) return false;
        auto bytes = fileBytes(s);
        bytes.insert(bytes.begin(), {'o', 'f', 'f'});
        writeBytes(d, bytes);
        return true;
    }
    bool presentationToSlides(QVDP_Error *error, const std::string &, const std::string &d) const override {
        if (!presentationProgram) return false;
        if (presentationFails) {
            qv::setConversionError(error, d);
            return true;
        }
        writeBytes(d, slides);
        return true;
    }
    bool slidesToPresentation(QVDP_Error *error, const std::string &s, const std::string &d) const override {
        if (!presentationProgram) return false;
        if (presentationFails) {
            qv::setConversionError(error, d);
            return true;
        }
        return copy(s, d);
    }

private:
    static bool copy(const std::string &s, const std::string &d) {
        if (!fs::exists(s)) return false;
        writeBytes(d, fileBytes(s));
        return true;
    }
};

class DriverCoreTest : public DriverTest {
protected:
    FakeConverters converters;
};

}  // namespace

TEST_F(DriverCoreTest, PresentationGoesToTheHandheldAsASlidesContainerAndBack) {
    // A database of that name is replaced, whatever its creator.
    palm::PalmDatabase old;
    old.name = "Deck";
    old.type = fourCC("DATA");
    old.creator = fourCC("else");
    old.records = {{0, 1, {1}}};
    store(old);

    const std::string talk = write("talk.ppt", {'p'});
    QVDP_Error e{};
    qvplugin::copyToPalmDevice(converters, &e, talk.c_str(), "Deck", 31, 32, 0);
    ASSERT_EQ(e.code, 0) << describe(e);
    auto db = database("Deck");
    ASSERT_TRUE(db);
    EXPECT_EQ(db->creator, fourCC("QVSS"));
    EXPECT_EQ(db->type, fourCC("Mppt"));
    EXPECT_EQ(db->attributes, palm::kDbAttrBackup);
    EXPECT_FALSE(db->appInfo);
    EXPECT_FALSE(db->sortInfo);
    ASSERT_EQ(db->records.size(), 3u);
    EXPECT_EQ(db->records[0].data.size(), 4096u);
    EXPECT_EQ(db->records[2].data.size(), 9000u - 8192u);
    std::vector<uint8_t> joined;
    for (const auto &r : db->records) joined.insert(joined.end(), r.data.begin(), r.data.end());
    EXPECT_EQ(joined, converters.slides);
    EXPECT_TRUE(temporaryFiles().empty());

    qvplugin::copyFromPalmDevice(converters, &e, at("back.ppt").c_str(), "Deck", 31, 32);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_EQ(readBytes(desk / "back.ppt"), converters.slides);
    EXPECT_TRUE(temporaryFiles().empty());
}

// A presentation program that cannot be started writes nothing: that is a
// failed conversion, never an empty presentation on either side.
TEST_F(DriverCoreTest, PresentationProgramThatCannotStartIsAConversionError) {
    converters.presentationProgram = false;
    const std::string talk = write("talk.ppt", {'p'});
    QVDP_Error e{};
    qvplugin::convertToPalmDB(converters, &e, talk.c_str(), "Deck", 31, 32, 0, 0, 0);
    EXPECT_EQ(e.kind, QVDP_KIND_CONVERSION);
    EXPECT_EQ(e.code, 17);
    EXPECT_EQ(talk, e.text);
    EXPECT_FALSE(hasDatabase("Deck"));

    palm::PalmDatabase deck;
    deck.name = "Deck";
    deck.type = fourCC("Mppt");
    deck.records = {{0, 1, {1, 2}}};
    store(deck);
    e = {};
    qvplugin::convertFromPalmDB(converters, &e, "Deck", talk.c_str(), 32, 31);
    EXPECT_EQ(e.code, 17);
    EXPECT_EQ(readBytes(talk), (std::vector<uint8_t>{'p'}));  // the prepared copy stays as it was
    EXPECT_TRUE(temporaryFiles().empty());

    // A converter that fails reports its own error.
    converters.presentationProgram = true;
    converters.presentationFails = true;
    e = {};
    qvplugin::convertToPalmDB(converters, &e, talk.c_str(), "New", 31, 32, 0, 0, 0);
    EXPECT_EQ(e.code, 17);
    EXPECT_NE(talk, e.text);
    EXPECT_FALSE(hasDatabase("New"));
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(DriverCoreTest, FailedSlidesWritesLeaveNoDatabase) {
    const std::string talk = write("talk.ppt", {'p'});
    for (const char *operation : {"sync.writeRecord", "sync.closeDatabase"}) {
        SCOPED_TRACE(operation);
        fault(operation, palm::kSyncErrNotEnoughSpace, operation[5] == 'w' ? 2 : 1);
        QVDP_Error e{};
        qvplugin::copyToPalmDevice(converters, &e, talk.c_str(), "Deck", 31, 32, 0);
        palm::clearFaults();
        EXPECT_EQ(e.kind, QVDP_KIND_SYNC) << describe(e);
        EXPECT_EQ(e.code, 41);
        EXPECT_FALSE(hasDatabase("Deck"));
        EXPECT_TRUE(temporaryFiles().empty());
    }
}

TEST_F(DriverCoreTest, OfficeConversionsThatSucceed) {
    const std::string sheet = write("old.wk1", {'w', 'k'});
    QVDP_Error e{};
    qvplugin::convertToPalmDB(converters, &e, sheet.c_str(), "Sheet", 34, 21, 0, fourCC("QVME"), fourCC("XLSa"));
    ASSERT_EQ(e.code, 0) << describe(e);
    // The program creates its output itself: the temporary name is free.
    EXPECT_FALSE(converters.officeDestinationExisted);
    EXPECT_EQ(converters.officePair, std::make_pair(34, 21));
    auto db = database("Sheet");
    ASSERT_TRUE(db);
    EXPECT_EQ(db->type, fourCC("XLSa"));
    EXPECT_EQ(db->creator, fourCC("QVME"));

    qvplugin::convertFromPalmDB(converters, &e, "Sheet", at("new.wk1").c_str(), 21, 34);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_EQ(converters.officePair, std::make_pair(21, 34));
    EXPECT_EQ(readBytes(desk / "new.wk1"), (std::vector<uint8_t>{'o', 'f', 'f', 'o', 'f', 'f', 'w', 'k'}));

    qvplugin::convertFile(converters, &e, at("new.wk1").c_str(), at("page.doc").c_str(), 39, 1);
    ASSERT_EQ(e.code, 0) << describe(e);
    EXPECT_EQ(converters.officePair, std::make_pair(39, 1));
    EXPECT_TRUE(temporaryFiles().empty());
}
