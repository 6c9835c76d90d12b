#include "guid.h"

#include <gtest/gtest.h>

#include <set>

using namespace platform;

TEST(GuidTest, MemoryLayoutAndText) {
    // The desktop program's copy-data marker, as the system writes it.
    const GuidBytes marker = {0x82, 0x2F, 0xD6, 0x89, 0xAB, 0xD9, 0xC9, 0x49,
                              0xAC, 0x66, 0x79, 0x77, 0xDB, 0x89, 0xDB, 0x2B};
    EXPECT_EQ(formatGuid(marker), "{89D62F82-D9AB-49C9-AC66-7977DB89DB2B}");
    EXPECT_EQ(parseGuid("{89d62f82-d9ab-49c9-ac66-7977db89db2b}"), marker);
    for (const char *bad : {"89D62F82-D9AB-49C9-AC66-7977DB89DB2B", "{89D62F82-D9AB-49C9-AC66-7977DB89DB2}",
                            "{89D62F82+D9AB-49C9-AC66-7977DB89DB2B}", "{89D62F8G-D9AB-49C9-AC66-7977DB89DB2B}", ""})
        EXPECT_EQ(parseGuid(bad), std::nullopt) << bad;
}

TEST(GuidTest, NewGuidsAreRandomVersion4) {
    std::set<GuidBytes> seen;
    for (int i = 0; i < 200; ++i) {
        GuidBytes g = createGuid();
        EXPECT_EQ(g[7] >> 4, 4);          // Data3's high nibble
        EXPECT_EQ(g[8] & 0xC0, 0x80);     // variant 10xx
        std::string text = formatGuid(g);
        EXPECT_EQ(text[15], '4');
        EXPECT_EQ(parseGuid(text), g);
        seen.insert(g);
    }
    EXPECT_EQ(seen.size(), 200u);
}
