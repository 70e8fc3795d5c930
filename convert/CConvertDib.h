/// @file
/// The picture class that converts its own colour depth and size.
#pragma once

#include "../dib/CDib.h"

/// A picture that can change its own colour depth (1, 4, 8, 16, 24 or 32 bits per pixel) and its
/// own size.
///
/// A conversion never edits the picture's block in place: it fills a second DIB block, the work
/// block, from the picture, then discards the old picture and installs a copy of the work block
/// through the same normalisation step every load ends in. Colours become indexes by one
/// nearest-colour search in the target palette (the caller's, or the two-colour, sixteen-colour or
/// halftone palette); nothing dithers. Sizes change by repeating and dropping whole columns and
/// rows.
///
/// Work block and target palette exist only during one conversion; they are never copied or
/// shared between objects.
class ORVEL_EXT_CLASS CConvertDib : public CDib {
public:
    // Each constructor builds the picture exactly as the CDib constructor with the same
    // arguments does, with the same status outcomes; the conversion state starts empty. They are
    // plain forwards, defined here so that a program pays only for the loads it uses.

    /// An empty object (class error 6).
    CConvertDib() = default;
    /// Loads a BMP file.
    explicit CConvertDib(CString path) : CDib(static_cast<CString&&>(path)) {}
    /// Loads a bitmap resource of the application.
    explicit CConvertDib(int resourceId) : CDib(resourceId) {}
    /// Loads a BMP file image in memory.
    explicit CConvertDib(BITMAPFILEHEADER* image) : CDib(image) {}
    /// Loads a packed DIB in memory.
    explicit CConvertDib(BITMAPINFOHEADER* packed) : CDib(packed) {}
    /// A deep copy of another object's picture; conversion state is not copied.
    CConvertDib(const CConvertDib& source) : CDib(source) {}
    /// A picture of a device-dependent bitmap.
    CConvertDib(const CBitmap& bitmap, CPalette* const palette) : CDib(bitmap, palette) {}
    /// A blank picture described by a header and colour table, filled with one colour.
    CConvertDib(BITMAPINFO* info, unsigned long colour) : CDib(info, colour) {}
    /// A blank picture of a size and depth filled with one colour.
    CConvertDib(CSize size, unsigned long colour, int bitCount, CPalette* palette)
        : CDib(size, colour, bitCount, palette) {}
    /// Frees any work block and made palette, then releases the picture.
    ~CConvertDib() override;

    /// Copies the other object's picture as Load(const CDib&) does; nothing when it is this
    /// object.
    CConvertDib& operator=(const CConvertDib& source);

    /// Converts the picture to `bitCount` bits per pixel. For targets of 1, 4 and 8 bits the
    /// colours are mapped onto `palette` (borrowed, never destroyed), or without one onto the
    /// two-colour, sixteen-colour or halftone palette. Returns 1 when the conversion ran (the
    /// status record tells whether the new picture was installed), 0 on failure.
    int ConvertColor(int bitCount, CPalette* palette);

    /// Resizes the picture to `width` x `height` pixels by repeating and dropping columns and
    /// rows. Same results as the CSize overload.
    BOOL ConvertSize(long width, long height);
    /// Resizes the picture to `size` pixels, keeping its depth, colour table and other header
    /// fields. Returns 0 when nothing was done; 1 when the resampling ran (the status record tells
    /// whether the new picture was installed) or the size is already the requested one.
    BOOL ConvertSize(CSize size);

protected:
    /// One entry of the converter table: (source view, target view) -> 1 when the work block
    /// holds the converted picture.
    using Converter = BOOL (CConvertDib::*)(CDibInfo* source, CDibInfo* target);

    // Colour conversion: the driver's steps.
    /// Prepares a conversion to `bitCount` bits: a work block with the picture's header at the new
    /// depth, its colour table started as the picture's. 0 with the status recorded on failure.
    int ConvertColorInit(int bitCount);
    /// Runs the converter of the (picture depth, work depth) pair into the work block and, when it
    /// succeeds, installs the result; the work block is released either way. Class error 101 for a
    /// picture depth and 102 for a requested depth that is not one of the six; program error 14
    /// when a block cannot be reached. Returns the converter's result.
    int ConvertColorProc();
    /// Makes the zero-filled work block for `header` (file header, header, colour table started as
    /// the picture's, pixels), replacing any earlier one. A system error when it is too large or
    /// cannot be allocated; returns the new success flag.
    int MakeWorkMem(BITMAPINFOHEADER header);
    /// Frees the work block and the target palette when this object made it; a caller's palette is
    /// only forgotten.
    void ReleaseWork();
    /// Makes the target palette when the caller gave none (the depth's standard palette) and writes
    /// its colours into `info`'s colour table. 1 when the palette was made here, 0 otherwise.
    int ProcessPalette(BITMAPINFO* info);
    /// Fills `table` with the target palette index nearest to each of the picture's first `count`
    /// colours (at most 256); colours the picture's palette lacks count as black.
    void CreatePaletteIndex(unsigned char* table, int count);

    // Converters to 1, 4 and 8 bits per pixel.
    /// @name Converters to 1, 4 and 8 bits per pixel
    /// @{

    /// ConvertColorXXToYY maps an XX-bit picture in `source` onto the target palette into the
    /// YY-bit work block `target`: the colour table becomes the target palette and each pixel its
    /// nearest palette index (no dithering). Records success, or the failure, and returns the new
    /// flag.
    BOOL ConvertColor01To01(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor01To04(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor01To08(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor04To01(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor04To04(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor04To08(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor08To01(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor08To04(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor08To08(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor16To01(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor16To04(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor16To08(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor24To01(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor24To04(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor24To08(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor32To01(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor32To04(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor32To08(CDibInfo* source, CDibInfo* target);
    /// @}

    // Converters to 16, 24 and 32 bits per pixel, and the refusal in the same-depth places.
    /// @name Converters to 16, 24 and 32 bits per pixel
    /// @{

    /// ConvertColorXXToYY writes each pixel of an XX-bit picture in `source` as its colour in the
    /// YY-bit work block `target` (16 bits as 5-5-5). The same-depth entries 16 to 16 (and the 24
    /// and 32 places of the table) refuse with class error 102. Returns the new success flag.
    BOOL ConvertColor01To16(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor01To24(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor01To32(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor04To16(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor04To24(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor04To32(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor08To16(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor08To24(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor08To32(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor16To16(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor16To24(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor16To32(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor24To16(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor24To32(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor32To16(CDibInfo* source, CDibInfo* target);
    BOOL ConvertColor32To24(CDibInfo* source, CDibInfo* target);
    /// @}

    // Size conversion: the steps and the resampler of each depth.
    /// Prepares a resize to `size`: a work block with the picture's header at the new width and
    /// height, its colour table the picture's. Returns the new success flag.
    BOOL ConvertSizeInit(CSize size);
    /// Computes the column and row repeat counts and runs the resampler of the picture's depth into
    /// the work block. FALSE without a picture, when the block no longer matches the cached header
    /// (program error 14), or when a resampler could not reach both blocks.
    BOOL ConvertSizeProc();
    /// Fills the repeat count of every source column (`columnCounts`, picture width entries) and
    /// row
    /// (`rowCounts`, picture height entries) for the work block's size. Program error 14 when
    /// either block cannot be reached.
    BOOL ConvertSizeCompute(int* columnCounts, int* rowCounts);
    /// @name Resamplers
    /// @{

    /// ConvertSizeXX repeats and drops the columns and rows of an XX-bit picture into the work
    /// block by the repeat counts; program error 14 when it cannot reach both blocks.
    void ConvertSize01(int* columnCounts, int* rowCounts);
    void ConvertSize04(int* columnCounts, int* rowCounts);
    void ConvertSize08(int* columnCounts, int* rowCounts);
    void ConvertSize16(int* columnCounts, int* rowCounts);
    void ConvertSize24(int* columnCounts, int* rowCounts);
    void ConvertSize32(int* columnCounts, int* rowCounts);
    /// @}

    /// The work block of the conversion under way; null outside a conversion (but for the
    /// leftover of a size conversion that stopped before installing its result).
    HGLOBAL m_hWork = nullptr;
    /// The palette colours are mapped onto for targets of 1, 4 and 8 bits; null when none.
    CPalette* m_pTargetPalette = nullptr;
    /// 1 when m_pTargetPalette was made by this object and must be destroyed by it; 0 when it is
    /// the caller's.
    BOOL m_bOwnTargetPalette = FALSE;

private:
    /// Writes the pixel rows of a conversion to 1, 4 or 8 bits, given the palette index table of
    /// an indexed source and the target palette.
    using IndexedRowMapper = void (*)(const CDibInfo& source, const CDibInfo& target,
                                      const BYTE* indexTable, HPALETTE targetPalette);
    /// Writes the pixel rows of a conversion to 16, 24 or 32 bits, given the colours of an
    /// indexed source.
    using DirectRowMapper = void (*)(const CDibInfo& source, const CDibInfo& target,
                                     const PALETTEENTRY* sourceColours);
    /// Writes one target row of a resampling from one source row and the column repeat counts.
    using ColumnRepeater = void (*)(const BYTE* sourceRow, BYTE* targetRow, const int* columnCounts,
                                    LONG sourceWidth);

    /// The 36 converters, row = depth slot of the source, column = depth slot of the target.
    static const Converter s_converterTable[36];

    /// The steps every converter to 1, 4 or 8 bits shares around its pixel work: target palette
    /// and colour table, palette index table of an indexed source (`sourceColours` entries, 0 for
    /// a direct-colour source), the rows, the end of a palette made here, success.
    BOOL ConvertToIndexed(CDibInfo* source, CDibInfo* target, int sourceColours,
                          IndexedRowMapper mapRows);
    /// The steps every converter to 16, 24 or 32 bits shares: the source's colours
    /// (`sourceColours` entries, 0 for a direct-colour source), the rows, success.
    BOOL ConvertToDirect(CDibInfo* source, CDibInfo* target, int sourceColours,
                         DirectRowMapper convertRows);
    /// The steps every resampler shares: both blocks reached, the pixels of `bitCount` bits
    /// repeated or dropped.
    void Resample(int* columnCounts, int* rowCounts, WORD bitCount);
    /// Copies the information header of the picture's block. 0, with program error 14, when the
    /// block cannot be reached: nothing is read through a missing block.
    BOOL CopyPictureHeader(BITMAPINFOHEADER& header);
    /// Discards the old picture and installs a copy of the work block whose header is at
    /// `workHeader` (null when the work block could not be reached).
    void ReplacePicture(BITMAPINFOHEADER* workHeader);
};
