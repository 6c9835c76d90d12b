// The file lists a run works on, held in memory for the run: the desktop
// list (one entry per desktop record) and the handheld lists (handheld RAM
// first, then the card folder lists), whose items pair with desktop entries
// by record id.
#pragma once

#include "card_table.h"
#include "qvdp_types.h"
#include "sync_records.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace conduit {

struct DesktopEntry {
    qv::SyncFileRecord record;
    bool changedOnDesktop = false;   // the desktop file was written after the last transfer
    bool dropped = false;            // not written back
    bool processed = false;          // a walk has handled it
    CardEntry *card = nullptr;
    std::string handheldPath;        // RAM name, or card folder and handheld name joined
};

struct HandheldList;

struct HandheldItem {
    bool processed = false;
    HandheldList *list = nullptr;
    qv::HandheldFileRecord record;   // stamp in host order
    // The record as read (new items: zeros of the list's record size). The
    // known fields are encoded over it at write-back, so bytes this conduit
    // does not know travel unchanged.
    std::vector<uint8_t> raw;
    bool dirty = false;              // must be written back
};

struct HandheldList {
    QVDP_DBHeader header{};
    std::vector<uint8_t> blob;
    CardEntry *card = nullptr;       // none for handheld RAM
    std::string cardFolder;          // cards only
    std::string listPath;            // cards: the list file in the folder
    // False when the list exists but could not be read: it is neither paired
    // nor rewritten, and no file is created in its folder.
    bool readable = true;
    int32_t readError = 0;           // the card's answer that made it unreadable
    std::vector<std::unique_ptr<HandheldItem>> items;

    bool isRam() const { return card == nullptr; }
    bool needsWrite() const;
};

// The desktop list: the plug-in's header and blob (owned by the plug-in),
// the open file-list database and its entries.
struct DesktopList {
    const QVDP_DBHeader *header = nullptr;
    const void *blob = nullptr;
    void *database = nullptr;
    std::string path;
    std::vector<std::unique_ptr<DesktopEntry>> entries;
};

// Copies of the plug-in's RAM and card list headers and blobs, and the
// handheld lists in load order (the RAM list first when it was loaded).
struct HandheldLists {
    QVDP_DBHeader ramHeader{};
    std::vector<uint8_t> ramBlob;
    QVDP_DBHeader cardHeader{};
    std::vector<uint8_t> cardBlob;
    std::vector<std::unique_ptr<HandheldList>> lists;

    HandheldList *ramList() const;
};

// The sync modes of the walks.
enum SyncMode : int {
    kModeSynchronize = 0,
    kModeDesktopOverwrites = 1,
    kModeHandheldOverwrites = 2,
};

enum class SyncAction { None, UpdateHandheld, UpdateDesktop, KeepBoth, CreateDesktop, CreateHandheld };

// One desktop entry and the handheld item it goes with; either may be absent.
struct SyncPair {
    int mode = kModeSynchronize;
    SyncAction action = SyncAction::None;
    DesktopEntry *entry = nullptr;
    HandheldItem *item = nullptr;
};

}  // namespace conduit
