// Shared by the conduit tests: each test gets its own machine folder
// (PAPYRINE_HOME) with a handheld "hh" of the user "Ann"; the HotSync host,
// the handheld tool and the desktop stand-in run as child processes, the
// stand-in plug-in records its calls in a trace file.
#pragma once

#include "conduit_manager.h"
#include "connection.h"
#include "faults.h"
#include "handheld.h"
#include "hotsync_log.h"
#include "named_objects.h"
#include "palm_test_support.h"
#include "pdb_file.h"
#include "plugin_binding.h"
#include "registry.h"
#include "user_manager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char **environ;

namespace conduittest {

namespace fs = std::filesystem;

inline constexpr uint32_t kCreator = 0x51567079;   // 'QVpy'

using palmtest::RunResult;
using palmtest::runTool;

inline std::vector<std::string> readLines(const fs::path &file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The first word of each line.
inline std::vector<std::string> firstWords(const std::vector<std::string> &lines) {
    std::vector<std::string> words;
    for (const std::string &l : lines) words.push_back(l.substr(0, l.find(' ')));
    return words;
}

class ConduitTest : public palmtest::PalmTest {
protected:
    void SetUp() override {
        PalmTest::SetUp();
        unsetenv("FAKE_PLUGIN_THROW");
        unsetenv("FAKE_PLUGIN_FOLDER");
        trace_ = home_ / "plugin-trace.txt";
        setenv("FAKE_PLUGIN_TRACE", trace_.c_str(), 1);
        auto r = runTool("palmdevice", {"create", "hh", "--user", "Ann"});
        ASSERT_EQ(r.status, 0) << r.output;
        r = runTool("hotsync", {"user", "add", "Ann"});
        ASSERT_EQ(r.status, 0) << r.output;
        ASSERT_EQ(palm::users::idFromName("Ann", userId_), 0);
        ASSERT_EQ(palm::users::userFolder(userId_, userFolder_), 0);
    }

    void TearDown() override {
        stopDesktop();
        PalmTest::TearDown();
    }

    // The conduit runs for the creator; the registry names the plug-in
    // library (none: the creator has no plug-in key).
    void registerConduit(uint32_t creator, const std::string &pluginLibrary) {
        if (!pluginLibrary.empty()) {
            ASSERT_TRUE(platform::Registry::writeString(platform::Hive::LocalMachine, conduit::pluginKeyOf(creator),
                                                        "PluginDLL", pluginLibrary));
        }
        ASSERT_EQ(palm::conduits::install(creator, palm::conduits::kTypeApplication), 0);
        ASSERT_EQ(palm::conduits::setLibrary(creator, CONDUIT_LIBRARY_PATH), 0);
    }

    // One HotSync of "hh"; the answer of OpenConduit (the first conduit's),
    // or nullopt when the host did not report one.
    std::optional<int> sync(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"sync", "hh"};
        args.insert(args.end(), extra.begin(), extra.end());
        lastRun_ = runTool("hotsync", args);
        std::smatch m;
        static const std::regex answered("OpenConduit answered (-?[0-9]+)");
        if (!std::regex_search(lastRun_.output, m, answered)) return std::nullopt;
        return std::stoi(m[1]);
    }

    std::vector<palm::hslog::Entry> logEntries() const {
        return palm::hslog::readLog(palm::hslog::logFileOfFolder(userFolder_));
    }

    // The texts of the entries between the host's "HotSync started" and
    // "HotSync finished." lines of the last run, each with its activity code.
    std::vector<std::pair<int32_t, std::string>> conduitEntries() const {
        std::vector<std::pair<int32_t, std::string>> entries;
        bool inRun = false;
        for (const auto &e : logEntries()) {
            if (e.text.rfind("HotSync started", 0) == 0) {
                inRun = true;
                entries.clear();
            } else if (e.text == "HotSync finished.") {
                inRun = false;
            } else if (inRun) {
                entries.emplace_back(e.activity, e.text);
            }
        }
        return entries;
    }

    std::vector<std::string> trace() const { return readLines(trace_); }

    // ---- the desktop stand-in ----

    void startDesktop(const std::string &mode) {
        desktopRecord_ = home_ / ("desktop-" + mode + ".txt");
        const std::string program = DESKTOP_STAND_IN_PATH;
        std::vector<char *> argv = {const_cast<char *>(program.c_str()), const_cast<char *>(mode.c_str()),
                                    const_cast<char *>(desktopRecord_.c_str()), nullptr};
        ASSERT_EQ(posix_spawn(&desktopPid_, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
        ASSERT_TRUE(waitForDesktopLine("ready")) << "the desktop stand-in did not start";
    }

    void stopDesktop() {
        if (desktopPid_ <= 0) return;
        kill(desktopPid_, SIGTERM);
        int status = 0;
        waitpid(desktopPid_, &status, 0);
        desktopPid_ = 0;
    }

    std::vector<std::string> desktopRecord() const { return readLines(desktopRecord_); }

    // Waits up to five seconds for a line of the stand-in's record that begins with prefix.
    bool waitForDesktopLine(const std::string &prefix) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            for (const std::string &line : desktopRecord())
                if (line.rfind(prefix, 0) == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    fs::path trace_;
    fs::path desktopRecord_;
    pid_t desktopPid_ = 0;
    uint32_t userId_ = 0;
    fs::path userFolder_;
    RunResult lastRun_;
};

}  // namespace conduittest
