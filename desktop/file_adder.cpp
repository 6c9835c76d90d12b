#include "file_adder.h"

#include "card_list.h"
#include "desktop_settings.h"
#include "desktop_text.h"
#include "guid.h"
#include "handheld_names.h"
#include "plugin_host.h"
#include "times.h"

#include <filesystem>

namespace desktop {

const char *addResultText(int32_t code) {
    switch (code) {
    case kAddAlreadyAdded: return "Already added";
    case kAddNotSupported: return "Not supported file format";
    case kAddAlreadyTransferred: return "Already transferred to Palm device";
    case kAddCanceled: return "Canceled";
    case kAddDatabaseError: return "Database error";
    case kAddNotAFile: return "The item is not a file";
    case kAddFileMissing: return "The file does not exist";
    case kAddFormatNotOffered: return "The handheld format is not offered for this file";
    default: return "Unknown error";
    }
}

AddTarget AddTarget::of(const TQVCard &card) { return {card.kind, card.identity}; }

FileAdder::FileAdder(const TQVPluginsList &plugins, TQVFileDatabase &database, const DesktopSettings &settings,
                     FileNameQuestion *question)
    : plugins_(plugins), database_(database), settings_(settings), question_(question) {}

bool FileAdder::ramNameTaken(const std::string &name) const {
    for (size_t i = 0; i < database_.count(); ++i) {
        const qv::SyncFileRecord &r = database_.at(i).record;
        if (r.locationKind == qv::kLocationRam && r.removed != 1 && sameText(r.handheldName, name)) return true;
    }
    return false;
}

bool FileAdder::nameEntry(TQVDBRecord &entry) {
    qv::SyncFileRecord &r = entry.record;
    const TQVPlugin *plugin = plugins_.pluginForFile(r.desktopPath);
    if (!plugin) return false;
    if (r.locationKind != qv::kLocationRam) {
        r.handheldName = plugin->cardEntryName(r.desktopPath, int32_t(r.handheldFormat));
        return true;
    }
    const std::string proposal = plugin->ramEntryName(r.desktopPath, int32_t(r.handheldFormat));
    const auto unique = makeNameUnique(proposal, [this](const std::string &n) { return ramNameTaken(n); });
    if (!unique) {
        exhausted_ = true;
        return false;
    }
    std::string name = *unique;
    // A changed proposal, or one the handheld cannot take, goes to the user.
    if (!sameText(name, proposal) || !validHandheldName(name, kMaxRamNameLength)) {
        do {
            const auto answer = question_ ? question_->askFileName(name) : std::nullopt;
            if (!answer) return false;
            name = *answer;
        } while (!validHandheldName(name, kMaxRamNameLength));
    }
    r.handheldName = name;
    return true;
}

TQVDBRecord *FileAdder::createEntry(const AddTarget &target, const std::string &path, int32_t &code) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status)) {
        code = kAddNotAFile;
        return nullptr;
    }
    if (!std::filesystem::exists(status)) {
        code = kAddFileMissing;
        return nullptr;
    }
    // Devices, pipes and sockets are not documents.
    if (!std::filesystem::is_regular_file(status)) {
        code = kAddNotAFile;
        return nullptr;
    }
    const TQVPlugin *plugin = plugins_.pluginForFile(path);
    const QVDP_Format *row = plugin ? plugin->recognize(path) : nullptr;
    if (!row) {
        code = kAddNotSupported;
        return nullptr;
    }
    auto entry = std::make_unique<TQVDBRecord>();
    entry->databaseIndex = plugin->index;
    qv::SyncFileRecord &r = entry->record;
    r.recordId = platform::createGuid();
    r.dateAdded = platform::oleDateNow();
    r.desktopPath = path;
    const bool ram = target.kind == qv::kLocationRam;
    r.locationKind = target.kind;
    r.locationId = ram ? qv::Guid{} : target.identity;
    r.cardFolder = settings_.defCardDir;
    r.pluginId = uint32_t(plugin->pluginId());
    r.desktopFormat = uint32_t(row->id);
    r.desktopCategory = uint32_t(row->category);
    if (chooser_) {
        const auto chosen = chooser_(*plugin, row->id);
        if (!chosen) {
            code = kAddFormatNotOffered;
            return nullptr;
        }
        r.handheldFormat = uint32_t(*chosen);
    } else {
        r.handheldFormat = uint32_t(plugin->defaultHandheldFormat(row->id));
    }
    r.handheldSize = 0;
    r.status = 0;
    r.palmCategory = palmCategory_;
    r.syncMode = uint32_t(ram ? settings_.palmSyncType : settings_.cardSyncType);
    if (!plugins_.formatCanBeSynchronized(row->id)) r.syncMode = qv::kSyncCopyOnly;
    r.creationMark = qv::kCreatedByDesktop;
    r.syncedFileTime = 0;
    r.handheldStamp = 0;
    r.removed = 0;
    r.handheldFlags = 0;

    if (database_.duplicateCheck(*entry) != 0) {
        code = kAddAlreadyAdded;
        return nullptr;
    }
    if (!nameEntry(*entry)) {
        code = kAddCanceled;
        return nullptr;
    }
    TQVDBRecord *stored = nullptr;
    const int32_t result = database_.insert(std::move(entry), &stored);
    if (result != 0) {
        code = result == kDuplicateEntry ? kAddAlreadyAdded : kAddDatabaseError;
        return nullptr;
    }
    return stored;
}

AddReport FileAdder::addFiles(const AddTarget &target, const std::vector<std::string> &paths) {
    AddReport report;
    for (const std::string &path : paths) {
        int32_t code = 0;
        if (TQVDBRecord *entry = createEntry(target, path, code)) {
            report.added.push_back(entry);
            continue;
        }
        if (exhausted_) {
            report.stopped = true;
            break;
        }
        report.failures.push_back({fileNameOf(path), code});
    }
    return report;
}

}  // namespace desktop
