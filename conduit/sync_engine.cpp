#include "sync_engine.h"

#include "backups.h"
#include "card_folders.h"
#include "conduit_log.h"
#include "desktop_list.h"
#include "error_record.h"
#include "handheld_lists.h"
#include "status_codes.h"
#include "sync_actions.h"
#include "sync_new_files.h"
#include "sync_pairs.h"

namespace conduit {

namespace {

bool holdsError(const QVDP_Error &error) { return error.code != 0 || error.kind != QVDP_KIND_NONE; }

void report(const QVDP_Error &error, const SyncPair &pair) {
    PairFiles files;
    if (pair.item) files.palmFile = pair.item->record.name.c_str();
    if (pair.entry) files.pcFile = pair.entry->record.desktopPath.c_str();
    reportPairError(error, files);
}

// Decides and acts; without an action a pair that needed nothing is
// synchronized. The desktop walk reports a missing desktop file.
void decideAndAct(ConduitContext &context, SyncPair &pair, QVDP_Error &error, bool reportMissingDesktopFile) {
    pair.action = decideAction(pair, error);
    if (pair.action != SyncAction::None) {
        performAction(context, pair, error);
        return;
    }
    if (!pair.entry) return;
    qv::SyncFileRecord &r = pair.entry->record;
    if (reportMissingDesktopFile && r.status == qv::kMissingDesktopFile && !holdsError(error))
        qv::setConduitError(&error, qv::kDesktopFileMissing);
    else if (r.status == qv::kNeedSync)
        r.status = qv::kSynchronized;
}

void recordOutcome(const QVDP_Error &error, const SyncPair &pair) {
    if (!holdsError(error)) return;
    if (pair.entry) pair.entry->record.status = statusForError(error);
    report(error, pair);
}

void desktopWalk(ConduitContext &context, int mode) {
    auto &entries = context.desktop.entries;
    // Entries an action appends are already handled.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        DesktopEntry &entry = *entries[i];
        if (entry.processed) continue;
        QVDP_Error error{};
        SyncPair pair{mode, SyncAction::None, &entry, findItemFor(context, entry.record.recordId)};
        matchPair(context, pair);
        if (!pair.item && !entry.record.removed && (pair.item = relinkItem(context, entry))) matchPair(context, pair);
        if (HandheldItem *item = pair.item; item && item->record.deleted) {
            if (mode == kModeDesktopOverwrites && !entry.record.removed) {
                item->record.deleted = 0;
                item->dirty = true;
            } else {
                entry.dropped = entry.processed = true;
                item->processed = true;
                continue;
            }
        }
        if (entry.record.removed) {
            entry.dropped = true;
            if (pair.item) unlinkItem(*pair.item);
        } else {
            decideAndAct(context, pair, error, true);
            recordOutcome(error, pair);
        }
        entry.processed = true;
        if (pair.entry) pair.entry->processed = true;
        if (pair.item) pair.item->processed = true;
    }
}

void handheldWalkItem(ConduitContext &context, HandheldItem &item, int mode) {
    const qv::Guid id = item.record.recordId;
    if (item.record.deleted) {
        if (mode == kModeHandheldOverwrites) {
            if (DesktopEntry *entry = findEntryFor(context, id)) entry->dropped = entry->processed = true;
            item.processed = true;
        }
        return;
    }
    QVDP_Error error{};
    SyncPair pair{mode, SyncAction::None, findEntryFor(context, id), &item};
    matchPair(context, pair);
    DesktopEntry *entry = pair.entry;
    if (mode != kModeHandheldOverwrites && entry && entry->record.removed) {
        entry->dropped = true;
        unlinkItem(item);
    } else {
        if (mode == kModeHandheldOverwrites && entry && entry->record.removed) {
            if (item.record.syncMode == qv::kSyncCopyOnly) {
                entry->dropped = true;
                item.record.recordId = {};
                item.record.stamp = 0;
                item.dirty = true;
            } else {
                entry->dropped = false;
                entry->record.removed = 0;
            }
        }
        decideAndAct(context, pair, error, false);
        recordOutcome(error, pair);
    }
    if (pair.entry) pair.entry->processed = true;
    if (pair.item) pair.item->processed = true;
    item.processed = true;
}

void handheldWalk(ConduitContext &context, int mode) {
    auto &lists = context.handheld.lists;
    for (std::size_t l = 0; l < lists.size(); ++l) {
        HandheldList &list = *lists[l];
        if (!list.readable) continue;
        for (std::size_t i = 0; i < list.items.size(); ++i)
            if (!list.items[i]->processed) handheldWalkItem(context, *list.items[i], mode);
    }
}

void walk(ConduitContext &context) {
    switch (context.properties.syncType) {
    case kSyncTypeFast:
    case kSyncTypeSlow:
        desktopWalk(context, kModeSynchronize);
        handheldWalk(context, kModeSynchronize);
        break;
    case kSyncTypeHandheldOverwrites: handheldWalk(context, kModeHandheldOverwrites); break;
    case kSyncTypeDesktopOverwrites: desktopWalk(context, kModeDesktopOverwrites); break;
    default: break;
    }
}

bool loadLists(ConduitContext &context) {
    if (!loadDesktopList(context)) return false;
    if (!loadRamList(context)) {
        closeDesktopList(context);
        return false;
    }
    for (CardEntry &card : context.cards)
        if (card.isCard() && card.mounted) loadCardFolders(context, card);
    return true;
}

// Handheld lists first, the desktop list last: a run cut short in between
// leaves desktop records that the next run matches again.
bool writeLists(ConduitContext &context) {
    writeRamList(context);
    for (CardEntry &card : context.cards) {
        if (!card.isCard() || !card.mounted || !saveCardFolders(context, card)) continue;
        for (const auto &list : context.handheld.lists)
            if (list->card == &card && list->needsWrite()) writeFolderList(*list);
    }
    return writeDesktopList(context);
}

void freeLists(ConduitContext &context) {
    closeDesktopList(context);
    context.handheld.lists.clear();
    context.desktop.entries.clear();
}

}  // namespace

int32_t synchronize(ConduitContext &context) {
    if (!context.plugin) return -1;
    if (!loadLists(context)) {
        freeLists(context);
        return -1;
    }
    walk(context);
    const bool written = writeLists(context);
    freeLists(context);
    return written ? 0 : -1;
}

void cleanBackups(ConduitContext &context) {
    if (context.plugin) removeOldBackups(context);
}

}  // namespace conduit
