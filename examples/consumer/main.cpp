// The smallest application of an installed Orvel: it makes a DIB block header and checks the
// library's arithmetic on it.
#include <orvel/orvel.h>

#include <cstdio>

int main() {
    const BITMAPINFOHEADER header = CDibSupport::MakeBIH(10, 10, 8, BI_RGB, 0, 0, 0, 0, 0);
    const BITMAPFILEHEADER file = CDibSupport::MakeBFH(&header);
    if (file.bfOffBits != 1078 || file.bfSize != 1198) {
        std::printf("orvel consumer: unexpected header arithmetic\n");
        return 1;
    }
    std::printf("orvel consumer: ok\n");
    return 0;
}
