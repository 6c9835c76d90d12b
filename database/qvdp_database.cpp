// The record database: one file held open without sharing, a cursor and a
// record count derived from the file size. Every access is one positioned
// read or write of a single record; there is no cache.
#include "QVDPDatabase.h"

#include "shared_file.h"
#include "status_codes.h"
#include "sync_records.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Database {
    int fd = -1;
    QVDP_DBHeader header{};
    std::vector<uint8_t> blob;
    uint32_t cursor = 0;
    uint32_t count = 0;

    ~Database() { platform::closeFile(fd); }
};

Database *asDatabase(void *h) { return static_cast<Database *>(h); }

// Records lie at 16 + blob + index * record size; file offsets stay below
// 2 GiB, so a record that would reach past that has no position.
constexpr uint64_t kMaxFileSize = INT32_MAX;

bool recordPosition(const Database &db, uint64_t index, off_t &position) {
    uint64_t at = qv::kDBHeaderSize + uint64_t(db.header.blobSize) + index * db.header.recordSize;
    if (at + db.header.recordSize > kMaxFileSize) return false;
    position = off_t(at);
    return true;
}

// Reads or writes all of size bytes at position; false on failure or when
// the file ends first.
template <typename Byte, typename Transfer>
bool wholeAt(Transfer transfer, int fd, Byte *p, size_t size, off_t position) {
    while (size > 0) {
        ssize_t n = transfer(fd, p, size, position);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
        position += n;
    }
    return true;
}

bool readAt(int fd, void *buffer, size_t size, off_t position) {
    return wholeAt(::pread, fd, static_cast<uint8_t *>(buffer), size, position);
}

bool writeAt(int fd, const void *buffer, size_t size, off_t position) {
    return wholeAt(::pwrite, fd, static_cast<const uint8_t *>(buffer), size, position);
}

// An existing file: the stored header wins. Nothing is written, so a file
// that is not a database stays as it was.
int32_t loadExisting(Database &db, uint64_t fileSize) {
    uint8_t bytes[qv::kDBHeaderSize];
    if (fileSize > kMaxFileSize || !readAt(db.fd, bytes, sizeof bytes, 0)) return qv::kReadFileError;
    db.header = qv::decodeDBHeader(bytes);
    if (db.header.magic != QVDP_DB_MAGIC || db.header.recordSize == 0) return qv::kReadFileError;
    const uint64_t afterHeader = fileSize - qv::kDBHeaderSize;
    if (db.header.blobSize > afterHeader) return qv::kReadFileError;
    if (db.header.blobSize > 0) {
        db.blob.resize(db.header.blobSize);
        if (!readAt(db.fd, db.blob.data(), db.blob.size(), qv::kDBHeaderSize)) return qv::kReadFileError;
    }
    db.count = uint32_t((afterHeader - db.header.blobSize) / db.header.recordSize);
    return qv::kOk;
}

// An empty file: it receives the caller's header and blob.
int32_t initialiseEmpty(Database &db, const void *header16, const void *blob) {
    if (!header16) return qv::kBadParameters;
    uint8_t bytes[qv::kDBHeaderSize];
    std::memcpy(bytes, header16, sizeof bytes);
    db.header = qv::decodeDBHeader(bytes);
    if (db.header.recordSize == 0 || (db.header.blobSize > 0 && !blob) ||
        qv::kDBHeaderSize + uint64_t(db.header.blobSize) > kMaxFileSize)
        return qv::kBadParameters;
    db.blob.assign(static_cast<const uint8_t *>(blob), static_cast<const uint8_t *>(blob) + db.header.blobSize);
    if (!writeAt(db.fd, bytes, sizeof bytes, 0) ||
        !writeAt(db.fd, db.blob.data(), db.blob.size(), qv::kDBHeaderSize)) {
        // Leave the file empty again, so that a later open can still set it up.
        if (::ftruncate(db.fd, 0) != 0) { /* nothing more to undo */ }
        return qv::kWriteFileError;
    }
    db.count = 0;
    return qv::kOk;
}

int32_t openDatabase(const char *path, void **handle, const void *header16, const void *blob) {
    auto *db = new (std::nothrow) Database;
    if (!db) return qv::kNoMemory;
    db->fd = platform::openFile(path, platform::Access::ReadWrite, platform::Disposition::OpenAlways,
                                platform::Share::None);
    if (db->fd < 0) {
        delete db;
        return qv::kCannotOpenDatabase;
    }
    struct stat st;
    int32_t result = qv::kReadFileError;
    try {
        if (::fstat(db->fd, &st) == 0)
            result = st.st_size == 0 ? initialiseEmpty(*db, header16, blob) : loadExisting(*db, uint64_t(st.st_size));
    } catch (const std::bad_alloc &) {
        result = qv::kNoMemory;
    }
    if (result != qv::kOk) {
        delete db;
        return result;
    }
    db->cursor = 0;
    *handle = db;
    return qv::kOk;
}

int32_t deleteAtCursor(Database &db) {
    if (db.count == 0 || db.cursor >= db.count) return qv::kEofError;
    std::vector<uint8_t> record(db.header.recordSize);
    for (uint32_t i = db.cursor + 1; i < db.count; ++i) {
        off_t from, to;
        if (!recordPosition(db, i, from) || !recordPosition(db, i - 1, to)) return qv::kSeekError;
        if (!readAt(db.fd, record.data(), record.size(), from) ||
            !writeAt(db.fd, record.data(), record.size(), to))
            return qv::kIoError;
    }
    off_t end;
    if (!recordPosition(db, db.count - 1, end)) return qv::kSeekError;
    // Had the truncation failed, the last record would still be in the file
    // twice; keep the count in step with the file and say so.
    if (::ftruncate(db.fd, end) != 0) return qv::kIoError;
    --db.count;
    return qv::kOk;
}

int32_t locate(Database &db, const void *key16) {
    uint8_t key[16];
    std::memcpy(key, key16, sizeof key);
    // Only counted records take part: part of a record left by a failed
    // write is not one.
    for (uint32_t i = 0; i < db.count; ++i) {
        off_t at;
        if (!recordPosition(db, i, at)) return qv::kSeekError;
        uint8_t head[16];
        if (!readAt(db.fd, head, sizeof head, at)) break;
        if (std::memcmp(head, key, sizeof key) == 0) {
            db.cursor = i;
            return qv::kOk;
        }
    }
    return qv::kRecordNotFound;
}

}  // namespace

int32_t QVDP_DBOpen(const char *path, void **handle, const void *header16, const void *blob) {
    if (!path || !handle) return qv::kBadParameters;
    return openDatabase(path, handle, header16, blob);
}

int32_t QVDP_DBClose(void *h) {
    if (!h) return qv::kBadParameters;
    delete asDatabase(h);
    return qv::kOk;
}

int32_t QVDP_DBGetNumRecord(void *h) { return h ? int32_t(asDatabase(h)->count) : 0; }

int32_t QVDP_DBFirst(void *h) {
    if (!h) return qv::kBadParameters;
    asDatabase(h)->cursor = 0;
    return qv::kOk;
}

int32_t QVDP_DBNext(void *h) {
    if (!h) return qv::kBadParameters;
    Database *db = asDatabase(h);
    if (db->cursor < UINT32_MAX) ++db->cursor;
    return qv::kOk;
}

int32_t QVDP_DBPrior(void *h) {
    if (!h) return qv::kBadParameters;
    Database *db = asDatabase(h);
    if (db->cursor > 0) --db->cursor;
    return qv::kOk;
}

int32_t QVDP_DBLast(void *h) {
    if (!h) return qv::kBadParameters;
    Database *db = asDatabase(h);
    db->cursor = db->count;
    return qv::kOk;
}

int32_t QVDP_DBEof(void *h) {
    if (!h) return 1;
    Database *db = asDatabase(h);
    return db->cursor >= db->count ? 1 : 0;
}

int32_t QVDP_DBGetRecord(void *h, uint32_t bufferSize, void *buffer) {
    if (!h || (!buffer && bufferSize > 0)) return qv::kBadParameters;
    Database *db = asDatabase(h);
    if (db->cursor >= db->count) return qv::kIoError;
    off_t at;
    if (!recordPosition(*db, db->cursor, at)) return qv::kSeekError;
    uint32_t size = bufferSize < db->header.recordSize ? bufferSize : db->header.recordSize;
    return readAt(db->fd, buffer, size, at) ? qv::kOk : qv::kIoError;
}

int32_t QVDP_DBInsertRecord(void *h, const void *record) {
    if (!h || !record) return qv::kBadParameters;
    Database *db = asDatabase(h);
    // Written right after the last counted record, over any partial record
    // that a failed write left behind.
    off_t at;
    if (!recordPosition(*db, db->count, at)) return qv::kSeekError;
    if (!writeAt(db->fd, record, db->header.recordSize, at)) return qv::kIoError;
    db->cursor = db->count;
    ++db->count;
    return qv::kOk;
}

int32_t QVDP_DBUpdateRecord(void *h, const void *record) {
    if (!h || !record) return qv::kBadParameters;
    Database *db = asDatabase(h);
    if (db->cursor >= db->count) return qv::kEofError;
    off_t at;
    if (!recordPosition(*db, db->cursor, at)) return qv::kSeekError;
    return writeAt(db->fd, record, db->header.recordSize, at) ? qv::kOk : qv::kIoError;
}

int32_t QVDP_DBDeleteRecord(void *h) {
    if (!h) return qv::kBadParameters;
    try {
        return deleteAtCursor(*asDatabase(h));
    } catch (const std::bad_alloc &) {
        return qv::kNoMemory;
    }
}

int32_t QVDP_DBLocateRecord(void *h, const void *key16) {
    if (!h || !key16) return qv::kBadParameters;
    return locate(*asDatabase(h), key16);
}
