// The clipboard shared with other programs through CLIPBOARD: xclip reads what orvel put there
// and orvel reads what xclip put there, as BMP and PNG, small and 48 MiB (INCR); another program
// taking the clipboard drops orvel's data; an owner that never answers is waited for a bounded
// time.
#include "desktop_fixture.h"

#include <chrono>
#include <thread>

namespace orvel::test {
namespace {

class ClipboardTest : public DesktopTest {
protected:
    void SetUp() override {
        UseScreen(Screen::trueColour24);
        RequirePrograms({"xclip", "pillow"});
    }
    void TearDown() override {
        StopProgram(xclip_);
        DesktopTest::TearDown();
    }

    // xclip owning the clipboard with a file's bytes as `target`, in the foreground so that it
    // can be stopped; returns once the clipboard is its.
    void XclipPuts(const std::string& path, const std::string& target) {
        xclip_ =
            StartProgram({"xclip", "-quiet", "-selection", "clipboard", "-t", target, "-i"}, path);
        ASSERT_GT(xclip_, 0);
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (RunShell("xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -qx " +
                         target) == 0) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        FAIL() << "xclip did not take the clipboard";
    }

    // A picture saved as a BMP file, and its pixels as Pillow reads them.
    static std::vector<BYTE> SavedPixels(CDib& picture, const std::string& path) {
        EXPECT_TRUE(picture.SaveAs(CString(path.c_str())));
        return PillowRgb(path);
    }

    pid_t xclip_ = -1;
};

struct OutgoingCase {
    const char* target;
    int depth;
};

class ClipboardOutgoing : public ClipboardTest,
                          public ::testing::WithParamInterface<OutgoingCase> {};

// The targets orvel lists name what it serves; xclip reads the picture through each.
TEST_P(ClipboardOutgoing, XclipReadsThePicturesPixels) {
    std::unique_ptr<CDib> picture = MakeTestPicture(GetParam().depth, 37, 23);
    const std::vector<BYTE> expected = SavedPixels(*picture, ScratchPath("source.bmp"));
    ASSERT_TRUE(picture->SetClipboard(nullptr));
    const std::string targets = ScratchPath("targets");
    ASSERT_EQ(RunShell("xclip -selection clipboard -t TARGETS -o > " + targets), 0);
    const std::vector<BYTE> listed = ReadFileBytes(targets);
    for (const char* target : {"TARGETS", "image/png", "image/bmp"}) {
        EXPECT_NE(std::string(listed.begin(), listed.end()).find(target), std::string::npos);
    }
    const std::string copy = ScratchPath("copy");
    ASSERT_EQ(RunShell(std::string("xclip -selection clipboard -t ") + GetParam().target +
                       " -o > " + copy),
              0);
    EXPECT_EQ(PillowRgb(copy), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ClipboardOutgoing,
    ::testing::Values(OutgoingCase{"image/png", 24}, OutgoingCase{"image/png", 4},
                      OutgoingCase{"image/png", 32}, OutgoingCase{"image/bmp", 24},
                      OutgoingCase{"image/bmp", 4}, OutgoingCase{"image/bmp", 32}),
    [](const ::testing::TestParamInfo<OutgoingCase>& param) {
        std::string name = param.param.target;
        return name.substr(6) + std::to_string(param.param.depth);
    });

// Pillow turning $in into $out in `format`.
#define ORVEL_PILLOW_SAVES(format)                                                                 \
    "/usr/bin/python3 -c \"from PIL import Image; Image.open('$in').save('$out', '" format "')\""

struct IncomingCase {
    const char* name;
    const char* converter; ///< a shell command turning $in (a BMP) into $out
    const char* target;
};

class ClipboardIncoming : public ClipboardTest,
                          public ::testing::WithParamInterface<IncomingCase> {};

TEST_P(ClipboardIncoming, OrvelGetsTheForeignPicturesPixels) {
    const IncomingCase& param = GetParam();
    if (std::string(param.converter).find("convert ") == 0) {
        RequirePrograms({"convert"});
        if (IsSkipped()) {
            return;
        }
    }
    std::unique_ptr<CDib> source = MakeTestPicture(24, 37, 23);
    const std::string in = ScratchPath("in.bmp");
    const std::string out = ScratchPath("out");
    const std::vector<BYTE> expected = SavedPixels(*source, in);
    ASSERT_EQ(RunShell("in=" + in + " out=" + out + "; " + param.converter), 0);
    XclipPuts(out, param.target);
    CDib fetched;
    ASSERT_TRUE(fetched.GetClipboard(nullptr));
    EXPECT_EQ(SavedPixels(fetched, ScratchPath("fetched.bmp")), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Producers, ClipboardIncoming,
    ::testing::Values(IncomingCase{"pillow_png", ORVEL_PILLOW_SAVES("PNG"), "image/png"},
                      IncomingCase{"imagemagick_png", "convert $in PNG:$out", "image/png"},
                      IncomingCase{"pillow_bmp", ORVEL_PILLOW_SAVES("BMP"), "image/bmp"},
                      IncomingCase{"imagemagick_bmp_v5", "convert $in BMP:$out", "image/bmp"}),
    [](const ::testing::TestParamInfo<IncomingCase>& param) { return param.param.name; });

// 4096 x 4096 at 24 bits: 48 MiB, more than any one request carries, so both directions go in
// pieces.
TEST_F(ClipboardTest, FortyEightMebibytesCrossBothWays) {
    std::unique_ptr<CDib> big = MakeTestPicture(24, 4096, 4096);
    const std::string bigFile = ScratchPath("big.bmp");
    ASSERT_TRUE(big->SaveAs(CString(bigFile.c_str())));
    const std::vector<BYTE> original = ReadFileBytes(bigFile);
    ASSERT_GT(original.size(), std::size_t{48} << 20);

    ASSERT_TRUE(big->SetClipboard(nullptr));
    const std::string read = ScratchPath("read.bmp");
    ASSERT_EQ(RunShell("xclip -selection clipboard -t image/bmp -o > " + read), 0);
    EXPECT_TRUE(ReadFileBytes(read) == original) << "xclip read a different file";

    XclipPuts(bigFile, "image/bmp");
    CDib fetched;
    ASSERT_TRUE(fetched.GetClipboard(nullptr));
    const std::string saved = ScratchPath("fetched.bmp");
    ASSERT_TRUE(fetched.SaveAs(CString(saved.c_str())));
    EXPECT_TRUE(ReadFileBytes(saved) == original) << "orvel fetched a different picture";
}

TEST_F(ClipboardTest, AnotherProgramTakingTheClipboardDropsOrvelsData) {
    std::unique_ptr<CDib> picture = MakeTestPicture(8, 5, 3);
    ASSERT_TRUE(picture->SetClipboard(nullptr));
    ASSERT_GE(CountClipboardFormats(), 1);
    const std::string text = ScratchPath("text");
    WriteFileBytes(text, {'h', 'i'});
    XclipPuts(text, "UTF8_STRING");
    for (int attempt = 0; attempt < 200 && CountClipboardFormats() != 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(CountClipboardFormats(), 0);
    // Text is no picture: nothing on the clipboard is one now.
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_PALETTE));
}

TEST_F(ClipboardTest, UnansweredRequestFailsAfterABoundedWait) {
    std::unique_ptr<CDib> source = MakeTestPicture(24, 5, 3);
    const std::string file = ScratchPath("small.bmp");
    ASSERT_TRUE(source->SaveAs(CString(file.c_str())));
    XclipPuts(file, "image/bmp");
    orvel::testing::SetSelectionWait(300);
    orvel::testing::InjectFault(orvel::testing::kFaultSelectionReply, 1, true);
    ASSERT_TRUE(OpenClipboard(nullptr));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetClipboardData(CF_DIB), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::seconds(3));
    EXPECT_TRUE(CloseClipboard());
    EXPECT_TRUE(orvel::testing::FaultFired());
}

} // namespace
} // namespace orvel::test
