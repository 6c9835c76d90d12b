// The conversion and copy operations as the hosts bind them. Each reports
// through the caller's error record; the value returned is the record's
// code (1 when there is no record to report into).
#include "QVDocsPlugin.h"
#include "conversion_driver.h"
#include "document_converters.h"
#include "status_codes.h"

using namespace qvplugin;

QV_EXPORT int32_t QVDP_CopyToPalmDevice(QVDP_Error *error, const char *desktopFile, const char *databaseName,
                                        int32_t desktopFormat, int32_t handheldFormat, int32_t bytesToKeepFree) {
    if (!error) return qv::kBadParameters;
    copyToPalmDevice(pluginConverters(), error, desktopFile, databaseName, desktopFormat, handheldFormat,
                     bytesToKeepFree);
    return error->code;
}

QV_EXPORT int32_t QVDP_CopyFromPalmDevice(QVDP_Error *error, const char *desktopFile, const char *databaseName,
                                          int32_t desktopFormat, int32_t handheldFormat) {
    if (!error) return qv::kBadParameters;
    copyFromPalmDevice(pluginConverters(), error, desktopFile, databaseName, desktopFormat, handheldFormat);
    return error->code;
}

QV_EXPORT int32_t QVDP_CopyToPalmCard(QVDP_Error *error, const char *desktopFile, uint32_t cardFile,
                                      int32_t desktopFormat, int32_t handheldFormat) {
    if (!error) return qv::kBadParameters;
    copyToPalmCard(pluginConverters(), error, desktopFile, cardFile, desktopFormat, handheldFormat);
    return error->code;
}

QV_EXPORT int32_t QVDP_CopyFromPalmCard(QVDP_Error *error, const char *desktopFile, uint32_t cardFile,
                                        int32_t desktopFormat, int32_t handheldFormat) {
    if (!error) return qv::kBadParameters;
    copyFromPalmCard(pluginConverters(), error, desktopFile, cardFile, desktopFormat, handheldFormat);
    return error->code;
}

QV_EXPORT int32_t QVDP_ConvertFile(QVDP_Error *error, const char *sourceFile, const char *destinationFile,
                                   int32_t sourceFormat, int32_t destinationFormat) {
    if (!error) return qv::kBadParameters;
    convertFile(pluginConverters(), error, sourceFile, destinationFile, sourceFormat, destinationFormat);
    return error->code;
}

QV_EXPORT int32_t QVDP_ConvertToPalmDB(QVDP_Error *error, const char *desktopFile, const char *databaseName,
                                       int32_t desktopFormat, int32_t handheldFormat, int32_t bytesToKeepFree,
                                       uint32_t creator, uint32_t type) {
    if (!error) return qv::kBadParameters;
    convertToPalmDB(pluginConverters(), error, desktopFile, databaseName, desktopFormat, handheldFormat,
                    bytesToKeepFree, creator, type);
    return error->code;
}

QV_EXPORT int32_t QVDP_ConvertFromPalmDB(QVDP_Error *error, const char *databaseName, const char *desktopFile,
                                         int32_t handheldFormat, int32_t desktopFormat) {
    if (!error) return qv::kBadParameters;
    convertFromPalmDB(pluginConverters(), error, databaseName, desktopFile, handheldFormat, desktopFormat);
    return error->code;
}

QV_EXPORT int32_t QVDP_PrepareDestPCFile(QVDP_Error *error, const char *desktopFile, const char *temporaryFile,
                                         int32_t desktopFormat, int32_t handheldFormat) {
    if (!error) return qv::kBadParameters;
    prepareDestPCFile(error, desktopFile, temporaryFile, desktopFormat, handheldFormat);
    return error->code;
}
