#include "word_writer_format.h"

#include "byte_order.h"

#include <algorithm>
#include <cstdlib>

namespace conv {

void ByteWriter::u16(uint16_t v) {
    uint8_t b[2];
    qv::storeLE16(b, v);
    append(b, 2);
}

void ByteWriter::u32(uint32_t v) {
    uint8_t b[4];
    qv::storeLE32(b, v);
    append(b, 4);
}

void ByteWriter::utf16(const std::u16string &text) {
    for (char16_t c : text) u16(uint16_t(c));
}

void ByteWriter::patchU32(size_t offset, uint32_t v) {
    if (offset + 4 <= bytes_.size()) qv::storeLE32(&bytes_[offset], v);
}

size_t fixedSprmOperandSize(uint16_t code) {
    switch (code >> 13) {  // the size code in the top three bits
    case 0:
    case 1: return 1;
    case 2:
    case 4:
    case 5: return 2;
    case 3: return 4;
    case 7: return 3;
    default: return 0;  // 6: variable
    }
}

void SprmList::add(uint16_t code, uint32_t operand) {
    size_t size = fixedSprmOperandSize(code);
    bytes_.push_back(uint8_t(code));
    bytes_.push_back(uint8_t(code >> 8));
    for (size_t i = 0; i < size; ++i) bytes_.push_back(uint8_t(operand >> (8 * i)));
}

void SprmList::addVariable(uint16_t code, const std::vector<uint8_t> &operand) {
    bytes_.push_back(uint8_t(code));
    bytes_.push_back(uint8_t(code >> 8));
    bytes_.insert(bytes_.end(), operand.begin(), operand.end());
}

int16_t clampToI16(int64_t value) { return int16_t(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX)); }
uint16_t clampToU16(int64_t value) { return uint16_t(std::clamp<int64_t>(value, 0, UINT16_MAX)); }

uint8_t nearestWordColor(uint8_t red, uint8_t green, uint8_t blue) {
    static constexpr uint8_t kColors[16][3] = {
        {0, 0, 0},     {0, 0, 255},   {0, 255, 255}, {0, 255, 0},   {255, 0, 255},   {255, 0, 0},
        {255, 255, 0}, {255, 255, 255}, {0, 0, 128}, {0, 128, 128}, {0, 128, 0},     {128, 0, 128},
        {128, 0, 0},   {128, 128, 0}, {128, 128, 128}, {192, 192, 192},
    };
    int best = 0, bestDistance = INT32_MAX;
    for (int i = 0; i < 16; ++i) {
        int d = std::abs(red - kColors[i][0]) + std::abs(green - kColors[i][1]) + std::abs(blue - kColors[i][2]);
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return uint8_t(best + 1);
}

}  // namespace conv
