#include <orvel/orvel.h>

#include "bitmap_files.h"
#include "platform/last_error.h"
#include "support/live_objects.h"
#include "test_bitmaps.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

using orvel::afx::ExtensionLibraries;
using orvel::afx::ExtensionLibraryEntry;
using namespace orvel::test;

// Bitmaps of the test extension library; 101 is also one of the application's.
constexpr WORD kSharedId = IDB_RGB24;
constexpr WORD kExtensionOnlyId = 201;

long CountEntriesOf(HMODULE module) {
    const std::vector<ExtensionLibraryEntry> entries = ExtensionLibraries();
    return std::count_if(
        entries.begin(), entries.end(),
        [module](const ExtensionLibraryEntry& entry) { return entry.module == module; });
}

HINSTANCE FindBitmap(WORD id) {
    return AfxFindResourceHandle(MAKEINTRESOURCE(id), RT_BITMAP);
}

// --- The list itself -----------------------------------------------------------------------------

using ExtensionListTest = LeakCheckedTest;

TEST_F(ExtensionListTest, InitialisingKeepsTheFirstModuleAndRefusesNone) {
    AFX_EXTENSION_MODULE state = {FALSE, nullptr, nullptr};
    EXPECT_REFUSED(AfxInitExtensionModule(state, nullptr), FALSE, ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(state.bInitialized);

    const auto first = reinterpret_cast<HMODULE>(std::uintptr_t{0x10000});
    const auto second = reinterpret_cast<HMODULE>(std::uintptr_t{0x20000});
    EXPECT_TRUE(AfxInitExtensionModule(state, first));
    EXPECT_TRUE(AfxInitExtensionModule(state, second));
    EXPECT_TRUE(state.bInitialized);
    EXPECT_EQ(state.hModule, first);
    EXPECT_EQ(state.hResource, first);
    AfxTermExtensionModule(state);
}

TEST_F(ExtensionListTest, TerminatingDeletesTheModulesEntriesOnly) {
    AFX_EXTENSION_MODULE leaving = {FALSE, nullptr, nullptr};
    AFX_EXTENSION_MODULE staying = {FALSE, nullptr, nullptr};
    ASSERT_TRUE(
        AfxInitExtensionModule(leaving, reinterpret_cast<HMODULE>(std::uintptr_t{0x10000})));
    ASSERT_TRUE(
        AfxInitExtensionModule(staying, reinterpret_cast<HMODULE>(std::uintptr_t{0x20000})));
    const std::size_t before = ExtensionLibraries().size();
    new CDynLinkLibrary(leaving);
    new CDynLinkLibrary(staying);
    new CDynLinkLibrary(leaving, TRUE);
    EXPECT_EQ(ExtensionLibraries().size(), before + 3);
    EXPECT_EQ(ExtensionLibraries().front().module, leaving.hModule);
    EXPECT_TRUE(ExtensionLibraries().front().system);

    AfxTermExtensionModule(leaving);
    EXPECT_FALSE(leaving.bInitialized);
    EXPECT_EQ(CountEntriesOf(leaving.hModule), 0);
    EXPECT_EQ(CountEntriesOf(staying.hModule), 1);
    EXPECT_EQ(ExtensionLibraries().size(), before + 1);

    AfxTermExtensionModule(leaving); // no longer initialised: nothing happens
    AfxTermExtensionModule(staying);
    EXPECT_EQ(ExtensionLibraries().size(), before);
}

// --- A loaded extension library with bitmaps of its own ------------------------------------------

class ExtensionLibraryTest : public LeakCheckedTest {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(Load()); }
    void TearDown() override {
        Unload();
        AfxSetResourceHandle(nullptr);
        LeakCheckedTest::TearDown();
    }

    void Load() {
        library_ = dlopen(ORVEL_TEST_EXTENSION_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        using ModuleFunction = HMODULE (*)();
        auto moduleOfLibrary =
            reinterpret_cast<ModuleFunction>(dlsym(library_, "OrvelTestExtensionModule"));
        ASSERT_NE(moduleOfLibrary, nullptr);
        module_ = moduleOfLibrary();
        ASSERT_NE(module_, nullptr);
    }
    void Unload() {
        if (library_ != nullptr) {
            dlclose(library_);
            library_ = nullptr;
        }
    }

    void* library_ = nullptr;
    HMODULE module_ = nullptr;
};

// liborvel and the test's extension library each join the list once, as ordinary libraries with
// their own resources; the one loaded last is at the head.
TEST_F(ExtensionLibraryTest, LibrariesJoinOnceAsOrdinaryLibrariesTheLatestAtTheHead) {
    EXPECT_EQ(module_, GetModuleHandleA("liborvel_test_extension"));
    EXPECT_EQ(ExtensionLibraries().front().module, module_);
    for (HMODULE library : {GetModuleHandleA("liborvel"), module_}) {
        EXPECT_EQ(CountEntriesOf(library), 1);
        for (const ExtensionLibraryEntry& entry : ExtensionLibraries()) {
            if (entry.module == library) {
                EXPECT_EQ(entry.resourceModule, library);
                EXPECT_FALSE(entry.system);
            }
        }
    }
}

// A resource only the library has is found in it; one the application has too, in the
// application, each module keeping its own bytes.
TEST_F(ExtensionLibraryTest, ApplicationsResourceIsFoundBeforeTheLibrarysAndTheLibrarysAfter) {
    EXPECT_EQ(FindBitmap(kExtensionOnlyId), module_);
    EXPECT_EQ(BitmapResourceBytes(module_, MAKEINTRESOURCE(kExtensionOnlyId)),
              PackedDibOfFile("extension_pair_2x1.bmp"));
    EXPECT_REFUSED(FindResourceA(nullptr, MAKEINTRESOURCE(kExtensionOnlyId), RT_BITMAP), nullptr,
                   ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(FindBitmap(kSharedId), AfxGetInstanceHandle());
    EXPECT_EQ(BitmapResourceBytes(nullptr, MAKEINTRESOURCE(kSharedId)),
              PackedDibOfFile("rgb24_5x3.bmp"));
    EXPECT_EQ(BitmapResourceBytes(module_, MAKEINTRESOURCE(kSharedId)),
              PackedDibOfFile("extension_red_1x1.bmp"));
}

// The search order: the resource module instead of the executable (a miss everywhere answers
// with it), then the entries latest first, system libraries after the ordinary ones.
TEST_F(ExtensionLibraryTest, SearchGoesResourceModuleThenLaterEntriesFirstThenSystemLibraries) {
    EXPECT_EQ(FindBitmap(999), AfxGetInstanceHandle());
    AfxSetResourceHandle(module_);
    EXPECT_EQ(FindBitmap(999), module_);
    EXPECT_EQ(FindBitmap(IDB_INDEXED4), module_) << "the executable is not searched";

    AfxSetResourceHandle(GetModuleHandleA("liborvel_platform")); // a module without resources
    EXPECT_EQ(FindBitmap(kSharedId), module_);
    {
        CDynLinkLibrary later(AfxGetInstanceHandle(), AfxGetInstanceHandle());
        EXPECT_EQ(FindBitmap(kSharedId), AfxGetInstanceHandle());
    }
    EXPECT_EQ(FindBitmap(kSharedId), module_) << "a destroyed entry leaves the search";
    AFX_EXTENSION_MODULE state = {TRUE, AfxGetInstanceHandle(), AfxGetInstanceHandle()};
    CDynLinkLibrary system(state, TRUE);
    ASSERT_EQ(ExtensionLibraries().front().module, AfxGetInstanceHandle());
    EXPECT_EQ(FindBitmap(kSharedId), module_);
    EXPECT_EQ(FindBitmap(IDB_INDEXED4), AfxGetInstanceHandle());
}

TEST_F(ExtensionLibraryTest, UnloadingTakesTheEntryAndTheResourcesAwayAndReloadingBringsThemBack) {
    const HMODULE unloaded = module_;
    HRSRC found = FindResourceA(unloaded, MAKEINTRESOURCE(kExtensionOnlyId), RT_BITMAP);
    ASSERT_NE(found, nullptr);
    Unload();
    ASSERT_EQ(GetModuleHandleA("liborvel_test_extension"), nullptr)
        << "the dynamic linker kept the library loaded";

    EXPECT_EQ(CountEntriesOf(unloaded), 0);
    EXPECT_EQ(FindBitmap(kExtensionOnlyId), AfxGetInstanceHandle());
    EXPECT_REFUSED(LoadResource(unloaded, found), nullptr, ERROR_RESOURCE_DATA_NOT_FOUND);
    EXPECT_EQ(SizeofResource(unloaded, found), 0U);
    EXPECT_REFUSED(FindResourceA(unloaded, MAKEINTRESOURCE(kExtensionOnlyId), RT_BITMAP), nullptr,
                   ERROR_MOD_NOT_FOUND);

    ASSERT_NO_FATAL_FAILURE(Load());
    EXPECT_EQ(CountEntriesOf(module_), 1);
    EXPECT_EQ(FindBitmap(kExtensionOnlyId), module_);
    EXPECT_EQ(BitmapResourceBytes(module_, MAKEINTRESOURCE(kExtensionOnlyId)),
              PackedDibOfFile("extension_pair_2x1.bmp"));
}

} // namespace
