#include "ftp_accounts.h"

#include "byte_order.h"
#include "plugin_files.h"
#include "shared_file.h"
#include "status_codes.h"
#include "temp_files.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace qvplugin {

namespace {

constexpr uint8_t kScrambleKey[4] = {0xDC, 0x91, 0x2E, 0x6B};  // 6B2E91DC, little-endian
constexpr size_t kAccountTexts = 5;
constexpr size_t kTrailerSize = 6;  // port and value
// The smallest well-formed record: five empty texts and the trailer.
constexpr size_t kMinRecordSize = kAccountTexts + kTrailerSize;

// Reads the file front to back, never past the size it had when opened.
class AccountsReader {
public:
    AccountsReader(int fd, uint64_t size) : fd_(fd), remaining_(size) {}
    uint64_t remaining() const { return remaining_; }
    bool read(void *buffer, size_t size) {
        if (size > remaining_ || readFully(fd_, buffer, size) != size) return false;
        remaining_ -= size;
        return true;
    }
    bool readU32(uint32_t &value) {
        uint8_t bytes[4];
        if (!read(bytes, sizeof bytes)) return false;
        value = qv::loadLE32(bytes);
        return true;
    }

private:
    int fd_;
    uint64_t remaining_;
};

int32_t readAccounts(AccountsReader &reader, QVDP_FtpAccounts &list) {
    uint32_t count = 0;
    if (!reader.readU32(count)) return qv::kReadFileError;
    // Each account takes its length and a record of at least the minimum
    // size: a count the file cannot hold is refused before anything is allocated.
    if (count > reader.remaining() / (4 + kMinRecordSize)) return qv::kReadFileError;
    if (count == 0) return qv::kOk;
    list.items = static_cast<QVDP_FtpAccount *>(std::calloc(count, sizeof(QVDP_FtpAccount)));
    if (!list.items) return qv::kNoMemory;
    list.count = count;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length = 0;
        if (!reader.readU32(length)) return qv::kReadFileError;
        if (length < kMinRecordSize || length > reader.remaining()) return qv::kReadFileError;
        auto *record = static_cast<uint8_t *>(std::malloc(length));
        if (!record) return qv::kNoMemory;
        list.items[i].record = record;
        if (!reader.read(record, length)) return qv::kReadFileError;
        scrambleRecord(record, length);
        if (!parseAccountRecord(record, length, list.items[i])) return qv::kReadFileError;
    }
    return qv::kOk;
}

}  // namespace

void scrambleRecord(uint8_t *bytes, size_t size) {
    for (size_t j = 0; j < size; ++j) bytes[j] ^= kScrambleKey[j % 4];
}

bool parseAccountRecord(uint8_t *record, size_t size, QVDP_FtpAccount &account) {
    const char *texts[kAccountTexts];
    size_t position = 0;
    for (const char *&text : texts) {
        const void *end = position < size ? std::memchr(record + position, 0, size - position) : nullptr;
        if (!end) return false;
        text = reinterpret_cast<const char *>(record + position);
        position = size_t(static_cast<const uint8_t *>(end) - record) + 1;
    }
    if (size - position < kTrailerSize) return false;
    account.accountName = texts[0];
    account.host = texts[1];
    account.userName = texts[2];
    account.password = texts[3];
    account.extra = texts[4];
    account.port = qv::loadBE16(record + position);
    account.value = qv::loadBE32(record + position + 2);
    account.record = record;
    return true;
}

int32_t loadFtpAccounts(const std::filesystem::path &file, QVDP_FtpAccounts &list) {
    list.count = 0;
    list.items = nullptr;
    const int fd = platform::openFile(file.string(), platform::Access::Read, platform::Disposition::OpenAlways,
                                      platform::Share::Read);
    if (fd < 0) return qv::kCannotOpenFtpAccounts;
    struct stat info {};
    int32_t result = qv::kReadFileError;
    if (::fstat(fd, &info) == 0) {
        AccountsReader reader(fd, uint64_t(info.st_size));
        result = readAccounts(reader, list);
    }
    platform::closeFile(fd);
    if (result != qv::kOk) freeFtpAccounts(list);
    return result;
}

void freeFtpAccounts(QVDP_FtpAccounts &list) {
    if (list.items) {
        for (uint32_t i = 0; i < list.count; ++i) std::free(list.items[i].record);
        std::free(list.items);
    }
    list.items = nullptr;
    list.count = 0;
}

int32_t copyFtpAccountsFromHandheld(const std::filesystem::path &file, HandheldRecords &database) {
    platform::AtomicFile out(file);
    std::error_code ec;
    if (!out.open(ec)) return qv::kCannotOpenFtpAccounts;
    const uint32_t count = database.recordCount();
    uint8_t word[4];
    qv::storeLE32(word, count);
    if (!out.write(word, sizeof word, ec)) return qv::kCannotOpenFtpAccounts;
    std::vector<uint8_t> record;
    for (uint32_t index = 0; index < count; ++index) {
        if (!database.readRecord(index, record)) return qv::kCannotOpenFtpAccounts;
        database.yield();
        qv::storeLE32(word, uint32_t(record.size()));
        scrambleRecord(record.data(), record.size());
        if (!out.write(word, sizeof word, ec) || !out.write(record.data(), record.size(), ec))
            return qv::kCannotOpenFtpAccounts;
    }
    return out.commit(ec) ? qv::kOk : qv::kCannotOpenFtpAccounts;
}

}  // namespace qvplugin
