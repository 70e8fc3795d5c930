#include "detail/compressor_instances.h"

#include "../detail/immortal.h"
#include "../detail/live_counters.h"
#include "../testing/fault_injection.h"
#include "../win/error.h"
#include "video_compression.h"

#include <memory>
#include <new>

namespace orvel::platform::detail {
namespace {

const bool g_registered =
    RegisterLiveCounter(&orvel::testing::LiveCounts::compressors,
                        []() noexcept { return CompressorInstances().LiveCount(); });

// Sends one of the driver-wide messages, which carry no instance id.
LRESULT SendDriverMessage(DRIVERPROC proc, HDRVR driver, UINT message, LPARAM param2 = 0) noexcept {
    return proc(0, driver, message, 0, param2);
}

} // namespace

// In static storage, zero until written: the table's pages cost memory only as it fills.
constinit Immortal<CompressorTable> g_compressors;

CompressorTable& CompressorInstances() noexcept {
    return g_compressors.value;
}

HIC OpenCompressorInstance(const InstalledCompressor& compressor, UINT mode) noexcept {
    auto instance = std::unique_ptr<CompressorInstance>(new (std::nothrow) CompressorInstance);
    if (!instance) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    instance->proc = compressor.proc;
    CompressorInstance* opening = instance.get();
    // The instance is in the table before the driver hears of it, so that every message the
    // driver receives names the handle it will be reached through.
    const std::uintptr_t handle = CompressorInstances().Insert(std::move(instance));
    if (handle == 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HDRVR driver = MakeHandle<HDRVR>(handle);
    DRIVERPROC proc = compressor.proc;
    if (SendDriverMessage(proc, driver, DRV_LOAD) == 0) {
        CompressorInstances().Remove(handle);
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    SendDriverMessage(proc, driver, DRV_ENABLE);
    ICOPEN open{};
    open.dwSize = sizeof(ICOPEN);
    open.fccType = compressor.fccType;
    open.fccHandler = compressor.fccHandler;
    open.dwVersion = ICVERSION;
    open.dwFlags = mode;
    open.dwError = ICERR_OK;
    const LRESULT driverId =
        SendDriverMessage(proc, driver, DRV_OPEN, reinterpret_cast<LPARAM>(&open));
    if (driverId == 0) {
        SendDriverMessage(proc, driver, DRV_DISABLE);
        SendDriverMessage(proc, driver, DRV_FREE);
        CompressorInstances().Remove(handle);
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    opening->driverId = static_cast<DWORD_PTR>(driverId);
    return MakeHandle<HIC>(handle);
}

LRESULT CloseCompressorInstance(HIC compressor) noexcept {
    const std::uintptr_t handle = HandleValue(compressor);
    const CompressorInstance* instance = CompressorInstances().Find(handle);
    if (instance == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ICERR_BADHANDLE;
    }
    HDRVR driver = MakeHandle<HDRVR>(handle);
    DRIVERPROC proc = instance->proc;
    if (proc(instance->driverId, driver, DRV_CLOSE, 0, 0) == 0) {
        // A driver that refuses to close keeps its instance; the handle stays valid so that the
        // caller can try again.
        SetLastError(ERROR_BUSY);
        return ICERR_ERROR;
    }
    SendDriverMessage(proc, driver, DRV_DISABLE);
    SendDriverMessage(proc, driver, DRV_FREE);
    CompressorInstances().Remove(handle);
    return ICERR_OK;
}

LRESULT SendToCompressorInstance(HIC compressor, UINT message, DWORD_PTR param1,
                                 DWORD_PTR param2) noexcept {
    const std::uintptr_t handle = HandleValue(compressor);
    const CompressorInstance* instance = CompressorInstances().Find(handle);
    if (instance == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ICERR_BADHANDLE;
    }
    return instance->proc(instance->driverId, MakeHandle<HDRVR>(handle), message,
                          static_cast<LPARAM>(param1), static_cast<LPARAM>(param2));
}

} // namespace orvel::platform::detail

using namespace orvel::platform::detail;
using orvel::testing::kFaultCompressor;
using orvel::testing::ShouldFail;

HIC VFWAPI ICOpen(DWORD fccType, DWORD fccHandler, UINT mode) noexcept {
    if (ShouldFail(kFaultCompressor)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    InstalledCompressor compressor;
    if (!FindInstalledCompressor(fccType, fccHandler, compressor)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return OpenCompressorInstance(compressor, mode);
}

LRESULT VFWAPI ICClose(HIC compressor) noexcept {
    if (CompressorInstances().Find(HandleValue(compressor)) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ICERR_BADHANDLE;
    }
    if (ShouldFail(kFaultCompressor)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return ICERR_ERROR;
    }
    return CloseCompressorInstance(compressor);
}

LRESULT VFWAPI ICSendMessage(HIC compressor, UINT message, DWORD_PTR param1,
                             DWORD_PTR param2) noexcept {
    if (CompressorInstances().Find(HandleValue(compressor)) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ICERR_BADHANDLE;
    }
    if (ShouldFail(kFaultCompressor)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return ICERR_MEMORY;
    }
    return SendToCompressorInstance(compressor, message, param1, param2);
}

LRESULT VFWAPI ICGetInfo(HIC compressor, ICINFO* info, DWORD bytes) noexcept {
    return SendToCompressorInstance(compressor, ICM_GETINFO, reinterpret_cast<DWORD_PTR>(info),
                                    bytes);
}

DWORD VFWAPIV ICCompress(HIC compressor, DWORD flags, LPBITMAPINFOHEADER output, LPVOID outputBits,
                         LPBITMAPINFOHEADER input, LPVOID inputBits, LPDWORD chunkId,
                         LPDWORD frameFlags, LONG frameNumber, DWORD frameSize, DWORD quality,
                         LPBITMAPINFOHEADER previous, LPVOID previousBits) noexcept {
    if (CompressorInstances().Find(HandleValue(compressor)) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(ICERR_BADHANDLE);
    }
    if (ShouldFail(kFaultCompressor)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return static_cast<DWORD>(ICERR_MEMORY);
    }
    ICCOMPRESS frame{};
    frame.dwFlags = flags;
    frame.lpbiOutput = output;
    frame.lpOutput = outputBits;
    frame.lpbiInput = input;
    frame.lpInput = inputBits;
    frame.lpckid = chunkId;
    frame.lpdwFlags = frameFlags;
    frame.lFrameNum = frameNumber;
    frame.dwFrameSize = frameSize;
    frame.dwQuality = quality;
    frame.lpbiPrev = previous;
    frame.lpPrev = previousBits;
    return static_cast<DWORD>(SendToCompressorInstance(
        compressor, ICM_COMPRESS, reinterpret_cast<DWORD_PTR>(&frame), sizeof frame));
}
