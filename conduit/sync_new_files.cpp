#include "sync_new_files.h"

#include "QVDPCommon.h"
#include "error_record.h"
#include "guid.h"
#include "handheld_lists.h"
#include "handheld_transfer.h"
#include "palm_errors.h"
#include "status_codes.h"
#include "sync_pairs.h"
#include "times.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

namespace conduit {

namespace {

constexpr int kMaxImportNumber = 99999;

PluginEntryPoints &plugin(ConduitContext &context) { return context.plugin->entry; }

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
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

}  // namespace

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

}  // namespace conduit
