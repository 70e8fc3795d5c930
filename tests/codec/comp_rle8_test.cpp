// Frames compressed by CDibComp with the run-length compressor read back to the frames.
#include "comp_fixture.h"

#include "support/test_frames.h"

#include <cstring>
#include <string>
#include <utility>

namespace {

using namespace orvel::test;

using CompRle8Test = orvel::test::LeakCheckedTest;

// The library's own reader of run-length pictures takes the compressor's frames: the output
// format followed by the compressed bits is a packed DIB, and it loads as the frame, pixel for
// pixel, with the frame's colours.
TEST_F(CompRle8Test, CompressedFrameLoadsIntoAPictureAsTheFrame) {
    CDibComp comp;
    ASSERT_TRUE(comp.Open(mmioFOURCC('m', 'r', 'l', 'e')));
    for (const auto& [width, height] : {std::pair{1, 1}, {5, 3}, {255, 2}, {642, 9}}) {
        for (FramePattern pattern : orvel::test::kAllPatterns) {
            SCOPED_TRACE(std::string(orvel::test::PatternName(pattern)) + " " +
                         std::to_string(width) + " x " + std::to_string(height));
            const Frame8 frame = orvel::test::MakeFrame(pattern, width, height, 9);
            std::vector<BYTE> format = orvel::test::FrameFormat(frame);
            BITMAPINFO* output = nullptr;
            DWORD outputSize = 0;
            ASSERT_TRUE(comp.GetFormat(reinterpret_cast<BITMAPINFO*>(format.data()),
                                       static_cast<DWORD>(format.size()), &output, outputSize));
            std::vector<BYTE> pixels = frame.pixels;
            std::vector<BYTE> compressed(static_cast<std::size_t>(height) * (2 * width + 2));
            ASSERT_TRUE(comp.Compress(pixels.data(), compressed.data(), 0, 0));

            std::vector<BYTE> packed(reinterpret_cast<const BYTE*>(output),
                                     reinterpret_cast<const BYTE*>(output) + outputSize);
            packed.insert(packed.end(), compressed.begin(),
                          compressed.begin() + output->bmiHeader.biSizeImage);
            CDib picture;
            ASSERT_TRUE(picture.Load(reinterpret_cast<BITMAPINFOHEADER*>(packed.data())));
            const BITMAPINFOHEADER header = picture.GetBIH();
            EXPECT_EQ(+header.biCompression, BI_RGB);
            EXPECT_EQ(+header.biWidth, width);
            EXPECT_EQ(+header.biHeight, height);
            CDibInfo view(picture.GetSafeHandle());
            ASSERT_NE(view.GetDIB(), nullptr);
            EXPECT_EQ(std::memcmp(view.GetColors(), format.data() + 40, 1024), 0);
            EXPECT_EQ(std::vector<BYTE>(view.GetImage(), view.GetImage() + frame.pixels.size()),
                      frame.pixels);
        }
    }
}

} // namespace
