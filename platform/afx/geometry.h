// The published point, size and rectangle records and the framework's value classes over them.
#pragma once

#include "../win/types.h"

struct POINT {
    LONG x;
    LONG y;
};

struct SIZE {
    LONG cx;
    LONG cy;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

using LPPOINT = POINT*;
using LPSIZE = SIZE*;
using LPRECT = RECT*;
using LPCRECT = const RECT*;

/// A width and a height.
class CSize : public SIZE {
public:
    constexpr CSize() noexcept : SIZE{0, 0} {}
    // Members are set in the bodies of these classes' constructors: the static analyzer does not
    // follow a base's aggregate initialiser and would take such members for unset.
    constexpr CSize(int width, int height) noexcept : SIZE{} {
        cx = width;
        cy = height;
    }
    constexpr CSize(SIZE size) noexcept : SIZE(size) {} // NOLINT: published conversion

    friend constexpr bool operator==(const CSize& a, const CSize& b) noexcept {
        return a.cx == b.cx && a.cy == b.cy;
    }
};

/// A position.
class CPoint : public POINT {
public:
    constexpr CPoint() noexcept : POINT{0, 0} {}
    constexpr CPoint(int initX, int initY) noexcept : POINT{} {
        x = initX;
        y = initY;
    }
    constexpr CPoint(POINT point) noexcept : POINT(point) {} // NOLINT: published conversion

    friend constexpr bool operator==(const CPoint& a, const CPoint& b) noexcept {
        return a.x == b.x && a.y == b.y;
    }
};

/// A rectangle given by its left, top, right and bottom edges; right and bottom are exclusive.
class CRect : public RECT {
public:
    constexpr CRect() noexcept : RECT{0, 0, 0, 0} {}
    constexpr CRect(int l, int t, int r, int b) noexcept : RECT{} { SetRect(l, t, r, b); }
    constexpr CRect(RECT rect) noexcept : RECT(rect) {} // NOLINT: published conversion
    constexpr CRect(POINT topLeft, SIZE size) noexcept : RECT{} {
        SetRect(topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy);
    }

    constexpr int Width() const noexcept { return right - left; }
    constexpr int Height() const noexcept { return bottom - top; }
    constexpr CSize Size() const noexcept { return {Width(), Height()}; }
    constexpr CPoint TopLeft() const noexcept { return {left, top}; }
    constexpr BOOL IsRectEmpty() const noexcept { return (Width() <= 0 || Height() <= 0); }
    constexpr BOOL IsRectNull() const noexcept {
        return (left == 0 && top == 0 && right == 0 && bottom == 0);
    }
    constexpr void SetRect(int l, int t, int r, int b) noexcept {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    operator LPRECT() noexcept { return this; }        // NOLINT: published conversion
    operator LPCRECT() const noexcept { return this; } // NOLINT: published conversion

    friend constexpr bool operator==(const CRect& a, const CRect& b) noexcept {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
};
