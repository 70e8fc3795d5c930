/// @file
/// Symbol visibility of the platform layer. The layer is built with hidden visibility, so
/// everything an application may call is marked here, as Windows marks its system APIs.
#pragma once

/// Marks a declaration of the platform layer as exported from liborvel_platform.
#define ORVEL_PLATFORM_API __attribute__((visibility("default")))

// Calling-convention markers of the published declarations; they carry no meaning on this
// platform and exist so declarations read as they are published.
#define WINAPI   ///< the system-call convention (empty here)
#define CALLBACK ///< the convention of callbacks (empty here)
#define VFWAPI   ///< the convention of the video services (empty here)
#define VFWAPIV  ///< the convention of the video services' variadic calls (empty here)
