// A stand-in document plug-in for the conduit tests: it has every export the
// conduit binds and appends a line per call to the file named by
// FAKE_PLUGIN_TRACE (also when it is loaded and unloaded), so a test sees
// which calls a run made and in which order. FAKE_PLUGIN_THROW names an
// export that throws instead of answering; FAKE_PLUGIN_FOLDER replaces the
// plug-in folder name "FakePlugin". Built a second time without
// QVDP_PrepareDestPCFile (FAKE_PLUGIN_WITHOUT_PREPARE).
#include "QVDocsPlugin.h"

#include "named_objects.h"
#include "user_manager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

void trace(const std::string &line) {
    const char *path = std::getenv("FAKE_PLUGIN_TRACE");
    if (!path) return;
    if (FILE *f = std::fopen(path, "a")) {
        std::fputs((line + "\n").c_str(), f);
        std::fclose(f);
    }
}

// Traces the call, then throws when the test asked this export to.
void called(const char *name, const std::string &details = {}) {
    trace(details.empty() ? std::string(name) : std::string(name) + " " + details);
    const char *thrower = std::getenv("FAKE_PLUGIN_THROW");
    if (thrower && std::strcmp(thrower, name) == 0) throw std::runtime_error(name);
}

int32_t answerText(const char *text, char *buffer, uint32_t *size) {
    if (!size) return 1;
    const uint32_t needed = uint32_t(std::strlen(text) + 1);
    const uint32_t room = *size;
    *size = needed;
    if (!buffer || room < needed) return 2;
    std::memcpy(buffer, text, needed);
    return 0;
}

std::string folderName() {
    const char *folder = std::getenv("FAKE_PLUGIN_FOLDER");
    return folder ? folder : "FakePlugin";
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", unsigned(value));
    return text;
}

// Whether the desktop program would find a run in progress right now.
std::string wantsStartState() {
    auto event = platform::NamedEvent::openExisting("QVDP_COND_WANTS_START");
    if (!event) return "absent";
    return event->isSignalled() ? "signalled" : "unsignalled";
}

bool pluginFoldersExist(uint32_t userId) {
    std::filesystem::path userFolder;
    if (palm::users::userFolder(userId, userFolder) != 0) return false;
    const auto folder = userFolder / folderName();
    return std::filesystem::is_directory(folder / "TEMP") && std::filesystem::is_directory(folder / "BACKUP");
}

const QVDP_DBHeader kDesktopHeader = {QVDP_DB_MAGIC, 1, 1, 874, 0};
const QVDP_DBHeader kRamHeader = {QVDP_DB_MAGIC, 1, 1, 56, 0};
const QVDP_DBHeader kCardHeader = {QVDP_DB_MAGIC, 1, 1, 280, 0};

__attribute__((constructor)) void loaded() { trace("loaded"); }
__attribute__((destructor)) void unloaded() { trace("unloaded"); }

}  // namespace

QV_EXPORT void QVDP_Destroy(void) { called("QVDP_Destroy"); }
QV_EXPORT int32_t QVDP_GetPluginName(char *buffer, uint32_t *size) {
    called("QVDP_GetPluginName");
    return answerText("Fake", buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginBigName(char *buffer, uint32_t *size) {
    called("QVDP_GetPluginBigName");
    return answerText("Fake Plug-in", buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginFolder(char *buffer, uint32_t *size) {
    called("QVDP_GetPluginFolder");
    return answerText(folderName().c_str(), buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginDatabaseName(char *buffer, uint32_t *size) {
    called("QVDP_GetPluginDatabaseName");
    return answerText("FakeSync.dat", buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginDefaultCardFolder(char *buffer, uint32_t *size) {
    called("QVDP_GetPluginDefaultCardFolder");
    return answerText("/Documents", buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginCardPathsFileName(char *buffer, uint32_t *size) {
    called("QVDP_GetPluginCardPathsFileName");
    return answerText("/FakeSyncMain.dat", buffer, size);
}
QV_EXPORT int32_t QVDP_GetPluginCreatorID(uint32_t *creator) {
    called("QVDP_GetPluginCreatorID");
    if (creator) *creator = QVDP_PLUGIN_CREATOR;
    return 0;
}
QV_EXPORT int32_t QVDP_GetPluginID(int32_t *id) {
    called("QVDP_GetPluginID");
    if (id) *id = 1;
    return 0;
}
QV_EXPORT int32_t QVDP_CopyToPalmCard(QVDP_Error *, const char *, uint32_t, int32_t, int32_t) {
    called("QVDP_CopyToPalmCard");
    return 0;
}
QV_EXPORT int32_t QVDP_CopyToPalmDevice(QVDP_Error *, const char *, const char *, int32_t, int32_t, int32_t) {
    called("QVDP_CopyToPalmDevice");
    return 0;
}
QV_EXPORT int32_t QVDP_CopyFromPalmCard(QVDP_Error *, const char *, uint32_t, int32_t, int32_t) {
    called("QVDP_CopyFromPalmCard");
    return 0;
}
QV_EXPORT int32_t QVDP_CopyFromPalmDevice(QVDP_Error *, const char *, const char *, int32_t, int32_t) {
    called("QVDP_CopyFromPalmDevice");
    return 0;
}
QV_EXPORT void QVDP_GetDesktopFormatFromPalmDB(const char *, int32_t *, int32_t *) {
    called("QVDP_GetDesktopFormatFromPalmDB");
}
QV_EXPORT void QVDP_GetDesktopFormatFromCardFile(int32_t, const char *, int32_t *, int32_t *) {
    called("QVDP_GetDesktopFormatFromCardFile");
}
QV_EXPORT int32_t QVDP_GetFormat(int32_t, const QVDP_Format **out) {
    called("QVDP_GetFormat");
    if (out) *out = nullptr;
    return 3;
}
QV_EXPORT const QVDP_DBHeader *QVDP_GetDBHeader(void) {
    called("QVDP_GetDBHeader");
    return &kDesktopHeader;
}
QV_EXPORT const void *QVDP_GetDBHeaderData(void) {
    called("QVDP_GetDBHeaderData");
    return nullptr;
}
QV_EXPORT int32_t QVDP_SyncConfigureDetailed(QVDP_Window parent, HotSyncConfig *config) {
    called("QVDP_SyncConfigureDetailed", std::string("parent=") + (parent ? "set" : "none") + " creator=" +
                                             hex(config->creatorId) + " user=" + config->userName);
    // The choice goes back through the record the host handed over.
    config->newAction = 2;
    config->preference = 2;
    return 0;
}
QV_EXPORT const QVDP_DBHeader *QVDP_GetPalmDeviceDBHeader(void) {
    called("QVDP_GetPalmDeviceDBHeader");
    return &kRamHeader;
}
QV_EXPORT const void *QVDP_GetPalmDeviceDBHeaderData(void) {
    called("QVDP_GetPalmDeviceDBHeaderData");
    return nullptr;
}
QV_EXPORT const QVDP_DBHeader *QVDP_GetPalmCardDBHeader(void) {
    called("QVDP_GetPalmCardDBHeader");
    return &kCardHeader;
}
QV_EXPORT const void *QVDP_GetPalmCardDBHeaderData(void) {
    called("QVDP_GetPalmCardDBHeaderData");
    return nullptr;
}
QV_EXPORT int32_t QVDP_LoadSettings(const HotSyncConfig *config, QVDP_Settings *out) {
    called("QVDP_LoadSettings", "size=" + std::to_string(config->size) + " version=" +
                                    std::to_string(config->version) + " creator=" + hex(config->creatorId) +
                                    " user=" + std::to_string(config->userId) + " name=" + config->userName +
                                    " folders=" + (pluginFoldersExist(config->userId) ? "1" : "0"));
    std::memset(out, 0, sizeof *out);
    std::strcpy(out->syncDir, "/nowhere");
    out->backupType = 1;
    return 0;
}
QV_EXPORT int32_t QVDP_SaveSettings(const HotSyncConfig *, const QVDP_Settings *) {
    called("QVDP_SaveSettings");
    return 0;
}
QV_EXPORT int32_t QVDP_SyncPalmCategoriesToPC(const char *userFolder) {
    trace(std::string("wants-start=") + wantsStartState());
    called("QVDP_SyncPalmCategoriesToPC", userFolder);
    return 0;
}
QV_EXPORT int32_t QVDP_SyncFTPAccountsToPC(const char *userFolder) {
    called("QVDP_SyncFTPAccountsToPC", userFolder);
    return 0;
}
QV_EXPORT uint8_t QVDP_ModifyPalmFileName(const char *, char *) {
    called("QVDP_ModifyPalmFileName");
    return 0;
}
QV_EXPORT uint32_t QVDP_GetPluginDBHHType(void) {
    called("QVDP_GetPluginDBHHType");
    return QVDP_PLUGIN_DB_TYPE;
}
#ifndef FAKE_PLUGIN_WITHOUT_PREPARE
QV_EXPORT int32_t QVDP_PrepareDestPCFile(QVDP_Error *, const char *, const char *, int32_t, int32_t) {
    called("QVDP_PrepareDestPCFile");
    return 0;
}
#endif
