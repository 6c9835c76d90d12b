// A Palm database as another program writes it, built byte by byte: name
// "MemoDB", type DATA, creator memo, version 1, an application info block,
// a sort info block and two records (the second with the delete flag).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace palmtest {

inline std::vector<uint8_t> memoPdbFixture() {
    std::vector<uint8_t> b;
    auto u8 = [&](uint8_t v) { b.push_back(v); };
    auto u16 = [&](uint16_t v) { u8(uint8_t(v >> 8)); u8(uint8_t(v)); };
    auto u32 = [&](uint32_t v) { u16(uint16_t(v >> 16)); u16(uint16_t(v)); };
    auto text = [&](const std::string &s) { for (char c : s) u8(uint8_t(c)); };
    text("MemoDB");
    while (b.size() < 32) u8(0);        // name field
    u16(0x0008);                        // attributes: backup
    u16(1);                             // version
    u32(0xB5A1C2D3);                    // created
    u32(0xB5A1C2F0);                    // modified
    u32(0);                             // last backup
    u32(7);                             // modification number
    // data starts after the 78-byte header, two 8-byte entries and 2 gap bytes = 96
    u32(96);                            // application info at 96 (4 bytes)
    u32(100);                           // sort info at 100 (2 bytes)
    text("DATA");
    text("memo");
    u32(0x10);                          // unique id seed
    u32(0);                             // no further record list
    u16(2);                             // two records
    u32(102); u8(0x43); u8(0x00); u8(0xAB); u8(0x01);   // dirty, category 3, id 0xAB01
    u32(105); u8(0x80); u8(0x00); u8(0xAB); u8(0x02);   // deleted, id 0xAB02
    u16(0);                             // gap
    u8(1); u8(2); u8(3); u8(4);         // application info
    u8(9); u8(8);                       // sort info
    text("Hi!");                        // record 0
    text("second");                     // record 1
    return b;
}

}  // namespace palmtest
