#include "conversion_driver.h"

#include "QVDPCommon.h"
#include "conversion_results.h"
#include "docs_container.h"
#include "error_record.h"
#include "format_tables.h"
#include "palm_doc_file.h"
#include "shared_file.h"
#include "slides_container.h"
#include "status_codes.h"
#include "temp_files.h"
#include "temporary_file.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qvplugin {

namespace {

enum Format : int32_t {
    kWord = 1,
    kDocs = 6,
    kExcel = 21,
    kPresentation = 31,
    kSlides = 32,
};

// Desktop formats only the office programs read and write.
bool isLotusOrQuattro(int32_t format) { return format >= 33 && format <= 37; }
bool isWordPerfectOrHtml(int32_t format) { return format == 38 || format == 39; }

bool isOfficeToHandheld(int32_t from, int32_t to) {
    return (isLotusOrQuattro(from) && to == kExcel) || (isWordPerfectOrHtml(from) && to == kWord);
}
bool isOfficeFromHandheld(int32_t from, int32_t to) {
    return (from == kExcel && isLotusOrQuattro(to)) || (from == kWord && isWordPerfectOrHtml(to));
}

enum class Converter { None, WordToDocs, DocsToWord, PresentationToSlides, SlidesToPresentation, Office };

Converter converterFor(int32_t from, int32_t to) {
    if (from == kWord && to == kDocs) return Converter::WordToDocs;
    if (from == kDocs && to == kWord) return Converter::DocsToWord;
    if (from == kPresentation && to == kSlides) return Converter::PresentationToSlides;
    if (from == kSlides && to == kPresentation) return Converter::SlidesToPresentation;
    if (isOfficeToHandheld(from, to) || isOfficeFromHandheld(from, to)) return Converter::Office;
    return Converter::None;
}

bool fileExists(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool badArguments(QVDP_Error *error, std::initializer_list<const char *> texts) {
    for (const char *text : texts) {
        if (!text || !*text) {
            qv::setConduitError(error, qv::kBadParameters);
            return true;
        }
    }
    return false;
}

// Runs the converter the pair of formats needs from source into
// destination. A failure is a conversion error naming the converter's
// message or, for the office programs, `reported` (the file the user knows).
// A failed conversion leaves no destination it created or truncated.
bool runConverter(const DocumentConverters &converters, QVDP_Error *error, Converter converter,
                  const std::string &source, const std::string &destination, int32_t from, int32_t to,
                  const std::string &reported) {
    const bool existed = fileExists(destination);
    bool ok = false;
    bool truncates = false;
    switch (converter) {
    case Converter::WordToDocs:
    case Converter::DocsToWord: {
        truncates = true;
        const uint32_t result = converter == Converter::WordToDocs ? converters.wordToDocs(source, destination)
                                                                   : converters.docsToWord(source, destination);
        ok = !conv::resultFailed(result);
        if (!ok) qv::setConversionError(error, conv::resultText(result));
        break;
    }
    case Converter::PresentationToSlides:
    case Converter::SlidesToPresentation: {
        const bool ran = converter == Converter::PresentationToSlides
                             ? converters.presentationToSlides(error, source, destination)
                             : converters.slidesToPresentation(error, source, destination);
        ok = ran && error->code == 0;
        // A presentation program that could not be started wrote nothing:
        // that is a failed conversion, not an empty presentation.
        if (!ok && error->code == 0) qv::setConversionError(error, reported);
        break;
    }
    case Converter::Office:
        ok = converters.officeConversion(source, destination, from, to);
        if (!ok) qv::setConversionError(error, reported);
        break;
    case Converter::None:
        qv::setConduitError(error, qv::kFormatNotSupported);
        return false;
    }
    if (!ok && (truncates || !existed)) ::unlink(destination.c_str());
    return ok;
}

// The free-memory check before anything goes into handheld RAM: the file
// must fit with `reserve` bytes left free, else kind 1, code 14.
bool fitsOnHandheld(QVDP_Error *error, const std::string &file, int32_t reserve) {
    const int32_t fits = CheckAvailableSpaceOnPalmDevice(error, file.c_str(), reserve);
    if (error->code != 0) return false;
    if (!fits) qv::setConduitError(error, qv::kNotEnoughPalmMemory);
    return fits != 0;
}

bool writeStream(QVDP_Error *error, const std::string &file, const char *name, uint32_t creator, uint32_t type) {
    return StreamCopyFileToPalmDevice(error, file.c_str(), name, creator, type) != 0 && error->code == 0;
}

bool readStream(QVDP_Error *error, const char *name, const std::string &file) {
    return StreamCopyFileFromPalmDevice(error, file.c_str(), name) != 0 && error->code == 0;
}

// The desktop file written into handheld RAM in the container of its format.
void storeOnHandheld(QVDP_Error *error, const std::string &file, const char *name, const QVDP_Format &row) {
    if (row.id == kFormatPalmDoc)
        installPalmDocFile(error, file, name);
    else if (row.id == kDocs)
        writeDocsContainer(error, file, name);
    else
        writeStream(error, file, name, row.creator, row.type);
}

}  // namespace

void convertFile(const DocumentConverters &converters, QVDP_Error *error, const char *sourceFile,
                 const char *destinationFile, int32_t sourceFormat, int32_t destinationFormat) {
    if (badArguments(error, {sourceFile, destinationFile})) return;
    runConverter(converters, error, converterFor(sourceFormat, destinationFormat), sourceFile, destinationFile,
                 sourceFormat, destinationFormat, sourceFile);
}

void convertToPalmDB(const DocumentConverters &converters, QVDP_Error *error, const char *desktopFile,
                     const char *databaseName, int32_t desktopFormat, int32_t handheldFormat,
                     int32_t bytesToKeepFree, uint32_t creator, uint32_t type) {
    if (badArguments(error, {desktopFile, databaseName})) return;
    const Converter converter = converterFor(desktopFormat, handheldFormat);
    const bool supported = converter == Converter::WordToDocs || converter == Converter::DocsToWord ||
                           converter == Converter::PresentationToSlides ||
                           isOfficeToHandheld(desktopFormat, handheldFormat);
    if (!supported) {
        qv::setConduitError(error, qv::kFormatNotSupported);
        return;
    }
    TemporaryFile temporary(error);
    if (!temporary.ok()) return;
    // The office programs create their output themselves.
    if (converter == Converter::Office) temporary.removeFile();
    if (!runConverter(converters, error, converter, desktopFile, temporary.path(), desktopFormat, handheldFormat,
                      desktopFile))
        return;
    if (!fitsOnHandheld(error, temporary.path(), bytesToKeepFree)) return;
    switch (converter) {
    case Converter::WordToDocs: writeDocsContainer(error, temporary.path(), databaseName); break;
    case Converter::PresentationToSlides: writeSlidesContainer(error, temporary.path(), databaseName); break;
    default: writeStream(error, temporary.path(), databaseName, creator, type); break;
    }
}

void convertFromPalmDB(const DocumentConverters &converters, QVDP_Error *error, const char *databaseName,
                       const char *desktopFile, int32_t handheldFormat, int32_t desktopFormat) {
    if (badArguments(error, {databaseName, desktopFile})) return;
    const Converter converter = converterFor(handheldFormat, desktopFormat);
    const bool supported = converter == Converter::WordToDocs || converter == Converter::DocsToWord ||
                           converter == Converter::SlidesToPresentation ||
                           isOfficeFromHandheld(handheldFormat, desktopFormat);
    if (!supported) {
        qv::setConduitError(error, qv::kFormatNotSupported);
        return;
    }
    TemporaryFile temporary(error);
    if (!temporary.ok()) return;
    bool read = false;
    switch (converter) {
    case Converter::SlidesToPresentation: read = readSlidesContainer(error, databaseName, temporary.path()); break;
    case Converter::DocsToWord: read = readDocsContainer(error, databaseName, temporary.path()); break;
    default: read = readStream(error, databaseName, temporary.path()); break;
    }
    if (!read) return;
    runConverter(converters, error, converter, temporary.path(), desktopFile, handheldFormat, desktopFormat,
                 desktopFile);
}

void copyToPalmDevice(const DocumentConverters &converters, QVDP_Error *error, const char *desktopFile,
                      const char *databaseName, int32_t desktopFormat, int32_t handheldFormat,
                      int32_t bytesToKeepFree) {
    const QVDP_Format *row = nullptr;
    if (QVGetFormat(handheldFormat, formatTable(), &row) != qv::kOk || !row) {
        qv::setConduitError(error, qv::kFormatNotSupported);
        return;
    }
    if (desktopFormat != handheldFormat) {
        convertToPalmDB(converters, error, desktopFile, databaseName, desktopFormat, handheldFormat, bytesToKeepFree,
                        row->creator, row->type);
        return;
    }
    if (badArguments(error, {desktopFile, databaseName})) return;
    if (!fitsOnHandheld(error, desktopFile, bytesToKeepFree)) return;
    storeOnHandheld(error, desktopFile, databaseName, *row);
}

void copyFromPalmDevice(const DocumentConverters &converters, QVDP_Error *error, const char *desktopFile,
                        const char *databaseName, int32_t desktopFormat, int32_t handheldFormat) {
    if (desktopFormat != handheldFormat) {
        convertFromPalmDB(converters, error, databaseName, desktopFile, handheldFormat, desktopFormat);
        return;
    }
    if (badArguments(error, {desktopFile, databaseName})) return;
    if (handheldFormat == kFormatPalmDoc)
        exportPalmDocFile(error, databaseName, desktopFile);
    else if (handheldFormat == kDocs)
        readDocsContainer(error, databaseName, desktopFile);
    else
        readStream(error, databaseName, desktopFile);
}

void copyToPalmCard(const DocumentConverters &converters, QVDP_Error *error, const char *desktopFile,
                    uint32_t cardFile, int32_t desktopFormat, int32_t handheldFormat) {
    if (badArguments(error, {desktopFile})) return;
    if (desktopFormat == handheldFormat) {
        DirectCopyFileToPalmCard(error, desktopFile, cardFile);
        return;
    }
    TemporaryFile temporary(error);
    if (!temporary.ok()) return;
    if (runConverter(converters, error, converterFor(desktopFormat, handheldFormat), desktopFile, temporary.path(),
                     desktopFormat, handheldFormat, desktopFile))
        DirectCopyFileToPalmCard(error, temporary.c_str(), cardFile);
}

void copyFromPalmCard(const DocumentConverters &converters, QVDP_Error *error, const char *desktopFile,
                      uint32_t cardFile, int32_t desktopFormat, int32_t handheldFormat) {
    if (badArguments(error, {desktopFile})) return;
    if (desktopFormat == handheldFormat) {
        DirectCopyFileFromPalmCard(error, desktopFile, cardFile);
        return;
    }
    TemporaryFile temporary(error);
    if (!temporary.ok()) return;
    if (DirectCopyFileFromPalmCard(error, temporary.c_str(), cardFile) && error->code == 0)
        runConverter(converters, error, converterFor(handheldFormat, desktopFormat), temporary.path(), desktopFile,
                     handheldFormat, desktopFormat, desktopFile);
}

void prepareDestPCFile(QVDP_Error *error, const char *desktopFile, const char *temporaryFile, int32_t,
                       int32_t handheldFormat) {
    if (handheldFormat != kSlides) return;
    if (badArguments(error, {desktopFile, temporaryFile})) return;
    const int in = platform::openFile(desktopFile, platform::Access::Read, platform::Disposition::OpenExisting,
                                      platform::Share::Read);
    if (in < 0) {
        // No presentation on the desktop yet: the conversion makes a new one.
        if (errno != ENOENT) qv::setSystemError(error, qv::kGeneralWindowsError, uint32_t(errno));
        return;
    }
    platform::AtomicFile out(temporaryFile);
    std::error_code ec;
    bool ok = out.open(ec);
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ec = std::error_code(errno, std::generic_category());
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = out.write(buffer, size_t(n), ec);
    }
    platform::closeFile(in);
    if (ok) ok = out.commit(ec);
    if (!ok) qv::setSystemError(error, qv::kGeneralWindowsError, uint32_t(ec.value() ? ec.value() : EIO));
}

}  // namespace qvplugin
