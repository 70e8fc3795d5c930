// Clipboard exchange: the CF_DIB block byte for byte, the CF_PALETTE of a direct-colour picture
// with colour entries, round trips between objects, every failure with its status, packed DIBs
// that do not fit their block, and no block, palette or handle left behind.
#include "drawing_support.h"

namespace {

using namespace orvel::test;
using orvel::testing::InjectFault;

class ClipboardTest : public LeakCheckedTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(window_.Create(nullptr, "clipboard", 0, CRect(0, 0, 10, 10), nullptr, 0));
        ASSERT_TRUE(other_.Create(nullptr, "other", 0, CRect(0, 0, 10, 10), nullptr, 0));
        Empty();
    }
    // What is left on the clipboard is the clipboard's; emptying it gives it back before the
    // leak check counts.
    void TearDown() override {
        LeakCheckedTest::TearDown(); // before the clipboard gives its blocks back
        EXPECT_EQ(GetOpenClipboardWindow(), nullptr) << "every path closes the clipboard";
        CloseClipboard();
        Empty();
        window_.DestroyWindow();
        other_.DestroyWindow();
    }

    static void Empty() {
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
    }

    // The bytes of a format's block on the clipboard; empty when there is none.
    static Bytes ClipboardBytes(UINT format = CF_DIB) {
        Bytes bytes;
        if (OpenClipboard(nullptr)) {
            if (auto block = static_cast<HGLOBAL>(GetClipboardData(format))) {
                bytes = BlockBytes(block);
            }
            CloseClipboard();
        }
        return bytes;
    }

    // Puts a packed DIB on the clipboard as CF_DIB, replacing everything there.
    static void Put(const Bytes& packed) {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        ASSERT_NE(SetClipboardData(CF_DIB, BlockOf(packed)), nullptr);
        CloseClipboard();
    }

    CWnd window_;
    CWnd other_;
};

// Entries announced by biClrUsed, by biClrImportant, or by both.
TEST_F(ClipboardTest, DirectColourLeavesItsEntriesOutAndPlacesTheirPalette) {
    for (const auto& [used, important] :
         {std::pair{16U, 0U}, std::pair{256U, 16U}, std::pair{0U, 16U}}) {
        SCOPED_TRACE(used + important);
        const Bytes file = DirectWithEntriesFile(used, important);
        TestDib dib(file);
        const Bytes ownColours = PaletteColours(dib.GetPalette());
        ASSERT_EQ(ownColours.size(), 16U * 3);
        ASSERT_TRUE(dib.SetClipboard(&window_));

        const Bytes clip = ClipboardBytes();
        ASSERT_EQ(clip.size(), 24U + 41U);
        Bytes header(file.begin() + 14, file.begin() + 54);
        std::fill(header.begin() + 32, header.begin() + 40, 0); // biClrUsed, biClrImportant
        EXPECT_EQ(Bytes(clip.begin(), clip.begin() + 40), header);
        EXPECT_EQ(Bytes(clip.begin() + 40, clip.begin() + 64),
                  Bytes(file.begin() + 118, file.end()));
        EXPECT_EQ(clip.back(), 0);

        HPALETTE clipPalette = CDib::GetClipPalette(&window_);
        ASSERT_NE(clipPalette, nullptr);
        EXPECT_NE(clipPalette, static_cast<HPALETTE>(*dib.GetPalette()));
        CPalette lent;
        lent.Attach(clipPalette);
        EXPECT_EQ(PaletteColours(&lent), ownColours);
        lent.Detach(); // the clipboard's

        // The object's own palette is still whole: the clipboard's is a copy.
        EXPECT_EQ(PaletteColours(dib.GetPalette()), ownColours);
        EXPECT_EQ(BlockBytes(dib.GetSafeHandle()), file);
    }
}

// Copying and loading back on another object gives the same picture at every depth.
TEST_F(ClipboardTest, AnotherObjectLoadsTheSamePictureAtEveryDepth) {
    for (const int depth : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        const ColourPicture picture = MakeColourPicture(9, 6, depth);
        TestDib copied(picture.file);
        TestDib loaded;
        ASSERT_TRUE(copied.SetClipboard(&window_));
        ASSERT_TRUE(loaded.GetClipboard(&other_));
        EXPECT_EQ(StatusOf(loaded), kSuccess);
        EXPECT_EQ(BlockBytes(loaded.GetSafeHandle()), picture.file);
        EXPECT_EQ(PaletteColours(loaded.GetPalette()), PaletteColours(copied.GetPalette()));
        EXPECT_EQ(ClipboardBytes(), Bytes(picture.file.begin() + 14, picture.file.end()))
            << "the block from offset 14, only read";
        EXPECT_FALSE(IsClipboardFormatAvailable(CF_PALETTE)) << "no colour entries, no palette";
        EXPECT_EQ(BlockBytes(copied.GetSafeHandle()), picture.file)
            << "the picture does not change";
    }
}

// Every failing step of SetClipboard and GetClipboard: its status, the clipboard closed, and
// whatever was made for the clipboard freed when it did not get there. SetClipboard keeps the
// picture; GetClipboard keeps it while the clipboard's data is unread, and afterwards leaves the
// object empty (or holding a refused block, as the normalisation step leaves it).
TEST_F(ClipboardTest, EachFailingStepOfTheExchangeIsRecorded) {
    using namespace orvel::testing;
    const struct {
        bool get;
        bool withEntries;
        FaultSite site;
        long nth;
        Status status;
        bool keepsPicture;
    } steps[] = {
        {false, false, kFaultGlobalLock, 1, SystemError(ERROR_DISCARDED), true}, // the picture's
        {false, false, kFaultGlobalAlloc, 1, SystemError(ERROR_NOT_ENOUGH_MEMORY), true},
        {false, false, kFaultGlobalLock, 2, SystemError(ERROR_DISCARDED), true}, // the new block's
        {false, false, kFaultClipboard, 1, ClassError(10), true},                // OpenClipboard
        {false, false, kFaultClipboard, 2, SystemError(ERROR_ACCESS_DENIED), true},     // Empty...
        {false, false, kFaultClipboard, 3, SystemError(ERROR_NOT_ENOUGH_MEMORY), true}, // Set...
        {false, true, kFaultObjectAlloc, 1, ClassError(3), true}, // the palette record
        {false, true, kFaultCreatePalette, 1, SystemError(ERROR_NOT_ENOUGH_MEMORY), true},
        {false, true, kFaultClipboard, 4, SystemError(ERROR_NOT_ENOUGH_MEMORY), true}, // CF_PALETTE
        {true, false, kFaultClipboard, 1, ClassError(10), true},                       // Open...
        {true, false, kFaultClipboard, 2, SystemError(ERROR_NOT_ENOUGH_MEMORY), true}, // Get...
        {true, false, kFaultGlobalLock, 1, kProgError14, false}, // the clipboard's lock
        {true, false, kFaultGlobalAlloc, 1, SystemError(ERROR_NOT_ENOUGH_MEMORY), false},
        {true, false, kFaultObjectAlloc, 1, ClassError(3), false}, // the palette object
    };
    const Bytes offered = Packed(MakeColourPicture(3, 2, 24).file);
    for (const auto& step : steps) {
        SCOPED_TRACE(&step - steps);
        step.get ? Put(offered) : Empty();
        const Bytes file =
            step.withEntries ? DirectWithEntriesFile() : MakeColourPicture(6, 5, 8).file;
        TestDib dib(file);
        HGLOBAL block = dib.GetSafeHandle();
        InjectFault(step.site, step.nth);
        EXPECT_FALSE(step.get ? dib.GetClipboard(&window_) : dib.SetClipboard(&window_));
        EXPECT_TRUE(FaultFired());
        ClearFault();
        EXPECT_EQ(StatusOf(dib), step.status);
        EXPECT_EQ(dib.GetSafeHandle() == block, step.keepsPicture);
        if (step.keepsPicture) {
            EXPECT_EQ(BlockBytes(block), file);
        }
        EXPECT_FALSE(IsClipboardFormatAvailable(CF_PALETTE));
        if (step.get) {
            EXPECT_EQ(ClipboardBytes(), offered);
        }
    }
}

// Refusals that need no fault: SetClipboard of an empty or failed object leaves the clipboard
// as it was; GetClipboard without a CF_DIB, or with one announced without data, keeps the picture.
TEST_F(ClipboardTest, RefusalsLeaveTheClipboardAndThePictureAsTheyWere) {
    const ColourPicture picture = MakeColourPicture(4, 4, 8);
    Put(Packed(InfoFile({.width = 1, .height = 1, .bitCount = 24}, Bytes(4, 0x5A), {})));
    const Bytes before = ClipboardBytes();
    TestDib empty;
    EXPECT_FALSE(empty.SetClipboard(&window_));
    EXPECT_EQ(StatusOf(empty), ClassError(6));
    TestDib dib(picture.file);
    dib.SetClassError(5);
    EXPECT_FALSE(dib.SetClipboard(&window_));
    EXPECT_EQ(StatusOf(dib), ClassError(5));
    EXPECT_EQ(ClipboardBytes(), before);

    HGLOBAL block = dib.GetSafeHandle();
    Empty();
    EXPECT_FALSE(dib.GetClipboard(&window_));
    EXPECT_EQ(StatusOf(dib), ClassError(8));
    EXPECT_EQ(CDib::GetClipPalette(&window_), nullptr);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    ASSERT_NE(SetClipboardData(CF_DIB, nullptr), nullptr);
    CloseClipboard();
    EXPECT_FALSE(dib.GetClipboard(&window_));
    EXPECT_EQ(StatusOf(dib), SystemError(ERROR_NOT_FOUND));
    EXPECT_EQ(dib.GetSafeHandle(), block);
    EXPECT_EQ(BlockBytes(block), picture.file);
}

// Every prefix of a packed DIB, a 108-byte header and bit-field masks cut off by the block:
// refused without reading past the clipboard's block.
TEST_F(ClipboardTest, PackedDibThatDoesNotFitItsBlockOrHasAnotherHeaderIsRefused) {
    const ColourPicture picture = MakeColourPicture(5, 3, 8);
    const Bytes packed = Packed(picture.file);
    std::vector<Bytes> refused = {
        Packed(MakeBmp(
            {.width = 2, .height = 2, .bitCount = 24, .headerBytes = 108, .pixels = Bytes(16, 0)})),
        Packed(MakeBmp({.width = 2,
                        .bitCount = 16,
                        .compression = BI_BITFIELDS,
                        .table = ByteBuilder().U32(0xF800).U32(0x07E0).Get()}))};
    for (std::size_t length = 0; length < packed.size(); length += length < 64 ? 1 : 37) {
        refused.emplace_back(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(length));
    }
    for (const Bytes& block : refused) {
        Put(block);
        TestDib dib;
        EXPECT_FALSE(dib.GetClipboard(&window_)) << block.size();
        // A block of no bytes cannot be locked at all.
        EXPECT_EQ(StatusOf(dib), block.empty() ? kProgError14 : ClassError(1)) << block.size();
    }
}

TEST_F(ClipboardTest, GetClipPaletteLendsTheClipboardsPaletteAndRecordsNothing) {
    TestDib dib(DirectWithEntriesFile());
    ASSERT_TRUE(dib.SetClipboard(&window_));
    dib.SetClassError(5);
    HPALETTE first = CDib::GetClipPalette(&other_);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(CDib::GetClipPalette(nullptr), first) << "lent, not a copy";
    EXPECT_EQ(StatusOf(dib), ClassError(5));

    InjectFault(orvel::testing::kFaultClipboard, 1);
    EXPECT_EQ(CDib::GetClipPalette(&window_), nullptr);
    InjectFault(orvel::testing::kFaultClipboard, 2);
    EXPECT_EQ(CDib::GetClipPalette(&window_), nullptr) << "GetClipboardData refused";
}

} // namespace
