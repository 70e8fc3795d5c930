#include "CDib.h"

#include "../platform/afx/dc.h"
#include "../platform/afx/wnd.h"
#include "../platform/gdi/device_context.h"

// Realises the picture's logical palette for a window, as a window does when the system palette
// has changed.
void CDib::DoRealizePalette(CWnd* window, CDC* dc, int foreground) {
    DoRealizePalette(window, dc, m_pPalette, foreground);
}

// Selects and realises `palette` (a halftone palette made for the context when null) and asks
// the window to repaint without erasing when that changed the system palette, so that what it
// shows is drawn again with the new colours. The context gets its previous palette back.
//
// Without a device context there is nothing to realise into; without a window nothing is
// invalidated (a null window handle would invalidate every window).
void CDib::DoRealizePalette(CWnd* window, CDC* dc, CPalette* palette, int foreground) {
    if (dc == nullptr || dc->GetSafeHdc() == nullptr) {
        return;
    }
    CPalette halftone;
    if (palette == nullptr) {
        halftone.CreateHalftonePalette(dc);
        palette = &halftone;
    }
    CPalette* previous = dc->SelectPalette(palette, foreground == 0 ? TRUE : FALSE);
    const UINT changedEntries = dc->RealizePalette();
    // GDI_ERROR is a refusal, not a number of changed entries.
    if (changedEntries != 0 && changedEntries != GDI_ERROR && window != nullptr) {
        window->InvalidateRect(nullptr, FALSE);
    }
    if (previous != nullptr) {
        dc->SelectPalette(previous, TRUE);
    }
    // The temporary halftone palette is deleted with `halftone`, now that it is selected nowhere.
}
