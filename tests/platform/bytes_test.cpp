#include "platform/core/bytes.h"

#include <gtest/gtest.h>

using hqlv::platform::ByteReader;
using hqlv::platform::ByteWriter;

TEST(Bytes, RoundTripLittleEndian) {
    ByteWriter w;
    w.u8(0x12);
    w.u16(0x3456);
    w.u32(0x789abcde);
    w.i32(-2);
    w.fixedText("abc", 6);
    ASSERT_EQ(w.size(), 1u + 2 + 4 + 4 + 6);
    EXPECT_EQ(w.data()[1], 0x56);
    EXPECT_EQ(w.data()[3], 0xde);
    ByteReader r(w.data().data(), w.size());
    EXPECT_EQ(r.u8(), 0x12);
    EXPECT_EQ(r.u16(), 0x3456);
    EXPECT_EQ(r.u32(), 0x789abcdeu);
    EXPECT_EQ(r.i32(), -2);
    EXPECT_EQ(r.fixedText(6), "abc");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(Bytes, ShortReadFailsAndYieldsZero) {
    const uint8_t data[3] = {1, 2, 3};
    ByteReader r(data, sizeof data);
    EXPECT_EQ(r.u16(), 0x0201);
    EXPECT_TRUE(r.seek(3));  // the end is a place to be
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_TRUE(r.seek(2));
    EXPECT_EQ(r.u32(), 0u);  // only one byte left
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.u8(), 0u);  // stays failed, reads nothing more
    uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_FALSE(r.bytes(out, 4));
    EXPECT_EQ(out[0], 0);
}

TEST(Bytes, FixedTextIsBoundedByItsField) {
    // No NUL inside the field: the text stops at the field's end, not beyond it.
    const char data[] = {'a', 'b', 'c', 'd', 'X', 'Y'};
    ByteReader r(data, sizeof data);
    EXPECT_EQ(r.fixedText(4), "abcd");
    EXPECT_EQ(r.fixedText(4), "");
    EXPECT_FALSE(r.ok());
    ByteWriter w;
    w.fixedText("toolong", 4);
    ASSERT_EQ(w.size(), 4u);
    EXPECT_EQ(w.data()[3], 0);
}
