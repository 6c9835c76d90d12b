// What the Word writer puts into the "Data" stream: Word pictures (a PICF,
// an OfficeArt shape container and a BLIP store entry followed by the image)
// for JPEG, PNG and bitmap images; the decoding of a handheld bitmap into a
// 24-bit Windows bitmap file; and the hyperlink object of a HYPERLINK field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace conv {

enum class WordPictureKind { kJpeg, kPng, kBitmap };

// The bytes of a Word picture that come before an image of imageSize bytes
// (for a bitmap: the device-independent bitmap without its file header).
std::vector<uint8_t> wordPictureHeader(WordPictureKind kind, uint32_t imageSize, uint16_t goalWidth,
                                       uint16_t goalHeight, uint32_t shapeId,
                                       const std::array<uint8_t, 16> &uniqueId);

// A picture's goal size in twips: the display size when set, else the
// pixels at 300 dots per inch.
uint16_t pictureGoalSize(uint16_t displaySize, uint16_t pixels);

// Unique ids of BLIPs: each byte the low byte of one step of the Windows
// run-time library's pseudo-random generator, marked as a random id.
class BlipIdSource {
public:
    explicit BlipIdSource(uint32_t seed) : state_(seed) {}
    std::array<uint8_t, 16> next();

private:
    uint32_t state_;
};

// Limits on a handheld bitmap, so a small file cannot ask for a huge image.
inline constexpr uint64_t kMaxHandheldBitmapPixels = 16u * 1024 * 1024;

// Decodes a handheld bitmap (plain or version 2, packed or not; 1, 2, 4, 8
// or 16 bits per pixel) into a 24-bit Windows bitmap file. False when the
// bitmap is malformed or larger than the limit.
bool decodeHandheldBitmap(const std::vector<uint8_t> &data, std::vector<uint8_t> &bitmapFile);

// The colour of a handheld pixel value at a depth of 1, 2, 4, 8 or 16 bits.
struct Rgb {
    uint8_t red, green, blue;
    bool operator==(const Rgb &) const = default;
};
Rgb handheldPixelColor(unsigned bitsPerPixel, uint32_t value);

// A hyperlink target split at its first "#" into address and location.
struct HyperlinkParts {
    std::u16string address;
    std::u16string location;  // trailing blanks removed
};
HyperlinkParts splitHyperlinkTarget(const std::u16string &target);
// The field code of a HYPERLINK field, from " HYPERLINK" to the last blank.
std::u16string hyperlinkFieldCode(const HyperlinkParts &parts);
// The hyperlink object stored in "Data" for the field.
std::vector<uint8_t> hyperlinkObject(const HyperlinkParts &parts);

}  // namespace conv
