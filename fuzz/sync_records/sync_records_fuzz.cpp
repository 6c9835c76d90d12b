// Decodes the input as every record layout of the sync files: the database
// header in both byte orders, the desktop file record, the handheld file
// record of the RAM and of the card lists, the card identity, the paths file
// and the cards table. Whatever decodes must encode, and the encoding must
// decode to a record that encodes to the same bytes.
#include "card_records.h"
#include "sync_records.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void headers(std::span<const uint8_t> in) {
    if (in.size() < qv::kDBHeaderSize) {
        if (qv::decodeCardListHeader(in, 0)) std::abort();
        return;
    }
    std::span<const uint8_t, qv::kDBHeaderSize> first(in.data(), qv::kDBHeaderSize);
    std::array<uint8_t, qv::kDBHeaderSize> out{};
    qv::encodeDBHeader(qv::decodeDBHeader(first), out);
    if (std::memcmp(out.data(), in.data(), out.size()) != 0) std::abort();

    // A card list read with the record size it declares (big-endian at 8).
    const uint32_t declared = (uint32_t(in[8]) << 24) | (uint32_t(in[9]) << 16) | (uint32_t(in[10]) << 8) | in[11];
    auto card = qv::decodeCardListHeader(in, declared);
    if (card.has_value() != (qv::decodeDBHeader(first).magic == QVDP_DB_MAGIC)) std::abort();
    if (card) {
        qv::encodeCardListHeader(*card, out);
        if (std::memcmp(out.data(), in.data(), out.size()) != 0) std::abort();
        if (qv::decodeCardListHeader(in, declared + 1)) std::abort();
    }
}

void desktopRecord(std::span<const uint8_t> in) {
    auto r = qv::decodeSyncFileRecord(in);
    if (!r) return;
    Bytes once(qv::kSyncFileRecordSizeDesktop, 0xAA), twice(qv::kSyncFileRecordSizeDesktop, 0x55);
    if (!qv::encodeSyncFileRecord(*r, once)) std::abort();
    auto back = qv::decodeSyncFileRecord(once);
    if (!back || !qv::encodeSyncFileRecord(*back, twice) || once != twice) std::abort();
}

void handheldRecord(std::span<const uint8_t> in, qv::HandheldList list) {
    auto r = qv::decodeHandheldFileRecord(in, list);
    if (in.size() < qv::handheldRecordSize(list) && r) std::abort();
    if (!r) return;
    Bytes once(qv::handheldRecordSize(list)), twice(once.size());
    if (!qv::encodeHandheldFileRecord(*r, list, once)) std::abort();
    auto back = qv::decodeHandheldFileRecord(once, list);
    if (!back || *back != *r || !qv::encodeHandheldFileRecord(*back, list, twice) || once != twice) std::abort();
}

void cardFiles(std::span<const uint8_t> in) {
    auto identity = qv::decodeCardIdentity(in);
    if (identity.has_value() != (in.size() >= qv::kCardIdentitySize)) std::abort();
    if (identity && std::memcmp(identity->data(), in.data(), identity->size()) != 0) std::abort();

    std::vector<std::string> folders = qv::readCardPaths(in);
    if (folders.size() > in.size() / qv::kCardPathRecordSize) std::abort();
    auto written = qv::writeCardPaths(folders);
    if (!written || written->size() != folders.size() * qv::kCardPathRecordSize) std::abort();
    if (qv::readCardPaths(*written) != folders) std::abort();

    for (uint64_t i = 0; i < qv::cardsTableRecordCount(in.size()); ++i) {
        auto r = qv::decodeCardsTableRecord(in.subspan(i * qv::kCardsTableRecordSize));
        if (!r) continue;
        Bytes once(qv::kCardsTableRecordSize), twice(once.size());
        if (!qv::encodeCardsTableRecord(*r, once)) std::abort();
        auto back = qv::decodeCardsTableRecord(once);
        if (!back || !qv::encodeCardsTableRecord(*back, twice) || once != twice) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::span<const uint8_t> in(data, size);
    headers(in);
    desktopRecord(in);
    handheldRecord(in, qv::HandheldList::Ram);
    handheldRecord(in, qv::HandheldList::Card);
    // The records also start past a header, as they do in their files.
    if (size > qv::kDBHeaderSize) {
        desktopRecord(in.subspan(qv::kDBHeaderSize));
        handheldRecord(in.subspan(qv::kDBHeaderSize), qv::HandheldList::Card);
    }
    cardFiles(in);
    return 0;
}
