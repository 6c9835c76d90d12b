// The emulated handheld: a folder under the machine folder's handhelds/.
//   device.ini        user name, RAM size, expansion slots, injected faults
//   ram/<name>.pdb    one standard Palm database file per RAM database
//   cards/<slot>/     the card in that slot: card.ini (label, capacity,
//                     write protection, mounted), attributes.ini (file
//                     attributes) and volume/ (the card's folder tree)
//   synclog.txt       the lines the Sync Manager's log call wrote
// Free memory is the RAM size less the size of every database file, so it
// shrinks as databases grow. Everything read from the folder is checked; a
// damaged file is an error naming it.
#pragma once

#include "pdb_file.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

namespace palm {

constexpr uint32_t kDefaultRamSize = 16u * 1024 * 1024;
constexpr uint32_t kDefaultCardCapacity = 64u * 1024 * 1024;
constexpr uint16_t kMaxSlots = 8;

struct SlotInfo {
    uint16_t slotRef = 0;       // 1, 2 ...; also the volume reference of its card
    std::string displayName;    // "Card Slot 1"
};

struct CardState {
    uint16_t slot = 0;
    std::string label;
    uint32_t capacity = 0;      // bytes
    bool readOnly = false;      // write-protected
    bool mounted = false;       // in the slot (a removed card keeps its files)
};

struct DatabaseSummary {
    std::string name;
    uint32_t type = 0;
    uint32_t creator = 0;
    uint16_t attributes = 0;
    uint16_t version = 0;
    uint16_t recordCount = 0;
    uint64_t fileSize = 0;
    std::filesystem::path file;
};

class Handheld {
public:
    // A handheld name is one folder name: not empty, no "/", no control
    // characters, not "." or "..".
    static bool validName(const std::string &name);
    static std::filesystem::path folderOf(const std::string &name);
    static bool exists(const std::string &name);
    static std::vector<std::string> list();

    // Creates the folder and its device file; fails when it exists.
    static bool create(const std::string &name, const std::string &userName, uint32_t ramSize,
                       uint16_t slotCount, std::string &error);
    // Opens an existing handheld, checking its device file.
    static std::optional<Handheld> open(const std::string &name, std::string &error);

    const std::string &name() const { return name_; }
    const std::filesystem::path &folder() const { return folder_; }
    std::filesystem::path deviceFile() const { return folder_ / "device.ini"; }
    std::filesystem::path ramFolder() const { return folder_ / "ram"; }
    std::filesystem::path syncLogFile() const { return folder_ / "synclog.txt"; }

    const std::string &userName() const { return userName_; }
    uint32_t ramSize() const { return ramSize_; }
    const std::vector<SlotInfo> &slots() const { return slots_; }
    bool setUserName(const std::string &userName, std::string &error);

    // ---- RAM ----
    // The file that holds (or would hold) the database of that name.
    std::filesystem::path databaseFile(const std::string &databaseName) const;
    // Every database in RAM, sorted by name; files that cannot be read are
    // reported in `problems` and left out.
    std::vector<DatabaseSummary> databases(std::vector<std::string> &problems) const;
    // Bytes taken by the database files.
    uint64_t usedRam() const;
    // Reads and checks one database file.
    std::optional<PalmDatabase> loadDatabase(const std::string &databaseName, std::string &error) const;
    bool saveDatabase(const PalmDatabase &db, std::string &error) const;
    // Stores a .pdb file's bytes as they are (after checking them); fails
    // when a database of that name exists and !replace, or when it does not fit.
    bool importDatabase(const std::vector<uint8_t> &bytes, const std::string &sourceName, bool replace,
                        std::string &storedName, std::string &error) const;

    // ---- Cards ----
    std::filesystem::path cardFolder(uint16_t slot) const;
    std::filesystem::path cardVolume(uint16_t slot) const { return cardFolder(slot) / "volume"; }
    std::filesystem::path cardAttributesFile(uint16_t slot) const { return cardFolder(slot) / "attributes.ini"; }
    bool hasSlot(uint16_t slot) const;
    // The card that was ever put into the slot (mounted or not); nullopt with
    // an empty error when the slot never held one.
    std::optional<CardState> card(uint16_t slot, std::string &error) const;
    bool saveCard(const CardState &card, std::string &error) const;
    // Puts a card into the slot: a new one with that label and capacity, or
    // the one that was taken out (label and capacity kept unless given).
    bool insertCard(uint16_t slot, const std::optional<std::string> &label,
                    const std::optional<uint32_t> &capacity, std::string &error) const;
    bool removeCard(uint16_t slot, std::string &error) const;
    // Bytes taken by the files on the card.
    uint64_t cardUsedBytes(uint16_t slot) const;

private:
    std::string name_;
    std::filesystem::path folder_;
    std::string userName_;
    uint32_t ramSize_ = kDefaultRamSize;
    std::vector<SlotInfo> slots_;
};

// A card label the handheld stores: no control characters, at most 254
// bytes (so that it fits a 255-byte buffer with its NUL).
bool validLabel(const std::string &label);

// Database names map to file names: bytes other than letters, digits and
// " ._-()" become %XX, and the name gets ".pdb".
std::string databaseFileName(const std::string &databaseName);

// Reads a whole file; false with error naming it.
bool readWholeFile(const std::filesystem::path &path, std::vector<uint8_t> &bytes, std::string &error,
                   uint64_t limit = 256u * 1024 * 1024);
bool writeWholeFileAtomically(const std::filesystem::path &path, const std::vector<uint8_t> &bytes,
                              std::string &error);

}  // namespace palm

#pragma GCC visibility pop
