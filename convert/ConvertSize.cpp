// Size conversion: nearest-neighbour resampling by repeating and dropping whole columns and rows.
//
// Pixels are copied as stored, never blended, so every depth resizes without colour work and an
// indexed picture keeps its indexes and its colour table.
#include "CConvertDib.h"

#include "../dib/picture_limits.h"
#include "../platform/memory/global_memory.h"
#include "../platform/win/error.h"
#include "detail/repeat_counts.h"
#include "detail/resample_rows.h"
#include "detail/row_walk.h"
#include "detail/status_codes.h"
#include "detail/work_block.h"

#include <limits>
#include <vector>

namespace {

using namespace orvel::convert::detail;

} // namespace

BOOL CConvertDib::ConvertSize(long width, long height) {
    if (IsFailed()) {
        return FALSE;
    }
    constexpr long kLargest = std::numeric_limits<LONG>::max();
    constexpr long kSmallest = std::numeric_limits<LONG>::min();
    if (width < kSmallest || height < kSmallest || width > kLargest || height > kLargest) {
        // A size the picture's 32-bit header cannot hold is refused as the work block for it
        // would be, before anything is allocated, rather than cut to 32 bits.
        ::SetLastError(width < 0 || height < 0 ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
        return SetSystemError();
    }
    return ConvertSize(CSize(static_cast<int>(width), static_cast<int>(height)));
}

BOOL CConvertDib::ConvertSize(CSize size) {
    if (IsFailed()) {
        return FALSE;
    }
    const BITMAPINFOHEADER current = GetBIH();
    if (size.cx == current.biWidth && size.cy == current.biHeight) {
        return SetNoError();
    }
    // The repeat counts take one int for each source column and row. A 1-bit picture within
    // kDibMaxPixelBytes may be two thousand million columns wide, and its counts would take 32
    // times its pixels: they are held to the bound every picture meets, and a resize that needs
    // more is refused as a work block too large is, before anything is allocated.
    if (RepeatCountBytes(current.biWidth, current.biHeight) > kDibMaxPixelBytes) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return SetSystemError();
    }
    if (ConvertSizeInit(size) == 0 || ConvertSizeProc() == 0) {
        return FALSE;
    }
    {
        CDibInfo work(m_hWork);
        ReplacePicture(work.GetDIB() != nullptr ? &work.GetBI()->bmiHeader : nullptr);
    }
    if (m_hWork != nullptr) {
        ::GlobalFree(m_hWork);
        m_hWork = nullptr;
    }
    return TRUE;
}

BOOL CConvertDib::ConvertSizeInit(CSize size) {
    BITMAPINFOHEADER header;
    if (CopyPictureHeader(header) == 0) {
        return FALSE;
    }
    header.biWidth = size.cx;
    header.biHeight = size.cy;
    header.biSizeImage = 0;
    if (MakeWorkMem(header) == 0) {
        return FALSE;
    }
    return SetNoError();
}

BOOL CConvertDib::ConvertSizeProc() {
    if (m_hDib == nullptr) {
        return FALSE;
    }
    const BITMAPINFOHEADER cached = GetBIH();
    {
        // The arrays are sized from the cached header and filled from the block's: the two must
        // still agree, or the counts would run past the arrays.
        CDibInfo picture(m_hDib);
        if (picture.GetDIB() == nullptr) {
            return SetProgError(kBlockUnreachable);
        }
        const BITMAPINFOHEADER stored = picture.GetBI()->bmiHeader;
        if (stored.biWidth != cached.biWidth || stored.biHeight != cached.biHeight ||
            stored.biBitCount != cached.biBitCount) {
            return SetProgError(kBlockUnreachable);
        }
    }
    // Out of memory here passes to the caller as the allocator's exception; the work block stays
    // until the next conversion or the destructor.
    std::vector<int> columnCounts(cached.biWidth > 0 ? static_cast<std::size_t>(cached.biWidth)
                                                     : 0);
    std::vector<int> rowCounts(cached.biHeight > 0 ? static_cast<std::size_t>(cached.biHeight) : 0);
    if (ConvertSizeCompute(columnCounts.data(), rowCounts.data()) == 0) {
        return FALSE;
    }
    switch (cached.biBitCount) {
    case 1:
        ConvertSize01(columnCounts.data(), rowCounts.data());
        break;
    case 4:
        ConvertSize04(columnCounts.data(), rowCounts.data());
        break;
    case 8:
        ConvertSize08(columnCounts.data(), rowCounts.data());
        break;
    case 16:
        ConvertSize16(columnCounts.data(), rowCounts.data());
        break;
    case 24:
        ConvertSize24(columnCounts.data(), rowCounts.data());
        break;
    case 32:
        ConvertSize32(columnCounts.data(), rowCounts.data());
        break;
    default:
        // No resampler for this depth: the work block's pixels stay zero.
        break;
    }
    // A resampler that could not reach both blocks has recorded it; the picture must not be
    // replaced by an unfilled work block.
    return IsFailed() ? FALSE : TRUE;
}

BOOL CConvertDib::ConvertSizeCompute(int* columnCounts, int* rowCounts) {
    CDibInfo picture(m_hDib);
    CDibInfo work(m_hWork);
    if (picture.GetDIB() == nullptr || work.GetDIB() == nullptr) {
        return SetProgError(kBlockUnreachable);
    }
    const BITMAPINFOHEADER from = picture.GetBI()->bmiHeader;
    const BITMAPINFOHEADER to = work.GetBI()->bmiHeader;
    FillRepeatCounts(from.biWidth, to.biWidth, columnCounts);
    FillRepeatCounts(from.biHeight, to.biHeight, rowCounts);
    return TRUE;
}

void CConvertDib::Resample(int* columnCounts, int* rowCounts, WORD bitCount) {
    CDibInfo picture(m_hDib);
    CDibInfo work(m_hWork);
    if (!BlockHoldsRows(picture.GetDIB(), ::GlobalSize(m_hDib)) || work.GetDIB() == nullptr) {
        SetProgError(kBlockUnreachable);
        return;
    }
    const RowPair rows = RowsOf(picture, work);
    const BITMAPINFOHEADER target = work.GetBI()->bmiHeader;
    // However the counts were made, they never place a column or row outside the work block.
    CapRepeatCounts(columnCounts, rows.width, target.biWidth);
    CapRepeatCounts(rowCounts, rows.height, target.biHeight);
    ResampleRows(rows, columnCounts, rowCounts, bitCount);
}

void CConvertDib::ConvertSize01(int* columnCounts, int* rowCounts) {
    Resample(columnCounts, rowCounts, 1);
}

void CConvertDib::ConvertSize04(int* columnCounts, int* rowCounts) {
    Resample(columnCounts, rowCounts, 4);
}

void CConvertDib::ConvertSize08(int* columnCounts, int* rowCounts) {
    Resample(columnCounts, rowCounts, 8);
}

void CConvertDib::ConvertSize16(int* columnCounts, int* rowCounts) {
    Resample(columnCounts, rowCounts, 16);
}

void CConvertDib::ConvertSize24(int* columnCounts, int* rowCounts) {
    Resample(columnCounts, rowCounts, 24);
}

void CConvertDib::ConvertSize32(int* columnCounts, int* rowCounts) {
    Resample(columnCounts, rowCounts, 32);
}
