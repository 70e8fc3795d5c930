#include <orvel/orvel.h>

#include "bitmap_files.h"
#include "platform/last_error.h"
#include "support/live_objects.h"
#include "test_bitmaps.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

using namespace orvel::test;

constexpr DWORD kUntouched = 0xDEADBEEF;

HMODULE PlatformModule() {
    return GetModuleHandleA("liborvel_platform");
}

// --- Every embedded bitmap is its file's packed DIB, under each form of its name ---------------

struct EmbeddedBitmap {
    const char* label;
    LPCSTR name; // an integer name, or the string as the caller spells it
    const char* fileName;
};

class EmbeddedBitmapTest : public LeakCheckedTest,
                           public ::testing::WithParamInterface<EmbeddedBitmap> {};

// The locked bytes are the file without its file header, a packed DIB with a full colour table;
// repeated lookups, through either form of the executable's handle, give the same resource and
// the same data.
TEST_P(EmbeddedBitmapTest, LockedBytesAreTheFileWithoutItsFileHeaderAcrossLookups) {
    const std::vector<BYTE> expected = PackedDibOfFile(GetParam().fileName);
    ASSERT_GT(expected.size(), 40U);
    EXPECT_EQ(BitmapResourceBytes(nullptr, GetParam().name), expected);
    HRSRC found = FindResourceA(nullptr, GetParam().name, RT_BITMAP);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(FindResourceA(AfxGetInstanceHandle(), GetParam().name, RT_BITMAP), found);
    EXPECT_EQ(FindResourceA(nullptr, GetParam().name, "#2"), found) << "the type's hash form";
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(LockResource(LoadResource(AfxGetInstanceHandle(), found)), data);
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    EXPECT_EQ(+header.biSize, 40U);
    EXPECT_EQ(SizeofResource(nullptr, found), 40U + 4U * CDibSupport::GetPaletteEntryNum(header) +
                                                  CDibSupport::GetImageSize(header));
    // Resource data is DWORD-aligned, as a resource compiler aligns it.
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % 4, 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Resources, EmbeddedBitmapTest,
    ::testing::Values(EmbeddedBitmap{"Rgb24Odd", MAKEINTRESOURCE(IDB_RGB24), "rgb24_5x3.bmp"},
                      EmbeddedBitmap{"Indexed4", MAKEINTRESOURCE(IDB_INDEXED4), "indexed4_3x2.bmp"},
                      EmbeddedBitmap{"Mono1FromSecondTable", MAKEINTRESOURCE(IDB_MONO_NUMBERED),
                                     "mono1_9x2.bmp"},
                      EmbeddedBitmap{"StringAsDeclared", "Mono", "mono1_9x2.bmp"},
                      EmbeddedBitmap{"StringUpperCase", "MONO", "mono1_9x2.bmp"},
                      EmbeddedBitmap{"StringLowerCase", "mono", "mono1_9x2.bmp"},
                      EmbeddedBitmap{"HashFormOfAnInteger", "#101", "rgb24_5x3.bmp"},
                      EmbeddedBitmap{"HashFormWithLeadingZero", "#0102", "indexed4_3x2.bmp"}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

using ResourceLookupTest = LeakCheckedTest;

// --- Every failure of FindResourceA has its published error number -----------------------------

enum class ModuleKind {
    kExecutable,         // null: the executable
    kWithoutResources,   // a loaded library that has none
    kNoModule,           // an address no object is loaded at
    kInsideTheExecutable // an address inside the executable that is not its handle
};

struct FindFailure {
    const char* label;
    ModuleKind module;
    LPCSTR name;
    LPCSTR type;
    DWORD error;
};

class FindFailureTest : public LeakCheckedTest, public ::testing::WithParamInterface<FindFailure> {
protected:
    static HMODULE Module(ModuleKind kind) {
        switch (kind) {
        case ModuleKind::kExecutable:
            return nullptr;
        case ModuleKind::kWithoutResources:
            return PlatformModule();
        case ModuleKind::kNoModule:
            return reinterpret_cast<HMODULE>(std::uintptr_t{0x10});
        case ModuleKind::kInsideTheExecutable:
            return reinterpret_cast<HMODULE>(
                reinterpret_cast<std::uintptr_t>(AfxGetInstanceHandle()) + 16);
        }
        return nullptr;
    }
};

TEST_P(FindFailureTest, FailsWithItsErrorNumber) {
    const FindFailure& failure = GetParam();
    EXPECT_REFUSED(FindResourceA(Module(failure.module), failure.name, failure.type), nullptr,
                   failure.error);
}

using enum ModuleKind;
constexpr DWORD kNoName = ERROR_RESOURCE_NAME_NOT_FOUND;
constexpr DWORD kNoType = ERROR_RESOURCE_TYPE_NOT_FOUND;
const LPCSTR kRgb24 = MAKEINTRESOURCE(IDB_RGB24);

INSTANTIATE_TEST_SUITE_P(
    Errors, FindFailureTest,
    ::testing::Values(
        FindFailure{"UnknownIntegerName", kExecutable, MAKEINTRESOURCE(999), RT_BITMAP, kNoName},
        FindFailure{"UnknownStringName", kExecutable, "NOSUCH", RT_BITMAP, kNoName},
        FindFailure{"StringThatIsAPrefixOfAName", kExecutable, "MON", RT_BITMAP, kNoName},
        FindFailure{"HashZeroIsNoInteger", kExecutable, "#0", RT_BITMAP, kNoName},
        FindFailure{"HashBeyondSixteenBits", kExecutable, "#65637", RT_BITMAP, kNoName},
        FindFailure{"NullName", kExecutable, nullptr, RT_BITMAP, kNoName},
        FindFailure{"UnknownIntegerType", kExecutable, kRgb24, MAKEINTRESOURCE(10), kNoType},
        FindFailure{"TypeNamedAsAString", kExecutable, kRgb24, "BITMAP", kNoType},
        FindFailure{"NullType", kExecutable, kRgb24, nullptr, kNoType},
        FindFailure{"LibraryWithoutResources", kWithoutResources, kRgb24, RT_BITMAP,
                    ERROR_RESOURCE_DATA_NOT_FOUND},
        FindFailure{"NoModuleAtAll", kNoModule, kRgb24, RT_BITMAP, ERROR_MOD_NOT_FOUND},
        FindFailure{"AddressInsideAModule", kInsideTheExecutable, kRgb24, RT_BITMAP,
                    ERROR_MOD_NOT_FOUND}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

// --- Handles that are not what a call expects are refused ---------------------------------------

TEST_F(ResourceLookupTest, LoadSizeAndLockRefuseHandlesOfAnotherKindOrModule) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCE(IDB_RGB24), RT_BITMAP);
    ASSERT_NE(found, nullptr);
    HGLOBAL block = GlobalAlloc(GHND, 16);
    const auto value = reinterpret_cast<std::uintptr_t>(found);
    const HRSRC refused[] = {
        nullptr,
        reinterpret_cast<HRSRC>(block),
        // the resource's handle read as loaded data: the kinds are kept apart
        reinterpret_cast<HRSRC>(LoadResource(nullptr, found)),
        // an index past the end of the module's table
        reinterpret_cast<HRSRC>(value + (std::uintptr_t{100} << 4)),
        // a table that was never registered
        reinterpret_cast<HRSRC>(value + (std::uintptr_t{1000} << 20)),
    };
    for (HRSRC resource : refused) {
        EXPECT_REFUSED(LoadResource(nullptr, resource), nullptr, ERROR_RESOURCE_DATA_NOT_FOUND);
        EXPECT_REFUSED(SizeofResource(nullptr, resource), 0U, ERROR_RESOURCE_DATA_NOT_FOUND);
    }
    // A found resource of the executable is not one of another module.
    EXPECT_REFUSED(LoadResource(PlatformModule(), found), nullptr, ERROR_RESOURCE_DATA_NOT_FOUND);
    EXPECT_EQ(SizeofResource(PlatformModule(), found), 0U);

    // Resource data and memory blocks are not interchangeable.
    HGLOBAL data = LoadResource(nullptr, found);
    ASSERT_NE(data, nullptr);

    for (HGLOBAL other : {HGLOBAL{nullptr}, block, reinterpret_cast<HGLOBAL>(found)}) {
        EXPECT_REFUSED(LockResource(other), nullptr, ERROR_INVALID_HANDLE);
    }
    EXPECT_REFUSED(GlobalLock(data), nullptr, ERROR_INVALID_HANDLE);
    EXPECT_EQ(GlobalFree(data), data);
    EXPECT_NE(LockResource(data), nullptr);
    GlobalFree(block);
}

// --- Injected faults, and lookups that only probe ----------------------------------------------

TEST_F(ResourceLookupTest, OnlyFindAndLoadAreFaultSitesAndFailAsOutOfMemoryConditions) {
    orvel::testing::InjectFault(orvel::testing::kFaultResource, 1);
    EXPECT_REFUSED(FindResourceA(nullptr, MAKEINTRESOURCE(IDB_RGB24), RT_BITMAP), nullptr,
                   ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_TRUE(orvel::testing::FaultFired());
    orvel::testing::InjectFault(orvel::testing::kFaultResource, 2);
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCE(IDB_RGB24), RT_BITMAP);
    ASSERT_NE(found, nullptr);
    EXPECT_REFUSED(LoadResource(nullptr, found), nullptr, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_NE(LoadResource(nullptr, found), nullptr);

    // The sequence a bitmap load makes: only FindResourceA and LoadResource are fault sites, so a
    // sweep over a load meets exactly two; finding the module keeps the last error.
    orvel::testing::InjectFault(orvel::testing::kFaultResource, 1000);
    SetLastError(kUntouched);
    HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCE(999), RT_BITMAP);
    EXPECT_EQ(module, AfxGetResourceHandle());
    EXPECT_EQ(GetLastError(), kUntouched);
    EXPECT_EQ(orvel::testing::FaultSiteCalls(), 0);

    module = AfxFindResourceHandle(MAKEINTRESOURCE(IDB_RGB24), RT_BITMAP);
    found = FindResourceA(module, MAKEINTRESOURCE(IDB_RGB24), RT_BITMAP);
    EXPECT_NE(LockResource(LoadResource(module, found)), nullptr);
    EXPECT_EQ(orvel::testing::FaultSiteCalls(), 2);
}

// A table that is null, empty, or names no type or no name is refused before it is kept.
TEST_F(ResourceLookupTest, RegistrationRefusesTablesWithNothingToFind) {
    static const BYTE data[] = {1};
    static const orvel::resource::CompiledResource good[] = {{2, nullptr, 7, nullptr, data, 1}};
    static const orvel::resource::CompiledResource nameless[] = {{2, nullptr, 0, nullptr, data, 1}};
    static const orvel::resource::CompiledResource dataless[] = {
        {2, nullptr, 7, nullptr, nullptr, 1}};
    const struct {
        const orvel::resource::CompiledResource* table;
        std::size_t count;
    } refused[] = {{nullptr, 1}, {good, 0}, {nameless, 1}, {dataless, 1}};
    for (const auto& registration : refused) {
        SetLastError(0);
        EXPECT_FALSE(orvel::resource::RegisterModuleResources(&kUntouched, registration.table,
                                                              registration.count))
            << registration.count;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
}

} // namespace
