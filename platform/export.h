// Symbol visibility of the platform layer. The layer is built with hidden visibility, so
// everything an application may call is marked here, as Windows marks its system APIs.
#pragma once

#define ORVEL_PLATFORM_API __attribute__((visibility("default")))

// Calling-convention markers of the published declarations; they carry no meaning on this
// platform and exist so declarations read as they are published.
#define WINAPI
#define CALLBACK
#define VFWAPI
#define VFWAPIV
