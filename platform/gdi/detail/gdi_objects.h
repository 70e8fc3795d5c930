// The table of GDI objects (palettes and bitmaps) behind HPALETTE, HBITMAP and HGDIOBJ.
#pragma once

#include "../../detail/handle_table.h"
#include "../../detail/handle_tags.h"
#include "../../detail/immortal.h"
#include "../../win/error.h"
#include "../../win/palette_structs.h"
#include "nearest_colour.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace orvel::platform::detail {

enum class GdiKind { Palette, Bitmap };

/// One GDI object. Each kind answers GetObject in its own published form.
class GdiObject {
public:
    explicit GdiObject(GdiKind kind) noexcept : kind_(kind) {}
    virtual ~GdiObject() = default;
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    GdiKind Kind() const noexcept { return kind_; }

    /// Device contexts this object is selected into; an object with selections cannot be deleted.
    mutable std::atomic<int> selections{0};
    /// Stock objects (the default palette) survive DeleteObject.
    bool stock = false;

    /// GetObject: copies the object's record into `buffer` (at most `bytes` bytes) and returns the
    /// bytes written; with a null buffer, the size of the record.
    virtual int Describe(int bytes, void* buffer) const noexcept = 0;

private:
    GdiKind kind_;
};

/// A logical palette. Its entries never change after creation, so any number of threads may
/// read it and search it at once.
class PaletteObject final : public GdiObject {
public:
    explicit PaletteObject(std::vector<PALETTEENTRY> entries) noexcept
        : GdiObject(GdiKind::Palette), entries_(std::move(entries)) {}

    const std::vector<PALETTEENTRY>& Entries() const noexcept { return entries_; }

    /// The nearest-colour search for these entries, made on first use.
    const NearestColourSearch& Search() const noexcept {
        const NearestColourSearch* search = search_.load(std::memory_order_acquire);
        return search != nullptr ? *search : MakeSearch();
    }
    /// The search if it is made already, else null.
    const NearestColourSearch* SearchIfMade() const noexcept {
        return search_.load(std::memory_order_acquire);
    }

    int Describe(int bytes, void* buffer) const noexcept override;

private:
    const NearestColourSearch& MakeSearch() const noexcept;

    std::vector<PALETTEENTRY> entries_;
    mutable std::mutex searchMutex_;
    mutable std::shared_ptr<const NearestColourSearch> searchOwner_;
    mutable std::atomic<const NearestColourSearch*> search_{nullptr};
};

using GdiObjectTable = HandleTable<GdiObject, kGdiObjectTag>;

/// The table behind GdiObjects(): constant-initialised, so ready before any static initialiser
/// and reached without a guard, and never destroyed.
extern constinit Immortal<GdiObjectTable> g_gdiObjects;

/// The process's GDI objects. Inline because every nearest-colour query looks its palette up here.
inline GdiObjectTable& GdiObjects() noexcept {
    return g_gdiObjects.value;
}

/// The object behind a handle, or null with ERROR_INVALID_HANDLE.
GdiObject* FindGdiObject(HGDIOBJ handle) noexcept;

/// The palette behind a handle, or null with ERROR_INVALID_HANDLE (also for a bitmap handle).
/// Inline for the same reason as GdiObjects.
inline const PaletteObject* FindPalette(HPALETTE handle) noexcept {
    const GdiObject* object = GdiObjects().Find(HandleValue(handle));
    if (object == nullptr || object->Kind() != GdiKind::Palette) [[unlikely]] {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<const PaletteObject*>(object);
}

/// Puts a new object in the table; null with ERROR_NOT_ENOUGH_MEMORY when the table is full.
HGDIOBJ InsertGdiObject(std::unique_ptr<GdiObject> object) noexcept;

} // namespace orvel::platform::detail
