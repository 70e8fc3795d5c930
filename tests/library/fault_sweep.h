// The fault sweep: every public operation of the library, run again and again with the 1st, 2nd,
// ... kth call at the platform's armed sites refused, until it completes without reaching the
// refusal. Three ways of arming: all sites together, each site alone, and all sites refusing
// every call from the kth on.
//
// After each refusal the sweep checks what the library promises:
//  - the status record holds a failure the operation may record, and one the refused site can
//    cause (a refused lock is never reported as a missing file); or success, when the operation
//    ignores that call or the refusal left the same result as a run without it;
//  - the object is in a state the operation allows: empty, holding its old picture unchanged, or
//    holding a block whose installation failed, never locked;
//  - every block, palette, bitmap, device context, window, file, DrawDib and compressor handle the
//    run made is gone once its objects are (the platform's live counts are back where they were).
#pragma once

#include <orvel/orvel.h>

#include "dib/dib_test_support.h"
#include "support/processes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvel::test {

/// How an operation may leave its object when a refusal makes it fail.
enum class FailureState {
    Released,        ///< a load: empty, or holding the block whose installation failed
    ReleasedOrEmpty, ///< a load that promises the new picture or nothing: empty
    Unchanged,       ///< the picture stays exactly as it was
    Converted,       ///< a conversion: unchanged when it returns 0; released when it returns 1
    NotAPicture,     ///< the operation's object holds no picture (a compressor, a static helper)
};

/// The statuses an operation's failure table allows.
using Statuses = std::vector<Status>;

/// Everything one run of an operation works on, made afresh for each run and destroyed after it.
/// The operation's object is `picture`; `other` is a second picture (a source to copy, move or
/// paste). Files go into `files`.
struct World {
    World();
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    ScratchDir files;
    CConvertDib picture;
    CConvertDib other;
    std::optional<CConvertDib> made; ///< an object an operation constructs
    CDC dc;
    CBitmap surface;
    CBitmap* previousSurface = nullptr;
    CWnd window;
    std::optional<CClientDC> windowDc; ///< a context of the window, made when an operation needs it
    CDibComp comp;
    CPalette palette;
    CBitmap bitmap;
    HGLOBAL packed = nullptr;     ///< a packed DIB an operation handed out, freed with the world
    HGLOBAL handedOver = nullptr; ///< a block an operation is to take over
    std::vector<BYTE> buffer;     ///< caller memory: a file image, a packed DIB, a frame
    std::vector<BYTE> compressed; ///< a compressor's output
    BITMAPINFO* format = nullptr; ///< a format an operation handed out
    DWORD formatBytes = 0;
    long number = 0; ///< a number an operation handed out
};

/// One operation under the sweep.
struct SweepCase {
    std::string name;
    FailureState state = FailureState::Released;
    /// Sites whose refusal makes a load fail before it releases the picture, which then stays as
    /// it was (the clipboard, a resource that cannot be found).
    std::uint32_t keepsPictureOn = 0;
    /// The statuses its failure table (and the library's documented choices) allow.
    Statuses failures = {};
    /// Sites whose refusal the operation may absorb, succeeding with a result that differs from a
    /// run without refusals (a halftone palette the system would not make, for example).
    std::uint32_t absorbed = 0;
    /// Whether a refused file read may pass out as the file layer's exception.
    bool passesReadErrors = false;
    /// Makes the world the operation needs; no fault is armed yet.
    std::function<void(World&)> prepare = nullptr;
    /// The operation itself; faults are armed only around this call.
    std::function<BOOL(World&)> run = nullptr;
    /// The picture the operation works on: by default the world's `picture`.
    std::function<const CDib*(World&)> object = nullptr;
    /// The record the operation writes: by default its picture's; null for an operation that
    /// writes none (its result alone tells success).
    std::function<const CHTErr*(World&)> record = nullptr;
    /// What the operation produced, compared with a run without refusals when it succeeds: by
    /// default the picture's block and palette colours.
    std::function<Bytes(World&)> result = nullptr;

    friend void PrintTo(const SweepCase& sweepCase, std::ostream* out) { *out << sweepCase.name; }
};

/// The statuses a refusal at `site` can lead to in any operation.
Statuses StatusesOfSite(std::uint32_t site);

/// Sweeps one operation.
void Sweep(const SweepCase& sweepCase);

/// The picture's block bytes followed by its palette colours; empty without a picture or object.
Bytes PictureState(const CDib* dib);

/// The sweeps' test: each sweep file instantiates it with its cases. Every run's world resets
/// the system palette and empties the clipboard itself.
class SweepTest : public ::testing::TestWithParam<SweepCase> {};

} // namespace orvel::test
