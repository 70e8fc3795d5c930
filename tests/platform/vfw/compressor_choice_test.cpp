#include <orvel/orvel.h>

#include "support/live_objects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using orvel::test::LeakCheckedTest;

constexpr DWORD kRle = mmioFOURCC('m', 'r', 'l', 'e');

// A chooser that remembers what it was shown and answers as the test set it up.
struct ScriptedChooser {
    BOOL accept = TRUE;
    DWORD handler = kRle;
    LONG quality = 7500;
    int calls = 0;
    HWND owner = nullptr;
    UINT flags = 0;
    LPVOID input = nullptr;
    LPVOID data = nullptr;
    COMPVARS shown{};
    std::string title;

    static BOOL CALLBACK Choose(HWND owner, UINT flags, LPVOID input, LPVOID data, PCOMPVARS choice,
                                LPCSTR title, LPVOID context) {
        auto* self = static_cast<ScriptedChooser*>(context);
        ++self->calls;
        self->owner = owner;
        self->flags = flags;
        self->input = input;
        self->data = data;
        self->shown = *choice;
        self->title = title != nullptr ? title : "";
        // A chooser that cancels may still have touched the record it was shown.
        choice->fccHandler = self->handler;
        choice->lQ = self->quality;
        return self->accept;
    }
};

class CompressorChoiceTest : public LeakCheckedTest {
protected:
    void SetUp() override { ICSetCompressorChooser(&ScriptedChooser::Choose, &chooser); }
    void TearDown() override {
        ICSetCompressorChooser(nullptr, nullptr);
        LeakCheckedTest::TearDown();
    }

    static COMPVARS Fresh() {
        COMPVARS choice{};
        choice.cbSize = sizeof(COMPVARS);
        return choice;
    }

    ScriptedChooser chooser;
};

TEST_F(CompressorChoiceTest, AcceptedChoiceIsOpenedUntilFreed) {
    COMPVARS choice = Fresh();
    const long openBefore = orvel::testing::GetLiveCounts().compressors;
    const HWND owner = reinterpret_cast<HWND>(0x4440);
    int data = 0;
    ASSERT_TRUE(ICCompressorChoose(owner, ICMF_CHOOSE_KEYFRAME, nullptr, &data, &choice, "Pick"));
    EXPECT_EQ(chooser.owner, owner);
    EXPECT_EQ(chooser.flags, ICMF_CHOOSE_KEYFRAME);
    EXPECT_EQ(chooser.data, &data);
    EXPECT_EQ(chooser.title, "Pick");
    EXPECT_EQ(choice.fccHandler, kRle);
    EXPECT_EQ(choice.lQ, 7500);
    EXPECT_EQ(choice.fccType, ICTYPE_VIDEO);
    EXPECT_NE(choice.dwFlags & ICMF_COMPVARS_VALID, 0U);
    ASSERT_NE(choice.hic, nullptr);
    EXPECT_EQ(orvel::testing::GetLiveCounts().compressors, openBefore + 1);
    ICINFO info{};
    EXPECT_GT(ICGetInfo(choice.hic, &info, sizeof info), 0);
    EXPECT_EQ(info.fccHandler, kRle);

    ICCompressorFree(&choice);
    EXPECT_EQ(choice.hic, nullptr);
    EXPECT_EQ(orvel::testing::GetLiveCounts().compressors, openBefore);
}

TEST_F(CompressorChoiceTest, RecordNotMarkedValidIsResetBeforeTheChooserSeesIt) {
    COMPVARS choice = Fresh();
    choice.fccHandler = mmioFOURCC('a', 'b', 'c', 'd');
    choice.lQ = 1234;
    ASSERT_TRUE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, nullptr));
    EXPECT_EQ(chooser.shown.fccHandler, 0U);
    EXPECT_EQ(chooser.shown.lQ, ICQUALITY_DEFAULT);
    EXPECT_EQ(chooser.shown.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(chooser.shown.cbSize, static_cast<LONG>(sizeof(COMPVARS)));
    ICCompressorFree(&choice);
}

TEST_F(CompressorChoiceTest, ValidRecordIsShownAsItIsAndItsOldCompressorGivenUp) {
    COMPVARS choice = Fresh();
    ASSERT_TRUE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, nullptr));
    HIC first = choice.hic;
    chooser.handler = mmioFOURCC('D', 'I', 'B', ' ');
    chooser.quality = 10;
    ASSERT_TRUE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, nullptr));
    EXPECT_EQ(chooser.shown.fccHandler, kRle);
    EXPECT_EQ(chooser.shown.lQ, 7500);
    EXPECT_NE(choice.hic, first);
    EXPECT_EQ(ICClose(first), ICERR_BADHANDLE) << "the earlier choice's compressor is closed";
    ICCompressorFree(&choice);
}

TEST_F(CompressorChoiceTest, CancelledOrUnusableChoicesLeaveTheRecordAsItWas) {
    COMPVARS choice = Fresh();
    choice.fccHandler = mmioFOURCC('k', 'e', 'e', 'p');
    choice.lQ = 55;
    const COMPVARS before = choice;
    chooser.accept = FALSE;
    EXPECT_FALSE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, nullptr));
    chooser.accept = TRUE;
    chooser.handler = mmioFOURCC('n', 'o', 'n', 'e');
    EXPECT_FALSE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, nullptr));
    EXPECT_EQ(chooser.calls, 2);
    EXPECT_EQ(std::memcmp(&choice, &before, sizeof choice), 0);
}

TEST_F(CompressorChoiceTest, WithoutAChooserTheChoiceIsCancelled) {
    ICSetCompressorChooser(nullptr, nullptr);
    COMPVARS choice = Fresh();
    EXPECT_FALSE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, "Title"));
    EXPECT_EQ(choice.hic, nullptr);
}

TEST_F(CompressorChoiceTest, RecordOfAnotherSizeIsRefusedUnasked) {
    COMPVARS choice = Fresh();
    choice.cbSize = 64 - 1;
    EXPECT_FALSE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, &choice, nullptr));
    EXPECT_FALSE(ICCompressorChoose(nullptr, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(chooser.calls, 0);
}

TEST_F(CompressorChoiceTest, WithAnInputFormatOnlyACompressorThatTakesItIsChosen) {
    std::vector<BYTE> input(40 + 1024, 0);
    const BITMAPINFOHEADER trueColour = CDibSupport::MakeBIH(8, 8, 24, BI_RGB, 0, 0, 0, 0, 0);
    std::memcpy(input.data(), &trueColour, sizeof trueColour);
    COMPVARS choice = Fresh();
    EXPECT_FALSE(ICCompressorChoose(nullptr, 0, input.data(), nullptr, &choice, nullptr));
    EXPECT_EQ(chooser.input, input.data());
    ASSERT_TRUE(ICCompressorChoose(nullptr, ICMF_CHOOSE_ALLCOMPRESSORS, input.data(), nullptr,
                                   &choice, nullptr));
    ICCompressorFree(&choice);

    const BITMAPINFOHEADER indexed = CDibSupport::MakeBIH(8, 8, 8, BI_RGB, 0, 0, 0, 0, 0);
    std::memcpy(input.data(), &indexed, sizeof indexed);
    ASSERT_TRUE(ICCompressorChoose(nullptr, 0, input.data(), nullptr, &choice, nullptr));
    ICCompressorFree(&choice);
}

TEST_F(CompressorChoiceTest, FreeIgnoresRecordsItDidNotFill) {
    COMPVARS choice = Fresh();
    choice.hic = reinterpret_cast<HIC>(0x1234); // not marked valid: not the manager's to close
    ICCompressorFree(&choice);
    EXPECT_EQ(choice.hic, reinterpret_cast<HIC>(0x1234));
    ICCompressorFree(nullptr);
}

} // namespace
