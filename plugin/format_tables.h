// The plug-in's constant tables: every document format it knows (the order
// of the table is the search order), the conversions it offers in each
// direction, and the desktop categories; with the lookups the exports use:
// by id, by file extension (with each row's optional recognizer), by
// handheld database type, and the default conversion of a format.
#pragma once

#include "QVDocsPlugin.h"

#include <cstdint>
#include <string_view>

namespace qvplugin {

const QVDP_Format *formatTable();             // ended by a row with id 0
const QVDP_Conversion *desktopToHandheldPairs();  // ended by (0, 0)
const QVDP_Conversion *handheldToDesktopPairs();  // ended by (0, 0)
const QVDP_DesktopCategory *desktopCategoryTable();  // ended by id 0

// The row with this id, or null.
const QVDP_Format *findFormat(int32_t id);
// The first row whose handheld type is `type` (0 never matches), or null.
const QVDP_Format *findFormatByHandheldType(uint32_t type);
// The `to` of the first pair whose `from` is `format`; -1 when none.
int32_t firstConversion(const QVDP_Conversion *pairs, int32_t format);

// How recognition treats a row that has a recognizer.
enum class RecognizerUse {
    Run,           // the recognizer must accept the file (desktop files)
    Ignore,        // the extension alone decides
    RefuseRow,     // the row is never chosen: the file cannot be examined here
};

// The extension of the path's last component, dot included and upper case
// (ASCII); empty when it has none.
std::string recognitionExtension(std::string_view path);
// The first row that lists the path's extension and, per `use`, passes its
// recognizer; null when none.
const QVDP_Format *recognizeFile(const char *path, RecognizerUse use);

// The Palm Doc test: the file's 78-byte Palm database header carries type
// 'TEXt' and creator 'REAd'. 1 accepts, 0 refuses (also when unreadable).
int32_t isPalmDocFile(const char *path);

inline constexpr int32_t kFormatPalmDoc = 5;

}  // namespace qvplugin
