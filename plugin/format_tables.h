// The plug-in's constant tables: every document format it knows (the order
// of the table is the search order), the conversions it offers in each
// direction, and the desktop categories. The lookups in them are the
// services library's (QVGetFormat, QVRecognizeFileType ...).
#pragma once

#include "QVDocsPlugin.h"

#include <cstdint>

namespace qvplugin {

const QVDP_Format *formatTable();             // ended by a row with id 0
const QVDP_Conversion *desktopToHandheldPairs();  // ended by (0, 0)
const QVDP_Conversion *handheldToDesktopPairs();  // ended by (0, 0)
const QVDP_DesktopCategory *desktopCategoryTable();  // ended by id 0

// The format table as seen when a file cannot, or need not, be examined:
// every row with its recognizer dropped (the extension alone decides), and
// the table without the rows that have a recognizer (they never match).
const QVDP_Format *formatTableByExtension();
const QVDP_Format *formatTableWithoutRecognizers();

// The Palm Doc test: the file's 78-byte Palm database header carries type
// 'TEXt' and creator 'REAd'. 1 accepts, 0 refuses (also when unreadable).
int32_t isPalmDocFile(const char *path);

inline constexpr int32_t kFormatPalmDoc = 5;

}  // namespace qvplugin
