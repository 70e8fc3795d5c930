/// @file
/// Symbol visibility of the library. It is built with hidden visibility; its exported classes are
/// marked as an extension library of the framework marks them.
#pragma once

/// Marks a class as exported from the library, as the framework's extension libraries mark theirs.
#define AFX_EXT_CLASS __attribute__((visibility("default")))
/// The library's own name for AFX_EXT_CLASS.
#define ORVEL_EXT_CLASS AFX_EXT_CLASS
