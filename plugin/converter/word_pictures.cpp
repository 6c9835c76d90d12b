#include "word_pictures.h"

#include "byte_order.h"

#include <algorithm>
#include <cstdlib>

namespace conv {

namespace {

constexpr uint16_t kShapeContainer = 0xF004;
constexpr uint16_t kStoreEntry = 0xF007;
constexpr uint16_t kGroupContainer = 0xF000;
constexpr uint16_t kBlipStore = 0xF001;
constexpr uint16_t kDrawingContainer = 0xF002;
constexpr uint16_t kShapeGroup = 0xF003;
constexpr uint16_t kShapeRecord = 0xF00A;
constexpr uint16_t kProperties = 0xF00B;
constexpr uint16_t kBlipFirst = 0xF018;
constexpr uint16_t kBlipLast = 0xF117;
constexpr size_t kCopySlice = 256;
constexpr size_t kStoreEntrySize = 36;  // the fixed part of a BLIP store entry
constexpr int kMaxNesting = 16;

struct RecordHeader {
    uint16_t versionInstance = 0;
    uint16_t type = 0;
    uint32_t length = 0;
    uint16_t instance() const { return versionInstance >> 4; }
    bool isContainer() const { return (versionInstance & 0x0F) == 0x0F; }
};

bool readHeader(WordSource &s, uint64_t pos, uint64_t end, RecordHeader &h) {
    uint8_t b[8];
    if (pos + 8 > end || !s.readAt(pos, b, 8)) return false;
    h.versionInstance = qv::loadLE16(b);
    h.type = qv::loadLE16(b + 2);
    h.length = qv::loadLE32(b + 4);
    return true;
}

int copyBytes(WordSource &from, uint64_t offset, uint64_t count, DocsStream &out) {
    uint8_t slice[kCopySlice];
    while (count > 0) {
        size_t n = size_t(std::min<uint64_t>(count, kCopySlice));
        if (!from.readAt(offset, slice, n)) return kWordShortRead;
        if (out.writeBytes(slice, n) != kDocsOk) return kWordWriteFailed;
        offset += n;
        count -= n;
    }
    return kWordOk;
}

uint16_t clampU16(int64_t v) { return uint16_t(std::clamp<int64_t>(v, 0, 0xFFFF)); }

int writeRecord(DocsStream &out, const DocsPicture &picture) {
    return out.writePicture(picture) == kDocsOk ? kWordOk : kWordWriteFailed;
}

int writePrefix(DocsStream &out, uint32_t imageOffset, uint32_t length) {
    if (out.writeU32(imageOffset) != kDocsOk || out.writeU32(length) != kDocsOk) return kWordWriteFailed;
    return kWordOk;
}

// A JPEG or PNG as a picture record: pixel size from the image.
DocsPicture imagePicture(WordSource &s, const BlipLocation &blip, uint16_t displayWidth, uint16_t displayHeight) {
    DocsPicture p;
    p.depth = 16;
    p.version = 1;
    p.format = blip.type == kBlipJpeg ? DocsPicture::kJpeg : DocsPicture::kPng;
    p.displayWidth = displayWidth;
    p.displayHeight = displayHeight;
    if (blip.type == kBlipJpeg) jpegPixelSize(s, blip.imageOffset, blip.imageSize, p.pixelWidth, p.pixelHeight);
    else pngPixelSize(s, blip.imageOffset, blip.imageSize, p.pixelWidth, p.pixelHeight);
    return p;
}

// A device-independent bitmap as a Windows bitmap file record: a 14-byte
// file header, the bitmap as stored, two zero bytes.
int writeBitmap(WordSource &s, const BlipLocation &blip, uint16_t displayWidth, uint16_t displayHeight,
                DocsStream &out) {
    uint8_t info[40] = {};
    if (blip.imageSize < 16 || !s.readAt(blip.imageOffset, info, size_t(std::min<uint64_t>(40, blip.imageSize))))
        return kWordShortRead;
    uint32_t headerSize = qv::loadLE32(info);
    int32_t width = int32_t(qv::loadLE32(info + 4));
    int32_t height = int32_t(qv::loadLE32(info + 8));
    uint16_t bitsPerPixel = qv::loadLE16(info + 14);
    uint32_t compression = qv::loadLE32(info + 16);
    uint32_t coloursUsed = qv::loadLE32(info + 32);

    uint64_t palette = 0;
    if (bitsPerPixel <= 8) {
        uint64_t full = uint64_t(1) << bitsPerPixel;
        palette = 4 * (coloursUsed != 0 && coloursUsed < full ? coloursUsed : full);
    } else {
        palette = 4 * uint64_t(std::min<uint32_t>(coloursUsed, 256));
        if (compression == 3 && headerSize == 40) palette += 12;  // the three colour masks
    }
    uint64_t fileSize = blip.imageSize + 16;
    if (fileSize > 0xFFFFFFFFull) return kWordBadFormat;
    uint32_t bitsOffset = uint32_t(std::min<uint64_t>(14 + uint64_t(headerSize) + palette, 0xFFFFFFFFull));

    DocsPicture p;
    p.depth = bitsPerPixel < 16 ? 8 : 16;
    p.version = 1;
    p.format = DocsPicture::kWindowsBitmap;
    p.pixelWidth = clampU16(std::llabs(int64_t(width)));
    p.pixelHeight = clampU16(std::llabs(int64_t(height)));
    p.displayWidth = displayWidth;
    p.displayHeight = displayHeight;
    p.dataSize = uint32_t(8 + fileSize);
    if (fileSize + 8 > 0xFFFFFFFFull) return kWordBadFormat;
    if (int r = writeRecord(out, p)) return r;
    if (int r = writePrefix(out, 0, uint32_t(fileSize))) return r;

    uint8_t fileHeader[14] = {'B', 'M'};
    qv::storeLE32(fileHeader + 2, uint32_t(fileSize));
    qv::storeLE32(fileHeader + 6, 0);
    qv::storeLE32(fileHeader + 10, bitsOffset);
    if (out.writeBytes(fileHeader, sizeof fileHeader) != kDocsOk) return kWordWriteFailed;
    if (int r = copyBytes(s, blip.imageOffset, blip.imageSize, out)) return r;
    const uint8_t tail[2] = {0, 0};
    return out.writeBytes(tail, 2) == kDocsOk ? kWordOk : kWordWriteFailed;
}

}  // namespace

std::optional<BlipLocation> readBlip(WordSource &stream, uint64_t offset) {
    RecordHeader h;
    if (!readHeader(stream, offset, stream.size(), h)) return std::nullopt;
    if (h.type < kBlipFirst || h.type > kBlipLast) return std::nullopt;
    BlipLocation b;
    b.type = h.type - kBlipFirst;
    // One 16-byte id, a second one when the instance is odd; bitmaps (JPEG,
    // PNG, DIB, TIFF) then have a tag byte, metafiles a 34-byte header.
    uint64_t skip = (h.instance() & 1) ? 32 : 16;
    skip += (b.type == kBlipEmf || b.type == kBlipWmf || b.type == kBlipPict) ? 34 : 1;
    if (h.length < skip) return std::nullopt;
    b.imageOffset = offset + 8 + skip;
    b.imageSize = h.length - skip;
    if (b.imageOffset > stream.size() || b.imageSize > stream.size() - b.imageOffset) return std::nullopt;
    return b;
}

bool jpegPixelSize(WordSource &s, uint64_t offset, uint64_t size, uint16_t &width, uint16_t &height) {
    uint64_t pos = 2, end = size;
    uint8_t b[9];
    for (int guard = 0; guard < 10000 && pos + 4 <= end; ++guard) {
        if (!s.readAt(offset + pos, b, 4) || b[0] != 0xFF) return false;
        uint8_t marker = b[1];
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        bool isFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isFrame) {
            if (pos + 9 > end || !s.readAt(offset + pos, b, 9)) return false;
            height = qv::loadBE16(b + 5);
            width = qv::loadBE16(b + 7);
            return true;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            pos += 2;
            continue;
        }
        pos += 2 + qv::loadBE16(b + 2);
    }
    return false;
}

bool pngPixelSize(WordSource &s, uint64_t offset, uint64_t size, uint16_t &width, uint16_t &height) {
    uint8_t b[24];
    if (size < 24 || !s.readAt(offset, b, 24) || b[1] != 'P' || b[2] != 'N' || b[3] != 'G') return false;
    width = clampU16(qv::loadBE32(b + 16));
    height = clampU16(qv::loadBE32(b + 20));
    return true;
}

int writeInlinePicture(WordSource *data, uint32_t location, DocsStream &out) {
    if (!data) return kWordOk;
    uint8_t picf[68];
    if (!data->readAt(location, picf, sizeof picf)) return kWordShortRead;
    uint32_t lcb = qv::loadLE32(picf);
    uint16_t headerSize = qv::loadLE16(picf + 4);
    uint16_t mappingMode = qv::loadLE16(picf + 6);
    int16_t goalWidth = int16_t(qv::loadLE16(picf + 28));
    int16_t goalHeight = int16_t(qv::loadLE16(picf + 30));
    uint16_t scaleX = qv::loadLE16(picf + 32);
    uint16_t scaleY = qv::loadLE16(picf + 34);

    // An older metafile or bitmap picture carries no OfficeArt data.
    if (mappingMode < 90) return kWordOk;
    uint64_t end = uint64_t(location) + lcb;
    if (lcb < headerSize || end > data->size()) return kWordShortRead;
    uint64_t pos = uint64_t(location) + headerSize;
    if (mappingMode == 0x66) {  // a named picture: the name comes first
        uint8_t nameLength = 0;
        if (!data->readAt(pos, &nameLength, 1)) return kWordShortRead;
        pos += 1 + nameLength;
    }

    std::optional<BlipLocation> blip;
    bool followed = true;
    while (pos < end) {
        RecordHeader h;
        if (!readHeader(*data, pos, end, h)) break;
        if (h.type == kShapeContainer) {
            pos += 8 + uint64_t(h.length);
        } else if (h.type == kStoreEntry) {
            uint8_t nameLength = 0;
            if (!data->readAt(pos + 8 + 33, &nameLength, 1)) return kWordShortRead;
            blip = readBlip(*data, pos + 8 + kStoreEntrySize + nameLength);
            break;
        } else {
            followed = false;
            break;
        }
    }
    if (!followed) return kWordOk;

    uint16_t displayWidth = clampU16(int64_t(goalWidth) * scaleX / 1000);
    uint16_t displayHeight = clampU16(int64_t(goalHeight) * scaleY / 1000);
    if (blip && blip->imageOffset + blip->imageSize <= end &&
        (blip->type == kBlipJpeg || blip->type == kBlipPng)) {
        DocsPicture p = imagePicture(*data, *blip, displayWidth, displayHeight);
        p.dataSize = 8 + lcb;
        if (int r = writeRecord(out, p)) return r;
        if (int r = writePrefix(out, uint32_t(blip->imageOffset - location), uint32_t(blip->imageSize))) return r;
        return copyBytes(*data, location, lcb, out);
    }
    if (blip && blip->type == kBlipDib) return writeBitmap(*data, *blip, displayWidth, displayHeight, out);

    // Any other picture travels as the Word picture itself.
    DocsPicture p;
    p.depth = 16;
    p.version = 1;
    p.dataSize = lcb + 8;
    p.pixelWidth = p.pixelHeight = p.displayWidth = p.displayHeight = 1;
    p.format = DocsPicture::kWordPicture;
    if (int r = writeRecord(out, p)) return r;
    if (int r = writePrefix(out, 0, lcb)) return r;
    return copyBytes(*data, location, lcb, out);
}

int WordFloatingPictures::parseGroup(uint64_t pos, uint64_t end) {
    RecordHeader h;
    while (readHeader(table_, pos, end, h)) {
        uint64_t next = pos + 8 + uint64_t(h.length);
        if (next > end) return kWordBadFormat;
        if (h.type == kBlipStore) {
            uint64_t at = pos + 8;
            RecordHeader e;
            while (readHeader(table_, at, next, e)) {
                uint64_t after = at + 8 + uint64_t(e.length);
                if (after > next) break;
                if (e.type == kStoreEntry) {
                    uint8_t fixed[kStoreEntrySize];
                    StoreEntry entry;
                    if (e.length >= kStoreEntrySize && table_.readAt(at + 8, fixed, sizeof fixed)) {
                        entry.type = fixed[0];
                        entry.delayOffset = qv::loadLE32(fixed + 28);
                    }
                    store_.push_back(entry);
                }
                at = after;
            }
        }
        pos = next;
    }
    return kWordOk;
}

int WordFloatingPictures::parseShape(uint64_t pos, uint64_t end) {
    RecordHeader h;
    uint32_t shapeId = 0;
    bool haveShape = false;
    uint32_t blipIndex = 0;
    while (readHeader(table_, pos, end, h)) {
        uint64_t next = pos + 8 + uint64_t(h.length);
        if (next > end) break;
        if (h.type == kShapeRecord && h.length >= 4) {
            haveShape = table_.readU32(pos + 8, shapeId);
        } else if (h.type == kProperties) {
            size_t count = std::min<size_t>(h.instance(), h.length / 6);
            std::vector<uint8_t> props;
            if (!table_.readRange(pos + 8, count * 6, props)) break;
            for (size_t i = 0; i < count; ++i) {
                uint16_t id = qv::loadLE16(&props[i * 6]);
                if ((id & 0x3FFF) == 0x0104 && !(id & 0x8000)) blipIndex = qv::loadLE32(&props[i * 6 + 2]);
            }
        }
        pos = next;
    }
    if (haveShape && blipIndex != 0) blipOfShape_.emplace_back(shapeId, blipIndex);
    return kWordOk;
}

int WordFloatingPictures::parseDrawing(uint64_t pos, uint64_t end, int depth) {
    if (depth > kMaxNesting) return kWordOk;
    RecordHeader h;
    while (readHeader(table_, pos, end, h)) {
        uint64_t next = pos + 8 + uint64_t(h.length);
        if (next > end) break;
        if (h.type == kShapeGroup) parseDrawing(pos + 8, next, depth + 1);
        else if (h.type == kShapeContainer) parseShape(pos + 8, next);
        pos = next;
    }
    return kWordOk;
}

int WordFloatingPictures::parse() {
    if (drawingData_.lcb == 0) return kWordOk;
    uint64_t pos = drawingData_.fc, end = pos + drawingData_.lcb;
    if (end > table_.size()) return kWordShortRead;
    while (pos < end) {
        RecordHeader h;
        if (!readHeader(table_, pos, end, h)) return kWordBadFormat;
        if (h.type != kGroupContainer && h.type != kDrawingContainer) {
            // Each drawing is preceded by a one-byte label (main text or headers).
            RecordHeader next;
            if (readHeader(table_, pos + 1, end, next) && next.type == kDrawingContainer) {
                ++pos;
                continue;
            }
            return kWordBadFormat;
        }
        uint64_t after = pos + 8 + uint64_t(h.length);
        if (after > end) return kWordBadFormat;
        int r = h.type == kGroupContainer ? parseGroup(pos + 8, after) : parseDrawing(pos + 8, after, 0);
        if (r) return r;
        pos = after;
    }
    return kWordOk;
}

int WordFloatingPictures::write(const WordShapeAnchor &anchor, DocsStream &out) {
    if (!parsed_) {
        parsed_ = true;
        parseResult_ = parse();
    }
    if (parseResult_) return parseResult_;

    auto shape = std::find_if(blipOfShape_.begin(), blipOfShape_.end(),
                              [&](const auto &s) { return s.first == anchor.shapeId; });
    if (shape == blipOfShape_.end() || shape->second > store_.size()) return kWordOk;
    const StoreEntry &entry = store_[shape->second - 1];

    uint16_t displayWidth = clampU16(std::llabs(int64_t(anchor.right) - anchor.left));
    uint16_t displayHeight = clampU16(std::llabs(int64_t(anchor.bottom) - anchor.top));
    std::optional<BlipLocation> blip = readBlip(document_, entry.delayOffset);
    if (!blip) return writeRecord(out, DocsPicture::unsupported());
    if (blip->type == kBlipJpeg || blip->type == kBlipPng) {
        if (blip->imageSize > 0xFFFFFFFFull - 8) return kWordBadFormat;
        DocsPicture p = imagePicture(document_, *blip, displayWidth, displayHeight);
        p.dataSize = uint32_t(8 + blip->imageSize);
        if (int r = writeRecord(out, p)) return r;
        if (int r = writePrefix(out, 0, uint32_t(blip->imageSize))) return r;
        return copyBytes(document_, blip->imageOffset, blip->imageSize, out);
    }
    if (blip->type == kBlipDib) return writeBitmap(document_, *blip, displayWidth, displayHeight, out);
    return writeRecord(out, DocsPicture::unsupported());
}

}  // namespace conv
