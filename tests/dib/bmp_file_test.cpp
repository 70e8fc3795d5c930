// Reading and writing BMP files.
#include "drawing_support.h"

namespace {

using namespace orvel::test;
using orvel::testing::InjectFault;
using BmpFileTest = LeakCheckedTest;

TEST_F(BmpFileTest, SavedFileIsTheBlockAndLoadsBackEqualAtEveryDepth) {
    for (const int depth : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        TestDib dib(MakeColourPicture(7, 3, depth).file);
        const Bytes block = BlockBytes(dib.GetSafeHandle());
        dib.SetClassError(5); // a failed record does not stop the write, and success replaces it
        ASSERT_TRUE(dib.SaveAs(ScratchPath("p.bmp").c_str()));
        EXPECT_EQ(StatusOf(dib), kSuccess);
        EXPECT_EQ(ReadFileBytes(ScratchPath("p.bmp")), block);
        TestDib loaded(CString(ScratchPath("p.bmp")));
        EXPECT_EQ(StatusOf(loaded), kSuccess);
        EXPECT_EQ(BlockBytes(loaded.GetSafeHandle()), block);
        EXPECT_EQ(PaletteColours(loaded.GetPalette()), PaletteColours(dib.GetPalette()));
    }
}

TEST_F(BmpFileTest, FilesThatAreNoBmpFailWithClassErrorOneAndLeaveNoPicture) {
    for (const Bytes& contents :
         {Bytes{}, Bytes{'B'}, Bytes{'B', 'A'}, Bytes{0x89, 'P', 'N', 'G', 0, 0}}) {
        TestDib dib(EightBitFile());
        EXPECT_FALSE(dib.Load(CString(WriteScratch("x.bmp", contents))));
        EXPECT_EQ(StatusOf(dib), ClassError(1));
        EXPECT_EQ(dib.GetSafeHandle(), nullptr);
    }
}

// Open failures are file errors with their cause; a refused block empties the object; a read
// error raised by the file layer passes to the caller, and the block read so far goes.
TEST_F(BmpFileTest, ReadFailuresLeaveAnEmptyObject) {
    TestDib dib(EightBitFile());
    EXPECT_FALSE(dib.Load(CString(ScratchPath("missing.bmp"))));
    EXPECT_EQ(StatusOf(dib), FileError(CFileException::fileNotFound));
    EXPECT_EQ(dib.GetSafeHandle(), nullptr);

    // The reader denies writing while it reads, so a file open for writing cannot be read.
    const std::string path = WriteScratch("p.bmp", EightBitFile());
    {
        CFile writer(path.c_str(), CFile::modeWrite | CFile::shareDenyNone);
        EXPECT_FALSE(dib.Load(CString(path)));
        EXPECT_EQ(StatusOf(dib), FileError(CFileException::sharingViolation));
    }
    ASSERT_TRUE(dib.Load(CString(path)));
    InjectFault(orvel::testing::kFaultGlobalAlloc, 1);
    EXPECT_FALSE(dib.Load(CString(path)));
    EXPECT_EQ(StatusOf(dib), SystemError(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(dib.GetSafeHandle(), nullptr);

    ASSERT_TRUE(dib.Load(CString(path)));
    InjectFault(orvel::testing::kFaultFileRead, 1);
    EXPECT_THROW(dib.Load(CString(path)), CFileException);
    EXPECT_EQ(dib.GetSafeHandle(), nullptr);
    EXPECT_EQ(StatusOf(dib), ClassError(6));
}

TEST_F(BmpFileTest, ShortReadIsASystemError) {
    // sysfs reports a whole page as the length of files that hold a few bytes.
    const char* path = "/sys/kernel/mm/transparent_hugepage/enabled";
    if (!std::filesystem::exists(path) || std::filesystem::file_size(path) <= 100) {
        GTEST_SKIP() << "no file whose length exceeds its contents";
    }
    TestDib dib;
    EXPECT_FALSE(dib.Load(CString(path)));
    EXPECT_EQ(StatusOf(dib), SystemError(ERROR_HANDLE_EOF));
    EXPECT_EQ(dib.GetSafeHandle(), nullptr);
}

TEST_F(BmpFileTest, WriteFailuresAreFileErrorsAndKeepThePicture) {
    TestDib dib(EightBitFile());
    HGLOBAL block = dib.GetSafeHandle();
    EXPECT_FALSE(dib.SaveAs(ScratchPath("no/such/dir/p.bmp").c_str()));
    EXPECT_EQ(StatusOf(dib), FileError(CFileException::badPath));
    for (long nth : {1L, 2L}) { // the write, then the close
        InjectFault(orvel::testing::kFaultFileWrite, nth);
        EXPECT_FALSE(dib.SaveAs(ScratchPath("p.bmp").c_str()));
        EXPECT_EQ(StatusOf(dib), FileError(CFileException::diskFull));
    }
    {
        CFile reader(ScratchPath("p.bmp").c_str(), CFile::modeRead | CFile::shareDenyNone);
        EXPECT_FALSE(dib.SaveAs(ScratchPath("p.bmp").c_str()));
        EXPECT_EQ(StatusOf(dib), FileError(CFileException::sharingViolation));
    }
    EXPECT_EQ(dib.GetSafeHandle(), block);
    EXPECT_EQ(BlockBytes(block), EightBitFile());

    TestDib empty;
    EXPECT_FALSE(empty.SaveAs(ScratchPath("empty.bmp").c_str()));
    EXPECT_EQ(StatusOf(empty), ClassError(6));
    EXPECT_FALSE(std::filesystem::exists(ScratchPath("empty.bmp")));
}

// The colour counts' other forms are the clipboard tests'.
TEST_F(BmpFileTest, DirectColourPaletteComesFromTheColourCountsOrIsTheHalftone) {
    TestDib dib;
    ASSERT_TRUE(
        LoadImage(dib, InfoFile({.width = 1, .height = 1, .bitCount = 24}, {}, {1, 2, 3, 0})));
    CPalette halftone;
    halftone.CreateHalftonePalette(nullptr);
    EXPECT_EQ(PaletteColours(dib.GetPalette()), PaletteColours(&halftone));
    ASSERT_TRUE(LoadImage(
        dib, InfoFile({.width = 1, .height = 1, .bitCount = 24, .clrUsed = 256, .clrImportant = 2},
                      Colours(2), {1, 2, 3, 0})));
    EXPECT_EQ(PaletteColours(dib.GetPalette()), (Bytes{0, 0, 0, 3, 2, 1}));
}

} // namespace
