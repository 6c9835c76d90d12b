// The converters the conversion driver runs, behind one interface: Word
// documents to and from Docs files (the converter core), presentations to
// and from Slides files, and the spreadsheet and word-processor conversions
// done by the office programs. The driver decides which one a pair of
// formats needs and turns their answers into the caller's error record;
// tests hand the driver converters of their own.
#pragma once

#include "qvdp_types.h"

#include <cstdint>
#include <string>

namespace qvplugin {

class DocumentConverters {
public:
    virtual ~DocumentConverters() = default;

    // 0, or a result code of the converter core (its text is the message the
    // user sees). The destination is created or truncated first.
    virtual uint32_t wordToDocs(const std::string &source, const std::string &destination) const = 0;
    virtual uint32_t docsToWord(const std::string &source, const std::string &destination) const = 0;

    // true when the office program wrote the destination; false for every
    // failure, also for a pair of formats no program converts.
    virtual bool officeConversion(const std::string &source, const std::string &destination, int32_t sourceFormat,
                                  int32_t destinationFormat) const = 0;

    // A failed conversion fills the error record (kind 5, code 17, the
    // destination). false, with nothing written and the record untouched,
    // when the presentation program could not be started.
    virtual bool presentationToSlides(QVDP_Error *error, const std::string &presentation,
                                      const std::string &slides) const = 0;
    virtual bool slidesToPresentation(QVDP_Error *error, const std::string &slides,
                                      const std::string &presentation) const = 0;
};

// The converters of this plug-in.
const DocumentConverters &pluginConverters();

}  // namespace qvplugin
