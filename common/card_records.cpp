#include "card_records.h"

#include "byte_order.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace qv {

std::optional<Guid> decodeCardIdentity(std::span<const uint8_t> file) {
    if (file.size() < kCardIdentitySize) return std::nullopt;
    Guid id;
    std::copy_n(file.begin(), id.size(), id.begin());
    return id;
}

// ---- Paths file -----------------------------------------------------------

bool encodeCardPathRecord(const CardPathRecord &r, std::span<uint8_t> out) {
    if (out.size() < kCardPathRecordSize) return false;
    std::array<uint8_t, kCardPathRecordSize> b{};
    if (!storeText({b.data() + 1, kCardPathWidth}, r.folderPath)) return false;
    b[0] = r.pathDeleted;
    std::copy(b.begin(), b.end(), out.begin());
    return true;
}

std::optional<CardPathRecord> decodeCardPathRecord(std::span<const uint8_t> in) {
    if (in.size() < kCardPathRecordSize) return std::nullopt;
    auto path = loadText(in.subspan(1, kCardPathWidth));
    if (!path) return std::nullopt;
    return CardPathRecord{in[0], std::move(*path)};
}

namespace {
std::string_view withoutTrailingSlash(std::string_view s) {
    while (s.size() > 1 && s.back() == '/') s.remove_suffix(1);
    return s;
}
}  // namespace

bool sameCardFolder(std::string_view a, std::string_view b) {
    a = withoutTrailingSlash(a);
    b = withoutTrailingSlash(b);
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

namespace {
void addFolderOnce(std::vector<std::string> &folders, std::string folder) {
    bool seen = std::any_of(folders.begin(), folders.end(),
                            [&](const std::string &f) { return sameCardFolder(f, folder); });
    if (!seen) folders.push_back(std::move(folder));
}
}  // namespace

std::vector<std::string> readCardPaths(std::span<const uint8_t> file) {
    std::vector<std::string> folders;
    for (size_t at = 0; file.size() - at >= kCardPathRecordSize; at += kCardPathRecordSize) {
        auto r = decodeCardPathRecord(file.subspan(at, kCardPathRecordSize));
        if (r && r->pathDeleted == 0) addFolderOnce(folders, std::move(r->folderPath));
    }
    return folders;
}

std::optional<std::vector<uint8_t>> writeCardPaths(const std::vector<std::string> &folders) {
    std::vector<std::string> unique;
    for (const auto &f : folders) addFolderOnce(unique, f);
    std::vector<uint8_t> file(unique.size() * kCardPathRecordSize);
    for (size_t i = 0; i < unique.size(); ++i) {
        std::span<uint8_t> slot(file.data() + i * kCardPathRecordSize, kCardPathRecordSize);
        if (!encodeCardPathRecord(CardPathRecord{0, unique[i]}, slot)) return std::nullopt;
    }
    return file;
}

// ---- Cards table ----------------------------------------------------------

namespace {
namespace card {
constexpr size_t cardKind = 0, cardId = 4, cardName = 20, capacity = 276, usedBytes = 280,
                 nameChangedOnDesktop = 284, lastSyncDate = 288, presentAtLastSync = 296, spare = 300;
static_assert(spare + 4 == kCardsTableRecordSize);
}  // namespace card
}  // namespace

bool encodeCardsTableRecord(const CardsTableRecord &r, std::span<uint8_t> out) {
    if (out.size() < kCardsTableRecordSize) return false;
    std::array<uint8_t, kCardsTableRecordSize> b{};
    uint8_t *p = b.data();
    if (!storeText({p + card::cardName, kCardNameWidth}, r.cardName)) return false;
    storeLE32(p + card::cardKind, r.cardKind);
    std::copy(r.cardId.begin(), r.cardId.end(), p + card::cardId);
    storeLE32(p + card::capacity, r.capacity);
    storeLE32(p + card::usedBytes, r.usedBytes);
    storeLE32(p + card::nameChangedOnDesktop, r.nameChangedOnDesktop);
    storeLEDouble(p + card::lastSyncDate, r.lastSyncDate);
    storeLE32(p + card::presentAtLastSync, r.presentAtLastSync);
    std::copy(b.begin(), b.end(), out.begin());
    return true;
}

std::optional<CardsTableRecord> decodeCardsTableRecord(std::span<const uint8_t> in) {
    if (in.size() < kCardsTableRecordSize) return std::nullopt;
    const uint8_t *p = in.data();
    auto name = loadText({p + card::cardName, kCardNameWidth});
    if (!name) return std::nullopt;
    CardsTableRecord r;
    r.cardKind = loadLE32(p + card::cardKind);
    std::copy_n(p + card::cardId, r.cardId.size(), r.cardId.begin());
    r.cardName = std::move(*name);
    r.capacity = loadLE32(p + card::capacity);
    r.usedBytes = loadLE32(p + card::usedBytes);
    r.nameChangedOnDesktop = loadLE32(p + card::nameChangedOnDesktop);
    r.lastSyncDate = loadLEDouble(p + card::lastSyncDate);
    r.presentAtLastSync = loadLE32(p + card::presentAtLastSync);
    return r;
}

}  // namespace qv
