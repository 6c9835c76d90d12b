// Handheld databases opened by one request, closed on every path. A
// database being read is only closed; one being written is deleted again
// when the request fails after changing it, so that no partial database
// stays on the handheld.
#pragma once

#include "qvdp_types.h"
#include "sync_manager.h"

#include <cstdint>
#include <string>

namespace qvplugin {

class DatabaseInput {
public:
    DatabaseInput() = default;
    ~DatabaseInput();
    DatabaseInput(const DatabaseInput &) = delete;
    DatabaseInput &operator=(const DatabaseInput &) = delete;

    // Opens the database on card 0 with the given mode (read, or read with
    // secret records); the Sync Manager's answer.
    int32_t open(const std::string &name, uint8_t mode);
    palm::sync::DbHandle handle() const { return handle_; }

private:
    palm::sync::DbHandle handle_ = 0;
    bool open_ = false;
};

class DatabaseOutput {
public:
    DatabaseOutput() = default;
    // An output that was not finished is closed and deleted.
    ~DatabaseOutput();
    DatabaseOutput(const DatabaseOutput &) = delete;
    DatabaseOutput &operator=(const DatabaseOutput &) = delete;

    // Creates the database and opens it; the Sync Manager's answer. With
    // replace, a database of that name is deleted first, whatever its creator.
    int32_t create(const palm::sync::CreateDbInfo &info, bool replace);
    // Opens an existing database for reading and writing; the Sync
    // Manager's answer (0x4003 when there is none).
    int32_t openExisting(const std::string &name);

    palm::sync::DbHandle handle() const { return handle_; }
    // Marks an opened database as changed: a failure now deletes it.
    void markChanged() { changed_ = true; }

    // Closes the database. A database that was created or changed is
    // deleted when `keep` is false, and also when the close fails (it was
    // not written back). The close's answer.
    int32_t finish(bool keep);
    // Ends a request that wrote the database: finish(written), and a close
    // that fails after a good write is a sync error with `closeCode`. true
    // when the database was written and kept.
    bool complete(QVDP_Error *error, bool written, int32_t closeCode);

private:
    std::string name_;
    palm::sync::DbHandle handle_ = 0;
    bool open_ = false;
    bool changed_ = false;
};

}  // namespace qvplugin
