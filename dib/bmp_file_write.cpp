#include "CDib.h"

#include "../foundation/CDibSupport.h"
#include "../platform/file/file.h"

#include <cstring>

// Writes the picture's block as a BMP file. The normalisation step leaves every block with its
// pixels right after a full colour table and an image size that is the rows' own, so the bytes
// written (file header, information header, colour table, rows) are always the picture's own
// and never run past the block.
BOOL CDib::SaveAs(const char* path) {
    // Without a picture there is nothing to write; the file is not touched.
    if (m_hDib == nullptr) {
        return SetClassError(6);
    }
    CFile file;
    CFileException error;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &error)) {
        return SetFileError(error);
    }
    CDibInfo view(m_hDib);
    const BYTE* base = view.GetDIB();
    if (base == nullptr) {
        return SetSystemError();
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, base + sizeof(BITMAPFILEHEADER), sizeof header);
    const DWORD fileBytes = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) +
                            4U * CDibSupport::GetPaletteEntryNum(header) +
                            CDibSupport::GetImageSize(header);
    try {
        file.Write(base, fileBytes);
        file.Close();
    } catch (CFileException& writeError) {
        return SetFileError(writeError);
    }
    return SetNoError();
}
