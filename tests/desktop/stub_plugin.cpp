// A second document plug-in for the host tests: it claims ".doc" files
// without accepting them on the desktop, accepts ".stub" files, keeps its
// lists in its own folder, and fails QVDP_Init when STUB_PLUGIN_INIT says
// so. Built once complete and once without QVDP_FreeFTP1Accounts.
#include "QVDocsPlugin.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace {

const QVDP_Format kFormats[] = {
    {1, ".DOC", "Stub Word", 0, 1, 0, 0, 0, 1, nullptr},
    {100, ".STUB", "Stub Text", 0, 0, 1, 0, 0, 1, nullptr},
    {101, ".STB", "Stub Handheld", 0, 1, 0, 0, 0, 1, nullptr},
    {0, nullptr, nullptr, 0, 0, 0, 0, 0, 0, nullptr},
};
const QVDP_Conversion kConversions[] = {{100, 101}, {0, 0}};
const QVDP_DesktopCategory kCategories[] = {{1, "Stub Docs", 1}, {0, nullptr, 0}};

int32_t copyText(const char *text, char *buffer, uint32_t *size) {
    if (!size) return 1;
    *size = uint32_t(std::strlen(text) + 1);
    if (!buffer) return 2;
    std::memcpy(buffer, text, *size);
    return 0;
}

bool endsWith(const std::string &s, const std::string &tail) {
    return s.size() >= tail.size() && strcasecmp(s.c_str() + s.size() - tail.size(), tail.c_str()) == 0;
}

}  // namespace

QV_EXPORT int32_t QVDP_Init(void) {
    const char *init = std::getenv("STUB_PLUGIN_INIT");
    return init ? std::atoi(init) : 0;
}
QV_EXPORT void QVDP_Destroy(void) {}
QV_EXPORT int32_t QVDP_GetPluginName(char *buffer, uint32_t *size) { return copyText("Stub Plugin", buffer, size); }
QV_EXPORT int32_t QVDP_GetPluginVersion(int32_t *major, int32_t *minor) {
    if (!major || !minor) return 1;
    *major = *minor = 1;
    return 0;
}
QV_EXPORT int32_t QVDP_GetPluginFolder(char *buffer, uint32_t *size) { return copyText("StubPlugin", buffer, size); }
QV_EXPORT int32_t QVDP_GetPluginDatabaseName(char *buffer, uint32_t *size) {
    return copyText("StubSync.dat", buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginDefaultCardFolder(char *buffer, uint32_t *size) {
    return copyText("/Stub", buffer, size);
}
QV_EXPORT int32_t QVDP_RecognizeFile(const char *path, const QVDP_Format **out) {
    if (!path || !out) return 1;
    const std::string p = path;
    *out = endsWith(p, ".doc") ? &kFormats[0] : endsWith(p, ".stub") ? &kFormats[1] : nullptr;
    return *out ? 0 : 3;
}
QV_EXPORT int32_t QVDP_GetPluginID(int32_t *id) {
    if (!id) return 1;
    *id = 7;
    return 0;
}
QV_EXPORT int32_t QVDP_GetPluginCreatorID(uint32_t *creator) {
    if (!creator) return 1;
    *creator = QV_FOURCC('S', 't', 'u', 'b');
    return 0;
}
QV_EXPORT int32_t QVDP_GetFormat(int32_t id, const QVDP_Format **out) {
    if (!out) return 1;
    *out = nullptr;
    for (const QVDP_Format &f : kFormats)
        if (f.id != 0 && f.id == id) *out = &f;
    return *out ? 0 : 3;
}
QV_EXPORT const QVDP_Conversion *QVDP_GetPCToHHConversions(void) { return kConversions; }
QV_EXPORT const QVDP_Conversion *QVDP_GetHHToPCConversions(void) { return kConversions; }
QV_EXPORT int32_t QVDP_GetDefaultPCToHHConversion(int32_t format) { return format == 100 ? 101 : -1; }
QV_EXPORT const QVDP_DesktopCategory *QVDP_GetDesktopCategories(void) { return kCategories; }
QV_EXPORT int32_t QVDP_GetPalmCategories(const char *, void *) { return 7; }
QV_EXPORT uint8_t QVDP_ModifyPalmFileName(const char *, char *) { return 0; }
QV_EXPORT int32_t QVDP_LoadSettings(const HotSyncConfig *, QVDP_Settings *) { return 0; }
QV_EXPORT int32_t QVDP_SaveSettings(const HotSyncConfig *, const QVDP_Settings *) { return 0; }
QV_EXPORT int32_t QVDP_LoadFTPAccounts(const char *, QVDP_FtpAccounts *list) {
    if (list) *list = {0, nullptr};
    return 8;
}
QV_EXPORT int32_t QVDP_FreeFTPAccounts(QVDP_FtpAccounts *) { return 0; }
#ifndef STUB_INCOMPLETE
QV_EXPORT int32_t QVDP_FreeFTP1Accounts(void *) { return 0; }
#endif
