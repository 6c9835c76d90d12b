// Pictures of a Word document as Docs picture records: inline pictures (a
// PICF with OfficeArt records and the BLIP in "Data") and floating pictures
// (shapes of the drawing data whose BLIPs lie in "WordDocument"). JPEG and
// PNG images travel as they are, device-independent bitmaps as Windows
// bitmap files, anything else inline as the copied Word picture. Picture
// bytes are copied in small slices, never held whole.
#pragma once

#include "docs_stream.h"
#include "word_format.h"
#include "word_tables.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace conv {

// OfficeArt BLIP types (record type - 0xF018).
enum BlipType : int { kBlipEmf = 2, kBlipWmf = 3, kBlipPict = 4, kBlipJpeg = 5, kBlipPng = 6, kBlipDib = 7 };

// Where an image lies and what it is.
struct BlipLocation {
    int type = 0;
    uint64_t imageOffset = 0;  // first byte of the bare image
    uint64_t imageSize = 0;
};
// Reads the BLIP record at offset; none when it is not a BLIP record or
// runs past the stream.
std::optional<BlipLocation> readBlip(WordSource &stream, uint64_t offset);

// Pixel size of an image from its own header; false when it cannot be read.
bool jpegPixelSize(WordSource &stream, uint64_t offset, uint64_t size, uint16_t &width, uint16_t &height);
bool pngPixelSize(WordSource &stream, uint64_t offset, uint64_t size, uint16_t &width, uint16_t &height);

// Writes the inline picture at location in "Data" (nothing for a picture
// without OfficeArt data or with records it cannot follow). kWordOk, or
// kWordShortRead / kWordWriteFailed.
int writeInlinePicture(WordSource *data, uint32_t location, DocsStream &out);

// The drawing data, parsed at the first floating picture of a document.
class WordFloatingPictures {
public:
    WordFloatingPictures(WordSource &table, WordFib::FcLcb drawingData, WordSource &document)
        : table_(table), drawingData_(drawingData), document_(document) {}

    // Writes the picture of the shape anchored here (nothing when the shape
    // or its BLIP is not found). kWordBadFormat for drawing data that does
    // not parse.
    int write(const WordShapeAnchor &anchor, DocsStream &out);

private:
    struct StoreEntry {
        uint8_t type = 0;
        uint32_t delayOffset = 0;
    };
    int parse();
    int parseGroup(uint64_t pos, uint64_t end);
    int parseDrawing(uint64_t pos, uint64_t end, int depth);
    int parseShape(uint64_t pos, uint64_t end);

    WordSource &table_;
    WordFib::FcLcb drawingData_;
    WordSource &document_;
    bool parsed_ = false;
    int parseResult_ = kWordOk;
    std::vector<StoreEntry> store_;
    std::vector<std::pair<uint32_t, uint32_t>> blipOfShape_;  // shape id, 1-based store index
};

}  // namespace conv
