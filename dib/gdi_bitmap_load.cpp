#include "CDib.h"

#include "../foundation/CDibSupport.h"
#include "../platform/afx/bitmap.h"
#include "../platform/afx/dc.h"
#include "../platform/gdi/bitmap.h"
#include "../platform/gdi/gdi_object.h"
#include "../platform/memory/global_memory.h"
#include "../platform/win/error.h"
#include "detail/new_picture_header.h"

#include <cstring>

using orvel::dib::detail::CheckNewPictureHeader;
using orvel::dib::detail::NewPictureSizes;
using orvel::dib::detail::NewPictureVerdict;
using orvel::dib::detail::StatusOfRefusal;

// A picture of a device-dependent bitmap, at the bitmap's own depth.
//
// The pixels are read through the screen's device context with the palette that gives indexed
// pixels their colours selected and realised: the caller's palette, or the object's halftone
// palette when the caller has none. Up to 8 bits per pixel the colour table is then that
// palette's first colours (as many as the depth has entries, or as the palette has, whichever is
// fewer); the table entries beyond a short palette keep the colours the device reported.
//
// A handle that is not a readable bitmap (null, destroyed, or another kind of object) is a
// system error with ERROR_INVALID_HANDLE. A bitmap too large to hold is a system error with
// ERROR_NOT_ENOUGH_MEMORY, before anything is allocated. A bitmap still selected into a memory
// context cannot be read through the screen's: the device refuses it, and that refusal is the
// system error recorded.
//
// The object holds either the new picture or nothing: a block whose pixels could not be read is
// freed, and a block the normalisation step refused goes with the failure, its status kept.
BOOL CDib::Load(const CBitmap& bitmap, CPalette* palette) {
    DestroyClass();
    const auto bitmapHandle = static_cast<HBITMAP>(bitmap);
    BITMAP record{};
    const int recordBytes = ::GetObjectA(bitmapHandle, sizeof record, &record);
    if (recordBytes != static_cast<int>(sizeof record)) {
        // GetObjectA has set the error for a bad handle; another kind of object is read
        // without an error of its own.
        if (recordBytes != 0) {
            ::SetLastError(ERROR_INVALID_HANDLE);
        }
        return SetSystemError();
    }

    const BITMAPINFOHEADER header = CDibSupport::MakeBIH(record.bmWidth, record.bmHeight,
                                                         record.bmBitsPixel, BI_RGB, 0, 0, 0, 0, 0);
    NewPictureSizes sizes;
    const NewPictureVerdict verdict = CheckNewPictureHeader(header, sizes);
    if (verdict != NewPictureVerdict::Accepted) {
        const auto refusal = StatusOfRefusal(verdict);
        return SetLastError(refusal.kind, refusal.code);
    }
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, file.bfSize);
    if (block == nullptr) {
        return SetSystemError();
    }
    CDibInfo view(block);
    BYTE* base = view.GetDIB();
    if (base == nullptr) {
        SetSystemError();
        view.Load(nullptr);
        GlobalFree(block);
        return FALSE;
    }
    std::memcpy(base, &file, sizeof file);
    std::memcpy(base + sizeof file, &header, sizeof header);
    BITMAPINFO* info = view.GetBI();

    CWindowDC screen(nullptr);
    CPalette* used = palette != nullptr ? palette : &m_halftonePalette;
    CPalette* previous = screen.SelectPalette(used, FALSE);
    screen.RealizePalette();
    // The first call completes the header as the device describes the bitmap; the second reads
    // the rows. Both describe the bitmap's own width, height and depth, the sizes the block was
    // made for.
    ::GetDIBits(screen.m_hDC, bitmapHandle, 0, static_cast<UINT>(record.bmHeight), nullptr, info,
                DIB_RGB_COLORS);
    const int linesRead =
        ::GetDIBits(screen.m_hDC, bitmapHandle, 0, static_cast<UINT>(record.bmHeight),
                    base + file.bfOffBits, info, DIB_RGB_COLORS);
    if (linesRead == 0) {
        SetSystemError();
        if (previous != nullptr) {
            screen.SelectPalette(previous, TRUE);
        }
        view.Load(nullptr);
        GlobalFree(block);
        return FALSE;
    }
    if (header.biBitCount <= 8) {
        CDibSupport::GetRGBQUAD(used, view.GetColors(), header.biBitCount);
    }
    if (previous != nullptr) {
        screen.SelectPalette(previous, TRUE);
    }
    view.Load(nullptr);

    if (!InitDib(block)) {
        unsigned int kind = 0;
        unsigned long code = 0;
        GetLastError(kind, code);
        DestroyClass();
        return SetLastError(kind, code);
    }
    return TRUE;
}
