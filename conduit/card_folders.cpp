#include "card_folders.h"

#include "QVDPCommon.h"
#include "card_files.h"
#include "conduit_strings.h"
#include "handheld_lists.h"

#include <algorithm>
#include <new>
#include <span>

namespace conduit {

namespace {

// A paths file larger than this is not read (20000 folders).
constexpr uint32_t kMaxPathsFileSize = 20000 * qv::kCardPathRecordSize;

void logText(const ConduitContext &context, const char *text) {
    if (context.log) context.log->logText(kConduitMessageLevel, text);
}

void logResource(const ConduitContext &context, uint32_t id) {
    if (context.log) context.log->logResource(kConduitMessageLevel, id);
}

bool isListed(const CardPathsList &paths, const std::string &folder) {
    return std::any_of(paths.records.begin(), paths.records.end(), [&](const qv::CardPathRecord &r) {
        return r.pathDeleted == 0 && qv::sameCardFolder(r.folderPath, folder);
    });
}

// The valid records of a paths file, each folder once; dirty when anything
// was left out.
void readPaths(const std::vector<uint8_t> &bytes, CardPathsList &paths) {
    const std::size_t count = bytes.size() / qv::kCardPathRecordSize;
    for (std::size_t i = 0; i < count; ++i) {
        std::span<const uint8_t> slot(bytes.data() + i * qv::kCardPathRecordSize, qv::kCardPathRecordSize);
        auto record = qv::decodeCardPathRecord(slot);
        const bool usable = record && record->pathDeleted == 0 && !record->folderPath.empty() &&
                            record->folderPath.front() == '/' && !isListed(paths, record->folderPath);
        if (usable)
            paths.records.push_back(std::move(*record));
        else
            paths.dirty = true;
    }
}

// Reads the paths file; a missing file is an empty list.
void readPathsFile(ConduitContext &context, CardEntry &card) {
    CardPathsList &paths = card.paths;
    paths = {};
    try {
        std::vector<uint8_t> bytes;
        const int32_t answer =
            readCardFile(card.volume, context.plugin->cardPathsFileName, kMaxPathsFileSize, bytes);
        if (answer == palm::kVfsErrFileNotFound) return;
        if (answer == kCardFileTooLarge) {
            logResource(context, kStrNotEnoughMemory);
            paths.readable = false;
            return;
        }
        if (answer != 0) {
            logText(context, kCannotReadPathsText);
            paths.readable = false;
            return;
        }
        readPaths(bytes, paths);
    } catch (const std::bad_alloc &) {
        logResource(context, kStrNotEnoughMemory);
        paths = {};
        paths.readable = false;
    } catch (...) {
        logText(context, kPathsReadExceptionText);
        paths = {};
        paths.readable = false;
    }
}

}  // namespace

void addCardFolder(CardEntry &card, const std::string &folder) {
    if (isListed(card.paths, folder)) return;
    card.paths.records.push_back({0, folder});
    card.paths.dirty = true;
}

void loadCardFolders(ConduitContext &context, CardEntry &card) {
    if (!card.isCard()) return;
    readPathsFile(context, card);
    for (const auto &entry : context.desktop.entries) {
        const qv::SyncFileRecord &r = entry->record;
        if (r.locationKind == qv::kLocationCard && r.locationId == card.identity && !r.cardFolder.empty() &&
            r.cardFolder.front() == '/')
            addCardFolder(card, r.cardFolder);
    }
    for (std::size_t i = 0; i < card.paths.records.size(); ++i) {
        qv::CardPathRecord &record = card.paths.records[i];
        if (record.pathDeleted != 0) continue;
        if (QVVFSDirExists(card.volume, record.folderPath.c_str())) {
            loadFolderList(context, card, record.folderPath);
        } else {
            record.pathDeleted = 1;
            card.paths.dirty = true;
        }
    }
}

bool saveCardFolders(ConduitContext &context, CardEntry &card) {
    CardPathsList &paths = card.paths;
    // A paths file that could not be read is left as it is; the lists that
    // were read may still be written.
    if (!paths.dirty || !paths.readable) return true;
    std::vector<std::string> folders;
    for (const qv::CardPathRecord &r : paths.records)
        if (r.pathDeleted == 0) folders.push_back(r.folderPath);
    const auto bytes = qv::writeCardPaths(folders);
    if (!bytes) {
        logResource(context, kStrCannotWriteCardPaths);
        return false;
    }
    const CardWriteResult result = replaceCardFile(card.volume, context.plugin->cardPathsFileName, *bytes);
    if (result.failedAt == CardWriteStage::Create) {
        logResource(context, kStrCannotSaveCardPaths);
        return false;
    }
    if (!result.ok()) {
        logResource(context, kStrCannotWriteCardPaths);
        return false;
    }
    paths.dirty = false;
    return true;
}

}  // namespace conduit
