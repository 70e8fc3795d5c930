#include "picture_io.h"

#include "atomic_output.h"
#include "failure.h"
#include "status_words.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <unistd.h>

namespace orvel::cli {

namespace {

// The library's own load: it names a missing or unreadable file, and a file of no known format,
// in the status words every command uses.
void LoadThroughLibrary(CDib& picture, const std::string& path) {
    BOOL loaded = FALSE;
    try {
        loaded = picture.Load(CString(path));
    } catch (const CFileException& error) {
        // A read error after the file was opened passes out of the load as an exception.
        throw Failure("cannot load '" + path + "': " +
                      StatusInWords(HTERR_FILE, static_cast<unsigned long>(error.m_cause),
                                    StatusSource::Picture));
    }
    if (!loaded || picture.IsFailed()) {
        throw Failure("cannot load '" + path +
                      "': " + StatusInWords(picture, StatusSource::Picture));
    }
}

/// A file written straight from an encoder's pieces, with plain system calls: a file stream would
/// set up the C++ locale machinery, a quarter of a megabyte of the process for a byte copy.
class OutputFile {
public:
    explicit OutputFile(const std::string& path)
        : file_(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)),
          failure_(file_ < 0 ? errno : 0) {}
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { Close(); }

    bool Write(const std::uint8_t* bytes, std::size_t count) noexcept {
        while (failure_ == 0 && count > 0) {
            const ssize_t written = write(file_, bytes, count);
            if (written < 0 && errno != EINTR) {
                failure_ = errno;
            } else if (written > 0) {
                bytes += written;
                count -= static_cast<std::size_t>(written);
            }
        }
        return failure_ == 0;
    }

    /// Closes the file; the errno of the first failure, or 0.
    int Close() noexcept {
        if (file_ >= 0 && close(file_) != 0 && failure_ == 0) {
            failure_ = errno;
        }
        file_ = -1;
        return failure_;
    }

private:
    int file_;
    int failure_;
};

} // namespace

void LoadPicture(CDib& picture, const std::string& path) {
    formats::Error error;
    HGLOBAL block = formats::ReadPictureFile(path, formats::ReadOptions{}, &error);
    if (block != nullptr) {
        // The block is canonical: the object keeps it as it stands.
        if (!picture.AttachHandle(block) || picture.IsFailed()) {
            throw Failure("cannot load '" + path +
                          "': " + StatusInWords(picture, StatusSource::Picture));
        }
        return;
    }
    if (error.failure == formats::Failure::fileError ||
        error.failure == formats::Failure::unknownFormat) {
        LoadThroughLibrary(picture, path);
        return;
    }
    throw FormatRefusal(path, error.message);
}

void SavePicture(CDib& picture, AtomicOutput& output, const SaveOptions& options) {
    const formats::Format format = options.format != formats::Format::unknown
                                       ? options.format
                                       : formats::FormatOfExtension(output.Path());
    if (format != formats::Format::png && format != formats::Format::jpeg) {
        if (!picture.SaveAs(output.TemporaryPath().c_str())) {
            throw Failure("cannot save '" + output.Path() +
                          "': " + StatusInWords(picture, StatusSource::Picture));
        }
        return;
    }
    OutputFile file(output.TemporaryPath());
    formats::Error error;
    const bool encoded = formats::EncodePicture(
        picture.GetSafeHandle(), format, options.write,
        [&file](const std::uint8_t* bytes, std::size_t count) { return file.Write(bytes, count); },
        &error);
    if (const int failure = file.Close(); failure != 0) {
        throw Failure("cannot save '" + output.Path() + "': " + SystemMessage(failure));
    }
    if (!encoded) {
        throw Failure("cannot save '" + output.Path() + "': " + error.message);
    }
}

void SavePicture(CDib& picture, const std::string& path, const SaveOptions& options) {
    AtomicOutput output(path);
    SavePicture(picture, output, options);
    output.Commit();
}

void RequireSuccess(BOOL result, const CHTErr& record, const std::string& operation,
                    const std::string& path) {
    if (result == 0 || record.IsFailed()) {
        throw Failure("cannot " + operation + " '" + path +
                      "': " + StatusInWords(record, StatusSource::Picture));
    }
}

std::vector<PALETTEENTRY> PictureColours(const CDib& picture) {
    std::vector<PALETTEENTRY> colours;
    if (picture.GetSafeHandle() == nullptr) {
        return colours;
    }
    const CDibInfo view(picture.GetSafeHandle());
    if (view.GetDIB() == nullptr) {
        return colours;
    }
    const BITMAPINFOHEADER header = picture.GetBIH();
    const WORD entryCount = CDibSupport::GetPaletteEntryNum(header);
    const auto* table = reinterpret_cast<const BYTE*>(view.GetColors());
    colours.reserve(entryCount);
    for (WORD i = 0; i < entryCount; ++i) {
        // RGBQUAD order in the table: blue, green, red, reserved.
        const BYTE* quad = table + 4U * i;
        colours.push_back(PALETTEENTRY{quad[2], quad[1], quad[0], 0});
    }
    return colours;
}

std::vector<COLORREF> PictureColourRefs(const CDib& picture) {
    std::vector<COLORREF> colours;
    const CDibInfo view(picture.GetSafeHandle());
    if (view.GetDIB() == nullptr) {
        return colours;
    }
    const BITMAPINFOHEADER header = picture.GetBIH();
    const LONG width = header.biWidth;
    const LONG height = header.biHeight;
    const WORD bitCount = header.biBitCount;
    const DWORD stride = CDibSupport::GetBytePerLine(header);
    const auto* table = reinterpret_cast<const BYTE*>(view.GetColors());
    const BYTE* pixels = view.GetImage();
    auto tableColour = [&](unsigned index) {
        const BYTE* quad = table + 4U * index;
        return RGB(quad[2], quad[1], quad[0]);
    };
    colours.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (LONG y = 0; y < height; ++y) {
        const BYTE* row =
            pixels + static_cast<std::size_t>(stride) * static_cast<std::size_t>(height - 1 - y);
        for (LONG x = 0; x < width; ++x) {
            const auto ux = static_cast<unsigned>(x);
            switch (bitCount) {
            case 1:
                colours.push_back(tableColour((row[ux / 8] >> (7 - ux % 8)) & 1U));
                break;
            case 4:
                colours.push_back(tableColour((row[ux / 2] >> (ux % 2 == 0 ? 4 : 0)) & 0xFU));
                break;
            case 8:
                colours.push_back(tableColour(row[ux]));
                break;
            case 16: {
                const unsigned word = row[2 * ux] | row[2 * ux + 1] << 8;
                auto widen = [](unsigned field) {
                    return static_cast<BYTE>((field << 3) | (field >> 2));
                };
                colours.push_back(
                    RGB(widen(word >> 10 & 31), widen(word >> 5 & 31), widen(word & 31)));
                break;
            }
            default: {
                const BYTE* pixel = row + ux * (bitCount / 8U);
                colours.push_back(RGB(pixel[2], pixel[1], pixel[0]));
                break;
            }
            }
        }
    }
    return colours;
}

bool SameColours(const std::vector<PALETTEENTRY>& first, const std::vector<PALETTEENTRY>& second) {
    return std::equal(first.begin(), first.end(), second.begin(), second.end(),
                      [](const PALETTEENTRY& a, const PALETTEENTRY& b) {
                          return a.peRed == b.peRed && a.peGreen == b.peGreen &&
                                 a.peBlue == b.peBlue;
                      });
}

bool SamePicture(const CDib& first, const CDib& second) {
    const BITMAPINFOHEADER firstHeader = first.GetBIH();
    const BITMAPINFOHEADER secondHeader = second.GetBIH();
    if (std::memcmp(&firstHeader, &secondHeader, sizeof firstHeader) != 0 ||
        !SameColours(PictureColours(first), PictureColours(second))) {
        return false;
    }
    const CDibInfo firstView(first.GetSafeHandle());
    const CDibInfo secondView(second.GetSafeHandle());
    if (firstView.GetDIB() == nullptr || secondView.GetDIB() == nullptr) {
        return false;
    }
    return std::memcmp(firstView.GetImage(), secondView.GetImage(),
                       CDibSupport::GetImageSize(firstHeader)) == 0;
}

void MakePaletteFrom(const std::vector<PALETTEENTRY>& colours, CPalette& palette) {
    const std::size_t count = colours.empty() ? 1 : std::min<std::size_t>(colours.size(), 256);
    std::vector<BYTE> bytes(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    auto* logPalette = reinterpret_cast<LOGPALETTE*>(bytes.data());
    logPalette->palVersion = 0x0300;
    logPalette->palNumEntries = static_cast<WORD>(std::min<std::size_t>(colours.size(), 256));
    for (std::size_t i = 0; i < logPalette->palNumEntries; ++i) {
        logPalette->palPalEntry[i] =
            PALETTEENTRY{colours[i].peRed, colours[i].peGreen, colours[i].peBlue, 0};
    }
    if (!palette.CreatePalette(logPalette)) {
        throw Failure("cannot make a palette of " + std::to_string(colours.size()) + " colours: " +
                      StatusInWords(HTERR_SYSTEM, GetLastError(), StatusSource::Picture));
    }
}

std::string DescribePicture(const CDib& picture) {
    const BITMAPINFOHEADER header = picture.GetBIH();
    return std::to_string(header.biWidth) + "x" + std::to_string(header.biHeight) + ", " +
           std::to_string(header.biBitCount) + (header.biBitCount == 1 ? " bit" : " bits");
}

} // namespace orvel::cli
