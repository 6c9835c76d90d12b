// The handheld name rules: valid RAM and card names, valid card folders and
// the numbering that makes a RAM name unique.
#include "handheld_names.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace desktop;

TEST(HandheldNamesTest, ValidNames) {
    const struct {
        std::string name;
        size_t maximum;
        bool valid;
    } cases[] = {
        {"report.doc", 31, true},
        {"", 31, false},
        {std::string(31, 'a'), 31, true},
        {std::string(32, 'a'), 31, false},
        {std::string(200, 'a'), 255, true},
        {" lead", 31, false},
        {".hidden", 31, false},
        {"con", 31, false},
        {"NUL", 31, false},
        {"prn5", 31, false},
        {"LPT1", 31, false},
        {"lpt", 31, true},
        {"com1", 31, true},
        {"prnx", 31, true},
        {"con.txt", 31, true},
        {"a/b", 31, false},
        {"a\\b", 31, false},
        {"a:b", 31, false},
        {"a*b", 31, false},
        {"a?b", 31, false},
        {"a\"b", 31, false},
        {"a<b", 31, false},
        {"a>b", 31, false},
        {"a|b", 31, false},
    };
    for (const auto &c : cases) EXPECT_EQ(validHandheldName(c.name, c.maximum), c.valid) << c.name;
}

TEST(HandheldNamesTest, ValidCardFolders) {
    const struct {
        const char *folder;
        bool valid;
    } cases[] = {
        {"/", true},          {"/Documents", true}, {"/Documents/", true}, {"/a/b/c", true},
        {"Documents", false}, {"", false},          {"//a", false},        {"/a//b", false},
        {"/ a", false},       {"/a\\b", false},     {"/a:b", false},       {"/a|b", false},
    };
    for (const auto &c : cases) EXPECT_EQ(validCardFolder(c.folder), c.valid) << c.folder;
}

TEST(HandheldNamesTest, TakenNamesGetANumberBeforeTheExtensionWithinTheLimit) {
    std::set<std::string> taken = {"report.doc", "report(1).doc"};
    auto isTaken = [&](const std::string &n) { return taken.count(n) > 0; };
    EXPECT_EQ(makeNameUnique("free.doc", isTaken), "free.doc");
    EXPECT_EQ(makeNameUnique("report.doc", isTaken), "report(2).doc");

    // 36 characters: the base is cut so that the extension stays.
    const std::string longName = std::string(32, 'x') + ".doc";
    EXPECT_EQ(makeNameUnique(longName, isTaken), std::string(27, 'x') + ".doc");
    taken.insert(std::string(27, 'x') + ".doc");
    EXPECT_EQ(makeNameUnique(longName, isTaken), std::string(24, 'x') + "(1).doc");

    // An extension that leaves no room for the number is cut as well.
    const std::string longExtension = "a." + std::string(29, 'e');
    taken = {longExtension};
    EXPECT_EQ(makeNameUnique(longExtension, isTaken), "(1)." + std::string(27, 'e'));

    int asked = 0;
    EXPECT_EQ(makeNameUnique("x.doc", [&](const std::string &) { return ++asked > 0; }), std::nullopt);
    EXPECT_EQ(asked, 1 + kLastUniqueNumber);
}

}  // namespace
