// What every papyrine command shares: its parsed arguments, the desktop data
// with the chosen Palm user loaded, and the way entries, cards and formats
// are named on the command line.
#pragma once

#include "desktop_data.h"
#include "file_adder.h"

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace papyrine {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Arguments {
    std::string command;
    std::vector<std::string> operands;
    std::map<std::string, std::string> options;   // "--user" -> "Ann"

    const std::string *option(const std::string &name) const;
};

// Splits argv into the command, its operands and its options; the options
// each command accepts are named with whether they take a value. False with
// error set on an unknown option or a missing value.
bool parseArguments(int argc, char **argv, const std::map<std::string, bool> &known, Arguments &out,
                    std::string &error);

// Prints "papyrine: " and the message to stderr.
void report(const std::string &message);

class Session {
public:
    // Builds the desktop data; false (and a message printed) when the
    // installation is not usable.
    bool open(bool needPlugins);
    // Chooses the user (--user or the default) and loads the user's lists.
    bool selectUser(const Arguments &args);

    desktop::DesktopData &data() { return *data_; }
    const desktop::TQVPluginsList &plugins() const { return *data_->plugins(); }
    uint32_t userId() const { return userId_; }
    const std::string &userName() const { return userName_; }

    // The entries (not removed) a text names: a record id "{...}", a desktop
    // path, or a handheld name.
    std::vector<desktop::TQVDBRecord *> findEntries(const std::string &text);
    // The one entry a text names; nullptr (and a message printed) when none
    // or several match.
    desktop::TQVDBRecord *findEntry(const std::string &text);
    // The slot or card a text names (name or identity); nullptr and a message
    // when none or several.
    const desktop::TQVCard *findCard(const std::string &text);

    // "Palm Device", "<card name>:<folder>", ...
    std::string locationText(const qv::SyncFileRecord &r) const;
    std::string formatName(const qv::SyncFileRecord &r, int32_t formatId) const;

private:
    std::unique_ptr<desktop::DesktopData> data_;
    uint32_t userId_ = 0;
    std::string userName_;
};

// A handheld format given by id or name among the choices; nullopt when not
// among them.
std::optional<int32_t> pickFormat(const std::vector<desktop::FormatChoice> &choices, const std::string &text);
std::string choicesText(const std::vector<desktop::FormatChoice> &choices);

// The absolute, normalised form of a path given on the command line.
std::string absolutePath(const std::string &path);

}  // namespace papyrine
