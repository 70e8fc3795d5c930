#include "CDib.h"

// The accessors read the cached header, which the normalisation step refreshes on every
// installation; those with a reference argument refuse an object whose record is failed.

CSize CDib::GetSize() const {
    return CSize(m_bih.biWidth, m_bih.biHeight);
}

BOOL CDib::GetSize(CSize& size) const {
    if (IsFailed()) {
        return FALSE;
    }
    size = GetSize();
    return TRUE;
}

WORD CDib::GetColorNum() const {
    return m_bih.biBitCount;
}

BOOL CDib::GetColorNum(unsigned short& bitCount) const {
    if (IsFailed()) {
        return FALSE;
    }
    bitCount = m_bih.biBitCount;
    return TRUE;
}

BITMAPINFOHEADER CDib::GetBIH() const {
    return m_bih;
}

BOOL CDib::GetBIH(BITMAPINFOHEADER& header) const {
    if (IsFailed()) {
        return FALSE;
    }
    header = m_bih;
    return TRUE;
}

CPalette* CDib::GetPalette() const {
    return m_pPalette;
}

HGLOBAL CDib::GetSafeHandle() const {
    return m_hDib;
}
