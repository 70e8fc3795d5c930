// Run-length decoding: streams built byte by byte and the rows they must give.
#include "dib_test_support.h"

namespace {

using namespace orvel::test;
using orvel::testing::InjectFault;
using RunLengthTest = LeakCheckedTest;

struct Stream {
    const char* name;
    std::uint16_t bitCount;
    std::int32_t width;
    std::int32_t height;
    Bytes codes;
    Bytes rows; // the whole pixel area, bottom row first
};

// With `stored` colours, biClrUsed says so and only they are stored.
Bytes RleFile(const Stream& s, std::uint32_t stored = 0) {
    const std::uint32_t compression = s.bitCount == 8 ? BI_RLE8 : BI_RLE4;
    return InfoFile({.width = s.width,
                     .height = s.height,
                     .bitCount = s.bitCount,
                     .compression = compression,
                     .sizeImage = static_cast<std::uint32_t>(s.codes.size()),
                     .clrUsed = stored},
                    Colours(stored != 0 ? stored : 1U << s.bitCount), s.codes);
}

// A named stream; a call keeps each case on a line or two.
Stream S(const char* name, std::uint16_t bitCount, std::int32_t width, std::int32_t height,
         Bytes codes, Bytes rows) {
    return {name, bitCount, width, height, std::move(codes), std::move(rows)};
}

const Stream kStreams[] = {
    // 8 bits per pixel, 4 pixels wide: one row is 4 bytes.
    S("EncodedRun", 8, 4, 2, {3, 7, 0, 0, 0, 1}, {7, 7, 7, 0, 0, 0, 0, 0}),
    S("OddAbsoluteRunSkipsItsPadByte", 8, 4, 2, {0, 3, 1, 2, 3, 0xEE, 1, 9, 0, 1},
      {1, 2, 3, 9, 0, 0, 0, 0}),
    S("EvenAbsoluteRunHasNoPadByte", 8, 4, 2, {0, 4, 1, 2, 3, 4, 1, 5, 0, 1},
      {1, 2, 3, 4, 5, 0, 0, 0}),
    S("RunCrossesTheRowEnd", 8, 3, 2, {5, 6, 0, 0, 1, 8, 0, 1}, {6, 6, 6, 6, 8, 0, 0, 0}),
    S("DeltaMovesRightAndUpAndEndOfLineFollowsIt", 8, 4, 3,
      {1, 1, 0, 2, 2, 1, 1, 2, 0, 0, 1, 3, 0, 1}, {1, 0, 0, 0, 0, 0, 0, 2, 3, 0, 0, 0}),
    S("EndOfLineMayMoveBackAfterALongRun", 8, 2, 2, {6, 4, 0, 0, 1, 5, 0, 1},
      {4, 4, 4, 4, 5, 4, 0, 0}),
    S("NoEndOfPictureKeepsWhatWasDecoded", 8, 4, 1, {2, 7}, {7, 7, 0, 0}),
    S("RunPastThePictureEndStopsThere", 8, 4, 1, {6, 5, 0, 0, 1, 9}, {5, 5, 5, 5}),
    S("AbsoluteRunCutByTheStreamEnd", 8, 4, 1, {0, 5, 1, 2}, {1, 2, 0, 0}),
    S("DeltaOutsideThePictureStops", 8, 4, 1, {0, 2, 5, 0, 1, 9}, {0, 0, 0, 0}),
    S("EndOfLinePastTheLastRowStops", 8, 4, 1, {1, 1, 0, 0, 0, 0, 1, 9}, {1, 0, 0, 0}),
    // 4 bits per pixel: the left pixel of a byte is its high nibble.
    S("RowsStartInTheHighNibble", 4, 5, 2, {5, 0x12, 0, 0, 5, 0x34, 0, 1},
      {0x12, 0x12, 0x10, 0, 0x34, 0x34, 0x30, 0}),
    S("EncodedRunFromTheLowNibble", 4, 8, 1, {1, 0xA0, 5, 0xBC, 0, 1}, {0xAB, 0xCB, 0xCB, 0}),
    S("AbsoluteRunFromTheLowNibble", 4, 8, 1, {1, 0xF0, 0, 5, 0x12, 0x34, 0x50, 0xEE, 0, 1},
      {0xF1, 0x23, 0x45, 0}),
    S("AbsoluteRunOfThreeTakesOneWord", 4, 8, 1, {0, 3, 0xAB, 0xC0, 1, 0x70, 0, 1},
      {0xAB, 0xC7, 0, 0}),
    S("AbsoluteRunOfFourTakesOneWord", 4, 8, 1, {0, 4, 0xAB, 0xCD, 1, 0x70, 0, 1},
      {0xAB, 0xCD, 0x70, 0}),
    S("OddAbsoluteRunEndsInAHighNibble", 4, 8, 1, {0, 5, 0x12, 0x34, 0x5E, 0xEE, 1, 0x70, 0, 1},
      {0x12, 0x34, 0x57, 0}),
    S("OddDeltaMovesOneNibble", 4, 8, 1, {1, 0x10, 0, 2, 3, 0, 1, 0x20, 0, 1}, {0x10, 0, 0x20, 0}),
    S("EndOfLineAfterADeltaUpStartsTheRowAboveIt", 4, 4, 3, {0, 2, 0, 1, 0, 0, 1, 0x50, 0, 1},
      {0, 0, 0, 0, 0, 0, 0, 0, 0x50, 0, 0, 0}),
    S("FourBitRunPastTheEndStops", 4, 2, 1, {11, 0x12, 0, 0}, {0x12, 0x12, 0x12, 0x12}),
};

TEST_F(RunLengthTest, EachStreamDecodesToItsRows) {
    for (const Stream& stream : kStreams) {
        SCOPED_TRACE(stream.name);
        TestDib dib;
        ASSERT_TRUE(AttachBytes(dib, RleFile(stream)));
        EXPECT_EQ(PixelArea(dib), stream.rows);
    }
}

// Absolute runs of 8-bit pictures are moved in pieces whose sizes depend on the length: every
// length must land exactly, with nothing written past its last pixel.
TEST_F(RunLengthTest, AbsoluteRunOfEveryLengthLandsExactly) {
    for (int length = 3; length <= 255; ++length) {
        SCOPED_TRACE(length);
        Stream stream{"", 8, 258, 1, {0, static_cast<std::uint8_t>(length)}, Bytes(260, 0)};
        for (int i = 0; i < length; ++i) {
            stream.codes.push_back(static_cast<std::uint8_t>(i + 1));
            stream.rows[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i + 1);
        }
        if (length % 2 != 0) {
            stream.codes.push_back(0xAB); // pad byte, not a pixel
        }
        stream.codes.insert(stream.codes.end(), {1, 0xEE, 0, 1});
        stream.rows[static_cast<std::size_t>(length)] = 0xEE;
        TestDib dib;
        ASSERT_TRUE(AttachBytes(dib, RleFile(stream)));
        ASSERT_EQ(PixelArea(dib), stream.rows);
    }
}

TEST_F(RunLengthTest, DecodedBlockIsCanonicalAndKeepsTheOtherHeaderFields) {
    for (const Stream& s : {kStreams[0], kStreams[11]}) {
        TestDib dib;
        // Only four colours stored: the rest of the table is zero, not stream bytes.
        ASSERT_TRUE(AttachBytes(dib, RleFile(s, 4))) << StatusOf(dib) << s.name;
        Bytes table = Colours(4);
        table.resize(4U << s.bitCount, 0);
        EXPECT_EQ(BlockBytes(dib.GetSafeHandle()),
                  InfoFile({.width = s.width,
                            .height = s.height,
                            .bitCount = s.bitCount,
                            .sizeImage = static_cast<std::uint32_t>(s.rows.size()),
                            .clrUsed = 4},
                           table, s.rows));
    }
}

TEST_F(RunLengthTest, FailedDecodingBlockLeavesTheCompressedBlockWithTheObject) {
    struct RunLengthDib : TestDib {
        using CDib::DecompressRLE8;
    };
    for (auto site : {orvel::testing::kFaultGlobalAlloc, orvel::testing::kFaultGlobalLock}) {
        RunLengthDib dib;
        const Bytes file = RleFile(kStreams[0]);
        ASSERT_TRUE(AttachBytes(dib, file));
        // Hand the compressed block in again and make the decoder's new block fail.
        HGLOBAL block = BlockOf(file);
        ::SetLastError(0);
        // The check, the core step, the layout step and the decoder's source view each lock the
        // block before the decoder locks its new one.
        InjectFault(site, site == orvel::testing::kFaultGlobalLock ? 5 : 1);
        EXPECT_FALSE(dib.AttachHandle(block));
        EXPECT_EQ(StatusOf(dib).kind, HTERR_SYSTEM);
        EXPECT_EQ(dib.GetSafeHandle(), block);
        EXPECT_EQ(BlockBytes(block), file);
        EXPECT_EQ(dib.GetPalette(), nullptr);
        // The kept runs decode into nothing when the destination is no picture.
        dib.DecompressRLE8(CDibInfo(block), CDibInfo());
        EXPECT_EQ(BlockBytes(block), file);
    }
}

} // namespace
