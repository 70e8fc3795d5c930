/// @file
/// The framework's device-context classes: CDC, CWindowDC and CClientDC.
#pragma once

#include "../export.h"
#include "../win/types.h"

#include <memory>
#include <vector>

class CBitmap;
class CPalette;
class CWnd;

/// A device context. The object owns a context it created (CreateCompatibleDC) and deletes it
/// with itself; a context it was attached to is only borrowed.
class ORVEL_PLATFORM_API CDC {
public:
    /// The context's handle; null when the object holds none.
    HDC m_hDC = nullptr;

    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    /// The context's handle; null when the object holds none.
    operator HDC() const noexcept { return m_hDC; } // NOLINT: published conversion
    /// The context's handle; null when the object holds none.
    HDC GetSafeHdc() const noexcept { return m_hDC; }

    /// Makes a memory context compatible with `dc` (the screen when null) and owns it.
    BOOL CreateCompatibleDC(CDC* dc) noexcept;
    /// Deletes an owned memory context.
    BOOL DeleteDC() noexcept;
    /// Borrows a context handle; FALSE for null or when one is already held.
    BOOL Attach(HDC dc) noexcept;
    /// Gives up the handle without ending the context.
    HDC Detach() noexcept;

    /// Selects a palette and returns the previous one: the caller's own palette object when it
    /// was selected through this object, otherwise a palette object that this CDC keeps for the
    /// handle until it ends (the framework's temporary object). Null when the platform refuses.
    CPalette* SelectPalette(CPalette* palette, BOOL forceBackground) noexcept;
    /// Realises the selected palette; the number of system-palette entries that changed.
    UINT RealizePalette() noexcept;

    /// Selects a bitmap into this memory context and returns the previous one, as SelectPalette
    /// does for palettes (the stock bitmap a context starts with comes back as a temporary
    /// object). Null when the platform refuses.
    CBitmap* SelectObject(CBitmap* bitmap) noexcept;

    /// The colour of a pixel; CLR_INVALID outside the surface.
    COLORREF GetPixel(int x, int y) const noexcept;
    /// Sets a pixel to the nearest colour the surface holds and returns that colour.
    COLORREF SetPixel(int x, int y, COLORREF colour) noexcept;

    /// Copies a rectangle of another context (or of this one) here; see ::BitBlt.
    BOOL BitBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc,
                DWORD rop) noexcept;
    /// Draws a rectangle of another context (or of this one) stretched here; see ::StretchBlt.
    BOOL StretchBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc,
                    int srcWidth, int srcHeight, DWORD rop) noexcept;

private:
    // Handles this object has seen selected through it, with the caller's object for each, and
    // temporary objects made for handles it has not: the framework's map of temporary objects.
    template <class Object, class Handle>
    struct ObjectMap {
        struct Known {
            Handle handle;
            Object* object;
        };
        std::vector<Known> known;
        std::vector<std::unique_ptr<Object>> temporaries;

        void Remember(Handle handle, Object* object);
        Object* ObjectFor(Handle handle) noexcept;
        ~ObjectMap();
    };

    bool owned_ = false;
    ObjectMap<CPalette, HPALETTE> palettes_;
    ObjectMap<CBitmap, HBITMAP> bitmaps_;
};

/// A context for a window, or for the whole screen when the window is null, released when the
/// object ends.
class ORVEL_PLATFORM_API CWindowDC : public CDC {
public:
    /// Obtains the context of `window` (the screen's when null) with GetDC. When the platform
    /// refuses, m_hDC stays null: unlike the framework, nothing is thrown.
    explicit CWindowDC(CWnd* window) noexcept;
    ~CWindowDC() override;

    /// The window the context was obtained for; null for the screen.
    HWND m_hWnd = nullptr;
};

/// A context for a window's client area, released when the object ends.
class ORVEL_PLATFORM_API CClientDC : public CDC {
public:
    /// Obtains the context of `window`'s client area with GetDC. When the platform refuses, m_hDC
    /// stays null: unlike the framework, nothing is thrown.
    explicit CClientDC(CWnd* window) noexcept;
    ~CClientDC() override;

    /// The window the context was obtained for.
    HWND m_hWnd = nullptr;
};
