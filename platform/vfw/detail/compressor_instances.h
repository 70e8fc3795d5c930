// The table of open compressor instances behind HIC, and the driver calls that open, message and
// close them.
#pragma once

#include "../../detail/handle_table.h"
#include "../../detail/handle_tags.h"
#include "../../win/types.h"
#include "../video_compression.h"
#include "compressor_registry.h"

namespace orvel::platform::detail {

/// One open instance: the driver procedure and the id its DRV_OPEN returned.
struct CompressorInstance {
    DRIVERPROC proc = nullptr;
    DWORD_PTR driverId = 0;
};

using CompressorTable = HandleTable<CompressorInstance, kCompressorTag>;

CompressorTable& CompressorInstances() noexcept;

/// Loads and opens an instance of an installed compressor (DRV_LOAD, DRV_ENABLE, DRV_OPEN). Null
/// with the last error set when the driver refuses or memory is lacking. Not a fault site: the
/// public entry points decide whether a call may fail for lack of resources.
HIC OpenCompressorInstance(const InstalledCompressor& compressor, UINT mode) noexcept;
/// Closes an instance (DRV_CLOSE, then DRV_DISABLE and DRV_FREE when the driver agreed).
LRESULT CloseCompressorInstance(HIC compressor) noexcept;
/// Passes a message to an instance; ICERR_BADHANDLE with ERROR_INVALID_HANDLE for a handle that
/// is not open.
LRESULT SendToCompressorInstance(HIC compressor, UINT message, DWORD_PTR param1,
                                 DWORD_PTR param2) noexcept;

} // namespace orvel::platform::detail
