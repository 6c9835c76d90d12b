// The Install Aide: files queued for a user's handheld, installed at the
// next HotSync. A queued file is copied into the user's folder, "Install/"
// for handheld RAM (slot reference 0; Palm databases only) and
// "Install/Slot<ref>/" for the card in that expansion slot. The HotSync host
// delivers the queue after the conduits ran: card files go to
// "/PALM/Launcher/" on the card; a file that cannot be delivered stays queued.
#pragma once

#include "palm_errors.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

namespace palm::installaide {

struct QueuedFile {
    uint32_t slotRef = 0;             // 0 = handheld RAM
    std::filesystem::path file;       // the copy in the queue folder
};

constexpr char kCardInstallFolder[] = "/PALM/Launcher";

// Queues a desktop file for the user's handheld: 0 = queued.
int32_t queueFile(uint32_t slotRef, uint32_t userId, const std::string &path);
std::vector<QueuedFile> queuedFiles(uint32_t userId);

// Installs the user's queue on the connected handheld; one line per file in
// `report`. Answers how many files stay queued.
int deliverQueuedFiles(uint32_t userId, std::vector<std::string> &report);

}  // namespace palm::installaide

#pragma GCC visibility pop
