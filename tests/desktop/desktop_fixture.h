// What the desktop data layer tests share: a machine folder of the test's
// own with the HotSync program recorded in the registry (as running hotsync
// does), the built plug-in registered the way an installer registers it,
// Palm users made through the Palm layer, and documents to add.
#pragma once

#include "desktop_data.h"
#include "desktop_paths.h"
#include "file_adder.h"
#include "palm_test_support.h"
#include "registry.h"
#include "shared_file.h"
#include "palm_users.h"
#include "user_manager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace desktoptest {

inline std::string binDir() {
    const char *bin = std::getenv("QV_BIN_DIR");
    return bin && *bin ? bin : QV_BIN_DIR;
}

class DesktopTest : public palmtest::PalmTest {
protected:
    void SetUp() override {
        PalmTest::SetUp();
        platform::Registry::writeString(platform::Hive::CurrentUser, desktop::kPalmCoreKey, "HotSyncPath",
                                        binDir() + "/hotsync");
    }

    // Registers the built document plug-in as its installer does.
    void registerPlugin() {
        const auto r = palmtest::runTool("hotsync", {"register", binDir() + "/libQVDocsPlugin.so"});
        ASSERT_EQ(r.status, 0) << r.output;
    }
    // Registers another plug-in library under a key of its own.
    void registerLibrary(const std::string &key, const std::string &library) {
        platform::Registry::writeString(platform::Hive::LocalMachine,
                                        std::string(desktop::kPluginsKey) + "\\" + key, "PluginDLL", library);
    }

    uint32_t addUser(const std::string &name) {
        uint32_t id = 0;
        EXPECT_EQ(palm::users::addUser(name, id), 0);
        return id;
    }

    // A document under the machine folder's "docs" folder.
    std::string makeFile(const std::string &relative, const std::string &content = "text") {
        const auto path = home_ / "docs" / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    std::filesystem::path userFolder(uint32_t id) {
        std::filesystem::path folder;
        palm::users::userFolder(id, folder);
        return folder;
    }

    palmtest::RunResult papyrine(const std::vector<std::string> &args) { return palmtest::runTool("papyrine", args); }
};

// Another process that holds a file open without sharing, as the conduit
// holds a file list during a HotSync, until the object goes.
class FileHolder {
public:
    explicit FileHolder(const std::string &path) {
        int ready[2];
        if (pipe(ready) != 0 || pipe(release_) != 0) return;
        child_ = fork();
        if (child_ == 0) {
            const int fd = platform::openFile(path, platform::Access::ReadWrite, platform::Disposition::OpenExisting,
                                              platform::Share::None);
            char c = fd >= 0 ? 'y' : 'n';
            close(release_[1]);   // the read below ends when the holder's owner closes its end
            (void)!write(ready[1], &c, 1);
            (void)!read(release_[0], &c, 1);
            _exit(0);
        }
        close(ready[1]);
        close(release_[0]);
        char c = 0;
        holding_ = read(ready[0], &c, 1) == 1 && c == 'y';
        close(ready[0]);
    }
    ~FileHolder() { stop(); }
    bool holding() const { return holding_; }
    void stop() {
        if (child_ <= 0) return;
        close(release_[1]);
        waitpid(child_, nullptr, 0);
        child_ = -1;
    }

private:
    pid_t child_ = -1;
    int release_[2] = {-1, -1};
    bool holding_ = false;
};

// Answers the "Incorrect File Name" question from a script and keeps what
// it was asked.
class ScriptedQuestion : public desktop::FileNameQuestion {
public:
    explicit ScriptedQuestion(std::vector<std::optional<std::string>> answers) : answers_(std::move(answers)) {}
    std::optional<std::string> askFileName(const std::string &proposed) override {
        asked.push_back(proposed);
        if (next_ >= answers_.size()) return std::nullopt;
        return answers_[next_++];
    }
    std::vector<std::string> asked;

private:
    std::vector<std::optional<std::string>> answers_;
    size_t next_ = 0;
};

}  // namespace desktoptest
