// The fifteen converters to 16, 24 and 32 bits per pixel, and the entry that refuses a
// conversion to the same direct-colour depth.
//
// There is no palette matching here: an indexed pixel is looked up in the picture's own colours,
// a direct-colour pixel is repacked. Exactly `width` pixels of each row are written; the target's
// row padding keeps the 0 of the work block.
#include "CConvertDib.h"

#include "detail/direct_pixels.h"
#include "detail/indexed_pixels.h"
#include "detail/row_walk.h"
#include "detail/status_codes.h"

#include <algorithm>

namespace {

using namespace orvel::convert::detail;

template <class Target>
void ExpandRows1(const CDibInfo& source, const CDibInfo& target, const PALETTEENTRY* colours) {
    const PackedPalette<Target> palette(colours, 2);
    const RowPair rows = RowsOf(source, target);
    ForEachRow(rows, [&](const BYTE* sourceRow, BYTE* targetRow) {
        palette.Row1(sourceRow, targetRow, rows.width);
    });
}

template <class Target>
void ExpandRows4(const CDibInfo& source, const CDibInfo& target, const PALETTEENTRY* colours) {
    const PackedPalette<Target> palette(colours, 16);
    const RowPair rows = RowsOf(source, target);
    ForEachRow(rows, [&](const BYTE* sourceRow, BYTE* targetRow) {
        palette.Row4(sourceRow, targetRow, rows.width);
    });
}

template <class Target>
void ExpandRows8(const CDibInfo& source, const CDibInfo& target, const PALETTEENTRY* colours) {
    const PackedPalette<Target> palette(colours, 256);
    const RowPair rows = RowsOf(source, target);
    ForEachRow(rows, [&](const BYTE* sourceRow, BYTE* targetRow) {
        palette.Row8(sourceRow, targetRow, rows.width);
    });
}

template <class Source, class Target>
void RepackRows(const CDibInfo& source, const CDibInfo& target, const PALETTEENTRY* /*colours*/) {
    const RowPair rows = RowsOf(source, target);
    ForEachRow(rows, [&](const BYTE* sourceRow, BYTE* targetRow) {
        RepackRow<Source, Target>(sourceRow, targetRow, rows.width);
    });
}

} // namespace

BOOL CConvertDib::ConvertToDirect(CDibInfo* source, CDibInfo* target, int sourceColours,
                                  DirectRowMapper convertRows) {
    // One read of the picture's colours per conversion, never one per pixel. Entries the
    // palette does not have stay black.
    PALETTEENTRY colours[256] = {};
    if (const CPalette* own = GetPalette(); own != nullptr && sourceColours > 0) {
        own->GetPaletteEntries(0, static_cast<UINT>(std::min(sourceColours, 256)), colours);
    }
    convertRows(*source, *target, colours);
    return SetNoError();
}

BOOL CConvertDib::ConvertColor01To16(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kOneBitColours, &ExpandRows1<Pixel16>);
}

BOOL CConvertDib::ConvertColor01To24(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kOneBitColours, &ExpandRows1<Pixel24>);
}

BOOL CConvertDib::ConvertColor01To32(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kOneBitColours, &ExpandRows1<Pixel32>);
}

BOOL CConvertDib::ConvertColor04To16(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kFourBitColours, &ExpandRows4<Pixel16>);
}

BOOL CConvertDib::ConvertColor04To24(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kFourBitColours, &ExpandRows4<Pixel24>);
}

BOOL CConvertDib::ConvertColor04To32(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kFourBitColours, &ExpandRows4<Pixel32>);
}

BOOL CConvertDib::ConvertColor08To16(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kEightBitColours, &ExpandRows8<Pixel16>);
}

BOOL CConvertDib::ConvertColor08To24(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kEightBitColours, &ExpandRows8<Pixel24>);
}

BOOL CConvertDib::ConvertColor08To32(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kEightBitColours, &ExpandRows8<Pixel32>);
}

BOOL CConvertDib::ConvertColor16To16(CDibInfo* /*source*/, CDibInfo* /*target*/) {
    // Reached only through the table itself: ConvertColor answers a same-depth request of 16 bits
    // and more before any work block is made.
    return SetClassError(kRequestedDepthRefused);
}

BOOL CConvertDib::ConvertColor16To24(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kDirectColour, &RepackRows<Pixel16, Pixel24>);
}

BOOL CConvertDib::ConvertColor16To32(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kDirectColour, &RepackRows<Pixel16, Pixel32>);
}

BOOL CConvertDib::ConvertColor24To16(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kDirectColour, &RepackRows<Pixel24, Pixel16>);
}

BOOL CConvertDib::ConvertColor24To32(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kDirectColour, &RepackRows<Pixel24, Pixel32>);
}

BOOL CConvertDib::ConvertColor32To16(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kDirectColour, &RepackRows<Pixel32, Pixel16>);
}

BOOL CConvertDib::ConvertColor32To24(CDibInfo* source, CDibInfo* target) {
    return ConvertToDirect(source, target, kDirectColour, &RepackRows<Pixel32, Pixel24>);
}
