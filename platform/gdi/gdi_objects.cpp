#include "detail/gdi_objects.h"

#include "../detail/live_counters.h"
#include "../win/error.h"
#include "detail/device_contexts.h"
#include "gdi_object.h"

#include <cstring>

namespace orvel::platform::detail {

constinit Immortal<GdiObjectTable> g_gdiObjects;

namespace {
const bool g_registered = RegisterLiveCounter(&orvel::testing::LiveCounts::gdiObjects,
                                              []() noexcept { return GdiObjects().LiveCount(); });
} // namespace

GdiObject* FindGdiObject(HGDIOBJ handle) noexcept {
    GdiObject* object = GdiObjects().Find(HandleValue(handle));
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return object;
}

HGDIOBJ InsertGdiObject(std::unique_ptr<GdiObject> object) noexcept {
    const std::uintptr_t handle = GdiObjects().Insert(std::move(object));
    if (handle == 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return MakeHandle<HGDIOBJ>(handle);
}

int PaletteObject::Describe(int bytes, void* buffer) const noexcept {
    if (buffer == nullptr) {
        return static_cast<int>(sizeof(WORD));
    }
    if (bytes < static_cast<int>(sizeof(WORD))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const WORD count = static_cast<WORD>(entries_.size());
    std::memcpy(buffer, &count, sizeof count);
    return static_cast<int>(sizeof(WORD));
}

const NearestColourSearch& PaletteObject::MakeSearch() const noexcept {
    std::lock_guard<std::mutex> guard(searchMutex_);
    if (!searchOwner_) {
        searchOwner_ =
            SharedNearestColourSearch(entries_.data(), static_cast<UINT>(entries_.size()));
        search_.store(searchOwner_.get(), std::memory_order_release);
    }
    return *searchOwner_;
}

} // namespace orvel::platform::detail

using namespace orvel::platform::detail;

int WINAPI GetObjectA(HGDIOBJ handle, int bytes, LPVOID buffer) noexcept {
    const GdiObject* object = FindGdiObject(handle);
    return object == nullptr ? 0 : object->Describe(bytes, buffer);
}

BOOL WINAPI DeleteObject(HGDIOBJ handle) noexcept {
    const GdiObject* object = FindGdiObject(handle);
    if (object == nullptr) {
        return FALSE;
    }
    if (object->stock) {
        return TRUE; // stock objects outlive every attempt to delete them, as published
    }
    // A palette or bitmap still selected into a device context stays: deleting it would leave the
    // context drawing with a dead object. The call reports failure, as the platform does.
    if (object->selections.load(std::memory_order_acquire) > 0) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    GdiObjects().Remove(HandleValue(handle));
    return TRUE;
}

DWORD WINAPI GetObjectType(HGDIOBJ handle) noexcept {
    const DWORD dcType = DeviceContextType(static_cast<HDC>(handle));
    if (dcType != 0) {
        return dcType;
    }
    const GdiObject* object = FindGdiObject(handle);
    if (object == nullptr) {
        return 0;
    }
    return object->Kind() == GdiKind::Palette ? OBJ_PAL : OBJ_BITMAP;
}
