// The conversion driver: the plug-in's eight conversion and copy requests.
// Each request moves one file between the desktop and the handheld (a
// database in handheld RAM or an open card file), converting it on the way
// when the desktop and handheld formats differ, through temporary files that
// are deleted before the request returns. Before anything is written to
// handheld RAM the handheld must keep the requested number of bytes free.
// Failures are reported in the caller's cleared error record only: the
// first failure stops the request and later steps do not overwrite it.
#pragma once

#include "document_converters.h"
#include "qvdp_types.h"

#include <cstdint>

namespace qvplugin {

void copyToPalmDevice(const DocumentConverters &converters, QVDP_Error *error, const char *desktopFile,
                      const char *databaseName, int32_t desktopFormat, int32_t handheldFormat,
                      int32_t bytesToKeepFree);
void copyFromPalmDevice(const DocumentConverters &converters, QVDP_Error *error, const char *desktopFile,
                        const char *databaseName, int32_t desktopFormat, int32_t handheldFormat);
void copyToPalmCard(const DocumentConverters &converters, QVDP_Error *error, const char *desktopFile,
                    uint32_t cardFile, int32_t desktopFormat, int32_t handheldFormat);
void copyFromPalmCard(const DocumentConverters &converters, QVDP_Error *error, const char *desktopFile,
                      uint32_t cardFile, int32_t desktopFormat, int32_t handheldFormat);
void convertFile(const DocumentConverters &converters, QVDP_Error *error, const char *sourceFile,
                 const char *destinationFile, int32_t sourceFormat, int32_t destinationFormat);
void convertToPalmDB(const DocumentConverters &converters, QVDP_Error *error, const char *desktopFile,
                     const char *databaseName, int32_t desktopFormat, int32_t handheldFormat,
                     int32_t bytesToKeepFree, uint32_t creator, uint32_t type);
void convertFromPalmDB(const DocumentConverters &converters, QVDP_Error *error, const char *databaseName,
                       const char *desktopFile, int32_t handheldFormat, int32_t desktopFormat);
void prepareDestPCFile(QVDP_Error *error, const char *desktopFile, const char *temporaryFile,
                       int32_t desktopFormat, int32_t handheldFormat);

}  // namespace qvplugin
