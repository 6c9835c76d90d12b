#include "handheld.h"

#include "home.h"
#include "ini_store.h"
#include "temp_files.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace palm {

namespace fs = std::filesystem;

namespace {

// A label and its NUL fit the 255-byte buffer callers read labels into.
constexpr size_t kMaxLabelLength = 254;
constexpr size_t kMaxUserNameLength = 63;

bool validUserName(const std::string &name) {
    return !name.empty() && name.size() <= kMaxUserNameLength && storableText(name);
}

std::string slotSection(uint16_t slot) { return "Slot " + std::to_string(slot); }

}  // namespace

bool validLabel(const std::string &label) { return label.size() <= kMaxLabelLength && storableText(label); }

std::string databaseFileName(const std::string &databaseName) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : databaseName) {
        const unsigned char u = static_cast<unsigned char>(c);
        const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                           u == ' ' || u == '_' || u == '-' || u == '(' || u == ')' ||
                           (u == '.' && !out.empty());
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out + ".pdb";
}

bool readWholeFile(const fs::path &path, std::vector<uint8_t> &bytes, std::string &error, uint64_t limit) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        error = path.string() + ": " + ec.message();
        return false;
    }
    if (size > limit) {
        error = path.string() + ": too large (" + std::to_string(size) + " bytes)";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.assign(size_t(size), 0);
    if (!in || !in.read(reinterpret_cast<char *>(bytes.data()), std::streamsize(size))) {
        error = path.string() + ": cannot be read";
        return false;
    }
    return true;
}

bool writeWholeFileAtomically(const fs::path &path, const std::vector<uint8_t> &bytes, std::string &error) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (!platform::writeFileAtomically(
            path, std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()), ec)) {
        error = path.string() + ": cannot be written (" + ec.message() + ")";
        return false;
    }
    return true;
}

bool Handheld::validName(const std::string &name) {
    return !name.empty() && name != "." && name != ".." && name.size() <= 64 &&
           name.find('/') == std::string::npos && storableText(name);
}

fs::path Handheld::folderOf(const std::string &name) { return platform::handheldsFolder() / name; }

bool Handheld::exists(const std::string &name) {
    std::error_code ec;
    return validName(name) && fs::is_regular_file(folderOf(name) / "device.ini", ec);
}

std::vector<std::string> Handheld::list() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(platform::handheldsFolder(), ec)) {
        const std::string name = entry.path().filename().string();
        if (exists(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool Handheld::create(const std::string &name, const std::string &userName, uint32_t ramSize, uint16_t slotCount,
                      std::string &error) {
    if (!validName(name)) {
        error = "\"" + name + "\" is not a valid handheld name";
        return false;
    }
    if (!validUserName(userName)) {
        error = "\"" + userName + "\" is not a valid user name (1 to 63 characters, no control characters)";
        return false;
    }
    if (slotCount > kMaxSlots) {
        error = "a handheld has at most " + std::to_string(kMaxSlots) + " slots";
        return false;
    }
    const fs::path folder = folderOf(name);
    std::error_code ec;
    if (fs::exists(folder, ec)) {
        error = folder.string() + ": the handheld exists";
        return false;
    }
    fs::create_directories(folder / "ram", ec);
    fs::create_directories(folder / "cards", ec);
    if (ec) {
        error = folder.string() + ": cannot be created (" + ec.message() + ")";
        return false;
    }
    IniDocument doc;
    doc.set("Device", "UserName", userName);
    doc.set("Device", "RamSize", std::to_string(ramSize));
    doc.set("Device", "Slots", std::to_string(slotCount));
    for (uint16_t s = 1; s <= slotCount; ++s)
        doc.set(slotSection(s), "DisplayName", "Card Slot " + std::to_string(s));
    return saveIni(folder / "device.ini", doc, error);
}

std::optional<Handheld> Handheld::open(const std::string &name, std::string &error) {
    if (!validName(name)) {
        error = "\"" + name + "\" is not a valid handheld name";
        return std::nullopt;
    }
    Handheld h;
    h.name_ = name;
    h.folder_ = folderOf(name);
    std::error_code ec;
    if (!fs::is_directory(h.folder_, ec)) {
        error = h.folder_.string() + ": no such handheld";
        return std::nullopt;
    }
    IniDocument doc;
    if (!loadIni(h.deviceFile(), doc, error, false)) return std::nullopt;
    auto bad = [&](const std::string &what) {
        error = h.deviceFile().string() + ": " + what;
        return std::nullopt;
    };
    h.userName_ = doc.get("Device", "UserName");
    if (!h.userName_.empty() && !validUserName(h.userName_)) return bad("the user name is not valid");
    const auto ram = parseInteger(doc.get("Device", "RamSize", std::to_string(kDefaultRamSize)));
    if (!ram || *ram <= 0 || *ram > 0xFFFFFFFFLL) return bad("RamSize is not a size in bytes");
    h.ramSize_ = uint32_t(*ram);
    const auto slots = parseInteger(doc.get("Device", "Slots", "0"));
    if (!slots || *slots < 0 || *slots > kMaxSlots) return bad("Slots is not a number from 0 to 8");
    for (uint16_t s = 1; s <= uint16_t(*slots); ++s) {
        std::string display = doc.get(slotSection(s), "DisplayName", "Card Slot " + std::to_string(s));
        if (!validLabel(display)) return bad("the display name of slot " + std::to_string(s) + " is not valid");
        h.slots_.push_back({s, display});
    }
    fs::create_directories(h.ramFolder(), ec);
    return h;
}

bool Handheld::setUserName(const std::string &userName, std::string &error) {
    if (!validUserName(userName)) {
        error = "\"" + userName + "\" is not a valid user name";
        return false;
    }
    StoreLock lock(deviceFile());
    IniDocument doc;
    if (!loadIni(deviceFile(), doc, error, false)) return false;
    doc.set("Device", "UserName", userName);
    if (!saveIni(deviceFile(), doc, error)) return false;
    userName_ = userName;
    return true;
}

fs::path Handheld::databaseFile(const std::string &databaseName) const {
    return ramFolder() / databaseFileName(databaseName);
}

std::vector<DatabaseSummary> Handheld::databases(std::vector<std::string> &problems) const {
    std::vector<DatabaseSummary> out;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(ramFolder(), ec)) {
        if (entry.path().extension() != ".pdb" || !entry.is_regular_file()) continue;
        std::vector<uint8_t> bytes;
        std::string error;
        if (!readWholeFile(entry.path(), bytes, error)) {
            problems.push_back(error);
            continue;
        }
        PdbParseResult parsed = parsePdbHeader(bytes, entry.path().string());
        if (!parsed.database) {
            problems.push_back(parsed.error);
            continue;
        }
        const PalmDatabase &db = *parsed.database;
        if (entry.path().filename() != databaseFileName(db.name)) {
            problems.push_back(entry.path().string() + ": holds the database \"" + db.name +
                               "\", whose file name differs");
            continue;
        }
        DatabaseSummary s;
        s.name = db.name;
        s.type = db.type;
        s.creator = db.creator;
        s.attributes = db.attributes;
        s.version = db.version;
        s.recordCount = uint16_t(db.isResourceDatabase() ? db.resources.size() : db.records.size());
        s.fileSize = bytes.size();
        s.file = entry.path();
        out.push_back(std::move(s));
    }
    std::sort(out.begin(), out.end(), [](const DatabaseSummary &a, const DatabaseSummary &b) { return a.name < b.name; });
    return out;
}

uint64_t Handheld::usedRam() const {
    uint64_t used = 0;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(ramFolder(), ec)) {
        if (entry.path().extension() != ".pdb") continue;
        std::error_code sizeError;
        const uintmax_t size = entry.file_size(sizeError);
        if (!sizeError) used += size;
    }
    return used;
}

std::optional<PalmDatabase> Handheld::loadDatabase(const std::string &databaseName, std::string &error) const {
    const fs::path file = databaseFile(databaseName);
    std::vector<uint8_t> bytes;
    if (!readWholeFile(file, bytes, error)) return std::nullopt;
    PdbParseResult parsed = parsePdb(bytes, file.string());
    if (!parsed.database) {
        error = parsed.error;
        return std::nullopt;
    }
    if (parsed.database->name != databaseName) {
        error = file.string() + ": holds the database \"" + parsed.database->name + "\", not \"" + databaseName + "\"";
        return std::nullopt;
    }
    return std::move(parsed.database);
}

bool Handheld::saveDatabase(const PalmDatabase &db, std::string &error) const {
    return writeWholeFileAtomically(databaseFile(db.name), serializePdb(db), error);
}

bool Handheld::importDatabase(const std::vector<uint8_t> &bytes, const std::string &sourceName, bool replace,
                              std::string &storedName, std::string &error) const {
    PdbParseResult parsed = parsePdb(bytes, sourceName);
    if (!parsed.database) {
        error = parsed.error;
        return false;
    }
    storedName = parsed.database->name;
    const fs::path target = databaseFile(storedName);
    std::error_code ec;
    uint64_t replacedSize = 0;
    if (fs::exists(target, ec)) {
        if (!replace) {
            error = "a database named \"" + storedName + "\" is on the handheld";
            return false;
        }
        replacedSize = fs::file_size(target, ec);
    }
    if (usedRam() - replacedSize + bytes.size() > ramSize_) {
        error = "not enough handheld memory for " + sourceName;
        return false;
    }
    return writeWholeFileAtomically(target, bytes, error);
}

fs::path Handheld::cardFolder(uint16_t slot) const { return folder_ / "cards" / std::to_string(slot); }

bool Handheld::hasSlot(uint16_t slot) const {
    return std::any_of(slots_.begin(), slots_.end(), [&](const SlotInfo &s) { return s.slotRef == slot; });
}

std::optional<CardState> Handheld::card(uint16_t slot, std::string &error) const {
    error.clear();
    const fs::path file = cardFolder(slot) / "card.ini";
    std::error_code ec;
    if (!hasSlot(slot) || !fs::exists(file, ec)) return std::nullopt;
    IniDocument doc;
    if (!loadIni(file, doc, error, false)) return std::nullopt;
    CardState c;
    c.slot = slot;
    c.label = doc.get("Card", "Label");
    const auto capacity = parseInteger(doc.get("Card", "Capacity", std::to_string(kDefaultCardCapacity)));
    const auto readOnly = parseInteger(doc.get("Card", "ReadOnly", "0"));
    const auto mounted = parseInteger(doc.get("Card", "Mounted", "1"));
    if (!validLabel(c.label) || !capacity || *capacity < 0 || *capacity > 0xFFFFFFFFLL || !readOnly || !mounted) {
        error = file.string() + ": damaged card description";
        return std::nullopt;
    }
    c.capacity = uint32_t(*capacity);
    c.readOnly = *readOnly != 0;
    c.mounted = *mounted != 0;
    return c;
}

bool Handheld::saveCard(const CardState &card, std::string &error) const {
    if (!validLabel(card.label)) {
        error = "\"" + card.label + "\" is not a valid card label (at most 254 characters)";
        return false;
    }
    IniDocument doc;
    doc.set("Card", "Label", card.label);
    doc.set("Card", "Capacity", std::to_string(card.capacity));
    doc.set("Card", "ReadOnly", card.readOnly ? "1" : "0");
    doc.set("Card", "Mounted", card.mounted ? "1" : "0");
    return saveIni(cardFolder(card.slot) / "card.ini", doc, error);
}

bool Handheld::insertCard(uint16_t slot, const std::optional<std::string> &label,
                          const std::optional<uint32_t> &capacity, std::string &error) const {
    if (!hasSlot(slot)) {
        error = "the handheld has no slot " + std::to_string(slot);
        return false;
    }
    std::optional<CardState> existing = card(slot, error);
    if (!existing && !error.empty()) return false;
    CardState c = existing.value_or(CardState{slot, "Card", kDefaultCardCapacity, false, false});
    if (existing && existing->mounted) {
        error = "slot " + std::to_string(slot) + " holds a card";
        return false;
    }
    if (label) c.label = *label;
    if (capacity) c.capacity = *capacity;
    c.mounted = true;
    std::error_code ec;
    fs::create_directories(cardVolume(slot), ec);
    if (ec) {
        error = cardVolume(slot).string() + ": cannot be created (" + ec.message() + ")";
        return false;
    }
    return saveCard(c, error);
}

bool Handheld::removeCard(uint16_t slot, std::string &error) const {
    std::optional<CardState> c = card(slot, error);
    if (!c || !c->mounted) {
        if (error.empty()) error = "slot " + std::to_string(slot) + " holds no card";
        return false;
    }
    c->mounted = false;
    return saveCard(*c, error);
}

uint64_t Handheld::cardUsedBytes(uint16_t slot) const {
    uint64_t used = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(cardVolume(slot), ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::error_code sizeError;
        if (it->is_regular_file(sizeError)) {
            const uintmax_t size = it->file_size(sizeError);
            if (!sizeError) used += size;
        }
    }
    return used;
}

}  // namespace palm
