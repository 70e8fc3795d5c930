// The fault sweep over CDibComp (every step of compressing a frame, the compressor choice and
// descriptions) and over the static helpers of CDibSupport that reach the platform.
#include "fault_sweep.h"
#include "support/test_frames.h"

#include <cstring>
#include <string>

namespace {

using namespace orvel::test;

constexpr DWORD kRle = mmioFOURCC('m', 'r', 'l', 'e');
constexpr DWORD kFullFrames = mmioFOURCC('D', 'I', 'B', ' ');

// An 8-bit 16 x 4 input format with its colour table, and a frame of it.
void MakeFrame(World& world) {
    const Frame8 frame = orvel::test::MakeFrame(FramePattern::PhotoLike, 16, 4);
    world.buffer = FrameFormat(frame);
    world.buffer.insert(world.buffer.end(), frame.pixels.begin(), frame.pixels.end());
    world.compressed.assign(4096, 0);
}

BITMAPINFO* Input(World& world) {
    return reinterpret_cast<BITMAPINFO*>(world.buffer.data());
}

constexpr DWORD kInputBytes = 40 + 256 * 4;

BYTE* Frame(World& world) {
    return world.buffer.data() + kInputBytes;
}

void Open(World& world) {
    MakeFrame(world);
    ASSERT_TRUE(world.comp.Open(kRle));
}

void Ready(World& world) {
    Open(world);
    ASSERT_TRUE(world.comp.GetFormat(Input(world), kInputBytes, &world.format, world.formatBytes));
}

void Compressing(World& world) {
    Ready(world);
    ASSERT_TRUE(world.comp.CompBegin());
}

// What a compressor object shows: whether it is open, and its output format.
Bytes CompState(World& world) {
    BITMAPINFO* output = nullptr;
    DWORD bytes = 0;
    world.comp.GetFormat(&output, bytes, 1);
    Bytes state(output != nullptr ? 1 + std::size_t{bytes} : 1);
    state[0] = static_cast<BYTE>(world.comp.GetSafeHandle() != nullptr);
    if (output != nullptr) {
        std::memcpy(state.data() + 1, output, bytes);
    }
    return state;
}

const CHTErr* CompRecord(World& world) {
    return &world.comp;
}

std::vector<SweepCase> CompressorCases() {
    auto comp = [](std::string name, Statuses failures, std::function<void(World&)> prepare,
                   std::function<BOOL(World&)> run) {
        return SweepCase{.name = std::move(name),
                         .state = FailureState::NotAPicture,
                         .failures = std::move(failures),
                         .prepare = std::move(prepare),
                         .run = std::move(run),
                         .record = CompRecord,
                         .result = CompState};
    };
    return {
        comp("Open", {ClassError(1)}, MakeFrame,
             [](World& world) { return world.comp.Open(kRle); }),
        // Opening over an open compressor closes it first; one that refuses to close is kept.
        comp(
            "OpenOverAnother", {ClassError(1), ClassError(3)},
            [](World& world) {
                MakeFrame(world);
                ASSERT_TRUE(world.comp.Open(kFullFrames));
            },
            [](World& world) { return world.comp.Open(kRle); }),
        comp("GetFormat", {ClassError(4), ClassError(5)}, Open,
             [](World& world) {
                 return world.comp.GetFormat(Input(world), kInputBytes, &world.format,
                                             world.formatBytes);
             }),
        comp("GetFormatWhileCompressing", {ClassError(4), ClassError(5), ClassError(8)},
             Compressing,
             [](World& world) {
                 return world.comp.GetFormat(Input(world), kInputBytes, &world.format,
                                             world.formatBytes);
             }),
        comp("CompBegin", {ClassError(7)}, Ready,
             [](World& world) { return world.comp.CompBegin(); }),
        comp("CompBeginAgain", {ClassError(7), ClassError(8)}, Compressing,
             [](World& world) { return world.comp.CompBegin(); }),
        comp("Compress", {ClassError(7), ClassError(9)}, Ready,
             [](World& world) {
                 return world.comp.Compress(Frame(world), world.compressed.data(), 0, 7500);
             }),
        comp("CompEnd", {ClassError(8)}, Compressing,
             [](World& world) { return world.comp.CompEnd(); }),
        // Ending the compression is part of closing, but its refusal does not stop the close.
        comp("Close", {ClassError(3)}, Compressing,
             [](World& world) { return world.comp.Close(); }),
    };
}

BOOL CALLBACK ChooseRle(HWND, UINT, LPVOID, LPVOID, PCOMPVARS choice, LPCSTR, LPVOID) {
    choice->fccHandler = kRle;
    choice->lQ = 6000;
    return TRUE;
}

std::vector<SweepCase> StaticCases() {
    auto noRecord = [](World&) -> const CHTErr* { return nullptr; };
    std::vector<SweepCase> cases = {
        // The chosen compressor is opened to be offered; one the system will not open is no
        // choice.
        {.name = "GetCompressDlg",
         .state = FailureState::NotAPicture,
         .prepare = [](World&) { ICSetCompressorChooser(ChooseRle, nullptr); },
         .run =
             [](World& world) {
                 DWORD handler = kFullFrames;
                 long quality = 100;
                 const BOOL chosen =
                     CDibComp::GetCompressDlg(&world.window, handler, quality, "Compression");
                 world.number = static_cast<long>(handler) ^ quality;
                 return chosen;
             },
         .record = noRecord,
         .result = [](World& world) { return Bytes{static_cast<BYTE>(world.number)}; }},
        {.name = "GetBIHFromBFH",
         .state = FailureState::NotAPicture,
         .prepare = [](World& world) { ASSERT_TRUE(LoadImage(world.picture, EightBitFile())); },
         .run =
             [](World& world) {
                 return CDibSupport::GetBIHFromBFH(world.picture.GetSafeHandle(), &world.packed);
             },
         .record = noRecord,
         .result = [](World& world) { return BlockBytes(world.packed); }},
    };
    for (const WORD depth : {1, 4, 8}) {
        // The result is 1 whatever the system makes of the palette; a refused one stays empty.
        cases.push_back(
            {.name = "MakeNewPalette_" + std::to_string(depth),
             .state = FailureState::NotAPicture,
             .absorbed = orvel::testing::kFaultCreatePalette | orvel::testing::kFaultDeviceContext |
                         orvel::testing::kFaultObjectAlloc,
             .prepare = [](World&) {},
             .run = [depth](
                        World& world) { return CDibSupport::MakeNewPalette(world.palette, depth); },
             .record = noRecord,
             .result = [](World& world) { return PaletteColours(&world.palette); }});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Compressor, SweepTest, ::testing::ValuesIn(CompressorCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Helpers, SweepTest, ::testing::ValuesIn(StaticCases()), CaseName);

} // namespace
