// The file layer: opening modes, sharing between this process's files, errors and their causes.
#include <orvel/orvel.h>

#include "support/live_objects.h"
#include "support/processes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

namespace {

using orvel::test::LeakCheckedTest;
using orvel::testing::InjectFault;

class FileTest : public LeakCheckedTest {
protected:
    std::string Path(const char* name) const { return dir_.Path(name); }
    void WriteFile(const char* name, const std::string& text) const {
        CFile file(Path(name).c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write(text.data(), static_cast<UINT>(text.size()));
        file.Close();
    }
    int OpenCause(const std::string& path, UINT flags) const {
        CFile file;
        CFileException error;
        return file.Open(path.c_str(), flags, &error) ? CFileException::none : error.m_cause;
    }

    orvel::test::ScratchDir dir_;
};

TEST_F(FileTest, WrittenBytesReadBackAndCreateTruncatesUnlessToldNot) {
    WriteFile("a", "hello world");
    {
        CFile file(Path("a").c_str(), CFile::modeRead);
        EXPECT_EQ(file.GetLength(), 11U);
        char text[16] = {};
        EXPECT_EQ(file.Seek(6, CFile::begin), 6U);
        EXPECT_EQ(file.Read(text, 16), 5U); // fewer at the end of the file, no exception
        EXPECT_EQ(::GetLastError(), ERROR_HANDLE_EOF);
        EXPECT_STREQ(text, "world");
        EXPECT_EQ(orvel::testing::GetLiveCounts().openFiles, 1);
    }
    {
        CFile keep(Path("a").c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
        EXPECT_EQ(keep.GetLength(), 11U);
    }
    CFile truncate(Path("a").c_str(), CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(truncate.GetLength(), 0U);
}

TEST_F(FileTest, OpenFailuresCarryThePublishedCauses) {
    WriteFile("a", "x");
    EXPECT_EQ(OpenCause(Path("missing"), CFile::modeRead), CFileException::fileNotFound);
    EXPECT_EQ(::GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenCause(Path("no/such/dir"), CFile::modeCreate | CFile::modeWrite),
              CFileException::badPath);
    EXPECT_EQ(OpenCause(Path("a") + "/under/a/file", CFile::modeRead), CFileException::badPath);
    EXPECT_EQ(OpenCause(Path("."), CFile::modeRead), CFileException::accessDenied);
    EXPECT_EQ(OpenCause(Path("."), CFile::modeWrite), CFileException::accessDenied);
    EXPECT_EQ(OpenCause("", CFile::modeRead), CFileException::badPath);
    EXPECT_THROW(CFile(Path("missing").c_str(), CFile::modeRead), CFileException);
}

// (held open with, then opened with, expected cause)
using ShareCase = std::tuple<UINT, UINT, int>;
class ShareTest : public FileTest, public ::testing::WithParamInterface<ShareCase> {};

TEST_P(ShareTest, ShareModesHoldBetweenThisProcesssFiles) {
    const auto [held, wanted, cause] = GetParam();
    WriteFile("a", "keep me");
    {
        CFile first(Path("a").c_str(), held);
        EXPECT_EQ(OpenCause(Path("a"), wanted), cause);
        EXPECT_EQ(std::filesystem::file_size(Path("a")), 7U); // a refused create truncates nothing
    }
    EXPECT_EQ(OpenCause(Path("a"), wanted), CFileException::none); // released on close
}

constexpr UINT kRead = CFile::modeRead;
constexpr UINT kWrite = CFile::modeWrite;
constexpr UINT kCreate = CFile::modeCreate | CFile::modeWrite;
constexpr int kOk = CFileException::none;
constexpr int kShared = CFileException::sharingViolation;
INSTANTIATE_TEST_SUITE_P(
    Modes, ShareTest,
    ::testing::Values(
        ShareCase{kRead | CFile::shareDenyWrite, kRead | CFile::shareDenyWrite, kOk},
        ShareCase{kRead | CFile::shareDenyWrite, kCreate | CFile::shareDenyNone, kShared},
        ShareCase{kWrite | CFile::shareDenyNone, kRead | CFile::shareDenyWrite, kShared},
        ShareCase{kRead | CFile::shareDenyRead, kRead | CFile::shareDenyNone, kShared},
        ShareCase{kWrite | CFile::shareDenyRead, kWrite | CFile::shareDenyNone, kOk},
        ShareCase{kWrite | CFile::shareExclusive, kRead | CFile::shareDenyNone, kShared},
        ShareCase{kRead | CFile::shareDenyNone, kCreate | CFile::shareExclusive, kShared},
        ShareCase{kRead | CFile::shareCompat, kRead | CFile::shareDenyNone, kShared}));

TEST_F(FileTest, InjectedFailuresLookLikeRealOnesAndLeaveNothingOpen) {
    WriteFile("a", "abc");
    InjectFault(orvel::testing::kFaultFileOpen, 1);
    EXPECT_EQ(OpenCause(Path("a"), kRead), CFileException::tooManyOpenFiles);
    EXPECT_EQ(::GetLastError(), ERROR_TOO_MANY_OPEN_FILES);

    char buffer[4];
    CFile reader(Path("a").c_str(), kRead);
    InjectFault(orvel::testing::kFaultFileRead, 1);
    try {
        reader.Read(buffer, 3);
        ADD_FAILURE() << "the read did not raise";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::hardIO);
        EXPECT_EQ(e.m_strFileName, CString(Path("a")));
    }
    reader.Close();

    for (long nth : {1L, 2L}) { // the write, then the close
        CFile writer(Path("b").c_str(), kCreate);
        InjectFault(orvel::testing::kFaultFileWrite, nth);
        try {
            writer.Write("xyz", 3);
            writer.Close();
            ADD_FAILURE() << "no exception at site call " << nth;
        } catch (const CFileException& e) {
            EXPECT_EQ(e.m_cause, CFileException::diskFull);
        }
    }
}

TEST_F(FileTest, ClosedFileRaisesInvalidFileAndWriteOnlyFileRefusesReads) {
    const auto cause = [](auto&& operation) -> int {
        try {
            operation();
        } catch (const CFileException& e) {
            return e.m_cause;
        }
        return CFileException::none;
    };
    CFile file;
    char c = 0;
    EXPECT_EQ(cause([&] { file.Read(&c, 1); }), CFileException::invalidFile);
    EXPECT_EQ(cause([&] { file.GetLength(); }), CFileException::invalidFile);
    EXPECT_EQ(cause([&] { file.Seek(0, CFile::begin); }), CFileException::invalidFile);
    EXPECT_NO_THROW(file.Close());
    CFile writer(Path("w").c_str(), kCreate);
    EXPECT_EQ(cause([&] { writer.Read(&c, 1); }), CFileException::accessDenied);
    EXPECT_EQ(cause([&] { writer.Seek(-5, CFile::begin); }), CFileException::badSeek);
}

} // namespace
