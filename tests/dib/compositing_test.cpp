// Pasting one picture into another: clipping at every edge, the order of the checks, what is
// refused, row padding, pasting a picture into itself, and blocks whose headers no longer fit.
#include "dib_test_support.h"

#include <climits>
#include <tuple>

namespace {

using namespace orvel::test;

// A BMP file image of `width` x `height` pixels whose pixel bytes all differ from their
// neighbours (seeded, so two pictures differ) and whose row padding bytes are 0xEE.
struct Picture {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    std::size_t stride = 0;
    Bytes file;

    Picture(int w, int h, int depth, unsigned seed) : width(w), height(h), bitCount(depth) {
        stride = static_cast<std::size_t>((w * depth + 31) / 32 * 4);
        const std::size_t rowBytes = static_cast<std::size_t>((w * depth + 7) / 8);
        Bytes pixels(stride * static_cast<std::size_t>(h), 0xEE);
        for (std::size_t row = 0; row < static_cast<std::size_t>(h); ++row) {
            for (std::size_t i = 0; i < rowBytes; ++i) {
                pixels[row * stride + i] = static_cast<std::uint8_t>(seed * 41 + row * 29 + i * 7);
            }
        }
        const unsigned entries = depth <= 8 ? 1U << depth : 0;
        file = InfoFile({.width = w, .height = h, .bitCount = static_cast<std::uint16_t>(depth)},
                        Colours(entries), pixels);
    }

    // Offset in the file of pixel (x, y), y counted from the top; rows are stored bottom-up.
    std::size_t At(int x, int y) const {
        return U32At(file, 10) + stride * static_cast<std::size_t>(height - 1 - y) +
               static_cast<std::size_t>(x * bitCount / 8);
    }
};

// What the destination's block must hold after pasting `source` at (x, y): each destination
// pixel that the placed source covers takes that source pixel's bytes; every other byte stays.
Bytes Pasted(const Picture& destination, const Picture& source, long long x, long long y) {
    Bytes expected = destination.file;
    const std::size_t pixelBytes = static_cast<std::size_t>(destination.bitCount / 8);
    for (int dy = 0; dy < destination.height; ++dy) {
        for (int dx = 0; dx < destination.width; ++dx) {
            const long long sx = dx - x;
            const long long sy = dy - y;
            if (sx < 0 || sy < 0 || sx >= source.width || sy >= source.height) {
                continue;
            }
            const std::size_t from = source.At(static_cast<int>(sx), static_cast<int>(sy));
            std::memcpy(expected.data() + destination.At(dx, dy), source.file.data() + from,
                        pixelBytes);
        }
    }
    return expected;
}

using CompositingTest = LeakCheckedTest;

// Clipping at every edge and corner, at every depth that can be pasted.
struct Placement {
    int x;
    int y;
};

class AttachClippingTest
    : public CompositingTest,
      public ::testing::WithParamInterface<std::tuple<int, Placement, std::pair<int, int>>> {};

TEST_P(AttachClippingTest, CopiesExactlyTheOverlapAndNothingElse) {
    const auto [depth, at, sourceSize] = GetParam();
    const Picture target(13, 11, depth, 1);
    const Picture source(sourceSize.first, sourceSize.second, depth, 2);
    TestDib destination(target.file);
    TestDib pasted(source.file);

    EXPECT_TRUE(destination.Attach(pasted, CPoint(at.x, at.y)));
    EXPECT_EQ(StatusOf(destination), kSuccess);
    EXPECT_EQ(BlockBytes(destination.GetSafeHandle()), Pasted(target, source, at.x, at.y));
    EXPECT_EQ(BlockBytes(pasted.GetSafeHandle()), source.file) << "the source never changes";
}

INSTANTIATE_TEST_SUITE_P(
    EdgesAndCorners, AttachClippingTest,
    ::testing::Combine(::testing::Values(8, 16, 24, 32),
                       ::testing::Values(Placement{0, 0}, Placement{3, 2}, Placement{-3, -2},
                                         Placement{9, 8}, Placement{-4, 7}, Placement{10, -3},
                                         Placement{13, 0}, Placement{0, 11}, Placement{14, 0},
                                         Placement{-6, 0}, Placement{0, -5}, Placement{-5, -4},
                                         Placement{12, 10}, Placement{INT_MIN, 0},
                                         Placement{0, INT_MIN}, Placement{INT_MAX, INT_MAX}),
                       ::testing::Values(std::pair{6, 5}, std::pair{1, 1}, std::pair{20, 15})));

// The position is tested before the depths: a destination's right edge is still "inside".
TEST_F(CompositingTest, PositionBeyondTheEdgeSucceedsBeforeTheDepthsAreCompared) {
    const Picture target(10, 10, 24, 1);
    const Picture source(4, 4, 8, 2);
    TestDib destination(target.file);
    TestDib pasted(source.file);

    EXPECT_TRUE(destination.Attach(pasted, CPoint(11, 0)));
    EXPECT_EQ(StatusOf(destination), kSuccess);
    EXPECT_TRUE(destination.Attach(pasted, CPoint(0, 11)));
    EXPECT_FALSE(destination.Attach(pasted, CPoint(10, 0))) << "x == width is not beyond";
    EXPECT_EQ(StatusOf(destination), kProgError14);
    EXPECT_FALSE(destination.Attach(pasted, CPoint(2, 2)));
    EXPECT_EQ(StatusOf(destination), kProgError14);
    EXPECT_EQ(BlockBytes(destination.GetSafeHandle()), target.file);
}

TEST_F(CompositingTest, SubBytePixelsAreRefusedAnywhereInsideButSucceedBeyondTheEdge) {
    for (const int depth : {1, 4}) {
        const Picture target(16, 8, depth, 1);
        const Picture source(16, 8, depth, 2);
        TestDib destination(target.file);
        TestDib pasted(source.file);
        for (const CPoint at : {CPoint(0, 0), CPoint(-15, -7), CPoint(15, 7), CPoint(16, 8)}) {
            destination.SetNoError();
            EXPECT_FALSE(destination.Attach(pasted, at)) << at.x << "," << at.y;
            EXPECT_EQ(StatusOf(destination), kProgError14);
        }
        EXPECT_TRUE(destination.Attach(pasted, CPoint(17, 0)));
        EXPECT_EQ(BlockBytes(destination.GetSafeHandle()), target.file);
    }
}

TEST_F(CompositingTest, RefusesAFailedSourceAMissingSourceAndADestinationWithoutAPicture) {
    const Picture target(6, 6, 8, 1);
    const Picture source(3, 3, 8, 2);
    TestDib destination(target.file);
    TestDib pasted(source.file);

    pasted.SetClassError(5); // a picture present but unusable after a failure
    EXPECT_FALSE(destination.Attach(pasted, CPoint(1, 1)));
    EXPECT_EQ(StatusOf(destination), kProgError14);
    EXPECT_EQ(StatusOf(pasted), ClassError(5));

    EXPECT_FALSE(destination.Attach(static_cast<CDib*>(nullptr), CPoint(1, 1)));
    EXPECT_EQ(StatusOf(destination), kProgError14);
    EXPECT_EQ(BlockBytes(destination.GetSafeHandle()), target.file);

    // The destination's own record is not consulted, only whether it holds a block.
    pasted.SetNoError();
    destination.SetClassError(5);
    EXPECT_TRUE(destination.Attach(pasted, CPoint(7, 0)));
    EXPECT_EQ(StatusOf(destination), kSuccess);

    TestDib empty;
    EXPECT_FALSE(empty.Attach(pasted, CPoint(0, 0)));
    EXPECT_EQ(StatusOf(empty), kProgError14);
    EXPECT_EQ(empty.GetSafeHandle(), nullptr);
    EXPECT_FALSE(destination.Attach(empty, CPoint(0, 0))) << "an empty source is a failed one";
    EXPECT_EQ(StatusOf(destination), kProgError14);
}

// A picture pasted into itself behaves as if the source were a copy taken before the paste,
// whichever way the two rectangles overlap.
TEST_F(CompositingTest, PictureAttachedIntoItselfActsAsAnOverlappingMove) {
    for (const int depth : {8, 24}) {
        for (const CPoint at :
             {CPoint(2, 1), CPoint(-2, -1), CPoint(1, -2), CPoint(-1, 3), CPoint(0, 1),
              CPoint(0, -1), CPoint(3, 0), CPoint(-3, 0), CPoint(0, 0)}) {
            SCOPED_TRACE(std::to_string(depth) + " bits at " + std::to_string(at.x) + "," +
                         std::to_string(at.y));
            const Picture picture(9, 7, depth, 3);
            TestDib dib(picture.file);
            ASSERT_TRUE(dib.Attach(dib, at));
            EXPECT_EQ(BlockBytes(dib.GetSafeHandle()), Pasted(picture, picture, at.x, at.y));
        }
    }
}

// A caller may write over a lent block. A header that no longer fits the block is refused before
// a single row is touched.
TEST_F(CompositingTest, BlockWhoseHeaderNoLongerFitsIsRefusedWithoutTouchingIt) {
    const Picture target(8, 8, 8, 1);
    const Picture source(4, 4, 8, 2);
    TestDib destination(target.file);
    TestDib pasted(source.file);
    auto* header = static_cast<BYTE*>(GlobalLock(pasted.GetSafeHandle()));
    const std::int32_t tallerThanTheBlock = 4000;
    std::memcpy(header + 22, &tallerThanTheBlock, sizeof tallerThanTheBlock); // biHeight
    FullUnlock(pasted.GetSafeHandle());

    EXPECT_FALSE(destination.Attach(pasted, CPoint(0, 0)));
    EXPECT_EQ(StatusOf(destination), ClassError(1));
    destination.SetNoError();
    EXPECT_FALSE(pasted.Attach(destination, CPoint(0, 0)));
    EXPECT_EQ(StatusOf(pasted), ClassError(1));
    EXPECT_EQ(BlockBytes(destination.GetSafeHandle()), target.file);
}

} // namespace
