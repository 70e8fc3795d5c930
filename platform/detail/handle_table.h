// A process-wide table of objects reached through opaque handle values.
//
// Every platform service that hands out handles (global memory, GDI objects, device contexts,
// DrawDib and compressor instances) keeps its objects here. A handle value carries the slot index
// and the slot's generation, so a stale handle (one whose object was destroyed) or a handle of
// another table is recognised and refused instead of reaching freed memory.
//
// Lookup is O(1) and takes no lock: slots live in chunks that never move, and a lookup is a few
// acquire loads and one compare of the whole handle value. Only creation and destruction take
// the table's mutex. As on the
// published platform, destroying an object while another thread is still using it through the
// same handle is the application's race; every other combination of threads is safe.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace orvel::platform::detail {

template <class Object, unsigned Tag>
class HandleTable {
    static_assert(Tag > 0 && Tag < 16, "the tag keeps every handle value non-zero");

public:
    // Tables are process-wide and never destroyed (each service keeps its table behind a
    // pointer that lives until exit), so no object can outlive the table it is reached through.
    HandleTable() = default;
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    /// Takes ownership of object and returns its handle value, or 0 when the table is full.
    std::uintptr_t Insert(std::unique_ptr<Object> object) {
        std::lock_guard<std::mutex> guard(mutex_);
        std::uint32_t index = 0;
        if (!freeIndices_.empty()) {
            index = freeIndices_.back();
            freeIndices_.pop_back();
        } else {
            if (nextIndex_ >= kMaxSlots) {
                return 0;
            }
            index = nextIndex_;
            const std::uint32_t chunkIndex = index / kChunkSlots;
            if (chunks_[chunkIndex].load(std::memory_order_relaxed) == nullptr) {
                chunks_[chunkIndex].store(new Slot[kChunkSlots], std::memory_order_release);
            }
            ++nextIndex_;
        }
        Slot& slot = SlotAt(index);
        slot.object.store(object.release(), std::memory_order_relaxed);
        const std::uint32_t generation =
            GenerationOf(slot.handle.load(std::memory_order_relaxed)) + 1;
        const std::uintptr_t handle = Encode(index, generation);
        slot.handle.store(handle, std::memory_order_release);
        live_.fetch_add(1, std::memory_order_relaxed);
        return handle;
    }

    /// The object of a live handle, or null for a null, stale or foreign handle value.
    Object* Find(std::uintptr_t handle) const noexcept {
        // Any value picks some slot; only the very value the slot's occupant was given matches
        // it, which checks the tag, the index's range and the generation at once. A value with
        // an even generation is never given out.
        const std::uint32_t index = static_cast<std::uint32_t>(handle >> 4) & (kMaxSlots - 1);
        const Slot* slots = chunks_[index / kChunkSlots].load(std::memory_order_acquire);
        if (slots == nullptr) {
            return nullptr;
        }
        const Slot& slot = slots[index % kChunkSlots];
        if (slot.handle.load(std::memory_order_acquire) != handle || (handle & kLiveBit) == 0) {
            return nullptr;
        }
        return slot.object.load(std::memory_order_acquire);
    }

    /// Removes a live handle's object from the table and hands it back; null when the handle is
    /// not live. The handle value is stale from then on.
    std::unique_ptr<Object> Remove(std::uintptr_t handle) {
        std::uint32_t index = 0;
        if (!Decode(handle, index)) {
            return nullptr;
        }
        std::lock_guard<std::mutex> guard(mutex_);
        Slot* slots = chunks_[index / kChunkSlots].load(std::memory_order_acquire);
        if (slots == nullptr) {
            return nullptr;
        }
        Slot& slot = slots[index % kChunkSlots];
        if (slot.handle.load(std::memory_order_relaxed) != handle) {
            return nullptr;
        }
        // The object leaves the slot before the handle goes stale: a lookup that still matches
        // the handle in between finds no object rather than one being destroyed.
        std::unique_ptr<Object> object(slot.object.exchange(nullptr, std::memory_order_acq_rel));
        slot.handle.store(Encode(index, GenerationOf(handle) + 1), std::memory_order_release);
        freeIndices_.push_back(index);
        live_.fetch_sub(1, std::memory_order_relaxed);
        return object;
    }

    /// Number of live objects; the testing interfaces report it to find leaks.
    long LiveCount() const noexcept { return live_.load(std::memory_order_relaxed); }

    /// Calls fn(handle, object) for every live object. Not safe against concurrent removal; used
    /// by services that must walk their objects (for example to find a window's children).
    template <class Fn>
    void ForEach(Fn&& fn) const {
        std::lock_guard<std::mutex> guard(mutex_);
        for (std::uint32_t index = 0; index < nextIndex_; ++index) {
            const Slot& slot = SlotAt(index);
            const std::uintptr_t handle = slot.handle.load(std::memory_order_acquire);
            if ((handle & kLiveBit) != 0) {
                fn(handle, *slot.object.load(std::memory_order_acquire));
            }
        }
    }

private:
    static constexpr std::uint32_t kChunkSlots = 1024;
    static constexpr std::uint32_t kMaxChunks = 16384;
    static constexpr std::uint32_t kMaxSlots = kChunkSlots * kMaxChunks;
    static_assert((kMaxSlots & (kMaxSlots - 1)) == 0, "lookups pick a slot by masking the index");
    static_assert(kMaxSlots <= (std::uint32_t{1} << 28), "the index has 28 bits of the handle");
    // The low bit of the generation: set in every handle given out.
    static constexpr std::uintptr_t kLiveBit = std::uintptr_t{1} << 32;

    struct Slot {
        // The handle value of the slot's current or last occupant: tag, index and a generation
        // that is odd while an object lives in the slot. Every insertion and removal advances
        // the generation, so a handle made for an earlier occupant never matches again. A slot
        // never used holds 0, which no handle equals.
        std::atomic<std::uintptr_t> handle{0};
        std::atomic<Object*> object{nullptr};
    };

    static std::uintptr_t Encode(std::uint32_t index, std::uint32_t generation) noexcept {
        return (static_cast<std::uintptr_t>(generation) << 32) |
               (static_cast<std::uintptr_t>(index) << 4) | Tag;
    }

    static std::uint32_t GenerationOf(std::uintptr_t handle) noexcept {
        return static_cast<std::uint32_t>(handle >> 32);
    }

    static bool Decode(std::uintptr_t handle, std::uint32_t& index) noexcept {
        if ((handle & 0xF) != Tag || (handle & kLiveBit) == 0) {
            return false;
        }
        index = static_cast<std::uint32_t>((handle & 0xFFFFFFFFU) >> 4);
        return index < kMaxSlots;
    }

    Slot& SlotAt(std::uint32_t index) const noexcept {
        return chunks_[index / kChunkSlots].load(std::memory_order_acquire)[index % kChunkSlots];
    }

    mutable std::mutex mutex_;
    std::atomic<Slot*> chunks_[kMaxChunks] = {};
    std::vector<std::uint32_t> freeIndices_;
    std::uint32_t nextIndex_ = 0;
    std::atomic<long> live_{0};
};

/// Converts between a typed handle and the table's handle value.
template <class Handle>
std::uintptr_t HandleValue(Handle handle) noexcept {
    return reinterpret_cast<std::uintptr_t>(handle);
}
template <class Handle>
Handle MakeHandle(std::uintptr_t value) noexcept {
    return reinterpret_cast<Handle>(value);
}

} // namespace orvel::platform::detail
