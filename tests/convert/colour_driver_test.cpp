// The colour-conversion driver: which requests it refuses and with which code, what it allocates,
// and whose palettes it uses, keeps or destroys.

#include "picture_bytes.h"

namespace {

using namespace orvel::test;

// Reaches the protected steps the public operation never lets a caller reach on its own.
class ConvertProbe : public CConvertDib {
public:
    using CConvertDib::ConvertColorInit;
    using CConvertDib::ConvertColorProc;
    using CConvertDib::MakeWorkMem;
    void SetRecordedDepth(WORD bitCount) { m_bih.biBitCount = bitCount; }
    // A successful record over a missing block, which no load leaves but a derived class can.
    HGLOBAL HideBlockKeepingSuccess() {
        HGLOBAL block = m_hDib;
        m_hDib = nullptr;
        SetNoError();
        return block;
    }
    void RestoreBlock(HGLOBAL block) { m_hDib = block; }
    HGLOBAL WorkBlock() const { return m_hWork; }
};

using ConvertColorDriverTest = LeakCheckedTest;

TEST_F(ConvertColorDriverTest, ObjectWithoutPictureRefusesAndKeepsClassError6) {
    CConvertDib dib;
    EXPECT_EQ(dib.ConvertColor(8, nullptr), 0);
    EXPECT_EQ(StatusOf(dib), ClassError(6));
}

// A requested depth without a slot is class error 102; a recorded one, 101, judged first (the
// request 0 is bad too).
TEST_F(ConvertColorDriverTest, DepthsWithoutASlotAreRefusedBeforeAnythingIsMade) {
    const struct {
        WORD recorded;
        int requested;
        unsigned long code;
    } cases[] = {{8, 0, 102},  {8, 33, 102}, {8, -1, 102}, {8, 2, 102},  {8, 3, 102}, {8, 12, 102},
                 {8, 15, 102}, {8, 31, 102}, {0, 0, 101},  {33, 0, 101}, {2, 0, 101}, {12, 0, 101}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.recorded) + " to " + std::to_string(c.requested));
        ConvertProbe dib;
        LoadPicture(dib, ArbitraryPicture(8, 5, 2, 1));
        dib.SetRecordedDepth(c.recorded);
        const std::vector<std::uint8_t> before = BlockBytes(dib);
        const LiveObjects live;
        EXPECT_EQ(dib.ConvertColor(c.requested, nullptr), 0);
        EXPECT_EQ(StatusOf(dib), ClassError(c.code));
        EXPECT_EQ(BlockBytes(dib), before);
        EXPECT_TRUE(live.Unchanged());
    }
}

TEST_F(ConvertColorDriverTest, SuccessWithoutABlockIsRefusedWithoutReadingIt) {
    ConvertProbe dib;
    LoadPicture(dib, ArbitraryPicture(8, 5, 2, 1));
    HGLOBAL block = dib.HideBlockKeepingSuccess();
    EXPECT_EQ(dib.ConvertColor(24, nullptr), 0);
    EXPECT_EQ(StatusOf(dib), kProgError14);
    dib.HideBlockKeepingSuccess();
    EXPECT_EQ(dib.ConvertSize(7, 7), 0);
    EXPECT_EQ(StatusOf(dib), kProgError14);
    EXPECT_EQ(dib.WorkBlock(), nullptr);
    dib.RestoreBlock(block);
}

TEST_F(ConvertColorDriverTest, SameDirectDepthReturnsAtOnceAndTheTableEntryRefuses) {
    ConvertProbe dib;
    LoadPicture(dib, ArbitraryPicture(24, 5, 2, 1));
    HGLOBAL block = dib.GetSafeHandle();
    {
        const LiveObjects live;
        EXPECT_EQ(dib.ConvertColor(24, nullptr), 1);
        EXPECT_TRUE(live.Unchanged());
    }
    EXPECT_EQ(dib.GetSafeHandle(), block);
    EXPECT_TRUE(dib.IsSucceed());

    // The same pair reached through the table: class error 102, picture kept, work block gone.
    ASSERT_EQ(dib.ConvertColorInit(24), 1);
    EXPECT_EQ(dib.ConvertColorProc(), 0);
    EXPECT_EQ(StatusOf(dib), ClassError(102));
    EXPECT_EQ(dib.GetSafeHandle(), block);
    EXPECT_EQ(dib.WorkBlock(), nullptr);
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0U);
}

// A derived class's own steps see the work block as the file image the result becomes.
TEST_F(ConvertColorDriverTest, WorkBlockIsAFileImageOfTheNewHeader) {
    ConvertProbe dib;
    LoadPicture(dib, ArbitraryPicture(8, 10, 3, 4));
    ASSERT_EQ(dib.MakeWorkMem(CDibSupport::MakeBIH(10, 3, 1, BI_RGB, 0, 0, 0, 0, 0)), 1);
    const auto* bytes = static_cast<const BYTE*>(GlobalLock(dib.WorkBlock()));
    const std::vector<std::uint8_t> head(bytes, bytes + 54);
    GlobalUnlock(dib.WorkBlock());
    EXPECT_EQ(U32At(head, 0) & 0xFFFFU, 0x4D42U) << "BM";
    EXPECT_EQ(U32At(head, 2), 74U); // 54 + 2 entries + 3 rows of 4 bytes
    EXPECT_EQ(U32At(head, 10), 62U);
    EXPECT_EQ(U32At(head, 34), 12U); // biSizeImage filled in
}

TEST_F(ConvertColorDriverTest, CallersPaletteIsUsedAndNeverDestroyed) {
    std::vector<PALETTEENTRY> entries(256);
    for (int i = 0; i < 256; ++i) {
        entries[i] = {static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i / 2),
                      0};
    }
    CPalette palette;
    ASSERT_TRUE(palette.Attach(MakePalette(entries)));
    CConvertDib dib;
    const PictureBytes source = ArbitraryPicture(24, 9, 2, 8);
    LoadPicture(dib, source);

    ASSERT_EQ(dib.ConvertColor(1, &palette), 1);
    const PictureBytes result = HeldPicture(dib);
    ASSERT_EQ(result.colours.size(), 2U); // the caller's first two entries
    EXPECT_EQ(result.colours[1].rgbRed, 1);
    EXPECT_EQ(result.colours[1].rgbGreen, 254);
    std::vector<RGBQUAD> table;
    table.reserve(entries.size());
    for (const PALETTEENTRY& e : entries) {
        table.push_back({e.peBlue, e.peGreen, e.peRed, 0});
    }
    for (int row = 0; row < 2; ++row) {
        for (int x = 0; x < 9; ++x) { // indexes wrap to their lowest bit
            EXPECT_EQ(RawPixel(result, x, row),
                      NearestIndex(table, PixelColour(source, x, row)) & 1U);
        }
    }
    // Still the caller's and alive; a direct-colour target ignores it.
    EXPECT_EQ(palette.GetEntryCount(), 256);
    ASSERT_EQ(dib.ConvertColor(24, &palette), 1);
    EXPECT_EQ(palette.GetEntryCount(), 256);
}

TEST_F(ConvertColorDriverTest, PictureWithoutRowsStillGetsItsColourTable) {
    CConvertDib dib;
    LoadPicture(dib, PictureBytes{5, 0, 24, {}, {}});
    ASSERT_EQ(dib.ConvertColor(1, nullptr), 1);
    EXPECT_TRUE(dib.IsSucceed());
    const PictureBytes result = HeldPicture(dib);
    ASSERT_EQ(result.colours.size(), 2U);
    EXPECT_EQ(result.colours[1].rgbGreen, 255);
    EXPECT_TRUE(result.rows.empty());
}

TEST_F(ConvertColorDriverTest, PictureWithoutColumnsConvertsAtEveryDepthAtOnce) {
    // The most rows a picture may have, none of them holding a pixel: 1 KiB of file. There is
    // nothing in them to convert; a conversion that walked them would take seconds here.
    constexpr int kRows = 1 << 28;
    for (const int depth : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        CConvertDib dib;
        LoadPicture(dib, PictureBytes{0, kRows, 8, std::vector<RGBQUAD>(256), {}});
        ASSERT_TRUE(dib.IsSucceed());
        EXPECT_EQ(dib.ConvertColor(depth, nullptr), 1);
        EXPECT_TRUE(dib.IsSucceed());
        EXPECT_EQ(dib.GetSize(), CSize(0, kRows));
        EXPECT_EQ(dib.GetColorNum(), depth);
    }
}

} // namespace
