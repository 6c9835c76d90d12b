#include "card_list.h"

#include "card_records.h"
#include "temp_files.h"
#include "palm_users.h"

#include <algorithm>
#include <fstream>

namespace desktop {

namespace {

// A cards table holds one record per card ever seen; anything far beyond
// that is not a cards table.
constexpr std::uintmax_t kMaxTableSize = 1u << 24;

}  // namespace

TQVCardList TQVCardList::build(const TQVUserManager &users, uint32_t userId, const std::string &tablePath) {
    TQVCardList list;
    list.tablePath_ = tablePath;
    for (const PalmSlot &slot : users.slots(userId)) {
        TQVCard card;
        card.kind = qv::kCardSlot;
        card.identity = qv::slotLocationId(slot.position);
        card.name = slot.displayName;
        list.cards_.push_back(std::move(card));
    }
    std::ifstream in(tablePath, std::ios::binary);
    if (!in) return list;
    list.tableRead_ = true;
    std::vector<uint8_t> record(qv::kCardsTableRecordSize);
    for (std::uintmax_t offset = 0; offset < kMaxTableSize; offset += record.size()) {
        if (!in.read(reinterpret_cast<char *>(record.data()), std::streamsize(record.size()))) break;
        const auto r = qv::decodeCardsTableRecord(record);
        if (!r) continue;
        if (r->cardKind == qv::kCardInternalMemory) {
            list.memoryTotal_ = r->capacity;
            list.freeMemory_ = r->usedBytes;
            continue;
        }
        TQVCard card;
        card.kind = qv::kCardMemoryCard;
        card.identity = r->cardId;
        card.name = r->cardName.empty() ? "Card" : r->cardName;
        card.capacity = r->capacity;
        card.used = r->usedBytes;
        card.nameChanged = int32_t(r->nameChangedOnDesktop);
        card.lastSync = r->lastSyncDate;
        card.present = r->presentAtLastSync == 1;
        list.cards_.push_back(std::move(card));
    }
    return list;
}

const TQVCard *TQVCardList::find(uint32_t kind, const qv::Guid &identity) const {
    auto it = std::find_if(cards_.begin(), cards_.end(),
                           [&](const TQVCard &c) { return c.kind == kind && c.identity == identity; });
    return it == cards_.end() ? nullptr : &*it;
}

bool TQVCardList::hasIdentity(const qv::Guid &identity) const {
    return std::any_of(cards_.begin(), cards_.end(), [&](const TQVCard &c) { return c.identity == identity; });
}

bool TQVCardList::save() const {
    std::string content;
    std::vector<uint8_t> record(qv::kCardsTableRecordSize);
    for (const TQVCard &c : cards_) {
        if (c.kind != qv::kCardMemoryCard) continue;
        qv::CardsTableRecord r;
        r.cardKind = qv::kCardMemoryCard;
        r.cardId = c.identity;
        r.cardName = c.name;
        r.capacity = c.capacity;
        r.usedBytes = c.used;
        r.nameChangedOnDesktop = uint32_t(c.nameChanged);
        r.lastSyncDate = c.lastSync;
        r.presentAtLastSync = c.present ? 1 : 0;
        if (!qv::encodeCardsTableRecord(r, record)) return false;
        content.append(reinterpret_cast<const char *>(record.data()), record.size());
    }
    std::error_code ec;
    return platform::writeFileAtomically(tablePath_, content, ec);
}

}  // namespace desktop
