#include "sync_actions.h"

#include "QVDPCommon.h"
#include "backups.h"
#include "conduit_log.h"
#include "error_record.h"
#include "guid.h"
#include "handheld_lists.h"
#include "handheld_transfer.h"
#include "status_codes.h"
#include "sync_new_files.h"
#include "sync_pairs.h"

#include <cerrno>
#include <filesystem>

namespace conduit {

namespace {

namespace fs = std::filesystem;

PluginEntryPoints &plugin(ConduitContext &context) { return context.plugin->entry; }

void updateHandheld(ConduitContext &context, DesktopEntry *entry, HandheldItem *item, QVDP_Error &error) {
    if (!entry || !item) {
        qv::setConduitError(&error, qv::kBadParameters);
        return;
    }
    copyToHandheld(context, *entry, error);
    if (failed(error)) return;
    markSynchronized(*entry);
    const qv::SyncFileRecord &r = entry->record;
    qv::HandheldFileRecord &h = item->record;
    h.recordId = r.recordId;
    h.stamp = r.handheldStamp;
    h.name = r.handheldName;
    h.palmCategory = uint8_t(r.palmCategory);
    h.syncMode = uint8_t(r.syncMode);
    item->dirty = true;
}

// backup: whether the desktop file is backed up before it is replaced (a
// conflict has preserved it already).
void updateDesktop(ConduitContext &context, DesktopEntry *entry, HandheldItem *item, QVDP_Error &error,
                   bool backup = true) {
    if (!entry || !item) {
        qv::setConduitError(&error, qv::kBadParameters);
        return;
    }
    qv::SyncFileRecord &r = entry->record;
    const std::string &target = r.desktopPath;
    const std::string temp = target + ".TMP";
    if (temp.size() > kMaxPathLength) {
        qv::setConduitError(&error, qv::kBadParameters);
        return;
    }
    if (QVPCFileExists(temp.c_str()) && !QVPCDeleteFile(&error, temp.c_str())) return;
    plugin(context).prepareDestPcFile(&error, target.c_str(), temp.c_str(), int32_t(r.desktopFormat),
                                      int32_t(r.handheldFormat));
    if (!failed(error))
        copyFromHandheld(context, *item, temp, int32_t(r.desktopFormat), int32_t(r.handheldFormat), error);
    if (!failed(error) && backup) backupDesktopFile(context, target, error);
    if (!failed(error)) QVPCReplaceTmpFile(&error, temp.c_str(), target.c_str());
    if (failed(error)) {
        deleteDesktopFile(temp);
        return;
    }
    const qv::HandheldFileRecord &h = item->record;
    r.palmCategory = h.palmCategory;
    r.handheldStamp = h.stamp;
    r.handheldName = h.name;
    r.syncMode = h.syncMode;
    takeLocationOf(*entry, *item->list);
    entry->handheldPath = itemPath(*item);
    markSynchronized(*entry);
}

// Both sides changed. The handheld version stays with the entry and its
// handheld file and takes the entry's desktop path; the desktop version
// becomes a new entry with a numbered desktop name and a new handheld file
// under a free name. Each handheld record keeps pairing with the desktop
// entry of its own version, so a run cut short between writing the
// handheld lists and the desktop list parts no version from its entry.
void keepBoth(ConduitContext &context, SyncPair &pair, QVDP_Error &error) {
    DesktopEntry *entry = pair.entry;
    HandheldItem *item = pair.item;
    if (!entry || !item) {
        qv::setConduitError(&error, qv::kBadParameters);
        return;
    }
    const qv::SyncFileRecord &r = entry->record;
    HandheldList &list = *item->list;

    // The desktop version is copied to its numbered path, not moved: the
    // entry's path keeps a file until the handheld version replaces it.
    char numbered[QVDP_MAX_PATH] = {};
    if (!GenerateUniquePCFileName(r.desktopPath.c_str(), numbered)) {
        qv::setConduitError(&error, qv::kPcFileExists);
        return;
    }
    char freeName[QVDP_MAX_PATH] = {};
    const bool named = list.card ? GenerateUniqueCardName(&error, list.card->volume, list.cardFolder.c_str(),
                                                          item->record.name.c_str(), freeName)
                                 : GenerateUniquePalmName(&error, item->record.name.c_str(), freeName);
    if (!named) {
        if (!failed(error)) qv::setConduitError(&error, qv::kPalmDatabaseExists);
        return;
    }
    std::error_code ec;
    if (!fs::copy_file(r.desktopPath, numbered, fs::copy_options::none, ec) || ec) {
        qv::setFileError(&error, qv::kGeneralFileError, r.desktopPath, uint32_t(ec ? ec.value() : EEXIST));
        return;
    }
    auto copy = std::make_unique<DesktopEntry>(*entry);
    qv::SyncFileRecord &c = copy->record;
    c.recordId = platform::createGuid();
    c.desktopPath = numbered;
    c.handheldName = freeName;
    c.syncedFileTime = 0;
    copy->handheldPath = handheldPathOf(c);
    copy->processed = true;

    // The handheld version replaces the entry's desktop file ...
    updateDesktop(context, entry, item, error, false);
    if (failed(error)) {
        QVDP_Error ignored{};
        QVPCDeleteFile(&ignored, numbered);
        return;
    }
    // ... and the desktop version becomes a new handheld file. If that
    // fails, its entry stays and the file is made at the next HotSync.
    qv::HandheldFileRecord h = item->record;
    h.recordId = c.recordId;
    h.name = c.handheldName;
    h.stamp = c.handheldStamp;
    auto newItem = std::make_unique<HandheldItem>();
    newItem->list = &list;
    newItem->record = h;
    newItem->raw.assign(list.header.recordSize, 0);
    newItem->dirty = newItem->processed = true;
    QVDP_Error copyError{};
    copyToHandheld(context, *copy, copyError);
    if (failed(copyError)) {
        c.status = statusForError(copyError);
        reportPairError(copyError, {newItem->record.name.c_str(), c.desktopPath.c_str()});
    } else {
        markSynchronized(*copy);
        list.items.push_back(std::move(newItem));
    }
    context.desktop.entries.push_back(std::move(copy));
}

}  // namespace

void performAction(ConduitContext &context, SyncPair &pair, QVDP_Error &error) {
    switch (pair.action) {
    case SyncAction::UpdateHandheld: updateHandheld(context, pair.entry, pair.item, error); break;
    case SyncAction::UpdateDesktop: updateDesktop(context, pair.entry, pair.item, error); break;
    case SyncAction::KeepBoth: keepBoth(context, pair, error); break;
    case SyncAction::CreateDesktop: createDesktop(context, pair, error); break;
    case SyncAction::CreateHandheld: createHandheld(context, pair, error); break;
    case SyncAction::None: break;
    }
}

}  // namespace conduit
