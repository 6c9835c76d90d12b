#include "card_pass.h"

#include "card_files.h"
#include "card_fs.h"
#include "cards_table.h"
#include "guid.h"
#include "sync_manager.h"

#include <optional>

namespace conduit {

namespace {

constexpr uint16_t kLabelBuffer = 256;

// Opens the card's identity file for reading, making it first when the card
// has none. A card whose file cannot be opened for another reason gets no
// new identity: that would part it from the records that know its old one.
std::optional<palm::vfs::FileRef> openIdentityFile(uint16_t volume) {
    palm::vfs::FileRef ref = 0;
    const int32_t answer = palm::vfs::fileOpen(volume, kCardIdentityPath, kCardOpenRead, ref);
    if (answer == 0) return ref;
    if (answer != palm::kVfsErrFileNotFound) return std::nullopt;
    if (palm::vfs::fileCreate(volume, kCardIdentityPath) != 0) return std::nullopt;
    if (palm::vfs::fileOpen(volume, kCardIdentityPath, kCardOpenReadWrite, ref) != 0) return std::nullopt;
    palm::vfs::fileSetAttributes(ref, qv::kCardIdentityFileAttributes);
    const qv::Guid identity = platform::createGuid();
    uint32_t written = 0;
    if (palm::vfs::fileWrite(ref, uint32_t(identity.size()), identity.data(), written) != 0 ||
        written != identity.size()) {
        palm::vfs::fileClose(ref);
        palm::vfs::fileDelete(volume, kCardIdentityPath);
        return std::nullopt;
    }
    return ref;
}

// The entry of a mounted volume; nullopt when it cannot be identified or measured.
std::optional<CardEntry> identifyVolume(uint16_t volume, int32_t position) {
    const auto file = openIdentityFile(volume);
    if (!file) return std::nullopt;
    std::optional<CardEntry> entry;
    palm::vfs::VolumeInfo info;
    if (palm::vfs::fileSeek(*file, palm::vfs::kSeekBegin, 0) == 0 && palm::vfs::volumeInfo(volume, info) == 0) {
        CardEntry card;
        card.cardKind = qv::kCardMemoryCard;
        card.position = position;
        card.volume = volume;
        uint32_t read = 0;
        char label[kLabelBuffer] = {};
        uint32_t used = 0, total = 0;
        if (palm::vfs::fileRead(*file, uint32_t(card.identity.size()), card.identity.data(), read) == 0 &&
            read == card.identity.size() && palm::vfs::volumeGetLabel(volume, label, sizeof label) == 0 &&
            palm::vfs::volumeSize(volume, used, total) == 0) {
            label[sizeof label - 1] = '\0';
            card.label = label;
            card.usedBytes = used;
            card.totalBytes = total;
            card.mounted = true;
            entry = std::move(card);
        }
    }
    palm::vfs::fileClose(*file);
    return entry;
}

std::vector<uint16_t> mountedVolumes() {
    uint16_t count = 0;
    if (palm::vfs::volumeEnumerate(nullptr, count) != 0 || count == 0) return {};
    std::vector<uint16_t> volumes(count);
    const int32_t answer = palm::vfs::volumeEnumerate(volumes.data(), count);
    if (answer != 0 && answer != palm::kVfsErrBufferOverflow) return {};
    volumes.resize(std::min<std::size_t>(count, volumes.size()));
    return volumes;
}

}  // namespace

void refreshCards(ConduitContext &context, const std::string &userName) {
    context.cards.clear();
    context.cards.reserve(kMaxCardEntries);
    const std::vector<uint16_t> volumes = mountedVolumes();
    // One place stays for the internal memory; further volumes are left out.
    for (std::size_t i = 0; i < volumes.size() && context.cards.size() < kMaxCardEntries - 1; ++i)
        if (auto card = identifyVolume(volumes[i], int32_t(i))) context.cards.push_back(std::move(*card));

    palm::sync::CardInfo info{};
    if (palm::sync::readSingleCardInfo(0, info) == 0) {
        CardEntry memory;
        memory.cardKind = qv::kCardInternalMemory;
        memory.usedBytes = info.freeRam;
        memory.totalBytes = info.ramSize;
        context.cards.push_back(std::move(memory));
    }
    updateCardsTable(context, userName);
}

}  // namespace conduit
