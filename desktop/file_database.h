// The file lists of the selected Palm user: TQVFileDatabase loads the record
// database library at run time from the HotSync folder, forms one database
// path per plug-in (user folder / plug-in folder / database name), reads
// every record of every database into one table of TQVDBRecord, and writes
// each insert, update and delete straight through. A database file is open
// only for one operation, so the conduit can have it to itself during a
// HotSync; while the conduit holds it, operations answer 1003.
//
// Answers: 0, the library's status codes, and two of its own:
// 1003 (the database index has no path, the database cannot be opened, or
// the library is not loaded) and 1004 (the entry duplicates another).
#pragma once

#include "sync_records.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace desktop {

class TQVPluginsList;
class TQVCardList;

constexpr int32_t kDatabaseUnavailable = 1003;
constexpr int32_t kDuplicateEntry = 1004;
// The record size of a database the desktop program creates.
constexpr uint32_t kDesktopRecordSize = 880;

// One file entry: the index of its database (= the owning plug-in's index)
// and its desktop file record.
struct TQVDBRecord {
    int32_t databaseIndex = 0;
    qv::SyncFileRecord record;

    // Transferred at least once (either half of syncedFileTime set).
    bool synchronized() const { return record.syncedFileTime != 0; }
};

// Raised by deleteCardEntries.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TQVFileDatabase {
public:
    // libraryPath empty: the library in the HotSync folder ("HotSyncPath"),
    // or found by its bare name when the registry names no folder.
    explicit TQVFileDatabase(std::string libraryPath = {});
    ~TQVFileDatabase();
    TQVFileDatabase(const TQVFileDatabase &) = delete;
    TQVFileDatabase &operator=(const TQVFileDatabase &) = delete;

    static std::string locateLibrary();
    const std::string &libraryPath() const { return libraryPath_; }
    // The library is loaded and bound.
    bool active() const;
    // Why the library could not be used, empty when it could.
    const std::string &problem() const { return problem_; }

    // Rebuilds paths and table for a user folder: one path per plug-in in
    // list order (empty when its folder cannot be made, so that positions
    // stay the plug-ins' indexes), every record loaded, then entries of
    // slots and cards not in the card list dropped (skipped without a list,
    // or when its cards table could not be read).
    void openForUser(const std::string &userDirectory, const TQVPluginsList *plugins, const TQVCardList *cards);
    void clear();

    // At least one database path could be formed.
    bool hasDatabases() const;
    const std::vector<std::string> &paths() const { return paths_; }
    // Per database: what went wrong while loading it, empty when nothing.
    const std::vector<std::string> &loadProblems() const { return loadProblems_; }
    size_t count() const { return records_.size(); }
    TQVDBRecord &at(size_t i) const { return *records_.at(i); }

    // 1004 when the candidate duplicates an entry of its database that is
    // not removed and not itself (same desktop path, or same handheld name
    // in the same place), else 0.
    int32_t duplicateCheck(const TQVDBRecord &candidate) const;

    // Stores a new entry; on 0 the table takes it and the answer's pointer
    // is valid until the entry is deleted or the table rebuilt.
    int32_t insert(std::unique_ptr<TQVDBRecord> entry, TQVDBRecord **stored = nullptr);
    // Stores a change made to a table entry.
    int32_t updateInPlace(TQVDBRecord &entry, bool skipDuplicateCheck);
    // Stores an edited copy; on success the table's entry takes it, on
    // failure the entry is unchanged.
    int32_t updateFromCopy(const TQVDBRecord &copy, TQVDBRecord &entry);
    // Deletes an entry from its database and the table (entry freed on 0).
    int32_t remove(TQVDBRecord &entry);
    // Deletes every slot or card entry whose location is this identity;
    // raises "Cannot delete record for selected card" on the first failure.
    void deleteCardEntries(const qv::Guid &identity);
    // Deletes the slot and card entries whose place is not in the list.
    void dropStrayCardEntries(const TQVCardList &cards);

    // Position of an entry in the table, or count() when it is not there.
    size_t indexOf(const TQVDBRecord &entry) const;

private:
    struct Api;
    struct Handle;

    bool activate();
    void loadAll();
    int32_t openDatabase(int32_t index, Handle &handle) const;
    int32_t writeRecord(Handle &handle, const qv::SyncFileRecord &record, bool insert) const;

    std::string libraryPath_;
    std::string problem_;
    std::unique_ptr<Api> api_;
    std::vector<std::unique_ptr<TQVDBRecord>> records_;
    std::vector<std::string> paths_;
    std::vector<std::string> loadProblems_;
};

}  // namespace desktop
