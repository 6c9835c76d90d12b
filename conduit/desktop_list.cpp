#include "desktop_list.h"

#include "QVDPCommon.h"
#include "QVDPDatabase.h"
#include "error_record.h"

#include <array>
#include <cstdio>
#include <fstream>

namespace conduit {

namespace {

using HeaderBytes = std::array<uint8_t, qv::kDBHeaderSize>;

HeaderBytes headerBytes(const QVDP_DBHeader &header) {
    HeaderBytes bytes{};
    qv::encodeDBHeader(header, bytes);
    return bytes;
}

// The record size an existing list file declares; nullopt when there is no
// file or its header cannot be read (the database library judges the rest).
std::optional<uint32_t> storedRecordSize(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    HeaderBytes bytes{};
    if (!in.read(reinterpret_cast<char *>(bytes.data()), bytes.size())) return std::nullopt;
    return qv::decodeDBHeader(bytes).recordSize;
}

// A replacement that was cut short after the old list was moved aside
// leaves no list but its ".bak" copy.
void recoverMovedList(const std::string &path) {
    const std::string backup = path + ".bak";
    if (!QVPCFileExists(path.c_str()) && QVPCFileExists(backup.c_str())) std::rename(backup.c_str(), path.c_str());
}

bool readEntries(ConduitContext &context) {
    void *db = context.desktop.database;
    const int32_t count = QVDP_DBGetNumRecord(db);
    if (QVDP_DBFirst(db) != 0) return false;
    std::array<uint8_t, kDesktopReadBuffer> buffer{};
    for (int32_t i = 0; i < count; ++i) {
        buffer.fill(0);
        if (QVDP_DBGetRecord(db, uint32_t(buffer.size()), buffer.data()) != 0) return false;
        auto record = qv::decodeSyncFileRecord(buffer);
        if (!record) return false;
        auto entry = std::make_unique<DesktopEntry>();
        entry->record = std::move(*record);
        context.desktop.entries.push_back(std::move(entry));
        QVDP_DBNext(db);
    }
    return true;
}

}  // namespace

bool loadDesktopList(ConduitContext &context) {
    DesktopList &list = context.desktop;
    const PluginBinding &plugin = *context.plugin;
    list.path = plugin.pluginFolder + "/" + plugin.databaseName;
    if (!list.header || list.header->recordSize < qv::kSyncFileRecordSize || list.path.size() + 4 >= QVDP_MAX_PATH)
        return false;
    recoverMovedList(list.path);
    // A list whose records are too short for a file record is not one.
    if (const auto size = storedRecordSize(list.path); size && *size < qv::kSyncFileRecordSize) return false;
    const HeaderBytes header = headerBytes(*list.header);
    if (QVDP_DBOpen(list.path.c_str(), &list.database, header.data(), list.blob) != 0) {
        list.database = nullptr;
        return false;
    }
    if (readEntries(context)) return true;
    closeDesktopList(context);
    list.entries.clear();
    return false;
}

void closeDesktopList(ConduitContext &context) {
    if (context.desktop.database) QVDP_DBClose(context.desktop.database);
    context.desktop.database = nullptr;
}

bool writeDesktopList(ConduitContext &context) {
    DesktopList &list = context.desktop;
    const std::string temp = list.path + ".tmp";
    QVDP_Error error{};
    if (QVPCFileExists(temp.c_str()) && !QVPCDeleteFile(&error, temp.c_str())) {
        closeDesktopList(context);
        return false;
    }
    const HeaderBytes header = headerBytes(*list.header);
    void *db = nullptr;
    if (QVDP_DBOpen(temp.c_str(), &db, header.data(), list.blob) != 0) {
        closeDesktopList(context);
        return false;
    }
    std::vector<uint8_t> record(list.header->recordSize);
    bool written = true;
    for (const auto &entry : list.entries) {
        if (entry->dropped) continue;
        if (!qv::encodeSyncFileRecord(entry->record, record) || QVDP_DBInsertRecord(db, record.data()) != 0) {
            written = false;
            break;
        }
    }
    written = QVDP_DBClose(db) == 0 && written;
    closeDesktopList(context);
    if (written && QVPCReplaceFile(list.path.c_str(), temp.c_str(), (list.path + ".bak").c_str())) return true;
    QVPCDeleteFile(&error, temp.c_str());
    return false;
}

}  // namespace conduit
