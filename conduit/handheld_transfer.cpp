#include "handheld_transfer.h"

#include "QVDPCommon.h"
#include "card_files.h"
#include "card_fs.h"
#include "error_record.h"
#include "handheld_lists.h"
#include "status_codes.h"
#include "sync_manager.h"
#include "times.h"

#include <algorithm>
#include <climits>

namespace conduit {

namespace {

constexpr std::size_t kMaxRamNameLength = QVDP_PALM_NAME_SIZE - 1;

PluginEntryPoints &plugin(ConduitContext &context) { return context.plugin->entry; }

// The bytes every copy to handheld RAM must leave free.
int32_t reserveBytes(const QVDP_Settings &settings) {
    const int64_t bytes = int64_t(std::max<int32_t>(settings.minFreeSpaceOnDevice, 0)) * 1024;
    return int32_t(std::min<int64_t>(bytes, INT32_MAX));
}

}  // namespace

void cardError(QVDP_Error &error, int32_t answer) { qv::setSyncError(&error, qv::kCardIoError, answer); }

void deleteDesktopFile(const std::string &path) {
    QVDP_Error ignored{};
    if (QVPCFileExists(path.c_str())) QVPCDeleteFile(&ignored, path.c_str());
}

bool usableHandheldName(const DesktopEntry &entry) {
    const std::string &name = entry.record.handheldName;
    if (name.empty()) return false;
    if (!entry.card) return name.size() <= kMaxRamNameLength;
    return name.find('/') == std::string::npos && !entry.handheldPath.empty() &&
           entry.handheldPath.size() + 4 <= kMaxPathLength;
}

void copyToHandheld(ConduitContext &context, DesktopEntry &entry, QVDP_Error &error) {
    const qv::SyncFileRecord &r = entry.record;
    if (!usableHandheldName(entry)) {
        qv::setConduitError(&error, qv::kBadParameters);
        return;
    }
    if (!entry.card) {
        plugin(context).copyToPalmDevice(&error, r.desktopPath.c_str(), entry.handheldPath.c_str(),
                                         int32_t(r.desktopFormat), int32_t(r.handheldFormat),
                                         reserveBytes(context.plugin->settings));
        return;
    }
    const CardEntry &card = *entry.card;
    if (!card.mounted) {
        qv::setConduitError(&error, qv::kCardNotPresent);
        return;
    }
    const std::string &target = entry.handheldPath;
    const std::string temp = target + ".tmp";
    if (int32_t answer = QVVFSCheckPath(card.volume, target.c_str())) return cardError(error, answer);
    if (int32_t answer = palm::vfs::fileDelete(card.volume, temp); answer && answer != palm::kVfsErrFileNotFound)
        return cardError(error, answer);
    palm::vfs::FileRef file = 0;
    if (int32_t answer = palm::vfs::fileOpen(card.volume, temp, kCardOpenCreateTruncate, file))
        return cardError(error, answer);
    plugin(context).copyToPalmCard(&error, r.desktopPath.c_str(), file, int32_t(r.desktopFormat),
                                   int32_t(r.handheldFormat));
    const int32_t closed = palm::vfs::fileClose(file);
    if (!failed(error) && closed) cardError(error, closed);
    if (!failed(error)) {
        if (int32_t answer = QVVFSReplaceFile(card.volume, target.c_str(), temp.c_str())) cardError(error, answer);
    }
    if (failed(error)) palm::vfs::fileDelete(card.volume, temp);
}

void copyFromHandheld(ConduitContext &context, const HandheldItem &item, const std::string &target,
                      int32_t desktopFormat, int32_t handheldFormat, QVDP_Error &error) {
    const std::string source = itemPath(item);
    if (const CardEntry *card = item.list->card) {
        if (!card->mounted) {
            qv::setConduitError(&error, qv::kCardNotPresent);
            return;
        }
        palm::vfs::FileRef file = 0;
        if (int32_t answer = palm::vfs::fileOpen(card->volume, source, kCardOpenRead, file))
            return cardError(error, answer);
        plugin(context).copyFromPalmCard(&error, target.c_str(), file, desktopFormat, handheldFormat);
        palm::vfs::fileClose(file);
    } else {
        plugin(context).copyFromPalmDevice(&error, target.c_str(), source.c_str(), desktopFormat, handheldFormat);
    }
    if (failed(error)) deleteDesktopFile(target);
}

void markSynchronized(DesktopEntry &entry) {
    qv::SyncFileRecord &r = entry.record;
    if (const CardEntry *card = entry.card) {
        palm::vfs::FileRef file = 0;
        if (palm::vfs::fileOpen(card->volume, entry.handheldPath, kCardOpenRead, file) == 0) {
            uint32_t size = 0;
            if (palm::vfs::fileSize(file, size) == 0) r.handheldSize = size;
            palm::vfs::fileClose(file);
        }
        r.locationKind = qv::kLocationCard;
        r.locationId = card->identity;
    } else {
        palm::sync::DbInfo info;
        if (palm::sync::findDatabase(r.handheldName, 0, info) == 0) r.handheldSize = info.totalBytes;
    }
    r.status = qv::kSynchronized;
    r.syncedFileTime = platform::fileTimeNow();
}

void takeLocationOf(DesktopEntry &entry, const HandheldList &list) {
    qv::SyncFileRecord &r = entry.record;
    entry.card = list.card;
    if (list.card) {
        r.locationKind = qv::kLocationCard;
        r.locationId = list.card->identity;
        r.cardFolder = list.cardFolder;
    } else {
        r.locationKind = qv::kLocationRam;
        r.locationId = {};
    }
}

}  // namespace conduit
