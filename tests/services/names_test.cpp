// Name parts, card path joining, the two-call text hand-out and GUIDs.
#include "QVDPCommon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A 260-byte output buffer followed by a guard that must stay untouched.
struct GuardedBuffer {
    char text[QVDP_MAX_PATH];
    char guard[16];
    GuardedBuffer() {
        std::memset(text, 'x', sizeof text);
        std::memset(guard, 0x5A, sizeof guard);
    }
    bool guardIntact() const {
        for (char c : guard)
            if (c != 0x5A) return false;
        return true;
    }
};

TEST(CardPathJoin, JoinsWithExactlyOneSlash) {
    struct Case { const char *folder, *name, *expected; } cases[] = {
        {"/Documents", "a.doc", "/Documents/a.doc"},
        {"/Documents/", "/a.doc", "/Documents/a.doc"},
        {"/Documents/", "a.doc", "/Documents/a.doc"},
        {"/Documents", "/a.doc", "/Documents/a.doc"},
        {"", "a.doc", "/a.doc"},
        {"", "/a.doc", "/a.doc"},
        {"/", "a.doc", "/a.doc"},
    };
    for (const Case &c : cases) {
        GuardedBuffer out;
        EXPECT_EQ(QVMakePalmCardPath(out.text, c.folder, c.name), 1) << c.folder << " + " << c.name;
        EXPECT_STREQ(out.text, c.expected) << c.folder << " + " << c.name;
    }
}

TEST(CardPathJoin, ResultLongerThanTheLimitIsRefused) {
    std::string folder = "/" + std::string(200, 'f');
    std::string name(58, 'n');  // 201 + "/" + 58 = 260 characters
    GuardedBuffer out;
    EXPECT_EQ(QVMakePalmCardPath(out.text, folder.c_str(), name.c_str()), 0);
    EXPECT_STREQ(out.text, "");
    EXPECT_TRUE(out.guardIntact());

    name.pop_back();  // 259 characters fit
    EXPECT_EQ(QVMakePalmCardPath(out.text, folder.c_str(), name.c_str()), 1);
    EXPECT_EQ(std::strlen(out.text), 259u);
}

TEST(NameParts, SplitDesktopAndCardPaths) {
    using Split = int32_t (*)(char *, const char *);
    struct Case { Split split; const char *path, *expected; } cases[] = {
        {QVPCGetOnlyFileName, "/home/u/x/a.doc", "a.doc"},
        {QVPCGetOnlyFileName, "a.doc", "a.doc"},
        {QVPCGetOnlyFileName, "/home/u/x/", ""},
        {QVPCGetOnlyFilePath, "/home/u/x/a.doc", "/home/u/x/"},
        {QVPCGetOnlyFilePath, "a.doc", ""},
        {QVPCGetOnlyFilePath, "/a.doc", "/"},
        {QVPALMGetOnlyFileName, "/Documents/a.doc", "a.doc"},
        {QVPALMGetOnlyFileName, "a.doc", "a.doc"},
        {QVPALMGetOnlyFilePath, "a.doc", "/"},
        {QVPALMGetOnlyFilePath, "/Documents/a.doc", "/Documents/"},
        {QVPALMGetOnlyFilePath, "/a.doc", "/"},
        {QVPALMGetOnlyFilePath, "", "/"},
    };
    for (const Case &c : cases) {
        GuardedBuffer out;
        EXPECT_EQ(c.split(out.text, c.path), 1) << c.path;
        EXPECT_STREQ(out.text, c.expected) << c.path;
    }
}

TEST(NameParts, OutputMayBeTheInputBuffer) {
    char path[QVDP_MAX_PATH] = "/Documents/Sub/a.doc";
    EXPECT_EQ(QVPALMGetOnlyFilePath(path, path), 1);
    EXPECT_STREQ(path, "/Documents/Sub/");
}

TEST(NameParts, OverlongOrMissingPathsAreRefused) {
    std::string longPath = "/" + std::string(300, 'a');
    for (auto split : {QVPCGetOnlyFileName, QVPCGetOnlyFilePath, QVPALMGetOnlyFileName, QVPALMGetOnlyFilePath}) {
        GuardedBuffer out;
        EXPECT_EQ(split(out.text, longPath.c_str()), 0);
        EXPECT_STREQ(out.text, "");
        EXPECT_TRUE(out.guardIntact());
        EXPECT_EQ(split(out.text, nullptr), 0);
    }
}

TEST(StringHandOut, TwoCallConvention) {
    EXPECT_EQ(QVPGetStringVar("Papyrine", nullptr, nullptr), 1);

    uint32_t size = 0;
    EXPECT_EQ(QVPGetStringVar("Papyrine", nullptr, &size), 2);
    EXPECT_EQ(size, 9u);

    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    size = sizeof buffer;
    EXPECT_EQ(QVPGetStringVar("Papyrine", buffer, &size), 0);
    EXPECT_STREQ(buffer, "Papyrine");
    EXPECT_EQ(size, 9u);
}

TEST(StringHandOut, BufferSmallerThanTheTextIsNotWritten) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    uint32_t size = sizeof buffer;
    EXPECT_EQ(QVPGetStringVar("Papyrine", buffer, &size), 2);  // 9 bytes needed
    EXPECT_EQ(size, 9u);
    for (char c : buffer) EXPECT_EQ(c, 'x');
}

TEST(GuidCompare, EqualOnlyWhenAllSixteenBytesMatch) {
    uint8_t a[16], b[16];
    for (int i = 0; i < 16; ++i) a[i] = b[i] = uint8_t(i * 7);
    EXPECT_EQ(GUIDsEqual(a, b), 1);
    for (int i : {0, 5, 15}) {
        b[i] ^= 1;
        EXPECT_EQ(GUIDsEqual(a, b), 0) << "byte " << i;
        b[i] ^= 1;
    }
}

}  // namespace
