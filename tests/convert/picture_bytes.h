// Pictures for the conversion tests, built and read back byte by byte.
//
// A picture is made as a packed DIB (information header, colour table, bottom-up rows) and loaded
// into an object; results are read from the object's block through a view, and single pixels
// are addressed from (x, row) the plain way, independently of how the library walks its rows.
#pragma once

#include <orvel/orvel.h>

#include "support/bmp_builder.h"
#include "support/live_objects.h"
#include "support/status.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace orvel::test {

/// What a test knows about a picture: its geometry, colour table and bottom-up rows (each row a
/// full stride, padding included).
struct PictureBytes {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    std::vector<RGBQUAD> colours;
    std::vector<std::uint8_t> rows;

    std::size_t Stride() const { return StrideOf(width, bitCount); }
    std::uint8_t* Row(int row) { return rows.data() + Stride() * static_cast<std::size_t>(row); }
};

/// A picture of fixed arbitrary content: a full colour table of random colours for 1, 4 and 8
/// bits, and every byte of the rows, padding included, from a generator seeded with `seed`.
inline PictureBytes ArbitraryPicture(int bitCount, int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    PictureBytes picture{width, height, bitCount, {}, {}};
    if (bitCount <= 8) {
        picture.colours.resize(std::size_t{1} << bitCount);
        for (RGBQUAD& colour : picture.colours) {
            colour = {static_cast<BYTE>(random()), static_cast<BYTE>(random()),
                      static_cast<BYTE>(random()), 0};
        }
    }
    picture.rows.resize(picture.Stride() * static_cast<std::size_t>(height));
    for (std::uint8_t& byte : picture.rows) {
        byte = static_cast<std::uint8_t>(random());
    }
    return picture;
}

/// The BMP file of a picture, and its packed DIB.
inline Bytes FileOf(const PictureBytes& picture) {
    Bytes table;
    for (const RGBQUAD& c : picture.colours) {
        table.insert(table.end(), {c.rgbBlue, c.rgbGreen, c.rgbRed, c.rgbReserved});
    }
    return MakeBmp({.width = picture.width,
                    .height = picture.height,
                    .bitCount = static_cast<std::uint16_t>(picture.bitCount),
                    .sizeImage = static_cast<std::uint32_t>(picture.rows.size()),
                    .table = table,
                    .pixels = picture.rows});
}
inline Bytes PackedDib(const PictureBytes& picture) {
    return Packed(FileOf(picture));
}

/// Loads a picture into an object through its packed DIB.
template <class Object>
void LoadPicture(Object& object, const PictureBytes& picture) {
    std::vector<std::uint8_t> packed = PackedDib(picture);
    ASSERT_TRUE(object.Load(reinterpret_cast<BITMAPINFOHEADER*>(packed.data())));
}

/// The picture a block (or an object's block) holds.
inline PictureBytes HeldPicture(const Bytes& bytes) {
    PictureBytes picture;
    if (bytes.size() < 54) {
        return picture;
    }
    picture.width = static_cast<int>(U32At(bytes, 18));
    picture.height = static_cast<int>(U32At(bytes, 22));
    picture.bitCount = bytes[28] | (bytes[29] << 8);
    const std::size_t offBits = U32At(bytes, 10);
    for (std::size_t at = 54; at + 4 <= offBits; at += 4) {
        picture.colours.push_back({bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]});
    }
    const std::size_t rowBytes = picture.Stride() * static_cast<std::size_t>(picture.height);
    picture.rows.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offBits),
                        bytes.begin() + static_cast<std::ptrdiff_t>(offBits + rowBytes));
    return picture;
}
inline PictureBytes HeldPicture(const CDib& dib) {
    return HeldPicture(BlockBytes(dib));
}

/// Whether two colour tables hold the same bytes.
inline bool SameColours(const std::vector<RGBQUAD>& a, const std::vector<RGBQUAD>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const RGBQUAD& x, const RGBQUAD& y) {
               return std::memcmp(&x, &y, sizeof x) == 0;
           });
}

/// A colour as red, green, blue.
struct Colour {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

/// The raw value of pixel x of a stored row: an index for 1, 4 and 8 bits, the stored
/// little-endian value (the fourth byte included) above.
inline std::uint32_t RawPixelOfRow(const std::uint8_t* row, int bitCount, int x) {
    switch (bitCount) {
    case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1U;
    case 4:
        return (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0xFU;
    default: {
        std::uint32_t value = 0;
        std::memcpy(&value, row + static_cast<std::size_t>(x * (bitCount / 8)),
                    static_cast<std::size_t>(bitCount / 8));
        return value;
    }
    }
}
inline std::uint32_t RawPixel(const PictureBytes& picture, int x, int row) {
    return RawPixelOfRow(picture.rows.data() + picture.Stride() * static_cast<std::size_t>(row),
                         picture.bitCount, x);
}

/// The colour pixel x of a row shows: through the colour table for indexed pictures; 16-bit
/// pixels are 5-5-5 with each field shifted left by 3.
inline Colour PixelColour(const PictureBytes& picture, int x, int row) {
    const std::uint32_t raw = RawPixel(picture, x, row);
    if (picture.bitCount <= 8) {
        const RGBQUAD entry = picture.colours.at(raw);
        return {entry.rgbRed, entry.rgbGreen, entry.rgbBlue};
    }
    if (picture.bitCount == 16) {
        return {static_cast<int>((raw >> 10) & 31) * 8, static_cast<int>((raw >> 5) & 31) * 8,
                static_cast<int>(raw & 31) * 8};
    }
    return {static_cast<int>((raw >> 16) & 0xFF), static_cast<int>((raw >> 8) & 0xFF),
            static_cast<int>(raw & 0xFF)};
}

/// Index of the nearest table entry: smallest squared distance, lowest index among equals.
inline std::uint32_t NearestIndex(const std::vector<RGBQUAD>& table, Colour colour) {
    std::uint32_t best = 0;
    int bestDistance = 1 << 30;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const int dr = table[i].rgbRed - colour.red;
        const int dg = table[i].rgbGreen - colour.green;
        const int db = table[i].rgbBlue - colour.blue;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<std::uint32_t>(i);
        }
    }
    return best;
}

} // namespace orvel::test
