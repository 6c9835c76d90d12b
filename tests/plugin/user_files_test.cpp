// The user's plug-in files read through the loaded library: the categories
// file and the FTP accounts file, well-formed and malformed.
#include "plugin_fixture.h"

#include <cstring>

using namespace plugintest;

namespace {

constexpr uint8_t kKey[4] = {0xDC, 0x91, 0x2E, 0x6B};

std::vector<uint8_t> scrambled(std::vector<uint8_t> record) {
    for (size_t j = 0; j < record.size(); ++j) record[j] ^= kKey[j % 4];
    return record;
}

void appendLE32(std::vector<uint8_t> &out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// A handheld account record: five texts, the port and one more value, big-endian.
std::vector<uint8_t> accountRecord(const std::vector<std::string> &texts, uint16_t port, uint32_t value) {
    std::vector<uint8_t> record;
    for (const std::string &text : texts) {
        record.insert(record.end(), text.begin(), text.end());
        record.push_back(0);
    }
    record.push_back(uint8_t(port >> 8));
    record.push_back(uint8_t(port));
    for (int i = 3; i >= 0; --i) record.push_back(uint8_t(value >> (8 * i)));
    return record;
}

// An accounts file: the count, then each record's length and its scrambled bytes.
std::vector<uint8_t> accountsFile(const std::vector<std::vector<uint8_t>> &records, uint32_t count) {
    std::vector<uint8_t> file;
    appendLE32(file, count);
    for (const auto &record : records) {
        appendLE32(file, uint32_t(record.size()));
        const auto bytes = scrambled(record);
        file.insert(file.end(), bytes.begin(), bytes.end());
    }
    return file;
}

class UserFiles : public ::testing::Test {
protected:
    TempHome home;
    std::filesystem::path user = home.root() / "Palm" / "Alice";
    std::filesystem::path pluginFolder = user / "QVPapyrine";

    void SetUp() override { std::filesystem::create_directories(pluginFolder); }

    int32_t loadAccounts(QVDP_FtpAccounts &list) {
        list.count = 99;
        list.items = reinterpret_cast<QVDP_FtpAccount *>(1);
        return QV_BIND(QVDP_LoadFTPAccounts)(user.c_str(), &list);
    }
};

}  // namespace

TEST_F(UserFiles, CategoriesOfANewUserAreShortOfBytes) {
    std::vector<uint8_t> buffer(QVDP_CATEGORIES_SIZE);
    EXPECT_EQ(QV_BIND(QVDP_GetPalmCategories)(user.c_str(), buffer.data()), 62);
    EXPECT_TRUE(std::filesystem::exists(pluginFolder / "PapyrineCategories.dat"));  // created empty
    EXPECT_EQ(QV_BIND(QVDP_GetPalmCategories)(nullptr, buffer.data()), 1);
    EXPECT_EQ(QV_BIND(QVDP_GetPalmCategories)(user.c_str(), nullptr), 1);
    // No plug-in folder at all: the file can be neither opened nor created.
    EXPECT_EQ(QV_BIND(QVDP_GetPalmCategories)((home.root() / "nobody").c_str(), buffer.data()), 7);
}

TEST_F(UserFiles, CategoriesFileFillsTheSlots) {
    std::vector<uint8_t> file(QVDP_CATEGORIES_SIZE, 0);
    file[20 * 2 + 0] = 1;      // slot 2 in use
    file[20 * 2 + 2] = 2;      // index 2 (little-endian)
    std::memcpy(&file[20 * 2 + 4], "Personal", 8);
    file[20 * 255 + 2] = 255;  // slot 255 free with its index
    writeBytes(pluginFolder / "PapyrineCategories.dat", file);
    QVDP_CategorySlot slots[QVDP_CATEGORY_SLOTS];
    ASSERT_EQ(QV_BIND(QVDP_GetPalmCategories)(user.c_str(), slots), 0);
    EXPECT_EQ(slots[2].inUse, 1);
    EXPECT_EQ(slots[2].index, 2);
    EXPECT_STREQ(slots[2].name, "Personal");
    EXPECT_EQ(slots[255].inUse, 0);
    EXPECT_EQ(slots[255].index, 255);
}

TEST_F(UserFiles, AccountsLoadAndFree) {
    writeBytes(pluginFolder / "AARDVARK",
               accountsFile({accountRecord({"Work", "ftp.example.org", "alice", "secret", ""}, 21, 7),
                             accountRecord({"Home", "10.0.0.2", "al", "pw", "x"}, 2121, 0xA1B2C3D4)},
                            2));
    QVDP_FtpAccounts list;
    ASSERT_EQ(loadAccounts(list), 0);
    ASSERT_EQ(list.count, 2u);
    EXPECT_STREQ(list.items[0].accountName, "Work");
    EXPECT_STREQ(list.items[0].host, "ftp.example.org");
    EXPECT_STREQ(list.items[0].userName, "alice");
    EXPECT_STREQ(list.items[0].password, "secret");
    EXPECT_STREQ(list.items[0].extra, "");
    EXPECT_EQ(list.items[0].port, 21);
    EXPECT_EQ(list.items[0].value, 7u);
    EXPECT_EQ(list.items[0].accountName, reinterpret_cast<const char *>(list.items[0].record));
    EXPECT_STREQ(list.items[1].extra, "x");
    EXPECT_EQ(list.items[1].port, 2121);
    EXPECT_EQ(list.items[1].value, 0xA1B2C3D4u);
    EXPECT_EQ(QV_BIND(QVDP_FreeFTPAccounts)(&list), 0);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.items, nullptr);
    EXPECT_EQ(QV_BIND(QVDP_FreeFTPAccounts)(nullptr), 0);
    EXPECT_EQ(QV_BIND(QVDP_FreeFTP1Accounts)(&list), 0);
}

TEST_F(UserFiles, NoAccountsAndNoFile) {
    QVDP_FtpAccounts list;
    writeBytes(pluginFolder / "AARDVARK", {0, 0, 0, 0});
    EXPECT_EQ(loadAccounts(list), 0);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.items, nullptr);

    std::filesystem::remove(pluginFolder / "AARDVARK");
    EXPECT_EQ(loadAccounts(list), 62);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.items, nullptr);
    EXPECT_TRUE(std::filesystem::exists(pluginFolder / "AARDVARK"));

    EXPECT_EQ(QV_BIND(QVDP_LoadFTPAccounts)((home.root() / "nobody").c_str(), &list), 8);
    EXPECT_EQ(QV_BIND(QVDP_LoadFTPAccounts)(user.c_str(), nullptr), 1);
}

// A malformed file is refused with 62 and leaves an empty list, whatever
// part of it is wrong; what was loaded before the fault is freed (the
// sanitizer build checks that nothing leaks).
TEST_F(UserFiles, MalformedAccountFilesAreRefused) {
    const auto good = accountRecord({"Work", "host", "user", "pw", ""}, 21, 0);
    auto truncatedRecord = accountsFile({good, good}, 2);
    truncatedRecord.resize(truncatedRecord.size() - 3);
    auto truncatedLength = accountsFile({good}, 2);
    truncatedLength.push_back(5);
    auto unterminated = good;
    unterminated.resize(8);  // "Work", "hos" and no terminator
    auto fourTexts = accountRecord({"Work", "host", "user", "pw"}, 21, 0);
    fourTexts.resize(fourTexts.size() - 6);  // exactly four terminated texts, no trailer
    auto noTrailer = good;
    noTrailer.resize(good.size() - 1);  // the value lacks a byte
    auto hugeLength = accountsFile({good}, 1);
    hugeLength[4] = 0xFF, hugeLength[5] = 0xFF, hugeLength[6] = 0xFF, hugeLength[7] = 0x7F;

    const struct {
        const char *what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"count cut short", {1, 0}},
        {"count larger than the file can hold", accountsFile({good}, 0x40000000)},
        {"count one more than the records", accountsFile({good}, 2)},
        {"last record cut short", truncatedRecord},
        {"length cut short", truncatedLength},
        {"text without terminator", accountsFile({good, unterminated}, 2)},
        {"four texts only", accountsFile({fourTexts}, 1)},
        {"no room for port and value", accountsFile({good, noTrailer}, 2)},
        {"record length past the end", hugeLength},
        {"empty record", accountsFile({{}}, 1)},
    };
    for (const auto &c : cases) {
        writeBytes(pluginFolder / "AARDVARK", c.bytes);
        QVDP_FtpAccounts list;
        EXPECT_EQ(loadAccounts(list), 62) << c.what;
        EXPECT_EQ(list.count, 0u) << c.what;
        EXPECT_EQ(list.items, nullptr) << c.what;
    }
}
