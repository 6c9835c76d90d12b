#include "db_test_support.h"
#include "status_codes.h"

#include <cstring>

using namespace dbtest;

namespace {

qv::Guid guid(uint8_t first) {
    qv::Guid g;
    for (size_t i = 0; i < g.size(); ++i) g[i] = uint8_t(first + i);
    return g;
}

qv::SyncFileRecord sampleDesktopRecord() {
    qv::SyncFileRecord r;
    r.recordId = guid(0x10);
    r.dateAdded = 45123.75;
    r.desktopPath = "/home/ann/Documents/Report.doc";
    r.handheldName = "Report";
    r.cardFolder = "/Documents";
    r.pluginId = 0x51567079;
    r.desktopCategory = 1;
    r.desktopFormat = 0x0101;
    r.handheldFormat = 0x0202;
    r.handheldSize = 123456;
    r.palmCategory = 3;
    r.status = qv::kSynchronized;
    r.syncMode = qv::kSyncBothWays;
    r.creationMark = qv::kCreatedByDesktop;
    r.locationKind = qv::kLocationCard;
    r.locationId = guid(0xA0);
    r.syncedFileTime = 0x01DA0B0C0D0E0F10ull;
    r.handheldStamp = 0x01020304;
    r.removed = 1;
    r.handheldFlags = 0x81;
    return r;
}

uint32_t le32At(const std::vector<uint8_t> &b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(SyncFileRecord, EveryFieldLiesAtItsOffsetAndRoundTrips) {
    auto r = sampleDesktopRecord();
    std::vector<uint8_t> b(qv::kSyncFileRecordSize, 0xEE);
    ASSERT_TRUE(qv::encodeSyncFileRecord(r, b));

    EXPECT_EQ(b[0], 0x10);
    EXPECT_EQ(b[15], 0x1F);
    double date;
    uint64_t bits = uint64_t(le32At(b, 16)) | uint64_t(le32At(b, 20)) << 32;
    std::memcpy(&date, &bits, sizeof date);
    EXPECT_EQ(date, 45123.75);
    EXPECT_STREQ(reinterpret_cast<const char *>(&b[24]), r.desktopPath.c_str());
    EXPECT_EQ(b[24 + 259], 0);
    EXPECT_STREQ(reinterpret_cast<const char *>(&b[284]), "Report");
    EXPECT_STREQ(reinterpret_cast<const char *>(&b[544]), "/Documents");
    struct Field { size_t offset; uint32_t value; };
    for (Field f : {Field{804, r.pluginId}, Field{808, 1}, Field{812, 0x0101}, Field{816, 0x0202},
                    Field{820, 123456}, Field{824, 3}, Field{828, 1}, Field{832, 1}, Field{836, 9},
                    Field{840, 2}, Field{860, 0x0D0E0F10}, Field{864, 0x01DA0B0C}, Field{868, 0x01020304}}) {
        EXPECT_EQ(le32At(b, f.offset), f.value) << "offset " << f.offset;
    }
    EXPECT_EQ(b[844], 0xA0);
    EXPECT_EQ(b[859], 0xAF);
    EXPECT_EQ(b[872], 1);
    EXPECT_EQ(b[873], 0x81);

    auto back = qv::decodeSyncFileRecord(b);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, r);
}

TEST(SyncFileRecord, TextsMustFitTheirFieldAndBeTerminated) {
    auto r = sampleDesktopRecord();
    r.desktopPath = std::string(259, 'p');
    std::vector<uint8_t> b(qv::kSyncFileRecordSize);
    ASSERT_TRUE(qv::encodeSyncFileRecord(r, b));
    EXPECT_EQ(qv::decodeSyncFileRecord(b)->desktopPath, r.desktopPath);

    std::vector<uint8_t> untouched(qv::kSyncFileRecordSize, 0xEE);
    for (auto change : {+[](qv::SyncFileRecord &x) { x.desktopPath.assign(260, 'p'); },
                        +[](qv::SyncFileRecord &x) { x.cardFolder.assign(300, 'c'); },
                        +[](qv::SyncFileRecord &x) { x.handheldName = std::string("a\0b", 3); }}) {
        auto bad = sampleDesktopRecord();
        change(bad);
        auto out = untouched;
        EXPECT_FALSE(qv::encodeSyncFileRecord(bad, out));
        EXPECT_EQ(out, untouched);
    }
    std::vector<uint8_t> shortOut(873);
    EXPECT_FALSE(qv::encodeSyncFileRecord(r, shortOut));

    // Read side: an unterminated text or a short buffer is refused.
    std::memset(&b[284], 'n', 260);
    EXPECT_FALSE(qv::decodeSyncFileRecord(b));
    EXPECT_FALSE(qv::decodeSyncFileRecord(std::span<const uint8_t>(b).first(873)));
}

TEST(SyncFileRecord, StatusSeventeenOrMoreReadsUnknownError) {
    auto r = sampleDesktopRecord();
    r.status = 17;
    std::vector<uint8_t> b(qv::kSyncFileRecordSize);
    ASSERT_TRUE(qv::encodeSyncFileRecord(r, b));
    auto back = qv::decodeSyncFileRecord(b);
    EXPECT_STREQ(qv::fileStatusShortText(back->status), "Unknown error");
    EXPECT_STREQ(qv::fileStatusLongText(back->status), qv::fileStatusLongText(qv::kNeedSync));
}

TEST(SyncFileRecord, SlotLocationIsTheSlotNumberThenZeros) {
    auto id = qv::slotLocationId(2);
    EXPECT_EQ(id, (qv::Guid{2, 0, 0, 0}));
    EXPECT_EQ(qv::slotOfLocationId(id), 2u);
}

using DesktopList = TempFolder;

// The desktop program writes 880-byte records; the conduit reads them and
// writes its own list with 874-byte records; the desktop program reads that
// back into its 880-byte buffer.
TEST_F(DesktopList, ListWrittenWith880BytesSurvivesRewritingWith874) {
    auto original = sampleDesktopRecord();
    std::vector<uint8_t> desk(qv::kSyncFileRecordSizeDesktop, 0xEE);
    ASSERT_TRUE(qv::encodeSyncFileRecord(original, desk));
    EXPECT_EQ(std::vector<uint8_t>(desk.begin() + 874, desk.end()), std::vector<uint8_t>(6, 0));
    void *h = openDb(file("desk.dat"), 880);
    ASSERT_EQ(QVDP_DBInsertRecord(h, desk.data()), 0);
    QVDP_DBClose(h);

    // Conduit: read with an 880-byte buffer, write with the 874-byte header.
    auto header874 = headerBytes(874);
    ASSERT_EQ(QVDP_DBOpen(file("desk.dat").c_str(), &h, header874.data(), nullptr), 0);
    std::vector<uint8_t> buf(880);
    ASSERT_EQ(QVDP_DBGetRecord(h, 880, buf.data()), 0);
    QVDP_DBClose(h);
    auto read = qv::decodeSyncFileRecord(buf);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, original);
    std::vector<uint8_t> out(qv::kSyncFileRecordSize);
    ASSERT_TRUE(qv::encodeSyncFileRecord(*read, out));
    h = openDb(file("conduit.dat"), 874);
    ASSERT_EQ(QVDP_DBInsertRecord(h, out.data()), 0);
    QVDP_DBClose(h);
    EXPECT_EQ(fs::file_size(file("conduit.dat")), 16u + 874);

    // Desktop program again: its zeroed 880-byte buffer gets 874 bytes.
    ASSERT_EQ(QVDP_DBOpen(file("conduit.dat").c_str(), &h, nullptr, nullptr), 0);
    std::vector<uint8_t> again(880, 0);
    ASSERT_EQ(QVDP_DBLocateRecord(h, original.recordId.data()), 0);
    ASSERT_EQ(QVDP_DBGetRecord(h, 880, again.data()), 0);
    QVDP_DBClose(h);
    EXPECT_EQ(*qv::decodeSyncFileRecord(again), original);
    EXPECT_EQ(again, std::vector<uint8_t>(desk.begin(), desk.end()));
}

TEST(HandheldFileRecord, RamAndCardLayoutsRoundTripWithABigEndianStamp) {
    qv::HandheldFileRecord r;
    r.recordId = guid(0x40);
    r.stamp = 0x0A0B0C0D;
    r.deleted = 1;
    r.syncMode = qv::kSyncCopyOnly;
    r.palmCategory = 5;
    r.flags = qv::kHandheldFlagNoAction | 0x40;
    struct Case { qv::HandheldList list; size_t size; size_t longestName; };
    for (Case c : {Case{qv::HandheldList::Ram, 56, 31}, Case{qv::HandheldList::Card, 280, 255}}) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(qv::handheldRecordSize(c.list), c.size);
        r.name.assign(c.longestName, 'n');
        std::vector<uint8_t> b(c.size + 4, 0xEE);
        ASSERT_TRUE(qv::encodeHandheldFileRecord(r, c.list, b));
        EXPECT_EQ(b[0], 0x40);
        EXPECT_EQ(std::vector<uint8_t>(b.begin() + 16, b.begin() + 24),
                  (std::vector<uint8_t>{0x0A, 0x0B, 0x0C, 0x0D, 1, 0, 5, 0x41}));
        EXPECT_EQ(b[24], 'n');
        EXPECT_EQ(b[c.size - 1], 0);
        EXPECT_EQ(b[c.size], 0xEE);   // nothing past the record
        auto back = qv::decodeHandheldFileRecord(b, c.list);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, r);

        auto tooLong = r;
        tooLong.name.push_back('x');
        auto out = b;
        EXPECT_FALSE(qv::encodeHandheldFileRecord(tooLong, c.list, out));
        EXPECT_EQ(out, b);
        std::memset(&b[24], 'z', c.size - 24);
        EXPECT_FALSE(qv::decodeHandheldFileRecord(b, c.list));
        EXPECT_FALSE(qv::decodeHandheldFileRecord(std::span<const uint8_t>(b).first(c.size - 1), c.list));
    }
}

TEST(HandheldFileRecord, PalmDeletedAttributeMarksTheRecordDeleted) {
    qv::HandheldFileRecord r;
    qv::applyPalmRecordAttributes(r, 0x40);
    EXPECT_EQ(r.deleted, 0);
    qv::applyPalmRecordAttributes(r, 0x48);
    EXPECT_EQ(r.deleted, 1);
}

TEST(CardListHeader, MagicInDesktopOrderTheRestBigEndian) {
    std::array<uint8_t, 16> b{};
    qv::encodeCardListHeader(qv::makeDBHeader(280), b);
    const std::array<uint8_t, 16> want = {0xDC, 0x91, 0x2E, 0x6B, 0, 1, 0, 1, 0, 0, 1, 0x18, 0, 0, 0, 0};
    EXPECT_EQ(b, want);
    auto h = qv::decodeCardListHeader(b, 280);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->recordSize, 280u);
    EXPECT_EQ(h->blobSize, 0u);

    // Record size in the desktop order, or a header of another list, is no card list.
    std::array<uint8_t, 16> desktopOrder{};
    qv::encodeDBHeader(qv::makeDBHeader(280), desktopOrder);
    EXPECT_FALSE(qv::decodeCardListHeader(desktopOrder, 280));
    auto written = want;
    written[8] = 0x00, written[9] = 0x01, written[10] = 0x00, written[11] = 0x00;
    EXPECT_FALSE(qv::decodeCardListHeader(written, 280));
    auto wrongMagic = want;
    wrongMagic[0] = 0x6B;
    EXPECT_FALSE(qv::decodeCardListHeader(wrongMagic, 280));
    EXPECT_FALSE(qv::decodeCardListHeader(std::span<const uint8_t>(want).first(15), 280));
}

TEST(SyncChangeDetection, DesktopTimeAndHandheldStamp) {
    qv::SyncFileRecord d;
    d.syncedFileTime = 0;
    EXPECT_FALSE(qv::desktopFileChanged(d, 1000));   // new, not changed
    d.syncedFileTime = 1000;
    EXPECT_FALSE(qv::desktopFileChanged(d, 1000));
    EXPECT_TRUE(qv::desktopFileChanged(d, 1001));

    qv::HandheldFileRecord h;
    d.handheldStamp = 7;
    h.stamp = 7;
    EXPECT_FALSE(qv::handheldFileChanged(d, h));
    h.stamp = 0x80000000u;   // compared unsigned
    EXPECT_TRUE(qv::handheldFileChanged(d, h));

    d.syncMode = qv::kSyncCopyOnly;
    EXPECT_TRUE(qv::copyOnlyAndDone(d));
    d.syncedFileTime = 0;
    EXPECT_FALSE(qv::copyOnlyAndDone(d));
}

TEST(SyncFileLinking, EqualIdsLinkExceptTheZeroId) {
    EXPECT_TRUE(qv::sameDocument(guid(1), guid(1)));
    EXPECT_FALSE(qv::sameDocument(guid(1), guid(2)));
    EXPECT_FALSE(qv::sameDocument(qv::Guid{}, qv::Guid{}));
}

}  // namespace
