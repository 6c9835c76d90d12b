// Shared by the synchronization tests: each test gets its own machine folder
// with a handheld "hh" of the user "Ann" (two slots) and the conduit
// registered for the document plug-in's creator. The desktop list is
// written as the desktop program writes it (880-byte records) and read back
// with the record database library; the handheld is changed and inspected
// with palmdevice; HotSyncs run through the hotsync host.
#pragma once

#include "QVDPDatabase.h"
#include "byte_order.h"
#include "card_records.h"
#include "conduit_manager.h"
#include "guid.h"
#include "hotsync_log.h"
#include "palm_test_support.h"
#include "plugin_binding.h"
#include "registry.h"
#include "status_codes.h"
#include "sync_records.h"
#include "times.h"
#include "user_manager.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace synctest {

namespace fs = std::filesystem;
using palmtest::RunResult;
using palmtest::runTool;

inline constexpr uint32_t kCreator = 0x51567079;   // 'QVpy'
inline constexpr int32_t kWord = 1, kText = 2, kDocs = 6;
inline const std::string kRam = "ram";
inline const std::string kCardDocs = "card:1:/Documents";
inline const char kListName[] = "PapyrineSync.dat";

inline std::string readText(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Writes the file and gives it a last-write time of now, so the next
// HotSync sees a change whatever the clock resolution of the file system.
inline void writeText(const fs::path &p, const std::string &text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
    platform::setLastWriteFileTime(p, platform::fileTimeNow());
}

// One record of a handheld list as palmdevice shows it.
struct Item {
    qv::Guid id{};
    uint32_t stamp = 0;
    int deleted = 0;
    int mode = 0;
    int category = 0;
    int flags = 0;
    std::string name;
};

inline std::optional<qv::Guid> parseHexId(const std::string &hex) {
    if (hex.size() != 32) return std::nullopt;
    qv::Guid id{};
    for (size_t i = 0; i < 16; ++i) id[i] = uint8_t(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    return id;
}

class SyncTest : public palmtest::PalmTest {
protected:
    void SetUp() override {
        PalmTest::SetUp();
        syncDir_ = home_ / "Inbox";
        fs::create_directories(syncDir_);
        docs_ = home_ / "Docs";
        fs::create_directories(docs_);
        setenv("SYNC_TEST_SYNCDIR", syncDir_.c_str(), 1);
        setenv("SYNC_TEST_BACKUP_TYPE", "1", 1);
        setenv("SYNC_TEST_BACKUP_DAYS", "7", 1);
        setenv("SYNC_TEST_MIN_FREE", "0", 1);
        device({"create", "hh", "--user", "Ann", "--ram", "4000000", "--slots", "2"});
        auto r = runTool("hotsync", {"user", "add", "Ann"});
        ASSERT_EQ(r.status, 0) << r.output;
        ASSERT_EQ(palm::users::idFromName("Ann", userId_), 0);
        ASSERT_EQ(palm::users::userFolder(userId_, userFolder_), 0);
        ASSERT_TRUE(platform::Registry::writeString(platform::Hive::LocalMachine, conduit::pluginKeyOf(kCreator),
                                                    "PluginDLL", pluginPath()));
        ASSERT_EQ(palm::conduits::install(kCreator, palm::conduits::kTypeApplication), 0);
        ASSERT_EQ(palm::conduits::setLibrary(kCreator, CONDUIT_LIBRARY_PATH), 0);
    }

    virtual std::string pluginPath() const { return COPY_PLUGIN_PATH; }

    // ---- the desktop list ----

    fs::path pluginFolder() const { return userFolder_ / "QVPapyrine"; }
    fs::path listPath() const { return pluginFolder() / kListName; }

    std::vector<qv::SyncFileRecord> readList() const {
        std::vector<qv::SyncFileRecord> records;
        if (!fs::exists(listPath())) return records;
        void *db = nullptr;
        EXPECT_EQ(QVDP_DBOpen(listPath().c_str(), &db, nullptr, nullptr), 0);
        if (!db) return records;
        const int32_t count = QVDP_DBGetNumRecord(db);
        QVDP_DBFirst(db);
        for (int32_t i = 0; i < count; ++i) {
            std::array<uint8_t, qv::kSyncFileRecordSizeDesktop> buffer{};
            EXPECT_EQ(QVDP_DBGetRecord(db, uint32_t(buffer.size()), buffer.data()), 0);
            auto r = qv::decodeSyncFileRecord(buffer);
            EXPECT_TRUE(r.has_value());
            if (r) records.push_back(*r);
            QVDP_DBNext(db);
        }
        QVDP_DBClose(db);
        return records;
    }

    // The list as the desktop program writes it: 880-byte records.
    void writeList(const std::vector<qv::SyncFileRecord> &records) {
        fs::create_directories(pluginFolder());
        fs::remove(listPath());
        std::array<uint8_t, qv::kDBHeaderSize> header{};
        qv::encodeDBHeader(qv::makeDBHeader(qv::kSyncFileRecordSizeDesktop), header);
        void *db = nullptr;
        ASSERT_EQ(QVDP_DBOpen(listPath().c_str(), &db, header.data(), nullptr), 0);
        for (const auto &r : records) {
            std::array<uint8_t, qv::kSyncFileRecordSizeDesktop> buffer{};
            ASSERT_TRUE(qv::encodeSyncFileRecord(r, buffer));
            ASSERT_EQ(QVDP_DBInsertRecord(db, buffer.data()), 0);
        }
        QVDP_DBClose(db);
    }

    // A new entry as the desktop program adds it, for handheld RAM.
    qv::SyncFileRecord newRecord(const fs::path &desktopFile, const std::string &handheldName,
                                 int32_t desktopFormat = kText, int32_t handheldFormat = kText) const {
        qv::SyncFileRecord r;
        r.recordId = platform::createGuid();
        r.dateAdded = platform::oleDateNow();
        r.desktopPath = desktopFile.string();
        r.handheldName = handheldName;
        r.cardFolder = "/Documents";
        r.pluginId = 1;
        r.desktopCategory = 1;
        r.desktopFormat = uint32_t(desktopFormat);
        r.handheldFormat = uint32_t(handheldFormat);
        r.status = qv::kNeedSync;
        r.syncMode = qv::kSyncBothWays;
        r.creationMark = qv::kCreatedByDesktop;
        return r;
    }

    // A desktop file with its new entry, added to the list.
    qv::SyncFileRecord addFile(const std::string &fileName, const std::string &text,
                               const std::string &handheldName = {}) {
        const fs::path file = docs_ / fileName;
        writeText(file, text);
        auto r = newRecord(file, handheldName.empty() ? fileName : handheldName);
        auto list = readList();
        list.push_back(r);
        writeList(list);
        return r;
    }

    // A desktop file with its new entry for a folder of a card, added to the list.
    qv::SyncFileRecord addCardFile(const std::string &fileName, const std::string &text, const qv::Guid &card,
                                   const std::string &folder = "/Documents") {
        const fs::path file = docs_ / fileName;
        writeText(file, text);
        auto r = newRecord(file, fileName);
        r.locationKind = qv::kLocationCard;
        r.locationId = card;
        r.cardFolder = folder;
        auto list = readList();
        list.push_back(r);
        writeList(list);
        return r;
    }

    std::optional<qv::SyncFileRecord> entryOf(const qv::Guid &id) const {
        for (const auto &r : readList())
            if (r.recordId == id) return r;
        return std::nullopt;
    }

    std::optional<qv::SyncFileRecord> entryAt(const fs::path &path) const {
        for (const auto &r : readList())
            if (r.desktopPath == path.string()) return r;
        return std::nullopt;
    }

    // The record size the desktop list declares.
    uint32_t listRecordSize() const {
        std::ifstream in(listPath(), std::ios::binary);
        std::array<uint8_t, qv::kDBHeaderSize> header{};
        in.read(reinterpret_cast<char *>(header.data()), header.size());
        return qv::decodeDBHeader(header).recordSize;
    }

    // ---- HotSyncs ----

    // One HotSync; the answer of OpenConduit (-100 when the host gave none).
    int sync(std::optional<int> type = std::nullopt) {
        std::vector<std::string> args = {"sync", "hh"};
        if (type) args.insert(args.end(), {"--type", std::to_string(*type)});
        lastRun_ = runTool("hotsync", args);
        std::smatch m;
        static const std::regex answered("OpenConduit answered (-?[0-9]+)");
        if (!std::regex_search(lastRun_.output, m, answered)) return -100;
        return std::stoi(m[1]);
    }

    // The conduit's lines of the last run's HotSync log.
    std::vector<std::string> conduitLines() const {
        std::vector<std::string> lines;
        bool inRun = false;
        for (const auto &e : palm::hslog::readLog(palm::hslog::logFileOfFolder(userFolder_))) {
            if (e.text.rfind("HotSync started", 0) == 0) {
                inRun = true;
                lines.clear();
            } else if (e.text == "HotSync finished.") {
                inRun = false;
            } else if (inRun && e.activity == 22) {
                lines.push_back(e.text);
            }
        }
        return lines;
    }

    // ---- the handheld ----

    RunResult device(const std::vector<std::string> &args) {
        RunResult r = runTool("palmdevice", args);
        EXPECT_EQ(r.status, 0) << "palmdevice " << args.front() << ": " << r.output;
        return r;
    }

    std::vector<Item> items(const std::string &location) {
        std::vector<Item> result;
        const RunResult r = runTool("palmdevice", {"docs", "hh", location});
        EXPECT_EQ(r.status, 0) << r.output;
        std::istringstream lines(r.output);
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
            if (f.size() < 7) continue;
            Item item;
            item.id = parseHexId(f[0]).value_or(qv::Guid{});
            item.stamp = uint32_t(std::stoul(f[1].substr(6)));
            item.deleted = std::stoi(f[2].substr(8));
            item.mode = std::stoi(f[3].substr(5));
            item.category = std::stoi(f[4].substr(9));
            item.flags = int(std::stoul(f[5].substr(6), nullptr, 16));
            item.name = f[6];
            result.push_back(item);
        }
        return result;
    }

    std::optional<Item> itemNamed(const std::string &location, const std::string &name) {
        for (const Item &i : items(location))
            if (i.name == name) return i;
        return std::nullopt;
    }

    // The bytes of a handheld document; nullopt when it cannot be read.
    std::optional<std::string> handheldText(const std::string &location, const std::string &name,
                                            const std::string &container = "stream") {
        const fs::path out = home_ / "handheld-copy";
        fs::remove(out);
        std::vector<std::string> args = {"doc-get", "hh", location, name, out.string()};
        if (location == kRam) args.insert(args.end(), {"--container", container});
        const RunResult r = runTool("palmdevice", args);
        if (r.status != 0) return std::nullopt;
        return readText(out);
    }

    // The handheld application edits a document: new bytes, raised stamp.
    void editOnHandheld(const std::string &location, const std::string &name, const std::string &text) {
        const fs::path in = home_ / "handheld-edit";
        std::ofstream(in, std::ios::binary | std::ios::trunc) << text;
        device({"doc-edit", "hh", location, name, in.string()});
    }

    // A new document as the handheld application makes it; in RAM a text
    // document unless the options say otherwise.
    void newOnHandheld(const std::string &location, const std::string &name, const std::string &text,
                       std::vector<std::string> options = {"--type", "TEXT", "--creator", "QVMW"}) {
        const fs::path in = home_ / "handheld-new";
        std::ofstream(in, std::ios::binary | std::ios::trunc) << text;
        std::vector<std::string> args = {"doc-new", "hh", location, name, in.string()};
        args.insert(args.end(), options.begin(), options.end());
        device(args);
    }

    void insertCard(int slot, const std::string &label = "CARD", uint64_t capacity = 8 << 20) {
        device({"card-insert", "hh", std::to_string(slot), "--label", label, "--capacity", std::to_string(capacity)});
    }

    // The identity a card was given (its "/QVCardInfo.db").
    qv::Guid cardIdentity(int slot) {
        const fs::path out = home_ / "card-identity";
        device({"card-get", "hh", std::to_string(slot), "/QVCardInfo.db", out.string()});
        const std::string bytes = readText(out);
        qv::Guid id{};
        EXPECT_EQ(bytes.size(), id.size());
        std::copy_n(bytes.begin(), std::min(bytes.size(), id.size()), id.begin());
        return id;
    }

    std::vector<qv::CardsTableRecord> cardsTable() const {
        std::vector<qv::CardsTableRecord> records;
        const std::string bytes = readText(userFolder_ / qv::kCardsTableFileName);
        for (size_t at = 0; at + qv::kCardsTableRecordSize <= bytes.size(); at += qv::kCardsTableRecordSize) {
            auto r = qv::decodeCardsTableRecord(
                std::span(reinterpret_cast<const uint8_t *>(bytes.data()) + at, qv::kCardsTableRecordSize));
            if (r) records.push_back(*r);
        }
        return records;
    }

    void writeCardsTable(const std::vector<qv::CardsTableRecord> &records) {
        std::string bytes;
        for (const auto &r : records) {
            std::array<uint8_t, qv::kCardsTableRecordSize> b{};
            EXPECT_TRUE(qv::encodeCardsTableRecord(r, b));
            bytes.append(reinterpret_cast<const char *>(b.data()), b.size());
        }
        std::ofstream(userFolder_ / qv::kCardsTableFileName, std::ios::binary | std::ios::trunc) << bytes;
    }

    fs::path syncDir_;
    fs::path docs_;
    uint32_t userId_ = 0;
    fs::path userFolder_;
    RunResult lastRun_;
};

}  // namespace synctest
