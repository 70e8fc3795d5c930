// The static services of CDibComp: the compressor choice and compressor descriptions.
#include "comp_fixture.h"

#include <string>

namespace {

using orvel::test::CompFixture;

constexpr DWORD kRle = mmioFOURCC('m', 'r', 'l', 'e');

struct Chooser {
    BOOL accept = TRUE;
    DWORD handler = kRle;
    LONG quality = 6500;
    int calls = 0;
    HWND owner = nullptr;
    UINT flags = 99;
    LPVOID input = reinterpret_cast<LPVOID>(1);
    COMPVARS shown{};
    std::string title;

    static BOOL CALLBACK Choose(HWND owner, UINT flags, LPVOID input, LPVOID, PCOMPVARS choice,
                                LPCSTR title, LPVOID context) {
        auto* self = static_cast<Chooser*>(context);
        ++self->calls;
        self->owner = owner;
        self->flags = flags;
        self->input = input;
        self->shown = *choice;
        self->title = title != nullptr ? title : "<none>";
        choice->fccHandler = self->handler;
        choice->lQ = self->quality;
        return self->accept;
    }
};

class CompDialogTest : public CompFixture {
protected:
    void SetUp() override { ICSetCompressorChooser(&Chooser::Choose, &chooser); }
    void TearDown() override {
        ICSetCompressorChooser(nullptr, nullptr);
        CompFixture::TearDown();
    }

    Chooser chooser;
};

TEST_F(CompDialogTest, AcceptedChoiceComesBackAndLeavesNoCompressorOpen) {
    CWnd parent;
    parent.m_hWnd = reinterpret_cast<HWND>(0x7710);
    DWORD handler = mmioFOURCC('D', 'I', 'B', ' ');
    long quality = 100;
    EXPECT_TRUE(CDibComp::GetCompressDlg(&parent, handler, quality, "Compression"));
    EXPECT_EQ(handler, kRle);
    EXPECT_EQ(quality, 6500);
    EXPECT_EQ(chooser.owner, parent.m_hWnd);
    EXPECT_EQ(chooser.flags, 0U);
    EXPECT_EQ(chooser.input, nullptr);
    EXPECT_EQ(chooser.title, "Compression");
    EXPECT_EQ(chooser.shown.cbSize, static_cast<LONG>(sizeof(COMPVARS)));
    // The leak check of the fixture sees the chosen compressor closed again.
}

TEST_F(CompDialogTest, CancelledChoiceLeavesCodeAndQualityAsTheyWere) {
    chooser.accept = FALSE;
    DWORD handler = mmioFOURCC('D', 'I', 'B', ' ');
    long quality = 100;
    EXPECT_FALSE(CDibComp::GetCompressDlg(nullptr, handler, quality, nullptr));
    EXPECT_EQ(chooser.calls, 1);
    EXPECT_EQ(chooser.owner, nullptr);
    EXPECT_EQ(chooser.title, "<none>");
    EXPECT_EQ(handler, mmioFOURCC('D', 'I', 'B', ' '));
    EXPECT_EQ(quality, 100);
}

TEST_F(CompDialogTest, ChoiceOfACompressorThatCannotBeOpenedCountsAsCancelled) {
    chooser.handler = mmioFOURCC('n', 'o', 'n', 'e');
    DWORD handler = kRle;
    long quality = 1;
    EXPECT_FALSE(CDibComp::GetCompressDlg(nullptr, handler, quality, "x"));
    EXPECT_EQ(handler, kRle);
    EXPECT_EQ(quality, 1);
}

TEST_F(CompDialogTest, WithoutAChooserTheDialogIsCancelled) {
    ICSetCompressorChooser(nullptr, nullptr);
    DWORD handler = kRle;
    long quality = 1;
    EXPECT_FALSE(CDibComp::GetCompressDlg(nullptr, handler, quality, "x"));
    EXPECT_EQ(chooser.calls, 0);
    EXPECT_EQ(handler, kRle);
    EXPECT_EQ(quality, 1);
}

using CompInfoTest = CompFixture;

TEST_F(CompInfoTest, InfoDescribesInstalledVideoCompressors) {
    ICINFO info{};
    ASSERT_TRUE(CDibComp::Info(kRle, info));
    EXPECT_EQ(info.dwSize, sizeof(ICINFO));
    EXPECT_EQ(info.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(info.fccHandler, kRle);
    EXPECT_EQ(std::u16string(info.szName), u"RLE8");

    ASSERT_TRUE(CDibComp::Info(kRecorder, info));
    EXPECT_EQ(info.fccHandler, kRecorder);
    EXPECT_EQ(recorder.Count(ICM_GETINFO), 1);
}

TEST_F(CompInfoTest, InfoOfAnUninstalledCompressorIsZero) {
    ICINFO info{};
    EXPECT_EQ(CDibComp::Info(mmioFOURCC('n', 'o', 'n', 'e'), info), 0);
}

} // namespace
