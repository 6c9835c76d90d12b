// A Palm database file (.pdb / .prc): the 78-byte header, the record list
// (8-byte entries: data offset, attribute byte, 3-byte unique id; 10-byte
// entries for resource databases), the optional application and sort info
// blocks and the data. Everything is big-endian. parse() checks every offset
// against the file, so a damaged file is an error naming the file, never a
// read outside the bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

namespace palm {

constexpr size_t kPdbHeaderSize = 78;
constexpr size_t kPdbNameWidth = 32;
constexpr size_t kMaxDatabaseNameLength = 31;

// Database header attributes.
enum : uint16_t {
    kDbAttrResource = 0x0001,
    kDbAttrReadOnly = 0x0002,
    kDbAttrBackup = 0x0008,
    kDbAttrStream = 0x0080,
};

// Record attribute byte as stored in the file: four flag bits above the category.
enum : uint8_t {
    kPdbRecDelete = 0x80,
    kPdbRecDirty = 0x40,
    kPdbRecBusy = 0x20,
    kPdbRecSecret = 0x10,
    kPdbRecCategoryMask = 0x0F,
};

struct PdbRecord {
    uint8_t attributes = 0;   // flags and category, as in the file
    uint32_t uniqueId = 0;    // 24 bits
    std::vector<uint8_t> data;
};

struct PdbResource {
    uint32_t type = 0;
    uint16_t id = 0;
    std::vector<uint8_t> data;
};

struct PalmDatabase {
    std::string name;                 // at most 31 characters
    uint16_t attributes = 0;
    uint16_t version = 0;
    uint32_t creationDate = 0;        // seconds since 1 January 1904
    uint32_t modificationDate = 0;
    uint32_t lastBackupDate = 0;
    uint32_t modificationNumber = 0;
    uint32_t type = 0;
    uint32_t creator = 0;
    uint32_t uniqueIdSeed = 0;
    std::optional<std::vector<uint8_t>> appInfo;
    std::optional<std::vector<uint8_t>> sortInfo;
    std::vector<PdbRecord> records;       // record databases
    std::vector<PdbResource> resources;   // resource databases

    bool isResourceDatabase() const { return (attributes & kDbAttrResource) != 0; }
    // The next unique id the handheld gives a new record (never 0, 24 bits).
    uint32_t takeUniqueId();
    // Size of the file serialize() writes.
    size_t fileSize() const;
};

struct PdbParseResult {
    std::optional<PalmDatabase> database;
    std::string error;   // names the file and what is wrong
};

// Reads a database from the bytes of a file; `fileName` only labels errors.
PdbParseResult parsePdb(std::span<const uint8_t> bytes, const std::string &fileName);
// Reads just the header fields (name, attributes, type, creator ...); the
// record list is checked but not loaded.
PdbParseResult parsePdbHeader(std::span<const uint8_t> bytes, const std::string &fileName);

// The standard layout: header, record list, two zero bytes, application info,
// sort info, then the records in list order.
std::vector<uint8_t> serializePdb(const PalmDatabase &db);

// Seconds since 1 January 1904 for the current time.
uint32_t palmTimeNow();

// Four-character codes such as 'DATA' as numbers and back ("DATA"; bytes
// outside printable ASCII are shown as \xNN).
uint32_t fourCC(const char (&text)[5]);
std::optional<uint32_t> parseFourCC(const std::string &text);
std::string fourCCText(uint32_t code);

}  // namespace palm

#pragma GCC visibility pop
