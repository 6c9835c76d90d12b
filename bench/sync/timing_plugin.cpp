// A plug-in for the HotSync benchmark: every export hands the call to the
// document plug-in (the library named by SYNC_BENCH_PLUGIN) and the time
// spent in its conversion and copy operations is added to the counter the
// benchmark program exports, so that the conduit's own time can be told
// from the time spent converting.
#include "QVDocsPlugin.h"

#include <chrono>
#include <cstdlib>
#include <dlfcn.h>

namespace {

void *documentPlugin() {
    static void *module = ::dlopen(std::getenv("SYNC_BENCH_PLUGIN"), RTLD_NOW | RTLD_LOCAL);
    if (!module) std::abort();
    return module;
}

template <class F>
F entry(const char *name) {
    void *symbol = ::dlsym(documentPlugin(), name);
    if (!symbol) std::abort();
    return reinterpret_cast<F>(symbol);
}

#define CALL(name, ...) entry<decltype(&name)>(#name)(__VA_ARGS__)

// Adds the time of one conversion or copy to the benchmark's counter.
class Timed {
public:
    Timed() : start_(std::chrono::steady_clock::now()) {}
    ~Timed() {
        static auto *counter = static_cast<uint64_t *>(::dlsym(RTLD_DEFAULT, "syncBenchConversionNanos"));
        if (counter)
            *counter += uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now() - start_)
                                     .count());
    }

private:
    std::chrono::steady_clock::time_point start_;
};

}  // namespace

QV_EXPORT void QVDP_Destroy(void) { CALL(QVDP_Destroy); }
QV_EXPORT int32_t QVDP_GetPluginName(char *b, uint32_t *s) { return CALL(QVDP_GetPluginName, b, s); }
QV_EXPORT int32_t QVDP_GetPluginBigName(char *b, uint32_t *s) { return CALL(QVDP_GetPluginBigName, b, s); }
QV_EXPORT int32_t QVDP_GetPluginFolder(char *b, uint32_t *s) { return CALL(QVDP_GetPluginFolder, b, s); }
QV_EXPORT int32_t QVDP_GetPluginDatabaseName(char *b, uint32_t *s) { return CALL(QVDP_GetPluginDatabaseName, b, s); }
QV_EXPORT int32_t QVDP_GetPluginDefaultCardFolder(char *b, uint32_t *s) {
    return CALL(QVDP_GetPluginDefaultCardFolder, b, s);
}
QV_EXPORT int32_t QVDP_GetPluginCardPathsFileName(char *b, uint32_t *s) {
    return CALL(QVDP_GetPluginCardPathsFileName, b, s);
}
QV_EXPORT int32_t QVDP_GetPluginCreatorID(uint32_t *c) { return CALL(QVDP_GetPluginCreatorID, c); }
QV_EXPORT int32_t QVDP_GetPluginID(int32_t *id) { return CALL(QVDP_GetPluginID, id); }
QV_EXPORT uint32_t QVDP_GetPluginDBHHType(void) { return CALL(QVDP_GetPluginDBHHType); }
QV_EXPORT int32_t QVDP_GetFormat(int32_t id, const QVDP_Format **out) { return CALL(QVDP_GetFormat, id, out); }
QV_EXPORT void QVDP_GetDesktopFormatFromPalmDB(const char *n, int32_t *d, int32_t *h) {
    CALL(QVDP_GetDesktopFormatFromPalmDB, n, d, h);
}
QV_EXPORT void QVDP_GetDesktopFormatFromCardFile(int32_t v, const char *p, int32_t *d, int32_t *h) {
    CALL(QVDP_GetDesktopFormatFromCardFile, v, p, d, h);
}
QV_EXPORT uint8_t QVDP_ModifyPalmFileName(const char *p, char *n) { return CALL(QVDP_ModifyPalmFileName, p, n); }

QV_EXPORT int32_t QVDP_CopyToPalmDevice(QVDP_Error *e, const char *f, const char *n, int32_t d, int32_t h,
                                        int32_t k) {
    Timed timed;
    return CALL(QVDP_CopyToPalmDevice, e, f, n, d, h, k);
}
QV_EXPORT int32_t QVDP_CopyFromPalmDevice(QVDP_Error *e, const char *f, const char *n, int32_t d, int32_t h) {
    Timed timed;
    return CALL(QVDP_CopyFromPalmDevice, e, f, n, d, h);
}
QV_EXPORT int32_t QVDP_CopyToPalmCard(QVDP_Error *e, const char *f, uint32_t c, int32_t d, int32_t h) {
    Timed timed;
    return CALL(QVDP_CopyToPalmCard, e, f, c, d, h);
}
QV_EXPORT int32_t QVDP_CopyFromPalmCard(QVDP_Error *e, const char *f, uint32_t c, int32_t d, int32_t h) {
    Timed timed;
    return CALL(QVDP_CopyFromPalmCard, e, f, c, d, h);
}
QV_EXPORT int32_t QVDP_PrepareDestPCFile(QVDP_Error *e, const char *f, const char *t, int32_t d, int32_t h) {
    Timed timed;
    return CALL(QVDP_PrepareDestPCFile, e, f, t, d, h);
}

QV_EXPORT const QVDP_DBHeader *QVDP_GetDBHeader(void) { return CALL(QVDP_GetDBHeader); }
QV_EXPORT const void *QVDP_GetDBHeaderData(void) { return CALL(QVDP_GetDBHeaderData); }
QV_EXPORT const QVDP_DBHeader *QVDP_GetPalmDeviceDBHeader(void) { return CALL(QVDP_GetPalmDeviceDBHeader); }
QV_EXPORT const void *QVDP_GetPalmDeviceDBHeaderData(void) { return CALL(QVDP_GetPalmDeviceDBHeaderData); }
QV_EXPORT const QVDP_DBHeader *QVDP_GetPalmCardDBHeader(void) { return CALL(QVDP_GetPalmCardDBHeader); }
QV_EXPORT const void *QVDP_GetPalmCardDBHeaderData(void) { return CALL(QVDP_GetPalmCardDBHeaderData); }
QV_EXPORT int32_t QVDP_LoadSettings(const HotSyncConfig *c, QVDP_Settings *s) { return CALL(QVDP_LoadSettings, c, s); }
QV_EXPORT int32_t QVDP_SaveSettings(const HotSyncConfig *c, const QVDP_Settings *s) {
    return CALL(QVDP_SaveSettings, c, s);
}
QV_EXPORT int32_t QVDP_SyncConfigureDetailed(QVDP_Window w, HotSyncConfig *c) {
    return CALL(QVDP_SyncConfigureDetailed, w, c);
}
QV_EXPORT int32_t QVDP_SyncPalmCategoriesToPC(const char *f) { return CALL(QVDP_SyncPalmCategoriesToPC, f); }
QV_EXPORT int32_t QVDP_SyncFTPAccountsToPC(const char *f) { return CALL(QVDP_SyncFTPAccountsToPC, f); }
