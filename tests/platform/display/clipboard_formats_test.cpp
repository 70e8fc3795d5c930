// BMP bytes that another X client offers become the packed DIB block the clipboard hands out. The
// conversion is internal to the library; this suite compiles its own copy.
#include <orvel/platform/display/clipboard_formats.h>

#include "support/bmp_builder.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

namespace {

using namespace orvel::test;
using ClipboardFormatsTest = LeakCheckedTest;

TEST_F(ClipboardFormatsTest, LargerHeaderBecomesTheFortyByteOneWithItsMasksAfterIt) {
    Bmp bmp{.width = 2,
            .bitCount = 16,
            .compression = BI_BITFIELDS,
            .masks = {0xF800, 0x07E0, 0x001F},
            .pixels = {0x1F, 0x00, 0xE0, 0x07}};
    Bmp v4 = bmp;
    v4.headerBytes = 108;
    HGLOBAL block = orvel::platform::detail::PackedDibFromBmp(MakeBmp(v4));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0U);
    EXPECT_EQ(BlockBytes(block), Packed(MakeBmp(bmp)));
    GlobalFree(block);
}

} // namespace
