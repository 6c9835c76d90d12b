// The Sync Manager: databases in the RAM of the connected handheld, as the
// conduit, the services library and the plug-in use them during a HotSync.
// Every call answers 0 or an error of palm_errors.h (0x4003 no such database,
// 0x400B a database of that name exists ...). Values inside records, headers
// and blocks are the handheld's (big-endian); the caller converts them.
// A database opened here is read once and written back when its last handle
// is closed (or the handheld is deselected).
#pragma once

#include "palm_errors.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

namespace palm::sync {

using DbHandle = uint8_t;
using ConduitHandle = uint32_t;

// Open modes; callers pass 0x80 (read), 0x90 (read with secret records) or
// 0xC0 (read/write).
enum : uint8_t {
    kModeRead = 0x80,
    kModeWrite = 0x40,
    kModeExclusive = 0x20,
    kModeShowSecret = 0x10,
    kModeReadWrite = kModeRead | kModeWrite,
};

// The record attribute byte of read and write calls.
enum : uint8_t {
    kRecAttrDeleted = 0x08,
    kRecAttrDirty = 0x04,
    kRecAttrBusy = 0x02,
    kRecAttrSecret = 0x01,
};

// Database flags of create (also those of the stored header).
enum : uint16_t {
    kDbFlagResource = 0x0001,
    kDbFlagBackup = 0x0008,
    kDbFlagStream = 0x0080,
};

struct CreateDbInfo {
    uint32_t creator = 0;
    uint32_t type = 0;
    std::string name;        // at most 31 characters
    uint16_t flags = 0;
    uint16_t version = 0;
    int card = 0;
};

struct DbInfo {
    std::string name;
    uint32_t creator = 0;
    uint32_t type = 0;
    uint16_t flags = 0;
    uint16_t version = 0;
    uint16_t recordCount = 0;
    uint32_t maxRecordSize = 0;   // the largest record
    uint32_t totalBytes = 0;      // the database's size in memory
    uint32_t creationDate = 0;    // seconds since 1904
    uint32_t modificationDate = 0;
};

struct RecordInfo {
    uint32_t uniqueId = 0;
    uint16_t index = 0;
    uint8_t attributes = 0;       // kRecAttr... bits
    uint8_t category = 0;
    uint32_t size = 0;            // the record's size in bytes
};

// The handheld's card information, laid out byte by byte as the Sync
// Manager hands it out: RAM size at offset 11, free RAM at offset 15.
#pragma pack(push, 1)
struct CardInfo {
    uint8_t cardNo;
    uint16_t cardVersion;
    int32_t creationDate;
    uint32_t romSize;
    uint32_t ramSize;
    uint32_t freeRam;
    uint8_t cardNameLength;
    uint8_t manufacturerNameLength;
    char cardName[32];
    char manufacturerName[32];
    uint16_t romDbCount;
    uint16_t ramDbCount;
    uint32_t reserved1;
    uint32_t reserved2;
};
#pragma pack(pop)
static_assert(offsetof(CardInfo, ramSize) == 11, "RAM size at offset 11");
static_assert(offsetof(CardInfo, freeRam) == 15, "free RAM at offset 15");
static_assert(sizeof(CardInfo) == 97, "card information is 97 bytes");

int32_t registerConduit(ConduitHandle &handle);
int32_t unregisterConduit(ConduitHandle handle);

int32_t openDatabase(const std::string &name, int card, uint8_t mode, DbHandle &handle);
// Creates the database and opens it for reading and writing.
int32_t createDatabase(const CreateDbInfo &info, DbHandle &handle);
int32_t closeDatabase(DbHandle handle);
int32_t deleteDatabase(const std::string &name, int card);
int32_t findDatabase(const std::string &name, int card, DbInfo &info);
int32_t readOpenDatabaseInfo(DbHandle handle, DbInfo &info);
int32_t getRecordCount(DbHandle handle, uint16_t &count);

// Record reads copy the record into buffer; info.size is the record's size.
// A buffer smaller than the record answers kSyncErrBufferTooSmall (with
// info.size set and nothing copied).
int32_t readRecordByIndex(DbHandle handle, uint16_t index, void *buffer, uint32_t bufferSize, RecordInfo &info);
int32_t readRecordById(DbHandle handle, uint32_t uniqueId, void *buffer, uint32_t bufferSize, RecordInfo &info);
// recordId 0 adds a record (the handheld gives it its unique id, returned in
// newId); another id replaces that record's bytes, attributes and category.
int32_t writeRecord(DbHandle handle, uint32_t recordId, uint8_t attributes, uint8_t category, const void *bytes,
                    uint32_t size, uint32_t &newId);
int32_t removeAllRecords(DbHandle handle);

// Block reads copy at most bufferSize bytes and set blockSize to the block's
// whole size, so a first read with a small buffer learns the size. A database
// without the block answers kSyncErrNotFound.
int32_t readAppInfoBlock(DbHandle handle, void *buffer, uint32_t bufferSize, uint32_t &blockSize);
int32_t writeAppInfoBlock(DbHandle handle, const void *bytes, uint32_t size);
int32_t readSortInfoBlock(DbHandle handle, void *buffer, uint32_t bufferSize, uint32_t &blockSize);
int32_t writeSortInfoBlock(DbHandle handle, const void *bytes, uint32_t size);

int32_t readSingleCardInfo(int card, CardInfo &info);
// Keeps the HotSync connection alive during long work.
int32_t SyncYieldCycles(uint16_t cycles);
// The handheld's HotSync log: text is appended as given ("\n" ends a line).
int32_t addLogLine(const std::string &text);

// Convenience for the tools: every record of an open database.
int32_t readAllRecords(DbHandle handle, std::vector<std::pair<RecordInfo, std::vector<uint8_t>>> &records);

}  // namespace palm::sync

#pragma GCC visibility pop
