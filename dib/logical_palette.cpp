#include "CDib.h"

#include "../foundation/CDibSupport.h"
#include "../platform/afx/dc.h"
#include "../platform/afx/object_allocator.h"

#include <cstring>

// The logical palette holds the picture's colour table in table order, or the screen's halftone
// palette for a direct-colour picture without one.
BOOL CDib::CreateLogicPalette(CPalette& palette) {
    if (IsFailed()) {
        return FALSE;
    }
    CDibInfo view(m_hDib);
    const BYTE* base = view.GetDIB();
    if (base == nullptr) {
        return SetSystemError();
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, base + sizeof(BITMAPFILEHEADER), sizeof header);
    const WORD entryCount = CDibSupport::GetPaletteEntryNum(header);

    if (entryCount == 0) {
        CWindowDC screen(nullptr);
        // A palette the system would not make is a failure like a refused CreatePalette: drawing
        // needs a palette to select.
        if (!palette.CreateHalftonePalette(&screen)) {
            return SetClassError(4);
        }
        return SetNoError();
    }

    auto* logPalette = static_cast<LOGPALETTE*>(AfxAllocateBytes(LogPaletteBytes(entryCount)));
    if (logPalette == nullptr) {
        return SetClassError(3);
    }
    logPalette->palVersion = PALETTE_VERSION;
    logPalette->palNumEntries = entryCount;
    const BYTE* colour = reinterpret_cast<const BYTE*>(view.GetColors());
    for (WORD i = 0; i < entryCount; ++i, colour += sizeof(RGBQUAD)) {
        // RGBQUAD stores blue, green, red; a palette entry red, green, blue.
        logPalette->palPalEntry[i] = {colour[2], colour[1], colour[0], 0};
    }
    const BOOL created = palette.CreatePalette(logPalette);
    AfxFreeBytes(logPalette);
    return created ? TRUE : SetClassError(4);
}
