// Reading and writing integers at byte offsets with an explicit byte order:
// desktop files are little-endian, everything on the handheld big-endian.
#pragma once

#include <cstdint>
#include <cstring>

namespace qv {

inline uint16_t loadLE16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t loadLE32(const uint8_t *p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t loadLE64(const uint8_t *p) { return uint64_t(loadLE32(p)) | (uint64_t(loadLE32(p + 4)) << 32); }
inline uint16_t loadBE16(const uint8_t *p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t loadBE32(const uint8_t *p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline void storeLE16(uint8_t *p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void storeLE32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void storeLE64(uint8_t *p, uint64_t v) { storeLE32(p, uint32_t(v)); storeLE32(p + 4, uint32_t(v >> 32)); }
inline void storeBE16(uint8_t *p, uint16_t v) { p[0] = uint8_t(v >> 8); p[1] = uint8_t(v); }
inline void storeBE32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
}

// IEEE double stored little-endian (OLE dates in desktop records).
inline double loadLEDouble(const uint8_t *p) {
    uint64_t bits = loadLE64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
inline void storeLEDouble(uint8_t *p, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    storeLE64(p, bits);
}

}  // namespace qv
