/// @file
/// The published point, size and rectangle records and the framework's value classes over them.
#pragma once

#include "../win/types.h"

/// A point in logical units (pixels here), y growing downward.
struct POINT {
    LONG x; ///< horizontal position
    LONG y; ///< vertical position
};

/// An extent in logical units (pixels here).
struct SIZE {
    LONG cx; ///< width
    LONG cy; ///< height
};

/// A rectangle by its edges; `right` and `bottom` lie just outside it.
struct RECT {
    LONG left;   ///< left edge
    LONG top;    ///< top edge
    LONG right;  ///< right edge, exclusive
    LONG bottom; ///< bottom edge, exclusive
};

/// Pointer to a POINT.
using LPPOINT = POINT*;
/// Pointer to a SIZE.
using LPSIZE = SIZE*;
/// Pointer to a RECT.
using LPRECT = RECT*;
/// Pointer to a RECT that is only read.
using LPCRECT = const RECT*;

/// A width and a height.
class CSize : public SIZE {
public:
    constexpr CSize() noexcept : SIZE{0, 0} {}
    // Members are set in the bodies of these classes' constructors: the static analyzer does not
    // follow a base's aggregate initialiser and would take such members for unset.
    /// A size of `width` x `height`.
    constexpr CSize(int width, int height) noexcept : SIZE{} {
        cx = width;
        cy = height;
    }
    /// The same extent as `size`; implicit, as published.
    constexpr CSize(SIZE size) noexcept : SIZE(size) {} // NOLINT: published conversion

    friend constexpr bool operator==(const CSize& a, const CSize& b) noexcept {
        return a.cx == b.cx && a.cy == b.cy;
    }
};

/// A position.
class CPoint : public POINT {
public:
    constexpr CPoint() noexcept : POINT{0, 0} {}
    /// The point (`initX`, `initY`).
    constexpr CPoint(int initX, int initY) noexcept : POINT{} {
        x = initX;
        y = initY;
    }
    /// The same point as `point`; implicit, as published.
    constexpr CPoint(POINT point) noexcept : POINT(point) {} // NOLINT: published conversion

    friend constexpr bool operator==(const CPoint& a, const CPoint& b) noexcept {
        return a.x == b.x && a.y == b.y;
    }
};

/// A rectangle given by its left, top, right and bottom edges; right and bottom are exclusive.
class CRect : public RECT {
public:
    constexpr CRect() noexcept : RECT{0, 0, 0, 0} {}
    /// The rectangle with edges `l`, `t`, `r`, `b`.
    constexpr CRect(int l, int t, int r, int b) noexcept : RECT{} { SetRect(l, t, r, b); }
    /// The same rectangle as `rect`; implicit, as published.
    constexpr CRect(RECT rect) noexcept : RECT(rect) {} // NOLINT: published conversion
    /// The rectangle of `size` whose top-left corner is `topLeft`.
    constexpr CRect(POINT topLeft, SIZE size) noexcept : RECT{} {
        SetRect(topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy);
    }

    /// right - left; negative when the edges are swapped.
    constexpr int Width() const noexcept { return right - left; }
    /// bottom - top; negative when the edges are swapped.
    constexpr int Height() const noexcept { return bottom - top; }
    /// Width() and Height() as a size.
    constexpr CSize Size() const noexcept { return {Width(), Height()}; }
    /// The top-left corner.
    constexpr CPoint TopLeft() const noexcept { return {left, top}; }
    /// TRUE when the width or the height is 0 or negative.
    constexpr BOOL IsRectEmpty() const noexcept { return (Width() <= 0 || Height() <= 0); }
    /// TRUE when all four edges are 0.
    constexpr BOOL IsRectNull() const noexcept {
        return (left == 0 && top == 0 && right == 0 && bottom == 0);
    }
    /// Sets the four edges.
    constexpr void SetRect(int l, int t, int r, int b) noexcept {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    /// The rectangle as a RECT pointer, for the Win32 calls.
    operator LPRECT() noexcept { return this; } // NOLINT: published conversion
    /// The rectangle as a RECT pointer that is only read.
    operator LPCRECT() const noexcept { return this; } // NOLINT: published conversion

    friend constexpr bool operator==(const CRect& a, const CRect& b) noexcept {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
};
