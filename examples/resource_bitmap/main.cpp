// A bitmap compiled into the program as a resource, loaded by its id as on Windows.
//
// CMakeLists.txt embeds card.bmp with
//     orvel_add_bitmap_resources(resource_bitmap IDB_CARD=101 resource_bitmap/card.bmp)
// which also writes resource.h with `#define IDB_CARD 101`.
//
//   resource_bitmap [OUT.bmp]     prints the bitmap's size and depth, and saves it when asked
#include "resource.h"

#include <orvel/orvel.h>

#include <cstdio>

int main(int argc, char** argv) {
    CDib card(IDB_CARD);
    if (card.IsFailed()) {
        unsigned int kind = 0;
        unsigned long code = 0;
        card.GetLastError(kind, code);
        std::fprintf(stderr, "resource_bitmap: resource %d did not load: error kind %u, code %lu\n",
                     IDB_CARD, kind, code);
        return 1;
    }
    const CSize size = card.GetSize();
    std::printf("resource %d: %ldx%ld, %u bits\n", IDB_CARD, static_cast<long>(size.cx),
                static_cast<long>(size.cy), static_cast<unsigned>(card.GetColorNum()));
    if (argc > 1 && !card.SaveAs(argv[1])) {
        std::fprintf(stderr, "resource_bitmap: cannot save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
