#include "word_writer_pictures.h"

#include "byte_order.h"
#include "word_writer_format.h"

#include <algorithm>

namespace conv {

namespace {

constexpr uint16_t kPicfHeaderSize = 68;
constexpr uint16_t kMappingModeShape = 100;

// {79EAC9D0-BAF9-11CE-8C82-00AA004BA90B}, the standard hyperlink, and
// {79EAC9E0-BAF9-11CE-8C82-00AA004BA90B}, the URL moniker, in binary order.
constexpr uint8_t kStdHyperlinkClass[16] = {0xD0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                                            0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
constexpr uint8_t kUrlMonikerClass[16] = {0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                                          0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};

void recordHeader(ByteWriter &w, uint16_t versionAndInstance, uint16_t type, uint32_t length) {
    w.u16(versionAndInstance);
    w.u16(type);
    w.u32(length);
}

void property(ByteWriter &w, uint16_t id, uint32_t value) {
    w.u16(id);
    w.u32(value);
}

// The Palm OS 8-bit system palette: two blocks of 108 colour-cube entries
// (blue 255, 204, 153, then blue 102, 51, 0; red slowest, green fastest,
// the last entry of the second block left out), ten greys, five system
// colours, and black for the rest.
Rgb systemPaletteColor(uint8_t index) {
    static constexpr uint8_t kSteps[6] = {255, 204, 153, 102, 51, 0};
    if (index < 215) {
        int block = index / 108, i = index % 108;
        return {kSteps[i / 18], kSteps[i % 6], kSteps[block * 3 + (i / 6) % 3]};
    }
    static constexpr uint8_t kGreys[10] = {17, 34, 68, 85, 119, 136, 170, 187, 221, 238};
    if (index < 225) {
        uint8_t g = kGreys[index - 215];
        return {g, g, g};
    }
    static constexpr Rgb kSystem[5] = {{192, 192, 192}, {128, 0, 0}, {128, 0, 128}, {0, 128, 0}, {0, 128, 128}};
    if (index < 230) return kSystem[index - 225];
    return {0, 0, 0};
}

// Run-length decoding of packed pixel data until size bytes are produced;
// whatever the input does not cover stays zero.
std::vector<uint8_t> unpackPixels(const uint8_t *in, size_t inSize, size_t size, bool sixteenBits) {
    std::vector<uint8_t> out;
    out.reserve(size);
    size_t pos = 0;
    size_t unit = sixteenBits ? 2 : 1;
    while (out.size() < size && pos < inSize) {
        auto count = int8_t(in[pos]);
        pos += sixteenBits ? 2 : 1;
        if (count > 0) {
            if (pos + unit > inSize) break;
            for (int i = 0; i < count && out.size() < size; ++i)
                for (size_t b = 0; b < unit && out.size() < size; ++b) out.push_back(in[pos + b]);
            pos += unit;
        } else if (count < 0) {
            size_t bytes = size_t(-int(count)) * unit;
            for (size_t b = 0; b < bytes && pos < inSize && out.size() < size; ++b) out.push_back(in[pos++]);
        }
    }
    out.resize(size, 0);
    return out;
}

uint32_t pixelValue(const uint8_t *row, uint32_t x, unsigned bitsPerPixel) {
    if (bitsPerPixel == 16) return qv::loadBE16(row + 2 * size_t(x));
    if (bitsPerPixel == 8) return row[x];
    size_t bit = size_t(x) * bitsPerPixel;
    unsigned shift = 8 - bitsPerPixel - unsigned(bit % 8);
    return (row[bit / 8] >> shift) & ((1u << bitsPerPixel) - 1);
}

}  // namespace

std::vector<uint8_t> wordPictureHeader(WordPictureKind kind, uint32_t imageSize, uint16_t goalWidth,
                                       uint16_t goalHeight, uint32_t shapeId,
                                       const std::array<uint8_t, 16> &uniqueId) {
    bool bitmap = kind == WordPictureKind::kBitmap;
    uint32_t imageStart = bitmap ? 207 : 193;
    ByteWriter w;
    // The picture descriptor (PICF).
    w.u32(imageStart + imageSize);
    w.u16(kPicfHeaderSize);
    w.u16(kMappingModeShape);
    w.zeros(6);
    w.u8(kind == WordPictureKind::kPng ? 10 : 8);
    w.zeros(13);
    w.u16(goalWidth);
    w.u16(goalHeight);
    w.u16(1000);  // horizontal and vertical scale
    w.u16(1000);
    w.zeros(32);
    // The shape container: the shape, its properties, the client anchor.
    recordHeader(w, 0x000F, 0xF004, bitmap ? 62 : 48);
    recordHeader(w, 0x04B2, 0xF00A, 8);  // a picture frame
    w.u32(shapeId);
    w.u32(0x00000A00);
    if (bitmap) {
        recordHeader(w, 0x0043, 0xF00B, 26);
        property(w, 0x4104, 1);  // BLIP index
        property(w, 0xC105, 2);  // BLIP name, two bytes of complex data
        property(w, 0x0106, 2);
        property(w, 0x01FF, 0x00080000);
        w.u16(0);
    } else {
        recordHeader(w, 0x0023, 0xF00B, 12);
        property(w, 0x4104, 1);
        property(w, 0x01FF, 0x00080000);
    }
    recordHeader(w, 0x0000, 0xF010, 4);
    w.u32(0x80000000);
    // The BLIP store entry and the BLIP record.
    uint8_t blipType = kind == WordPictureKind::kJpeg ? 5 : kind == WordPictureKind::kPng ? 6 : 7;
    recordHeader(w, uint16_t(0x0002 | (blipType << 4)), 0xF007, 61 + imageSize);
    w.u8(blipType);
    w.u8(blipType);
    w.append(uniqueId.data(), uniqueId.size());
    w.u16(0x00FF);
    w.u32(25 + imageSize);
    w.u32(1);   // reference count
    w.u32(68);  // delay offset
    w.append(std::array<uint8_t, 4>{0x00, 0x00, 0x26, 0x02}.data(), 4);
    switch (kind) {
    case WordPictureKind::kJpeg: recordHeader(w, 0x46A0, 0xF01D, 17 + imageSize); break;
    case WordPictureKind::kPng: recordHeader(w, 0x6E00, 0xF01E, 17 + imageSize); break;
    case WordPictureKind::kBitmap: recordHeader(w, 0x7A80, 0xF01F, 17 + imageSize); break;
    }
    w.append(uniqueId.data(), uniqueId.size());
    w.u8(0xFF);
    return w.take();
}

uint16_t pictureGoalSize(uint16_t displaySize, uint16_t pixels) {
    if (displaySize != 0) return displaySize;
    return uint16_t(uint32_t(pixels) * 1440 / 300);
}

std::array<uint8_t, 16> BlipIdSource::next() {
    std::array<uint8_t, 16> id{};
    for (uint8_t &b : id) {
        state_ = state_ * 214013u + 2531011u;
        b = uint8_t((state_ >> 16) & 0x7FFF);
    }
    id[6] = uint8_t((id[6] & 0x0F) | 0x40);
    id[8] = uint8_t(id[8] & 0x3F);
    return id;
}

Rgb handheldPixelColor(unsigned bitsPerPixel, uint32_t value) {
    switch (bitsPerPixel) {
    case 1: return value ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
    case 2: {
        static constexpr uint8_t kGreys[4] = {255, 192, 128, 0};
        uint8_t g = kGreys[value & 3];
        return {g, g, g};
    }
    case 4: {
        auto g = uint8_t(255 - 17 * (value & 15));
        return {g, g, g};
    }
    case 8: return systemPaletteColor(uint8_t(value));
    default:
        return {uint8_t(((value >> 11) & 31) * 255 / 31), uint8_t(((value >> 5) & 63) * 255 / 63),
                uint8_t((value & 31) * 255 / 31)};
    }
}

bool decodeHandheldBitmap(const std::vector<uint8_t> &data, std::vector<uint8_t> &bitmapFile) {
    constexpr size_t kPlainHeader = 10, kVersion2Header = 32;
    if (data.size() < kPlainHeader) return false;
    const uint8_t *d = data.data();
    uint32_t width = qv::loadBE16(d + 2), height = qv::loadBE16(d + 4);
    unsigned bits = d[6];
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) return false;
    if (width == 0 || height == 0 || uint64_t(width) * height > kMaxHandheldBitmapPixels) return false;
    size_t minStride = (size_t(width) * bits + 7) / 8;

    std::vector<uint8_t> unpacked;
    const uint8_t *pixels = nullptr;
    size_t stride = 0;
    if (d[1] == 2) {
        if (data.size() < kVersion2Header) return false;
        bool packed = qv::loadBE16(d + 10) != 0;
        size_t pixelBytes = qv::loadBE32(d + 12);
        stride = pixelBytes / height;
        if (stride < minStride || stride > minStride + 64) return false;
        if (packed) {
            unpacked = unpackPixels(d + kVersion2Header, data.size() - kVersion2Header, pixelBytes, bits == 16);
            pixels = unpacked.data();
        } else {
            if (pixelBytes > data.size() - kVersion2Header) return false;
            pixels = d + kVersion2Header;
        }
    } else {
        stride = (data.size() - kPlainHeader) / height;
        size_t start = d[0];
        if (stride < minStride || start > data.size() || stride * height > data.size() - start) return false;
        pixels = d + start;
    }

    size_t rowBytes = (size_t(width) * 3 + 3) & ~size_t(3);
    size_t imageBytes = rowBytes * height;
    ByteWriter w;
    w.u8('B');
    w.u8('M');
    w.u32(uint32_t(54 + imageBytes));
    w.u32(0);
    w.u32(54);
    w.u32(40);
    w.u32(width);
    w.u32(height);
    w.u16(1);
    w.u16(24);
    w.zeros(24);  // no compression, sizes and colour counts left 0
    bitmapFile = w.take();
    bitmapFile.resize(54 + imageBytes, 0);
    uint8_t *out = bitmapFile.data() + 54;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t *row = pixels + size_t(height - 1 - y) * stride;
        uint8_t *dest = out + size_t(y) * rowBytes;
        for (uint32_t x = 0; x < width; ++x) {
            Rgb c = handheldPixelColor(bits, pixelValue(row, x, bits));
            dest[3 * x] = c.blue;
            dest[3 * x + 1] = c.green;
            dest[3 * x + 2] = c.red;
        }
    }
    return true;
}

HyperlinkParts splitHyperlinkTarget(const std::u16string &target) {
    HyperlinkParts parts;
    size_t hash = target.find(u'#');
    if (hash == std::u16string::npos) {
        parts.address = target;
        return parts;
    }
    parts.address = target.substr(0, hash);
    parts.location = target.substr(hash + 1);
    while (!parts.location.empty() && parts.location.back() == u' ') parts.location.pop_back();
    return parts;
}

std::u16string hyperlinkFieldCode(const HyperlinkParts &parts) {
    std::u16string code = u" HYPERLINK ";
    if (!parts.address.empty()) code += u"\"" + parts.address + u"\" ";
    if (!parts.location.empty()) code += u"\\l \"" + parts.location + u"\" ";
    return code;
}

std::vector<uint8_t> hyperlinkObject(const HyperlinkParts &parts) {
    bool hasAddress = !parts.address.empty(), hasLocation = !parts.location.empty();
    ByteWriter w;
    w.u32(0);  // the object's length, filled in below
    w.u16(68);
    w.zeros(62);
    w.u8(hasLocation ? 8 : 0);
    w.append(kStdHyperlinkClass, 16);
    w.u32(2);
    w.u32(hasAddress ? (hasLocation ? 9 : 3) : (hasLocation ? 8 : 0));
    if (hasAddress) {
        w.append(kUrlMonikerClass, 16);
        w.u32(uint32_t(2 * parts.address.size() + 2));
        w.utf16(parts.address);
        w.u16(0);
    }
    if (hasLocation) {
        w.u32(uint32_t(parts.location.size() + 1));
        w.utf16(parts.location);
        w.u16(0);
    }
    w.patchU32(0, uint32_t(w.size()));
    return w.take();
}

}  // namespace conv
