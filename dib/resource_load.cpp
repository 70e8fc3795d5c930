#include "CDib.h"

#include "../platform/resource/resource.h"
#include "detail/packed_dib.h"

// A bitmap resource of the application, found in whichever module of the framework's list holds
// it. Resources are stored as packed DIBs.
BOOL CDib::Load(int resourceId) {
    LPCSTR name = MAKEINTRESOURCE(resourceId);
    // The same module must serve every call: a found resource is tied to its module.
    HINSTANCE module = AfxFindResourceHandle(name, RT_BITMAP);
    HRSRC found = FindResourceA(module, name, RT_BITMAP);
    if (found == nullptr) {
        return SetSystemError();
    }
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) {
        return SetSystemError();
    }
    const auto* packed = static_cast<const BYTE*>(LockResource(loaded));
    if (packed == nullptr) {
        return FALSE;
    }
    DestroyClass();
    // The resource's size tells whether it stores the full colour table or only biClrUsed
    // colours, and a resource too short for what its header claims is refused before anything
    // past its end is read.
    const auto colourCount =
        orvel::dib::detail::PackedDibColourCount(packed, SizeofResource(module, found));
    if (!colourCount) {
        return SetClassError(1);
    }
    // MakeDib only reads the header it is given; the resource's memory stays untouched.
    auto* header = const_cast<BITMAPINFOHEADER*>(reinterpret_cast<const BITMAPINFOHEADER*>(packed));
    HGLOBAL block = MakeDib(header, nullptr, nullptr, *colourCount);
    if (block == nullptr) {
        return FALSE;
    }
    return InitDib(block);
}
