// Loading bitmap resources compiled into the test program (see tests/CMakeLists.txt), as an
// application loads CDib(IDB_...) from its own resources.
#include "dib_test_bitmaps.h"
#include "dib_test_support.h"

namespace {

using namespace orvel::test;
using ResourceLoadTest = LeakCheckedTest;

// The packed DIB a resource holds: the file without its file header.
Bytes ResourceBytes(int id) {
    HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCE(id), RT_BITMAP);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCE(id), RT_BITMAP);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    return Bytes(data, data + SizeofResource(module, found));
}

TEST_F(ResourceLoadTest, IndexedResourceBecomesTheFileItWasMadeFrom) {
    const TestDib dib(IDB_INDEXED8);
    ASSERT_EQ(StatusOf(dib), kSuccess);
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    EXPECT_EQ(Bytes(block.begin() + 14, block.end()), ResourceBytes(IDB_INDEXED8));
    EXPECT_EQ(U32At(block, 10), 1078U);
}

TEST_F(ResourceLoadTest, ShortTableIsWidenedAndThePixelsFoundAfterIt) {
    // The resource stores 3 colours (biClrUsed 3); its size says so, and the pixels follow them.
    // A packed DIB on the clipboard is read by the same steps.
    TestDib dib;
    ASSERT_TRUE(dib.Load(IDB_SHORT_TABLE4));
    const Bytes block = BlockBytes(dib.GetSafeHandle());
    EXPECT_EQ(U32At(block, 10), 54U + 64U);
    Bytes table = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};
    table.resize(64, 0); // widened with zero entries
    EXPECT_EQ(Bytes(block.begin() + 54, block.begin() + 118), table);
    EXPECT_EQ(PixelArea(dib), (Bytes{0x01, 0x20, 0, 0}));
}

TEST_F(ResourceLoadTest, MissingResourceIsASystemErrorAndKeepsThePicture) {
    TestDib dib(IDB_DIRECT24);
    HGLOBAL before = dib.GetSafeHandle();
    EXPECT_FALSE(dib.Load(999));
    EXPECT_EQ(StatusOf(dib), SystemError(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(dib.GetSafeHandle(), before);

    // FindResourceA, then LoadResource: either refusal leaves the picture in place; the block
    // after the lookup leaves the object empty.
    for (const auto& [site, call] : {std::pair{orvel::testing::kFaultResource, 1L},
                                     std::pair{orvel::testing::kFaultResource, 2L},
                                     std::pair{orvel::testing::kFaultGlobalAlloc, 1L}}) {
        orvel::testing::InjectFault(site, call);
        EXPECT_FALSE(dib.Load(IDB_INDEXED8));
        EXPECT_EQ(StatusOf(dib), SystemError(ERROR_NOT_ENOUGH_MEMORY)) << site << " " << call;
        EXPECT_EQ(dib.GetSafeHandle(), site == orvel::testing::kFaultResource ? before : nullptr);
    }
}

} // namespace
