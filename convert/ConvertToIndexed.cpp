// The eighteen converters to 1, 4 and 8 bits per pixel.
//
// An indexed source reaches its target indexes through the palette index table, one search per
// source colour. A direct-colour source is mapped by arithmetic onto the fixed palettes and
// otherwise asks the platform's nearest-colour search per run of equal pixels; both give the
// search's answer for every colour. Indexes are cut to the target's width, never clamped.
#include "CConvertDib.h"

#include "../platform/afx/object_allocator.h"
#include "../platform/gdi/palette.h"
#include "detail/direct_pixels.h"
#include "detail/fixed_palette_mapping.h"
#include "detail/indexed_pixels.h"
#include "detail/row_walk.h"
#include "detail/status_codes.h"

namespace {

using namespace orvel::convert::detail;

template <unsigned kTargetBits>
constexpr std::size_t kTargetPositionsPerByte = 8 / kTargetBits;

// An 8-bit or direct-colour source, pixel by pixel, one part's rows in order. Groups are the
// pixels of one target byte.
template <unsigned kTargetBits, std::size_t kSourceBytes, class IndexOf>
void PackPartRows(const RowPair& part, IndexOf&& indexOf) {
    constexpr std::size_t kGroup = kTargetPositionsPerByte<kTargetBits>;
    const std::size_t positions = PositionsToConvert(
        part.width, kGroup, part.sourceStride / kSourceBytes, part.targetStride * kGroup);
    ForEachRowInOrder(part, [&](const BYTE* source, BYTE* target) {
        PackIndexes<kTargetBits>(target, positions, [&] {
            const unsigned index = indexOf(source);
            source += kSourceBytes;
            return index;
        });
    });
}

// The same for a whole picture, whose rows may be shared among threads: indexOf keeps no state.
template <unsigned kTargetBits, std::size_t kSourceBytes, class IndexOf>
void PackRows(const RowPair& rows, const IndexOf& indexOf) {
    ForEachPart(
        rows, [&](const RowPair& part) { PackPartRows<kTargetBits, kSourceBytes>(part, indexOf); });
}

// A direct-colour pixel's red, green and blue handed to a fixed palette's mapping.
template <class Source, unsigned kTargetBits, class Mapping>
void MapRows(const RowPair& rows, const Mapping& mapping) {
    PackRows<kTargetBits, Source::kBytes>(rows, [&](const BYTE* pixel) {
        const std::uint32_t bgr = Source::Bgr(pixel);
        return mapping.Index((bgr >> 16U) & 0xFFU, (bgr >> 8U) & 0xFFU, bgr & 0xFFU);
    });
}

// A 24- or 32-bit source onto a halftone palette, one index byte a pixel: most of each row eight
// pixels at a time where the processor allows, the rest one by one.
template <class Source>
void HalftoneRowsToBytes(const RowPair& rows, const HalftoneMapping& mapping) {
    const std::size_t positions =
        PositionsToConvert(rows.width, 1, rows.sourceStride / Source::kBytes, rows.targetStride);
    ForEachRow(rows, [&](const BYTE* source, BYTE* target) {
        const std::size_t done = mapping.MapEightAtATime(source, Source::kBytes, target, positions);
        source += done * Source::kBytes;
        PackIndexes<8>(target + done, positions - done, [&] {
            const std::uint32_t bgr = Source::Bgr(source);
            source += Source::kBytes;
            return mapping.Index((bgr >> 16U) & 0xFFU, (bgr >> 8U) & 0xFFU, bgr & 0xFFU);
        });
    });
}

template <class Source, unsigned kTargetBits>
void SearchRows(const CDibInfo& source, const CDibInfo& target, const BYTE* /*indexTable*/,
                HPALETTE targetPalette) {
    const RowPair rows = RowsOf(source, target);
    PALETTEENTRY entries[256];
    const UINT entryCount = ::GetPaletteEntries(targetPalette, 0, 0, nullptr);
    const bool read = entryCount <= 256 &&
                      ::GetPaletteEntries(targetPalette, 0, entryCount, entries) == entryCount;
    switch (read ? RecogniseFixedPalette(entries, entryCount) : FixedPalette::None) {
    case FixedPalette::TwoColour:
        return MapRows<Source, kTargetBits>(rows, TwoColourMapping{});
    case FixedPalette::SixteenColour:
        return MapRows<Source, kTargetBits>(rows, SixteenColourMapping{});
    case FixedPalette::Halftone:
        if constexpr (kTargetBits == 8 && Source::kBytes >= 3) {
            return HalftoneRowsToBytes<Source>(rows, HalftoneMapping(entries, entryCount));
        }
        return MapRows<Source, kTargetBits>(rows, HalftoneMapping(entries, entryCount));
    case FixedPalette::None:
        break;
    }
    // Any other palette asks the platform's search, once for each run of equal colours: a
    // picture's neighbouring pixels are often the same colour. Each part of the rows remembers
    // its own last colour, so threads share nothing but the (thread-safe) palette.
    ForEachPart(rows, [&](const RowPair& part) {
        COLORREF lastColour = CLR_INVALID;
        UINT lastIndex = 0;
        PackPartRows<kTargetBits, Source::kBytes>(part, [&](const BYTE* pixel) {
            const COLORREF colour = Source::ColourRef(pixel);
            if (colour != lastColour) {
                lastColour = colour;
                lastIndex = ::GetNearestPaletteIndex(targetPalette, colour);
            }
            return lastIndex;
        });
    });
}

template <unsigned kTargetBits>
void LookUpByteRows(const CDibInfo& source, const CDibInfo& target, const BYTE* indexTable,
                    HPALETTE /*targetPalette*/) {
    PackRows<kTargetBits, 1>(RowsOf(source, target),
                             [&](const BYTE* pixel) { return unsigned{indexTable[*pixel]}; });
}

// A 1- or 4-bit source whose bytes expand to whole target bytes. Groups are source bytes.
template <unsigned kSourceBits, unsigned kTargetBits>
void ExpandRows(const CDibInfo& source, const CDibInfo& target, const BYTE* indexTable,
                HPALETTE /*targetPalette*/) {
    using Expansion = ByteExpansion<kSourceBits, kTargetBits>;
    const Expansion expansion(indexTable);
    const RowPair rows = RowsOf(source, target);
    // The bytes that hold the row's pixels, always within the source stride.
    const std::size_t sourceBytes =
        rows.width < 1 ? 0
                       : (static_cast<std::size_t>(rows.width) + Expansion::kPixelsPerByte - 1) /
                             Expansion::kPixelsPerByte;
    ForEachRow(rows, [&](const BYTE* sourceRow, BYTE* targetRow) {
        expansion.Row(sourceRow, targetRow, sourceBytes, rows.targetStride);
    });
}

// A 4-bit source to 1 bit: four source bytes per target byte.
void NibbleRowsToBits(const CDibInfo& source, const CDibInfo& target, const BYTE* indexTable,
                      HPALETTE /*targetPalette*/) {
    const NibblesToBits nibbles(indexTable);
    const RowPair rows = RowsOf(source, target);
    const std::size_t targetBytes =
        PositionsToConvert(rows.width, 8, rows.sourceStride * 2, rows.targetStride * 8) / 8;
    ForEachRow(rows, [&](const BYTE* sourceRow, BYTE* targetRow) {
        nibbles.Row(sourceRow, targetRow, targetBytes);
    });
}

} // namespace

BOOL CConvertDib::ConvertToIndexed(CDibInfo* source, CDibInfo* target, int sourceColours,
                                   IndexedRowMapper mapRows) {
    const int madePalette = ProcessPalette(target->GetBI());
    if (m_pTargetPalette == nullptr) {
        // No palette object could be made to map onto: the picture stays as it is.
        return SetClassError(kPaletteObjectMissing);
    }
    BYTE indexTable[256] = {};
    if (sourceColours > 0) {
        CreatePaletteIndex(indexTable, sourceColours);
    }
    mapRows(*source, *target, indexTable, *m_pTargetPalette);
    if (madePalette != 0) {
        AfxDeleteObject(m_pTargetPalette);
    }
    m_pTargetPalette = nullptr;
    m_bOwnTargetPalette = FALSE;
    return SetNoError();
}

BOOL CConvertDib::ConvertColor01To01(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kOneBitColours, &ExpandRows<1, 1>);
}

BOOL CConvertDib::ConvertColor01To04(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kOneBitColours, &ExpandRows<1, 4>);
}

BOOL CConvertDib::ConvertColor01To08(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kOneBitColours, &ExpandRows<1, 8>);
}

BOOL CConvertDib::ConvertColor04To01(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kFourBitColours, &NibbleRowsToBits);
}

BOOL CConvertDib::ConvertColor04To04(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kFourBitColours, &ExpandRows<4, 4>);
}

BOOL CConvertDib::ConvertColor04To08(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kFourBitColours, &ExpandRows<4, 8>);
}

BOOL CConvertDib::ConvertColor08To01(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kEightBitColours, &LookUpByteRows<1>);
}

BOOL CConvertDib::ConvertColor08To04(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kEightBitColours, &LookUpByteRows<4>);
}

BOOL CConvertDib::ConvertColor08To08(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kEightBitColours, &LookUpByteRows<8>);
}

BOOL CConvertDib::ConvertColor16To01(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kDirectColour, &SearchRows<Pixel16, 1>);
}

BOOL CConvertDib::ConvertColor16To04(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kDirectColour, &SearchRows<Pixel16, 4>);
}

BOOL CConvertDib::ConvertColor16To08(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kDirectColour, &SearchRows<Pixel16, 8>);
}

BOOL CConvertDib::ConvertColor24To01(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kDirectColour, &SearchRows<Pixel24, 1>);
}

BOOL CConvertDib::ConvertColor24To04(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kDirectColour, &SearchRows<Pixel24, 4>);
}

BOOL CConvertDib::ConvertColor24To08(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kDirectColour, &SearchRows<Pixel24, 8>);
}

BOOL CConvertDib::ConvertColor32To01(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kDirectColour, &SearchRows<Pixel32, 1>);
}

BOOL CConvertDib::ConvertColor32To04(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kDirectColour, &SearchRows<Pixel32, 4>);
}

BOOL CConvertDib::ConvertColor32To08(CDibInfo* source, CDibInfo* target) {
    return ConvertToIndexed(source, target, kDirectColour, &SearchRows<Pixel32, 8>);
}
