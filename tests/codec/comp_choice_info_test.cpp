// The static services of CDibComp: the compressor choice and compressor descriptions.
#include "comp_fixture.h"

#include <string>

namespace {

using orvel::test::CompFixture;

constexpr DWORD kRle = mmioFOURCC('m', 'r', 'l', 'e');
constexpr DWORD kFullFrames = mmioFOURCC('D', 'I', 'B', ' ');

struct Chooser {
    BOOL accept = TRUE;
    int calls = 0;
    HWND owner = nullptr;
    LONG shownSize = 0;
    std::string title;

    static BOOL CALLBACK Choose(HWND owner, UINT, LPVOID, LPVOID, PCOMPVARS choice, LPCSTR title,
                                LPVOID context) {
        auto* self = static_cast<Chooser*>(context);
        ++self->calls;
        self->owner = owner;
        self->shownSize = choice->cbSize;
        self->title = title != nullptr ? title : "<none>";
        choice->fccHandler = kRle;
        choice->lQ = 6500;
        return self->accept;
    }
};

using CompDialogTest = CompFixture;

TEST_F(CompDialogTest, AcceptedChoiceComesBackAndLeavesNoCompressorOpen) {
    Chooser chooser;
    ICSetCompressorChooser(&Chooser::Choose, &chooser);
    CWnd parent;
    ASSERT_TRUE(parent.Create(nullptr, "owner", 0, RECT{0, 0, 64, 48}, nullptr, 1));
    DWORD handler = kFullFrames;
    long quality = 100;
    EXPECT_TRUE(CDibComp::GetCompressDlg(&parent, handler, quality, "Compression"));
    EXPECT_EQ(handler, kRle);
    EXPECT_EQ(quality, 6500);
    EXPECT_EQ(chooser.owner, parent.m_hWnd);
    EXPECT_EQ(chooser.title, "Compression");
    EXPECT_EQ(chooser.shownSize, static_cast<LONG>(sizeof(COMPVARS)));
    ICSetCompressorChooser(nullptr, nullptr);
    // The fixture's leak check sees the chosen compressor closed again.
}

TEST_F(CompDialogTest, CancelledChoiceLeavesCodeAndQualityAsTheyWere) {
    Chooser chooser;
    chooser.accept = FALSE;
    ICSetCompressorChooser(&Chooser::Choose, &chooser);
    DWORD handler = kFullFrames;
    long quality = 100;
    EXPECT_FALSE(CDibComp::GetCompressDlg(nullptr, handler, quality, nullptr));
    EXPECT_EQ(chooser.owner, nullptr);
    EXPECT_EQ(chooser.title, "<none>");
    // Without a chooser, the dialog counts as cancelled.
    ICSetCompressorChooser(nullptr, nullptr);
    EXPECT_FALSE(CDibComp::GetCompressDlg(nullptr, handler, quality, "x"));
    EXPECT_EQ(chooser.calls, 1);
    EXPECT_EQ(handler, kFullFrames);
    EXPECT_EQ(quality, 100);
}

TEST_F(CompDialogTest, InfoDescribesInstalledVideoCompressorsOnly) {
    ICINFO info{};
    ASSERT_TRUE(CDibComp::Info(kRle, info));
    EXPECT_EQ(info.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(info.fccHandler, kRle);
    EXPECT_EQ(std::u16string(info.szName), u"RLE8");
    ASSERT_TRUE(CDibComp::Info(kRecorder, info));
    EXPECT_EQ(recorder.Count(ICM_GETINFO), 1);
    EXPECT_EQ(CDibComp::Info(mmioFOURCC('n', 'o', 'n', 'e'), info), 0);
}

} // namespace
