// The fault sweep over CConvertDib: colour conversion for every pair of depths, onto the fixed
// palettes and onto a caller's, and resizing up and down at every depth.
#include "convert/picture_bytes.h"
#include "fault_sweep.h"

#include <string>

namespace {

using namespace orvel::test;
using orvel::testing::kFaultCreatePalette;
using orvel::testing::kFaultDeviceContext;

constexpr int kDepths[] = {1, 4, 8, 16, 24, 32};

// A 7 x 3 picture of the depth of arbitrary bytes (padding included), with a full colour table
// for 1, 4 and 8 bits.
Bytes PatternFile(int bitCount) {
    return FileOf(ArbitraryPicture(bitCount, 7, 3, 5));
}

// The work block, the picture replacement's new block and views onto both may be refused; so
// may the palette object a conversion to 1, 4 or 8 bits makes, and the new picture's palette.
const Statuses kConversionFailures = {SystemError(ERROR_NOT_ENOUGH_MEMORY),
                                      SystemError(ERROR_DISCARDED), kProgError14, ClassError(3),
                                      ClassError(4)};

// A fixed target palette the system will not make leaves a conversion without one, which it
// finishes all the same; so does the halftone palette of a direct-colour result.
constexpr std::uint32_t kPaletteRefusals = kFaultCreatePalette | kFaultDeviceContext;

// The two- and sixteen-colour palettes are made from a LOGPALETTE of the object allocator's: its
// refusal is one more way the palette is not made.
std::uint32_t FixedPaletteRefusals(int targetBits) {
    return targetBits == 1 || targetBits == 4 ? kPaletteRefusals | orvel::testing::kFaultObjectAlloc
                                              : kPaletteRefusals;
}

std::vector<SweepCase> ColourCases() {
    std::vector<SweepCase> cases;
    for (const int from : kDepths) {
        for (const int to : kDepths) {
            const Bytes file = PatternFile(from);
            cases.push_back(
                {.name = "ConvertColor_" + std::to_string(from) + "_to_" + std::to_string(to),
                 .state = FailureState::Converted,
                 .failures = kConversionFailures,
                 .absorbed = FixedPaletteRefusals(to),
                 .prepare = [file](World& world) { ASSERT_TRUE(LoadImage(world.picture, file)); },
                 .run = [to](World& world) { return world.picture.ConvertColor(to, nullptr); }});
        }
    }
    // Onto a caller's palette, borrowed: only the new picture's own palette may be refused.
    for (const int to : {1, 4, 8}) {
        const Bytes file = PatternFile(24);
        cases.push_back({.name = "ConvertColorOntoCallersPalette_24_to_" + std::to_string(to),
                         .state = FailureState::Converted,
                         .failures = kConversionFailures,
                         .prepare =
                             [file](World& world) {
                                 ASSERT_TRUE(LoadImage(world.picture, file));
                                 ASSERT_TRUE(LoadImage(world.other, EightBitFile()));
                             },
                         .run =
                             [to](World& world) {
                                 return world.picture.ConvertColor(to, world.other.GetPalette());
                             }});
    }
    return cases;
}

std::vector<SweepCase> SizeCases() {
    std::vector<SweepCase> cases;
    for (const int depth : kDepths) {
        for (const CSize size : {CSize(15, 4), CSize(3, 2)}) {
            const Bytes file = PatternFile(depth);
            cases.push_back(
                {.name = "ConvertSize_" + std::to_string(depth) + "_to_" + std::to_string(size.cx) +
                         "x" + std::to_string(size.cy),
                 .state = FailureState::Converted,
                 .failures = kConversionFailures,
                 .absorbed = kPaletteRefusals,
                 .prepare = [file](World& world) { ASSERT_TRUE(LoadImage(world.picture, file)); },
                 .run = [size](World& world) { return world.picture.ConvertSize(size); }});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Colours, SweepTest, ::testing::ValuesIn(ColourCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Sizes, SweepTest, ::testing::ValuesIn(SizeCases()), CaseName);

} // namespace
