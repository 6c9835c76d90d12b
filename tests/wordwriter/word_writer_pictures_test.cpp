// Pictures in the Word writer: the exact "Data" layouts of JPEG, PNG and
// bitmap pictures, Word pictures copied byte for byte, handheld bitmaps
// decoded into Windows bitmaps, shape ids and unique ids.
#include "writer_support.h"

#include "byte_order.h"
#include "docs_reader.h"
#include "word_writer.h"
#include "word_writer_pictures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace conv;
namespace fs = std::filesystem;

namespace {

uint16_t u16At(const std::vector<uint8_t> &b, size_t at) { return at + 2 <= b.size() ? qv::loadLE16(&b[at]) : 0; }
uint32_t u32At(const std::vector<uint8_t> &b, size_t at) { return at + 4 <= b.size() ? qv::loadLE32(&b[at]) : 0; }

// The temporary folder of the handheld bitmaps lies in a machine folder of its own.
class Pictures : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = fs::temp_directory_path() / ("qv_wordwriter_" + std::to_string(::getpid()));
        fs::create_directories(home_);
        ::setenv("PAPYRINE_HOME", home_.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(home_); }
    fs::path home_;
};

struct PictureInput {
    DocsPicture record;
    std::vector<uint8_t> data;  // everything after the record
};

// A picture of a format with the eight-byte prefix.
PictureInput prefixed(uint8_t format, uint32_t imageOffset, const std::vector<uint8_t> &bytes, uint32_t length) {
    PictureInput p;
    p.record.depth = 16;
    p.record.format = format;
    p.record.pixelWidth = 300;
    p.record.pixelHeight = 150;
    p.data.resize(8);
    qv::storeBE32(&p.data[0], imageOffset);
    qv::storeBE32(&p.data[4], length);
    p.data.insert(p.data.end(), bytes.begin(), bytes.end());
    p.record.dataSize = uint32_t(p.data.size());
    return p;
}

std::vector<uint8_t> docsWithPictures(const std::vector<PictureInput> &pictures) {
    return wwtest::docsSection([&](DocsStream &s) {
        s.writeParagraph(DocsParagraph());
        for (const PictureInput &p : pictures) {
            s.writePicture(p.record);
            s.writeBytes(p.data.data(), p.data.size());
        }
        s.writeParagraphEnd();
    });
}

std::vector<uint8_t> bytes(size_t n, uint8_t seed) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(seed + i * 13);
    return b;
}

// A handheld bitmap in the plain form: a 10-byte header and the rows.
std::vector<uint8_t> handheld(uint16_t width, uint16_t height, uint8_t bits, const std::vector<uint8_t> &rows) {
    std::vector<uint8_t> b(10, 0);
    b[0] = 10;
    qv::storeBE16(&b[2], width);
    qv::storeBE16(&b[4], height);
    b[6] = bits;
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

// The pixel at x of the bottom row of a 24-bit bitmap file (blue, green, red).
Rgb pixel(const std::vector<uint8_t> &file, uint32_t x, uint32_t rowFromBottom = 0) {
    uint32_t width = u32At(file, 18);
    size_t row = (size_t(width) * 3 + 3) & ~size_t(3);
    size_t at = 54 + rowFromBottom * row + 3 * x;
    return {file[at + 2], file[at + 1], file[at]};
}

}  // namespace

TEST(HandheldBitmap, PixelsOfEveryDepth) {
    std::vector<uint8_t> file;
    // 1 bit, 8 × 1, 0xF0: four black pixels, then four white.
    ASSERT_TRUE(decodeHandheldBitmap(handheld(8, 1, 1, {0xF0}), file));
    EXPECT_EQ(u32At(file, 2), 54u + 24);
    EXPECT_EQ(u32At(file, 10), 54u);
    EXPECT_EQ(u16At(file, 28), 24);
    const Rgb black{0, 0, 0}, white{255, 255, 255};
    for (uint32_t x = 0; x < 8; ++x) EXPECT_EQ(pixel(file, x), x < 4 ? black : white) << x;
    // 16 bits: 0xFFFF white, 0xF800 red, 0x07E0 green.
    ASSERT_TRUE(decodeHandheldBitmap(handheld(3, 1, 16, {0xFF, 0xFF, 0xF8, 0x00, 0x07, 0xE0}), file));
    EXPECT_EQ(pixel(file, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(pixel(file, 1), (Rgb{255, 0, 0}));
    EXPECT_EQ(pixel(file, 2), (Rgb{0, 255, 0}));
    // 2 and 4 bits are greys, 8 bits the system palette.
    EXPECT_EQ(handheldPixelColor(2, 1), (Rgb{192, 192, 192}));
    EXPECT_EQ(handheldPixelColor(4, 15), (Rgb{0, 0, 0}));
    EXPECT_EQ(handheldPixelColor(4, 1), (Rgb{238, 238, 238}));
    EXPECT_EQ(handheldPixelColor(8, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(handheldPixelColor(8, 1), (Rgb{255, 204, 255}));
    EXPECT_EQ(handheldPixelColor(8, 108), (Rgb{255, 255, 102}));
    EXPECT_EQ(handheldPixelColor(8, 215), (Rgb{17, 17, 17}));
    EXPECT_EQ(handheldPixelColor(8, 226), (Rgb{128, 0, 0}));
    EXPECT_EQ(handheldPixelColor(8, 255), (Rgb{0, 0, 0}));
    // Rows go bottom up: the last source row is the file's first.
    ASSERT_TRUE(decodeHandheldBitmap(handheld(1, 2, 8, {0, 255}), file));
    EXPECT_EQ(pixel(file, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixel(file, 0, 1), (Rgb{255, 255, 255}));
}

TEST(HandheldBitmap, PackedVersionTwo) {
    // 16 × 2 at 1 bit, two bytes a row, packed: repeat 0xFF twice, then two literals.
    std::vector<uint8_t> b(32, 0);
    b[1] = 2;
    qv::storeBE16(&b[2], 16);
    qv::storeBE16(&b[4], 2);
    b[6] = 1;
    qv::storeBE16(&b[10], 1);
    qv::storeBE32(&b[12], 4);
    for (uint8_t v : {0x02, 0xFF, 0xFE, 0x00, 0x0F}) b.push_back(v);
    std::vector<uint8_t> file;
    ASSERT_TRUE(decodeHandheldBitmap(b, file));
    EXPECT_EQ(pixel(file, 0, 1), (Rgb{0, 0, 0}));        // first row, all black
    EXPECT_EQ(pixel(file, 0, 0), (Rgb{255, 255, 255}));  // second row: 0x00 0x0F
    EXPECT_EQ(pixel(file, 15, 0), (Rgb{0, 0, 0}));
}

TEST(HandheldBitmap, MalformedOnesAreRefused) {
    std::vector<uint8_t> file;
    std::vector<uint8_t> huge(32, 0);
    huge[1] = 2;
    qv::storeBE16(&huge[2], 65535);
    qv::storeBE16(&huge[4], 65535);
    huge[6] = 8;
    qv::storeBE16(&huge[10], 1);
    qv::storeBE32(&huge[12], 0xFFFFFFFF);
    const std::pair<const char *, std::vector<uint8_t>> cases[] = {
        {"too short", {10, 0, 0}},
        {"3 bits per pixel", handheld(8, 1, 3, {0, 0, 0})},
        {"no width", handheld(0, 1, 8, {0})},
        {"rows shorter than the width", handheld(16, 1, 8, {1, 2, 3})},
        {"a huge packed image from a few bytes", huge},
    };
    for (const auto &[name, data] : cases) EXPECT_FALSE(decodeHandheldBitmap(data, file)) << name;
}

TEST_F(Pictures, JpegAndPngGetTheWordPictureLayout) {
    std::vector<uint8_t> jpeg = bytes(100, 1), png = bytes(60, 9);
    PictureInput first = prefixed(DocsPicture::kJpeg, 0, jpeg, 100);
    first.record.displayWidth = 2000;
    PictureInput second = prefixed(DocsPicture::kPng, 0, png, 60);
    wwtest::Written w = wwtest::writeWord(docsWithPictures({first, second}), 77);
    ASSERT_EQ(w.result, kWriterOk);
    EXPECT_EQ(w.text, u"\x01\x01\r");
    const std::vector<uint8_t> &d = w.data;
    ASSERT_EQ(d.size(), 193u + 100 + 193 + 60 + 1024);

    EXPECT_EQ(u32At(d, 0), 193u + 100);  // PICF
    EXPECT_EQ(u16At(d, 4), 68);
    EXPECT_EQ(u16At(d, 6), 100);
    EXPECT_EQ(d[14], 8);
    EXPECT_EQ(u16At(d, 28), 2000);        // the display width
    EXPECT_EQ(u16At(d, 30), 150 * 1440 / 300);
    EXPECT_EQ(u16At(d, 32), 1000);
    EXPECT_EQ(u16At(d, 68), 0x000F);      // shape container
    EXPECT_EQ(u16At(d, 70), 0xF004);
    EXPECT_EQ(u32At(d, 72), 48u);
    EXPECT_EQ(u16At(d, 76), 0x04B2);
    EXPECT_EQ(u32At(d, 84), 1025u);       // the first shape id
    EXPECT_EQ(u32At(d, 88), 0xA00u);
    EXPECT_EQ(u16At(d, 100), 0x4104);
    EXPECT_EQ(u32At(d, 102), 1u);
    EXPECT_EQ(u32At(d, 120), 0x80000000u);
    EXPECT_EQ(u16At(d, 124), 0x0052);     // BLIP store entry
    EXPECT_EQ(u16At(d, 126), 0xF007);
    EXPECT_EQ(u32At(d, 128), 61u + 100);
    EXPECT_EQ(d[132], 5);
    EXPECT_EQ(d[133], 5);
    EXPECT_EQ(u32At(d, 152), 25u + 100);
    EXPECT_EQ(u32At(d, 160), 68u);
    EXPECT_EQ(u32At(d, 164), 0x02260000u);
    EXPECT_EQ(u16At(d, 168), 0x46A0);     // the BLIP
    EXPECT_EQ(u16At(d, 170), 0xF01D);
    EXPECT_EQ(u32At(d, 172), 17u + 100);
    EXPECT_TRUE(std::equal(d.begin() + 134, d.begin() + 150, d.begin() + 176));  // one unique id, twice
    EXPECT_EQ(d[134 + 6] & 0xF0, 0x40);
    EXPECT_EQ(d[134 + 8] & 0xC0, 0);
    EXPECT_EQ(d[192], 0xFF);
    EXPECT_TRUE(std::equal(jpeg.begin(), jpeg.end(), d.begin() + 193));

    size_t p = 293;  // the PNG follows
    EXPECT_EQ(d[p + 14], 10);
    EXPECT_EQ(u16At(d, p + 30), 150 * 1440 / 300);
    EXPECT_EQ(u16At(d, p + 28), 1440);  // 300 pixels at 300 dots per inch
    EXPECT_EQ(u32At(d, p + 84), 1026u);
    EXPECT_EQ(u16At(d, p + 124), 0x0062);
    EXPECT_EQ(d[p + 132], 6);
    EXPECT_EQ(u16At(d, p + 168), 0x6E00);
    EXPECT_EQ(u16At(d, p + 170), 0xF01E);
    EXPECT_FALSE(std::equal(d.begin() + 134, d.begin() + 150, d.begin() + long(p) + 134));
    EXPECT_TRUE(std::equal(png.begin(), png.end(), d.begin() + long(p) + 193));

    // Each picture character points at its picture and is special.
    EXPECT_EQ(wwtest::sprmValue(w.characterRun(0).sprms, 0x6A03), 0u);
    EXPECT_EQ(wwtest::sprmValue(w.characterRun(1).sprms, 0x6A03), uint32_t(p));
    EXPECT_EQ(wwtest::sprmValue(w.characterRun(1).sprms, 0x0855), 1u);
}

TEST_F(Pictures, BitmapsLoseTheirFileHeader) {
    std::vector<uint8_t> dib = bytes(70, 3);
    std::vector<uint8_t> file(14, 0xEE);
    file.insert(file.end(), dib.begin(), dib.end());
    std::vector<uint8_t> withGap = bytes(5, 0);  // an image offset of 5
    withGap.insert(withGap.end(), file.begin(), file.end());
    wwtest::Written w = wwtest::writeWord(
        docsWithPictures({prefixed(DocsPicture::kWindowsBitmap, 0, file, uint32_t(file.size())),
                          prefixed(DocsPicture::kWindowsBitmap, 5, withGap, uint32_t(file.size()))}));
    ASSERT_EQ(w.result, kWriterOk);
    const std::vector<uint8_t> &d = w.data;
    EXPECT_EQ(u32At(d, 0), 207u + 70);
    EXPECT_EQ(d[14], 8);
    EXPECT_EQ(u32At(d, 72), 62u);
    EXPECT_EQ(u16At(d, 92), 0x0043);
    EXPECT_EQ(u32At(d, 96), 26u);
    EXPECT_EQ(u16At(d, 106), 0xC105);
    EXPECT_EQ(u16At(d, 112), 0x0106);
    EXPECT_EQ(u16At(d, 128), 0xF010);
    EXPECT_EQ(u16At(d, 138), 0x0072);
    EXPECT_EQ(d[146], 7);
    EXPECT_EQ(u16At(d, 182), 0x7A80);
    EXPECT_EQ(u16At(d, 184), 0xF01F);
    EXPECT_TRUE(std::equal(dib.begin(), dib.end(), d.begin() + 207));
    ASSERT_EQ(d.size(), 2 * (207u + 70) + 1024);
    EXPECT_TRUE(std::equal(dib.begin(), dib.end(), d.begin() + 207 + 277));  // past the image offset too
}

TEST_F(Pictures, WordPicturesAreCopiedByteForByte) {
    // A picture region as a document holds it: its descriptor spans it all.
    std::vector<uint8_t> region = bytes(300, 5);
    qv::storeLE32(&region[0], 300);
    qv::storeLE16(&region[4], 68);
    std::vector<uint8_t> notAPicture = bytes(300, 5);
    wwtest::Written w = wwtest::writeWord(docsWithPictures({
        prefixed(DocsPicture::kWordPicture, 0, region, 300),
        prefixed(DocsPicture::kJpeg, 193, region, 100),  // a JPEG inside a whole region
        prefixed(DocsPicture::kWordPicture, 0, notAPicture, 300),
    }));
    ASSERT_EQ(w.result, kWriterOk);
    ASSERT_EQ(w.data.size(), 600u + 1024);
    EXPECT_TRUE(std::equal(region.begin(), region.end(), w.data.begin()));
    EXPECT_TRUE(std::equal(region.begin(), region.end(), w.data.begin() + 300));
    EXPECT_EQ(w.text, u"\x01\x01\r");  // what is no Word picture is left out
}

TEST_F(Pictures, HandheldBitmapsBecomeBitmaps) {
    PictureInput p;
    p.data = handheld(8, 1, 1, {0xF0});
    p.record.format = DocsPicture::kHandheldBitmap;
    p.record.dataSize = uint32_t(p.data.size());  // no pixel size: the bitmap's is taken
    wwtest::Written w = wwtest::writeWord(docsWithPictures({p}));
    ASSERT_EQ(w.result, kWriterOk);
    const std::vector<uint8_t> &d = w.data;
    uint32_t dibSize = 40 + 24;  // header and one row of 8 pixels
    EXPECT_EQ(u32At(d, 0), 207u + dibSize);
    EXPECT_EQ(u16At(d, 28), 8 * 1440 / 300);  // goal width of 8 pixels
    EXPECT_EQ(u16At(d, 30), 1440 / 300);
    EXPECT_EQ(u32At(d, 207), 40u);
    EXPECT_EQ(u32At(d, 211), 8u);
    EXPECT_EQ(u16At(d, 221), 24);
    EXPECT_EQ(d[207 + 40], 0);     // black
    EXPECT_EQ(d[207 + 40 + 12], 255);  // white from the fifth pixel
    // The temporary bitmap is gone.
    fs::path temp = home_ / "temp";
    EXPECT_TRUE(!fs::exists(temp) || fs::is_empty(temp));
}

TEST_F(Pictures, PicturesWithoutDataAreLeftOutShortOnesFail) {
    wwtest::Written empty = wwtest::writeWord(docsWithPictures({PictureInput{DocsPicture::unsupported(), {}}}));
    ASSERT_EQ(empty.result, kWriterOk);
    EXPECT_EQ(empty.text, u"\r");
    EXPECT_TRUE(empty.data.empty());

    PictureInput tooLong = prefixed(DocsPicture::kJpeg, 0, bytes(10, 1), 500);
    EXPECT_EQ(wwtest::writeWord(docsWithPictures({tooLong})).result, kWriterBadInput);
    PictureInput cut = prefixed(DocsPicture::kWordPicture, 0, bytes(10, 1), 10);
    cut.record.dataSize += 100;  // claims more than the file holds
    EXPECT_EQ(wwtest::writeWord(docsWithPictures({cut})).result, kWriterBadInput);
}

TEST_F(Pictures, AJpegReadsBackWithItsWholePicture) {
    // A JPEG start: SOI, then a start-of-frame with 40 × 30 pixels.
    std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x1E, 0x00, 0x28,
                                 0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01, 0xFF, 0xD9};
    PictureInput p = prefixed(DocsPicture::kJpeg, 0, jpeg, uint32_t(jpeg.size()));
    p.record.pixelWidth = 40;
    p.record.pixelHeight = 30;
    p.record.displayWidth = 600;
    p.record.displayHeight = 450;
    std::vector<uint8_t> docs = docsWithPictures({p});
    wwtest::Written w = wwtest::writeWord(docs);
    ASSERT_EQ(w.result, kWriterOk);
    int rc = -1;
    std::vector<uint8_t> again = w.readBack(&rc);
    ASSERT_EQ(rc, 0);
    // The same JPEG of 40 × 30 pixels, now inside the whole Word picture.
    auto pictureLine = [](const std::vector<std::string> &records) {
        for (const auto &r : records)
            if (r.rfind("22 ", 0) == 0) return r;
        return std::string();
    };
    EXPECT_EQ(pictureLine(wwtest::docsRecords(again)), pictureLine(wwtest::docsRecords(docs)));
    struct PictureSink : ContentSink {
        uint32_t dataSize = 0;
        int32_t picture(const DocsPicture &p, int64_t) override {
            dataSize = p.dataSize;
            return 0;
        }
    } sink;
    MemoryStream stream(again);
    ASSERT_EQ(DocsReader().run(stream, sink), 0);
    EXPECT_EQ(sink.dataSize, 8 + 193 + jpeg.size());
}
