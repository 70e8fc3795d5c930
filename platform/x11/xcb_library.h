// libxcb, loaded when the process first connects to an X server, not when the platform loads.
//
// Most processes using the library draw nowhere and copy nothing: mapping and binding libxcb, its
// MIT-SHM extension and what they need (six libraries) was a tenth of the start-up of a short
// process. The platform calls the xcb functions by their names as usual; it defines each one
// itself, hidden, as a forward to the function loaded here.
#pragma once

#include <xcb/xcb.h>

namespace orvel::platform::detail {

/// Loads libxcb and libxcb-shm on the first call from any thread. False when either is missing
/// or lacks a function the desktop calls: the process then stays headless. No xcb function may
/// be called before this returned true.
bool LoadXcb() noexcept;

/// The MIT-SHM extension's key (libxcb-shm's xcb_shm_id), once LoadXcb returned true.
xcb_extension_t* XcbShmExtension() noexcept;

} // namespace orvel::platform::detail
