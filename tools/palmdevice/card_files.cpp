#include "card_files.h"

#include "card_fs.h"

namespace palmdevice {

using namespace palm;

std::string joinCardPath(const std::string &folder, const std::string &name) {
    std::string path = folder.empty() ? "/" : folder;
    if (path.back() != '/') path += '/';
    return path + (name.empty() || name.front() != '/' ? name : name.substr(1));
}

int32_t readCardFile(uint16_t volRef, const std::string &path, std::vector<uint8_t> &bytes) {
    vfs::FileRef ref = 0;
    if (int32_t e = vfs::fileOpen(volRef, path, vfs::kModeRead, ref)) return e;
    uint32_t size = 0;
    int32_t e = vfs::fileSize(ref, size);
    if (e == 0) {
        bytes.assign(size, 0);
        uint32_t got = 0;
        e = size ? vfs::fileRead(ref, size, bytes.data(), got) : 0;
        if (e == 0 && got != size) e = kVfsErrFileEOF;
    }
    vfs::fileClose(ref);
    return e;
}

int32_t makeCardFolders(uint16_t volRef, const std::string &folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = folder.substr(0, slash);
        if (prefix.size() > 1) {
            const int32_t e = vfs::dirCreate(volRef, prefix);
            if (e != 0 && e != kVfsErrFileAlreadyExists) return e;
        }
        if (slash == std::string::npos) return 0;
    }
}

int32_t writeCardFile(uint16_t volRef, const std::string &path, const std::vector<uint8_t> &bytes) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return kVfsErrBadName;
    if (int32_t e = makeCardFolders(volRef, path.substr(0, slash))) return e;
    const std::string temp = path + ".tmp";
    vfs::FileRef ref = 0;
    if (int32_t e = vfs::fileOpen(volRef, temp, 31, ref)) return e;
    uint32_t written = 0;
    int32_t e = bytes.empty() ? 0 : vfs::fileWrite(ref, uint32_t(bytes.size()), bytes.data(), written);
    vfs::fileClose(ref);
    if (e != 0) {
        vfs::fileDelete(volRef, temp);
        return e;
    }
    e = vfs::fileDelete(volRef, path);
    if (e != 0 && e != kVfsErrFileNotFound) {
        vfs::fileDelete(volRef, temp);
        return e;
    }
    return vfs::fileRename(volRef, temp, path.substr(slash + 1));
}

}  // namespace palmdevice
