#include <gtest/gtest.h>
#include "bytes.h"

TEST(Bytes, ByteOrderAndBcd)
{
    uint8_t b[4];
    put_be32(b, 0x01020304);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(get_be32(b), 0x01020304u);
    EXPECT_EQ(get_be24(b + 1), 0x020304u);
    put_le32(b, 0x01020304);
    EXPECT_EQ(b[0], 4);
    EXPECT_EQ(get_le32(b), 0x01020304u);
    EXPECT_EQ(get_le16(b), 0x0304);
    EXPECT_EQ(to_bcd(59), 0x59);
    EXPECT_EQ(from_bcd(0x74), 74);
}
