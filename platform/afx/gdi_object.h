/// @file
/// The framework's wrappers of GDI objects: CGdiObject and CPalette.
#pragma once

#include "../export.h"
#include "../win/palette_structs.h"
#include "../win/types.h"

class CDC;

/// Owns one GDI object handle and destroys it with itself.
class ORVEL_PLATFORM_API CGdiObject {
public:
    /// The wrapped handle; null when the object is empty.
    HGDIOBJ m_hObject = nullptr;

    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    /// The wrapped handle; null when the object is empty.
    operator HGDIOBJ() const noexcept { return m_hObject; } // NOLINT: published conversion
    /// The wrapped handle; null when the object is empty.
    HGDIOBJ GetSafeHandle() const noexcept { return m_hObject; }

    /// Takes ownership of a handle. FALSE, with nothing changed, for a null handle or when the
    /// object already holds one (the framework treats that as a programming error; here the old
    /// handle is neither leaked nor overwritten).
    BOOL Attach(HGDIOBJ handle) noexcept;
    /// Gives up ownership of the handle and returns it; the object becomes empty.
    HGDIOBJ Detach() noexcept;
    /// Destroys the handle. FALSE when the object is empty or the platform refuses.
    BOOL DeleteObject() noexcept;
    /// GetObject on the handle.
    int GetObject(int bytes, LPVOID buffer) const noexcept;
};

/// A logical palette.
class ORVEL_PLATFORM_API CPalette : public CGdiObject {
public:
    CPalette() = default;

    /// The palette's handle; null when the object is empty.
    operator HPALETTE() const noexcept { // NOLINT: published conversion
        return static_cast<HPALETTE>(m_hObject);
    }

    /// Creates the palette from a LOGPALETTE and attaches it.
    BOOL CreatePalette(const LOGPALETTE* logPalette) noexcept;
    /// Creates the halftone palette for a device context (the screen's when null) and attaches it.
    BOOL CreateHalftonePalette(CDC* dc) noexcept;

    /// The palette's number of entries; 0 when the object is empty or the handle is no palette.
    int GetEntryCount() const noexcept;
    /// Copies `count` entries from `first` on into `entries`; see ::GetPaletteEntries.
    UINT GetPaletteEntries(UINT first, UINT count, LPPALETTEENTRY entries) const noexcept;
    /// The index of the entry nearest to `colour`; see ::GetNearestPaletteIndex.
    UINT GetNearestPaletteIndex(COLORREF colour) const noexcept;
};
