// Pasting one picture into another: clipping at every edge, the order of the checks, what is
// refused, row padding, pasting a picture into itself, and blocks whose headers no longer fit.
#include "convert/picture_bytes.h"
#include "dib_test_support.h"

#include <climits>
#include <tuple>

namespace {

using namespace orvel::test;

// Pictures are of arbitrary bytes, row padding included, seeded so that two pictures differ.
// What the destination's block must hold after pasting `source` at (x, y): each destination
// pixel that the placed source covers takes that source pixel's bytes; every other byte stays.
// Rows are stored bottom-up; y counts from the top.
Bytes Pasted(PictureBytes destination, const PictureBytes& source, long long x, long long y) {
    const auto pixelBytes = static_cast<std::size_t>(destination.bitCount / 8);
    for (int dy = 0; dy < destination.height; ++dy) {
        for (int dx = 0; dx < destination.width; ++dx) {
            const long long sx = dx - x;
            const long long sy = dy - y;
            if (sx < 0 || sy < 0 || sx >= source.width || sy >= source.height) {
                continue;
            }
            const std::size_t from =
                source.Stride() * static_cast<std::size_t>(source.height - 1 - sy) +
                static_cast<std::size_t>(sx) * pixelBytes;
            std::memcpy(destination.Row(destination.height - 1 - dy) +
                            static_cast<std::size_t>(dx) * pixelBytes,
                        source.rows.data() + from, pixelBytes);
        }
    }
    return FileOf(destination);
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
    const PictureBytes target = ArbitraryPicture(depth, 13, 11, 1);
    const PictureBytes source = ArbitraryPicture(depth, sourceSize.first, sourceSize.second, 2);
    TestDib destination(FileOf(target));
    TestDib pasted(FileOf(source));

    EXPECT_TRUE(destination.Attach(pasted, CPoint(at.x, at.y)));
    EXPECT_EQ(StatusOf(destination), kSuccess);
    EXPECT_EQ(BlockBytes(destination.GetSafeHandle()), Pasted(target, source, at.x, at.y));
    EXPECT_EQ(BlockBytes(pasted.GetSafeHandle()), FileOf(source)) << "the source never changes";
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

// The position is tested before the depths: a destination's right edge is still "inside", and
// pictures of different depths or of sub-byte pixels are refused anywhere inside but succeed
// beyond the edge. Neither changes the destination.
TEST_F(CompositingTest, PositionBeyondTheEdgeSucceedsBeforeTheDepthsAreCompared) {
    const struct {
        int targetDepth;
        int sourceDepth;
        CPoint at;
        bool succeeds;
    } rows[] = {{24, 8, {17, 0}, true}, {24, 8, {0, 9}, true},    {24, 8, {16, 0}, false},
                {24, 8, {2, 2}, false}, {1, 1, {0, 0}, false},    {1, 1, {-15, -7}, false},
                {1, 1, {15, 7}, false}, {1, 1, {16, 8}, false},   {1, 1, {17, 0}, true},
                {4, 4, {0, 0}, false},  {4, 4, {-15, -7}, false}, {4, 4, {15, 7}, false},
                {4, 4, {16, 8}, false}, {4, 4, {17, 0}, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << row.targetDepth << " bits at " << row.at.x << "," << row.at.y);
        const PictureBytes target = ArbitraryPicture(row.targetDepth, 16, 8, 1);
        TestDib destination(FileOf(target));
        TestDib pasted(FileOf(ArbitraryPicture(row.sourceDepth, 16, 8, 2)));
        EXPECT_EQ(destination.Attach(pasted, row.at), row.succeeds ? TRUE : FALSE);
        EXPECT_EQ(StatusOf(destination), row.succeeds ? kSuccess : kProgError14);
        EXPECT_EQ(BlockBytes(destination.GetSafeHandle()), FileOf(target));
    }
}

TEST_F(CompositingTest, RefusesAFailedSourceAMissingSourceAndADestinationWithoutAPicture) {
    const PictureBytes target = ArbitraryPicture(8, 6, 6, 1);
    const PictureBytes source = ArbitraryPicture(8, 3, 3, 2);
    TestDib destination(FileOf(target));
    TestDib pasted(FileOf(source));

    pasted.SetClassError(5); // a picture present but unusable after a failure
    EXPECT_FALSE(destination.Attach(pasted, CPoint(1, 1)));
    EXPECT_EQ(StatusOf(destination), kProgError14);
    EXPECT_EQ(StatusOf(pasted), ClassError(5));

    EXPECT_FALSE(destination.Attach(static_cast<CDib*>(nullptr), CPoint(1, 1)));
    EXPECT_EQ(StatusOf(destination), kProgError14);
    EXPECT_EQ(BlockBytes(destination.GetSafeHandle()), FileOf(target));

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
            const PictureBytes picture = ArbitraryPicture(depth, 9, 7, 3);
            TestDib dib(FileOf(picture));
            ASSERT_TRUE(dib.Attach(dib, at));
            EXPECT_EQ(BlockBytes(dib.GetSafeHandle()), Pasted(picture, picture, at.x, at.y));
        }
    }
}

// A caller may write over a lent block. A header that no longer fits the block is refused before
// a single row is touched.
TEST_F(CompositingTest, BlockWhoseHeaderNoLongerFitsIsRefusedWithoutTouchingIt) {
    const PictureBytes target = ArbitraryPicture(8, 8, 8, 1);
    const PictureBytes source = ArbitraryPicture(8, 4, 4, 2);
    TestDib destination(FileOf(target));
    TestDib pasted(FileOf(source));
    auto* header = static_cast<BYTE*>(GlobalLock(pasted.GetSafeHandle()));
    const std::int32_t tallerThanTheBlock = 4000;
    std::memcpy(header + 22, &tallerThanTheBlock, sizeof tallerThanTheBlock); // biHeight
    FullUnlock(pasted.GetSafeHandle());

    EXPECT_FALSE(destination.Attach(pasted, CPoint(0, 0)));
    EXPECT_EQ(StatusOf(destination), ClassError(1));
    destination.SetNoError();
    EXPECT_FALSE(pasted.Attach(destination, CPoint(0, 0)));
    EXPECT_EQ(StatusOf(pasted), ClassError(1));
    EXPECT_EQ(BlockBytes(destination.GetSafeHandle()), FileOf(target));
}

} // namespace
