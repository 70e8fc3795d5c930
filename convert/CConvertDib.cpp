#include "CConvertDib.h"

#include "../foundation/CDibSupport.h"
#include "../platform/afx/object_allocator.h"
#include "../platform/gdi/palette.h"
#include "../platform/memory/global_memory.h"
#include "../platform/win/error.h"
#include "detail/status_codes.h"
#include "detail/work_block.h"

#include <algorithm>
#include <cstring>

namespace {

using orvel::convert::detail::kBlockUnreachable;
using orvel::convert::detail::kPictureDepthRefused;
using orvel::convert::detail::kRequestedDepthRefused;

// Depth slot of the converter table: 1, 4, 8, 16, 24, 32 bits per pixel give 0 to 5; any other
// depth has no slot and is refused before a work block is made.
int DepthSlot(long bitCount) noexcept {
    switch (bitCount) {
    case 1:
        return 0;
    case 4:
        return 1;
    case 8:
        return 2;
    case 16:
        return 3;
    case 24:
        return 4;
    case 32:
        return 5;
    default:
        return -1;
    }
}

constexpr int kDepthSlots = 6;

constexpr std::size_t kHeadersBytes = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);

// Work blocks from this size on are installed as the picture instead of a copy of them.
constexpr SIZE_T kWorkBlockInstalledItselfBytes = SIZE_T{1} << 20U;

} // namespace

// Row: the source's depth slot; column: the target's. The three same-depth places of 16, 24 and
// 32 bits share the entry that refuses; the same-depth places of 1, 4 and 8 bits are real
// conversions, which map the picture onto the target palette.
const CConvertDib::Converter CConvertDib::s_converterTable[36] = {
    &CConvertDib::ConvertColor01To01, &CConvertDib::ConvertColor01To04,
    &CConvertDib::ConvertColor01To08, &CConvertDib::ConvertColor01To16,
    &CConvertDib::ConvertColor01To24, &CConvertDib::ConvertColor01To32,

    &CConvertDib::ConvertColor04To01, &CConvertDib::ConvertColor04To04,
    &CConvertDib::ConvertColor04To08, &CConvertDib::ConvertColor04To16,
    &CConvertDib::ConvertColor04To24, &CConvertDib::ConvertColor04To32,

    &CConvertDib::ConvertColor08To01, &CConvertDib::ConvertColor08To04,
    &CConvertDib::ConvertColor08To08, &CConvertDib::ConvertColor08To16,
    &CConvertDib::ConvertColor08To24, &CConvertDib::ConvertColor08To32,

    &CConvertDib::ConvertColor16To01, &CConvertDib::ConvertColor16To04,
    &CConvertDib::ConvertColor16To08, &CConvertDib::ConvertColor16To16,
    &CConvertDib::ConvertColor16To24, &CConvertDib::ConvertColor16To32,

    &CConvertDib::ConvertColor24To01, &CConvertDib::ConvertColor24To04,
    &CConvertDib::ConvertColor24To08, &CConvertDib::ConvertColor24To16,
    &CConvertDib::ConvertColor16To16, &CConvertDib::ConvertColor24To32,

    &CConvertDib::ConvertColor32To01, &CConvertDib::ConvertColor32To04,
    &CConvertDib::ConvertColor32To08, &CConvertDib::ConvertColor32To16,
    &CConvertDib::ConvertColor32To24, &CConvertDib::ConvertColor16To16,
};

CConvertDib::~CConvertDib() {
    ReleaseWork();
}

CConvertDib& CConvertDib::operator=(const CConvertDib& source) {
    if (this != &source) {
        Load(source);
    }
    return *this;
}

int CConvertDib::ConvertColor(int bitCount, CPalette* palette) {
    if (IsFailed()) {
        return FALSE;
    }
    // The picture is judged first, so a bad picture and a bad request together give 101.
    const WORD pictureBits = GetBIH().biBitCount;
    if (DepthSlot(pictureBits) < 0) {
        return SetClassError(kPictureDepthRefused);
    }
    if (DepthSlot(bitCount) < 0) {
        return SetClassError(kRequestedDepthRefused);
    }
    if (bitCount == pictureBits && pictureBits >= 16) {
        return TRUE;
    }
    // A size conversion that stopped early may have left its work block; it goes now, before
    // this conversion borrows the caller's palette, so that the palette is the one used.
    ReleaseWork();
    m_pTargetPalette = palette;
    m_bOwnTargetPalette = FALSE;
    if (ConvertColorInit(bitCount) == 0) {
        return FALSE;
    }
    return ConvertColorProc();
}

BOOL CConvertDib::CopyPictureHeader(BITMAPINFOHEADER& header) {
    // The block's own header, not the cached copy: the work block must match the rows the
    // converter or resampler will read.
    CDibInfo picture(m_hDib);
    if (picture.GetDIB() == nullptr) {
        return SetProgError(kBlockUnreachable);
    }
    header = picture.GetBI()->bmiHeader;
    return TRUE;
}

int CConvertDib::ConvertColorInit(int bitCount) {
    BITMAPINFOHEADER header;
    if (CopyPictureHeader(header) == 0) {
        return FALSE;
    }
    header.biBitCount = static_cast<WORD>(bitCount);
    header.biSizeImage = 0;
    header.biClrUsed = 0;
    header.biClrImportant = 0;
    return MakeWorkMem(header) != 0 ? TRUE : FALSE;
}

int CConvertDib::ConvertColorProc() {
    CDibInfo source(m_hDib);
    CDibInfo target(m_hWork);
    BOOL result = FALSE;
    if (!orvel::convert::detail::BlockHoldsRows(source.GetDIB(), ::GlobalSize(m_hDib)) ||
        target.GetDIB() == nullptr) {
        // Nothing is read through a block that cannot be reached or does not hold its rows; the
        // picture stays.
        SetProgError(kBlockUnreachable);
    } else {
        const int sourceSlot = DepthSlot(source.GetBI()->bmiHeader.biBitCount);
        const int targetSlot = DepthSlot(target.GetBI()->bmiHeader.biBitCount);
        if (sourceSlot < 0) {
            SetClassError(kPictureDepthRefused);
        } else if (targetSlot < 0) {
            SetClassError(kRequestedDepthRefused);
        } else {
            result =
                (this->*s_converterTable[sourceSlot * kDepthSlots + targetSlot])(&source, &target);
        }
    }
    // The picture's block is about to be freed: its view ends first.
    source.Load(nullptr);
    if (result != 0) {
        ReplacePicture(&target.GetBI()->bmiHeader);
    }
    target.Load(nullptr);
    ReleaseWork();
    return result;
}

int CConvertDib::MakeWorkMem(BITMAPINFOHEADER header) {
    const orvel::convert::detail::WorkBlockLayout layout =
        orvel::convert::detail::LayoutWorkBlock(header);
    if (layout.refusal != 0) {
        // Refused before anything is allocated, as the system refuses a block it cannot make.
        ::SetLastError(layout.refusal);
        return SetSystemError();
    }
    if (m_hWork != nullptr) {
        ReleaseWork();
    }
    m_hWork = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, layout.totalBytes);
    if (m_hWork == nullptr) {
        return SetSystemError();
    }
    auto* base = static_cast<BYTE*>(::GlobalLock(m_hWork));
    if (base == nullptr) {
        const DWORD lockError = ::GetLastError();
        ::GlobalFree(m_hWork);
        m_hWork = nullptr;
        ::SetLastError(lockError);
        return SetSystemError();
    }

    BITMAPFILEHEADER file{};
    file.bfType = DIB_SIGNATURE;
    file.bfSize = layout.totalBytes;
    file.bfOffBits = kHeadersBytes + 4U * DWORD{layout.tableEntries};
    header.biSizeImage = layout.imageBytes;
    std::memcpy(base, &file, sizeof file);
    std::memcpy(base + sizeof file, &header, sizeof header);
    BYTE* table = base + kHeadersBytes;

    // The colour table starts as the picture's own, as far as both tables reach: a resized
    // picture keeps its colours, and a converter to 1, 4 or 8 bits overwrites what it maps onto.
    if (m_hDib != nullptr && layout.tableEntries != 0) {
        CDibInfo picture(m_hDib);
        if (picture.GetDIB() == nullptr) {
            // Without the picture's colours the work block would be silently wrong.
            ::GlobalFree(m_hWork);
            m_hWork = nullptr;
            return SetProgError(kBlockUnreachable);
        }
        // Never more entries than the picture's block really holds after its headers.
        const SIZE_T pictureBytes = ::GlobalSize(m_hDib);
        const std::size_t storedEntries =
            pictureBytes > kHeadersBytes ? (pictureBytes - kHeadersBytes) / sizeof(RGBQUAD) : 0;
        const std::size_t copied =
            std::min({std::size_t{layout.tableEntries},
                      std::size_t{CDibSupport::GetPaletteEntryNum(picture.GetBI()->bmiHeader)},
                      storedEntries});
        std::memcpy(table, picture.GetColors(), copied * sizeof(RGBQUAD));
    }
    ::GlobalUnlock(m_hWork);
    return SetNoError();
}

void CConvertDib::ReleaseWork() {
    if (m_hWork != nullptr) {
        ::GlobalFree(m_hWork);
        m_hWork = nullptr;
    }
    if (m_bOwnTargetPalette != 0) {
        AfxDeleteObject(m_pTargetPalette);
    }
    // A caller's palette is only forgotten.
    m_pTargetPalette = nullptr;
    m_bOwnTargetPalette = FALSE;
}

int CConvertDib::ProcessPalette(BITMAPINFO* info) {
    const WORD targetBits = info->bmiHeader.biBitCount;
    int madeHere = 0;
    if (m_pTargetPalette == nullptr) {
        m_pTargetPalette = AfxNewObject<CPalette>();
        if (m_pTargetPalette == nullptr) {
            // The converter sees no target palette and records the failure.
            return 0;
        }
        m_bOwnTargetPalette = TRUE;
        // A palette the system refuses to create leaves the object empty: the colour table then
        // keeps its pre-fill and every search answers CLR_INVALID.
        CDibSupport::MakeNewPalette(*m_pTargetPalette, targetBits);
        madeHere = 1;
    }
    CDibSupport::GetRGBQUAD(m_pTargetPalette, info->bmiColors, targetBits);
    return madeHere;
}

void CConvertDib::CreatePaletteIndex(unsigned char* table, int count) {
    const int entryCount = std::clamp(count, 0, 256);
    // Entries the picture's palette does not have read as black rather than as stack garbage.
    PALETTEENTRY entries[256] = {};
    if (const CPalette* own = GetPalette(); own != nullptr) {
        own->GetPaletteEntries(0, static_cast<UINT>(entryCount), entries);
    }
    HPALETTE target =
        m_pTargetPalette != nullptr ? static_cast<HPALETTE>(*m_pTargetPalette) : nullptr;
    for (int i = 0; i < entryCount; ++i) {
        table[i] = static_cast<unsigned char>(::GetNearestPaletteIndex(
            target, RGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue)));
    }
}

void CConvertDib::ReplacePicture(BITMAPINFOHEADER* workHeader) {
    if (m_hWork != nullptr && workHeader == nullptr) {
        // The finished work block cannot be locked: the old picture is kept rather than lost.
        SetProgError(kBlockUnreachable);
        return;
    }
    // From here there is no way back: the old picture goes before the new one is made.
    DestroyClass();
    if (m_hWork == nullptr) {
        SetProgError(kBlockUnreachable);
        return;
    }
    // The work block is laid out byte for byte as the copy MakeDib would make of it. A large one
    // becomes the picture itself: a copy would cost a second block of its size, a pass over it,
    // and the peak memory of both. A small one is copied, for the copy costs next to nothing.
    HGLOBAL block = nullptr;
    if (::GlobalSize(m_hWork) >= kWorkBlockInstalledItselfBytes) {
        block = m_hWork;
        m_hWork = nullptr;
    } else {
        block = MakeDib(workHeader, nullptr, nullptr, 0);
    }
    if (block != nullptr) {
        InitDib(block);
    }
}
