// The conversions the office programs carry out: spreadsheets through the
// spreadsheet program (formats 21 and 33 to 37), documents through the word
// processor (formats 1, 38 and 39) and presentations to and from Slides
// files through the presentation program. A program that is not installed
// makes its conversions fail: the office conversion answers false, and the
// presentation converters return without writing anything.
#pragma once

#include "qvdp_types.h"

#include <cstdint>
#include <string>

namespace qvplugin {

// true when the destination was written.
bool runOfficeConversion(const std::string &source, const std::string &destination, int32_t sourceFormat,
                         int32_t destinationFormat);

// false, with nothing written and the error record untouched, when the
// presentation program could not be started; a conversion that fails once
// started fills kind 5, code 17 with the destination.
bool convertPresentationToSlides(QVDP_Error *error, const std::string &presentation, const std::string &slides);
bool convertSlidesToPresentation(QVDP_Error *error, const std::string &slides, const std::string &presentation);

}  // namespace qvplugin
