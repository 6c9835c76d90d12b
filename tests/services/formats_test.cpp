// Format lookups in a plug-in's format and conversion tables.
#include "QVDPCommon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

int32_t acceptsOnlyGood(const char *path) { return std::strstr(path, "good") ? 1 : 0; }

const QVDP_Format kTable[] = {
    {1, ".DOC", "Word", 0, 1, 1, 0x574F5244 /* WORD */, 0x51564D57, 1, nullptr},
    {2, ".HTM;.HTML", "Web page", 0, 1, 1, 0x48544D4C, 0x51564D57, 1, nullptr},
    {5, ".PDB", "Palm Doc", 1, 1, 1, 0x54455874 /* TEXt */, 0x52454164, 1, acceptsOnlyGood},
    {6, ".PDB;.MWD", "Docs", 0, 1, 0, 0x51565744, 0x51564D57, 1, nullptr},
    {31, ".PPT", "Slides", 0, 0, 1, 0, 0, 3, nullptr},
    {0, nullptr, nullptr, 0, 0, 0, 0, 0, 0, nullptr},
};

const QVDP_Conversion kConversions[] = {{1, 6}, {1, 2}, {2, 6}, {0, 0}};

TEST(FormatLookup, LookUpById) {
    const QVDP_Format *row = nullptr;
    EXPECT_EQ(QVGetFormat(2, kTable, &row), 0);
    EXPECT_EQ(row, &kTable[1]);
    EXPECT_EQ(QVGetHHFormat(6, kTable, &row), 0);
    EXPECT_EQ(row, &kTable[3]);
    EXPECT_EQ(QVGetFormat(99, kTable, &row), 3);
    EXPECT_EQ(row, nullptr);

    EXPECT_EQ(QVGetHHType(5, kTable), int32_t(0x54455874));
    EXPECT_EQ(QVGetHHType(99, kTable), -1);
    EXPECT_EQ(QVGetFormatFromHHType(0x51565744, kTable), &kTable[3]);
    EXPECT_EQ(QVGetFormatFromHHType(0x12345678, kTable), nullptr);

    EXPECT_EQ(QVGetFirstConversion(kConversions, 1), 6);
    EXPECT_EQ(QVGetFirstConversion(kConversions, 2), 6);
    EXPECT_EQ(QVGetFirstConversion(kConversions, 31), -1);
}

TEST(FormatLookup, RecognisesByWholeExtension) {
    struct Case { const char *path; int32_t status; int expectedRow; } cases[] = {
        {"/d/report.html", 0, 1},
        {"/d/report.HTM", 0, 1},
        {"/d/report.htmx", 3, -1},
        {"/d/report.ht", 3, -1},
        {"/d/letter.Doc", 0, 0},
        {"/d/no_extension", 3, -1},
        {"/d/v1.doc/no_extension", 3, -1},
        {"/d/slides.ppt", 0, 4},
    };
    for (const Case &c : cases) {
        const QVDP_Format *row = &kTable[0];
        EXPECT_EQ(QVRecognizeFileType(kTable, c.path, &row), c.status) << c.path;
        const QVDP_Format *expected = c.expectedRow >= 0 ? &kTable[c.expectedRow] : nullptr;
        EXPECT_EQ(row, expected) << c.path;
    }
}

TEST(FormatLookup, RecognizerRefusalMovesOnToTheNextRow) {
    const QVDP_Format *row = nullptr;
    EXPECT_EQ(QVRecognizeFileType(kTable, "/d/good.pdb", &row), 0);
    EXPECT_EQ(row, &kTable[2]);
    EXPECT_EQ(QVRecognizeFileType(kTable, "/d/other.pdb", &row), 0);
    EXPECT_EQ(row, &kTable[3]);

    // Refused everywhere: the last row matched by extension is handed back.
    const QVDP_Format onlyRecognized[] = {kTable[2], kTable[5]};
    EXPECT_EQ(QVRecognizeFileType(onlyRecognized, "/d/other.pdb", &row), 3);
    EXPECT_EQ(row, &onlyRecognized[0]);
}

}  // namespace
