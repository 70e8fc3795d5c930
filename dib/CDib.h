/// @file
/// The picture object of the library.
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
    /// Releases the picture and its palette and closes the DrawDib handle.
    ~CDib() override;

    // Files and resources.
    /// Loads a BMP file: the object's picture is released first, then the whole file is read into a
    /// new block and normalised. A file that does not begin with "BM" is class error 1, one that
    /// cannot be opened a file error, a failed read a system error. TRUE when a picture is
    /// installed.
    BOOL Load(CString path);
    /// Loads a bitmap resource (a packed DIB) from whichever module of the framework's list holds
    /// it. A missing resource is a system error (the last error of FindResource); the object keeps
    /// its picture until the resource is found.
    BOOL Load(int resourceId);
    /// Writes the picture as a BMP file (created or truncated): file header, information header,
    /// full colour table and the rows. Class error 6 without a picture; a file error when the file
    /// cannot be opened or written. The object does not change.
    BOOL SaveAs(const char* path);
    /// Fills `palette` with the picture's colour table in table order, or with the screen's
    /// halftone palette for a direct-colour picture without one. FALSE without recording when the
    /// record is failed; a system error when the block cannot be locked.
    BOOL CreateLogicPalette(CPalette& palette);

    // Device-dependent bitmaps and blank pictures.
    /// Replaces the picture by one of a device-dependent bitmap at the bitmap's own depth, reading
    /// its pixels through the screen with `palette` (or the object's halftone palette when null)
    /// realised. A handle that is no readable bitmap is a system error with ERROR_INVALID_HANDLE.
    BOOL Load(const CBitmap& bitmap, CPalette* palette);
    /// Replaces the picture by a blank one of `size` and `bitCount` bits per pixel, every pixel the
    /// nearest colour to `colour` (a COLORREF). Up to 8 bits the colour table is `palette`'s
    /// colours, or the depth's standard palette when null; above 8 bits `palette` is not used.
    BOOL Load(CSize size, unsigned long colour, int bitCount, CPalette* palette);
    /// Replaces the picture by a blank one described by `info` (a 40-byte header and its colour
    /// table), every pixel the nearest colour to `colour` (a COLORREF). An unusable header is class
    /// error 1, a null one program error 14, a picture too large ERROR_NOT_ENOUGH_MEMORY.
    BOOL Load(BITMAPINFO* info, unsigned long colour);
    /// The same as Load(CSize, unsigned long, int, CPalette*).
    BOOL Empty(CSize size, unsigned long colour, int bitCount, CPalette* palette);
    /// The same as Load(BITMAPINFO*, unsigned long).
    BOOL Empty(BITMAPINFO* info, unsigned long colour);

    // Memory, copies and handed-over blocks.
    /// Loads a complete BMP file image in the caller's memory (bfSize bytes long). The caller's
    /// bytes are copied; they stay the caller's. A null pointer is program error 14.
    BOOL Load(BITMAPFILEHEADER* image);
    /// Loads a packed DIB in the caller's memory: a 40-byte header, its colours and its pixels. The
    /// bytes are copied and stay the caller's. A null pointer is program error 14.
    BOOL Load(BITMAPINFOHEADER* packed);
    /// Makes this object a deep copy of `source`: its own block with the source's bytes and its own
    /// palette. A source without a picture is program error 14, this object's picture kept.
    BOOL Load(const CDib& source);
    /// The same as Load(const CDib&); a null source is program error 14 and the picture stays.
    BOOL Copy(const CDib* const source);
    /// Deep copy, as Load(const CDib&); the result is not reported (see the record).
    const CDib& operator=(const CDib& source);
    /// Moves the block out of `source`, which is left empty, and installs it here after normalising
    /// it again. FALSE without recording when `source` holds no block.
    BOOL LoadAttach(CDib& source);
    /// Takes over a DIB block (a BMP file image in global memory) from the caller: from the call on
    /// the block is the object's, whatever the result. FALSE without recording for a null handle.
    BOOL AttachHandle(HGLOBAL block);

    // The picture and its state.
    /// Gives the picture's block to the caller, unlocked, and leaves the object empty (class error
    /// 6). The caller owns the block and frees it with GlobalFree. Null when there is no picture.
    HGLOBAL DetachHandle();
    /// The picture's width and height as the cached header holds them; (0, 0) before the first
    /// picture.
    CSize GetSize() const;
    /// Writes the picture's size; FALSE (nothing written) when the record is failed.
    BOOL GetSize(CSize& size) const;
    /// The picture's bits per pixel as the cached header holds them.
    WORD GetColorNum() const;
    /// Writes the picture's bits per pixel; FALSE (nothing written) when the record is failed.
    BOOL GetColorNum(unsigned short& bitCount) const;
    /// A copy of the installed picture's 40-byte information header.
    BITMAPINFOHEADER GetBIH() const;
    /// Writes a copy of the information header; FALSE (nothing written) when the record is failed.
    BOOL GetBIH(BITMAPINFOHEADER& header) const;
    /// The logical palette built from the picture's colours, lent: it stays the object's. Null
    /// without a picture.
    CPalette* GetPalette() const;
    /// The picture's DIB block, lent: it stays the object's. Null without a picture.
    HGLOBAL GetSafeHandle() const;

    // Compositing.
    /// Pastes `source`'s pixels into this picture with the source's top-left corner at `position`
    /// (origin at this picture's top-left corner, y downward), clipped to this picture. The depths
    /// must match (class error 1 otherwise); pixel values are copied as they stand. A source
    /// without a picture is program error 14. A position right of or below the picture succeeds
    /// without copying.
    BOOL Attach(const CDib& source, CPoint position);
    /// The same as Attach(const CDib&, CPoint); a null source is program error 14.
    BOOL Attach(CDib* source, CPoint position);

    // Display.
    /// Draws rectangle `source` of the picture stretched into rectangle `destination` of `dc`,
    /// through DrawDib or StretchDIBits (see UseDrawDIB()). A `source` of (0, 0, 0, 0) is the whole
    /// picture; other rectangles are in DIB coordinates (origin at the picture's bottom-left).
    /// `foreground` realises the palette as a foreground palette; `rasterOperation` (0 for
    /// SRCCOPY) is used by StretchDIBits only. Class error 6 without a picture, program error 14
    /// without a device context, class error 5 when DrawDib fails, a system error when
    /// StretchDIBits does.
    BOOL Show(CDC* dc, CRect destination, CRect source, int foreground = TRUE,
              unsigned rasterOperation = 0);
    /// The same as the rectangle form, with rectangles given by a corner and a size; a size of
    /// exactly
    /// (-1, -1) is the picture's own size.
    BOOL Show(CDC* dc, CPoint destinationCorner, CSize destinationSize, CPoint sourceCorner,
              CSize sourceSize, int foreground = TRUE, unsigned rasterOperation = 0);
    /// Chooses DrawDib (non-zero) or StretchDIBits (0) for Show(); returns the previous choice.
    BOOL UseDrawDIB(int use);
    /// The object keeps no dithering setting: nothing is stored, and the result is TRUE when
    /// `dither` is 0 and FALSE otherwise.
    BOOL DoDithering(int dither);
    /// Realises the picture's logical palette into `dc` and repaints `window` when the system
    /// palette changed, as a window does on a palette message.
    void DoRealizePalette(CWnd* window, CDC* dc, int foreground);
    /// Selects and realises `palette` (a halftone palette made for the context when null) into
    /// `dc`, invalidates `window` without erasing when that changed the system palette, and gives
    /// the context its previous palette back. Nothing without a device context.
    static void DoRealizePalette(CWnd* window, CDC* dc, CPalette* palette, int foreground);

    // Clipboard.
    /// Puts the picture on the clipboard as CF_DIB (and, for a direct-colour picture carrying
    /// colour entries, its logical palette as CF_PALETTE), opened for `window` (or the calling
    /// thread when null). FALSE without recording when the record is failed. The picture does not
    /// change.
    BOOL SetClipboard(CWnd* window);
    /// Replaces the picture by the clipboard's CF_DIB. Class error 8 when the clipboard holds no
    /// CF_DIB, class error 10 when it cannot be opened, class error 1 for a block that is not a
    /// well-formed 40-byte-header DIB. The clipboard's block stays the clipboard's.
    BOOL GetClipboard(CWnd* window);
    /// The clipboard's CF_PALETTE, lent: it stays the clipboard's. Null when there is none or the
    /// clipboard cannot be opened; records nothing.
    static HPALETTE GetClipPalette(CWnd* window);

protected:
    // Set-up and release.
    /// Makes the screen's halftone palette, resets the members and opens the DrawDib handle (class
    /// error 2 when DrawDib is unavailable). Called by every constructor.
    void Init();
    /// Resets the picture members (no block, no palette, DrawDib preferred) and records class
    /// error 6.
    void InitVariables();
    /// Frees the block and the logical palette, then resets the members as InitVariables() does.
    void DestroyClass();

    // Normalisation and files.
    /// The normalisation step every picture goes through: checks `block` (headers, colour table and
    /// pixels must fit it and describe a picture the library accepts), makes it canonical (40-byte
    /// header, full colour table, bottom-up uncompressed rows) and builds the logical palette. The
    /// block becomes the object's whatever the result; a refused one is class error 1.
    BOOL InitDib(HGLOBAL block);
    /// Builds a new DIB block from a 40-byte header and its colours and pixels, given separately
    /// or, when null, read from a packed DIB right after the header; `count` colours (0: the full
    /// table). Null with the last error or a recorded status on failure; the caller owns the block.
    HGLOBAL MakeDib(BITMAPINFOHEADER* header, void* pixels, RGBQUAD* colours, WORD count);
    /// Reads a whole BMP file into a new block that the caller owns; null with a file or class
    /// error.
    HGLOBAL ReadFile(CString path);
    /// The reader for files that do not begin with "BM". It knows no other format: always null.
    HGLOBAL ReadJPG(CString path);
    /// Turns an OS/2 core header (12 bytes, three-byte colours) into a 40-byte header with a
    /// four-byte colour table in a new block.
    BOOL ChangeCore();

    // Run-length decoding.
    /// Decodes a run-length picture; the same as DecompressRLE().
    BOOL Decompress();
    /// Replaces an RLE8 or RLE4 block by an uncompressed one of the same size, depth and colours;
    /// the old block stays until the new one is decoded. Class error 1 for a block it cannot read.
    BOOL DecompressRLE();
    /// Decodes RLE8 pixels of `source` (a view of the object's own block; any other decodes
    /// nothing) into the uncompressed rows of `destination`, a block built for the same header.
    void DecompressRLE8(CDibInfo source, CDibInfo destination);
    /// The RLE4 counterpart of DecompressRLE8().
    void DecompressRLE4(CDibInfo source, CDibInfo destination);

    // Display.
    /// Draws rectangle `source` of the picture into `destination` of `dc`; what Show() calls.
    BOOL Draw(CDC* dc, CRect source, CRect destination, int foreground, unsigned rasterOperation);

    // Status setters: each writes the whole record and returns the new success flag.
    /// Records success (kind 0, code 0); returns TRUE.
    BOOL SetNoError();
    /// Records the platform's last error as a system error; returns FALSE.
    BOOL SetSystemError();
    /// Records class error `code`; returns FALSE.
    BOOL SetClassError(unsigned long code);
    /// Records the cause of a file exception as a file error; TRUE only for the cause `none`.
    BOOL SetFileError(CFileException& error);
    /// Records program error `code` (14: a call that cannot be served with the inputs given);
    /// returns FALSE.
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
