// Headless windows: lifetime and live counts, client surfaces that window contexts draw into,
// and the update area that repaint requests collect in.
#include <orvel/orvel.h>

#include "platform/drawing_helpers.h"
#include "platform/last_error.h"
#include "support/live_objects.h"

#include <gtest/gtest.h>

namespace {

using namespace orvel::test;

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

HWND MakeWindow(int width, int height, HWND parent = nullptr) {
    return CreateWindowExA(0, "OrvelTest", "test", parent != nullptr ? WS_CHILD : WS_OVERLAPPED, 0,
                           0, width, height, parent, nullptr, nullptr, nullptr);
}

using WindowLifetimeTest = LeakCheckedTest;

TEST_F(WindowLifetimeTest, WindowsAreCountedAndDestroyedWithTheirChildren) {
    HWND parent = MakeWindow(30, 20);
    HWND child = MakeWindow(10, 10, parent);
    HWND grandchild = MakeWindow(5, 5, child);
    ASSERT_NE(grandchild, nullptr);
    EXPECT_TRUE(IsWindow(child));
    RECT client{};
    EXPECT_TRUE(GetClientRect(parent, &client));
    EXPECT_TRUE(SameRect(client, RECT{0, 0, 30, 20}));

    EXPECT_TRUE(DestroyWindow(parent));
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(grandchild));
    EXPECT_REFUSED(DestroyWindow(parent), FALSE, ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(WindowLifetimeTest, RefusesEmptySizesAndBadParentsAndFrameworkWindowsEndWithTheirObject) {
    EXPECT_REFUSED(MakeWindow(0, 10), nullptr, ERROR_INVALID_PARAMETER);
    HWND gone = MakeWindow(4, 4);
    DestroyWindow(gone);
    EXPECT_REFUSED(MakeWindow(4, 4, gone), nullptr, ERROR_INVALID_WINDOW_HANDLE);
    HWND byDefault = CreateWindowExA(0, "c", "t", 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                     CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    RECT client{};
    GetClientRect(byDefault, &client);
    EXPECT_TRUE(SameRect(client, RECT{0, 0, 640, 480}));
    EXPECT_REFUSED(GetClientRect(byDefault, nullptr), FALSE, ERROR_INVALID_PARAMETER);
    DestroyWindow(byDefault);

    // A framework window is destroyed with its object (the program's count check sees it).
    CWnd window;
    ASSERT_TRUE(window.Create(nullptr, "w", WS_VISIBLE, RECT{5, 5, 25, 15}, nullptr, 1));
    EXPECT_FALSE(window.Create(nullptr, "again", 0, RECT{0, 0, 1, 1}, nullptr, 2));
    window.GetClientRect(&client);
    EXPECT_TRUE(SameRect(client, RECT{0, 0, 20, 10}));
}

using WindowDrawingTest = LeakCheckedTest;

TEST_F(WindowDrawingTest, WindowContextsDrawIntoTheClientSurfaceOnlyAndTheScreenIntoItsOwn) {
    HWND window = MakeWindow(8, 6);
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetObjectType(dc), OBJ_DC);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0)) << "a new window is black";
    EXPECT_EQ(SetPixel(dc, 7, 5, RGB(10, 20, 30)), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(dc, 8, 5), CLR_INVALID) << "the client area ends at its width";

    // A second context of the same window sees the same pixels; the screen does not.
    {
        CClientDC client(nullptr);
        EXPECT_NE(client.m_hDC, nullptr) << "a client context for no window is the screen's";
    }
    CWnd wrapper;
    ASSERT_TRUE(wrapper.Attach(window));
    {
        CClientDC client(&wrapper);
        EXPECT_EQ(client.GetPixel(7, 5), RGB(10, 20, 30));
        TestDib dib(2, 2, 24);
        dib.Set(0, 0, RawOf(RGB(255, 0, 0)));
        EXPECT_EQ(StretchDIBits(client, 6, 4, 4, 4, 0, 0, 2, 2, dib.Bits(), dib.Info(),
                                DIB_RGB_COLORS, SRCCOPY),
                  2)
            << "clipped at the client area's edge";
        EXPECT_EQ(client.GetPixel(6, 4), RGB(255, 0, 0));
        EXPECT_EQ(client.GetPixel(7, 5), RGB(255, 0, 0));
    }
    EXPECT_EQ(wrapper.Detach(), window) << "detached, the window outlives the object";

    // Contexts outliving their window draw nothing and say why.
    DestroyWindow(window);
    EXPECT_REFUSED(GetPixel(dc, 0, 0), CLR_INVALID, ERROR_INVALID_HANDLE);
    EXPECT_EQ(ReleaseDC(window, dc), 1);
    EXPECT_REFUSED(GetDC(window), nullptr, ERROR_INVALID_WINDOW_HANDLE);

    // The screen is a 32-bit surface of the documented size.
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), kScreenWidth);
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), kScreenHeight);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    const COLORREF before = GetPixel(screen, kScreenWidth - 1, kScreenHeight - 1);
    EXPECT_EQ(SetPixel(screen, kScreenWidth - 1, kScreenHeight - 1, RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(screen, kScreenWidth - 1, kScreenHeight - 1), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(screen, kScreenWidth, 0), CLR_INVALID);
    SetPixel(screen, kScreenWidth - 1, kScreenHeight - 1, before);
    ReleaseDC(nullptr, screen);
}

using UpdateAreaTest = LeakCheckedTest;

// Each step invalidates or validates a rectangle (none: the whole client area) and the update
// area's bounding rectangle follows: united, clipped to the client area, shrunk only by a band
// along one side.
TEST_F(UpdateAreaTest, InvalidationUnitesAndValidationShrinksTheBoundingRectangle) {
    HWND window = MakeWindow(100, 50);
    RECT update{1, 1, 1, 1};
    EXPECT_FALSE(GetUpdateRect(window, &update, FALSE));
    EXPECT_TRUE(SameRect(update, RECT{0, 0, 0, 0}));
    const struct {
        BOOL (*change)(HWND, const RECT*);
        RECT rect; // left > right: none
        RECT expected;
    } steps[] = {
        {[](HWND w, const RECT* r) { return InvalidateRect(w, r, FALSE); },
         {10, 10, 20, 20},
         {10, 10, 20, 20}},
        {[](HWND w, const RECT* r) { return InvalidateRect(w, r, FALSE); },
         {50, 5, 200, 15},
         {10, 5, 100, 20}},
        {[](HWND w, const RECT* r) { return InvalidateRect(w, r, TRUE); },
         {200, 200, 300, 300},
         {10, 5, 100, 20}},
        {ValidateRect, {1, 0, 0, 0}, {0, 0, 0, 0}},
        {[](HWND w, const RECT* r) { return InvalidateRect(w, r, FALSE); },
         {1, 0, 0, 0},
         {0, 0, 100, 50}},
        {ValidateRect, {0, 0, 100, 10}, {0, 10, 100, 50}},
        {ValidateRect, {40, 0, 60, 50}, {0, 10, 100, 50}}, // a hole keeps the bounding rectangle
        {ValidateRect, {0, 0, 30, 50}, {30, 10, 100, 50}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.rect.left);
        EXPECT_TRUE(step.change(window, step.rect.left > step.rect.right ? nullptr : &step.rect));
        EXPECT_EQ(GetUpdateRect(window, &update, FALSE), step.expected.right != 0);
        EXPECT_TRUE(step.expected.right == 0 || SameRect(update, step.expected));
    }
    EXPECT_REFUSED(InvalidateRect(reinterpret_cast<HWND>(std::uintptr_t{0x10}), nullptr, FALSE),
                   FALSE, ERROR_INVALID_WINDOW_HANDLE);
    DestroyWindow(window);
}

TEST_F(UpdateAreaTest, BeginPaintHandsOverTheAreaAndTheEraseRequest) {
    HWND window = MakeWindow(40, 40);
    const RECT area{1, 2, 3, 4};
    InvalidateRect(window, &area, FALSE);
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(paint.hdc, dc);
    EXPECT_FALSE(paint.fErase) << "invalidated without erasing";
    EXPECT_TRUE(SameRect(paint.rcPaint, area));
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE)) << "the repaint validated the area";
    EXPECT_TRUE(EndPaint(window, &paint));

    InvalidateRect(window, &area, FALSE);
    InvalidateRect(window, &area, TRUE);
    BeginPaint(window, &paint);
    EXPECT_TRUE(paint.fErase) << "any request to erase stays until the repaint";
    EndPaint(window, &paint);

    // A null window invalidates every window.
    HWND other = MakeWindow(5, 5);
    EXPECT_TRUE(InvalidateRect(nullptr, nullptr, FALSE));
    RECT update{};
    EXPECT_TRUE(GetUpdateRect(window, &update, FALSE));
    EXPECT_TRUE(GetUpdateRect(other, &update, FALSE));
    EXPECT_TRUE(SameRect(update, RECT{0, 0, 5, 5}));
    DestroyWindow(other);
    DestroyWindow(window);
}

} // namespace
