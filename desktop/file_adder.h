// Adding desktop files to a Palm user's lists: each file becomes a new entry
// in its plug-in's database with a handheld name, the plug-in's default
// handheld format (or one the caller chooses), the default sync mode and
// the chosen Palm category; the file itself moves at the next HotSync.
//
// RAM names are made unique among the user's RAM entries; when that changes
// the proposed name (or the name is not a valid handheld name) the caller's
// FileNameQuestion ("Incorrect File Name") is asked until it confirms a valid
// name or cancels. Each file that cannot be added is reported with an add
// result code; running out of unique numbers stops the whole command.
#pragma once

#include "file_database.h"
#include "sync_records.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace desktop {

class TQVPlugin;
class TQVPluginsList;
struct TQVCard;
struct DesktopSettings;

enum AddResult : int32_t {
    kAddAlreadyAdded = 0,
    kAddNotSupported = 1,
    kAddAlreadyTransferred = 2,
    kAddCanceled = 3,
    kAddDatabaseError = 4,
    kAddNotAFile = 5,
    kAddFileMissing = 6,
    // The caller's handheld format is not one the plug-in offers for the file.
    kAddFormatNotOffered = 7,
};

// "Already added", "Not supported file format", ...; "Unknown error" for
// codes without a text.
const char *addResultText(int32_t code);

constexpr char kAddFailuresHeading[] = "The following files cannot be added:";
constexpr char kIncorrectFileNameText[] =
    "A file with this name already exists or the file name exceeds the limit of 31 symbols for the Palm device. "
    "\r\nPlease change the file name.";

// Where new entries go: handheld RAM, or an expansion slot or memory card.
struct AddTarget {
    uint32_t kind = qv::kLocationRam;
    qv::Guid identity{};

    static AddTarget ram() { return {}; }
    static AddTarget of(const TQVCard &card);
};

// The "Incorrect File Name" question: shown with the text pre-filled, it
// answers the confirmed text, or nullopt when the user cancels.
class FileNameQuestion {
public:
    virtual ~FileNameQuestion() = default;
    virtual std::optional<std::string> askFileName(const std::string &proposed) = 0;
};

struct AddFailure {
    std::string fileName;   // without its folder
    int32_t code = 0;
};

struct AddReport {
    std::vector<TQVDBRecord *> added;
    std::vector<AddFailure> failures;
    bool stopped = false;   // no unique name was left: the rest was not tried
};

// Picks the handheld format of a new entry among those the plug-in offers
// for the desktop format; nullopt refuses the file (kAddFormatNotOffered).
using HandheldFormatChooser = std::function<std::optional<int32_t>(const TQVPlugin &, int32_t desktopFormat)>;

class FileAdder {
public:
    FileAdder(const TQVPluginsList &plugins, TQVFileDatabase &database, const DesktopSettings &settings,
              FileNameQuestion *question);

    // The Palm category given to new entries (0 = Unfiled).
    void setPalmCategory(uint32_t category) { palmCategory_ = category; }
    void setHandheldFormatChooser(HandheldFormatChooser chooser) { chooser_ = std::move(chooser); }

    // Creates and stores one entry; nullptr with code set when it cannot.
    TQVDBRecord *createEntry(const AddTarget &target, const std::string &path, int32_t &code);
    // Creates the entries of the paths in order.
    AddReport addFiles(const AddTarget &target, const std::vector<std::string> &paths);

    // Gives the entry its handheld name; false when refused (no plug-in for
    // the file, the user cancelled, or no unique name is left).
    bool nameEntry(TQVDBRecord &entry);
    // Set when naming ran out of unique numbers.
    bool exhausted() const { return exhausted_; }

    // A RAM name is taken by an entry of any of the user's databases.
    bool ramNameTaken(const std::string &name) const;

private:
    const TQVPluginsList &plugins_;
    TQVFileDatabase &database_;
    const DesktopSettings &settings_;
    FileNameQuestion *question_;
    uint32_t palmCategory_ = 0;
    HandheldFormatChooser chooser_;
    bool exhausted_ = false;
};

}  // namespace desktop
