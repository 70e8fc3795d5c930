#include "CDib.h"

#include "../platform/file/file.h"
#include "../platform/memory/global_memory.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Frees a block that has not been handed on, also when a read error leaves the reader by an
// exception: the exception goes on to the caller of the load, the block must not.
class UnownedBlock {
public:
    explicit UnownedBlock(HGLOBAL block) noexcept : block_(block) {}
    ~UnownedBlock() {
        if (block_ != nullptr) {
            FullUnlock(block_);
            GlobalFree(block_);
        }
    }
    UnownedBlock(const UnownedBlock&) = delete;
    UnownedBlock& operator=(const UnownedBlock&) = delete;

    HGLOBAL Release() noexcept {
        HGLOBAL block = block_;
        block_ = nullptr;
        return block;
    }

private:
    HGLOBAL block_;
};

// Reads of at most this many bytes at a time: the file layer counts bytes in 32 bits.
constexpr ULONGLONG kReadPieceBytes = ULONGLONG{1} << 30;

} // namespace

// Reads a whole BMP file into a new block. Only the signature is judged here; the headers are
// the normalisation step's.
// NOLINTNEXTLINE(performance-unnecessary-value-param): published by value
HGLOBAL CDib::ReadFile(CString path) {
    CFile file;
    CFileException error;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite, &error)) {
        SetFileError(error);
        return nullptr;
    }
    const ULONGLONG length = file.GetLength();
    // Too short to hold the signature: no reader can take it.
    if (length < sizeof(WORD)) {
        SetClassError(1);
        return nullptr;
    }
    HGLOBAL allocated = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(length));
    if (allocated == nullptr) {
        SetSystemError();
        return nullptr;
    }
    UnownedBlock block(allocated);
    auto* bytes = static_cast<BYTE*>(GlobalLock(allocated));
    if (bytes == nullptr) {
        SetSystemError();
        return nullptr;
    }
    for (ULONGLONG done = 0; done < length;) {
        const auto piece = static_cast<UINT>(std::min(length - done, kReadPieceBytes));
        if (file.Read(bytes + done, piece) != piece) {
            SetSystemError();
            return nullptr;
        }
        done += piece;
    }
    WORD signature = 0;
    std::memcpy(&signature, bytes, sizeof signature);
    if (signature != DIB_SIGNATURE) {
        HGLOBAL other = ReadJPG(path);
        if (other == nullptr) {
            SetClassError(1);
        }
        return other;
    }
    FullUnlock(allocated);
    return block.Release();
}

// The reader for files that do not begin with "BM". It knows no other format, so every such
// file ends in class error 1.
// NOLINTNEXTLINE(performance-unnecessary-value-param): published by value
HGLOBAL CDib::ReadJPG(CString /*path*/) {
    return nullptr;
}

BOOL CDib::Load(CString path) {
    DestroyClass();
    HGLOBAL block = ReadFile(std::move(path));
    if (block == nullptr) {
        return FALSE;
    }
    return InitDib(block);
}
