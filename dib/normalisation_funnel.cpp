#include "CDib.h"

#include "../platform/afx/object_allocator.h"
#include "../platform/memory/global_memory.h"
#include "detail/block_layout.h"
#include "detail/layout_rebuild.h"

#include <cstring>

using orvel::dib::detail::BlockLayout;
using orvel::dib::detail::InspectBlock;
using orvel::dib::detail::PixelCoding;

// Every picture enters the object here, whatever its source. The block is checked once, before
// any step reads a header field as an offset or a size: its headers, colour table and pixels
// must fit the block and describe a picture the library accepts (a 40-byte or 12-byte header,
// a known coding, a size within kDibMaxPixelBytes). A refused block stays the object's with
// class error 1, as a block whose header the core conversion does not know.
//
// Then the block is made canonical, each way by its own step: an OS/2 core header becomes a
// 40-byte one, an uncompressed block that is not laid out as the library keeps pictures is
// rebuilt (short colour table widened with zero entries, pixels moved to follow the table, top-
// down rows turned bottom-up, bit-field pixels repacked, a file header without the "BM"
// signature made anew), and run-length pixels are decoded. Memory images and handed-over blocks
// are judged by their headers, not by their signature: files are refused without it, but a
// block in memory has no other reader to be told apart from.
BOOL CDib::InitDib(HGLOBAL block) {
    m_hDib = block;
    // A block too small for a file header and a header size cannot be locked when it is empty,
    // and is no picture either way.
    if (GlobalSize(block) < sizeof(BITMAPFILEHEADER) + sizeof(DWORD)) {
        return SetClassError(1);
    }
    {
        CDibInfo view(block);
        if (view.GetDIB() == nullptr) {
            return SetSystemError();
        }
        BlockLayout layout;
        if (!InspectBlock(view.GetDIB(), GlobalSize(block), layout)) {
            return SetClassError(1);
        }
    }
    if (!ChangeCore()) {
        return FALSE;
    }
    {
        CDibInfo view(m_hDib);
        BlockLayout layout;
        if (view.GetDIB() == nullptr) {
            return SetSystemError();
        }
        if (!InspectBlock(view.GetDIB(), GlobalSize(m_hDib), layout)) {
            return SetClassError(1);
        }
        const bool runLength =
            layout.coding == PixelCoding::Rle8 || layout.coding == PixelCoding::Rle4;
        if (!layout.canonical && !runLength) {
            HGLOBAL rebuilt = orvel::dib::detail::BuildCanonicalBlock(view.GetDIB(), layout);
            if (rebuilt == nullptr) {
                return SetSystemError();
            }
            view.Load(nullptr);
            GlobalFree(m_hDib);
            m_hDib = rebuilt;
        }
    }
    if (!Decompress()) {
        return FALSE;
    }
    if (m_pPalette != nullptr) {
        AfxDeleteObject(m_pPalette);
    }
    m_pPalette = AfxNewObject<CPalette>();
    if (m_pPalette == nullptr) {
        return SetClassError(3);
    }
    if (!CreateLogicPalette(*m_pPalette)) {
        return FALSE;
    }
    CDibInfo view(m_hDib);
    if (view.GetDIB() == nullptr) {
        return SetSystemError();
    }
    std::memcpy(&m_bih, view.GetDIB() + sizeof(BITMAPFILEHEADER), sizeof m_bih);
    return SetNoError();
}
