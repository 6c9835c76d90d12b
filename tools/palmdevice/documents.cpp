#include "documents.h"

#include "byte_order.h"
#include "card_files.h"
#include "card_fs.h"
#include "card_records.h"
#include "connection.h"
#include "handheld.h"
#include "ini_store.h"
#include "palm_errors.h"
#include "pdb_file.h"
#include "sync_manager.h"
#include "sync_records.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace palmdevice {

using namespace palm;

namespace {

constexpr uint32_t kPiece = 4096;

struct ListItem {
    qv::HandheldFileRecord record;
    uint32_t uniqueId = 0;      // RAM: the Palm record's id; 0 for a new record
    uint8_t attributes = 0;     // RAM: the Palm record attributes
    bool dirty = false;
};

struct FileList {
    Location where;
    std::string path;           // card: the list file
    std::vector<ListItem> items;
    bool exists = false;
};

int report(const std::string &what, int32_t code) {
    std::fprintf(stderr, "palmdevice: %s: %s (%d)\n", what.c_str(), errorText(code), code);
    return 1;
}

int problem(const std::string &what) {
    std::fprintf(stderr, "palmdevice: %s\n", what.c_str());
    return 1;
}

qv::HandheldList kindOf(const Location &where) { return where.ram ? qv::HandheldList::Ram : qv::HandheldList::Card; }

bool readDesktopFile(const std::string &file, std::vector<uint8_t> &bytes) {
    std::string error;
    if (readWholeFile(file, bytes, error)) return true;
    problem(error);
    return false;
}

bool writeDesktopFile(const std::string &file, const std::vector<uint8_t> &bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (out) return true;
    problem(file + ": cannot be written");
    return false;
}

// ---- file lists -------------------------------------------------------------

int32_t loadList(const Location &where, const DocumentOptions &o, FileList &list) {
    list.where = where;
    list.items.clear();
    const qv::HandheldList kind = kindOf(where);
    if (where.ram) {
        sync::DbHandle db = 0;
        int32_t e = sync::openDatabase(o.listName, 0, sync::kModeRead, db);
        if (e == kSyncErrNotFound) return 0;
        if (e) return e;
        list.exists = true;
        std::vector<std::pair<sync::RecordInfo, std::vector<uint8_t>>> records;
        e = sync::readAllRecords(db, records);
        sync::closeDatabase(db);
        if (e) return e;
        for (const auto &[info, bytes] : records) {
            auto r = qv::decodeHandheldFileRecord(bytes, kind);
            if (!r) {
                problem("record " + std::to_string(info.index) + " of " + o.listName + " is not a file record");
                return kSyncErrDamaged;
            }
            list.items.push_back({*r, info.uniqueId, info.attributes, false});
        }
        return 0;
    }
    list.path = joinCardPath(where.folder, o.listName);
    std::vector<uint8_t> bytes;
    int32_t e = readCardFile(where.slot, list.path, bytes);
    if (e == kVfsErrFileNotFound) return 0;
    if (e) return e;
    list.exists = true;
    const size_t recordSize = qv::handheldRecordSize(kind);
    auto header = qv::decodeCardListHeader(bytes, uint32_t(recordSize));
    if (!header || qv::kDBHeaderSize + uint64_t(header->blobSize) > bytes.size()) {
        problem(list.path + ": not a card file list");
        return kVfsErrBadData;
    }
    for (size_t at = qv::kDBHeaderSize + header->blobSize; at + recordSize <= bytes.size(); at += recordSize) {
        auto r = qv::decodeHandheldFileRecord(std::span(bytes).subspan(at, recordSize), kind);
        if (!r) {
            problem(list.path + ": damaged record at byte " + std::to_string(at));
            return kVfsErrBadData;
        }
        list.items.push_back({*r, 0, 0, false});
    }
    return 0;
}

int32_t addFolderToPaths(uint16_t slot, const std::string &folder, const DocumentOptions &o) {
    std::vector<uint8_t> bytes;
    int32_t e = readCardFile(slot, o.pathsFile, bytes);
    if (e && e != kVfsErrFileNotFound) return e;
    std::vector<std::string> folders = e ? std::vector<std::string>() : qv::readCardPaths(bytes);
    if (std::any_of(folders.begin(), folders.end(), [&](const std::string &f) { return qv::sameCardFolder(f, folder); }))
        return 0;
    folders.push_back(folder);
    auto written = qv::writeCardPaths(folders);
    if (!written) return kVfsErrBadName;
    return writeCardFile(slot, o.pathsFile, *written);
}

int32_t saveList(FileList &list, const DocumentOptions &o) {
    const qv::HandheldList kind = kindOf(list.where);
    const size_t recordSize = qv::handheldRecordSize(kind);
    if (list.where.ram) {
        sync::DbHandle db = 0;
        int32_t e = sync::openDatabase(o.listName, 0, sync::kModeReadWrite, db);
        if (e == kSyncErrNotFound) {
            sync::CreateDbInfo info;
            info.name = o.listName;
            info.type = fourCC("DATA");
            info.creator = fourCC("QVpy");
            info.flags = sync::kDbFlagBackup;
            e = sync::createDatabase(info, db);
        }
        if (e) return e;
        for (ListItem &item : list.items) {
            if (!item.dirty) continue;
            std::vector<uint8_t> bytes(recordSize);
            if (!qv::encodeHandheldFileRecord(item.record, kind, bytes)) {
                sync::closeDatabase(db);
                return kSyncErrBadArgument;
            }
            uint32_t id = 0;
            e = sync::writeRecord(db, item.uniqueId, item.attributes, 0, bytes.data(), uint32_t(bytes.size()), id);
            if (e) break;
            item.uniqueId = id;
        }
        const int32_t closed = sync::closeDatabase(db);
        return e ? e : closed;
    }
    std::vector<uint8_t> bytes(qv::kDBHeaderSize);
    qv::encodeCardListHeader(qv::makeDBHeader(uint32_t(recordSize)), std::span<uint8_t, qv::kDBHeaderSize>(bytes.data(), qv::kDBHeaderSize));
    for (const ListItem &item : list.items) {
        std::vector<uint8_t> record(recordSize);
        if (!qv::encodeHandheldFileRecord(item.record, kind, record)) return kVfsErrBadName;
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    if (int32_t e = writeCardFile(list.where.slot, list.path, bytes)) return e;
    return list.exists ? 0 : addFolderToPaths(list.where.slot, list.where.folder, o);
}

ListItem *findItem(FileList &list, const std::string &name) {
    for (ListItem &item : list.items) {
        const bool same = list.where.ram ? item.record.name == name : iequals(item.record.name, name);
        if (same) return &item;
    }
    return nullptr;
}

// ---- RAM document containers ------------------------------------------------

Container detect(const sync::DbInfo &info, sync::DbHandle db) {
    if (info.type == fourCC("QVWD")) return Container::Docs;
    if (info.type == fourCC("Mppt")) return Container::Slides;
    if (info.flags & sync::kDbFlagStream) return Container::Stream;
    std::vector<std::pair<sync::RecordInfo, std::vector<uint8_t>>> records;
    if (sync::readAllRecords(db, records) == 0 && !records.empty() && records[0].second.size() >= 8 &&
        std::equal(records[0].second.begin(), records[0].second.begin() + 4, "DBLK"))
        return Container::Stream;
    return Container::Pdb;
}

int32_t writePieces(sync::DbHandle db, const std::vector<uint8_t> &bytes, bool streamHeader,
                    std::vector<uint32_t> &ids) {
    for (size_t at = 0; at < bytes.size(); at += kPiece) {
        const size_t n = std::min<size_t>(kPiece, bytes.size() - at);
        std::vector<uint8_t> record;
        if (streamHeader) {
            record = {'D', 'B', 'L', 'K', 0, 0, 0, 0};
            qv::storeBE32(record.data() + 4, uint32_t(n));
        }
        record.insert(record.end(), bytes.begin() + at, bytes.begin() + at + n);
        uint32_t id = 0;
        if (int32_t e = sync::writeRecord(db, 0, 0, 0, record.data(), uint32_t(record.size()), id)) return e;
        ids.push_back(id);
    }
    return 0;
}

// Puts the bytes into a new database of the name, in the container's layout.
int32_t writeRamDocument(const std::string &name, Container container, uint32_t type, uint32_t creator,
                         const std::vector<uint8_t> &bytes, const std::string &sourceName) {
    sync::CreateDbInfo info;
    info.name = name;
    info.type = type;
    info.creator = creator;
    std::optional<PalmDatabase> pdb;
    if (container == Container::Pdb) {
        PdbParseResult parsed = parsePdb(bytes, sourceName);
        if (!parsed.database) {
            problem(parsed.error);
            return kSyncErrBadArgument;
        }
        pdb = std::move(parsed.database);
        if (pdb->isResourceDatabase()) {
            problem(sourceName + ": a resource database cannot be a document");
            return kSyncErrBadArgument;
        }
        info.type = pdb->type;
        info.creator = pdb->creator;
        info.flags = pdb->attributes;
        info.version = pdb->version;
    } else if (container == Container::Stream) {
        info.flags = sync::kDbFlagBackup | sync::kDbFlagStream;
    } else if (container == Container::Slides) {
        info.flags = sync::kDbFlagBackup;
    }
    sync::DbHandle db = 0;
    int32_t e = sync::createDatabase(info, db);
    if (e) return e;
    std::vector<uint32_t> ids;
    switch (container) {
    case Container::Docs: {
        uint8_t app[6];
        qv::storeBE16(app, 12);
        qv::storeBE32(app + 2, uint32_t(bytes.size()));
        e = sync::writeAppInfoBlock(db, app, sizeof app);
        if (!e) e = writePieces(db, bytes, false, ids);
        if (!e) {
            std::vector<uint8_t> sort(ids.size() * 4);
            for (size_t i = 0; i < ids.size(); ++i) qv::storeBE32(sort.data() + 4 * i, ids[i]);
            e = sync::writeSortInfoBlock(db, sort.data(), uint32_t(sort.size()));
        }
        break;
    }
    case Container::Slides: e = writePieces(db, bytes, false, ids); break;
    case Container::Pdb:
        if (pdb->appInfo) e = sync::writeAppInfoBlock(db, pdb->appInfo->data(), uint32_t(pdb->appInfo->size()));
        if (!e && pdb->sortInfo) e = sync::writeSortInfoBlock(db, pdb->sortInfo->data(), uint32_t(pdb->sortInfo->size()));
        for (const PdbRecord &r : pdb->records) {
            if (e) break;
            uint32_t id = 0;
            e = sync::writeRecord(db, 0, uint8_t(r.attributes >> 4), r.attributes & kPdbRecCategoryMask, r.data.data(),
                                  uint32_t(r.data.size()), id);
        }
        break;
    default: e = writePieces(db, bytes, true, ids); break;
    }
    const int32_t closed = sync::closeDatabase(db);
    if (!e) e = closed;
    if (e) sync::deleteDatabase(name, 0);
    return e;
}

int32_t readRamDocument(const std::string &name, Container container, std::vector<uint8_t> &out) {
    sync::DbHandle db = 0;
    if (int32_t e = sync::openDatabase(name, 0, sync::kModeRead | sync::kModeShowSecret, db)) return e;
    sync::DbInfo info;
    sync::readOpenDatabaseInfo(db, info);
    if (container == Container::Auto) container = detect(info, db);
    std::vector<std::pair<sync::RecordInfo, std::vector<uint8_t>>> records;
    int32_t e = sync::readAllRecords(db, records);
    out.clear();
    if (!e && container == Container::Docs) {
        uint32_t size = 0;
        std::vector<uint8_t> sort(4 * records.size() + 4);
        if (sync::readSortInfoBlock(db, sort.data(), uint32_t(sort.size()), size) == 0 && size <= sort.size()) {
            std::vector<std::pair<sync::RecordInfo, std::vector<uint8_t>>> ordered;
            for (uint32_t at = 0; at + 4 <= size; at += 4) {
                const uint32_t id = qv::loadBE32(sort.data() + at);
                auto it = std::find_if(records.begin(), records.end(), [&](const auto &r) { return r.first.uniqueId == id; });
                if (it != records.end()) ordered.push_back(*it);
            }
            records = std::move(ordered);
        }
    }
    if (!e && container == Container::Pdb) {
        // The database itself is the document: hand out its file as stored.
        sync::closeDatabase(db);
        std::string error;
        auto handheld = Handheld::open(currentHandheldName().value_or(""), error);
        if (!handheld || !readWholeFile(handheld->databaseFile(name), out, error)) {
            problem(error);
            return kSyncErrIo;
        }
        return 0;
    }
    for (const auto &[recordInfo, bytes] : records) {
        if (container == Container::Stream) {
            if (bytes.size() < 8) continue;
            const size_t n = std::min<size_t>(qv::loadBE16(bytes.data() + 6), bytes.size() - 8);
            out.insert(out.end(), bytes.begin() + 8, bytes.begin() + 8 + n);
        } else {
            out.insert(out.end(), bytes.begin(), bytes.end());
        }
    }
    sync::closeDatabase(db);
    return e;
}

int32_t deleteCardOrRamDocument(const Location &where, const std::string &name) {
    if (where.ram) return sync::deleteDatabase(name, 0);
    return vfs::fileDelete(where.slot, joinCardPath(where.folder, name));
}

void printItem(const ListItem &item) {
    static const char kHex[] = "0123456789abcdef";
    std::string id;
    for (uint8_t b : item.record.recordId) {
        id += kHex[b >> 4];
        id += kHex[b & 15];
    }
    std::printf("%s\tstamp %u\tdeleted %u%s\tmode %u\tcategory %u\tflags 0x%02X\t%s\n", id.c_str(),
                item.record.stamp, item.record.deleted, (item.attributes & sync::kRecAttrDeleted) ? " (attribute)" : "",
                item.record.syncMode, item.record.palmCategory, item.record.flags, item.record.name.c_str());
}

}  // namespace

std::optional<Location> parseLocation(const std::string &text) {
    if (text == "ram") return Location{};
    if (text.rfind("card:", 0) != 0) return std::nullopt;
    const size_t colon = text.find(':', 5);
    if (colon == std::string::npos) return std::nullopt;
    const auto slot = parseInteger(text.substr(5, colon - 5));
    const std::string folder = text.substr(colon + 1);
    if (!slot || *slot < 1 || *slot > 0xFFFF || folder.empty() || folder.front() != '/') return std::nullopt;
    return Location{false, uint16_t(*slot), folder};
}

std::optional<Container> parseContainer(const std::string &text) {
    if (text == "auto") return Container::Auto;
    if (text == "stream") return Container::Stream;
    if (text == "docs") return Container::Docs;
    if (text == "slides") return Container::Slides;
    if (text == "pdb") return Container::Pdb;
    return std::nullopt;
}

int listDocuments(const Location &where, const DocumentOptions &o) {
    FileList list;
    if (int32_t e = loadList(where, o, list)) return report("cannot read the file list", e);
    if (!list.exists) std::printf("No file list.\n");
    for (const ListItem &item : list.items) printItem(item);
    return 0;
}

int newDocument(const Location &where, const std::string &name, const std::string &file, const DocumentOptions &o) {
    std::vector<uint8_t> bytes;
    if (!readDesktopFile(file, bytes)) return 1;
    FileList list;
    if (int32_t e = loadList(where, o, list)) return report("cannot read the file list", e);
    if (findItem(list, name)) return problem("the file list already has \"" + name + "\"");
    const qv::HandheldList kind = kindOf(where);
    ListItem item;
    item.record.name = name;
    item.record.syncMode = o.syncMode;
    item.record.palmCategory = o.category;
    item.dirty = true;
    std::vector<uint8_t> probe(qv::handheldRecordSize(kind));
    if (!qv::encodeHandheldFileRecord(item.record, kind, probe)) return problem("\"" + name + "\" is too long");
    if (where.ram) {
        Container c = o.container;
        if (c == Container::Auto) {
            const bool pdb = file.size() > 4 && iequals(file.substr(file.size() - 4), ".pdb");
            c = pdb ? Container::Pdb : Container::Stream;
        }
        uint32_t type = o.type.value_or(fourCC("DATA")), creator = o.creator.value_or(fourCC("QVpy"));
        if (c == Container::Docs) {
            type = o.type.value_or(fourCC("QVWD"));
            creator = o.creator.value_or(fourCC("QVMW"));
        } else if (c == Container::Slides) {
            type = o.type.value_or(fourCC("Mppt"));
            creator = o.creator.value_or(fourCC("QVSS"));
        }
        if (int32_t e = writeRamDocument(name, c, type, creator, bytes, file))
            return report("cannot create the database \"" + name + "\"", e);
    } else if (int32_t e = writeCardFile(where.slot, joinCardPath(where.folder, name), bytes)) {
        return report("cannot write " + joinCardPath(where.folder, name), e);
    }
    list.items.push_back(item);
    if (int32_t e = saveList(list, o)) return report("cannot write the file list", e);
    std::printf("Created \"%s\" (%zu bytes) with its file-list record.\n", name.c_str(), bytes.size());
    return 0;
}

int editDocument(const Location &where, const std::string &name, const std::string &file, const DocumentOptions &o) {
    std::vector<uint8_t> bytes;
    if (!readDesktopFile(file, bytes)) return 1;
    FileList list;
    if (int32_t e = loadList(where, o, list)) return report("cannot read the file list", e);
    ListItem *item = findItem(list, name);
    if (!item) return problem("the file list has no \"" + name + "\"");
    if (where.ram) {
        sync::DbInfo info;
        if (int32_t e = sync::findDatabase(name, 0, info)) return report("cannot find the database \"" + name + "\"", e);
        Container c = o.container;
        if (c == Container::Auto) {
            sync::DbHandle db = 0;
            if (int32_t e = sync::openDatabase(name, 0, sync::kModeRead, db)) return report("cannot open \"" + name + "\"", e);
            c = detect(info, db);
            sync::closeDatabase(db);
        }
        if (int32_t e = sync::deleteDatabase(name, 0)) return report("cannot replace \"" + name + "\"", e);
        if (int32_t e = writeRamDocument(name, c, info.type, info.creator, bytes, file))
            return report("cannot write the database \"" + name + "\"", e);
    } else if (int32_t e = writeCardFile(where.slot, joinCardPath(where.folder, item->record.name), bytes)) {
        return report("cannot write " + joinCardPath(where.folder, item->record.name), e);
    }
    item->record.stamp += 1;
    item->dirty = true;
    if (int32_t e = saveList(list, o)) return report("cannot write the file list", e);
    std::printf("Replaced \"%s\" (%zu bytes); stamp %u.\n", name.c_str(), bytes.size(), item->record.stamp);
    return 0;
}

int getDocument(const Location &where, const std::string &name, const std::string &file, const DocumentOptions &o) {
    std::vector<uint8_t> bytes;
    const int32_t e = where.ram ? readRamDocument(name, o.container, bytes)
                                : readCardFile(where.slot, joinCardPath(where.folder, name), bytes);
    if (e) return report("cannot read \"" + name + "\"", e);
    if (!writeDesktopFile(file, bytes)) return 1;
    std::printf("Wrote %zu bytes to %s.\n", bytes.size(), file.c_str());
    return 0;
}

int deleteDocument(const Location &where, const std::string &name, const DocumentOptions &o) {
    FileList list;
    if (int32_t e = loadList(where, o, list)) return report("cannot read the file list", e);
    ListItem *item = findItem(list, name);
    if (!item) return problem("the file list has no \"" + name + "\"");
    if (o.attributeDeleted) {
        if (!where.ram) return problem("only RAM records carry the deleted attribute");
        item->attributes |= sync::kRecAttrDeleted;
    } else {
        item->record.deleted = 1;
    }
    item->dirty = true;
    if (o.removeFile) {
        const int32_t e = deleteCardOrRamDocument(where, name);
        if (e && e != kSyncErrNotFound && e != kVfsErrFileNotFound) return report("cannot delete \"" + name + "\"", e);
    }
    if (int32_t e = saveList(list, o)) return report("cannot write the file list", e);
    std::printf("Marked \"%s\" deleted.\n", name.c_str());
    return 0;
}

int setDocumentFlags(const Location &where, const std::string &name, uint8_t flags, const DocumentOptions &o) {
    FileList list;
    if (int32_t e = loadList(where, o, list)) return report("cannot read the file list", e);
    ListItem *item = findItem(list, name);
    if (!item) return problem("the file list has no \"" + name + "\"");
    item->record.flags = flags;
    item->dirty = true;
    if (int32_t e = saveList(list, o)) return report("cannot write the file list", e);
    std::printf("Flags of \"%s\": 0x%02X.\n", name.c_str(), flags);
    return 0;
}

}  // namespace palmdevice
