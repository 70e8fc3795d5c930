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

// What a decoder needs: the stream and the pixel area it fills.
struct RleJob {
    const BYTE* stream = nullptr;
    std::size_t streamBytes = 0;
    BYTE* pixels = nullptr;
    std::size_t pixelBytes = 0;
    std::size_t stride = 0;
};

// The stream is bounded by the object's own block, the only source DecompressRLE decodes; a
// source view onto any other block decodes nothing. The destination is the block DecompressRLE
// built for this very header, so its pixel area is the canonical one.
bool PrepareJob(HGLOBAL ownBlock, const CDibInfo& source, const CDibInfo& destination,
                PixelCoding coding, RleJob& job) noexcept {
    const BYTE* base = source.GetDIB();
    if (base == nullptr || destination.GetImage() == nullptr || GlobalLock(ownBlock) != base) {
        return false;
    }
    BlockLayout layout;
    if (!InspectBlock(base, GlobalSize(ownBlock), layout) || layout.coding != coding) {
        return false;
    }
    job.stream = base + layout.pixelOffset;
    job.streamBytes = layout.streamBytes;
    job.pixels = destination.GetImage();
    job.pixelBytes = layout.geometry.pixelBytes;
    job.stride = layout.geometry.stride;
    return true;
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
        BITMAPINFOHEADER header;
        std::memcpy(&header, base + sizeof(BITMAPFILEHEADER), sizeof header);
        if (header.biCompression == BI_RGB) {
            return SetNoError();
        }
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
    if (layout.coding == PixelCoding::Rle8) {
        DecompressRLE8(source, destination);
    } else {
        DecompressRLE4(source, destination);
    }
    source.Load(nullptr);
    destination.Load(nullptr);
    GlobalFree(m_hDib);
    m_hDib = block;
    return SetNoError();
}

void CDib::DecompressRLE8(CDibInfo source, CDibInfo destination) {
    RleJob job;
    if (PrepareJob(m_hDib, source, destination, PixelCoding::Rle8, job)) {
        orvel::dib::detail::DecodeRle8(job.stream, job.streamBytes, job.pixels, job.pixelBytes,
                                       job.stride);
    }
}

void CDib::DecompressRLE4(CDibInfo source, CDibInfo destination) {
    RleJob job;
    if (PrepareJob(m_hDib, source, destination, PixelCoding::Rle4, job)) {
        orvel::dib::detail::DecodeRle4(job.stream, job.streamBytes, job.pixels, job.pixelBytes,
                                       job.stride);
    }
}
