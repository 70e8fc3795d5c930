#include "CDib.h"

#include "../foundation/CDibSupport.h"
#include "../platform/memory/global_memory.h"
#include "detail/block_layout.h"
#include "detail/rle_decoders.h"

#include <cstring>

using orvel::dib::detail::BlockLayout;
using orvel::dib::detail::InspectBlock;
using orvel::dib::detail::PixelCoding;

namespace {

void Decode(const BlockLayout& layout, const BYTE* source, BYTE* pixels) noexcept {
    const BYTE* stream = source + layout.pixelOffset;
    if (layout.coding == PixelCoding::Rle8) {
        orvel::dib::detail::DecodeRle8(stream, layout.streamBytes, pixels,
                                       layout.geometry.pixelBytes, layout.geometry.stride);
    } else if (layout.coding == PixelCoding::Rle4) {
        orvel::dib::detail::DecodeRle4(stream, layout.streamBytes, pixels,
                                       layout.geometry.pixelBytes, layout.geometry.stride);
    }
}

// For a caller that hands the decoders two views: the stream is bounded by the object's own
// block, so a source view onto any other block decodes nothing. The destination must be a block
// built for the same header, as DecompressRLE builds it.
void DecodeViews(HGLOBAL ownBlock, const CDibInfo& source, const CDibInfo& destination,
                 PixelCoding coding) noexcept {
    const BYTE* base = source.GetDIB();
    if (base == nullptr || destination.GetImage() == nullptr || GlobalLock(ownBlock) != base) {
        return;
    }
    BlockLayout layout;
    if (InspectBlock(base, GlobalSize(ownBlock), layout) && layout.coding == coding) {
        Decode(layout, base, destination.GetImage());
    }
}

} // namespace

BOOL CDib::Decompress() {
    return DecompressRLE();
}

// Replaces a run-length block by an uncompressed one of the same size, depth and colours. The
// object keeps its old block until the new one is decoded.
BOOL CDib::DecompressRLE() {
    CDibInfo source(m_hDib);
    const BYTE* base = source.GetDIB();
    if (base == nullptr) {
        return SetSystemError();
    }
    BlockLayout layout;
    if (!InspectBlock(base, GlobalSize(m_hDib), layout) || layout.coreHeader) {
        return SetClassError(1);
    }
    if (layout.coding == PixelCoding::Rgb) {
        return SetNoError();
    }
    // Bit-field pixels are repacked by the normalisation step, never read as runs.
    if (layout.coding != PixelCoding::Rle8 && layout.coding != PixelCoding::Rle4) {
        return SetClassError(1);
    }

    BITMAPINFOHEADER header;
    std::memcpy(&header, base + sizeof(BITMAPFILEHEADER), sizeof header);
    header.biCompression = BI_RGB;
    header.biSizeImage = layout.geometry.pixelBytes;
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, file.bfSize);
    if (block == nullptr) {
        return SetSystemError();
    }
    CDibInfo destination(block);
    BYTE* target = destination.GetDIB();
    if (target == nullptr) {
        SetSystemError();
        destination.Load(nullptr);
        GlobalFree(block);
        return FALSE;
    }
    std::memcpy(target, &file, sizeof file);
    std::memcpy(target + sizeof file, &header, sizeof header);
    // Colours the old block does not store stay zero; the pixel area is zero from the block's
    // zero fill, which the decoders rely on for every pixel no code reaches.
    std::memcpy(target + sizeof file + sizeof header, base + layout.tableOffset,
                std::size_t{4} * layout.storedEntries);
    // The decoder runs on the layout checked above rather than through DecompressRLE8 and
    // DecompressRLE4, which must first make sure their views are onto the object's own block.
    Decode(layout, base, target + file.bfOffBits);
    source.Load(nullptr);
    destination.Load(nullptr);
    GlobalFree(m_hDib);
    m_hDib = block;
    return SetNoError();
}

// The decoders take their views by value, as the class publishes them.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void CDib::DecompressRLE8(CDibInfo source, CDibInfo destination) {
    DecodeViews(m_hDib, source, destination, PixelCoding::Rle8);
}

// NOLINTNEXTLINE(performance-unnecessary-value-param)
void CDib::DecompressRLE4(CDibInfo source, CDibInfo destination) {
    DecodeViews(m_hDib, source, destination, PixelCoding::Rle4);
}
