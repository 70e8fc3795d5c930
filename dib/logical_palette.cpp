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
        // The halftone palette only helps a palette device draw a direct-colour picture; the
        // picture is complete without it, so a halftone palette the system would not make leaves
        // an empty palette object (drawing then keeps the device's palette) and the load stands.
        palette.CreateHalftonePalette(&screen);
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
