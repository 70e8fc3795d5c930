#include <orvel/orvel.h>

#include <gtest/gtest.h>

namespace {

// Opens the protected setter of the record to the tests.
class Record : public CHTErr {
public:
    using CHTErr::SetLastError;
};

struct Pair {
    unsigned int kind;
    unsigned long code;
    BOOL flag;
};

Pair Read(const CHTErr& record) {
    Pair pair{};
    pair.flag = record.GetLastError(pair.kind, pair.code);
    return pair;
}

TEST(StatusRecord, FreshRecordIsSuccessWithoutError) {
    const Record record;
    const Pair pair = Read(record);
    EXPECT_EQ(pair.flag, 1);
    EXPECT_EQ(pair.kind, 0U);
    EXPECT_EQ(pair.code, 0UL);
    EXPECT_TRUE(record.IsSucceed());
    EXPECT_FALSE(record.IsFailed());
}

TEST(StatusRecord, SuccessOnlyWhenKindAndCodeAreBothZero) {
    Record record;
    EXPECT_EQ(record.SetLastError(0, 5), 0);
    EXPECT_TRUE(record.IsFailed());
    EXPECT_EQ(Read(record).code, 5UL);

    EXPECT_EQ(record.SetLastError(2, 0), 0);
    EXPECT_TRUE(record.IsFailed());
    EXPECT_EQ(Read(record).kind, 2U);

    EXPECT_EQ(record.SetLastError(0, 0), 1);
    EXPECT_TRUE(record.IsSucceed());
}

TEST(StatusRecord, CopiesCarryTheFlagWithThePair) {
    Record failed;
    failed.SetLastError(HTERR_CLASS, 6);
    const CHTErr copy(failed);
    EXPECT_TRUE(copy.IsFailed());
    EXPECT_EQ(Read(copy).code, 6UL);

    Record assigned;
    static_cast<CHTErr&>(assigned) = failed;
    EXPECT_TRUE(assigned.IsFailed());
    EXPECT_EQ(Read(assigned).kind, static_cast<unsigned int>(HTERR_CLASS));
}

} // namespace
