#include "pdb_file.h"

#include "byte_order.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace palm {

namespace {

constexpr size_t kRecordEntrySize = 8;
constexpr size_t kResourceEntrySize = 10;
constexpr size_t kListGap = 2;
// Seconds from 1 January 1904 to 1 January 1970.
constexpr int64_t kPalmEpochOffset = 2082844800;

struct Span {
    size_t order;    // 0 app info, 1 sort info, 2.. entries in list order
    uint32_t offset;
};

PdbParseResult failure(const std::string &fileName, const std::string &what) {
    return {std::nullopt, fileName + ": " + what};
}

}  // namespace

uint32_t PalmDatabase::takeUniqueId() {
    uint32_t highest = uniqueIdSeed & 0xFFFFFF;
    for (const PdbRecord &r : records) highest = std::max(highest, r.uniqueId);
    uint32_t id = (highest + 1) & 0xFFFFFF;
    auto taken = [&](uint32_t candidate) {
        return candidate == 0 || std::any_of(records.begin(), records.end(),
                                             [&](const PdbRecord &r) { return r.uniqueId == candidate; });
    };
    while (taken(id)) id = (id + 1) & 0xFFFFFF;
    uniqueIdSeed = id;
    return id;
}

size_t PalmDatabase::fileSize() const {
    size_t size = kPdbHeaderSize + kListGap;
    if (isResourceDatabase()) {
        size += resources.size() * kResourceEntrySize;
        for (const PdbResource &r : resources) size += r.data.size();
    } else {
        size += records.size() * kRecordEntrySize;
        for (const PdbRecord &r : records) size += r.data.size();
    }
    if (appInfo) size += appInfo->size();
    if (sortInfo) size += sortInfo->size();
    return size;
}

static PdbParseResult parse(std::span<const uint8_t> bytes, const std::string &fileName, bool withData) {
    if (bytes.size() < kPdbHeaderSize)
        return failure(fileName, "shorter than the 78-byte database header (" + std::to_string(bytes.size()) +
                                     " bytes)");
    const uint8_t *h = bytes.data();
    PalmDatabase db;
    const auto nameEnd = std::find(h, h + kPdbNameWidth, 0);
    if (nameEnd == h + kPdbNameWidth) return failure(fileName, "the database name is not terminated");
    if (nameEnd == h) return failure(fileName, "the database name is empty");
    db.name.assign(reinterpret_cast<const char *>(h), size_t(nameEnd - h));
    db.attributes = qv::loadBE16(h + 32);
    db.version = qv::loadBE16(h + 34);
    db.creationDate = qv::loadBE32(h + 36);
    db.modificationDate = qv::loadBE32(h + 40);
    db.lastBackupDate = qv::loadBE32(h + 44);
    db.modificationNumber = qv::loadBE32(h + 48);
    const uint32_t appInfoOffset = qv::loadBE32(h + 52);
    const uint32_t sortInfoOffset = qv::loadBE32(h + 56);
    db.type = qv::loadBE32(h + 60);
    db.creator = qv::loadBE32(h + 64);
    db.uniqueIdSeed = qv::loadBE32(h + 68);
    if (qv::loadBE32(h + 72) != 0) return failure(fileName, "chained record lists are not supported");
    const size_t count = qv::loadBE16(h + 76);
    const bool resource = db.isResourceDatabase();
    const size_t entrySize = resource ? kResourceEntrySize : kRecordEntrySize;
    const size_t listEnd = kPdbHeaderSize + count * entrySize;
    if (listEnd > bytes.size())
        return failure(fileName, "the record list of " + std::to_string(count) + " entries runs past the end of the file");

    std::vector<Span> spans;
    spans.reserve(count + 2);
    auto checkOffset = [&](uint32_t offset, const std::string &what) -> std::string {
        if (offset < listEnd || offset > bytes.size())
            return what + " offset " + std::to_string(offset) + " lies outside the data (" +
                   std::to_string(listEnd) + " to " + std::to_string(bytes.size()) + ")";
        return {};
    };
    if (appInfoOffset != 0) {
        if (auto e = checkOffset(appInfoOffset, "application info"); !e.empty()) return failure(fileName, e);
        spans.push_back({0, appInfoOffset});
    }
    if (sortInfoOffset != 0) {
        if (auto e = checkOffset(sortInfoOffset, "sort info"); !e.empty()) return failure(fileName, e);
        spans.push_back({1, sortInfoOffset});
    }
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *entry = h + kPdbHeaderSize + i * entrySize;
        const uint32_t offset = resource ? qv::loadBE32(entry + 6) : qv::loadBE32(entry);
        if (auto e = checkOffset(offset, (resource ? "resource " : "record ") + std::to_string(i));
            !e.empty())
            return failure(fileName, e);
        spans.push_back({2 + i, offset});
        if (resource) {
            db.resources.push_back({qv::loadBE32(entry), qv::loadBE16(entry + 4), {}});
        } else {
            PdbRecord r;
            r.attributes = entry[4];
            r.uniqueId = (uint32_t(entry[5]) << 16) | (uint32_t(entry[6]) << 8) | entry[7];
            db.records.push_back(std::move(r));
        }
    }
    if (!withData) return {std::move(db), {}};

    // Each item runs to the next item's offset (or the end of the file).
    std::vector<Span> sorted = spans;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Span &a, const Span &b) { return a.offset < b.offset; });
    for (size_t k = 0; k < sorted.size(); ++k) {
        const size_t begin = sorted[k].offset;
        const size_t end = k + 1 < sorted.size() ? sorted[k + 1].offset : bytes.size();
        std::vector<uint8_t> data(bytes.begin() + begin, bytes.begin() + end);
        const size_t order = sorted[k].order;
        if (order == 0) db.appInfo = std::move(data);
        else if (order == 1) db.sortInfo = std::move(data);
        else if (resource) db.resources[order - 2].data = std::move(data);
        else db.records[order - 2].data = std::move(data);
    }
    return {std::move(db), {}};
}

PdbParseResult parsePdb(std::span<const uint8_t> bytes, const std::string &fileName) {
    return parse(bytes, fileName, true);
}

PdbParseResult parsePdbHeader(std::span<const uint8_t> bytes, const std::string &fileName) {
    return parse(bytes, fileName, false);
}

std::vector<uint8_t> serializePdb(const PalmDatabase &db) {
    const bool resource = db.isResourceDatabase();
    const size_t count = resource ? db.resources.size() : db.records.size();
    const size_t entrySize = resource ? kResourceEntrySize : kRecordEntrySize;
    std::vector<uint8_t> out(kPdbHeaderSize + count * entrySize + kListGap, 0);
    uint8_t *h = out.data();
    std::copy_n(db.name.data(), std::min(db.name.size(), kMaxDatabaseNameLength), h);
    qv::storeBE16(h + 32, db.attributes);
    qv::storeBE16(h + 34, db.version);
    qv::storeBE32(h + 36, db.creationDate);
    qv::storeBE32(h + 40, db.modificationDate);
    qv::storeBE32(h + 44, db.lastBackupDate);
    qv::storeBE32(h + 48, db.modificationNumber);
    qv::storeBE32(h + 60, db.type);
    qv::storeBE32(h + 64, db.creator);
    qv::storeBE32(h + 68, db.uniqueIdSeed);
    qv::storeBE16(h + 76, uint16_t(count));
    auto append = [&out](const std::vector<uint8_t> &data) {
        const uint32_t offset = uint32_t(out.size());
        out.insert(out.end(), data.begin(), data.end());
        return offset;
    };
    // append() may move the bytes: the offset is taken before the header is addressed.
    if (db.appInfo) {
        const uint32_t offset = append(*db.appInfo);
        qv::storeBE32(out.data() + 52, offset);
    }
    if (db.sortInfo) {
        const uint32_t offset = append(*db.sortInfo);
        qv::storeBE32(out.data() + 56, offset);
    }
    for (size_t i = 0; i < count; ++i) {
        const uint32_t offset = append(resource ? db.resources[i].data : db.records[i].data);
        uint8_t *entry = out.data() + kPdbHeaderSize + i * entrySize;
        if (resource) {
            qv::storeBE32(entry, db.resources[i].type);
            qv::storeBE16(entry + 4, db.resources[i].id);
            qv::storeBE32(entry + 6, offset);
        } else {
            const PdbRecord &r = db.records[i];
            qv::storeBE32(entry, offset);
            entry[4] = r.attributes;
            entry[5] = uint8_t(r.uniqueId >> 16);
            entry[6] = uint8_t(r.uniqueId >> 8);
            entry[7] = uint8_t(r.uniqueId);
        }
    }
    return out;
}

uint32_t palmTimeNow() {
    const int64_t unix = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    return uint32_t(unix + kPalmEpochOffset);
}

uint32_t fourCC(const char (&text)[5]) {
    return (uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
           (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3]));
}

std::optional<uint32_t> parseFourCC(const std::string &text) {
    if (text.size() == 4) {
        return (uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
               (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3]));
    }
    if (text.size() > 2 && text.size() <= 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        uint32_t value = 0;
        for (size_t i = 2; i < text.size(); ++i) {
            const char c = text[i];
            int digit;
            if (c >= '0' && c <= '9') digit = c - '0';
            else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            else return std::nullopt;
            value = (value << 4) | uint32_t(digit);
        }
        return value;
    }
    return std::nullopt;
}

std::string fourCCText(uint32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const uint8_t c = uint8_t(code >> shift);
        if (c >= 0x20 && c < 0x7F) {
            text += char(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            text += hex;
        }
    }
    return text;
}

}  // namespace palm
