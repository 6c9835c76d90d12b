#include "categories.h"

#include "QVDocsPlugin.h"
#include "byte_order.h"
#include "plugin_files.h"
#include "shared_file.h"
#include "status_codes.h"
#include "temp_files.h"

#include <algorithm>
#include <cstring>

namespace qvplugin {

namespace {

// Turns a handheld record into a slot of the file: fields from big- to
// little-endian, and the name always terminated within its 16 bytes so no
// reader runs into the next slot.
void slotFromHandheld(const uint8_t *record, uint8_t *slot) {
    qv::storeLE16(slot, qv::loadBE16(record));
    qv::storeLE16(slot + 2, qv::loadBE16(record + 2));
    std::memcpy(slot + 4, record + 4, QVDP_CATEGORY_NAME_SIZE);
    slot[kCategorySlotSize - 1] = 0;
}

}  // namespace

int32_t readCategoriesFile(const std::filesystem::path &file, void *slots) {
    const int fd = platform::openFile(file.string(), platform::Access::Read, platform::Disposition::OpenAlways,
                                      platform::Share::Read);
    if (fd < 0) return qv::kCannotOpenCategories;
    uint8_t bytes[QVDP_CATEGORIES_SIZE];
    const size_t got = readFully(fd, bytes, sizeof bytes);
    platform::closeFile(fd);
    if (got < sizeof bytes) return qv::kReadFileError;
    auto *out = static_cast<QVDP_CategorySlot *>(slots);
    for (size_t i = 0; i < QVDP_CATEGORY_SLOTS; ++i) {
        const uint8_t *slot = bytes + i * kCategorySlotSize;
        out[i].inUse = qv::loadLE16(slot);
        out[i].index = qv::loadLE16(slot + 2);
        std::memcpy(out[i].name, slot + 4, QVDP_CATEGORY_NAME_SIZE);
    }
    return qv::kOk;
}

int32_t copyCategoriesFromHandheld(const std::filesystem::path &file, HandheldRecords &database) {
    std::vector<uint8_t> content;
    if (!ensureFileExists(file) || !readFilePrefix(file, QVDP_CATEGORIES_SIZE, content))
        return qv::kCannotOpenCategories;

    int32_t result = qv::kOk;
    uint32_t copied = 0;
    std::vector<uint8_t> record;
    for (; copied < QVDP_CATEGORY_SLOTS; ++copied) {
        if (!database.readRecord(copied, record) || record.size() != kCategorySlotSize) {
            result = qv::kCannotOpenCategories;
            break;
        }
        const size_t offset = size_t(copied) * kCategorySlotSize;
        content.resize(std::max(content.size(), offset + kCategorySlotSize));
        slotFromHandheld(record.data(), content.data() + offset);
    }
    if (copied == 0) return result;

    std::error_code ec;
    const std::string_view bytes(reinterpret_cast<const char *>(content.data()), content.size());
    if (!platform::writeFileAtomically(file, bytes, ec)) return qv::kWriteFileError;
    return result;
}

}  // namespace qvplugin
