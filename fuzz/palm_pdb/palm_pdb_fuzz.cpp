// Reads the input as a Palm database file. A file that reads must also read
// header-only with the same fields; written back and read again it must give
// the same database, of the size fileSize() promised.
#include "pdb_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

bool sameHeader(const palm::PalmDatabase &a, const palm::PalmDatabase &b) {
    return a.name == b.name && a.attributes == b.attributes && a.version == b.version &&
           a.creationDate == b.creationDate && a.modificationDate == b.modificationDate &&
           a.lastBackupDate == b.lastBackupDate && a.modificationNumber == b.modificationNumber &&
           a.type == b.type && a.creator == b.creator && a.uniqueIdSeed == b.uniqueIdSeed &&
           a.records.size() == b.records.size() && a.resources.size() == b.resources.size();
}

bool sameDatabase(const palm::PalmDatabase &a, const palm::PalmDatabase &b) {
    if (!sameHeader(a, b) || a.appInfo != b.appInfo || a.sortInfo != b.sortInfo) return false;
    for (std::size_t i = 0; i < a.records.size(); ++i) {
        const auto &x = a.records[i];
        const auto &y = b.records[i];
        if (x.attributes != y.attributes || x.uniqueId != y.uniqueId || x.data != y.data) return false;
    }
    for (std::size_t i = 0; i < a.resources.size(); ++i) {
        const auto &x = a.resources[i];
        const auto &y = b.resources[i];
        if (x.type != y.type || x.id != y.id || x.data != y.data) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    auto parsed = palm::parsePdb(bytes, "fuzz.pdb");
    auto header = palm::parsePdbHeader(bytes, "fuzz.pdb");
    if (parsed.database.has_value() != header.database.has_value()) std::abort();
    if (!parsed.database) {
        if (parsed.error.empty()) std::abort();
        return 0;
    }
    const palm::PalmDatabase &db = *parsed.database;
    if (!sameHeader(db, *header.database)) std::abort();
    if (db.name.empty() || db.name.size() > palm::kMaxDatabaseNameLength) std::abort();

    std::vector<uint8_t> written = palm::serializePdb(db);
    if (written.size() != db.fileSize()) std::abort();
    auto again = palm::parsePdb(written, "fuzz.pdb");
    if (!again.database || !sameDatabase(db, *again.database)) std::abort();
    if (palm::serializePdb(*again.database) != written) std::abort();

    palm::PalmDatabase copy = db;
    const uint32_t id = copy.takeUniqueId();
    if (id == 0 || id > 0xFFFFFF) std::abort();
    if (std::any_of(db.records.begin(), db.records.end(), [&](const palm::PdbRecord &r) { return r.uniqueId == id; }))
        std::abort();
    return 0;
}
