#include "install_aide.h"

#include "card_fs.h"
#include "connection.h"
#include "faults.h"
#include "handheld.h"
#include "ini_store.h"
#include "temp_files.h"
#include "user_manager.h"

#include <algorithm>
#include <fstream>

namespace palm::installaide {

namespace fs = std::filesystem;

namespace {

fs::path queueFolder(const fs::path &userFolder, uint32_t slotRef) {
    fs::path folder = userFolder / "Install";
    if (slotRef != 0) folder /= "Slot" + std::to_string(slotRef);
    return folder;
}

bool isPalmDatabase(const fs::path &file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".pdb" || ext == ".prc" || ext == ".pqa";
}

std::string describe(int32_t code) { return std::string(errorText(code)) + " (" + std::to_string(code) + ")"; }

// Copies a queued file onto the card through the card file system, so that
// write protection, a full card and injected faults answer as in a HotSync.
int32_t copyToCard(uint16_t volRef, const fs::path &source, const std::string &cardPath) {
    for (const char *folder : {"/PALM", kCardInstallFolder}) {
        const int32_t e = vfs::dirCreate(volRef, folder);
        if (e != 0 && e != kVfsErrFileAlreadyExists) return e;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readWholeFile(source, bytes, error)) return kVfsErrFileGeneric;
    vfs::FileRef ref = 0;
    if (int32_t e = vfs::fileOpen(volRef, cardPath, 31, ref)) return e;
    uint32_t written = 0;
    int32_t e = bytes.empty() ? 0 : vfs::fileWrite(ref, uint32_t(bytes.size()), bytes.data(), written);
    vfs::fileClose(ref);
    if (e != 0) vfs::fileDelete(volRef, cardPath);
    return e;
}

}  // namespace

int32_t queueFile(uint32_t slotRef, uint32_t userId, const std::string &path) {
    if (int32_t f = checkFault("install.queueFile")) return f;
    fs::path folder;
    if (users::userFolder(userId, folder) != 0) return kInstallErrUserNotFound;
    if (slotRef != 0) {
        std::vector<users::Slot> slots;
        users::slots(userId, slots);
        if (std::none_of(slots.begin(), slots.end(), [&](const users::Slot &s) { return s.slotRef == slotRef; }))
            return kInstallErrBadArgument;
    }
    std::error_code ec;
    const fs::path source(path);
    if (path.empty() || !fs::is_regular_file(source, ec)) return kInstallErrFileNotFound;
    if (slotRef == 0 && !isPalmDatabase(source)) return kInstallErrBadArgument;
    const fs::path target = queueFolder(folder, slotRef) / source.filename();
    fs::create_directories(target.parent_path(), ec);
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readWholeFile(source, bytes, error, 0xFFFFFFFFu) || !writeWholeFileAtomically(target, bytes, error))
        return kInstallErrStore;
    return 0;
}

std::vector<QueuedFile> queuedFiles(uint32_t userId) {
    std::vector<QueuedFile> out;
    fs::path folder;
    if (users::userFolder(userId, folder) != 0) return out;
    std::error_code ec;
    const fs::path root = queueFolder(folder, 0);
    for (const auto &entry : fs::directory_iterator(root, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file()) {
            if (isPalmDatabase(entry.path())) out.push_back({0, entry.path()});
        } else if (entry.is_directory() && name.rfind("Slot", 0) == 0) {
            const auto ref = parseInteger(name.substr(4));
            if (!ref || *ref <= 0 || *ref > 0xFFFF) continue;
            std::error_code inner;
            for (const auto &file : fs::directory_iterator(entry.path(), inner))
                if (file.is_regular_file()) out.push_back({uint32_t(*ref), file.path()});
        }
    }
    std::sort(out.begin(), out.end(), [](const QueuedFile &a, const QueuedFile &b) {
        return a.slotRef != b.slotRef ? a.slotRef < b.slotRef : a.file < b.file;
    });
    return out;
}

int deliverQueuedFiles(uint32_t userId, std::vector<std::string> &report) {
    int left = 0;
    auto handheldName = currentHandheldName();
    std::string error;
    std::optional<Handheld> handheld = handheldName ? Handheld::open(*handheldName, error) : std::nullopt;
    for (const QueuedFile &q : queuedFiles(userId)) {
        const std::string name = q.file.filename().string();
        std::error_code ec;
        if (!handheld) {
            report.push_back("\"" + name + "\" stays queued: no handheld is connected.");
            ++left;
            continue;
        }
        if (q.slotRef == 0) {
            std::vector<uint8_t> bytes;
            std::string stored;
            if (readWholeFile(q.file, bytes, error) &&
                handheld->importDatabase(bytes, q.file.string(), true, stored, error)) {
                fs::remove(q.file, ec);
                report.push_back("Installed \"" + name + "\" in handheld RAM.");
            } else {
                report.push_back("\"" + name + "\" stays queued: " + error);
                ++left;
            }
            continue;
        }
        const uint16_t volRef = uint16_t(q.slotRef);
        uint16_t count = 0;
        std::vector<uint16_t> mounted;
        if (vfs::volumeEnumerate(nullptr, count) == 0 && count > 0) {
            mounted.resize(count);
            vfs::volumeEnumerate(mounted.data(), count);
            mounted.resize(count);
        }
        if (std::find(mounted.begin(), mounted.end(), volRef) == mounted.end()) {
            report.push_back("\"" + name + "\" stays queued: no card in slot " + std::to_string(q.slotRef) + ".");
            ++left;
            continue;
        }
        const std::string cardPath = std::string(kCardInstallFolder) + "/" + name;
        if (int32_t e = copyToCard(volRef, q.file, cardPath)) {
            report.push_back("\"" + name + "\" stays queued: " + describe(e) + ".");
            ++left;
            continue;
        }
        fs::remove(q.file, ec);
        report.push_back("Installed \"" + name + "\" on the card in slot " + std::to_string(q.slotRef) + " as " +
                         cardPath + ".");
    }
    return left;
}

}  // namespace palm::installaide
