#include "CDib.h"

#include "../platform/afx/dc.h"
#include "../platform/afx/object_allocator.h"
#include "../platform/memory/global_memory.h"
#include "../platform/vfw/drawdib.h"

#include <utility>

// Construction runs the common set-up and then the load with the same arguments; the load runs
// even when DrawDib could not be opened, and a successful load replaces that class error.

CDib::CDib() {
    Init();
}

CDib::CDib(CString path) {
    Init();
    Load(std::move(path));
}

CDib::CDib(int resourceId) {
    Init();
    Load(resourceId);
}

CDib::CDib(BITMAPFILEHEADER* image) {
    Init();
    Load(image);
}

CDib::CDib(BITMAPINFOHEADER* packed) {
    Init();
    Load(packed);
}

// The record is not copied: the copy's record is the outcome of its own load.
// NOLINTNEXTLINE(bugprone-copy-constructor-init)
CDib::CDib(const CDib& source) : CHTErr() {
    Init();
    Load(source);
}

CDib::CDib(const CBitmap& bitmap, CPalette* const palette) {
    Init();
    Load(bitmap, palette);
}

CDib::CDib(CSize size, unsigned long colour, int bitCount, CPalette* palette) {
    Init();
    Load(size, colour, bitCount, palette);
}

CDib::CDib(BITMAPINFO* info, unsigned long colour) {
    Init();
    Load(info, colour);
}

CDib::~CDib() {
    DestroyClass();
    if (m_hDrawDib != nullptr) {
        DrawDibClose(m_hDrawDib);
        m_hDrawDib = nullptr;
    }
}

void CDib::Init() {
    CWindowDC screen(nullptr);
    // Without a screen context or a palette the embedded palette stays empty; only the load from
    // a GDI bitmap reads it, and it then has no halftone colours to offer.
    m_halftonePalette.CreateHalftonePalette(&screen);
    InitVariables();
    m_hDrawDib = DrawDibOpen();
    if (m_hDrawDib == nullptr) {
        SetClassError(2);
    }
}

void CDib::InitVariables() {
    m_hDib = nullptr;
    m_pPalette = nullptr;
    m_bUseDrawDib = TRUE;
    SetClassError(6);
}

void CDib::DestroyClass() {
    if (m_hDib != nullptr) {
        FullUnlock(m_hDib);
        GlobalFree(m_hDib);
    }
    if (m_pPalette != nullptr) {
        AfxDeleteObject(m_pPalette);
    }
    InitVariables();
}

HGLOBAL CDib::DetachHandle() {
    if (m_hDib == nullptr) {
        return nullptr;
    }
    // The caller gets the block unlocked, as every block is outside an operation.
    FullUnlock(m_hDib);
    HGLOBAL block = m_hDib;
    m_hDib = nullptr;
    DestroyClass();
    return block;
}
