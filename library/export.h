// Symbol visibility of the library. It is built with hidden visibility; its exported classes are
// marked as an extension library of the framework marks them.
#pragma once

#define AFX_EXT_CLASS __attribute__((visibility("default")))
#define ORVEL_EXT_CLASS AFX_EXT_CLASS
