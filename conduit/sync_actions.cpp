#include "sync_actions.h"

#include "QVDPCommon.h"
#include "backups.h"
#include "card_files.h"
#include "card_fs.h"
#include "conduit_log.h"
#include "error_record.h"
#include "guid.h"
#include "handheld_lists.h"
#include "status_codes.h"
#include "sync_manager.h"
#include "sync_pairs.h"
#include "times.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace conduit {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxPathLength = QVDP_MAX_PATH - 1;
constexpr std::size_t kMaxRamNameLength = QVDP_PALM_NAME_SIZE - 1;
constexpr int kMaxImportNumber = 99999;

bool failed(const QVDP_Error &error) { return error.code != 0; }

PluginEntryPoints &plugin(ConduitContext &context) { return context.plugin->entry; }

void cardError(QVDP_Error &error, int32_t answer) { qv::setSyncError(&error, qv::kCardIoError, answer); }

void deleteDesktopFile(const std::string &path) {
    QVDP_Error ignored{};
    if (QVPCFileExists(path.c_str())) QVPCDeleteFile(&ignored, path.c_str());
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The bytes every copy to handheld RAM must leave free.
int32_t reserveBytes(const QVDP_Settings &settings) {
    const int64_t bytes = int64_t(std::max<int32_t>(settings.minFreeSpaceOnDevice, 0)) * 1024;
    return int32_t(std::min<int64_t>(bytes, INT32_MAX));
}

// A handheld name the entry can be stored under: a RAM database name, or
// one file name inside the card folder.
bool usableHandheldName(const DesktopEntry &entry) {
    const std::string &name = entry.record.handheldName;
    if (name.empty()) return false;
    if (!entry.card) return name.size() <= kMaxRamNameLength;
    return name.find('/') == std::string::npos && !entry.handheldPath.empty() &&
           entry.handheldPath.size() + 4 <= kMaxPathLength;
}

// ---- Transfers ----------------------------------------------------------------

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

// After every successful transfer: the size on the handheld, the status,
// the card and the time of the transfer.
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

// ---- Actions ------------------------------------------------------------------

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

// A desktop file name made of a handheld name: no folder separators, not
// "." or "..".
std::string desktopNameOf(const std::string &handheldName) {
    if (handheldName.empty() || handheldName == "." || handheldName == "..") return std::string(1, '_');
    std::string name(handheldName);
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

// Shortens text to at most size bytes without cutting a UTF-8 sequence.
void shortenTo(std::string &text, std::size_t size) {
    if (text.size() <= size) return;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
    text.resize(size);
}

// The extension a new desktop file gets: the first one of its format, in
// lower case; without a format, the one of the handheld name.
std::string desktopExtension(const QVDP_Format *format, const std::string &handheldName) {
    if (format && format->extensions) {
        std::string ext(format->extensions);
        ext = ext.substr(0, ext.find(';'));
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        return ext;
    }
    const std::size_t dot = handheldName.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : handheldName.substr(dot);
}

bool desktopPathTaken(const ConduitContext &context, const std::string &path) {
    if (QVPCFileExists(path.c_str())) return true;
    return std::any_of(context.desktop.entries.begin(), context.desktop.entries.end(), [&](const auto &entry) {
        return !entry->record.removed && equalNoCase(entry->record.desktopPath, path);
    });
}

// A free desktop path in the sync folder for a new handheld file: its base
// name with the extension, else the base with "_0", "_1" ... up to "_99999".
bool importTarget(const ConduitContext &context, const HandheldItem &item, const QVDP_Format *format,
                  std::string &target, QVDP_Error &error) {
    std::string folder(context.plugin->settings.syncDir);
    if (!folder.empty() && !folder.ends_with('/')) folder += '/';
    const std::string name = desktopNameOf(item.record.name);
    const std::size_t dot = name.rfind('.');
    std::string base = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = desktopExtension(format, item.record.name);
    const std::size_t room = kMaxPathLength - std::min(kMaxPathLength, folder.size() + ext.size() + 6);
    if (room == 0) {
        qv::setConduitError(&error, qv::kBadParameters);
        return false;
    }
    shortenTo(base, room);
    target = folder + base + ext;
    if (!desktopPathTaken(context, target)) return true;
    for (int n = 0; n <= kMaxImportNumber; ++n) {
        char number[16];
        std::snprintf(number, sizeof number, "_%d", n);
        target = folder + base + number + ext;
        if (!desktopPathTaken(context, target)) return true;
    }
    qv::setSystemError(&error, qv::kGeneralWindowsError, EEXIST);
    return false;
}

bool handheldFileMissing(const QVDP_Error &error) {
    return error.kind == QVDP_KIND_SYNC &&
           ((error.code == qv::kPalmDbIoError && error.syncError == palm::kSyncErrNotFound) ||
            (error.code == qv::kCardIoError && error.syncError == palm::kVfsErrFileNotFound));
}

void lookUpFormats(ConduitContext &context, const HandheldList &list, const std::string &source,
                   int32_t &desktopFormat, int32_t &handheldFormat) {
    desktopFormat = handheldFormat = -1;
    if (list.card)
        plugin(context).getDesktopFormatFromCardFile(list.card->volume, source.c_str(), &desktopFormat,
                                                     &handheldFormat);
    else
        plugin(context).getDesktopFormatFromPalmDb(source.c_str(), &desktopFormat, &handheldFormat);
}

bool unsupported(int32_t desktopFormat, int32_t handheldFormat) {
    return (desktopFormat == -1 && handheldFormat == -1) || (desktopFormat == 0 && handheldFormat == 0);
}

void createDesktop(ConduitContext &context, SyncPair &pair, QVDP_Error &error) {
    HandheldItem *item = pair.item;
    if (!item || pair.entry) {
        qv::setConduitError(&error, qv::kBadParameters);
        return;
    }
    const HandheldList &list = *item->list;
    const std::string source = itemPath(*item);
    int32_t desktopFormat = -1, handheldFormat = -1;
    lookUpFormats(context, list, source, desktopFormat, handheldFormat);
    // The record leaves the list for good when its format is not supported,
    // so a database lookup that found nothing is made once more: a lookup
    // that failed on the way must not part the file from its list.
    if (!list.card && unsupported(desktopFormat, handheldFormat))
        lookUpFormats(context, list, source, desktopFormat, handheldFormat);
    const QVDP_Format *format = nullptr;
    if (plugin(context).getFormat(desktopFormat, &format) != 0) format = nullptr;
    const int32_t category = format ? format->category : -1;
    if (unsupported(desktopFormat, handheldFormat)) {
        qv::setConduitError(&error, qv::kFormatNotSupported);
        item->record.deleted = 1;
        item->dirty = true;
        return;
    }
    std::string target;
    if (!importTarget(context, *item, format, target, error)) return;
    if (QVPCFileExists(target.c_str())) {
        qv::setConduitError(&error, qv::kPcFileExists);
        return;
    }
    copyFromHandheld(context, *item, target, desktopFormat, handheldFormat, error);
    if (failed(error)) {
        if (handheldFileMissing(error)) {
            item->record.deleted = 1;
            item->dirty = true;
        }
        return;
    }
    auto entry = std::make_unique<DesktopEntry>();
    qv::SyncFileRecord &r = entry->record;
    const qv::HandheldFileRecord &h = item->record;
    r.recordId = platform::createGuid();
    r.dateAdded = platform::oleDateNow();
    r.desktopPath = target;
    r.handheldName = h.name;
    if (list.card) {
        r.cardFolder = list.cardFolder;
    } else {
        char folder[QVDP_MAX_PATH] = {};
        QVPALMGetOnlyFilePath(folder, source.c_str());
        r.cardFolder = folder;
    }
    int32_t pluginId = 0;
    plugin(context).getPluginId(&pluginId);
    r.pluginId = uint32_t(pluginId);
    r.desktopCategory = uint32_t(category);
    r.desktopFormat = uint32_t(desktopFormat);
    r.handheldFormat = uint32_t(handheldFormat);
    r.palmCategory = h.palmCategory;
    r.handheldStamp = h.stamp;
    r.syncMode = h.syncMode;
    r.handheldFlags = h.flags;
    r.creationMark = qv::kCreatedByConduit;
    takeLocationOf(*entry, list);
    entry->handheldPath = source;
    markSynchronized(*entry);
    item->record.recordId = r.recordId;
    item->dirty = true;
    pair.entry = entry.get();
    context.desktop.entries.push_back(std::move(entry));
}

bool listNames(const HandheldList &list, const std::string &name) {
    return std::any_of(list.items.begin(), list.items.end(), [&](const auto &item) {
        return list.isRam() ? item->record.name == name : equalNoCase(item->record.name, name);
    });
}

// The entry's handheld name is taken. By a listed document: conduit error
// 11. By a file no list knows (left by a run that was cut short, or put
// there by someone else): that file stays, and the entry takes a free name.
bool takeFreeName(DesktopEntry &entry, const HandheldList &list, QVDP_Error &error) {
    qv::SyncFileRecord &r = entry.record;
    if (listNames(list, r.handheldName)) {
        qv::setConduitError(&error, qv::kPalmDatabaseExists);
        return false;
    }
    char name[QVDP_MAX_PATH] = {};
    const bool named = entry.card ? GenerateUniqueCardName(&error, entry.card->volume, r.cardFolder.c_str(),
                                                           r.handheldName.c_str(), name)
                                  : GenerateUniquePalmName(&error, r.handheldName.c_str(), name);
    if (!named) {
        if (!failed(error)) qv::setConduitError(&error, qv::kPalmDatabaseExists);
        return false;
    }
    r.handheldName = name;
    entry.handheldPath = handheldPathOf(r);
    return true;
}

void createHandheld(ConduitContext &context, SyncPair &pair, QVDP_Error &error) {
    DesktopEntry *entry = pair.entry;
    const bool cardFolderUsable =
        !entry || !entry->card || (!entry->record.cardFolder.empty() && entry->record.cardFolder.front() == '/');
    if (!entry || pair.item || !usableHandheldName(*entry) || !cardFolderUsable) {
        qv::setConduitError(&error, qv::kBadParameters);
        return;
    }
    const qv::SyncFileRecord &r = entry->record;
    // The list the new item goes into; a list that could not be read takes
    // no new item, so no file is made that it would not know.
    HandheldList *list = context.handheld.ramList();
    if (entry->card) list = &folderListFor(context, *entry->card, r.cardFolder);
    if (!list) {
        qv::setConduitError(&error, qv::kBadParameters);
        return;
    }
    if (!list->readable) {
        cardError(error, list->readError);
        return;
    }
    const uint16_t volume = entry->card ? entry->card->volume : uint16_t(QVDP_RAM_VOLUME);
    const int32_t exists = QVHHFileExists(&error, volume, entry->handheldPath.c_str());
    if (failed(error)) return;
    if (exists && !takeFreeName(*entry, *list, error)) return;
    copyToHandheld(context, *entry, error);
    if (failed(error)) return;
    markSynchronized(*entry);
    qv::HandheldFileRecord h;
    h.recordId = r.recordId;
    h.stamp = 0;
    h.deleted = 0;
    h.flags = 0;
    h.name = r.handheldName;
    h.palmCategory = uint8_t(r.palmCategory);
    h.syncMode = uint8_t(r.syncMode);
    pair.item = &appendItem(*list, h);
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

HandheldItem *relinkItem(ConduitContext &context, DesktopEntry &entry) {
    const qv::SyncFileRecord &r = entry.record;
    const bool located = r.locationKind == qv::kLocationRam ? true : entry.card != nullptr;
    if (r.syncedFileTime == 0 || r.removed || !located || !usableHandheldName(entry)) return nullptr;
    QVDP_Error probe{};
    const uint16_t volume = entry.card ? entry.card->volume : uint16_t(QVDP_RAM_VOLUME);
    if (!QVHHFileExists(&probe, volume, entry.handheldPath.c_str()) || failed(probe)) return nullptr;
    HandheldList *list = entry.card ? &folderListFor(context, *entry.card, r.cardFolder) : context.handheld.ramList();
    if (!list || !list->readable) return nullptr;
    HandheldItem *unlinked = nullptr;
    for (const auto &item : list->items) {
        const bool sameName = list->isRam() ? item->record.name == r.handheldName
                                            : equalNoCase(item->record.name, r.handheldName);
        if (!sameName) continue;
        // The file belongs to another document.
        if (!qv::isZeroGuid(item->record.recordId) || item->record.deleted || item->processed) return nullptr;
        unlinked = item.get();
    }
    if (unlinked) {
        unlinked->record.recordId = r.recordId;
        unlinked->dirty = true;
        return unlinked;
    }
    qv::HandheldFileRecord h;
    h.recordId = r.recordId;
    h.stamp = r.handheldStamp;
    h.name = r.handheldName;
    h.palmCategory = uint8_t(r.palmCategory);
    h.syncMode = uint8_t(r.syncMode);
    h.flags = r.handheldFlags;
    return &appendItem(*list, h);
}

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
