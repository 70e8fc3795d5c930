#include "CDib.h"

#include "../foundation/CDibSupport.h"
#include "../platform/afx/gdi_object.h"
#include "../platform/afx/object_allocator.h"
#include "detail/colour_fill.h"
#include "detail/new_picture_header.h"

#include <cstring>

using orvel::dib::detail::CheckNewPictureHeader;
using orvel::dib::detail::NewPictureSizes;
using orvel::dib::detail::NewPictureVerdict;
using orvel::dib::detail::StatusOfRefusal;

// A blank picture of a size and depth: its header and colour table are made here, and the
// picture itself by the load from a header. Up to 8 bits per pixel the colour table holds the
// caller's palette, or the standard palette of the depth; entries a short palette does not reach
// stay 0. Above 8 bits there is no colour table and the palette is not used.
BOOL CDib::Load(CSize size, unsigned long colour, int bitCount, CPalette* palette) {
    DestroyClass();
    // The depth is judged as the int it arrives as: narrowed first, 65544 would pass for 8.
    if (bitCount <= 0 || bitCount > 32) {
        return SetClassError(1);
    }
    const auto depth = static_cast<WORD>(bitCount);
    const BITMAPINFOHEADER header =
        CDibSupport::MakeBIH(size.cx, size.cy, depth, BI_RGB, 0, 0, 0, 0, 0);
    NewPictureSizes sizes;
    const NewPictureVerdict verdict = CheckNewPictureHeader(header, sizes);
    if (verdict != NewPictureVerdict::Accepted) {
        const auto refusal = StatusOfRefusal(verdict);
        return SetLastError(refusal.kind, refusal.code);
    }

    auto* info = static_cast<BYTE*>(AfxAllocateBytes(sizeof header + sizes.tableBytes));
    if (info == nullptr) {
        return SetClassError(3);
    }
    std::memcpy(info, &header, sizeof header);
    auto* table = reinterpret_cast<RGBQUAD*>(info + sizeof header);
    std::memset(table, 0, sizes.tableBytes);
    if (depth <= 8) {
        if (palette != nullptr) {
            CDibSupport::GetRGBQUAD(palette, table, depth);
        } else {
            CPalette* standard = AfxNewObject<CPalette>();
            if (standard == nullptr) {
                AfxFreeBytes(info);
                return SetClassError(3);
            }
            CDibSupport::MakeNewPalette(*standard, depth);
            CDibSupport::GetRGBQUAD(standard, table, depth);
            AfxDeleteObject(standard);
        }
    }
    const BOOL result = Load(reinterpret_cast<BITMAPINFO*>(info), colour);
    AfxFreeBytes(info);
    return result;
}

// A blank picture described by the caller's header and colour table, every pixel `colour`.
//
// The header is judged before anything is allocated (see CheckNewPictureHeader): a compressed
// header, a depth the library does not keep, negative sizes, or an image size shorter than the
// rows are class error 1; a picture too large to hold is a system error with
// ERROR_NOT_ENOUGH_MEMORY. A null header is program error 14, as every null picture pointer.
//
// The picture is made as a packed DIB of zero pixels, turned into a block by MakeDib and
// normalised; only then are the pixels filled, through the logical palette the normalisation
// built from the colour table, so the nearest palette index is a colour-table index.
//
// The object holds either the new picture or nothing: when a step fails after the block was
// made, the block goes with the failure and the object is left empty with that step's status.
BOOL CDib::Load(BITMAPINFO* info, unsigned long colour) {
    DestroyClass();
    if (info == nullptr) {
        return SetProgError(14);
    }
    // The header's size comes first, so that a shorter header is refused before anything past
    // it is read.
    DWORD headerBytes = 0;
    std::memcpy(&headerBytes, info, sizeof headerBytes);
    if (headerBytes != sizeof(BITMAPINFOHEADER)) {
        return SetClassError(1);
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, info, sizeof header);
    NewPictureSizes sizes;
    const NewPictureVerdict verdict = CheckNewPictureHeader(header, sizes);
    if (verdict != NewPictureVerdict::Accepted) {
        const auto refusal = StatusOfRefusal(verdict);
        return SetLastError(refusal.kind, refusal.code);
    }

    const std::size_t headerAndTableBytes = sizeof header + std::size_t{sizes.tableBytes};
    auto* packed = static_cast<BYTE*>(AfxAllocateBytes(headerAndTableBytes + sizes.imageBytes));
    if (packed == nullptr) {
        return SetClassError(3);
    }
    std::memcpy(packed, info, headerAndTableBytes);
    std::memset(packed + headerAndTableBytes, 0, sizes.imageBytes);
    HGLOBAL block = MakeDib(reinterpret_cast<BITMAPINFOHEADER*>(packed), nullptr, nullptr, 0);
    AfxFreeBytes(packed);
    if (block == nullptr) {
        return FALSE;
    }

    auto releaseKeepingStatus = [this]() {
        unsigned int kind = 0;
        unsigned long code = 0;
        GetLastError(kind, code);
        DestroyClass();
        return SetLastError(kind, code);
    };
    if (!InitDib(block)) {
        return releaseKeepingStatus();
    }
    CDibInfo view(m_hDib);
    if (view.GetDIB() == nullptr) {
        SetSystemError();
        view.Load(nullptr);
        return releaseKeepingStatus();
    }
    BYTE* image = view.GetImage();
    const WORD bitCount = m_bih.biBitCount;
    const auto pixelColour = static_cast<COLORREF>(colour);
    if (bitCount <= 8) {
        // Indexed rows are filled whole, padding included: every byte holds the index.
        const UINT index = m_pPalette->GetNearestPaletteIndex(pixelColour);
        std::memset(image, orvel::dib::detail::IndexedFillByte(index, bitCount),
                    CDibSupport::GetImageSize(m_bih));
    } else {
        // Direct-colour rows keep the zero padding of the new block.
        orvel::dib::detail::FillDirectRows(
            image, CDibSupport::GetBytePerLine(m_bih), static_cast<DWORD>(m_bih.biHeight),
            static_cast<DWORD>(m_bih.biWidth),
            orvel::dib::detail::EncodeDirectPixel(pixelColour, bitCount));
    }
    return TRUE;
}

BOOL CDib::Empty(CSize size, unsigned long colour, int bitCount, CPalette* palette) {
    return Load(size, colour, bitCount, palette);
}

BOOL CDib::Empty(BITMAPINFO* info, unsigned long colour) {
    return Load(info, colour);
}
