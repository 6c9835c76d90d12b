// The card table of a run: the handheld's mounted card volumes in
// enumeration order, then its internal memory, at most 32 entries. Each card
// pass rebuilds it from scratch.
#pragma once

#include "card_records.h"

#include <cstdint>
#include <string>
#include <vector>

namespace conduit {

constexpr std::size_t kMaxCardEntries = 32;

// The card folders that hold the plug-in's lists, as the card's paths file names them.
struct CardPathsList {
    bool dirty = false;
    // False when the paths file exists but could not be read: it is then
    // never rewritten in this run, so that no folder it names is forgotten.
    bool readable = true;
    std::vector<qv::CardPathRecord> records;
};

struct CardEntry {
    uint32_t cardKind = qv::kCardMemoryCard;   // 2 memory card, 0 internal memory
    CardPathsList paths;
    qv::Guid identity{};                       // zero for the internal memory
    int32_t position = -1;                     // index in the volume enumeration; -1 internal memory
    uint16_t volume = 0;
    std::string label;
    uint64_t usedBytes = 0;                    // internal memory: its free bytes
    uint64_t totalBytes = 0;
    bool mounted = false;

    bool isCard() const { return cardKind == qv::kCardMemoryCard; }
};

using CardTable = std::vector<CardEntry>;

}  // namespace conduit
