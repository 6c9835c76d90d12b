#include "format_tables.h"

#include "palm_header.h"

#include <vector>

namespace qvplugin {

namespace {

constexpr uint32_t fourcc(const char (&c)[5]) { return QV_FOURCC(c[0], c[1], c[2], c[3]); }

constexpr uint32_t kTransferOnly = QVDP_FORMAT_TRANSFER_ONLY;

const QVDP_Format kFormats[] = {
    {1, ".DOC", "Microsoft Word", 0, 1, 1, fourcc("WORD"), fourcc("QVMW"), 1, nullptr},
    {2, ".TXT", "Text File", 0, 1, 1, fourcc("TEXT"), fourcc("QVMW"), 1, nullptr},
    {3, ".RTF", "Rich Text", 0, 1, 1, fourcc(".RTF"), fourcc("QVMW"), 1, nullptr},
    {5, ".PDB", "Palm Doc", kTransferOnly, 1, 1, fourcc("TEXt"), fourcc("REAd"), 1, isPalmDocFile},
    {6, ".MWD", "Tarvoc Docs", 0, 1, 0, fourcc("QVWD"), fourcc("QVMW"), 1, nullptr},
    {21, ".XLS", "Microsoft Excel", 0, 1, 1, fourcc("XLSa"), fourcc("QVME"), 2, nullptr},
    {22, ".CSV", "Comma Separated", 0, 1, 1, fourcc("CSVa"), fourcc("QVME"), 2, nullptr},
    {23, ".XML", "Excel XML", 0, 1, 1, fourcc("mexl"), fourcc("QVME"), 2, nullptr},
    {31, ".PPT", "Power Point", 0, 0, 1, 0, 0, 3, nullptr},
    {32, ".QVS", "Tarvoc Slides", 0, 1, 0, fourcc("Mppt"), fourcc("QVSS"), 3, nullptr},
    {33, ".WKS", "Lotus 1-2-3 (*.wks)", 0, 0, 1, 0, 0, 2, nullptr},
    {34, ".WK1", "Lotus 1-2-3 (*.wk1)", 0, 0, 1, 0, 0, 2, nullptr},
    {35, ".WK3", "Lotus 1-2-3 (*.wk3)", 0, 0, 1, 0, 0, 2, nullptr},
    {36, ".WK4", "Lotus 1-2-3 (*.wk4)", 0, 0, 1, 0, 0, 2, nullptr},
    {37, ".WQ1", "Quattro Pro", 0, 0, 1, 0, 0, 2, nullptr},
    {38, ".WPD", "Word Perfect", 0, 0, 1, 0, 0, 1, nullptr},
    {39, ".HTM;.HTML", "HTML Pages", 0, 0, 1, 0, 0, 1, nullptr},
    {0, nullptr, nullptr, 0, 0, 0, 0, 0, 0, nullptr},
};

// The ids 4, 51 and 52 have no format row: lookups of them fail, so the
// pairs naming them are never chosen.
const QVDP_Conversion kDesktopToHandheld[] = {
    {1, 1},   {1, 6},   {2, 2},   {3, 3},   {4, 6},   {5, 5},   {21, 21}, {22, 22},
    {23, 23}, {31, 32}, {33, 21}, {34, 21}, {35, 21}, {36, 21}, {37, 21}, {38, 1},
    {39, 1},  {51, 51}, {52, 52}, {0, 0},
};

const QVDP_Conversion kHandheldToDesktop[] = {
    {1, 1},   {2, 2},   {3, 3},   {5, 5},   {6, 1},   {6, 2},   {6, 3},
    {21, 21}, {22, 22}, {23, 23}, {32, 31}, {21, 33}, {21, 34}, {21, 35},
    {21, 36}, {21, 37}, {1, 38},  {1, 39},  {51, 51}, {52, 52}, {0, 0},
};

const QVDP_DesktopCategory kDesktopCategories[] = {
    {1, "Docs", 107},
    {2, "Spreadsheets", 108},
    {3, "Slides", 109},
    {0, nullptr, 0},
};

// A copy of the format table, each row passed through `change`, which
// answers false for a row to leave out.
template <typename Change>
std::vector<QVDP_Format> derivedTable(Change change) {
    std::vector<QVDP_Format> rows;
    for (const QVDP_Format *row = kFormats; row->id != 0; ++row) {
        QVDP_Format copy = *row;
        if (change(copy)) rows.push_back(copy);
    }
    rows.push_back(QVDP_Format{});
    return rows;
}

}  // namespace

const QVDP_Format *formatTable() { return kFormats; }
const QVDP_Conversion *desktopToHandheldPairs() { return kDesktopToHandheld; }
const QVDP_Conversion *handheldToDesktopPairs() { return kHandheldToDesktop; }
const QVDP_DesktopCategory *desktopCategoryTable() { return kDesktopCategories; }

const QVDP_Format *formatTableByExtension() {
    static const std::vector<QVDP_Format> rows = derivedTable([](QVDP_Format &row) {
        row.recognizer = nullptr;
        return true;
    });
    return rows.data();
}

const QVDP_Format *formatTableWithoutRecognizers() {
    static const std::vector<QVDP_Format> rows =
        derivedTable([](const QVDP_Format &row) { return row.recognizer == nullptr; });
    return rows.data();
}

int32_t isPalmDocFile(const char *path) {
    PalmDatabaseHeader header;
    if (!path || !readPalmDatabaseHeader(path, header)) return 0;
    return header.type == QV_FOURCC('T', 'E', 'X', 't') && header.creator == QV_FOURCC('R', 'E', 'A', 'd');
}

}  // namespace qvplugin
