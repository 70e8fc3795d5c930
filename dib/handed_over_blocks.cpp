#include "CDib.h"

// Moves the block out of another object, which is left empty; the block passes the normalisation
// step again. The source's record is not consulted: a source holding a block gives it up even
// when its record is failed.
BOOL CDib::LoadAttach(CDib& source) {
    HGLOBAL block = source.DetachHandle();
    if (block == nullptr) {
        return FALSE;
    }
    DestroyClass();
    return InitDib(block);
}

// Takes over a block the caller hands in: from the call on it is the object's, whatever the
// result.
BOOL CDib::AttachHandle(HGLOBAL block) {
    if (block == nullptr) {
        return FALSE;
    }
    // Handing the object its own block moves it out and back in, as LoadAttach on itself does;
    // releasing the picture first would free the block being handed in.
    if (block == m_hDib) {
        DetachHandle();
    }
    DestroyClass();
    return InitDib(block);
}
