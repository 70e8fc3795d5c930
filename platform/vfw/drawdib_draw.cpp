#include "../gdi/detail/device_contexts.h"
#include "../gdi/device_context.h"
#include "../gdi/stretch_dibits.h"
#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "detail/drawdib_instances.h"
#include "drawdib.h"

using namespace orvel::platform::detail;

BOOL VFWAPI DrawDibDraw(HDRAWDIB drawDib, HDC dc, int xDst, int yDst, int dxDst, int dyDst,
                        LPBITMAPINFOHEADER header, LPVOID bits, int xSrc, int ySrc, int dxSrc,
                        int dySrc, UINT flags) noexcept {
    DrawDibInstance* instance = DrawDibInstances().Find(HandleValue(drawDib));
    if (instance == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DeviceContext* context = FindDeviceContext(dc);
    if (context == nullptr) {
        return FALSE;
    }
    if (header == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (orvel::testing::ShouldFail(orvel::testing::kFaultDrawDibDraw)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    // A destination extent of -1 stands for the picture's own extent.
    const BITMAPINFOHEADER copy = *header;
    if (dxDst == -1) {
        dxDst = copy.biWidth;
    }
    if (dyDst == -1) {
        dyDst = copy.biHeight < 0 ? -copy.biHeight : copy.biHeight;
    }
    // DrawDib realises the context's palette before it draws: in the foreground unless the
    // caller asks for the background (or selected the palette for the background), so that a
    // window drawing while inactive never takes system colours from the active one.
    const bool background = (flags & DDF_BACKGROUNDPAL) != 0;
    const bool wasBackground = context->paletteBackground;
    if (background) {
        context->paletteBackground = true;
    }
    RealizePalette(dc);
    context->paletteBackground = wasBackground;
    if ((flags & DDF_DONTDRAW) != 0) {
        return TRUE;
    }
    // The same pixels as StretchDIBits with SRCCOPY, source rectangle in the same DIB
    // coordinates, so that a picture looks the same whichever way it is drawn.
    const int lines =
        StretchDIBits(dc, xDst, yDst, dxDst, dyDst, xSrc, ySrc, dxSrc, dySrc, bits,
                      reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS, SRCCOPY);
    if (lines == 0) {
        return FALSE;
    }
    ++instance->drawCount;
    return TRUE;
}
