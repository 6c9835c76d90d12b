// This build drives no office program: every conversion that needs one
// fails as it does on a machine where the program is not installed.
#include "office_converters.h"

namespace qvplugin {

bool runOfficeConversion(const std::string &, const std::string &, int32_t, int32_t) { return false; }

bool convertPresentationToSlides(QVDP_Error *, const std::string &, const std::string &) { return false; }

bool convertSlidesToPresentation(QVDP_Error *, const std::string &, const std::string &) { return false; }

}  // namespace qvplugin
