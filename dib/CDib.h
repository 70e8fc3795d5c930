// The picture object of the library.
#pragma once

#include "../foundation/CDibInfo.h"
#include "../foundation/CHTErr.h"
#include "../library/export.h"
#include "../platform/afx/cstring.h"
#include "../platform/afx/gdi_object.h"
#include "../platform/afx/geometry.h"
#include "../platform/win/bitmap_structs.h"
#include "../platform/win/types.h"

class CBitmap;
class CDC;
class CFileException;
class CWnd;

/// A picture: one DIB block laid out exactly like a BMP file, the logical palette made from its
/// colours, a copy of its information header, a DrawDib handle for display and a halftone palette
/// of its own.
///
/// The status record doubles as the picture-present flag: an object without a picture carries
/// class error 6 (or the failure of the load that emptied it), and an installed picture records
/// success. Every way a picture enters the object ends in one normalisation step, which makes the
/// block canonical and builds the palette.
class ORVEL_EXT_CLASS CDib : public CHTErr {
public:
    /// An empty object: halftone palette and DrawDib handle made, class error 6.
    CDib();
    /// Loads a BMP file.
    explicit CDib(CString path);
    /// Loads a bitmap resource of the application.
    explicit CDib(int resourceId);
    /// Loads a BMP file image in memory.
    explicit CDib(BITMAPFILEHEADER* image);
    /// Loads a packed DIB in memory.
    explicit CDib(BITMAPINFOHEADER* packed);
    /// A deep copy of another picture.
    CDib(const CDib& source);
    /// A picture of a device-dependent bitmap.
    CDib(const CBitmap& bitmap, CPalette* const palette);
    /// A blank picture of a size and depth filled with one colour.
    CDib(CSize size, unsigned long colour, int bitCount, CPalette* palette);
    /// A blank picture described by a header and colour table, filled with one colour.
    CDib(BITMAPINFO* info, unsigned long colour);
    ~CDib() override;

    // Files and resources.
    BOOL Load(CString path);
    BOOL Load(int resourceId);
    BOOL SaveAs(const char* path);
    BOOL CreateLogicPalette(CPalette& palette);

    // Device-dependent bitmaps and blank pictures.
    BOOL Load(const CBitmap& bitmap, CPalette* palette);
    BOOL Load(CSize size, unsigned long colour, int bitCount, CPalette* palette);
    BOOL Load(BITMAPINFO* info, unsigned long colour);
    BOOL Empty(CSize size, unsigned long colour, int bitCount, CPalette* palette);
    BOOL Empty(BITMAPINFO* info, unsigned long colour);

    // Memory, copies and handed-over blocks.
    BOOL Load(BITMAPFILEHEADER* image);
    BOOL Load(BITMAPINFOHEADER* packed);
    BOOL Load(const CDib& source);
    BOOL Copy(const CDib* const source);
    const CDib& operator=(const CDib& source);
    BOOL LoadAttach(CDib& source);
    BOOL AttachHandle(HGLOBAL block);

    // The picture and its state.
    HGLOBAL DetachHandle();
    CSize GetSize() const;
    BOOL GetSize(CSize& size) const;
    WORD GetColorNum() const;
    BOOL GetColorNum(unsigned short& bitCount) const;
    BITMAPINFOHEADER GetBIH() const;
    BOOL GetBIH(BITMAPINFOHEADER& header) const;
    CPalette* GetPalette() const;
    HGLOBAL GetSafeHandle() const;

    // Compositing.
    BOOL Attach(const CDib& source, CPoint position);
    BOOL Attach(CDib* source, CPoint position);

    // Display.
    BOOL Show(CDC* dc, CRect destination, CRect source, int foreground = TRUE,
              unsigned rasterOperation = 0);
    BOOL Show(CDC* dc, CPoint destinationCorner, CSize destinationSize, CPoint sourceCorner,
              CSize sourceSize, int foreground = TRUE, unsigned rasterOperation = 0);
    BOOL UseDrawDIB(int use);
    BOOL DoDithering(int dither);
    void DoRealizePalette(CWnd* window, CDC* dc, int foreground);
    static void DoRealizePalette(CWnd* window, CDC* dc, CPalette* palette, int foreground);

    // Clipboard.
    BOOL SetClipboard(CWnd* window);
    BOOL GetClipboard(CWnd* window);
    static HPALETTE GetClipPalette(CWnd* window);

protected:
    // Set-up and release.
    void Init();
    void InitVariables();
    void DestroyClass();

    // Normalisation and files.
    BOOL InitDib(HGLOBAL block);
    HGLOBAL MakeDib(BITMAPINFOHEADER* header, void* pixels, RGBQUAD* colours, WORD count);
    HGLOBAL ReadFile(CString path);
    HGLOBAL ReadJPG(CString path);
    BOOL ChangeCore();

    // Run-length decoding.
    BOOL Decompress();
    BOOL DecompressRLE();
    void DecompressRLE8(CDibInfo source, CDibInfo destination);
    void DecompressRLE4(CDibInfo source, CDibInfo destination);

    // Display.
    BOOL Draw(CDC* dc, CRect source, CRect destination, int foreground, unsigned rasterOperation);

    // Status setters: each writes the whole record and returns the new success flag.
    BOOL SetNoError();
    BOOL SetSystemError();
    BOOL SetClassError(unsigned long code);
    BOOL SetFileError(CFileException& error);
    BOOL SetProgError(unsigned long code);

    /// The picture's DIB block; null when the object holds no picture.
    HGLOBAL m_hDib = nullptr;
    /// The logical palette made from the block's colours; null without a picture.
    CPalette* m_pPalette = nullptr;
    /// The DrawDib handle opened at construction; null when DrawDib was unavailable.
    HDRAWDIB m_hDrawDib = nullptr;
    /// 1: draw through DrawDib when there is a handle; 0: draw through StretchDIBits.
    BOOL m_bUseDrawDib = TRUE;
    /// Copy of the installed picture's information header (zero until the first picture).
    BITMAPINFOHEADER m_bih{};
    /// The screen's halftone palette, made at construction.
    CPalette m_halftonePalette;
};
