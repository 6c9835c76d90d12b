// TQVCardList: the expansion slots and memory cards of a Palm user's
// handheld, as the desktop program offers them as places for files. Slots
// come from the User Manager (as the last HotSync found them), cards from
// the user's cards table "QVDPCardsDB.db" written by the conduit. A slot's
// identity is its position in the slot list followed by 12 zero bytes; a
// card's identity is the 16 bytes of its identity file.
#pragma once

#include "sync_records.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace desktop {

class TQVUserManager;

struct TQVCard {
    uint32_t kind = 2;       // 1 = expansion slot, 2 = memory card
    qv::Guid identity{};
    std::string name;
    uint32_t capacity = 0;
    uint32_t used = 0;
    int32_t nameChanged = 0;
    double lastSync = 0;
    bool present = false;
};

class TQVCardList {
public:
    // Slots from the User Manager, then the cards of the table in file order;
    // a card without a name is called "Card". A table that cannot be read
    // leaves only the slots (tableRead() false).
    static TQVCardList build(const TQVUserManager &users, uint32_t userId, const std::string &tablePath);

    const std::vector<TQVCard> &cards() const { return cards_; }
    std::vector<TQVCard> &cards() { return cards_; }
    const std::string &tablePath() const { return tablePath_; }
    bool tableRead() const { return tableRead_; }
    // From the table's handheld memory record; nullopt when it has none.
    std::optional<uint32_t> handheldMemoryTotal() const { return memoryTotal_; }
    std::optional<uint32_t> handheldFreeMemory() const { return freeMemory_; }

    // The slot or card with this kind and identity.
    const TQVCard *find(uint32_t kind, const qv::Guid &identity) const;
    bool hasIdentity(const qv::Guid &identity) const;

    // Rewrites the table with the memory cards of the list (slots and the
    // handheld memory record are not written); false when it cannot.
    bool save() const;

private:
    std::vector<TQVCard> cards_;
    std::string tablePath_;
    bool tableRead_ = false;
    std::optional<uint32_t> memoryTotal_;
    std::optional<uint32_t> freeMemory_;
};

}  // namespace desktop
