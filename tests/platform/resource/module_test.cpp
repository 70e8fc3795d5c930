#include <orvel/orvel.h>

#include "platform/last_error.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using orvel::test::LeakCheckedTest;
using ModuleTest = LeakCheckedTest;

constexpr DWORD kFromAddress =
    GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;

const int g_variableOfTheExecutable = 0;

HMODULE ModuleOf(const void* address) {
    HMODULE module = nullptr;
    EXPECT_TRUE(GetModuleHandleExA(kFromAddress, static_cast<LPCSTR>(address), &module));
    return module;
}

TEST_F(ModuleTest, InstanceHandleIsTheExecutableWhicheverWayItIsAskedFor) {
    const HMODULE executable = AfxGetInstanceHandle();
    ASSERT_NE(executable, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), executable);
    EXPECT_EQ(GetModuleHandleA("test_platform"), executable);
    EXPECT_EQ(ModuleOf(&g_variableOfTheExecutable), executable);
    HMODULE byName = nullptr;
    EXPECT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, nullptr, &byName));
    EXPECT_EQ(byName, executable);
}

TEST_F(ModuleTest, LibraryIsNamedWithOrWithoutItsSharedObjectSuffix) {
    const HMODULE library = ModuleOf(reinterpret_cast<const void*>(&CDibSupport::GetBytePerLine));
    ASSERT_NE(library, nullptr);
    EXPECT_NE(library, AfxGetInstanceHandle());
    EXPECT_EQ(GetModuleHandleA("liborvel"), library);
    EXPECT_EQ(GetModuleHandleA("liborvel.so"), library);
    EXPECT_EQ(GetModuleHandleA("liborvel.so.0"), library);
    EXPECT_EQ(GetModuleHandleA("/some/other/directory/liborvel.so"), library);
    // A name that starts another library's name is not that library.
    const HMODULE platform = GetModuleHandleA("liborvel_platform");
    ASSERT_NE(platform, nullptr);
    EXPECT_NE(platform, library);
    EXPECT_EQ(ModuleOf(reinterpret_cast<const void*>(&GlobalAlloc)), platform);
}

TEST_F(ModuleTest, UnknownNamesAreNotFound) {
    for (LPCSTR name : {"liborv", "orvel", "liborvel.s", "no_such_library.so", "", "/"}) {
        EXPECT_REFUSED(GetModuleHandleA(name), nullptr, ERROR_MOD_NOT_FOUND) << name;
    }
}

TEST_F(ModuleTest, AddressesOutsideEveryObjectHaveNoModule) {
    int onTheStack = 0;
    for (const void* address :
         {static_cast<const void*>(nullptr), static_cast<const void*>(&onTheStack)}) {
        HMODULE module = AfxGetInstanceHandle();
        SetLastError(0);
        EXPECT_FALSE(GetModuleHandleExA(kFromAddress, static_cast<LPCSTR>(address), &module));
        EXPECT_EQ(module, nullptr);
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    }
}

TEST_F(ModuleTest, ModuleHandleExRefusesReferencesItCannotCount) {
    const DWORD refusedFlags[] = {
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, // would raise the reference count
        0,                                      // likewise, by name
        kFromAddress | 0x1,                     // pinning
        kFromAddress | 0x100,
    };
    for (DWORD flags : refusedFlags) {
        HMODULE module = AfxGetInstanceHandle();
        SetLastError(0);
        EXPECT_FALSE(GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(&g_variableOfTheExecutable),
                                        &module))
            << flags;
        EXPECT_EQ(module, nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_REFUSED(GetModuleHandleExA(kFromAddress, nullptr, nullptr), FALSE,
                   ERROR_INVALID_PARAMETER);
}

TEST_F(ModuleTest, ResourceHandleIsTheExecutableUntilChangedAndAfterReset) {
    const HMODULE platform = GetModuleHandleA("liborvel_platform");
    EXPECT_EQ(AfxGetResourceHandle(), AfxGetInstanceHandle());
    AfxSetResourceHandle(platform);
    EXPECT_EQ(AfxGetResourceHandle(), platform);
    EXPECT_EQ(AfxGetInstanceHandle(), GetModuleHandleA(nullptr));
    AfxSetResourceHandle(nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), AfxGetInstanceHandle());
}

} // namespace
