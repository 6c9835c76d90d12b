#include "byte_order.h"

#include <gtest/gtest.h>

TEST(ByteOrder, StoresAndLoadsBothOrders) {
    uint8_t b[8] = {};
    qv::storeLE32(b, 0x6B2E91DC);
    EXPECT_EQ(b[0], 0xDC);
    EXPECT_EQ(b[3], 0x6B);
    EXPECT_EQ(qv::loadLE32(b), 0x6B2E91DCu);
    qv::storeBE32(b, 0x4D575156);
    EXPECT_EQ(b[0], 'M');
    EXPECT_EQ(qv::loadBE32(b), 0x4D575156u);
    qv::storeBE16(b, 0x0118);
    EXPECT_EQ(qv::loadBE16(b), 0x0118);
    qv::storeLEDouble(b, 36526.5);
    EXPECT_EQ(qv::loadLEDouble(b), 36526.5);
}
