// The fault sweep over every public operation of CDib: loads of every kind, copies, hand-overs,
// files, palettes, pasting, drawing through both paths, palette realisation and the clipboard.
#include "fault_sweep.h"

#include <library_test_bitmaps.h>

#include <string>
#include <utility>

namespace {

using namespace orvel::test;
using orvel::testing::kFaultCreatePalette;
using orvel::testing::kFaultDeviceContext;

// A picture in one of the forms the normalisation funnel treats its own way.
struct PictureSample {
    const char* name;
    Bytes file;
    bool directColour; ///< its logical palette is the halftone palette
};

// One picture of each form: indexed, core header, RLE8, top-down bit fields, direct colour with
// colour entries, RLE4. Run-length ones state their stream's length, as a packed DIB must.
std::vector<PictureSample> SamplePictures() {
    ByteBuilder masks;
    masks.U32(0xF800).U32(0x07E0).U32(0x001F);
    return {
        {"Indexed8", EightBitFile(), false},
        {"Core4", CoreFile(5, 2, 4, Colours(16, 3), {0x12, 0x34, 0x50, 0, 0x67, 0x89, 0xA0, 0}),
         false},
        {"Rle8",
         InfoFile({.width = 5, .height = 3, .compression = BI_RLE8, .sizeImage = 18}, Colours(256),
                  {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 2, 9, 0, 1}),
         false},
        {"TopDown565",
         InfoFile({.width = 3, .height = -2, .bitCount = 16, .compression = BI_BITFIELDS},
                  masks.Get(), Bytes(16, 0xA5)),
         true},
        {"Direct24WithEntries", DirectWithEntriesFile(), true},
        {"Rle4",
         InfoFile({.width = 5, .height = 2, .bitCount = 4, .compression = BI_RLE4, .sizeImage = 12},
                  Colours(16), {5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1}),
         false},
    };
}

// A load's failures: its block or view refused, or its palette object or palette refused.
const Statuses kLoadFailures = {SystemError(ERROR_NOT_ENOUGH_MEMORY), SystemError(ERROR_DISCARDED),
                                ClassError(3), ClassError(4)};

Statuses With(Statuses statuses, std::initializer_list<Status> more) {
    statuses.insert(statuses.end(), more);
    return statuses;
}

// A direct-colour picture's logical palette is the halftone palette, which the picture does
// without when the system will not make it.
std::uint32_t HalftoneOf(const PictureSample& sample) {
    return sample.directColour ? kFaultCreatePalette | kFaultDeviceContext : 0;
}

void Hold(CDib& dib, const Bytes& file) {
    ASSERT_TRUE(LoadImage(dib, file));
}

// The ways of loading a file's picture over an 8-bit one: where each puts the file first, the
// call, and the failures it may record beside a load's.
struct Loader {
    const char* name;
    void (*place)(World&, const Bytes&);
    BOOL (*run)(World&);
    Statuses more = {};
    bool passesReadErrors = false;
};

void HoldOther(World& world, const Bytes& file) {
    Hold(world.other, file);
}

const Loader kLoaders[] = {
    {.name = "LoadFile",
     .place = [](World& world, const Bytes& file) { world.files.Write("sample.bmp", file); },
     .run =
         [](World& world) { return world.picture.Load(CString(world.files.Path("sample.bmp"))); },
     .more = {FileError(CFileException::tooManyOpenFiles)},
     .passesReadErrors = true},
    {.name = "LoadMemoryImage",
     .place = [](World& world, const Bytes& file) { world.buffer = file; },
     .run =
         [](World& world) {
             return world.picture.Load(reinterpret_cast<BITMAPFILEHEADER*>(world.buffer.data()));
         }},
    {.name = "AttachHandle",
     .place =
         [](World& world, const Bytes& file) {
             world.handedOver = GlobalAlloc(GHND, file.size());
             std::memcpy(GlobalLock(world.handedOver), file.data(), file.size());
             FullUnlock(world.handedOver);
         },
     // The block is the object's from the call on, whatever the result.
     .run =
         [](World& world) {
             return world.picture.AttachHandle(std::exchange(world.handedOver, nullptr));
         }},
    {.name = "LoadCopy",
     .place = HoldOther,
     .run = [](World& world) { return world.picture.Load(world.other); },
     .more = {kProgError14}},
    {.name = "LoadAttach",
     .place = HoldOther,
     .run = [](World& world) { return world.picture.LoadAttach(world.other); }},
    // Packed DIBs carry a 40-byte header: the samples with one.
    {.name = "LoadPackedDib",
     .place = [](World& world,
                 const Bytes& file) { world.buffer.assign(file.begin() + 14, file.end()); },
     .run =
         [](World& world) {
             return world.picture.Load(reinterpret_cast<BITMAPINFOHEADER*>(world.buffer.data()));
         }},
};

std::vector<SweepCase> LoadCases() {
    std::vector<SweepCase> cases;
    for (const PictureSample& sample : SamplePictures()) {
        for (const Loader& loader : kLoaders) {
            if (std::string(loader.name) == "LoadPackedDib" &&
                std::string(sample.name) == "Core4") {
                continue;
            }
            Statuses failures = kLoadFailures;
            failures.insert(failures.end(), loader.more.begin(), loader.more.end());
            cases.push_back({.name = std::string(loader.name) + "_" + sample.name,
                             .failures = failures,
                             .absorbed = HalftoneOf(sample),
                             .passesReadErrors = loader.passesReadErrors,
                             .prepare =
                                 [file = sample.file, place = loader.place](World& world) {
                                     Hold(world.picture, EightBitFile());
                                     place(world, file);
                                 },
                             .run = loader.run});
        }
    }
    return cases;
}

std::vector<SweepCase> CopyCases() {
    return {
        // A new object: its DrawDib handle and halftone palette may be refused, which a copy
        // that succeeds does without (it draws through StretchDIBits).
        {.name = "CopyConstructor",
         .failures = With(kLoadFailures, {kProgError14}),
         .absorbed = orvel::testing::kFaultDrawDibOpen | kFaultCreatePalette | kFaultDeviceContext,
         .prepare = [](World& world) { Hold(world.other, EightBitFile()); },
         .run =
             [](World& world) {
                 world.made.emplace(world.other);
                 return world.made->IsSucceed();
             },
         .object = [](World& world) -> const CDib* { return world.made ? &*world.made : nullptr; }},
    };
}

std::vector<SweepCase> NewPictureCases() {
    std::vector<SweepCase> cases;
    const Statuses blankFailures = With(kLoadFailures, {SystemError(ERROR_INVALID_HANDLE)});
    // The standard palette of the depth fills the colour table; without it the table stays zero
    // and the picture is still made. The two- and sixteen-colour palettes are made from a
    // LOGPALETTE of the object allocator's.
    constexpr std::uint32_t kStandardPaletteRefusals =
        kFaultCreatePalette | kFaultDeviceContext | orvel::testing::kFaultObjectAlloc;
    for (const int depth : {1, 4, 8, 16, 24}) {
        cases.push_back({.name = "LoadBlank_" + std::to_string(depth),
                         .state = FailureState::ReleasedOrEmpty,
                         .failures = blankFailures,
                         .absorbed = kStandardPaletteRefusals,
                         .prepare = [](World& world) { Hold(world.picture, EightBitFile()); },
                         .run =
                             [depth](World& world) {
                                 return world.picture.Load(CSize(5, 3), RGB(200, 30, 90), depth,
                                                           nullptr);
                             }});
    }
    cases.push_back({.name = "LoadBlankByHeader",
                     .state = FailureState::ReleasedOrEmpty,
                     .failures = blankFailures,
                     .prepare =
                         [](World& world) {
                             Hold(world.picture, EightBitFile());
                             const Bytes file = EightBitFile();
                             world.buffer.assign(file.begin() + 14, file.begin() + 1078);
                         },
                     .run =
                         [](World& world) {
                             return world.picture.Load(
                                 reinterpret_cast<BITMAPINFO*>(world.buffer.data()),
                                 RGB(10, 20, 30));
                         }});
    for (const int depth : {1, 8, 24}) {
        // The bitmap is read through the screen's context; a context the system will not make
        // leaves GetDIBits without one.
        cases.push_back(
            {.name = "LoadBitmap_" + std::to_string(depth),
             .state = FailureState::ReleasedOrEmpty,
             .failures = blankFailures,
             .absorbed = kFaultCreatePalette | kFaultDeviceContext,
             .prepare =
                 [depth](World& world) {
                     Hold(world.picture, EightBitFile());
                     ASSERT_TRUE(world.bitmap.CreateBitmap(6, 4, 1, depth, nullptr));
                 },
             .run = [](World& world) { return world.picture.Load(world.bitmap, nullptr); }});
    }
    cases.push_back({.name = "LoadResource",
                     .keepsPictureOn = orvel::testing::kFaultResource,
                     .failures = kLoadFailures,
                     .prepare = [](World& world) { Hold(world.picture, EightBitFile()); },
                     .run = [](World& world) { return world.picture.Load(IDB_SWEEP_INDEXED8); }});
    // A new object alone: the DrawDib handle it opens and its halftone palette.
    cases.push_back(
        {.name = "DefaultConstructor",
         .state = FailureState::NotAPicture,
         .absorbed = orvel::testing::kFaultDrawDibOpen | kFaultCreatePalette | kFaultDeviceContext,
         .prepare = [](World&) {},
         .run =
             [](World& world) {
                 world.made.emplace();
                 return TRUE;
             },
         .record = [](World&) -> const CHTErr* { return nullptr; },
         .result =
             [](World& world) {
                 const Status status = StatusOf(*world.made);
                 return Bytes{static_cast<BYTE>(status.kind), static_cast<BYTE>(status.code)};
             }});
    return cases;
}

Bytes SurfacePixels(World& world) {
    Bytes pixels;
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            const COLORREF colour = world.dc.GetPixel(x, y);
            pixels.insert(pixels.end(), {GetRValue(colour), GetGValue(colour), GetBValue(colour)});
        }
    }
    return pixels;
}

Bytes ClipboardState(World& world) {
    Bytes state;
    if (OpenClipboard(world.window.GetSafeHwnd())) {
        if (auto block = static_cast<HGLOBAL>(GetClipboardData(CF_DIB))) {
            state = BlockBytes(block);
        }
        if (auto palette = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE))) {
            CPalette borrowed;
            borrowed.Attach(palette);
            const Bytes colours = PaletteColours(&borrowed);
            borrowed.Detach();
            state.insert(state.end(), colours.begin(), colours.end());
        }
        CloseClipboard();
    }
    return state;
}

std::vector<SweepCase> PictureCases() {
    std::vector<SweepCase> cases;
    for (const PictureSample& sample : {SamplePictures()[0], SamplePictures()[4]}) {
        const std::string suffix = std::string("_") + sample.name;
        const Bytes file = sample.file;
        auto hold = [file](World& world) { Hold(world.picture, file); };
        cases.push_back(
            {.name = "SaveAs" + suffix,
             .state = FailureState::Unchanged,
             .failures = {FileError(CFileException::tooManyOpenFiles),
                          FileError(CFileException::diskFull), SystemError(ERROR_DISCARDED)},
             .prepare = hold,
             .run =
                 [](World& world) {
                     return world.picture.SaveAs(world.files.Path("saved.bmp").c_str());
                 },
             .result = [](World& world) { return world.files.Read("saved.bmp"); }});
        cases.push_back(
            {.name = "CreateLogicPalette" + suffix,
             .state = FailureState::Unchanged,
             .failures = {ClassError(3), ClassError(4), SystemError(ERROR_DISCARDED)},
             .absorbed = HalftoneOf(sample),
             .prepare = hold,
             .run = [](World& world) { return world.picture.CreateLogicPalette(world.palette); },
             .result = [](World& world) { return PaletteColours(&world.palette); }});
        for (const BOOL drawDib : {TRUE, FALSE}) {
            const std::string path = drawDib ? "ThroughDrawDib" : "ThroughStretchDIBits";
            auto prepare = [file, drawDib](World& world) {
                Hold(world.picture, file);
                world.picture.UseDrawDIB(drawDib);
            };
            const Statuses drawFailures = {ClassError(5), SystemError(ERROR_NOT_ENOUGH_MEMORY),
                                           SystemError(ERROR_DISCARDED)};
            cases.push_back({.name = "ShowRectangles" + path + suffix,
                             .state = FailureState::Unchanged,
                             .failures = drawFailures,
                             .prepare = prepare,
                             .run =
                                 [](World& world) {
                                     return world.picture.Show(&world.dc, CRect(0, 0, 8, 6),
                                                               CRect(0, 0, 0, 0), FALSE);
                                 },
                             .result = SurfacePixels});
        }
        cases.push_back(
            {.name = "SetClipboard" + suffix,
             .state = FailureState::Unchanged,
             .failures = {ClassError(10), ClassError(3), SystemError(ERROR_NOT_ENOUGH_MEMORY),
                          SystemError(ERROR_ACCESS_DENIED), SystemError(ERROR_DISCARDED)},
             .prepare = hold,
             .run = [](World& world) { return world.picture.SetClipboard(&world.window); },
             .result = ClipboardState});
        cases.push_back(
            {.name = "GetClipboard" + suffix,
             .keepsPictureOn = orvel::testing::kFaultClipboard,
             .failures = With(kLoadFailures, {ClassError(10), kProgError14}),
             .absorbed = HalftoneOf(sample),
             .prepare =
                 [file](World& world) {
                     Hold(world.picture, EightBitFile());
                     Hold(world.other, file);
                     ASSERT_TRUE(world.other.SetClipboard(&world.window));
                 },
             .run = [](World& world) { return world.picture.GetClipboard(&world.window); }});
    }
    cases.push_back({.name = "GetClipPalette",
                     .state = FailureState::NotAPicture,
                     .prepare =
                         [](World& world) {
                             Hold(world.other, DirectWithEntriesFile());
                             ASSERT_TRUE(world.other.SetClipboard(&world.window));
                         },
                     .run =
                         [](World& world) {
                             return CDib::GetClipPalette(&world.window) != nullptr ? TRUE : FALSE;
                         },
                     .record = [](World&) -> const CHTErr* { return nullptr; }});
    for (const int position : {1, -2}) {
        // Pasting reaches both blocks through views; nothing else may be refused.
        cases.push_back({.name = "Attach_" + std::to_string(position + 2),
                         .state = FailureState::Unchanged,
                         .failures = {kProgError14, SystemError(ERROR_DISCARDED)},
                         .prepare =
                             [](World& world) {
                                 Hold(world.picture, EightBitFile());
                                 Bytes source = EightBitFile();
                                 std::fill(source.begin() + 1078, source.end(), 0x5A);
                                 Hold(world.other, source);
                             },
                         .run =
                             [position](World& world) {
                                 return world.picture.Attach(&world.other,
                                                             CPoint(position, position));
                             }});
    }
    // Realising changes the system palette through the window's context; a halftone palette
    // the system will not make leaves nothing to realise.
    cases.push_back({.name = "DoRealizePaletteHalftone",
                     .state = FailureState::NotAPicture,
                     .absorbed = kFaultCreatePalette,
                     .prepare = [](World& world) { world.windowDc.emplace(&world.window); },
                     .run =
                         [](World& world) {
                             CDib::DoRealizePalette(&world.window, &*world.windowDc, nullptr, TRUE);
                             return TRUE;
                         },
                     .record = [](World&) -> const CHTErr* { return nullptr; },
                     .result =
                         [](World& world) {
                             RECT update{};
                             return Bytes{static_cast<BYTE>(
                                 GetUpdateRect(world.window.GetSafeHwnd(), &update, FALSE))};
                         }});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Loads, SweepTest, ::testing::ValuesIn(LoadCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Copies, SweepTest, ::testing::ValuesIn(CopyCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(NewPictures, SweepTest, ::testing::ValuesIn(NewPictureCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Pictures, SweepTest, ::testing::ValuesIn(PictureCases()), CaseName);

} // namespace
