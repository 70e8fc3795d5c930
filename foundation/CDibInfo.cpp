#include "CDibInfo.h"

#include "../platform/memory/global_memory.h"

#include <cstring>

void FullUnlock(HGLOBAL block) noexcept {
    if (block == nullptr) {
        return;
    }
    // A bad handle reports GMEM_INVALID_HANDLE, whose low byte is 0: nothing is unlocked.
    for (UINT locks = GlobalFlags(block) & GMEM_LOCKCOUNT; locks > 0; --locks) {
        GlobalUnlock(block);
    }
}

CDibInfo::CDibInfo(HGLOBAL block) noexcept
    : m_hDib(block), m_pDib(block != nullptr ? static_cast<BYTE*>(GlobalLock(block)) : nullptr) {}

CDibInfo::~CDibInfo() {
    if (m_hDib != nullptr) {
        FullUnlock(m_hDib);
        m_hDib = nullptr;
    }
}

INT_PTR CDibInfo::Load(HGLOBAL block) noexcept {
    if (m_hDib != nullptr) {
        FullUnlock(m_hDib);
        m_hDib = nullptr;
    }
    m_hDib = block;
    m_pDib = block != nullptr ? static_cast<BYTE*>(GlobalLock(block)) : nullptr;
    return reinterpret_cast<INT_PTR>(m_pDib);
}

BITMAPINFO* CDibInfo::GetBI() const noexcept {
    return m_pDib != nullptr && m_hDib != nullptr
               ? reinterpret_cast<BITMAPINFO*>(m_pDib + sizeof(BITMAPFILEHEADER))
               : nullptr;
}

RGBQUAD* CDibInfo::GetColors() const noexcept {
    return m_pDib != nullptr && m_hDib != nullptr
               ? reinterpret_cast<RGBQUAD*>(m_pDib + sizeof(BITMAPFILEHEADER) +
                                            sizeof(BITMAPINFOHEADER))
               : nullptr;
}

BYTE* CDibInfo::GetImage() const noexcept {
    if (m_hDib == nullptr || m_pDib == nullptr) {
        return nullptr;
    }
    DWORD offBits = 0;
    std::memcpy(&offBits, m_pDib + offsetof(BITMAPFILEHEADER, bfOffBits), sizeof offBits);
    return m_pDib + offBits;
}
