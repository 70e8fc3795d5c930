// The platform's testing interface: failure injection for every service and counts of the live
// objects each service holds.
//
// A test arms a fault for a set of sites ("the 3rd next global allocation or lock fails"), runs an
// operation, and checks that the operation reports the failure the way the platform would report
// a real refusal: every injected failure takes the same path as the real one, including the
// last-error value. The library itself never calls anything in this header.
#pragma once

#include "../export.h"

#include <cstdint>
#include <string>

namespace orvel::testing {

/// Platform calls at which a failure can be injected. Values are bits, so several sites can be
/// armed together and counted as one sequence of calls.
enum FaultSite : std::uint32_t {
    kFaultGlobalAlloc = 1U << 0,   ///< GlobalAlloc, GlobalReAlloc
    kFaultGlobalLock = 1U << 1,    ///< GlobalLock
    kFaultObjectAlloc = 1U << 2,   ///< the framework's object allocator
    kFaultCreatePalette = 1U << 3, ///< CreatePalette, CreateHalftonePalette
    kFaultDeviceContext = 1U << 4, ///< GetDC, CreateCompatibleDC
    kFaultCreateBitmap = 1U << 5,  ///< CreateBitmap, CreateCompatibleBitmap, CreateDIBSection
    kFaultGetDIBits = 1U << 6,     ///< GetDIBits
    kFaultStretchDIBits = 1U << 7, ///< StretchDIBits, SetDIBitsToDevice
    kFaultDrawDibOpen = 1U << 8,   ///< DrawDibOpen
    kFaultDrawDibDraw = 1U << 9,   ///< DrawDibDraw
    kFaultClipboard = 1U << 10,    ///< OpenClipboard, EmptyClipboard, Set/GetClipboardData
    kFaultFileOpen = 1U << 11,     ///< CFile::Open
    kFaultFileRead = 1U << 12,     ///< CFile::Read
    kFaultFileWrite = 1U << 13,    ///< CFile::Write, CFile::Close flushing
    kFaultResource = 1U << 14,     ///< FindResource, LoadResource
    kFaultCompressor = 1U << 15,   ///< ICOpen, ICSendMessage, ICCompress, ICClose
    kFaultAllSites = 0xFFFFU,
    // The desktop's calls, outside kFaultAllSites: only a process that has a desktop reaches
    // them, so the library's sweeps stay the same with and without one.
    kFaultDesktopConnect = 1U << 16, ///< connecting to the X server (then the process is headless)
    kFaultScreenRead = 1U << 17,     ///< reading the screen back (GetImage)
    kFaultSelectionReply = 1U << 18, ///< another program's answer to a clipboard request is lost
};

/// Arms a fault: counting from 1, the nth call at any site in `sites` fails. With `persistent`
/// every call from the nth on fails, until ClearFault.
ORVEL_PLATFORM_API void InjectFault(std::uint32_t sites, long nth,
                                    bool persistent = false) noexcept;
/// Disarms any fault and resets the counters.
ORVEL_PLATFORM_API void ClearFault() noexcept;
/// Calls made at armed sites since InjectFault, failed ones included. A sweep that injects at
/// call k and sees fewer than k calls knows the operation completed without reaching the fault.
ORVEL_PLATFORM_API long FaultSiteCalls() noexcept;
/// Whether an armed fault has made at least one call fail.
ORVEL_PLATFORM_API bool FaultFired() noexcept;
/// The site of the first call an armed fault made fail; 0 when none has. With several sites
/// armed together, it tells a test which refusal the operation met.
ORVEL_PLATFORM_API std::uint32_t FirstFailedSite() noexcept;

/// Called by the services at each site: true when this call must fail.
ORVEL_PLATFORM_API bool ShouldFail(FaultSite site) noexcept;

/// Drops the desktop the process uses and chooses again from the environment (ORVEL_HEADLESS,
/// DISPLAY), as at the first use. Only for tests between their cases: no window may be open.
ORVEL_PLATFORM_API void ReopenDesktop() noexcept;
/// How long a clipboard request waits for another program's answer, in milliseconds (5000 by
/// default).
ORVEL_PLATFORM_API void SetSelectionWait(long milliseconds) noexcept;

/// Live objects of each service. A test reads them before and after an operation; any difference
/// is a leak (or an object the operation hands to its caller).
struct LiveCounts {
    long globalBlocks = 0;   ///< global memory blocks
    long objects = 0;        ///< framework object-allocator allocations
    long gdiObjects = 0;     ///< palettes and bitmaps
    long deviceContexts = 0; ///< device contexts other than the screen's own
    long drawDibs = 0;       ///< DrawDib instances
    long compressors = 0;    ///< open compressor instances
    long windows = 0;        ///< windows
    long openFiles = 0;      ///< open CFile objects
    long lockedBlocks = 0;   ///< global memory blocks whose lock count is not zero

    friend bool operator==(const LiveCounts&, const LiveCounts&) = default;
};

/// The current live counts of every service.
ORVEL_PLATFORM_API LiveCounts GetLiveCounts() noexcept;

/// The services whose counts differ, each as "name before -> after", joined by "; "; empty when
/// the counts are equal. What a leak report prints.
ORVEL_PLATFORM_API std::string LiveCountChanges(const LiveCounts& before, const LiveCounts& after);

} // namespace orvel::testing
