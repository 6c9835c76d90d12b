#include "file_database.h"

#include "QVDPDatabase.h"
#include "card_list.h"
#include "card_records.h"
#include "desktop_paths.h"
#include "desktop_text.h"
#include "dynamic_library.h"
#include "plugin_host.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace desktop {

namespace {

// Record sizes beyond this are not file lists; writing them is refused.
constexpr uint32_t kMaxStoredRecordSize = 1u << 16;
constexpr int32_t kReadFileError = 62;
constexpr int32_t kBadParameters = 1;

// The size of the records stored in a database file; nullopt when the
// header cannot be read.
std::optional<uint32_t> storedRecordSize(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::array<uint8_t, qv::kDBHeaderSize> bytes{};
    if (!in.read(reinterpret_cast<char *>(bytes.data()), std::streamsize(bytes.size()))) return std::nullopt;
    return qv::decodeDBHeader(bytes).recordSize;
}

bool samePlace(const qv::SyncFileRecord &a, const qv::SyncFileRecord &b) {
    if (a.locationKind != b.locationKind) return false;
    if (a.locationKind == qv::kLocationRam) return true;
    return a.locationId == b.locationId && qv::sameCardFolder(a.cardFolder, b.cardFolder);
}

}  // namespace

struct TQVFileDatabase::Api {
    DynamicLibrary library;
    decltype(&QVDP_DBOpen) open = nullptr;
    decltype(&QVDP_DBClose) close = nullptr;
    decltype(&QVDP_DBFirst) first = nullptr;
    decltype(&QVDP_DBNext) next = nullptr;
    decltype(&QVDP_DBPrior) prior = nullptr;
    decltype(&QVDP_DBLast) last = nullptr;
    decltype(&QVDP_DBEof) eof = nullptr;
    decltype(&QVDP_DBInsertRecord) insertRecord = nullptr;
    decltype(&QVDP_DBUpdateRecord) updateRecord = nullptr;
    decltype(&QVDP_DBDeleteRecord) deleteRecord = nullptr;
    decltype(&QVDP_DBGetNumRecord) getNumRecord = nullptr;
    decltype(&QVDP_DBGetRecord) getRecord = nullptr;
    decltype(&QVDP_DBLocateRecord) locateRecord = nullptr;

    bool bindAll() {
        const DynamicLibrary &l = library;
        return l.bind(open, "QVDP_DBOpen") && l.bind(close, "QVDP_DBClose") && l.bind(first, "QVDP_DBFirst") &&
               l.bind(next, "QVDP_DBNext") && l.bind(prior, "QVDP_DBPrior") && l.bind(last, "QVDP_DBLast") &&
               l.bind(eof, "QVDP_DBEof") && l.bind(insertRecord, "QVDP_DBInsertRecord") &&
               l.bind(updateRecord, "QVDP_DBUpdateRecord") && l.bind(deleteRecord, "QVDP_DBDeleteRecord") &&
               l.bind(getNumRecord, "QVDP_DBGetNumRecord") && l.bind(getRecord, "QVDP_DBGetRecord") &&
               l.bind(locateRecord, "QVDP_DBLocateRecord");
    }
};

// An open database, closed when the object goes.
struct TQVFileDatabase::Handle {
    const Api *api = nullptr;
    void *db = nullptr;
    std::string path;
    ~Handle() {
        if (db) api->close(db);
    }
};

TQVFileDatabase::TQVFileDatabase(std::string libraryPath) : libraryPath_(std::move(libraryPath)) {}

TQVFileDatabase::~TQVFileDatabase() = default;

std::string TQVFileDatabase::locateLibrary() {
    const std::string folder = hotSyncPathFolder();
    return folder.empty() ? std::string(kDatabaseLibrary) : folder + kDatabaseLibrary;
}

bool TQVFileDatabase::active() const { return api_ != nullptr; }

void TQVFileDatabase::clear() {
    records_.clear();
    paths_.clear();
    loadProblems_.clear();
}

bool TQVFileDatabase::hasDatabases() const {
    return std::any_of(paths_.begin(), paths_.end(), [](const std::string &p) { return !p.empty(); });
}

void TQVFileDatabase::openForUser(const std::string &userDirectory, const TQVPluginsList *plugins,
                                  const TQVCardList *cards) {
    clear();
    if (!plugins || userDirectory.empty()) return;
    for (size_t i = 0; i < plugins->size(); ++i) {
        const TQVPlugin &plugin = plugins->at(i);
        const std::string folderName = plugin.pluginFolder();
        const std::string databaseName = plugin.databaseName();
        std::string path;
        if (!folderName.empty() && !databaseName.empty()) {
            const std::string folder = withTrailingSlash(userDirectory) + folderName;
            std::error_code ec;
            std::filesystem::create_directory(folder, ec);   // one level: the user folder must exist
            if (std::filesystem::is_directory(folder, ec)) path = folder + "/" + databaseName;
        }
        paths_.push_back(path);
        loadProblems_.push_back(path.empty() ? "the plug-in's folder cannot be made in " + userDirectory
                                             : std::string());
    }
    if (!activate()) return;
    loadAll();
    if (cards && cards->tableRead()) dropStrayCardEntries(*cards);
}

bool TQVFileDatabase::activate() {
    if (!hasDatabases()) return false;
    const std::string path = libraryPath_.empty() ? locateLibrary() : libraryPath_;
    auto api = std::make_unique<Api>();
    std::string error;
    if (!api->library.load(path, error)) {
        problem_ = "Cannot load " + path + ": " + error;
        api_.reset();
        return false;
    }
    if (!api->bindAll()) {
        problem_ = path + " is not a record database library";
        api_.reset();
        return false;
    }
    problem_.clear();
    api_ = std::move(api);
    return true;
}

int32_t TQVFileDatabase::openDatabase(int32_t index, Handle &handle) const {
    if (!api_ || index < 0 || size_t(index) >= paths_.size() || paths_[size_t(index)].empty())
        return kDatabaseUnavailable;
    handle.api = api_.get();
    handle.path = paths_[size_t(index)];
    std::array<uint8_t, qv::kDBHeaderSize> header{};
    qv::encodeDBHeader(qv::makeDBHeader(kDesktopRecordSize), header);
    if (api_->open(handle.path.c_str(), &handle.db, header.data(), nullptr) != 0) {
        handle.db = nullptr;
        return kDatabaseUnavailable;
    }
    return 0;
}

void TQVFileDatabase::loadAll() {
    for (size_t i = 0; i < paths_.size(); ++i) {
        if (paths_[i].empty()) continue;
        Handle h;
        if (openDatabase(int32_t(i), h) != 0) {
            loadProblems_[i] = "Cannot open database " + paths_[i];
            continue;
        }
        const int32_t n = api_->getNumRecord(h.db);
        size_t unreadable = 0;
        for (int32_t k = 0; k < n; ++k) {
            std::array<uint8_t, kDesktopRecordSize> image{};
            if (api_->getRecord(h.db, uint32_t(image.size()), image.data()) != 0) {
                loadProblems_[i] = "a record of " + paths_[i] + " cannot be read";
                break;
            }
            if (auto r = qv::decodeSyncFileRecord(image)) {
                auto entry = std::make_unique<TQVDBRecord>();
                entry->databaseIndex = int32_t(i);
                entry->record = std::move(*r);
                records_.push_back(std::move(entry));
            } else {
                ++unreadable;
            }
            api_->next(h.db);
        }
        if (unreadable)
            loadProblems_[i] = std::to_string(unreadable) + " damaged record(s) of " + paths_[i] + " left out";
    }
}

int32_t TQVFileDatabase::duplicateCheck(const TQVDBRecord &candidate) const {
    const qv::SyncFileRecord &c = candidate.record;
    for (const auto &e : records_) {
        if (e->databaseIndex != candidate.databaseIndex || e->record.removed == 1 ||
            e->record.recordId == c.recordId)
            continue;
        if (sameText(e->record.desktopPath, c.desktopPath)) return kDuplicateEntry;
        if (samePlace(e->record, c) && sameText(e->record.handheldName, c.handheldName)) return kDuplicateEntry;
    }
    return 0;
}

int32_t TQVFileDatabase::writeRecord(Handle &h, const qv::SyncFileRecord &record, bool insert) const {
    // The library writes as many bytes as the file's records hold, which may
    // be more than the desktop's 880; the buffer always covers them.
    const auto stored = storedRecordSize(h.path);
    if (!stored || *stored > kMaxStoredRecordSize) return kReadFileError;
    std::vector<uint8_t> image(std::max<size_t>(*stored, kDesktopRecordSize), 0);
    if (!qv::encodeSyncFileRecord(record, image)) return kBadParameters;
    return insert ? api_->insertRecord(h.db, image.data()) : api_->updateRecord(h.db, image.data());
}

int32_t TQVFileDatabase::insert(std::unique_ptr<TQVDBRecord> entry, TQVDBRecord **stored) {
    if (!entry || entry->databaseIndex < 0 || size_t(entry->databaseIndex) >= paths_.size())
        return kDatabaseUnavailable;
    if (duplicateCheck(*entry) != 0) return kDuplicateEntry;
    Handle h;
    if (openDatabase(entry->databaseIndex, h) != 0) return kDatabaseUnavailable;
    const int32_t result = writeRecord(h, entry->record, true);
    if (result == 0) {
        if (stored) *stored = entry.get();
        records_.push_back(std::move(entry));
    }
    return result;
}

int32_t TQVFileDatabase::updateInPlace(TQVDBRecord &entry, bool skipDuplicateCheck) {
    if (!skipDuplicateCheck && duplicateCheck(entry) != 0) return kDuplicateEntry;
    Handle h;
    if (openDatabase(entry.databaseIndex, h) != 0) return kDatabaseUnavailable;
    const int32_t located = api_->locateRecord(h.db, entry.record.recordId.data());
    return located != 0 ? located : writeRecord(h, entry.record, false);
}

int32_t TQVFileDatabase::updateFromCopy(const TQVDBRecord &copy, TQVDBRecord &entry) {
    if (duplicateCheck(copy) != 0) return kDuplicateEntry;
    Handle h;
    if (openDatabase(copy.databaseIndex, h) != 0) return kDatabaseUnavailable;
    const int32_t located = api_->locateRecord(h.db, copy.record.recordId.data());
    if (located != 0) return located;
    const int32_t written = writeRecord(h, copy.record, false);
    if (written == 0) entry = copy;
    return written;
}

int32_t TQVFileDatabase::remove(TQVDBRecord &entry) {
    Handle h;
    if (openDatabase(entry.databaseIndex, h) != 0) return kDatabaseUnavailable;
    int32_t result = api_->locateRecord(h.db, entry.record.recordId.data());
    if (result == 0) result = api_->deleteRecord(h.db);
    if (result == 0) {
        const size_t i = indexOf(entry);
        if (i < records_.size()) records_.erase(records_.begin() + std::ptrdiff_t(i));
    }
    return result;
}

size_t TQVFileDatabase::indexOf(const TQVDBRecord &entry) const {
    auto it = std::find_if(records_.begin(), records_.end(), [&](const auto &e) { return e.get() == &entry; });
    return size_t(it - records_.begin());
}

void TQVFileDatabase::deleteCardEntries(const qv::Guid &identity) {
    // RAM entries carry a zero location; they never belong to a card.
    for (size_t i = 0; i < records_.size();) {
        TQVDBRecord &e = *records_[i];
        if (e.record.locationKind == qv::kLocationRam || e.record.locationId != identity) {
            ++i;
            continue;
        }
        if (remove(e) != 0) throw DatabaseError("Cannot delete record for selected card");
    }
}

void TQVFileDatabase::dropStrayCardEntries(const TQVCardList &cards) {
    for (size_t i = 0; i < records_.size();) {
        TQVDBRecord &e = *records_[i];
        if (e.record.locationKind != qv::kLocationRam && !cards.hasIdentity(e.record.locationId) && remove(e) == 0)
            continue;
        ++i;
    }
}

}  // namespace desktop
