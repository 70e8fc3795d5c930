#include "picture_follow_up.h"

#include "pixel_reader.h"
#include "scratch_folder.h"

#include <array>
#include <cstdint>
#include <string>

namespace orvel::fuzz {
namespace {

constexpr std::array<int, 6> kDepths = {1, 4, 8, 16, 24, 32};

std::string Step(std::string_view operation, long a, long b) {
    return std::string(operation) + "(" + std::to_string(a) + ", " + std::to_string(b) + ")";
}

// A copy of the picture for one step. Copying an installed picture allocates a block no larger
// than the picture's own, so it never meets the ceiling: it must succeed.
template <class Picture>
bool CopyFor(Picture& copy, const CConvertDib& picture, RunChecks& checks) {
    copy = picture;
    checks.ExpectInstalled(copy, "a copy of the picture");
    return copy.IsSucceed() != FALSE;
}

// Every pixel of `converted` shows the colour the same pixel of `original` showed.
void ExpectSameColours(const PictureContent& original, const PictureContent& converted,
                       RunChecks& checks, const std::string& step) {
    if (!Comparable(original) || !Comparable(converted)) {
        return;
    }
    for (LONG y = 0; y < original.height; ++y) {
        for (LONG x = 0; x < original.width; ++x) {
            if (ShownColour(original, x, y) != ShownColour(converted, x, y)) {
                checks.Expect(false, step + ": pixel (" + std::to_string(x) + ", " +
                                         std::to_string(y) + ") changed colour");
                return;
            }
        }
    }
}

// A refused step leaves the picture as it was; one that ran but could not install its result
// leaves either nothing or a block the object keeps.
void ExpectRefusal(const CConvertDib& copy, int result, const std::vector<BYTE>& before,
                   std::initializer_list<Outcome> allowed, RunChecks& checks,
                   const std::string& step) {
    checks.ExpectOutcome(copy, allowed, step);
    if (result == 0) {
        checks.Expect(BlockBytes(copy.GetSafeHandle()) == before,
                      step + ": a refused step changed the picture");
    }
    checks.ExpectConsistent(copy, FALSE, step);
}

void ConvertEveryDepth(const CConvertDib& picture, RunChecks& checks) {
    const PictureContent original = ContentOf(picture);
    for (const int depth : kDepths) {
        const std::string step = Step("ConvertColor", depth, original.bitCount);
        CConvertDib copy;
        if (!CopyFor(copy, picture, checks)) {
            return;
        }
        const std::vector<BYTE> before = BlockBytes(copy.GetSafeHandle());
        const int result = copy.ConvertColor(depth, nullptr);
        checks.ExpectUnlocked(copy, step);
        if (result == 0 || copy.IsFailed()) {
            // The work block is the one block a conversion may be refused.
            ExpectRefusal(copy, result, before, {kOverCeiling}, checks, step);
            continue;
        }
        checks.ExpectInstalled(copy, step);
        const PictureContent converted = ContentOf(copy);
        checks.Expect(converted.bitCount == depth && converted.width == original.width &&
                          converted.height == original.height,
                      step + ": the picture has another size or depth than asked");
        if (depth == 24) {
            // 24 bits hold every colour a picture of any depth shows.
            ExpectSameColours(original, converted, checks, step);
        }
    }

    // Onto a caller's palette: the picture's own, borrowed and never destroyed.
    CConvertDib copy;
    if (CopyFor(copy, picture, checks)) {
        const int entriesBefore = picture.GetPalette()->GetEntryCount();
        const std::vector<BYTE> before = BlockBytes(copy.GetSafeHandle());
        const int result = copy.ConvertColor(8, picture.GetPalette());
        const std::string step = "ConvertColor onto the picture's own palette";
        if (result == 0 || copy.IsFailed()) {
            ExpectRefusal(copy, result, before, {kOverCeiling}, checks, step);
        } else {
            checks.ExpectInstalled(copy, step);
        }
        checks.Expect(picture.GetPalette()->GetEntryCount() == entriesBefore,
                      step + ": the caller's palette changed");
    }
}

// Doubling repeats every pixel in a 2 x 2 square.
void ExpectDoubled(const PictureContent& original, const PictureContent& doubled, RunChecks& checks,
                   const std::string& step) {
    if (!Comparable(original) || doubled.width != 2 * original.width ||
        doubled.height != 2 * original.height || doubled.rows.size() < 4 * original.rows.size()) {
        return;
    }
    for (LONG y = 0; y < doubled.height; ++y) {
        for (LONG x = 0; x < doubled.width; ++x) {
            if (StoredPixel(doubled, x, y) != StoredPixel(original, x / 2, y / 2)) {
                checks.Expect(false, step + ": pixel (" + std::to_string(x) + ", " +
                                         std::to_string(y) + ") is not its source pixel");
                return;
            }
        }
    }
}

void ResizeEveryWay(const CConvertDib& picture, RunChecks& checks) {
    const PictureContent original = ContentOf(picture);
    // The repeat counts take 4 bytes per source column and row from the ordinary heap, outside
    // the ceiling on global blocks; pictures whose counts would exceed that ceiling too are not
    // resized here.
    const std::uint64_t countBytes = 4 * (static_cast<std::uint64_t>(original.width) +
                                          static_cast<std::uint64_t>(original.height));
    if (countBytes > kRunBlockLimitBytes) {
        return;
    }
    const auto doubledWidth =
        static_cast<long>(std::min<std::int64_t>(2LL * original.width, 1L << 30));
    const auto doubledHeight =
        static_cast<long>(std::min<std::int64_t>(2LL * original.height, 1L << 30));
    const std::array<CSize, 3> sizes = {CSize(3, 2), CSize(doubledWidth, doubledHeight),
                                        CSize(-3, 2)};
    for (const CSize size : sizes) {
        const std::string step = Step("ConvertSize", size.cx, size.cy);
        CConvertDib copy;
        if (!CopyFor(copy, picture, checks)) {
            return;
        }
        const std::vector<BYTE> before = BlockBytes(copy.GetSafeHandle());
        const BOOL result = copy.ConvertSize(size);
        checks.ExpectUnlocked(copy, step);
        if (size.cx < 0) {
            // A negative size has no work block: refused as the system refuses a bad parameter.
            checks.Expect(result == FALSE, step + ": a negative size was not refused");
            ExpectRefusal(copy, result, before, {SystemError(ERROR_INVALID_PARAMETER)}, checks,
                          step);
            continue;
        }
        if (result == 0 || copy.IsFailed()) {
            ExpectRefusal(copy, result, before, {kOverCeiling}, checks, step);
            continue;
        }
        checks.ExpectInstalled(copy, step);
        const PictureContent resized = ContentOf(copy);
        checks.Expect(resized.width == size.cx && resized.height == size.cy &&
                          resized.bitCount == original.bitCount &&
                          resized.colours == original.colours,
                      step + ": the size is not the one asked, or the depth or colours changed");
        ExpectDoubled(original, resized, checks, step);
    }
}

// The fuzzed picture pasted into a small blank one of its depth, a blank one pasted into a copy
// of the fuzzed picture, and that copy pasted into itself. Only whole-byte depths paste; a
// position right of or below the destination succeeds before the depths are looked at.
void PasteEveryWay(const CConvertDib& picture, RunChecks& checks) {
    const WORD bitCount = picture.GetColorNum();
    const bool wholeBytes = bitCount >= 8;
    const CSize pictureSize = picture.GetSize();
    auto expectPaste = [&](const CDib& destination, BOOL result, CSize destinationSize,
                           CPoint position, const std::string& step) {
        const bool beyond = position.x > destinationSize.cx || position.y > destinationSize.cy;
        checks.ExpectUnlocked(destination, step);
        if (beyond || wholeBytes) {
            checks.Expect(result != FALSE, step + ": refused");
            checks.ExpectInstalled(destination, step);
        } else {
            checks.Expect(result == FALSE, step + ": a 1- or 4-bit paste was not refused");
            checks.ExpectOutcome(destination, {kProgError14}, step);
        }
    };

    CDib blank(CSize(9, 7), RGB(10, 20, 30), bitCount, nullptr);
    checks.ExpectInstalled(blank, "a blank picture of the picture's depth");
    if (blank.IsFailed()) {
        return;
    }
    CDib target;
    if (!CopyFor(target, picture, checks)) {
        return;
    }
    const CPoint nearCorner(pictureSize.cx - 4, -3);
    expectPaste(target, target.Attach(blank, nearCorner), pictureSize, nearCorner,
                "Attach of a blank picture into the picture");
    if (target.IsSucceed()) {
        const CPoint offset(1, -1);
        expectPaste(target, target.Attach(&target, offset), pictureSize, offset,
                    "Attach of the picture into itself");
    }
    const CPoint inside(-2, 3);
    expectPaste(blank, blank.Attach(picture, inside), CSize(9, 7), inside,
                "Attach of the picture into a blank picture");
}

// What one drawing path made of the picture: the results of both Show forms and the surface.
struct Drawing {
    BOOL wholePicture = FALSE;
    BOOL shiftedCorner = FALSE;
    std::vector<COLORREF> pixels;

    friend bool operator==(const Drawing&, const Drawing&) = default;
};

Drawing DrawOnePath(const CConvertDib& picture, BOOL drawDib, RunChecks& checks) {
    constexpr int kSide = 16;
    const std::string step = drawDib ? "Show through DrawDib" : "Show through StretchDIBits";
    Drawing drawing;
    CDC dc;
    CBitmap bitmap;
    const bool surfaceMade = dc.CreateCompatibleDC(nullptr) != FALSE &&
                             bitmap.CreateBitmap(kSide, kSide, 1, 32, nullptr) != FALSE;
    checks.Expect(surfaceMade, step + ": no surface to draw into");
    CBitmap* previous = surfaceMade ? dc.SelectObject(&bitmap) : nullptr;
    CDib shown;
    if (previous != nullptr && CopyFor(shown, picture, checks)) {
        shown.UseDrawDIB(drawDib);
        drawing.wholePicture = shown.Show(&dc, CRect(0, 0, kSide, kSide), CRect(0, 0, 0, 0));
        checks.ExpectUnlocked(shown, step);
        const CSize size = picture.GetSize();
        if (drawing.wholePicture != FALSE) {
            checks.ExpectOutcome(shown, {kSucceeded}, step);
            // The picture's own size, from one column in: the source's last column lies
            // outside the picture.
            drawing.shiftedCorner =
                shown.Show(&dc, CPoint(3, 2), CSize(-1, -1), CPoint(1, 0), CSize(-1, -1));
            checks.ExpectUnlocked(shown, step);
        } else {
            // Only a picture without pixels has no source rectangle to draw from.
            checks.Expect(size.cx == 0 || size.cy == 0, step + ": refused");
            checks.ExpectOutcome(shown, {ClassError(5), SystemError(ERROR_INVALID_PARAMETER)},
                                 step);
        }
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                drawing.pixels.push_back(dc.GetPixel(x, y));
            }
        }
        shown.DoRealizePalette(nullptr, &dc, TRUE);
    }
    if (previous != nullptr) {
        dc.SelectObject(previous);
    }
    dc.DeleteDC();
    return drawing;
}

// Both drawing paths draw the same pixels of the picture, and refuse the same rectangles.
void DrawBothWays(const CConvertDib& picture, RunChecks& checks) {
    const Drawing throughDrawDib = DrawOnePath(picture, TRUE, checks);
    const Drawing throughStretch = DrawOnePath(picture, FALSE, checks);
    checks.Expect(throughDrawDib == throughStretch,
                  "Show: the two drawing paths drew different pixels or gave different results");
}

void ClipboardRoundTrip(const CConvertDib& picture, RunChecks& checks) {
    CDib copied;
    if (!CopyFor(copied, picture, checks)) {
        return;
    }
    const BOOL placed = copied.SetClipboard(nullptr);
    checks.Expect(placed != FALSE, "SetClipboard: refused");
    checks.ExpectOutcome(copied, {kSucceeded}, "SetClipboard");
    if (placed != FALSE) {
        CDib pasted;
        const BOOL result = pasted.GetClipboard(nullptr);
        checks.Expect(result != FALSE, "GetClipboard: refused the library's own CF_DIB");
        checks.ExpectConsistent(pasted, result, "GetClipboard");
        PictureContent expected = ContentOf(picture);
        if (expected.bitCount > 8) {
            // Colour entries of a direct-colour picture travel as CF_PALETTE, not in CF_DIB.
            expected.colours.clear();
        }
        checks.Expect(result == FALSE || ContentOf(pasted) == expected,
                      "GetClipboard: the picture came back different");
    }
    EmptyTheClipboard();
}

void SaveAndReadBack(const CConvertDib& picture, RunChecks& checks) {
    CDib saved;
    if (!CopyFor(saved, picture, checks)) {
        return;
    }
    const std::string path = ScratchPath("saved.bmp");
    const BOOL written = saved.SaveAs(path.c_str());
    checks.Expect(written != FALSE, "SaveAs: refused");
    checks.ExpectOutcome(saved, {kSucceeded}, "SaveAs");
    if (written != FALSE) {
        const CDib read{CString(path)};
        checks.ExpectConsistent(read, read.IsSucceed(), "reading the saved file");
        checks.Expect(read.IsSucceed() && ContentOf(read) == ContentOf(picture),
                      "reading the saved file: the picture came back different");
    }
}

} // namespace

void FollowUp(const CConvertDib& picture, RunChecks& checks) {
    ConvertEveryDepth(picture, checks);
    ResizeEveryWay(picture, checks);
    PasteEveryWay(picture, checks);
    DrawBothWays(picture, checks);
    ClipboardRoundTrip(picture, checks);
    SaveAndReadBack(picture, checks);
}

} // namespace orvel::fuzz
