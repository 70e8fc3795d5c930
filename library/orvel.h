/// @file
/// Orvel: device-independent bitmaps held as one block of global memory laid out like a BMP file.
///
/// This header gives an application every exported class of the library and the platform API
/// beneath it.
#pragma once

// The platform: Windows and framework services under their published names.
#include "platform/afx/bitmap.h"
#include "platform/afx/cstring.h"
#include "platform/afx/dc.h"
#include "platform/afx/extension_module.h"
#include "platform/afx/gdi_object.h"
#include "platform/afx/geometry.h"
#include "platform/afx/object_allocator.h"
#include "platform/afx/wnd.h"
#include "platform/file/file.h"
#include "platform/gdi/bit_blt.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/palette.h"
#include "platform/gdi/stretch_dibits.h"
#include "platform/gdi/system_palette.h"
#include "platform/jpeg/jpeg_codec.h"
#include "platform/memory/global_memory.h"
#include "platform/png/png_codec.h"
#include "platform/resource/compiled_resources.h"
#include "platform/resource/module.h"
#include "platform/resource/resource.h"
#include "platform/testing/allocation_limit.h"
#include "platform/testing/fault_injection.h"
#include "platform/user/clipboard.h"
#include "platform/user/messages.h"
#include "platform/user/window.h"
#include "platform/vfw/drawdib.h"
#include "platform/vfw/video_compression.h"
#include "platform/win/bitmap_structs.h"
#include "platform/win/error.h"
#include "platform/win/palette_structs.h"
#include "platform/win/types.h"

// The library.
#include "codec/CDibComp.h"
#include "convert/CConvertDib.h"
#include "dib/CDib.h"
#include "dib/picture_limits.h"
#include "formats/picture_formats.h"
#include "foundation/CDibInfo.h"
#include "foundation/CDibSupport.h"
#include "foundation/CHTErr.h"
