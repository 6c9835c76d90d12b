// Formats, recognition and conversions through the loaded library.
#include "plugin_fixture.h"

#include <cstring>

using namespace plugintest;

namespace {

constexpr uint32_t fourcc(const char *c) { return QV_FOURCC(c[0], c[1], c[2], c[3]); }

class Formats : public ::testing::Test {
protected:
    TempHome home;
    std::filesystem::path file(const std::string &name, const std::vector<uint8_t> &bytes = {'x'}) {
        auto path = home.root() / "files" / name;
        writeBytes(path, bytes);
        return path;
    }
    int32_t recognize(const std::filesystem::path &path) {
        const QVDP_Format *row = reinterpret_cast<const QVDP_Format *>(1);
        const int32_t result = QV_BIND(QVDP_RecognizeFile)(path.c_str(), &row);
        if (result != 0) {
            EXPECT_EQ(result, 3) << path;
            EXPECT_EQ(row, nullptr) << path;
            return 0;
        }
        return row->id;
    }
};

}  // namespace

TEST_F(Formats, RowsCarryTheirTypesAndFlags) {
    auto getFormat = QV_BIND(QVDP_GetFormat);
    const QVDP_Format *row = nullptr;
    ASSERT_EQ(getFormat(5, &row), 0);
    EXPECT_STREQ(row->extensions, ".PDB");
    EXPECT_STREQ(row->name, "Palm Doc");
    EXPECT_EQ(row->flags, QVDP_FORMAT_TRANSFER_ONLY);
    EXPECT_EQ(row->type, fourcc("TEXt"));
    EXPECT_EQ(row->creator, fourcc("REAd"));
    EXPECT_NE(row->recognizer, nullptr);

    ASSERT_EQ(getFormat(6, &row), 0);
    EXPECT_EQ(row->onHandheld, 1u);
    EXPECT_EQ(row->onDesktop, 0u);
    EXPECT_EQ(row->type, fourcc("QVWD"));
    EXPECT_EQ(row->creator, fourcc("QVMW"));

    ASSERT_EQ(getFormat(39, &row), 0);
    EXPECT_STREQ(row->extensions, ".HTM;.HTML");
    EXPECT_EQ(row->type, 0u);
    EXPECT_EQ(row->category, 1);

    ASSERT_EQ(getFormat(23, &row), 0);
    EXPECT_EQ(row->type, fourcc("mexl"));
    EXPECT_EQ(row->category, 2);
}

TEST_F(Formats, IdsWithoutARowAnswer3) {
    auto getFormat = QV_BIND(QVDP_GetFormat);
    auto getName = QV_BIND(QVDP_GetFormatName);
    for (int32_t id : {0, 4, 51, 52, -1, 40}) {
        const QVDP_Format *row = reinterpret_cast<const QVDP_Format *>(1);
        EXPECT_EQ(getFormat(id, &row), 3) << id;
        EXPECT_EQ(row, nullptr) << id;
        uint32_t size = 0;
        char buffer[260];
        EXPECT_EQ(getName(id, buffer, &size), 3) << id;
    }
    EXPECT_EQ(getFormat(1, nullptr), 1);
}

TEST_F(Formats, NamesByTheTwoCallConvention) {
    auto getName = QV_BIND(QVDP_GetFormatName);
    uint32_t size = 0;
    EXPECT_EQ(getName(33, nullptr, &size), 2);
    EXPECT_EQ(size, std::strlen("Lotus 1-2-3 (*.wks)") + 1);
    char buffer[260];
    EXPECT_EQ(getName(33, buffer, &size), 0);
    EXPECT_STREQ(buffer, "Lotus 1-2-3 (*.wks)");
    EXPECT_EQ(getName(33, buffer, nullptr), 1);
}

TEST_F(Formats, RecognitionByExtension) {
    const struct {
        const char *name;
        int32_t id;
    } cases[] = {
        {"report.doc", 1},   {"REPORT.DOC", 1},     {"notes.TxT", 2},  {"page.HTML", 39}, {"page.htm", 39},
        {"page.htmx", 0},    {"page.ht", 0},        {"sheet.xls", 21}, {"data.csv", 22},  {"deck.ppt", 31},
        {"deck.qvs", 32},    {"old.wk4", 36},       {"doc.mwd", 6},    {"noextension", 0}, {"trailingdot.", 0},
        {"archive.doc.zip", 0}, {"letter.wpd", 38},
    };
    for (const auto &c : cases) EXPECT_EQ(recognize(file(c.name)), c.id) << c.name;
    // The extension is the last component's: a dotted folder does not count.
    EXPECT_EQ(recognize(file("folder.doc/readme")), 0);
    EXPECT_EQ(QV_BIND(QVDP_RecognizeFile)(nullptr, nullptr), 1);
}

TEST_F(Formats, PalmDocFilesMustCarryTheirHeader) {
    EXPECT_EQ(recognize(file("book.pdb", palmHeader("My Book", "TEXt", "REAd"))), 5);
    EXPECT_EQ(recognize(file("other.PDB", palmHeader("Addresses", "DATA", "addr"))), 0);
    auto shortHeader = palmHeader("Short", "TEXt", "REAd");
    shortHeader.resize(77);
    EXPECT_EQ(recognize(file("short.pdb", shortHeader)), 0);
    EXPECT_EQ(recognize(home.root() / "missing.pdb"), 0);
}

TEST_F(Formats, DefaultConversions) {
    auto toHandheld = QV_BIND(QVDP_GetDefaultPCToHHConversion);
    auto toDesktop = QV_BIND(QVDP_GetDefaultHHToPCConversion);
    const struct {
        int32_t from, handheld;
    } pc[] = {{1, 1}, {2, 2}, {5, 5}, {6, -1}, {21, 21}, {31, 32}, {33, 21}, {37, 21}, {38, 1}, {39, 1}, {4, 6}, {40, -1}};
    for (const auto &c : pc) EXPECT_EQ(toHandheld(c.from), c.handheld) << c.from;
    const struct {
        int32_t from, desktop;
    } hh[] = {{6, 1}, {21, 21}, {32, 31}, {1, 1}, {31, -1}, {0, -1}};
    for (const auto &c : hh) EXPECT_EQ(toDesktop(c.from), c.desktop) << c.from;
}

TEST_F(Formats, ConversionTablesEndWithAZeroPair) {
    const QVDP_Conversion *pc = QV_BIND(QVDP_GetPCToHHConversions)();
    const QVDP_Conversion *hh = QV_BIND(QVDP_GetHHToPCConversions)();
    size_t pcCount = 0, hhCount = 0;
    while (pc[pcCount].from != 0) ++pcCount;
    while (hh[hhCount].from != 0) ++hhCount;
    EXPECT_EQ(pcCount, 19u);
    EXPECT_EQ(hhCount, 20u);
    EXPECT_EQ(pc[pcCount].to, 0);
    EXPECT_EQ(pc[1].from, 1);
    EXPECT_EQ(pc[1].to, 6);
    EXPECT_EQ(hh[10].from, 32);
    EXPECT_EQ(hh[10].to, 31);
}

TEST_F(Formats, CardFilesByExtension) {
    auto fromCard = QV_BIND(QVDP_GetDesktopFormatFromCardFile);
    const struct {
        const char *path;
        int32_t desktop, handheld;
    } cases[] = {
        {"/Documents/Report.MWD", 1, 6},
        {"/Documents/sheet.xls", 21, 21},
        {"/Documents/deck.QVS", 31, 32},
        {"/Documents/unknown.zip", 0, 0},
        {"/Documents/book.pdb", 0, 0},  // its header cannot be examined from the desktop
    };
    for (const auto &c : cases) {
        int32_t desktop = -7, handheld = -7;
        fromCard(0, c.path, &desktop, &handheld);
        EXPECT_EQ(desktop, c.desktop) << c.path;
        EXPECT_EQ(handheld, c.handheld) << c.path;
    }
    fromCard(0, nullptr, nullptr, nullptr);  // nothing to report into: no crash
}

TEST_F(Formats, PalmDocFileNameComesFromTheHeader) {
    auto modify = QV_BIND(QVDP_ModifyPalmFileName);
    char name[260] = "unchanged";
    EXPECT_EQ(modify(file("notes.txt").c_str(), name), 0);
    EXPECT_STREQ(name, "unchanged");

    EXPECT_EQ(modify(file("book.pdb", palmHeader("Moby Dick", "TEXt", "REAd")).c_str(), name), 1);
    EXPECT_STREQ(name, "Moby Dick");

    std::strcpy(name, "unchanged");
    EXPECT_EQ(modify(file("broken.PDB", {1, 2, 3}).c_str(), name), 1);
    EXPECT_STREQ(name, "unchanged");

    // A name that fills its 32 bytes is cut to the 31 characters a Palm name may have.
    EXPECT_EQ(modify(file("long.pdb", palmHeader(std::string(32, 'N'), "TEXt", "REAd")).c_str(), name), 1);
    EXPECT_EQ(std::string(name), std::string(31, 'N'));
    EXPECT_EQ(modify(nullptr, name), 0);
}
