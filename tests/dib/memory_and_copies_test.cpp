// Memory images, packed DIBs, copies and handed-over blocks.
#include "dib_test_support.h"

namespace {

using namespace orvel::test;
using orvel::testing::InjectFault;
using MemoryTest = LeakCheckedTest;

TEST_F(MemoryTest, PackedDibAlwaysCarriesTheFullTableAndMasksFollowTheHeader) {
    // A picture whose header keeps biClrUsed 2 with the full table of its depth, as a file may:
    // its packed form (everything after the file header) must come back unchanged, so the
    // packed reader takes the full table, not biClrUsed colours.
    TestDib source;
    ASSERT_TRUE(AttachBytes(
        source, InfoFile({.width = 2, .height = 1, .bitCount = 4, .sizeImage = 4, .clrUsed = 2},
                         Colours(16), {0x12, 0, 0, 0})));
    Bytes packedForm = BlockBytes(source.GetSafeHandle());
    packedForm.erase(packedForm.begin(), packedForm.begin() + 14);
    TestDib dib;
    ASSERT_TRUE(dib.Load(reinterpret_cast<BITMAPINFOHEADER*>(packedForm.data())));
    EXPECT_EQ(BlockBytes(dib.GetSafeHandle()), BlockBytes(source.GetSafeHandle()));
    EXPECT_EQ(PixelArea(dib), (Bytes{0x12, 0, 0, 0}));

    // The masks come first, then the colours the picture suggests for its palette.
    ByteBuilder masksAndColours;
    masksAndColours.U32(0x7C00).U32(0x03E0).U32(0x001F).Bytes(Colours(2));
    Bytes bitFields = Packed(InfoFile(
        {.width = 2, .height = 1, .bitCount = 16, .compression = BI_BITFIELDS, .clrUsed = 2},
        masksAndColours.Get(), {1, 2, 3, 4}));
    ASSERT_TRUE(dib.Load(reinterpret_cast<BITMAPINFOHEADER*>(bitFields.data())));
    EXPECT_EQ(+dib.GetBIH().biCompression, BI_RGB);
    EXPECT_EQ(PixelArea(dib), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(PaletteColours(dib.GetPalette()), (Bytes{0, 0, 0, 3, 2, 1}));

    Bytes coreForm = Packed(CoreFile(1, 1, 24, {}, {1, 2, 3, 0}));
    EXPECT_FALSE(dib.Load(reinterpret_cast<BITMAPINFOHEADER*>(coreForm.data())));
    EXPECT_EQ(StatusOf(dib), ClassError(1));
    EXPECT_EQ(dib.GetSafeHandle(), nullptr);
    // An image size over the limit is refused before the memory it claims is read.
    Bytes huge = Packed(InfoFile({.bitCount = 24, .sizeImage = 0xFFFFFFFF}, {}, {1, 2, 3, 0}));
    EXPECT_FALSE(dib.Load(reinterpret_cast<BITMAPINFOHEADER*>(huge.data())));
    EXPECT_EQ(StatusOf(dib), ClassError(1));
}

TEST_F(MemoryTest, CopiesAreDeepAndIndependent) {
    TestDib a;
    TestDib b(EightBitFile());
    b.DrawDibPreference() = FALSE;
    a = b;
    EXPECT_EQ(StatusOf(a), kSuccess);
    EXPECT_NE(a.GetSafeHandle(), b.GetSafeHandle());
    EXPECT_NE(a.GetPalette(), b.GetPalette());
    EXPECT_EQ(BlockBytes(a.GetSafeHandle()), BlockBytes(b.GetSafeHandle()));
    EXPECT_EQ(a.DrawDibPreference(), TRUE);
    static_cast<BYTE*>(GlobalLock(b.GetSafeHandle()))[1078] = 0x99;
    FullUnlock(b.GetSafeHandle());
    EXPECT_EQ(PixelArea(a)[0], 1);

    HGLOBAL before = a.GetSafeHandle();
    a = a;
    EXPECT_EQ(a.GetSafeHandle(), before);
    EXPECT_TRUE(a.Load(a));
    EXPECT_EQ(a.GetSafeHandle(), before);

    TestDib c(b);
    EXPECT_EQ(PixelArea(c)[0], 0x99);
    TestDib d;
    EXPECT_TRUE(d.Copy(&c));
    EXPECT_EQ(BlockBytes(d.GetSafeHandle()), BlockBytes(c.GetSafeHandle()));
    EXPECT_FALSE(d.Copy(nullptr));
    EXPECT_EQ(StatusOf(d), kProgError14);
    EXPECT_NE(d.GetSafeHandle(), nullptr); // a rejected argument leaves the picture
}

TEST_F(MemoryTest, CopyFromAFailedSourceLeavesTheDestinationAsItWas) {
    TestDib source;
    TestDib destination(EightBitFile());
    HGLOBAL kept = destination.GetSafeHandle();
    EXPECT_FALSE(destination.Load(source)); // the source holds nothing
    EXPECT_EQ(StatusOf(destination), kProgError14);
    EXPECT_EQ(destination.GetSafeHandle(), kept);
    EXPECT_NE(destination.GetPalette(), nullptr);

    ASSERT_TRUE(LoadImage(source, EightBitFile()));
    InjectFault(orvel::testing::kFaultGlobalLock, 1); // the source's block cannot be viewed
    EXPECT_FALSE(destination.Load(source));
    EXPECT_EQ(StatusOf(destination), kProgError14);
    EXPECT_EQ(destination.GetSafeHandle(), nullptr);
    InjectFault(orvel::testing::kFaultGlobalAlloc, 1);
    EXPECT_FALSE(destination.Load(source));
    EXPECT_EQ(StatusOf(destination), SystemError(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(destination.GetSafeHandle(), nullptr);
}

TEST_F(MemoryTest, BlocksMoveBetweenObjectsAndBackThroughNormalisation) {
    TestDib a;
    TestDib b;
    EXPECT_FALSE(a.LoadAttach(b));
    EXPECT_EQ(StatusOf(a), ClassError(6)); // neither changes
    ASSERT_TRUE(LoadImage(b, EightBitFile()));
    b.SetClassError(5); // a failed record does not stop the move
    HGLOBAL moved = b.GetSafeHandle();
    EXPECT_TRUE(a.LoadAttach(b));
    EXPECT_EQ(a.GetSafeHandle(), moved);
    EXPECT_EQ(b.GetSafeHandle(), nullptr);
    EXPECT_EQ(StatusOf(b), ClassError(6));
    EXPECT_EQ(b.GetPalette(), nullptr);
    EXPECT_TRUE(a.LoadAttach(a));
    EXPECT_EQ(a.GetSafeHandle(), moved);

    EXPECT_FALSE(a.AttachHandle(nullptr));
    EXPECT_EQ(a.GetSafeHandle(), moved);
    HGLOBAL detached = a.DetachHandle();
    EXPECT_TRUE(a.AttachHandle(detached));
    EXPECT_EQ(StatusOf(a), kSuccess);
    EXPECT_NE(a.GetPalette(), nullptr);
    EXPECT_TRUE(a.AttachHandle(a.GetSafeHandle())); // its own block: out and back in
    EXPECT_EQ(BlockBytes(a.GetSafeHandle()), EightBitFile());
}

TEST_F(MemoryTest, PaletteFailuresKeepTheCanonicalBlock) {
    struct Row {
        std::uint32_t site;
        long nth;
        Status status;
        bool paletteObject;
    };
    // The palette object itself; the LOGPALETTE; CreatePalette.
    for (const Row& row : {Row{orvel::testing::kFaultObjectAlloc, 1, ClassError(3), false},
                           Row{orvel::testing::kFaultObjectAlloc, 2, ClassError(3), true},
                           Row{orvel::testing::kFaultCreatePalette, 1, ClassError(4), true}}) {
        TestDib dib;
        InjectFault(row.site, row.nth);
        EXPECT_FALSE(AttachBytes(dib, CoreFile(2, 1, 8, Colours(256, 3), {1, 2, 0, 0})));
        EXPECT_EQ(StatusOf(dib), row.status);
        ASSERT_NE(dib.GetSafeHandle(), nullptr);
        EXPECT_EQ(U32At(BlockBytes(dib.GetSafeHandle()), 14), 40U); // already canonical
        EXPECT_EQ(dib.GetPalette() != nullptr, row.paletteObject);
        EXPECT_FALSE(dib.CreateLogicPalette(*const_cast<CPalette*>(&dib.HalftonePalette())));
    }
}

TEST_F(MemoryTest, RefusedHalftonePaletteLeavesADirectColourPictureLoaded) {
    // The halftone palette only serves drawing on a palette device; the picture stands without.
    TestDib dib;
    InjectFault(orvel::testing::kFaultCreatePalette, 1);
    EXPECT_TRUE(
        AttachBytes(dib, InfoFile({.width = 1, .height = 1, .bitCount = 24}, {}, {1, 2, 3, 0})));
    EXPECT_EQ(StatusOf(dib), kSuccess);
    ASSERT_NE(dib.GetPalette(), nullptr);
    EXPECT_EQ(dib.GetPalette()->m_hObject, nullptr);
}

// A null pointer, or a block that cannot be had, releases the picture held.
TEST_F(MemoryTest, FailedLoadsOfFileImagesAndPackedDibsReleaseThePicture) {
    // A null image or packed DIB; the library sweep refuses each block of every load.
    const Bytes core = CoreFile(2, 1, 24, {}, {1, 2, 3, 4, 5, 6, 0, 0});
    TestDib dib;
    for (const bool isPacked : {false, true}) {
        ASSERT_TRUE(LoadImage(dib, EightBitFile()));
        EXPECT_FALSE(isPacked ? dib.Load(static_cast<BITMAPINFOHEADER*>(nullptr))
                              : dib.Load(static_cast<BITMAPFILEHEADER*>(nullptr)));
        EXPECT_EQ(StatusOf(dib), kProgError14);
        EXPECT_EQ(dib.GetSafeHandle(), nullptr);
    }
    // The core conversion's new block: the object keeps the core block it was given.
    orvel::testing::InjectFault(orvel::testing::kFaultGlobalAlloc, 2);
    EXPECT_FALSE(LoadImage(dib, core));
    EXPECT_EQ(StatusOf(dib), SystemError(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(BlockBytes(dib.GetSafeHandle()), core);
    EXPECT_EQ(dib.GetPalette(), nullptr);
}

} // namespace
