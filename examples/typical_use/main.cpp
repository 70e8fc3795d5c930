// The library's typical use: load a BMP file, reduce it to 8 bits per pixel, halve its size,
// draw it and save it.
//
//   typical_use IN.bmp OUT.bmp
#include <orvel/orvel.h>

#include <cstdio>

namespace {

// Every operation reports success as its result and leaves the reason for a failure in the
// object's status record: an error kind and a code.
int Fail(const char* what, const CHTErr& record) {
    unsigned int kind = 0;
    unsigned long code = 0;
    record.GetLastError(kind, code);
    std::fprintf(stderr, "typical_use: %s failed: error kind %u, code %lu\n", what, kind, code);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: typical_use IN.bmp OUT.bmp\n");
        return 2;
    }

    // 1. Load. A constructor that fails leaves the object without a picture and says why.
    CConvertDib picture{CString(argv[1])};
    if (picture.IsFailed()) {
        return Fail("loading", picture);
    }

    // 2. Reduce to 8 bits. Without a palette of our own the colours map onto the halftone
    //    palette. A conversion returns 1 once it ran; the status record tells whether the new
    //    picture was installed, so check both.
    if (!picture.ConvertColor(8, nullptr) || picture.IsFailed()) {
        return Fail("reducing to 8 bits", picture);
    }

    // 3. Halve the size, by dropping every other column and row.
    const CSize size = picture.GetSize();
    if (!picture.ConvertSize(size.cx / 2, size.cy / 2) || picture.IsFailed()) {
        return Fail("halving the size", picture);
    }

    // 4. Draw. A window's paint handler passes its own device context; here a memory context
    //    holding a bitmap stands in for it. (-1, -1) sizes mean "the picture's own size".
    CDC dc;
    CBitmap canvas;
    const CSize half = picture.GetSize();
    if (!dc.CreateCompatibleDC(nullptr) || !canvas.CreateBitmap(half.cx, half.cy, 1, 32, nullptr)) {
        std::fprintf(stderr, "typical_use: no memory device context to draw into\n");
        return 1;
    }
    CBitmap* previous = dc.SelectObject(&canvas);
    const BOOL drawn = picture.Show(&dc, CPoint(0, 0), CSize(-1, -1), CPoint(0, 0), CSize(-1, -1));
    dc.SelectObject(previous);
    if (!drawn) {
        return Fail("drawing", picture);
    }

    // 5. Save.
    if (!picture.SaveAs(argv[2])) {
        return Fail("saving", picture);
    }
    std::printf("%s: %ldx%ld, %u bits\n", argv[2], static_cast<long>(half.cx),
                static_cast<long>(half.cy), static_cast<unsigned>(picture.GetColorNum()));
    return 0;
}
