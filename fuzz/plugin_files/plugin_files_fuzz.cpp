// Reads the input, written to a file, as the plug-in's FTP accounts file and
// as its categories file. Every loaded account's texts must end inside its
// record; a refused accounts file leaves an empty list. The categories come
// back exactly as the file's first 5120 bytes, or 62 for a shorter file.
#include "QVDocsPlugin.h"
#include "byte_order.h"
#include "categories.h"
#include "ftp_accounts.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::filesystem::path &scratchFile() {
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("plugin_files_fuzz." + std::to_string(::getpid()));
    static const bool cleanup = [] {
        std::atexit([] { std::remove(path.c_str()); });
        return true;
    }();
    (void)cleanup;
    return path;
}

void accounts(const std::filesystem::path &file) {
    QVDP_FtpAccounts list{7, reinterpret_cast<QVDP_FtpAccount *>(&list)};
    const int32_t result = qvplugin::loadFtpAccounts(file, list);
    if (result != 0) {
        if (list.count != 0 || list.items != nullptr) std::abort();
        return;
    }
    if ((list.count == 0) != (list.items == nullptr)) std::abort();
    for (uint32_t i = 0; i < list.count; ++i) {
        const QVDP_FtpAccount &a = list.items[i];
        // The texts follow each other in the record, the trailer after them.
        const char *texts[] = {a.accountName, a.host, a.userName, a.password, a.extra};
        const char *expected = reinterpret_cast<const char *>(a.record);
        for (const char *text : texts) {
            if (text != expected) std::abort();
            expected = text + std::strlen(text) + 1;
        }
        const auto *trailer = reinterpret_cast<const uint8_t *>(expected);
        if (a.port != qv::loadBE16(trailer) || a.value != qv::loadBE32(trailer + 2)) std::abort();
    }
    qvplugin::freeFtpAccounts(list);
    if (list.count != 0 || list.items != nullptr) std::abort();
}

void categories(const std::filesystem::path &file, const uint8_t *data, size_t size) {
    std::vector<QVDP_CategorySlot> slots(QVDP_CATEGORY_SLOTS);
    const int32_t result = qvplugin::readCategoriesFile(file, slots.data());
    if (result != (size >= QVDP_CATEGORIES_SIZE ? 0 : 62)) std::abort();
    if (result != 0) return;
    for (size_t i = 0; i < slots.size(); ++i) {
        const uint8_t *slot = data + i * qvplugin::kCategorySlotSize;
        if (slots[i].inUse != qv::loadLE16(slot) || slots[i].index != qv::loadLE16(slot + 2) ||
            std::memcmp(slots[i].name, slot + 4, QVDP_CATEGORY_NAME_SIZE) != 0)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::filesystem::path &file = scratchFile();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), std::streamsize(size));
        if (!out) std::abort();
    }
    accounts(file);
    categories(file, data, size);
    return 0;
}
