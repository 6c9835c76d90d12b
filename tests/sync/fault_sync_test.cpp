// Nothing is lost, whatever fails: a scripted HotSync with changes on both
// sides (RAM and a card; updates each way, a conflict, new files on either
// side, a removed entry, a deletion on the handheld) is run again and again
// from the same start, each time with one of the platform calls it makes
// failing, or with the process killed at one of them. After each run every
// desktop file is still there with its old or its new content, the desktop
// list opens and holds no duplicate, no handheld database or list is half
// written; and a HotSync without faults then brings both sides in line, with
// every version of every document still present.
//
// Built twice: by default a spread of the calls is tried; with
// SYNC_FAULTS_EVERY_CALL every call is (a long test).
#include "sync_test_support.h"

#include "palm_errors.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <random>
#include <set>
#include <sys/wait.h>

using namespace synctest;

namespace {

#ifdef SYNC_FAULTS_EVERY_CALL
constexpr std::size_t kFaultRuns = 0;   // every call
constexpr std::size_t kKillRuns = 12;
#else
constexpr std::size_t kFaultRuns = 16;
constexpr std::size_t kKillRuns = 4;
#endif

struct Call {
    std::string operation;
    uint32_t number = 0;   // the call's number for its operation
};

// The error an injected failure answers: an I/O failure of its layer.
int32_t failureOf(const std::string &operation) {
    if (operation.rfind("sync.", 0) == 0) return palm::kSyncErrIo;
    if (operation.rfind("vfs.", 0) == 0) return palm::kVfsErrFileGeneric;
    if (operation.rfind("um.", 0) == 0) return palm::kUmErrStore;
    return palm::kSyncErrUnknown;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool endsWith(const std::string &s, const std::string &tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string text(const std::vector<uint8_t> &bytes) { return std::string(bytes.begin(), bytes.end()); }

// What the handheld holds, read from its folder as it lies on disk.
struct HandheldView {
    std::vector<std::string> problems;   // anything not whole
    // Location ("ram" or the card folder) -> the records of its list that are not deleted.
    std::map<std::string, std::vector<qv::HandheldFileRecord>> lists;
    std::map<std::string, std::string> ramDocuments;   // name -> bytes
    std::map<std::string, std::string> cardFiles;      // lower-case card path -> bytes
};

void readRamList(const palm::PalmDatabase &db, HandheldView &view) {
    auto &items = view.lists[kRam];
    for (const palm::PdbRecord &r : db.records) {
        auto record = qv::decodeHandheldFileRecord(r.data, qv::HandheldList::Ram);
        if (!record || r.data.size() != qv::kHandheldRecordSizeRam) {
            view.problems.push_back("a RAM list record is not whole");
            continue;
        }
        if (!(r.attributes & palm::kPdbRecDelete) && !record->deleted) items.push_back(*record);
    }
}

void readStream(const palm::PalmDatabase &db, HandheldView &view) {
    std::string content;
    for (const palm::PdbRecord &r : db.records) {
        if (r.data.size() < 8 || std::string(r.data.begin(), r.data.begin() + 4) != "DBLK" ||
            qv::loadBE32(r.data.data() + 4) != r.data.size() - 8) {
            view.problems.push_back(db.name + ": a block is not whole");
            return;
        }
        content.append(r.data.begin() + 8, r.data.end());
    }
    view.ramDocuments[db.name] = content;
}

void readCardList(const std::string &folder, const std::vector<uint8_t> &bytes, HandheldView &view) {
    auto &items = view.lists[folder];
    const auto header = qv::decodeCardListHeader(bytes, qv::kHandheldRecordSizeCard);
    if (!header || (bytes.size() - qv::kDBHeaderSize) % qv::kHandheldRecordSizeCard != 0) {
        view.problems.push_back(folder + ": the card list is not whole");
        return;
    }
    for (size_t at = qv::kDBHeaderSize; at < bytes.size(); at += qv::kHandheldRecordSizeCard) {
        auto record = qv::decodeHandheldFileRecord(std::span(bytes).subspan(at, qv::kHandheldRecordSizeCard),
                                                   qv::HandheldList::Card);
        if (!record)
            view.problems.push_back(folder + ": a card list record is not whole");
        else if (!record->deleted)
            items.push_back(*record);
    }
}

HandheldView viewHandheld() {
    HandheldView view;
    std::string error;
    auto handheld = palm::Handheld::open("hh", error);
    if (!handheld) {
        view.problems.push_back(error);
        return view;
    }
    for (const auto &summary : handheld->databases(view.problems)) {
        auto db = handheld->loadDatabase(summary.name, error);
        if (!db) {
            view.problems.push_back(error);
        } else if (summary.name == kListName) {
            readRamList(*db, view);
        } else {
            readStream(*db, view);
        }
    }
    const fs::path volume = handheld->cardVolume(1);
    if (!fs::exists(volume)) return view;
    for (const auto &file : fs::recursive_directory_iterator(volume)) {
        if (!file.is_regular_file()) continue;
        const std::string cardPath = "/" + fs::relative(file.path(), volume).string();
        const std::string name = lower(file.path().filename().string());
        std::vector<uint8_t> bytes;
        palm::readWholeFile(file.path(), bytes, error);
        if (endsWith(name, ".tmp") || endsWith(name, ".$$$") || name == "qvcardinfo.db") continue;
        if (name == lower(kListName)) {
            readCardList(fs::path(cardPath).parent_path().string(), bytes, view);
        } else if (name == "papyrinesyncmain.dat") {
            if (bytes.size() % qv::kCardPathRecordSize != 0) view.problems.push_back("the paths file is not whole");
        } else {
            view.cardFiles[lower(cardPath)] = text(bytes);
        }
    }
    return view;
}

class FaultSyncTest : public SyncTest {
protected:
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(snapshot_, ec);
        SyncTest::TearDown();
    }

    // The start of the scripted HotSync: documents synchronized once, then
    // changed on both sides.
    void buildScenario() {
        insertCard(1);
        ASSERT_EQ(sync(), 0);
        const qv::Guid card = cardIdentity(1);
        const auto a = addFile("a.txt", "A desktop 1");
        const auto b = addFile("b.txt", "B desktop 1");
        const auto e = addFile("e.txt", "E desktop 1");
        const auto c = addCardFile("c.txt", "C desktop 1", card);
        addCardFile("d.txt", "D desktop 1", card);
        const auto j = addFile("j.txt", "J desktop 1");
        addFile("k.txt", "K desktop 1");
        ASSERT_EQ(sync(), 0) << lastRun_.output;
        for (const auto &r : readList()) ASSERT_EQ(r.status, qv::kSynchronized) << r.desktopPath;

        writeText(a.desktopPath, "A desktop 2");
        editOnHandheld(kRam, "b.txt", "B handheld 2");
        writeText(e.desktopPath, "E desktop 2");
        editOnHandheld(kRam, "e.txt", "E handheld 2");
        writeText(c.desktopPath, "C desktop 2");
        editOnHandheld(kCardDocs, "d.txt", "D handheld 2");
        addFile("f.txt", "F desktop 1");
        addCardFile("g.txt", "G desktop 1", card, "/Notes");
        newOnHandheld(kRam, "h.txt", "H handheld 1");
        newOnHandheld(kCardDocs, "i.txt", "I handheld 1", {});
        auto list = readList();
        for (auto &r : list)
            if (r.recordId == j.recordId) r.removed = 1;
        writeList(list);
        device({"doc-delete", "hh", kRam, "k.txt"});

        latest_ = {"A desktop 2", "B handheld 2", "C desktop 2", "D handheld 2", "E desktop 2", "E handheld 2",
                   "F desktop 1", "G desktop 1", "H handheld 1", "I handheld 1"};
        known_ = latest_;
        for (const char *old : {"A desktop 1", "B desktop 1", "C desktop 1", "D desktop 1", "E desktop 1",
                                "J desktop 1", "K desktop 1"})
            known_.insert(old);
        before_ = desktopFiles();
    }

    std::map<std::string, std::string> desktopFiles() const {
        std::map<std::string, std::string> files;
        for (const fs::path &folder : {docs_, syncDir_})
            for (const auto &file : fs::directory_iterator(folder))
                if (file.is_regular_file()) files[file.path().string()] = readText(file.path());
        return files;
    }

    // ---- the machine folder as it was before the scripted HotSync ----

    // Copies a folder tree keeping the last-write times: they tell the
    // conduit which desktop files changed.
    static void copyTree(const fs::path &from, const fs::path &to) {
        if (fs::is_regular_file(from)) {
            fs::create_directories(to.parent_path());
            fs::copy_file(from, to);
            fs::last_write_time(to, fs::last_write_time(from));
            return;
        }
        fs::create_directories(to);
        for (const auto &item : fs::recursive_directory_iterator(from)) {
            const fs::path target = to / fs::relative(item.path(), from);
            if (item.is_directory()) {
                fs::create_directories(target);
            } else if (item.is_regular_file()) {
                fs::copy_file(item.path(), target);
                fs::last_write_time(target, fs::last_write_time(item.path()));
            }
        }
    }

    void takeSnapshot() {
        snapshot_ = home_.string() + ".start";
        for (const auto &item : fs::directory_iterator(home_))
            if (item.path().filename() != "run") copyTree(item.path(), snapshot_ / item.path().filename());
    }

    void restoreSnapshot() {
        for (const auto &item : fs::directory_iterator(home_))
            if (item.path().filename() != "run") fs::remove_all(item.path());
        for (const auto &item : fs::directory_iterator(snapshot_))
            copyTree(item.path(), home_ / item.path().filename());
    }

    // The hotsync host with extra environment; its exit status (-1 when killed).
    int hotsyncWith(const std::string &environment) {
        std::string command = "env " + environment + " " + palmtest::quote(std::string(QV_BIN_DIR) + "/hotsync") +
                              " sync hh >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Every call the scripted HotSync makes, in order; leaves the clean
    // outcome behind.
    std::vector<Call> traceScriptedRun() {
        const fs::path trace = snapshot_.string() + ".trace";
        fs::remove(trace);
        EXPECT_EQ(hotsyncWith("PAPYRINE_CALL_TRACE=" + palmtest::quote(trace.string())), 0);
        std::vector<Call> calls;
        std::ifstream in(trace);
        for (Call c; in >> c.operation >> c.number;) calls.push_back(c);
        fs::remove(trace);
        return calls;
    }

    // ---- the checks ----

    void checkWhole(bool killed) {
        for (const auto &[path, old] : before_) {
            ASSERT_TRUE(fs::exists(path)) << path;
            const std::string now = readText(path);
            EXPECT_TRUE(now == old || now == after_.at(path)) << path << " holds \"" << now << "\"";
        }

        const auto list = readList();
        std::set<qv::Guid> ids;
        std::set<std::string> paths;
        for (const auto &r : list) {
            EXPECT_TRUE(ids.insert(r.recordId).second) << "a record id twice";
            if (!r.removed) {
                EXPECT_TRUE(paths.insert(lower(r.desktopPath)).second) << r.desktopPath << " twice";
            }
        }

        const HandheldView view = viewHandheld();
        EXPECT_TRUE(view.problems.empty()) << view.problems.front();
        for (const auto &[name, content] : view.ramDocuments)
            EXPECT_TRUE(known_.count(content) || (killed && content.empty())) << name << ": \"" << content << "\"";
        for (const auto &[name, content] : view.cardFiles)
            EXPECT_TRUE(known_.count(content)) << name << ": \"" << content << "\"";

        // The newest version of every document is somewhere.
        std::set<std::string> present;
        for (const auto &[path, content] : desktopFiles()) present.insert(content);
        for (const auto &[name, content] : view.ramDocuments) present.insert(content);
        for (const auto &[name, content] : view.cardFiles) present.insert(content);
        for (const std::string &version : latest_) EXPECT_TRUE(present.count(version)) << "\"" << version << "\" was lost";
    }

    std::optional<std::string> handheldContent(const HandheldView &view, const qv::SyncFileRecord &r) const {
        if (r.locationKind == qv::kLocationRam) {
            auto it = view.ramDocuments.find(r.handheldName);
            if (it != view.ramDocuments.end()) return it->second;
            return std::nullopt;
        }
        auto it = view.cardFiles.find(lower(r.cardFolder + "/" + r.handheldName));
        if (it != view.cardFiles.end()) return it->second;
        return std::nullopt;
    }

    // killed: files the cut-short run had made are unknown to the lists; a
    // version in such a file stays on the desktop but is not synchronized.
    void checkInLine(bool killed) {
        const auto list = readList();
        const HandheldView view = viewHandheld();
        EXPECT_TRUE(view.problems.empty());
        std::map<qv::Guid, int> linked;
        for (const auto &[location, items] : view.lists)
            for (const auto &item : items)
                if (!qv::isZeroGuid(item.recordId)) ++linked[item.recordId];

        std::set<std::string> synchronized;
        for (const auto &r : list) {
            if (r.removed) continue;
            SCOPED_TRACE(r.desktopPath);
            EXPECT_EQ(r.status, qv::kSynchronized);
            EXPECT_EQ(linked[r.recordId], 1) << "one handheld record";
            const std::string desktop = readText(r.desktopPath);
            EXPECT_EQ(handheldContent(view, r), desktop) << "both sides hold the same version";
            synchronized.insert(desktop);
        }
        for (const auto &[id, count] : linked) {
            EXPECT_EQ(std::count_if(list.begin(), list.end(), [&](const auto &r) { return r.recordId == id; }), 1)
                << "every linked handheld record has its entry";
        }
        std::set<std::string> present = synchronized;
        for (const auto &[path, content] : desktopFiles()) present.insert(content);
        for (const std::string &version : latest_) {
            EXPECT_TRUE(synchronized.count(version) || (killed && present.count(version)))
                << "\"" << version << "\" is synchronized";
        }
    }

    // One run from the start with the given environment and device fault.
    void runOnce(const std::string &label, const std::string &environment, const std::optional<Call> &failing,
                 bool killed) {
        SCOPED_TRACE(label);
        restoreSnapshot();
        if (failing) {
            const std::string rule = failing->operation + " " + std::to_string(failureOf(failing->operation)) +
                                     " once " + std::to_string(failing->number);
            device({"fault", "hh", "add", rule});
        }
        hotsyncWith(environment);
        if (failing) {
            EXPECT_EQ(device({"fault", "hh", "list"}).output, "") << "the call failed";
        }
        checkWhole(killed);
        const std::string faultyRun = readText(userFolder_ / "HotSync.log");
        device({"fault", "hh", "clear"});
        ASSERT_EQ(sync(), 0) << lastRun_.output;
        checkInLine(killed);
        if (HasFailure() && std::getenv("SYNC_FAULTS_VERBOSE")) {
            std::cerr << "---- " << label << "\n" << faultyRun << "\n---- then\n" << lastRun_.output;
            for (const std::string &where : {kRam, kCardDocs, std::string("card:1:/Notes")})
                std::cerr << where << ":\n" << runTool("palmdevice", {"docs", "hh", where}).output;
            for (const auto &r : readList())
                std::cerr << r.desktopPath << " status " << r.status << " " << r.handheldName << "\n";
            std::exit(1);
        }
    }

    fs::path snapshot_;
    std::set<std::string> latest_;   // the newest version of every document
    std::set<std::string> known_;    // every version the scenario has
    std::map<std::string, std::string> before_;
    std::map<std::string, std::string> after_;
};

// Picks count items spread over the whole range (all when count is 0).
template <class T>
std::vector<T> spread(const std::vector<T> &all, std::size_t count) {
    if (count == 0 || count >= all.size()) return all;
    std::vector<T> picked;
    for (std::size_t i = 0; i < count; ++i) picked.push_back(all[i * all.size() / count]);
    return picked;
}

}  // namespace

TEST_F(FaultSyncTest, NothingIsLostWhenACallFailsOrTheRunIsCutShort) {
    buildScenario();
    takeSnapshot();
    const std::vector<Call> calls = traceScriptedRun();
    ASSERT_GT(calls.size(), 50u);
    after_ = desktopFiles();
    checkInLine(false);   // the clean run itself
    // The desktop files of the start and of a clean run must be told apart.
    for (const auto &[path, content] : before_) ASSERT_TRUE(after_.count(path)) << path;

    for (const Call &call : spread(calls, kFaultRuns))
        runOnce(call.operation + " " + std::to_string(call.number) + " fails", "", call, false);

    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> at(1, calls.size());
    for (std::size_t i = 0; i < kKillRuns; ++i) {
        const std::size_t n = at(random);
        runOnce("killed at call " + std::to_string(n) + " (" + calls[n - 1].operation + ")",
                "PAPYRINE_KILL_AT_CALL=" + std::to_string(n), std::nullopt, true);
    }
}
