// A small document plug-in for the synchronization tests: it has every
// export the conduit binds, keeps the names of the document plug-in, and
// moves bytes the way the real one does (stream databases in RAM, plain
// card files) for three formats: text and Word files travel as they are,
// and Word files may also become "Tarvoc Docs" files by a stand-in
// conversion (the bytes behind a "DOCS:" mark). A Word file whose bytes
// begin with "BROKEN" fails that conversion.
//
// Settings come from the environment of the HotSync: SYNC_TEST_SYNCDIR,
// SYNC_TEST_BACKUP_TYPE, SYNC_TEST_BACKUP_DAYS, SYNC_TEST_MIN_FREE.
#include "QVDPCommon.h"
#include "QVDocsPlugin.h"
#include "error_record.h"
#include "status_codes.h"
#include "sync_manager.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int32_t kWord = 1, kText = 2, kDocs = 6;
constexpr char kDocsMark[] = "DOCS:";
constexpr char kBrokenMark[] = "BROKEN";

constexpr QVDP_Format kFormats[] = {
    {kWord, ".DOC", "Microsoft Word", 0, 1, 1, QV_FOURCC('W', 'O', 'R', 'D'), QV_FOURCC('Q', 'V', 'M', 'W'), 1, nullptr},
    {kText, ".TXT", "Text File", 0, 1, 1, QV_FOURCC('T', 'E', 'X', 'T'), QV_FOURCC('Q', 'V', 'M', 'W'), 1, nullptr},
    {kDocs, ".MWD", "Tarvoc Docs", 0, 1, 0, QV_FOURCC('Q', 'V', 'W', 'D'), QV_FOURCC('Q', 'V', 'M', 'W'), 1, nullptr},
    {0, nullptr, nullptr, 0, 0, 0, 0, 0, 0, nullptr},
};
constexpr QVDP_Conversion kToHandheld[] = {{kWord, kWord}, {kWord, kDocs}, {kText, kText}, {0, 0}};
constexpr QVDP_Conversion kToDesktop[] = {{kWord, kWord}, {kDocs, kWord}, {kText, kText}, {0, 0}};

const QVDP_DBHeader kDesktopHeader = {QVDP_DB_MAGIC, 1, 1, 874, 0};
const QVDP_DBHeader kRamHeader = {QVDP_DB_MAGIC, 1, 1, 56, 0};
const QVDP_DBHeader kCardHeader = {QVDP_DB_MAGIC, 1, 1, 280, 0};

int32_t answerText(const char *text, char *buffer, uint32_t *size) {
    if (!size) return 1;
    const uint32_t needed = uint32_t(std::strlen(text) + 1);
    const uint32_t room = *size;
    *size = needed;
    if (!buffer || room < needed) return 2;
    std::memcpy(buffer, text, needed);
    return 0;
}

int32_t envNumber(const char *name, int32_t fallback) {
    const char *value = std::getenv(name);
    return value && *value ? int32_t(std::strtol(value, nullptr, 10)) : fallback;
}

bool readBytes(const char *path, std::vector<char> &bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeBytes(const std::string &path, const std::vector<char> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

bool startsWith(const std::vector<char> &bytes, const char *mark) {
    const std::size_t n = std::strlen(mark);
    return bytes.size() >= n && std::memcmp(bytes.data(), mark, n) == 0;
}

// The stand-in conversions between desktop files.
void convert(QVDP_Error *error, const char *source, const std::string &target, int32_t from, int32_t to) {
    std::vector<char> bytes;
    if (!readBytes(source, bytes)) return qv::setFileError(error, qv::kGeneralFileError, source, 2);
    if (from == kWord && to == kDocs) {
        if (startsWith(bytes, kBrokenMark)) return qv::setConversionError(error, "The document is damaged.");
        bytes.insert(bytes.begin(), kDocsMark, kDocsMark + std::strlen(kDocsMark));
    } else if (from == kDocs && to == kWord) {
        if (!startsWith(bytes, kDocsMark)) return qv::setConversionError(error, "Not a Docs file.");
        bytes.erase(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::strlen(kDocsMark)));
    } else if (from != to) {
        return qv::setConduitError(error, qv::kFormatNotSupported);
    }
    if (!writeBytes(target, bytes)) qv::setFileError(error, qv::kGeneralFileError, target, 5);
}

const QVDP_Format *formatOf(int32_t id) {
    const QVDP_Format *format = nullptr;
    return QVGetFormat(id, kFormats, &format) == 0 ? format : nullptr;
}

std::string tempName() {
    char path[QVDP_MAX_PATH] = {};
    QVPCGetTempFileName(path);
    return path;
}

void reportFormats(const QVDP_Format *handheld, int32_t *desktopFormat, int32_t *handheldFormat) {
    *handheldFormat = handheld ? handheld->id : 0;
    *desktopFormat = handheld ? QVGetFirstConversion(kToDesktop, handheld->id) : 0;
}

}  // namespace

QV_EXPORT int32_t QVDP_Init(void) { return 0; }
QV_EXPORT void QVDP_Destroy(void) {}
QV_EXPORT int32_t QVDP_GetPluginName(char *buffer, uint32_t *size) { return answerText("Papyrine", buffer, size); }
QV_EXPORT int32_t QVDP_GetPluginBigName(char *buffer, uint32_t *size) {
    return answerText("Tarvoc Papyrine", buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginFolder(char *buffer, uint32_t *size) { return answerText("QVPapyrine", buffer, size); }
QV_EXPORT int32_t QVDP_GetPluginDatabaseName(char *buffer, uint32_t *size) {
    return answerText("PapyrineSync.dat", buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginDefaultCardFolder(char *buffer, uint32_t *size) {
    return answerText("/Documents", buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginCardPathsFileName(char *buffer, uint32_t *size) {
    return answerText("/PapyrineSyncMain.dat", buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginCreatorID(uint32_t *creator) {
    *creator = QVDP_PLUGIN_CREATOR;
    return 0;
}
QV_EXPORT int32_t QVDP_GetPluginID(int32_t *id) {
    *id = 1;
    return 0;
}
QV_EXPORT uint32_t QVDP_GetPluginDBHHType(void) { return QVDP_PLUGIN_DB_TYPE; }

QV_EXPORT int32_t QVDP_GetFormat(int32_t id, const QVDP_Format **out) { return QVGetFormat(id, kFormats, out); }

QV_EXPORT void QVDP_GetDesktopFormatFromPalmDB(const char *name, int32_t *desktopFormat, int32_t *handheldFormat) {
    const QVDP_Format *row = nullptr;
    if (QVRecognizePalmFileType(kFormats, name, &row) != 0) row = nullptr;
    reportFormats(row, desktopFormat, handheldFormat);
}

QV_EXPORT void QVDP_GetDesktopFormatFromCardFile(int32_t, const char *path, int32_t *desktopFormat,
                                                 int32_t *handheldFormat) {
    const QVDP_Format *row = nullptr;
    if (QVRecognizeFileType(kFormats, path, &row) != 0) row = nullptr;
    reportFormats(row, desktopFormat, handheldFormat);
}

QV_EXPORT int32_t QVDP_CopyToPalmDevice(QVDP_Error *error, const char *desktopFile, const char *name,
                                        int32_t desktopFormat, int32_t handheldFormat, int32_t keepFree) {
    const QVDP_Format *row = formatOf(handheldFormat);
    if (!row) return qv::setConduitError(error, qv::kFormatNotSupported), 0;
    std::string source = desktopFile;
    std::string temp;
    if (desktopFormat != handheldFormat) {
        temp = tempName();
        convert(error, desktopFile, temp, desktopFormat, handheldFormat);
        source = temp;
    }
    if (error->code == 0 && !CheckAvailableSpaceOnPalmDevice(error, source.c_str(), keepFree) && error->code == 0)
        qv::setConduitError(error, qv::kNotEnoughPalmMemory);
    if (error->code == 0) StreamCopyFileToPalmDevice(error, source.c_str(), name, row->creator, row->type);
    if (!temp.empty()) std::remove(temp.c_str());
    return 0;
}

QV_EXPORT int32_t QVDP_CopyFromPalmDevice(QVDP_Error *error, const char *desktopFile, const char *name,
                                          int32_t desktopFormat, int32_t handheldFormat) {
    if (desktopFormat == handheldFormat) return StreamCopyFileFromPalmDevice(error, desktopFile, name), 0;
    const std::string temp = tempName();
    if (StreamCopyFileFromPalmDevice(error, temp.c_str(), name))
        convert(error, temp.c_str(), desktopFile, handheldFormat, desktopFormat);
    std::remove(temp.c_str());
    return 0;
}

QV_EXPORT int32_t QVDP_CopyToPalmCard(QVDP_Error *error, const char *desktopFile, uint32_t cardFile,
                                      int32_t desktopFormat, int32_t handheldFormat) {
    if (desktopFormat == handheldFormat) return DirectCopyFileToPalmCard(error, desktopFile, cardFile), 0;
    const std::string temp = tempName();
    convert(error, desktopFile, temp, desktopFormat, handheldFormat);
    if (error->code == 0) DirectCopyFileToPalmCard(error, temp.c_str(), cardFile);
    std::remove(temp.c_str());
    return 0;
}

QV_EXPORT int32_t QVDP_CopyFromPalmCard(QVDP_Error *error, const char *desktopFile, uint32_t cardFile,
                                        int32_t desktopFormat, int32_t handheldFormat) {
    if (desktopFormat == handheldFormat) return DirectCopyFileFromPalmCard(error, desktopFile, cardFile), 0;
    const std::string temp = tempName();
    if (DirectCopyFileFromPalmCard(error, temp.c_str(), cardFile))
        convert(error, temp.c_str(), desktopFile, handheldFormat, desktopFormat);
    std::remove(temp.c_str());
    return 0;
}

QV_EXPORT int32_t QVDP_PrepareDestPCFile(QVDP_Error *, const char *, const char *, int32_t, int32_t) { return 0; }

QV_EXPORT const QVDP_DBHeader *QVDP_GetDBHeader(void) { return &kDesktopHeader; }
QV_EXPORT const void *QVDP_GetDBHeaderData(void) { return nullptr; }
QV_EXPORT const QVDP_DBHeader *QVDP_GetPalmDeviceDBHeader(void) { return &kRamHeader; }
QV_EXPORT const void *QVDP_GetPalmDeviceDBHeaderData(void) { return nullptr; }
QV_EXPORT const QVDP_DBHeader *QVDP_GetPalmCardDBHeader(void) { return &kCardHeader; }
QV_EXPORT const void *QVDP_GetPalmCardDBHeaderData(void) { return nullptr; }

QV_EXPORT int32_t QVDP_LoadSettings(const HotSyncConfig *, QVDP_Settings *out) {
    std::memset(out, 0, sizeof *out);
    const char *syncDir = std::getenv("SYNC_TEST_SYNCDIR");
    if (syncDir && std::strlen(syncDir) < sizeof out->syncDir) std::strcpy(out->syncDir, syncDir);
    out->backupType = envNumber("SYNC_TEST_BACKUP_TYPE", 1);
    out->backupDays = envNumber("SYNC_TEST_BACKUP_DAYS", 7);
    out->minFreeSpaceOnDevice = envNumber("SYNC_TEST_MIN_FREE", 0);
    return 0;
}
QV_EXPORT int32_t QVDP_SaveSettings(const HotSyncConfig *, const QVDP_Settings *) { return 0; }
QV_EXPORT int32_t QVDP_SyncConfigureDetailed(QVDP_Window, HotSyncConfig *) { return 0; }
QV_EXPORT int32_t QVDP_SyncPalmCategoriesToPC(const char *) { return 0; }
QV_EXPORT int32_t QVDP_SyncFTPAccountsToPC(const char *) { return 0; }
QV_EXPORT uint8_t QVDP_ModifyPalmFileName(const char *, char *) { return 0; }
