#include "card_fs.h"

#include "ini_store.h"
#include "pdb_file.h"
#include "session.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace palm::vfs {

using namespace palm::detail;
namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxCardPath = 259;
constexpr size_t kMaxNameLength = 255;

std::string lower(std::string text) {
    for (char &c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool validComponent(const std::string &name) {
    if (name.empty() || name.size() > kMaxNameLength || name == "." || name == "..") return false;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '/' || std::strchr("\\:*?\"<>|", c)) return false;
    }
    return true;
}

int32_t splitPath(const std::string &path, std::vector<std::string> &parts) {
    if (path.empty() || path.front() != '/' || path.size() > kMaxCardPath) return kVfsErrBadName;
    parts.clear();
    size_t i = 1;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        std::string part = path.substr(i, j - i);
        if (!part.empty()) {
            if (!validComponent(part)) return kVfsErrBadName;
            parts.push_back(std::move(part));
        }
        i = j + 1;
    }
    return 0;
}

// The entry of `folder` named `name`: the exact name first, then one that
// differs only in case.
std::optional<std::string> findEntry(const fs::path &folder, const std::string &name) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(folder / name, ec))) return name;
    const std::string wanted = lower(name);
    for (const auto &entry : fs::directory_iterator(folder, ec)) {
        std::string entryName = entry.path().filename().string();
        if (lower(entryName) == wanted) return entryName;
    }
    return std::nullopt;
}

struct Resolved {
    bool parentExists = false;
    bool exists = false;
    bool directory = false;
    fs::path real;           // the entry (or where it would be)
    fs::path parent;
    std::string cardPath;    // "/Documents/a.doc" with the stored case
    std::string name;        // last component as given
};

int32_t resolve(const fs::path &root, const std::string &path, Resolved &out) {
    std::vector<std::string> parts;
    if (int32_t e = splitPath(path, parts)) return e;
    out = Resolved();
    fs::path current = root;
    std::string cardPath;
    std::error_code ec;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        auto found = findEntry(current, parts[i]);
        if (!last) {
            if (!found || !fs::is_directory(current / *found, ec)) return 0;   // parent missing
            current /= *found;
            cardPath += "/" + *found;
            continue;
        }
        out.parentExists = true;
        out.parent = current;
        out.name = parts[i];
        out.exists = found.has_value();
        out.real = current / (found ? *found : parts[i]);
        out.directory = found && fs::is_directory(out.real, ec);
        out.cardPath = cardPath + "/" + (found ? *found : parts[i]);
        return 0;
    }
    // The root folder itself.
    out.parentExists = out.exists = out.directory = true;
    out.real = out.parent = root;
    out.cardPath = "/";
    return 0;
}

CardCache *mountedCard(Session &s, uint16_t volRef) {
    auto it = s.cards.find(volRef);
    if (it == s.cards.end() || !it->second.state.mounted) return nullptr;
    return &it->second;
}

uint64_t usedBytes(Session &s, CardCache &card) {
    if (!card.used) card.used = s.handheld->cardUsedBytes(card.state.slot);
    return *card.used;
}

bool isOpen(Session &s, uint16_t volRef, const std::string &cardPath) {
    const std::string key = lower(cardPath);
    return std::any_of(s.files.begin(), s.files.end(), [&](const auto &f) {
        return f.second.volRef == volRef && (lower(f.second.cardPath) == key ||
                                              lower(f.second.cardPath).rfind(key + "/", 0) == 0);
    });
}

// ---- file attributes, kept per card in attributes.ini -----------------------

IniDocument loadAttributes(Session &s, uint16_t slot) {
    IniDocument doc;
    std::string error;
    if (!loadIni(s.handheld->cardAttributesFile(slot), doc, error)) setProblem(s, error);
    return doc;
}

bool saveAttributes(Session &s, uint16_t slot, const IniDocument &doc) {
    std::string error;
    if (saveIni(s.handheld->cardAttributesFile(slot), doc, error)) return true;
    setProblem(s, error);
    return false;
}

// Forgets (or moves) the attributes of a path and everything below it.
void moveAttributes(Session &s, uint16_t slot, const std::string &from, const std::optional<std::string> &to) {
    IniDocument doc = loadAttributes(s, slot);
    IniSection *section = doc.section("Attributes");
    if (!section) return;
    const std::string key = lower(from);
    bool changed = false;
    std::vector<std::pair<std::string, std::string>> kept;
    for (auto &[k, v] : section->entries) {
        if (k == key || k.rfind(key + "/", 0) == 0) {
            changed = true;
            if (to) kept.emplace_back(lower(*to) + k.substr(key.size()), v);
        } else {
            kept.emplace_back(k, v);
        }
    }
    if (!changed) return;
    section->entries = std::move(kept);
    saveAttributes(s, slot, doc);
}

#define VFS_ENTRY(operation)                                 \
    Session &s = session();                                  \
    Lock lock(s.mutex);                                      \
    if (int32_t fault = checkFault(operation)) return fault; \
    if (!connected(s)) return kSyncErrNoHandheld

#define VFS_VOLUME(volRef)                                   \
    CardCache *card = mountedCard(s, volRef);                \
    if (!card) return kVfsErrVolumeBadRef

#define VFS_FILE(ref)                                        \
    auto fileIt = s.files.find(ref);                         \
    if (fileIt == s.files.end()) return kVfsErrFileBadRef;   \
    OpenCardFile &file = fileIt->second

}  // namespace

int32_t volumeEnumerate(uint16_t *volRefs, uint16_t &count) {
    VFS_ENTRY("vfs.volumeEnumerate");
    reloadCards(s);
    std::vector<uint16_t> mounted;
    for (const auto &[slot, card] : s.cards)
        if (card.state.mounted) mounted.push_back(slot);
    if (!volRefs || count == 0) {
        count = uint16_t(mounted.size());
        return 0;
    }
    const size_t n = std::min<size_t>(count, mounted.size());
    std::copy_n(mounted.begin(), n, volRefs);
    count = uint16_t(n);
    return n < mounted.size() ? kVfsErrBufferOverflow : 0;
}

int32_t volumeInfo(uint16_t volRef, VolumeInfo &info) {
    VFS_ENTRY("vfs.volumeInfo");
    VFS_VOLUME(volRef);
    info = VolumeInfo();
    info.attributes = kVolumeAttrSlotBased | (card->state.readOnly ? uint32_t(kVolumeAttrReadOnly) : 0u);
    info.fsType = fourCC("vfat");
    info.fsCreator = fourCC("pvfs");
    info.mountClass = fourCC("libs");
    info.slotRef = volRef;
    info.mediaType = fourCC("sdig");
    return 0;
}

int32_t volumeGetLabel(uint16_t volRef, char *buffer, uint16_t bufferSize) {
    VFS_ENTRY("vfs.volumeGetLabel");
    VFS_VOLUME(volRef);
    const std::string &label = card->state.label;
    if (!buffer || label.size() + 1 > bufferSize) return kVfsErrBufferOverflow;
    std::memcpy(buffer, label.c_str(), label.size() + 1);
    return 0;
}

int32_t volumeSetLabel(uint16_t volRef, const std::string &label) {
    VFS_ENTRY("vfs.volumeSetLabel");
    VFS_VOLUME(volRef);
    if (card->state.readOnly) return kExpErrCardReadOnly;
    if (!validLabel(label)) return kVfsErrBadName;
    CardState changed = card->state;
    changed.label = label;
    std::string error;
    if (!s.handheld->saveCard(changed, error)) {
        setProblem(s, error);
        return kVfsErrFileGeneric;
    }
    card->state = changed;
    return 0;
}

int32_t volumeSize(uint16_t volRef, uint32_t &used, uint32_t &total) {
    VFS_ENTRY("vfs.volumeSize");
    VFS_VOLUME(volRef);
    used = uint32_t(std::min<uint64_t>(usedBytes(s, *card), 0xFFFFFFFFu));
    total = card->state.capacity;
    return 0;
}

int32_t fileOpen(uint16_t volRef, const std::string &path, uint16_t mode, FileRef &ref) {
    VFS_ENTRY("vfs.fileOpen");
    VFS_VOLUME(volRef);
    if (!(mode & (kModeRead | kModeWrite))) return kVfsErrFilePermissionDenied;
    const bool writing = (mode & (kModeWrite | kModeCreate | kModeTruncate)) != 0;
    Resolved r;
    if (int32_t e = resolve(s.handheld->cardVolume(volRef), path, r)) return e;
    if (writing && card->state.readOnly) return kExpErrCardReadOnly;
    if (!r.exists) {
        if (!(mode & kModeCreate)) return kVfsErrFileNotFound;
        if (!r.parentExists) return kVfsErrDirectoryNotFound;
        if (usedBytes(s, *card) >= card->state.capacity) return kVfsErrNoRoomForEntry;
    }
    if (r.directory && writing) return kVfsErrIsADirectory;
    // A file open for writing is open exclusively.
    const std::string key = lower(r.cardPath);
    for (const auto &[otherRef, other] : s.files) {
        if (other.volRef != volRef || lower(other.cardPath) != key) continue;
        if (writing || (mode & kModeExclusive) || (other.mode & (kModeWrite | kModeExclusive)))
            return kVfsErrFilePermissionDenied;
    }
    OpenCardFile f;
    f.volRef = volRef;
    f.file = r.real;
    f.cardPath = r.cardPath;
    f.mode = mode;
    f.directory = r.directory;
    if (!r.directory) {
        int flags = O_CLOEXEC | ((mode & kModeWrite) ? O_RDWR : O_RDONLY);
        if (mode & kModeCreate) flags |= O_CREAT;
        f.fd = ::open(r.real.c_str(), flags, 0644);
        if (f.fd < 0) return kVfsErrFileGeneric;
        struct stat st {};
        if ((mode & kModeTruncate) && ::fstat(f.fd, &st) == 0 && st.st_size > 0) {
            if (::ftruncate(f.fd, 0) != 0) {
                ::close(f.fd);
                return kVfsErrFileGeneric;
            }
            if (card->used) *card->used -= std::min<uint64_t>(*card->used, uint64_t(st.st_size));
        }
    }
    ref = s.nextFileRef++;
    if (s.nextFileRef == 0) s.nextFileRef = 1;
    s.files[ref] = std::move(f);
    return 0;
}

int32_t fileCreate(uint16_t volRef, const std::string &path) {
    VFS_ENTRY("vfs.fileCreate");
    VFS_VOLUME(volRef);
    Resolved r;
    if (int32_t e = resolve(s.handheld->cardVolume(volRef), path, r)) return e;
    if (r.cardPath == "/") return kVfsErrFileAlreadyExists;
    if (card->state.readOnly) return kExpErrCardReadOnly;
    if (!r.parentExists) return kVfsErrDirectoryNotFound;
    if (r.exists) return kVfsErrFileAlreadyExists;
    if (usedBytes(s, *card) >= card->state.capacity) return kVfsErrNoRoomForEntry;
    const int fd = ::open(r.real.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) return kVfsErrFileGeneric;
    ::close(fd);
    return 0;
}

int32_t fileClose(FileRef ref) {
    VFS_ENTRY("vfs.fileClose");
    VFS_FILE(ref);
    if (file.fd >= 0) ::close(file.fd);
    s.files.erase(fileIt);
    return 0;
}

int32_t fileRead(FileRef ref, uint32_t size, void *buffer, uint32_t &bytesRead) {
    VFS_ENTRY("vfs.fileRead");
    VFS_FILE(ref);
    bytesRead = 0;
    if (file.directory) return kVfsErrIsADirectory;
    if (!(file.mode & kModeRead)) return kVfsErrFilePermissionDenied;
    if (size && !buffer) return kVfsErrBadData;
    auto *out = static_cast<uint8_t *>(buffer);
    while (bytesRead < size) {
        const ssize_t n = ::pread(file.fd, out + bytesRead, size - bytesRead, off_t(file.position));
        if (n < 0) {
            if (errno == EINTR) continue;
            return kVfsErrFileGeneric;
        }
        if (n == 0) break;
        bytesRead += uint32_t(n);
        file.position += uint64_t(n);
    }
    return 0;
}

int32_t fileWrite(FileRef ref, uint32_t size, const void *bytes, uint32_t &bytesWritten) {
    VFS_ENTRY("vfs.fileWrite");
    VFS_FILE(ref);
    bytesWritten = 0;
    if (file.directory) return kVfsErrIsADirectory;
    if (!(file.mode & kModeWrite)) return kVfsErrFilePermissionDenied;
    CardCache *card = mountedCard(s, file.volRef);
    if (!card) return kExpErrCardNotPresent;
    if (card->state.readOnly) return kExpErrCardReadOnly;
    if (size && !bytes) return kVfsErrBadData;
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) return kVfsErrFileGeneric;
    const uint64_t end = file.position + size;
    const uint64_t growth = end > uint64_t(st.st_size) ? end - uint64_t(st.st_size) : 0;
    if (usedBytes(s, *card) + growth > card->state.capacity) return kVfsErrVolumeFull;
    const auto *in = static_cast<const uint8_t *>(bytes);
    while (bytesWritten < size) {
        const ssize_t n = ::pwrite(file.fd, in + bytesWritten, size - bytesWritten, off_t(file.position));
        if (n < 0) {
            if (errno == EINTR) continue;
            card->used.reset();
            return kVfsErrFileGeneric;
        }
        bytesWritten += uint32_t(n);
        file.position += uint64_t(n);
    }
    *card->used += growth;
    return 0;
}

int32_t fileSeek(FileRef ref, SeekOrigin origin, int32_t offset) {
    VFS_ENTRY("vfs.fileSeek");
    VFS_FILE(ref);
    if (file.directory) return kVfsErrIsADirectory;
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) return kVfsErrFileGeneric;
    int64_t base = 0;
    switch (origin) {
    case kSeekBegin: base = 0; break;
    case kSeekCurrent: base = int64_t(file.position); break;
    case kSeekEnd: base = int64_t(st.st_size); break;
    default: return kVfsErrBadData;
    }
    const int64_t target = base + offset;
    if (target < 0 || target > int64_t(st.st_size)) return kVfsErrFileEOF;
    file.position = uint64_t(target);
    return 0;
}

int32_t fileTell(FileRef ref, uint32_t &position) {
    VFS_ENTRY("vfs.fileTell");
    VFS_FILE(ref);
    position = uint32_t(file.position);
    return 0;
}

int32_t fileSize(FileRef ref, uint32_t &size) {
    VFS_ENTRY("vfs.fileSize");
    VFS_FILE(ref);
    if (file.directory) return kVfsErrIsADirectory;
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) return kVfsErrFileGeneric;
    size = uint32_t(std::min<uint64_t>(uint64_t(st.st_size), 0xFFFFFFFFu));
    return 0;
}

int32_t fileDelete(uint16_t volRef, const std::string &path) {
    VFS_ENTRY("vfs.fileDelete");
    VFS_VOLUME(volRef);
    Resolved r;
    if (int32_t e = resolve(s.handheld->cardVolume(volRef), path, r)) return e;
    if (!r.exists) return kVfsErrFileNotFound;
    if (r.cardPath == "/") return kVfsErrFilePermissionDenied;
    if (card->state.readOnly) return kExpErrCardReadOnly;
    if (isOpen(s, volRef, r.cardPath)) return kVfsErrFileStillOpen;
    std::error_code ec;
    if (r.directory && !fs::is_empty(r.real, ec)) return kVfsErrDirNotEmpty;
    const uintmax_t size = r.directory ? 0 : fs::file_size(r.real, ec);
    if (!fs::remove(r.real, ec)) return kVfsErrFileGeneric;
    if (card->used) *card->used -= std::min<uint64_t>(*card->used, size);
    moveAttributes(s, volRef, r.cardPath, std::nullopt);
    return 0;
}

int32_t fileRename(uint16_t volRef, const std::string &path, const std::string &newName) {
    VFS_ENTRY("vfs.fileRename");
    VFS_VOLUME(volRef);
    Resolved r;
    if (int32_t e = resolve(s.handheld->cardVolume(volRef), path, r)) return e;
    if (!validComponent(newName)) return kVfsErrBadName;
    if (!r.exists) return kVfsErrFileNotFound;
    if (r.cardPath == "/") return kVfsErrFilePermissionDenied;
    if (card->state.readOnly) return kExpErrCardReadOnly;
    if (isOpen(s, volRef, r.cardPath)) return kVfsErrFileStillOpen;
    const auto existing = findEntry(r.parent, newName);
    if (existing && lower(*existing) != lower(r.real.filename().string())) return kVfsErrFileAlreadyExists;
    std::error_code ec;
    fs::rename(r.real, r.parent / newName, ec);
    if (ec) return kVfsErrFileGeneric;
    const std::string folder = r.cardPath.substr(0, r.cardPath.rfind('/'));
    moveAttributes(s, volRef, r.cardPath, folder + "/" + newName);
    return 0;
}

int32_t fileSetAttributes(FileRef ref, uint32_t attributes) {
    VFS_ENTRY("vfs.fileSetAttributes");
    VFS_FILE(ref);
    CardCache *card = mountedCard(s, file.volRef);
    if (!card) return kExpErrCardNotPresent;
    if (card->state.readOnly) return kExpErrCardReadOnly;
    IniDocument doc = loadAttributes(s, file.volRef);
    doc.set("Attributes", lower(file.cardPath), std::to_string(attributes & ~uint32_t(kAttrDirectory)));
    return saveAttributes(s, file.volRef, doc) ? 0 : kVfsErrFileGeneric;
}

int32_t fileGetAttributes(FileRef ref, uint32_t &attributes) {
    VFS_ENTRY("vfs.fileGetAttributes");
    VFS_FILE(ref);
    IniDocument doc = loadAttributes(s, file.volRef);
    const auto value = parseInteger(doc.get("Attributes", lower(file.cardPath), "0"));
    attributes = uint32_t(value.value_or(0)) | (file.directory ? uint32_t(kAttrDirectory) : 0u);
    return 0;
}

int32_t dirCreate(uint16_t volRef, const std::string &path) {
    VFS_ENTRY("vfs.dirCreate");
    VFS_VOLUME(volRef);
    Resolved r;
    if (int32_t e = resolve(s.handheld->cardVolume(volRef), path, r)) return e;
    if (r.exists) return kVfsErrFileAlreadyExists;
    if (card->state.readOnly) return kExpErrCardReadOnly;
    if (!r.parentExists) return kVfsErrDirectoryNotFound;
    if (usedBytes(s, *card) >= card->state.capacity) return kVfsErrNoRoomForEntry;
    std::error_code ec;
    if (!fs::create_directory(r.real, ec)) return kVfsErrFileGeneric;
    return 0;
}

int32_t dirList(uint16_t volRef, const std::string &path, std::vector<std::pair<std::string, bool>> &entries) {
    Session &s = session();
    Lock lock(s.mutex);
    if (!connected(s)) return kSyncErrNoHandheld;
    auto it = s.cards.find(volRef);
    if (it == s.cards.end()) return kVfsErrVolumeBadRef;
    Resolved r;
    if (int32_t e = resolve(s.handheld->cardVolume(volRef), path, r)) return e;
    if (!r.exists) return kVfsErrFileNotFound;
    if (!r.directory) return kVfsErrNotADirectory;
    entries.clear();
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(r.real, ec))
        entries.emplace_back(entry.path().filename().string(), entry.is_directory());
    std::sort(entries.begin(), entries.end());
    return 0;
}

}  // namespace palm::vfs
