#include "card_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> pathRecord(uint8_t deleted, const std::string &path) {
    std::vector<uint8_t> b(qv::kCardPathRecordSize);
    EXPECT_TRUE(qv::encodeCardPathRecord({deleted, path}, b));
    return b;
}

TEST(CardsTableRecord, RecordFieldsLieAtTheirOffsetsAndRoundTrip) {
    qv::CardsTableRecord r;
    r.cardKind = qv::kCardMemoryCard;
    for (size_t i = 0; i < 16; ++i) r.cardId[i] = uint8_t(0x30 + i);
    r.cardName = "SD 2GB";
    r.capacity = 0x7FFF0000;
    r.usedBytes = 0x00123456;
    r.nameChangedOnDesktop = 1;
    r.lastSyncDate = 45000.5;
    r.presentAtLastSync = 1;
    std::vector<uint8_t> b(qv::kCardsTableRecordSize, 0xEE);
    ASSERT_TRUE(qv::encodeCardsTableRecord(r, b));

    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 5), (std::vector<uint8_t>{2, 0, 0, 0, 0x30}));
    EXPECT_STREQ(reinterpret_cast<const char *>(&b[20]), "SD 2GB");
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 276, b.begin() + 288),
              (std::vector<uint8_t>{0, 0, 0xFF, 0x7F, 0x56, 0x34, 0x12, 0, 1, 0, 0, 0}));
    double date;
    std::memcpy(&date, &b[288], sizeof date);   // the test host is little-endian
    EXPECT_EQ(date, 45000.5);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 296, b.end()), (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));

    auto back = qv::decodeCardsTableRecord(b);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, r);

    r.cardName.assign(256, 'n');
    auto out = b;
    EXPECT_FALSE(qv::encodeCardsTableRecord(r, out));
    EXPECT_EQ(out, b);
    std::memset(&b[20], 'n', 256);
    EXPECT_FALSE(qv::decodeCardsTableRecord(b));
    EXPECT_FALSE(qv::decodeCardsTableRecord(std::span<const uint8_t>(b).first(303)));
}

TEST(CardsTableRecord, OnlyWholeRecordsCount) {
    EXPECT_EQ(qv::cardsTableRecordCount(2 * 304 + 100), 2u);
    EXPECT_EQ(qv::cardsTableRecordCount(303), 0u);
}

TEST(CardIdentityFile, FirstSixteenBytesOfTheFile) {
    std::vector<uint8_t> file(16);
    for (size_t i = 0; i < 16; ++i) file[i] = uint8_t(i + 1);
    auto id = qv::decodeCardIdentity(file);
    ASSERT_TRUE(id);
    EXPECT_EQ((*id)[15], 16);
    file.pop_back();
    EXPECT_FALSE(qv::decodeCardIdentity(file));
}

TEST(CardPathsFile, DeletedRepeatedAndPartialRecordsAreLeftOut) {
    std::vector<uint8_t> file;
    for (const auto &r : {pathRecord(0, "/Documents"), pathRecord(1, "/Old"), pathRecord(0, "/documents/"),
                          pathRecord(0, "/Music"), pathRecord(0, "/MUSIC")})
        file.insert(file.end(), r.begin(), r.end());
    std::vector<uint8_t> unterminated(qv::kCardPathRecordSize, 'x');
    unterminated[0] = 0;
    file.insert(file.end(), unterminated.begin(), unterminated.end());
    file.insert(file.end(), 100, 0);   // trailing partial record

    EXPECT_EQ(qv::readCardPaths(file), (std::vector<std::string>{"/Documents", "/Music"}));

    auto written = qv::writeCardPaths({"/Documents", "/DOCUMENTS/", "/Books"});
    ASSERT_TRUE(written);
    ASSERT_EQ(written->size(), 2 * qv::kCardPathRecordSize);
    EXPECT_EQ((*written)[0], 0);
    EXPECT_EQ(qv::readCardPaths(*written), (std::vector<std::string>{"/Documents", "/Books"}));
    EXPECT_FALSE(qv::writeCardPaths({std::string(256, 'f')}));
}

}  // namespace
