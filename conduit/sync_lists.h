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
#include <optional>
#include <string>
#include <vector>

namespace conduit {

struct DesktopEntry {
    qv::SyncFileRecord record;
    bool changedOnDesktop = false;   // the desktop file was written after the last transfer
    bool dropped = false;            // not written back
    bool processed = false;          // a walk has handled it
    const CardEntry *card = nullptr;
    std::string handheldPath;        // RAM name, or card folder and handheld name joined
};

struct HandheldList;

struct HandheldItem {
    bool processed = false;
    HandheldList *list = nullptr;
    std::vector<uint8_t> record;     // recordSize bytes of the list
    bool dirty = false;              // must be written back
};

struct HandheldList {
    QVDP_DBHeader header{};
    std::vector<uint8_t> blob;
    const CardEntry *card = nullptr; // none for handheld RAM
    std::string cardFolder;
    std::vector<std::unique_ptr<HandheldItem>> items;
};

// The desktop list: the plug-in's header and blob (owned by the plug-in),
// the open file-list database and its entries.
struct DesktopList {
    const QVDP_DBHeader *header = nullptr;
    const void *blob = nullptr;
    void *database = nullptr;
    std::vector<std::unique_ptr<DesktopEntry>> entries;
};

// Copies of the plug-in's RAM and card list headers and blobs, and the
// handheld lists in load order.
struct HandheldLists {
    QVDP_DBHeader ramHeader{};
    std::vector<uint8_t> ramBlob;
    QVDP_DBHeader cardHeader{};
    std::vector<uint8_t> cardBlob;
    std::vector<std::unique_ptr<HandheldList>> lists;
};

}  // namespace conduit
