// Size conversion: where each source column and row lands, how packed rows are rebuilt, what the
// new picture keeps, and which sizes are refused.

#include "picture_bytes.h"

#include <string>

namespace {

using namespace orvel::test;

struct RepeatCase {
    int from;
    int to;
    std::vector<int> counts;
};

class RepeatCountTest : public LeakCheckedTest, public ::testing::WithParamInterface<RepeatCase> {
protected:
    // A picture whose pixel values number the source columns (or rows).
    static PictureBytes Numbered(int bitCount, int width, int height) {
        PictureBytes picture = ArbitraryPicture(bitCount, width, height, 1);
        const int pixelBytes = bitCount / 8;
        for (int row = 0; row < height; ++row) {
            for (int x = 0; x < width; ++x) {
                std::uint8_t* pixel = picture.Row(row) + x * pixelBytes;
                std::memset(pixel, 0, static_cast<std::size_t>(pixelBytes));
                pixel[0] = static_cast<std::uint8_t>(width > 1 ? x : row);
            }
        }
        return picture;
    }

    // How often each value appears along the first row (or column) of the result.
    static std::vector<int> Counts(const std::vector<std::uint32_t>& values, int sourceCount) {
        std::vector<int> counts(static_cast<std::size_t>(sourceCount), 0);
        for (std::size_t i = 0; i < values.size(); ++i) {
            EXPECT_TRUE(i == 0 || values[i] >= values[i - 1]) << "order kept";
            ++counts.at(values[i]);
        }
        return counts;
    }
};

TEST_P(RepeatCountTest, ColumnsAndRowsAreRepeatedOrDropped) {
    const RepeatCase& repeat = GetParam();
    for (const int bitCount : {8, 16, 24, 32}) {
        SCOPED_TRACE(bitCount);
        CConvertDib dib;
        LoadPicture(dib, Numbered(bitCount, repeat.from, 1));
        ASSERT_EQ(dib.ConvertSize(repeat.to, 2), 1);
        ASSERT_TRUE(dib.IsSucceed());
        const PictureBytes result = HeldPicture(dib);
        std::vector<std::uint32_t> values;
        values.reserve(static_cast<std::size_t>(repeat.to));
        for (int x = 0; x < repeat.to; ++x) {
            values.push_back(RawPixel(result, x, 0));
        }
        EXPECT_EQ(Counts(values, repeat.from), repeat.counts) << "columns";
    }
    {
        CConvertDib dib;
        LoadPicture(dib, Numbered(8, 1, repeat.from));
        ASSERT_EQ(dib.ConvertSize(2, repeat.to), 1);
        const PictureBytes result = HeldPicture(dib);
        std::vector<std::uint32_t> values; // memory order: the bottom row first
        values.reserve(static_cast<std::size_t>(repeat.to));
        for (int row = 0; row < repeat.to; ++row) {
            values.push_back(RawPixel(result, 0, row));
        }
        EXPECT_EQ(Counts(values, repeat.from), repeat.counts) << "rows";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ratios, RepeatCountTest,
    ::testing::Values(RepeatCase{3, 7, {3, 2, 2}}, RepeatCase{3, 5, {2, 1, 2}},
                      RepeatCase{4, 10, {3, 2, 3, 2}}, RepeatCase{2, 5, {3, 2}},
                      RepeatCase{6, 8, {2, 1, 1, 1, 2, 1}},
                      RepeatCase{8, 6, {1, 0, 1, 1, 1, 0, 1, 1}}, RepeatCase{5, 3, {1, 0, 1, 0, 1}},
                      RepeatCase{5, 2, {1, 0, 0, 1, 0}}, RepeatCase{7, 3, {1, 0, 0, 1, 0, 1, 0}},
                      RepeatCase{9, 3, {1, 0, 0, 1, 0, 0, 0, 1, 0}},
                      RepeatCase{10, 2, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0}},
                      RepeatCase{5, 1, {1, 0, 0, 0, 0}}, RepeatCase{1, 5, {5}},
                      RepeatCase{4, 4, {1, 1, 1, 1}}),
    [](const ::testing::TestParamInfo<RepeatCase>& testInfo) {
        return std::to_string(testInfo.param.from) + "To" + std::to_string(testInfo.param.to);
    });

using ConvertSizeTest = LeakCheckedTest;

TEST_F(ConvertSizeTest, DoublingMakesSquaresAndHalvingKeepsEvenColumnsAndRowsAtEveryDepth) {
    for (const int bitCount : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(bitCount);
        const PictureBytes source = ArbitraryPicture(bitCount, 20, 4, 21);
        for (const bool doubling : {true, false}) {
            CConvertDib dib;
            LoadPicture(dib, source);
            const int width = doubling ? 40 : 10;
            const int height = doubling ? 8 : 2;
            ASSERT_EQ(dib.ConvertSize(width, height), 1);
            ASSERT_TRUE(dib.IsSucceed());
            const PictureBytes result = HeldPicture(dib);
            ASSERT_EQ(result.bitCount, bitCount);
            EXPECT_EQ(+dib.GetBIH().biSizeImage, StrideOf(width, bitCount) * height);
            EXPECT_TRUE(SameColours(result.colours, source.colours));
            for (int row = 0; row < height; ++row) {
                for (int x = 0; x < width; ++x) { // bit 15 and 32 bits' fourth byte too
                    const int from = doubling ? x / 2 : x * 2;
                    const int fromRow = doubling ? row / 2 : row * 2;
                    ASSERT_EQ(RawPixel(result, x, row), RawPixel(source, from, fromRow))
                        << "x " << x << " row " << row;
                }
            }
            if (doubling) { // a repeated row is a copy of the whole row, padding included
                for (int row = 0; row < height; row += 2) {
                    EXPECT_EQ(std::memcmp(result.rows.data() + result.Stride() * row,
                                          result.rows.data() + result.Stride() * (row + 1),
                                          result.Stride()),
                              0);
                }
            }
        }
    }
}

// Runs a resampler on counts of the caller's choosing, as a derived class may.
class ResampleProbe : public CConvertDib {
public:
    std::vector<std::uint8_t> Resample08(CSize size, std::vector<int> columns,
                                         std::vector<int> rows) {
        EXPECT_EQ(ConvertSizeInit(size), 1);
        ConvertSize08(columns.data(), rows.data());
        CDibInfo work(m_hWork);
        const BYTE* pixels = work.GetImage();
        return {pixels, pixels + work.GetBI()->bmiHeader.biSizeImage};
    }
};

TEST_F(ConvertSizeTest, IrregularCountsNeverWriteBeyondTheirTotal) {
    ResampleProbe dib;
    LoadPicture(dib, PictureBytes{3, 1, 8, ArbitraryPicture(8, 1, 1, 3).colours, {7, 8, 9, 0}});
    // Column 1 has no copy but sits before the last kept column: nothing of it may remain.
    EXPECT_EQ(dib.Resample08(CSize(3, 1), {2, 0, 1}, {1}), (std::vector<std::uint8_t>{7, 7, 9, 0}));
    // Counts adding up to more than the work block's width and height are cut at its edges.
    EXPECT_EQ(dib.Resample08(CSize(2, 1), {3, 1, 1}, {2}), (std::vector<std::uint8_t>{7, 7, 0, 0}));
}

// Packed rows are rebuilt bit 7 (or the high nibble) first, also from columns repeated more than
// four times (2 to 11 columns: 6 and 5 copies) and from copies that straddle a stored word.
TEST_F(ConvertSizeTest, PackedRowsAreRebuiltFirstPixelInTheHighBits) {
    const struct {
        int bitCount;
        int width;
        std::vector<std::uint8_t> row;
        int newWidth;
        std::vector<std::uint8_t> expected;
    } cases[] = {{1, 3, {0xA0, 0, 0, 0}, 7, {0xE6, 0, 0, 0}},
                 {1, 16, {0xF0, 0x0F, 0, 0}, 8, {0xC3, 0, 0, 0}},
                 {1, 2, {0x80, 0, 0, 0}, 11, {0xFC, 0x00, 0, 0}},
                 {4, 3, {0x12, 0x30, 0, 0}, 5, {0x11, 0x23, 0x30, 0}},
                 {4, 2, {0x1F, 0, 0, 0}, 11, {0x11, 0x11, 0x11, 0xFF, 0xFF, 0xF0, 0, 0}},
                 // Three copies of 4 bits: a stored word ends inside a column's copies.
                 {4, 4, {0x12, 0x34, 0, 0}, 12, {0x11, 0x12, 0x22, 0x33, 0x34, 0x44, 0, 0}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.newWidth);
        PictureBytes source = ArbitraryPicture(c.bitCount, c.width, 1, 2);
        source.rows = c.row;
        CConvertDib dib;
        LoadPicture(dib, source);
        ASSERT_EQ(dib.ConvertSize(c.newWidth, 1), 1);
        EXPECT_EQ(HeldPicture(dib).rows, c.expected);
    }
}

TEST_F(ConvertSizeTest, CurrentSizeChangesNothing) {
    CConvertDib dib;
    LoadPicture(dib, ArbitraryPicture(8, 5, 3, 3));
    HGLOBAL block = dib.GetSafeHandle();
    const CPalette* palette = dib.GetPalette();
    const LiveObjects live;
    EXPECT_EQ(dib.ConvertSize(5, 3), 1);
    EXPECT_TRUE(dib.IsSucceed());
    EXPECT_EQ(dib.GetSafeHandle(), block);
    EXPECT_EQ(dib.GetPalette(), palette);
    EXPECT_TRUE(live.Unchanged());
}

TEST_F(ConvertSizeTest, FailedRecordIsNotResized) {
    CConvertDib dib;
    EXPECT_EQ(dib.ConvertSize(4, 4), 0);
    EXPECT_EQ(StatusOf(dib), ClassError(6));
}

// The last picture's 2^28 + 1 columns at 1 bit take 32 MiB of pixels, but 1 GiB and 8 bytes of
// column counts: over the picture limit.
TEST_F(ConvertSizeTest, SizesWithoutAWorkBlockAreRefusedBeforeAnyAllocation) {
    PictureBytes wide{(1 << 28) + 1, 1, 1, std::vector<RGBQUAD>(2), {}};
    wide.rows.assign(wide.Stride(), 0x5A);
    const PictureBytes small = ArbitraryPicture(24, 5, 3, 3);
    const struct {
        const PictureBytes& picture;
        long width;
        long height;
        unsigned long code;
    } refusals[] = {{small, -1, 3, ERROR_INVALID_PARAMETER},
                    {small, 5, -2, ERROR_INVALID_PARAMETER},
                    {small, 100000, 100000, ERROR_NOT_ENOUGH_MEMORY},
                    {small, 1L << 40, 3, ERROR_NOT_ENOUGH_MEMORY},
                    {wide, 3, 2, ERROR_NOT_ENOUGH_MEMORY}};
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.width);
        CConvertDib dib;
        LoadPicture(dib, refusal.picture);
        const std::vector<std::uint8_t> before = BlockBytes(dib);
        orvel::testing::InjectFault(orvel::testing::kFaultGlobalAlloc, 1);
        EXPECT_EQ(dib.ConvertSize(refusal.width, refusal.height), 0);
        EXPECT_EQ(orvel::testing::FaultSiteCalls(), 0) << "nothing allocated";
        orvel::testing::ClearFault();
        EXPECT_EQ(StatusOf(dib), SystemError(refusal.code));
        EXPECT_TRUE(BlockBytes(dib) == before) << "the picture is kept";
    }
}

TEST_F(ConvertSizeTest, HeaderFieldsOtherThanTheSizeAreKept) {
    PictureBytes source = ArbitraryPicture(8, 4, 4, 6);
    std::vector<std::uint8_t> packed = PackedDib(source);
    const std::int32_t pels[2] = {0x13, 0x27};
    std::memcpy(packed.data() + 24, pels, sizeof pels); // biXPelsPerMeter, biYPelsPerMeter
    CConvertDib dib(reinterpret_cast<BITMAPINFOHEADER*>(packed.data()));
    ASSERT_TRUE(dib.IsSucceed());
    ASSERT_EQ(dib.ConvertSize(9, 2), 1);
    const BITMAPINFOHEADER header = dib.GetBIH();
    EXPECT_EQ(+header.biXPelsPerMeter, 0x13);
    EXPECT_EQ(+header.biYPelsPerMeter, 0x27);
    EXPECT_EQ(+header.biBitCount, 8);
    EXPECT_EQ(+header.biCompression, BI_RGB);
}

} // namespace
