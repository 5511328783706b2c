#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "imaging/raster_file.h"

using hqlv::imaging::CRasterIOFile;
using hqlv::imaging::CRasterMemFile;

TEST(MemFile, EmptyBufferReadsNothing) {
    uint8_t dummy[1] = {7};
    CRasterMemFile f(dummy, 0);
    uint8_t out[4];
    EXPECT_EQ(f.Read(out, 1, 4), 0u);
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.GetC(), -1);
    EXPECT_EQ(f.Size(), 0);
    CRasterMemFile none;
    EXPECT_EQ(none.Size(), -1);
    EXPECT_EQ(none.Tell(), -1);
    EXPECT_FALSE(none.Seek(0, 0));
    EXPECT_EQ(none.Error(), -1);
}

TEST(MemFile, PartialElementIsCopiedButNotCounted) {
    uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    CRasterMemFile f(data, 10);
    ASSERT_TRUE(f.Seek(3, 0));
    uint8_t out[9] = {};
    EXPECT_EQ(f.Read(out, 3, 3), 2u);
    EXPECT_EQ(std::memcmp(out, data + 3, 7), 0);
    EXPECT_EQ(f.Tell(), 10);
    EXPECT_TRUE(f.Eof());
}

TEST(MemFile, SeekClampsBelowAndReadsEndBeyond) {
    uint8_t data[10] = {};
    CRasterMemFile f(data, 10);
    EXPECT_TRUE(f.Seek(-10, 0));
    EXPECT_EQ(f.Tell(), 0);
    EXPECT_TRUE(f.Seek(0, 2));
    EXPECT_EQ(f.Error(), 0);  // at the end is no error; beyond it is
    EXPECT_TRUE(f.Seek(5, 2));
    EXPECT_EQ(f.Tell(), 15);
    uint8_t out[2];
    EXPECT_EQ(f.Read(out, 1, 2), 0u);
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.Error(), 1);
    EXPECT_FALSE(f.Seek(0, 3));
    // 64-bit positions never wrap into the buffer.
    EXPECT_TRUE(f.Seek(0x100000000ll, 0));
    EXPECT_EQ(f.Tell(), 0x100000000ll);
    EXPECT_EQ(f.Read(out, 1, 2), 0u);
    EXPECT_EQ(f.GetC(), -1);
    EXPECT_TRUE(f.Seek(INT64_MAX, 0));
    EXPECT_TRUE(f.Seek(INT64_MAX, 1));
    EXPECT_EQ(f.Tell(), INT64_MAX);
    EXPECT_TRUE(f.Seek(INT64_MIN, 1));
    EXPECT_EQ(f.Tell(), 0);
    EXPECT_EQ(f.GetC(), 0);
}

TEST(MemFile, AllocGrowsIn64KSteps) {
    uint8_t data[4] = {1, 2, 3, 4};
    CRasterMemFile f(data, 4);
    EXPECT_TRUE(f.Alloc(1));  // not above the edge: nothing changes
    EXPECT_EQ(f.GetBuffer(), data);
    EXPECT_TRUE(f.Alloc(65536));
    EXPECT_EQ(f.Capacity(), 131072u);
    EXPECT_NE(f.GetBuffer(), data);
    EXPECT_EQ(std::memcmp(f.GetBuffer(), data, 4), 0);
    EXPECT_EQ(data[0], 1);  // the caller's buffer is left alone

    uint8_t small[1] = {0};
    CRasterMemFile g(small, 0);
    EXPECT_TRUE(g.Alloc(1));
    EXPECT_EQ(g.Capacity(), 65536u);
}

TEST(MemFile, WriteGrowsAndPutCRaisesSize) {
    uint8_t data[2] = {9, 9};
    CRasterMemFile f(data, 2);
    ASSERT_TRUE(f.Seek(0, 2));
    const char text[] = "hello";
    EXPECT_EQ(f.Write(text, 1, 5), 5u);
    EXPECT_EQ(f.Size(), 7);
    EXPECT_TRUE(f.PutC('!'));
    EXPECT_EQ(f.Size(), 8);
    EXPECT_EQ(std::memcmp(f.GetBuffer() + 2, "hello!", 6), 0);
    EXPECT_EQ(f.Write(nullptr, 1, 1), 0u);
    EXPECT_EQ(f.Write(text, 0, 1), 0u);
    CRasterMemFile none;
    EXPECT_EQ(none.Write(text, 1, 1), 0u);
    EXPECT_FALSE(none.PutC('x'));
}

TEST(MemFile, GetSStopsAfterNewlineAndNeedsOne) {
    uint8_t data[5] = {'a', 'b', '\n', 'c', 'd'};
    CRasterMemFile f(data, 5);
    char line[10];
    ASSERT_NE(f.GetS(line, 10), nullptr);
    EXPECT_STREQ(line, "ab\n");
    EXPECT_EQ(f.GetS(line, 10), nullptr);
    EXPECT_EQ(f.Scanf("%d", nullptr), 0);
}

TEST(IOFile, ReadsSeeksAndLeavesCallerStreamOpen) {
    FILE* tmp = std::tmpfile();
    ASSERT_NE(tmp, nullptr);
    {
        CRasterIOFile f(tmp);
        EXPECT_EQ(f.Write("abcdef", 1, 6), 6u);
        EXPECT_EQ(f.Write(nullptr, 1, 6), 0u);
        EXPECT_EQ(f.Size(), 6);
        EXPECT_TRUE(f.Seek(2, 0));
        EXPECT_EQ(f.GetC(), 'c');
        EXPECT_EQ(f.Tell(), 3);
        EXPECT_FALSE(f.Open("/nonexistent", "rb"));  // already holds a stream
    }
    // Still open: the destructor did not close the caller's stream.
    EXPECT_EQ(std::fseek(tmp, 0, SEEK_SET), 0);
    EXPECT_EQ(std::fgetc(tmp), 'a');
    std::fclose(tmp);

    CRasterIOFile none;
    EXPECT_EQ(none.Write("x", 1, 1), 0u);
    EXPECT_EQ(none.Size(), -1);
    EXPECT_EQ(none.GetC(), -1);
    EXPECT_TRUE(none.Eof());
    EXPECT_EQ(none.Error(), -1);
    int read = 0;
    EXPECT_EQ(none.Scanf("%d", &read), -1);
    EXPECT_FALSE(none.Open("/nonexistent/dir/file", "rb"));
}

// A file made without a buffer counts the size it was given as data and as its edge: growing
// within that edge finds no buffer to keep, growing past it makes one that reads as zeros.
TEST(MemFile, WithoutABufferTheGivenSizeIsTheEdge) {
    CRasterMemFile f(nullptr, 100);
    EXPECT_FALSE(f.Alloc(1));
    EXPECT_FALSE(f.Alloc(100));
    EXPECT_EQ(f.GetBuffer(), nullptr);
    EXPECT_EQ(f.Capacity(), 100u);
    EXPECT_EQ(f.Size(), -1);
    EXPECT_TRUE(f.Alloc(101));
    EXPECT_EQ(f.Capacity(), 65536u);
    EXPECT_EQ(f.Size(), 100);
    uint8_t out[101];
    std::memset(out, 0xAA, sizeof out);
    EXPECT_EQ(f.Read(out, 1, 101), 100u);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(out[i], 0) << i;
    EXPECT_EQ(out[100], 0xAA);

    // Closing frees the block and empties the data; the edge stays, so the next block is
    // again only made for more than it.
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(f.GetBuffer(), nullptr);
    EXPECT_FALSE(f.Alloc(65536));
    EXPECT_TRUE(f.Alloc(65537));
    EXPECT_EQ(f.Capacity(), 131072u);
    EXPECT_EQ(f.Size(), 0);
}

// A buffer of the caller's need not come from malloc (here: the stack) and stays the caller's:
// growing copies its data into the file's own block, and the caller's bytes are not touched.
TEST(MemFile, CallersBufferIsCopiedNotReallocated) {
    uint8_t data[3] = {7, 8, 9};
    CRasterMemFile f(data, 3);
    ASSERT_TRUE(f.Seek(0, 2));
    EXPECT_EQ(f.Write("abc", 1, 3), 3u);  // past the edge: grows
    EXPECT_NE(f.GetBuffer(), data);
    EXPECT_EQ(std::memcmp(f.GetBuffer(),
                          "\x07\x08\x09"
                          "abc",
                          6),
              0);
    EXPECT_EQ(data[2], 9);
}

// A null buffer is never handed to stdio: reads and writes of it give 0 and leave the stream.
TEST(IOFile, NullBufferReadsAndWritesNothing) {
    FILE* tmp = std::tmpfile();
    ASSERT_NE(tmp, nullptr);
    CRasterIOFile f(tmp);
    ASSERT_EQ(f.Write("xy", 1, 2), 2u);
    ASSERT_TRUE(f.Seek(0, 0));
    EXPECT_EQ(f.Read(nullptr, 1, 2), 0u);
    EXPECT_EQ(f.Write(nullptr, 1, 2), 0u);
    EXPECT_EQ(f.Tell(), 0);
    EXPECT_EQ(f.GetC(), 'x');
    std::fclose(tmp);
}
