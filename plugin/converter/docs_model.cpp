#include "docs_model.h"

#include <algorithm>
#include <climits>

namespace conv {

const char *docsRecordName(uint16_t type) {
    switch (type) {
    case kDocsText: return "text";
    case kDocsTextColor: return "textColor";
    case kDocsHighlightColor: return "highlightColor";
    case kDocsFormatReset: return "formatReset";
    case kDocsCharFormat: return "charFormat";
    case kDocsFieldStart: return "fieldStart";
    case kDocsSectionEnd: return "sectionEnd";
    case kDocsParagraphEnd: return "paragraphEnd";
    case kDocsPageBreak: return "pageBreak";
    case kDocsLineBreak: return "lineBreak";
    case kDocsColumnBreak: return "columnBreak";
    case kDocsSectionStart: return "section";
    case kDocsParagraphStart: return "paragraph";
    case kDocsPageSetup: return "pageSetup";
    case kDocsDocInfo: return "docInfo";
    case kDocsPicture: return "picture";
    case kDocsTableStart: return "table";
    case kDocsEndOfDocument: return "endOfDocument";
    case kDocsContinuation: return "continuation";
    case kDocsRowStart: return "row";
    case kDocsCellStart: return "cell";
    case kDocsTableEnd: return "tableEnd";
    case kDocsFieldEnd: return "fieldEnd";
    case kDocsListDefinition: return "listDefinition";
    case kDocsListReference: return "listReference";
    case kDocsSpecialChar: return "specialChar";
    default: return "unknown";
    }
}

// Division truncates toward zero, so adding half before it rounds a half
// away from zero on both sides.
int32_t twipsToPoints(int32_t twips) { return twips >= 0 ? (twips + 10) / 20 : (twips - 10) / 20; }
int32_t pointsToTwips(int32_t points) { return points * 20; }

bool DocsParagraph::isValidLineSpacing(int32_t code) {
    return (code >= 10000 && code <= 10263) || (code >= 1 && code <= 3168) || (code >= -3168 && code <= -1);
}

int16_t lineSpacingFromWord(int32_t dyaLine, int32_t multipleFlag) {
    int64_t code = DocsParagraph::kSingleSpacing;
    int64_t d = dyaLine;
    if (multipleFlag == 1) {
        if (d == 240) code = 10001;
        else if (d == 360) code = 10002;
        else if (d == 480) code = 10003;
        else {
            int64_t n = 2 * d + 120;
            int64_t q = n / 240;
            if (n % 240 != 0 && n < 0) --q;  // floor
            code = q + 9999;
        }
    } else if (multipleFlag == 0) {
        code = d >= 0 ? (2 * d + 10) / 20 : (2 * d - 10) / 20;
    }
    if (!DocsParagraph::isValidLineSpacing(int32_t(std::clamp<int64_t>(code, INT32_MIN, INT32_MAX))))
        code = DocsParagraph::kSingleSpacing;
    return int16_t(code);
}

WordLineSpacing lineSpacingToWord(int16_t code) {
    switch (code) {
    case 10001: return {240, true};
    case 10002: return {360, true};
    case 10003: return {480, true};
    default: break;
    }
    if (code < 0 || (code >= 1 && code <= 9999)) return {int32_t(code) * 10, false};
    return {(int32_t(code) - 9999) * 120, true};
}

DocsPicture DocsPicture::unsupported() {
    DocsPicture p;
    p.depth = 16;
    p.version = 1;
    p.dataSize = 0;
    p.pixelWidth = p.pixelHeight = p.displayWidth = p.displayHeight = 8;
    p.hasFormat = false;
    return p;
}

}  // namespace conv
