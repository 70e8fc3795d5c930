// Every status the library records reads as words a user can act on, never as a bare code.
#include "tool_test_support.h"

#include "../../tools/orvel/status_words.h"

#include <set>

namespace {

using namespace orvel::cli;
using orvel::test::CaseName;

struct Family {
    const char* name;
    unsigned int kind;
    StatusSource source;
    std::vector<unsigned long> codes;
    const char* pairText; ///< how the pair is named after the words
};

const Family kFamilies[] = {
    {"PictureClassErrors",
     HTERR_CLASS,
     StatusSource::Picture,
     {1, 2, 3, 4, 5, 6, 8, 10, 101, 102},
     "class error"},
    {"CompressorClassErrors",
     HTERR_CLASS,
     StatusSource::Compressor,
     {1, 2, 3, 4, 5, 6, 7, 8, 9},
     "class error"},
    {"FileCauses",
     HTERR_FILE,
     StatusSource::Picture,
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
     "file error"},
    {"ProgramError", HTERR_PROG, StatusSource::Picture, {14}, "program error"},
    {"SystemErrors",
     HTERR_SYSTEM,
     StatusSource::Picture,
     {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE,
      ERROR_NOT_ENOUGH_MEMORY, ERROR_OUTOFMEMORY, ERROR_SHARING_VIOLATION, ERROR_HANDLE_EOF,
      ERROR_DISK_FULL, ERROR_INVALID_PARAMETER, ERROR_NOT_SUPPORTED, ERROR_MOD_NOT_FOUND,
      ERROR_NOT_FOUND, ERROR_CLIPBOARD_NOT_OPEN, ERROR_INVALID_WINDOW_HANDLE,
      ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_INVALID_PALETTE,
      ERROR_DC_NOT_FOUND},
     "system error"},
};

class StatusWordsTest : public ::testing::TestWithParam<Family> {};

TEST_P(StatusWordsTest, EveryCodeHasItsOwnWordsFollowedByThePair) {
    const Family& family = GetParam();
    std::set<std::string> seen;
    for (const unsigned long code : family.codes) {
        const std::string reason = ReasonInWords(family.kind, code, family.source);
        EXPECT_EQ(reason.find("unknown"), std::string::npos) << family.name << " " << code;
        // Two codes with one text would hide which failure happened.
        EXPECT_TRUE(seen.insert(reason).second || family.kind == HTERR_SYSTEM)
            << "'" << reason << "' is used twice";
        EXPECT_EQ(StatusInWords(family.kind, code, family.source),
                  reason + " (" + family.pairText + " " + std::to_string(code) + ")");
    }
}

INSTANTIATE_TEST_SUITE_P(Tool, StatusWordsTest, ::testing::ValuesIn(kFamilies), CaseName);

// Class error 1 of a picture is a file it cannot read; of a compressor, one it cannot open.
// Unknown codes still show the pair; an object's own record reads the same way.
TEST(StatusWordsTest, SourcesNumberTheirClassErrorsApartAndUnknownCodesKeepThePair) {
    EXPECT_NE(ClassErrorInWords(1, StatusSource::Picture),
              ClassErrorInWords(1, StatusSource::Compressor));
    EXPECT_EQ(StatusInWords(HTERR_CLASS, 1, StatusSource::Picture),
              "not a BMP picture the library reads (class error 1)");
    EXPECT_EQ(StatusInWords(HTERR_CLASS, 77, StatusSource::Picture),
              "unknown class error (class error 77)");
    EXPECT_EQ(StatusInWords(HTERR_SYSTEM, 99999, StatusSource::Picture),
              "unknown system error (system error 99999)");
    EXPECT_EQ(StatusInWords(HTERR_FILE, 15, StatusSource::Picture),
              "unknown file error (file error 15)");
    const CDib empty; // holds no picture: class error 6
    EXPECT_EQ(StatusInWords(empty, StatusSource::Picture), "no picture (class error 6)");
    const CDibComp closed;
    EXPECT_EQ(StatusInWords(closed, StatusSource::Compressor), "no error");
}

} // namespace
