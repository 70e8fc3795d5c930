// AVI files: the RIFF structure chunk by chunk, the index, word padding, frames that ffmpeg
// decodes to the tool's own frames, and files that are not written when a frame does not fit.
#include "tool_test_support.h"

#include "../../tools/orvel/avi_writer.h"

#include <cstdio>

namespace {

using namespace orvel::test;

// One chunk of a RIFF file; lists and the RIFF form hold their children.
struct Chunk {
    std::string id;
    std::string form;       ///< the list type of RIFF and LIST chunks
    std::size_t offset = 0; ///< of the chunk's id in the file
    Bytes data;
    std::vector<Chunk> children;

    // A missing chunk is a failure, and reads as an empty one.
    const Chunk& Find(const std::string& wanted) const {
        static const Chunk none;
        for (const Chunk& child : children) {
            if (child.id == wanted || child.form == wanted) {
                return child;
            }
        }
        ADD_FAILURE() << "no " << wanted << " in " << id << " " << form;
        return none;
    }
};

std::string Code(const Bytes& bytes, std::size_t at) {
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

// Reads the chunks in [begin, end); every chunk of odd length must be followed by a pad byte.
std::vector<Chunk> ParseChunks(const Bytes& file, std::size_t begin, std::size_t end) {
    std::vector<Chunk> chunks;
    std::size_t at = begin;
    while (at + 8 <= end) {
        Chunk chunk;
        chunk.offset = at;
        chunk.id = Code(file, at);
        const std::uint32_t size = U32At(file, at + 4);
        if (at + 8 + size > end) {
            ADD_FAILURE() << chunk.id << " at " << at << " runs past its parent";
            break;
        }
        if (chunk.id == "RIFF" || chunk.id == "LIST") {
            chunk.form = Code(file, at + 8);
            chunk.children = ParseChunks(file, at + 12, at + 8 + size);
        } else {
            chunk.data.assign(file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                              file.begin() + static_cast<std::ptrdiff_t>(at + 8 + size));
        }
        at += 8 + size + (size & 1);
        chunks.push_back(std::move(chunk));
    }
    EXPECT_EQ(at, end) << "chunks do not fill their parent exactly";
    return chunks;
}

Chunk ParseAvi(const Bytes& file) {
    const std::vector<Chunk> top = ParseChunks(file, 0, file.size());
    EXPECT_EQ(top.size(), 1U);
    EXPECT_EQ(U32At(file, 4), file.size() - 8);
    return top.empty() ? Chunk{} : top[0];
}

// The frames of the movi list, checked against the index: one entry per frame, a key frame,
// its offset counted from the 'movi' code, its length.
std::vector<Bytes> CheckedFrames(const Bytes& file, const Chunk& avi, const std::string& chunkId) {
    const Chunk* movi = &avi.Find("movi");
    const Chunk* index = &avi.Find("idx1");
    std::vector<Bytes> frames;
    EXPECT_EQ(index->data.size(), 16 * movi->children.size());
    for (std::size_t i = 0; i < movi->children.size() && 16 * i + 16 <= index->data.size(); ++i) {
        const Chunk& frame = movi->children[i];
        EXPECT_EQ(frame.id, chunkId);
        EXPECT_EQ(Code(index->data, 16 * i), chunkId);
        EXPECT_EQ(U32At(index->data, 16 * i + 4), 0x10U) << "AVIIF_KEYFRAME";
        EXPECT_EQ(movi->offset + 8 + U32At(index->data, 16 * i + 8), frame.offset);
        EXPECT_EQ(U32At(index->data, 16 * i + 12), frame.data.size());
        EXPECT_EQ(U32At(file, frame.offset + 4), frame.data.size());
        frames.push_back(frame.data);
    }
    return frames;
}

constexpr int kWidth = 13;
constexpr int kHeight = 7;
constexpr int kFrames = 3;

// Frames whose content differs, with runs for the run-length coder to find.
std::vector<std::string> WriteFrames(const ScratchDir& dir) {
    std::vector<std::string> paths;
    for (int i = 0; i < kFrames; ++i) {
        std::vector<COLORREF> colours = SomeColours(kWidth * kHeight, 30 + i);
        std::fill(colours.begin() + 20, colours.begin() + 40, RGB(255, 255, 0));
        paths.push_back(
            dir.Write("frame" + std::to_string(i) + ".bmp", Bmp24(kWidth, kHeight, colours)));
    }
    return paths;
}

struct CodecCase {
    const char* codec;
    const char* handler;
    const char* chunkId;
    std::uint32_t compression;
    std::uint16_t bitCount;
};

class AviFileTest : public ::testing::TestWithParam<CodecCase> {};

// The headers, the frames and the index agree; ffmpeg decodes the frames to what the tool's own
// conversion of each frame to the codec's depth gives.
TEST_P(AviFileTest, HoldsHeadersFramesAndAnIndexThatAgreeAndFfmpegDecodes) {
    const CodecCase& test = GetParam();
    const ScratchDir dir;
    std::vector<std::string> arguments = {"avi",   "-o", dir.Path("out.avi"), "--codec", test.codec,
                                          "--fps", "7"};
    const std::vector<std::string> frames = WriteFrames(dir);
    arguments.insert(arguments.end(), frames.begin(), frames.end());
    ASSERT_TRUE(OrvelSucceeds(arguments));

    const Bytes file = ReadFileBytes(dir.Path("out.avi"));
    const Chunk avi = ParseAvi(file);
    EXPECT_EQ(avi.form, "AVI ");
    const Chunk& avih = avi.Find("hdrl").Find("avih");
    ASSERT_EQ(avih.data.size(), 56U);
    EXPECT_EQ(U32At(avih.data, 0), 1000000U / 7);            // dwMicroSecPerFrame
    EXPECT_EQ(U32At(avih.data, 12) & 0x10, 0x10U);           // AVIF_HASINDEX
    EXPECT_EQ(U32At(avih.data, 16), std::uint32_t{kFrames}); // dwTotalFrames
    EXPECT_EQ(U32At(avih.data, 24), 1U);                     // dwStreams
    EXPECT_EQ(U32At(avih.data, 32), std::uint32_t{kWidth});
    EXPECT_EQ(U32At(avih.data, 36), std::uint32_t{kHeight});
    const Chunk& strh = avi.Find("hdrl").Find("strl").Find("strh");
    ASSERT_GE(strh.data.size(), 36U);
    EXPECT_EQ(Code(strh.data, 0), "vids");
    EXPECT_EQ(Code(strh.data, 4), test.handler);
    EXPECT_EQ(U32At(strh.data, 20), 1U);                     // dwScale
    EXPECT_EQ(U32At(strh.data, 24), 7U);                     // dwRate
    EXPECT_EQ(U32At(strh.data, 32), std::uint32_t{kFrames}); // dwLength
    const Chunk& strf = avi.Find("hdrl").Find("strl").Find("strf");
    ASSERT_EQ(strf.data.size(), 40 + (test.bitCount == 8 ? 1024U : 0U));
    EXPECT_EQ(U32At(strf.data, 4), std::uint32_t{kWidth});
    EXPECT_EQ(U32At(strf.data, 8), std::uint32_t{kHeight});
    EXPECT_EQ(strf.data[14], test.bitCount);
    EXPECT_EQ(U32At(strf.data, 16), test.compression);
    EXPECT_EQ(CheckedFrames(file, avi, test.chunkId).size(), std::size_t{kFrames});

    if (!HasProgram("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is not installed to decode the file";
    }
    const Finished decode =
        RunProgram("ffmpeg", {"-v", "error", "-i", dir.Path("out.avi"), "-f", "rawvideo",
                              "-pix_fmt", "bgr24", "-y", dir.Path("decoded.raw")});
    ASSERT_EQ(decode.exitCode, 0) << decode.err;
    const Bytes raw = ReadFileBytes(dir.Path("decoded.raw"));
    ASSERT_EQ(raw.size(), std::size_t{3} * kWidth * kHeight * kFrames);
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_TRUE(OrvelSucceeds({"convert", frames[static_cast<std::size_t>(i)], "--depth",
                                   std::to_string(test.bitCount), "-o", dir.Path("own.bmp")}));
        const BmpFile own = ReadBmp(ReadFileBytes(dir.Path("own.bmp")));
        for (std::size_t p = 0; p < own.colours.size(); ++p) {
            const std::uint8_t* bgr =
                raw.data() + 3 * (static_cast<std::size_t>(i) * kWidth * kHeight + p);
            ASSERT_EQ(RGB(bgr[2], bgr[1], bgr[0]), own.colours[p])
                << "frame " << i << " pixel " << p;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tool, AviFileTest,
                         ::testing::Values(CodecCase{"mrle", "mrle", "00dc", BI_RLE8, 8},
                                           CodecCase{"dib", "DIB ", "00db", BI_RGB, 24}),
                         [](const auto& test) { return std::string(test.param.codec); });

TEST(AviFailureTest, AFrameOfAnotherSizeStopsTheFileAndLeavesAnOldOneAlone) {
    const ScratchDir dir;
    const std::vector<std::string> frames = WriteFrames(dir);
    const std::string odd = dir.Write("odd.bmp", Bmp24(kWidth + 1, kHeight, SomeColours(98)));
    const Bytes earlier = {'o', 'l', 'd'};
    const std::string output = dir.Write("out.avi", earlier);
    const Finished run = Orvel({"avi", frames[0], frames[1], odd, frames[2], "-o", output});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "orvel: cannot add '" + odd + "' to '" + output +
                           "': the frame is 14x7 at 8 bits, the first frame 13x7 at 8 bits\n");
    EXPECT_EQ(ReadFileBytes(output), earlier); // the unfinished file is the atomic output's to drop
}

TEST(AviPaletteTest, FramesWithTablesOfTheirOwnShareTheChosenPalette) {
    const ScratchDir dir;
    std::vector<std::string> frames;
    for (std::uint32_t i = 0; i < 2; ++i) {
        frames.push_back(dir.Write("frame" + std::to_string(i) + ".bmp",
                                   IndexedBmp(kWidth, kHeight, SomeColours(256, 50 + i),
                                              std::vector<std::uint8_t>(kWidth * kHeight, 200))));
    }
    ASSERT_TRUE(
        OrvelSucceeds({"avi", frames[0], frames[1], "--palette", "16", "-o", dir.Path("out.avi")}));
    const Chunk avi = ParseAvi(ReadFileBytes(dir.Path("out.avi")));
    const Chunk& strf = avi.Find("hdrl").Find("strl").Find("strf");
    ASSERT_EQ(strf.data.size(), 40U + 1024);
    std::vector<COLORREF> table;
    for (std::size_t i = 0; i < 256; ++i) {
        const std::uint8_t* quad = strf.data.data() + 40 + 4 * i;
        table.push_back(RGB(quad[2], quad[1], quad[0]));
    }
    std::vector<COLORREF> expected = StandardPalette(4);
    expected.resize(256, 0); // entries no pixel uses are zero
    EXPECT_EQ(table, expected);
}

TEST(AviWriterTest, PadsOddChunksAndCountsOffsetsFromTheMoviCode) {
    const ScratchDir dir;
    const std::string path = dir.Path("writer.avi");
    {
        orvel::cli::AviVideoFormat format;
        format.handler = mmioFOURCC('m', 'r', 'l', 'e');
        format.format = Bytes(41, 0x77); // odd, so strf is padded too
        format.width = 2;
        format.height = 1;
        format.framesPerSecond = 25;
        orvel::cli::AviWriter writer(path, "writer.avi", format);
        writer.AddFrame("abc", 3, true);
        writer.AddFrame("defg", 4, true);
        writer.AddFrame("h", 1, true);
        writer.Finish();
    }
    const Bytes file = ReadFileBytes(path);
    const Chunk avi = ParseAvi(file);
    const std::vector<Bytes> frames = CheckedFrames(file, avi, "00dc");
    ASSERT_EQ(frames.size(), 3U);
    EXPECT_EQ(frames[0], (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(frames[1], (Bytes{'d', 'e', 'f', 'g'}));
    EXPECT_EQ(frames[2], (Bytes{'h'}));
    // The first chunk follows the 'movi' code: offset 4.
    EXPECT_EQ(U32At(avi.Find("idx1").data, 8), 4U);
    // dwSuggestedBufferSize: the largest frame.
    EXPECT_EQ(U32At(avi.Find("hdrl").Find("avih").data, 28), 4U);
}

} // namespace
