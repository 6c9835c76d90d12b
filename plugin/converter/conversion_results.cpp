#include "conversion_results.h"

namespace conv {

namespace {

struct ResultRow {
    uint32_t code;
    const char *text;
};

constexpr ResultRow kTexts[] = {
    {0x07A00206, "Error reading from file"},
    {0x07A00203, "Bad or not supported file format"},
    {0x07A00207, "Error writing to file"},
    {0x07000301, "Not enough memory"},
    {0x07000104, "Bad parameters for conversion"},
    {0x07A00202, "The file is protected"},
    {0x07000106, "Canceled"},
    {0x0700021A, "Can not delete File"},
    {0x0700021B, "Can not rename File"},
    {0x07A00204, "Too complex file format"},
    {0x07A002FF, "Unknown Error"},
    {kResultNoError, "No error"},
};

}  // namespace

uint32_t resultFromInternal(int internal) {
    switch (internal) {
    case 0: return 0;
    case 1:
    case 5:
    case 12: return 0x07A00206;
    case 2:
    case 3:
    case 6:
    case 9:
    case 10:
    case 14: return 0x07A00203;
    case 4:
    case 13: return 0x07A00207;
    case 7: return 0x07000301;
    case 11: return 0x07000104;
    case 15: return 0x07A00202;
    case 16: return 0x07000106;
    case 17: return 0x0700021A;
    case 18: return 0x0700021B;
    case 19: return 0x07A00204;
    default: return 0x07A002FF;
    }
}

const char *resultText(uint32_t code) {
    for (const ResultRow &row : kTexts)
        if (row.code == code) return row.text;
    return "Unknown Error";
}

}  // namespace conv
