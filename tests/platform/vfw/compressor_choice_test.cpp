#include <orvel/orvel.h>

#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kRle = mmioFOURCC('m', 'r', 'l', 'e');

// A chooser that remembers what it was shown and answers as the test set it up. Like a user it
// may edit the record and still cancel.
struct ScriptedChooser {
    BOOL accept = TRUE;
    DWORD handler = kRle;
    int calls = 0;
    COMPVARS shown{};

    static BOOL CALLBACK Choose(HWND, UINT, LPVOID, LPVOID, PCOMPVARS choice, LPCSTR,
                                LPVOID context) {
        auto* self = static_cast<ScriptedChooser*>(context);
        ++self->calls;
        self->shown = *choice;
        choice->fccHandler = self->handler;
        choice->lQ = 7500;
        return self->accept;
    }
};

class CompressorChoiceTest : public orvel::test::LeakCheckedTest {
protected:
    void SetUp() override { ICSetCompressorChooser(&ScriptedChooser::Choose, &chooser); }
    void TearDown() override {
        ICSetCompressorChooser(nullptr, nullptr);
        LeakCheckedTest::TearDown();
    }

    static COMPVARS Fresh() {
        COMPVARS fresh{};
        fresh.cbSize = sizeof(COMPVARS);
        return fresh;
    }

    ScriptedChooser chooser;
    COMPVARS choice = Fresh();
};

TEST_F(CompressorChoiceTest, AcceptedChoiceIsOpenedUntilFreed) {
    choice.fccHandler = mmioFOURCC('a', 'b', 'c', 'd');
    ASSERT_TRUE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, "Pick"));
    // Not marked valid, the record was reset before the chooser saw it.
    EXPECT_EQ(chooser.shown.fccHandler, 0U);
    EXPECT_EQ(chooser.shown.lQ, ICQUALITY_DEFAULT);
    EXPECT_EQ(chooser.shown.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(choice.fccHandler, kRle);
    EXPECT_EQ(choice.lQ, 7500);
    EXPECT_NE(choice.dwFlags & ICMF_COMPVARS_VALID, 0U);
    ICINFO info{};
    EXPECT_GT(ICGetInfo(choice.hic, &info, sizeof info), 0);
    EXPECT_EQ(info.fccHandler, kRle);

    // Valid now, the record is shown as it is, and its compressor makes way for the new one.
    const HIC first = choice.hic;
    chooser.handler = mmioFOURCC('D', 'I', 'B', ' ');
    ASSERT_TRUE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, nullptr));
    EXPECT_EQ(chooser.shown.fccHandler, kRle);
    EXPECT_EQ(ICClose(first), ICERR_BADHANDLE);

    ICCompressorFree(&choice);
    EXPECT_EQ(choice.hic, nullptr);
}

TEST_F(CompressorChoiceTest, RefusedChoicesLeaveTheRecordAsItWas) {
    choice.fccHandler = mmioFOURCC('k', 'e', 'e', 'p');
    const COMPVARS before = choice;
    chooser.accept = FALSE;
    EXPECT_FALSE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, nullptr));
    chooser.accept = TRUE;
    chooser.handler = mmioFOURCC('n', 'o', 'n', 'e'); // a choice that cannot be opened
    EXPECT_FALSE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, nullptr));
    EXPECT_EQ(chooser.calls, 2);
    EXPECT_EQ(std::memcmp(&choice, &before, sizeof choice), 0);

    // A record of another size, or no chooser at all, is refused without asking.
    choice.cbSize = 64 - 1;
    EXPECT_FALSE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, nullptr));
    choice.cbSize = sizeof(COMPVARS);
    ICSetCompressorChooser(nullptr, nullptr);
    EXPECT_FALSE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, nullptr));
    EXPECT_EQ(chooser.calls, 2);
}

TEST_F(CompressorChoiceTest, WithAnInputFormatOnlyACompressorThatTakesItIsChosen) {
    std::vector<BYTE> input(40 + 1024, 0);
    const BITMAPINFOHEADER trueColour = CDibSupport::MakeBIH(8, 8, 24, BI_RGB, 0, 0, 0, 0, 0);
    std::memcpy(input.data(), &trueColour, sizeof trueColour);
    EXPECT_FALSE(ICCompressorChoose(nullptr, 0, input.data(), nullptr, &choice, nullptr));
    ASSERT_TRUE(ICCompressorChoose(nullptr, ICMF_CHOOSE_ALLCOMPRESSORS, input.data(), nullptr,
                                   &choice, nullptr));
    ICCompressorFree(&choice);
}

} // namespace
