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

TEST_F(ModuleTest, InstanceHandleIsTheExecutableWhicheverWayAskedAndTheResourceHandleUntilChanged) {
    const HMODULE executable = AfxGetInstanceHandle();
    ASSERT_NE(executable, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), executable);
    EXPECT_EQ(GetModuleHandleA("test_platform"), executable);
    EXPECT_EQ(ModuleOf(&g_variableOfTheExecutable), executable);
    HMODULE byName = nullptr;
    EXPECT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, nullptr, &byName));
    EXPECT_EQ(byName, executable);

    // The resource handle is the executable until changed, and again after a reset.
    const HMODULE platform = GetModuleHandleA("liborvel_platform");
    EXPECT_EQ(AfxGetResourceHandle(), executable);
    AfxSetResourceHandle(platform);
    EXPECT_EQ(AfxGetResourceHandle(), platform);
    EXPECT_EQ(AfxGetInstanceHandle(), executable);
    AfxSetResourceHandle(nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), executable);
}

TEST_F(ModuleTest, LibraryIsNamedWithOrWithoutItsSharedObjectSuffixAndNotByPartsOfIt) {
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
    for (LPCSTR name : {"liborv", "orvel", "liborvel.s", "no_such_library.so", "", "/"}) {
        EXPECT_REFUSED(GetModuleHandleA(name), nullptr, ERROR_MOD_NOT_FOUND) << name;
    }
}

// Addresses outside every object have no module; references the service cannot count (raising
// it, by address or by name, or pinning) are refused. Either way no module is handed out.
TEST_F(ModuleTest, ModuleHandleExRefusesAddressesOutsideObjectsAndReferencesItCannotCount) {
    int onTheStack = 0;
    const auto* executable = reinterpret_cast<LPCSTR>(&g_variableOfTheExecutable);
    const struct {
        DWORD flags;
        LPCSTR address;
        DWORD error;
    } refused[] = {
        {kFromAddress, nullptr, ERROR_MOD_NOT_FOUND},
        {kFromAddress, reinterpret_cast<LPCSTR>(&onTheStack), ERROR_MOD_NOT_FOUND},
        {GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, executable, ERROR_INVALID_PARAMETER},
        {0, executable, ERROR_INVALID_PARAMETER},
        {kFromAddress | 0x1, executable, ERROR_INVALID_PARAMETER},
        {kFromAddress | 0x100, executable, ERROR_INVALID_PARAMETER},
    };
    for (const auto& r : refused) {
        HMODULE module = AfxGetInstanceHandle();
        EXPECT_REFUSED(GetModuleHandleExA(r.flags, r.address, &module), FALSE, r.error) << r.flags;
        EXPECT_EQ(module, nullptr);
    }
    EXPECT_REFUSED(GetModuleHandleExA(kFromAddress, nullptr, nullptr), FALSE,
                   ERROR_INVALID_PARAMETER);
}

} // namespace
