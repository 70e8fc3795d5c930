// The tag that every handle value carries in its low four bits, one per kind of handle. Keeping
// them in one list is what guarantees that a handle of one service is never taken for a handle
// of another: each table refuses values whose tag is not its own.
#pragma once

namespace orvel::platform::detail {

enum HandleTag : unsigned {
    kGlobalMemoryTag = 1,   ///< HGLOBAL of GlobalAlloc
    kGdiObjectTag = 2,      ///< HPALETTE, HBITMAP
    kDeviceContextTag = 3,  ///< HDC
    kDrawDibTag = 4,        ///< HDRAWDIB
    kCompressorTag = 5,     ///< HIC
    kWindowTag = 9,         ///< HWND
    kFoundResourceTag = 14, ///< HRSRC of FindResourceA
    kResourceDataTag = 15,  ///< HGLOBAL of LoadResource
};

} // namespace orvel::platform::detail
