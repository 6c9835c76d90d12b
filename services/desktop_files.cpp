// Desktop files: temporary files, existence tests, folder creation,
// deleting, replacing without ever losing the old file, and unique names.
#include "QVDPCommon.h"
#include "desktop_fs.h"
#include "error_record.h"
#include "shared_file.h"
#include "status_codes.h"
#include "temp_files.h"
#include "text_out.h"
#include "unique_names.h"

#include <cerrno>
#include <cstring>
#include <string>

using namespace services;

namespace {

bool readPath(const char *path, std::string &result) {
    std::string_view text;
    if (!readText(path, kMaxPathLength, text) || text.empty()) return false;
    result.assign(text);
    return true;
}

void fileError(QVDP_Error *error, const std::string &path, int err) {
    qv::setFileError(error, qv::kGeneralFileError, path, uint32_t(err));
}

int32_t tempFileInto(const std::filesystem::path *folder, const char *prefix, char *outPath) {
    std::error_code ec;
    auto created = folder ? platform::createTempFileIn(*folder, prefix, ec) : platform::createTempFile(prefix, ec);
    if (!created) {
        copyOut(outPath, kPathBuffer, {});
        return 0;
    }
    if (!copyOut(outPath, kPathBuffer, created->string())) {
        std::filesystem::remove(*created, ec);
        return 0;
    }
    return 1;
}

}  // namespace

QV_EXPORT int32_t QVPCGetTempFileName(char *outPath) { return tempFileInto(nullptr, "QVPD", outPath); }

QV_EXPORT int QVPCGetTempFileHandle(char *outPath) {
    if (!QVPCGetTempFileName(outPath)) return -1;
    return platform::openFile(outPath, platform::Access::ReadWrite, platform::Disposition::CreateAlways,
                              platform::Share::None);
}

QV_EXPORT int32_t QVPCGetTempFileInPath(const char *folder, char *outPath) {
    std::string folderPath;
    if (!readPath(folder, folderPath)) {
        copyOut(outPath, kPathBuffer, {});
        return 0;
    }
    std::filesystem::path where(folderPath);
    return tempFileInto(&where, "QVPC", outPath);
}

QV_EXPORT int32_t QVPCFileExists(const char *path) {
    std::string p;
    return readPath(path, p) && entryExists(p) ? 1 : 0;
}

QV_EXPORT int32_t QVPCDirectoryExists(const char *path) {
    std::string p;
    return readPath(path, p) && directoryExists(p) ? 1 : 0;
}

QV_EXPORT int32_t QVPCCheckPath(const char *path) {
    std::string p;
    if (!readPath(path, p)) return 0;
    if (directoryExists(p)) return 1;
    return makeDirectory(p) == 0 ? 1 : 0;
}

QV_EXPORT int32_t QVPCDeleteFile(QVDP_Error *error, const char *path) {
    std::string p;
    if (!readPath(path, p)) {
        fileError(error, path ? std::string(path, ::strnlen(path, kMaxPathLength)) : std::string(), EINVAL);
        return 0;
    }
    if (int err = deleteFile(p)) {
        fileError(error, p, err);
        return 0;
    }
    return 1;
}

QV_EXPORT int32_t QVPCReplaceFile(const char *target, const char *newFile, const char *backupPath) {
    std::string t, n, b;
    if (!readPath(target, t) || !readPath(newFile, n) || !readPath(backupPath, b)) return 0;
    if (entryExists(b) && deleteFile(b) != 0) return 0;
    // Without an old file there is nothing to keep safe: the new one just takes the name.
    bool hadTarget = entryExists(t);
    if (hadTarget && moveFile(t, b) != 0) return 0;
    if (moveFile(n, t) != 0) {
        if (hadTarget) moveFile(b, t);  // if even this fails, the old file stays at the backup path
        return 0;
    }
    if (hadTarget) deleteFile(b);
    return 1;
}

QV_EXPORT int32_t QVPCReplaceTmpFile(QVDP_Error *error, const char *tempFile, const char *target) {
    std::string temp, t;
    if (!readPath(tempFile, temp)) {
        fileError(error, tempFile ? std::string(tempFile, ::strnlen(tempFile, kMaxPathLength)) : std::string(), EINVAL);
        return 0;
    }
    if (!readPath(target, t)) {
        fileError(error, target ? std::string(target, ::strnlen(target, kMaxPathLength)) : std::string(), EINVAL);
        return 0;
    }
    if (!entryExists(t)) {
        if (int err = moveFile(temp, t)) {
            fileError(error, temp, err);
            return 0;
        }
        return 1;
    }
    std::string aside = t + ".$$$";
    if (aside.size() > kMaxPathLength) {
        fileError(error, t, ENAMETOOLONG);
        return 0;
    }
    if (entryExists(aside)) {
        if (int err = deleteFile(aside)) {
            fileError(error, aside, err);
            return 0;
        }
    }
    if (int err = moveFile(t, aside)) {
        fileError(error, t, err);
        return 0;
    }
    if (int err = moveFile(temp, t)) {
        fileError(error, temp, err);
        moveFile(aside, t);  // if even this fails, the old file stays at the aside path
        return 0;
    }
    deleteFile(aside);
    return 1;
}

QV_EXPORT int32_t GenerateUniquePCFileName(const char *path, char *outPath) {
    std::string p;
    if (!readPath(path, p)) {
        copyOut(outPath, kPathBuffer, {});
        return 0;
    }
    std::size_t slash = p.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
    std::string_view name = std::string_view(p).substr(folder.size());
    std::string found;
    UniqueResult result = findUniqueName(
        name, kMaxPathLength - folder.size(),
        [&](const std::string &candidate) { return entryExists(folder + candidate) ? NameProbe::Taken : NameProbe::Free; },
        found);
    // A taken last candidate is handed out too, but never as a success: the
    // caller would overwrite the file of that name.
    if (!copyOut(outPath, kPathBuffer, found.empty() ? std::string() : folder + found)) return 0;
    return result == UniqueResult::Found ? 1 : 0;
}
