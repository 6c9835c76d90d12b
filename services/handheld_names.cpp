// Handheld RAM databases and card files: existence tests, card folders,
// replacing a card file, unique names, and recognising a database's format.
#include "QVDPCommon.h"
#include "card_fs.h"
#include "card_paths.h"
#include "error_record.h"
#include "status_codes.h"
#include "sync_manager.h"
#include "text_out.h"
#include "unique_names.h"

#include <string>

using namespace services;

namespace {

// The answer of opening a card path read-only (closed again at once).
int32_t probeCardPath(uint16_t volume, const std::string &path) {
    palm::vfs::FileRef ref = 0;
    int32_t answer = palm::vfs::fileOpen(volume, path, palm::vfs::kModeRead, ref);
    if (answer == 0) palm::vfs::fileClose(ref);
    return answer;
}

bool readName(const char *text, std::size_t limit, std::string &result) {
    std::string_view view;
    if (!readText(text, limit, view) || view.empty()) return false;
    result.assign(view);
    return true;
}

NameProbe databaseProbe(QVDP_Error *error, const std::string &name) {
    palm::sync::DbInfo info;
    int32_t answer = palm::sync::findDatabase(name, 0, info);
    if (answer == 0) return NameProbe::Taken;
    if (answer == palm::kSyncErrNotFound) return NameProbe::Free;
    qv::setSyncError(error, qv::kPalmDbIoError, answer);
    return NameProbe::Failed;
}

NameProbe cardFileProbe(QVDP_Error *error, uint16_t volume, const std::string &path) {
    int32_t answer = probeCardPath(volume, path);
    if (answer == 0) return NameProbe::Taken;
    if (answer == palm::kVfsErrFileNotFound) return NameProbe::Free;
    qv::setSyncError(error, qv::kCardIoError, answer);
    return NameProbe::Failed;
}

// The outcome of a numbering as the export's result; every number taken is
// an error, since the caller would otherwise create or overwrite that name.
int32_t uniqueResult(QVDP_Error *error, UniqueResult result) {
    switch (result) {
    case UniqueResult::Found: return 1;
    case UniqueResult::Unusable: qv::setConduitError(error, qv::kBadParameters); return 0;
    case UniqueResult::AllTaken: qv::setConduitError(error, qv::kPalmDatabaseExists); return 0;
    case UniqueResult::Failed: return 0;
    }
    return 0;
}

}  // namespace

QV_EXPORT int32_t QVPALMDBExists(QVDP_Error *error, const char *name) {
    std::string n;
    if (!readName(name, kMaxPalmNameLength, n)) {
        qv::setSyncError(error, qv::kPalmDbIoError, palm::kSyncErrBadArgument);
        return 0;
    }
    return databaseProbe(error, n) == NameProbe::Taken ? 1 : 0;
}

QV_EXPORT int32_t QVVFSFileExists(QVDP_Error *error, uint16_t volume, const char *path) {
    std::string p;
    if (!readName(path, kMaxPathLength, p)) {
        qv::setSyncError(error, qv::kCardIoError, palm::kVfsErrBadName);
        return 0;
    }
    return cardFileProbe(error, volume, p) == NameProbe::Taken ? 1 : 0;
}

QV_EXPORT int32_t QVHHFileExists(QVDP_Error *error, uint16_t volume, const char *path) {
    return volume == QVDP_RAM_VOLUME ? QVPALMDBExists(error, path) : QVVFSFileExists(error, volume, path);
}

QV_EXPORT int32_t QVVFSDirExists(uint16_t volume, const char *path) {
    std::string p;
    return readName(path, kMaxPathLength, p) && probeCardPath(volume, p) == 0 ? 1 : 0;
}

QV_EXPORT int32_t QVVFSCheckDir(uint16_t volume, const char *path) {
    std::string p;
    if (!readName(path, kMaxPathLength, p)) return palm::kVfsErrBadName;
    if (probeCardPath(volume, p) == 0) return 0;
    return palm::vfs::dirCreate(volume, p);
}

QV_EXPORT int32_t QVVFSCheckPath(uint16_t volume, const char *path) {
    std::string p;
    if (!readName(path, kMaxPathLength, p)) return palm::kVfsErrBadName;
    for (std::size_t slash = p.find('/', 1); slash != std::string::npos; slash = p.find('/', slash + 1)) {
        std::string folder = p.substr(0, slash);
        if (probeCardPath(volume, folder) == 0) continue;
        // Every folder below one that cannot be made would fail the same way.
        if (int32_t answer = palm::vfs::dirCreate(volume, folder)) return answer;
    }
    return 0;
}

QV_EXPORT int32_t QVVFSReplaceFile(uint16_t volume, const char *target, const char *tempFile) {
    std::string t, temp;
    if (!readName(target, kMaxPathLength, t) || !readName(tempFile, kMaxPathLength, temp)) return palm::kVfsErrBadName;
    std::string name(cardNameOf(t));
    if (name.empty()) return palm::kVfsErrBadName;

    int32_t answer = probeCardPath(volume, t);
    if (answer == palm::kVfsErrFileNotFound) return palm::vfs::fileRename(volume, temp, name);
    if (answer != 0) return answer;

    // The old file is renamed aside, not deleted, until the new one has its name.
    std::string asideName = name + ".$$$";
    std::string aside = joinCardPath(cardFolderOf(t), asideName);
    if (aside.size() > kMaxPathLength) {
        asideName = "~QV.$$$";
        aside = joinCardPath(cardFolderOf(t), asideName);
        if (aside.size() > kMaxPathLength) return palm::kVfsErrBadName;
    }
    answer = probeCardPath(volume, aside);
    if (answer == 0) {
        if (int32_t deleted = palm::vfs::fileDelete(volume, aside)) return deleted;
    } else if (answer != palm::kVfsErrFileNotFound) {
        return answer;
    }
    if (int32_t renamed = palm::vfs::fileRename(volume, t, asideName)) return renamed;
    answer = palm::vfs::fileRename(volume, temp, name);
    if (answer != 0) {
        palm::vfs::fileRename(volume, aside, name);  // if even this fails, the old file stays aside
        return answer;
    }
    palm::vfs::fileDelete(volume, aside);
    return 0;
}

QV_EXPORT int32_t GenerateUniquePalmName(QVDP_Error *error, const char *name, char *outName) {
    copyOut(outName, kPalmNameBuffer, {});
    std::string n;
    if (!readName(name, kMaxPalmNameLength, n)) {
        qv::setConduitError(error, qv::kBadParameters);
        return 0;
    }
    std::string found;
    UniqueResult result = findUniqueName(
        n, kMaxPalmNameLength, [&](const std::string &candidate) { return databaseProbe(error, candidate); }, found);
    copyOut(outName, kPalmNameBuffer, found);
    return uniqueResult(error, result);
}

QV_EXPORT int32_t GenerateUniqueCardName(QVDP_Error *error, uint16_t volume, const char *folder, const char *name,
                                         char *outName) {
    copyOut(outName, kPathBuffer, {});
    std::string_view folderText;
    std::string n;
    if (!readText(folder, kMaxPathLength, folderText) || !readName(name, kMaxPathLength, n)) {
        qv::setConduitError(error, qv::kBadParameters);
        return 0;
    }
    if (n.front() == '/') n.erase(0, 1);
    std::string prefix = joinCardPath(folderText, "");
    if (prefix.size() >= kMaxPathLength) {
        qv::setConduitError(error, qv::kBadParameters);
        return 0;
    }
    std::string found;
    UniqueResult result = findUniqueName(
        n, kMaxPathLength - prefix.size(),
        [&](const std::string &candidate) { return cardFileProbe(error, volume, prefix + candidate); }, found);
    copyOut(outName, kPathBuffer, found);
    return uniqueResult(error, result);
}

QV_EXPORT int32_t QVRecognizePalmFileType(const QVDP_Format *table, const char *name, const QVDP_Format **out) {
    if (out) *out = nullptr;
    std::string n;
    if (!readName(name, kMaxPalmNameLength, n)) return qv::kPalmDbNotFound;
    palm::sync::DbInfo info;
    if (palm::sync::findDatabase(n, 0, info) != 0) return qv::kPalmDbNotFound;
    const QVDP_Format *row = QVGetFormatFromHHType(info.type, table);
    if (out) *out = row;
    return row ? qv::kOk : qv::kFormatNotRecognized;
}
