// The plug-in's identity, folders and file names, its format and conversion
// lookups, and the templates of the file-list databases.
#include "QVDocsPlugin.h"
#include "QVDPCommon.h"
#include "format_tables.h"
#include "palm_header.h"
#include "plugin_names.h"
#include "plugin_text.h"
#include "status_codes.h"

#include <cstring>

using namespace qvplugin;

namespace {

constexpr QVDP_DBHeader fileListHeader(uint32_t recordSize) { return {QVDP_DB_MAGIC, 1, 1, recordSize, 0}; }

// Record sizes of the desktop file list, the handheld list and the card list.
constexpr QVDP_DBHeader kFileListHeader = fileListHeader(874);
constexpr QVDP_DBHeader kHandheldListHeader = fileListHeader(56);
constexpr QVDP_DBHeader kCardListHeader = fileListHeader(280);

// Reports a recognised handheld format and its default desktop format, or
// 0 and 0 when nothing was recognised.
void reportFormats(const QVDP_Format *handheld, int32_t *desktopFormat, int32_t *handheldFormat) {
    const int32_t hh = handheld ? handheld->id : 0;
    const int32_t pc = handheld ? QVGetFirstConversion(handheldToDesktopPairs(), hh) : 0;
    if (handheldFormat) *handheldFormat = hh;
    if (desktopFormat) *desktopFormat = pc;
}

// The row the table gives the path, or null.
const QVDP_Format *recognized(const QVDP_Format *table, const char *path) {
    const QVDP_Format *row = nullptr;
    return path && QVRecognizeFileType(table, path, &row) == qv::kOk ? row : nullptr;
}

}  // namespace

// ---- Life cycle: the plug-in keeps no state that needs setting up.

QV_EXPORT int32_t QVDP_Init(void) { return qv::kOk; }
QV_EXPORT void QVDP_Destroy(void) {}

// ---- Identity, folders and file names.

QV_EXPORT int32_t QVDP_GetPluginName(char *buffer, uint32_t *size) { return answerText(kPluginName, buffer, size); }
QV_EXPORT int32_t QVDP_GetPluginBigName(char *buffer, uint32_t *size) {
    return answerText(kPluginBigName, buffer, size);
}

QV_EXPORT int32_t QVDP_GetPluginID(int32_t *id) {
    if (!id) return qv::kBadParameters;
    *id = kPluginId;
    return qv::kOk;
}

QV_EXPORT int32_t QVDP_GetPluginCreatorID(uint32_t *creator) {
    if (!creator) return qv::kBadParameters;
    *creator = QVDP_PLUGIN_CREATOR;
    return qv::kOk;
}

QV_EXPORT int32_t QVDP_GetPluginVersion(int32_t *major, int32_t *minor) {
    if (!major || !minor) return qv::kBadParameters;
    *major = kVersionMajor;
    *minor = kVersionMinor;
    return qv::kOk;
}

QV_EXPORT int32_t QVDP_GetPluginFolder(char *buffer, uint32_t *size) {
    return answerText(kPluginFolderName, buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginDatabaseName(char *buffer, uint32_t *size) {
    return answerText(kDatabaseFileName, buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginDefaultCardFolder(char *buffer, uint32_t *size) {
    return answerText(kDefaultCardFolder, buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginCanChangeCardFolder(void) { return 1; }
QV_EXPORT int32_t QVDP_GetPluginCardPathsFileName(char *buffer, uint32_t *size) {
    return answerText(kCardPathsFileName, buffer, size);
}
QV_EXPORT int32_t QVDP_GetPalmCategoriesFileName(char *buffer, uint32_t *size) {
    return answerText(kCategoriesFileName, buffer, size);
}
QV_EXPORT uint32_t QVDP_GetPluginDBHHType(void) { return QVDP_PLUGIN_DB_TYPE; }

// ---- Formats and conversions.

QV_EXPORT int32_t QVDP_GetFormat(int32_t id, const QVDP_Format **out) {
    if (!out) return qv::kBadParameters;
    return QVGetFormat(id, formatTable(), out);
}

QV_EXPORT int32_t QVDP_GetFormatName(int32_t id, char *buffer, uint32_t *size) {
    const QVDP_Format *format = nullptr;
    if (QVGetFormat(id, formatTable(), &format) != qv::kOk) return qv::kFormatNotRecognized;
    return answerText(format->name, buffer, size);
}

QV_EXPORT int32_t QVDP_RecognizeFile(const char *path, const QVDP_Format **out) {
    if (!path || !out) return qv::kBadParameters;
    *out = recognized(formatTable(), path);
    return *out ? qv::kOk : qv::kFormatNotRecognized;
}

QV_EXPORT const QVDP_Conversion *QVDP_GetPCToHHConversions(void) { return desktopToHandheldPairs(); }
QV_EXPORT const QVDP_Conversion *QVDP_GetHHToPCConversions(void) { return handheldToDesktopPairs(); }

QV_EXPORT int32_t QVDP_GetDefaultPCToHHConversion(int32_t desktopFormat) {
    return QVGetFirstConversion(desktopToHandheldPairs(), desktopFormat);
}
QV_EXPORT int32_t QVDP_GetDefaultHHToPCConversion(int32_t handheldFormat) {
    return QVGetFirstConversion(handheldToDesktopPairs(), handheldFormat);
}

// A type of 0 means "no handheld database" in the table, so a database whose
// type is 0 matches no row.
QV_EXPORT void QVDP_GetDesktopFormatFromPalmDB(const char *databaseName, int32_t *desktopFormat,
                                               int32_t *handheldFormat) {
    const QVDP_Format *row = nullptr;
    if (!databaseName || QVRecognizePalmFileType(formatTable(), databaseName, &row) != qv::kOk || row->type == 0)
        row = nullptr;
    reportFormats(row, desktopFormat, handheldFormat);
}

// A card file cannot be opened from here, so a row that needs to look inside
// the file (Palm Doc) never matches one: the extension alone cannot tell.
QV_EXPORT void QVDP_GetDesktopFormatFromCardFile(int32_t /*volume*/, const char *cardPath, int32_t *desktopFormat,
                                                 int32_t *handheldFormat) {
    reportFormats(recognized(formatTableWithoutRecognizers(), cardPath), desktopFormat, handheldFormat);
}

// Palm Doc files are recognised by their extension alone here: a ".PDB" file
// whose header cannot be read still answers 1 and keeps the name.
QV_EXPORT uint8_t QVDP_ModifyPalmFileName(const char *desktopPath, char *name) {
    if (!desktopPath || !name) return 0;
    const QVDP_Format *format = recognized(formatTableByExtension(), desktopPath);
    if (!format || format->id != kFormatPalmDoc) return 0;
    PalmDatabaseHeader header;
    if (readPalmDatabaseHeader(desktopPath, header))
        std::memcpy(name, header.name.c_str(), header.name.size() + 1);
    return 1;
}

QV_EXPORT const QVDP_DesktopCategory *QVDP_GetDesktopCategories(void) { return desktopCategoryTable(); }

// ---- Database templates; none carries extra header data.

QV_EXPORT const QVDP_DBHeader *QVDP_GetDBHeader(void) { return &kFileListHeader; }
QV_EXPORT const QVDP_DBHeader *QVDP_GetPalmDeviceDBHeader(void) { return &kHandheldListHeader; }
QV_EXPORT const QVDP_DBHeader *QVDP_GetPalmCardDBHeader(void) { return &kCardListHeader; }
QV_EXPORT const void *QVDP_GetDBHeaderData(void) { return nullptr; }
QV_EXPORT const void *QVDP_GetPalmDeviceDBHeaderData(void) { return nullptr; }
QV_EXPORT const void *QVDP_GetPalmCardDBHeaderData(void) { return nullptr; }
