#include "sync_pairs.h"

#include "QVDPCommon.h"
#include "error_record.h"
#include "handheld_lists.h"
#include "palm_errors.h"
#include "status_codes.h"
#include "times.h"

namespace conduit {

namespace {

constexpr uint32_t kMaxSlot = 32;

void matchEntry(DesktopEntry &entry) {
    qv::SyncFileRecord &r = entry.record;
    if (r.syncMode != qv::kSyncCopyOnly) r.status = qv::kNeedSync;
    entry.handheldPath = handheldPathOf(r);
    entry.changedOnDesktop = false;
    if (r.syncedFileTime == 0) {
        if (!QVPCFileExists(r.desktopPath.c_str()))
            r.status = qv::kMissingDesktopFile;
        else
            // Never transferred: the handheld cannot hold this version yet
            // (the record was pointed at a new file, or a run was cut short).
            entry.changedOnDesktop = true;
        return;
    }
    const auto written = platform::lastWriteFileTime(r.desktopPath);
    if (!written) {
        r.status = qv::kMissingDesktopFile;
        return;
    }
    if (*written > r.syncedFileTime) entry.changedOnDesktop = true;
    if (r.status != qv::kSynchronized) r.status = qv::kNeedSync;
}

// The entry lives where the item's list is.
void takeItemLocation(DesktopEntry &entry, const HandheldItem &item) {
    qv::SyncFileRecord &r = entry.record;
    const HandheldList &list = *item.list;
    if (list.card) {
        r.locationKind = qv::kLocationCard;
        r.locationId = list.card->identity;
        r.cardFolder = list.cardFolder;
    } else {
        r.locationKind = qv::kLocationRam;
        r.locationId = {};
    }
    r.handheldName = item.record.name;
    entry.handheldPath = handheldPathOf(r);
    r.syncMode = item.record.syncMode;
    r.handheldFlags = item.record.flags;
}

void resolveCard(ConduitContext &context, DesktopEntry &entry) {
    qv::SyncFileRecord &r = entry.record;
    entry.card = nullptr;
    if (r.locationKind == qv::kLocationRam) return;
    if (r.locationKind == qv::kLocationSlot) {
        const uint32_t slot = qv::slotOfLocationId(r.locationId);
        for (CardEntry &card : context.cards)
            if (slot < kMaxSlot && card.isCard() && card.position == int32_t(slot)) entry.card = &card;
        if (!entry.card) r.status = qv::kNoCardInSlot;
        return;
    }
    if (r.locationKind == qv::kLocationCard) {
        for (CardEntry &card : context.cards) {
            if (card.isCard() && card.identity == r.locationId) {
                entry.card = &card;
                break;
            }
        }
    }
    // A location this conduit does not know is a card it cannot find.
    if (!entry.card) r.status = qv::kCardNotFound;
}

bool handheldChanged(const DesktopEntry &entry, const HandheldItem &item) {
    return qv::handheldFileChanged(entry.record, item.record);
}

}  // namespace

std::string handheldPathOf(const qv::SyncFileRecord &record) {
    if (record.locationKind == qv::kLocationRam) return record.handheldName;
    return joinCardPath(record.cardFolder, record.handheldName);
}

HandheldItem *findItemFor(const ConduitContext &context, const qv::Guid &id) {
    if (qv::isZeroGuid(id)) return nullptr;
    for (const auto &list : context.handheld.lists) {
        if (!list->readable) continue;
        for (const auto &item : list->items)
            if (!item->processed && qv::sameDocument(item->record.recordId, id)) return item.get();
    }
    return nullptr;
}

DesktopEntry *findEntryFor(const ConduitContext &context, const qv::Guid &id) {
    if (qv::isZeroGuid(id)) return nullptr;
    for (const auto &entry : context.desktop.entries)
        if (qv::sameDocument(entry->record.recordId, id)) return entry.get();
    return nullptr;
}

void matchPair(ConduitContext &context, SyncPair &pair) {
    DesktopEntry *entry = pair.entry;
    if (!entry) return;
    matchEntry(*entry);
    if (pair.item) takeItemLocation(*entry, *pair.item);
    resolveCard(context, *entry);
    if (pair.item) {
        const qv::HandheldFileRecord &h = pair.item->record;
        entry->record.syncMode = h.syncMode;
        entry->record.handheldFlags = h.flags;
        entry->record.handheldName = h.name;
        entry->record.palmCategory = h.palmCategory;
    }
}

SyncAction decideAction(SyncPair &pair, QVDP_Error &error) {
    DesktopEntry *entry = pair.entry;
    HandheldItem *item = pair.item;
    const int mode = pair.mode;
    if (entry) {
        const qv::SyncFileRecord &r = entry->record;
        if (r.status == qv::kMissingDesktopFile)
            return mode == kModeHandheldOverwrites && item && item->record.syncMode == qv::kSyncBothWays
                       ? SyncAction::UpdateDesktop
                       : SyncAction::None;
        if (r.status == qv::kCardNotFound || r.status == qv::kNoCardInSlot) return SyncAction::None;
        if (qv::copyOnlyAndDone(r)) return SyncAction::None;
        if (!item) {
            if (mode != kModeSynchronize || r.syncedFileTime == 0) return SyncAction::CreateHandheld;
            entry->record.status = qv::kMissingPalmDatabase;
            return SyncAction::None;
        }
    }
    if (!item) return SyncAction::None;
    const std::string path = itemPath(*item);
    const int32_t exists = QVHHFileExists(&error, volumeOf(*item->list), path.c_str());
    if (error.code != 0) return SyncAction::None;
    if (!exists) {
        // A file gone from the handheld comes back when the desktop
        // overwrites, and when the desktop has a newer version: an edit
        // outweighs a file that vanished (as after an update cut short).
        if (entry && (mode == kModeDesktopOverwrites || (mode == kModeSynchronize && entry->changedOnDesktop)))
            return SyncAction::UpdateHandheld;
        item->record.deleted = 1;
        item->dirty = true;
        if (entry) entry->dropped = true;
        return SyncAction::None;
    }
    if (!entry) return item->record.syncMode == qv::kSyncBothWays ? SyncAction::CreateDesktop : SyncAction::None;
    if (item->record.flags & qv::kHandheldFlagNoAction) return SyncAction::None;
    const bool changedOnHandheld = handheldChanged(*entry, *item);
    if (entry->changedOnDesktop) {
        if (!changedOnHandheld)
            return mode == kModeHandheldOverwrites ? SyncAction::UpdateDesktop : SyncAction::UpdateHandheld;
        switch (mode) {
        case kModeSynchronize: return SyncAction::KeepBoth;
        case kModeDesktopOverwrites: return SyncAction::UpdateHandheld;
        default: return SyncAction::UpdateDesktop;
        }
    }
    if (!changedOnHandheld) return SyncAction::None;
    return mode == kModeDesktopOverwrites ? SyncAction::UpdateHandheld : SyncAction::UpdateDesktop;
}

int32_t statusForError(const QVDP_Error &error) {
    switch (error.kind) {
    case QVDP_KIND_FILE: return qv::kFileErrorStatus;
    case QVDP_KIND_SYSTEM: return qv::kSystemErrorStatus;
    case QVDP_KIND_CONVERSION: return qv::kConversionErrorStatus;
    case QVDP_KIND_SYNC:
        if (error.syncError == palm::kExpErrCardReadOnly) return qv::kCardReadOnly;
        if (error.syncError == palm::kVfsErrVolumeFull || error.syncError == palm::kVfsErrNoRoomForEntry)
            return qv::kNoFreeMemory;
        return qv::kSyncManagerError;
    default:
        switch (error.code) {
        case qv::kPalmDatabaseExists: return qv::kFileAlreadyExists;
        case qv::kNotEnoughPalmMemory: return qv::kNoFreeMemory;
        case qv::kCardNotPresent: return qv::kCardNotFound;
        default: return qv::kConduitError;
        }
    }
}

void unlinkItem(HandheldItem &item) {
    item.record.recordId = {};
    item.record.stamp = 0;
    item.record.syncMode = qv::kSyncCopyOnly;
    item.dirty = true;
}

}  // namespace conduit
