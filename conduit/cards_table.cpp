#include "cards_table.h"

#include "QVDPCommon.h"
#include "byte_order.h"
#include "card_fs.h"
#include "shared_file.h"
#include "temp_files.h"
#include "times.h"
#include "user_manager.h"

#include <algorithm>
#include <array>
#include <limits>
#include <unistd.h>

namespace conduit {

namespace {

using RawRecord = std::array<uint8_t, qv::kCardsTableRecordSize>;

constexpr std::size_t kCardIdOffset = 4;
constexpr std::size_t kPresentOffset = 296;
// A table larger than this is not read (100000 cards).
constexpr uint64_t kMaxTableSize = 100000ull * qv::kCardsTableRecordSize;
constexpr platform::FileTime kOleEpochFileTime = 94353120000000000ull;   // 1899-12-30 00:00 UTC
constexpr double kFileTimeUnitsPerDay = 864000000000.0;

void logText(const ConduitContext &context, const char *text) {
    if (context.log) context.log->logText(kConduitMessageLevel, text);
}

// The table file, held without sharing while it is read and rewritten.
class TableFile {
public:
    explicit TableFile(std::string path) : path_(std::move(path)) {}
    ~TableFile() {
        if (fd_ >= 0) platform::closeFile(fd_);
    }
    TableFile(const TableFile &) = delete;
    TableFile &operator=(const TableFile &) = delete;

    bool open() {
        fd_ = platform::openFile(path_, platform::Access::ReadWrite, platform::Disposition::OpenAlways,
                                 platform::Share::None);
        return fd_ >= 0;
    }

    // Every whole record; a trailing remainder is left out.
    bool read(std::vector<RawRecord> &records) const {
        records.clear();
        const off_t size = ::lseek(fd_, 0, SEEK_END);
        if (size < 0 || uint64_t(size) > kMaxTableSize || ::lseek(fd_, 0, SEEK_SET) != 0) return false;
        records.resize(qv::cardsTableRecordCount(uint64_t(size)));
        for (RawRecord &r : records) {
            std::size_t done = 0;
            while (done < r.size()) {
                const ssize_t n = ::read(fd_, r.data() + done, r.size() - done);
                if (n <= 0) return false;
                done += std::size_t(n);
            }
        }
        return true;
    }

    // Replaces the table through a temporary file beside it.
    bool write(const std::vector<RawRecord> &records) const {
        platform::AtomicFile file(path_);
        std::error_code ec;
        if (!file.open(ec)) return false;
        for (const RawRecord &r : records)
            if (!file.write(r.data(), r.size(), ec)) return false;
        return file.commit(ec);
    }

private:
    std::string path_;
    int fd_ = -1;
};

std::optional<std::string> tablePath(const std::string &userName) {
    uint32_t userId = 0;
    if (palm::users::idFromName(userName, userId) != 0) return std::nullopt;
    char folder[QVDP_MAX_PATH] = {};
    if (GetUserFullPath(userId, folder) != 1) return std::nullopt;
    std::string path = folder;
    if (!path.ends_with('/')) path += '/';
    return path + qv::kCardsTableFileName;
}

uint32_t clamp32(uint64_t value) { return uint32_t(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max())); }

// First pass: every card is absent until this HotSync has seen it.
bool markAllAbsent(const ConduitContext &context, const std::string &path) {
    TableFile table(path);
    if (!table.open()) {
        logText(context, kCannotCreateCardsTableText);
        return false;
    }
    std::vector<RawRecord> records;
    if (!table.read(records)) {
        logText(context, kCannotReadCardsTableText);
        return false;
    }
    for (RawRecord &r : records) qv::storeLE32(r.data() + kPresentOffset, 0);
    if (!table.write(records)) {
        logText(context, kCannotWriteCardsTableText);
        return false;
    }
    return true;
}

// The record of this HotSync for a card; a name given on the desktop goes
// to the card and stays the card's name in the table even if the card
// refuses it.
qv::CardsTableRecord freshRecord(ConduitContext &context, CardEntry &card, const RawRecord *stored, double now) {
    qv::CardsTableRecord fresh;
    fresh.cardKind = card.cardKind;
    fresh.cardId = card.identity;
    fresh.cardName = card.label;
    fresh.capacity = clamp32(card.totalBytes);
    fresh.usedBytes = clamp32(card.usedBytes);
    fresh.lastSyncDate = now;
    fresh.presentAtLastSync = card.isCard() ? 1 : 0;
    if (!stored) return fresh;
    const auto old = qv::decodeCardsTableRecord(*stored);
    if (!old) {
        logText(context, kCannotReadCardsTableText);
        return fresh;
    }
    if (old->nameChangedOnDesktop && card.isCard()) {
        if (palm::vfs::volumeSetLabel(card.volume, old->cardName) == 0) card.label = old->cardName;
        fresh.cardName = old->cardName;
    }
    return fresh;
}

void addOrUpdateCards(ConduitContext &context, const std::string &path) {
    TableFile table(path);
    if (!table.open()) {
        logText(context, kCannotOpenCardsTableText);
        return;
    }
    std::vector<RawRecord> records;
    if (!table.read(records)) {
        logText(context, kCannotReadCardsTableText);
        return;
    }
    const double now = utcOleDateNow();
    for (CardEntry &card : context.cards) {
        auto stored = std::find_if(records.begin(), records.end(), [&](const RawRecord &r) {
            return std::equal(card.identity.begin(), card.identity.end(), r.begin() + kCardIdOffset);
        });
        const bool found = stored != records.end();
        const qv::CardsTableRecord fresh = freshRecord(context, card, found ? &*stored : nullptr, now);
        RawRecord bytes{};
        if (!qv::encodeCardsTableRecord(fresh, bytes)) {
            logText(context, kCannotWriteCardsTableText);
            continue;
        }
        if (found)
            *stored = bytes;
        else
            records.push_back(bytes);
    }
    if (!table.write(records)) logText(context, kCannotWriteCardsTableText);
}

}  // namespace

double utcOleDateNow() {
    const platform::FileTime now = platform::fileTimeNow();
    return double(int64_t(now - kOleEpochFileTime)) / kFileTimeUnitsPerDay;
}

void updateCardsTable(ConduitContext &context, const std::string &userName) {
    const auto path = tablePath(userName);
    if (!path) return;
    if (markAllAbsent(context, *path)) addOrUpdateCards(context, *path);
}

}  // namespace conduit
