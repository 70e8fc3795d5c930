// The handle table every service keeps its objects in: a lookup compares the whole handle value
// with the one its slot gave out, so every value that was not given out, or no longer belongs to
// a live object, must find nothing — however its index, tag and generation bits are set.
#include <orvel/platform/detail/handle_table.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <thread>
#include <vector>

namespace {

struct Thing {
    int value;
};

constexpr unsigned kTag = 7;
constexpr unsigned kOtherTag = 8;
using Table = orvel::platform::detail::HandleTable<Thing, kTag>;

constexpr std::uintptr_t kGenerationOne = std::uintptr_t{1} << 32;

// Tables live for the whole process, as the services' own do: they never free their slots.
Table& NewTable() {
    static auto* kept = new std::vector<void*>;
    auto* table = new Table;
    kept->push_back(table);
    return *table;
}

std::uintptr_t Add(Table& table, int value) {
    return table.Insert(std::make_unique<Thing>(Thing{value}));
}

TEST(HandleTableTest, LiveHandlesFindTheirOwnObjectsAndForEachVisitsThemOnly) {
    Table* table = &NewTable();
    std::vector<std::uintptr_t> handles;
    for (int i = 0; i < 2500; ++i) { // beyond one chunk of slots
        handles.push_back(Add(*table, i));
    }
    EXPECT_EQ(std::set<std::uintptr_t>(handles.begin(), handles.end()).size(), handles.size());
    for (int i = 0; i < 2500; ++i) {
        ASSERT_NE(table->Find(handles[i]), nullptr);
        EXPECT_EQ(table->Find(handles[i])->value, i);
        EXPECT_EQ(handles[i] & 0xF, kTag);
    }
    EXPECT_EQ(table->LiveCount(), 2500);

    // ForEach visits the live objects only, each under its own handle.
    table->Remove(handles[1]);
    table->Remove(handles[2499]);
    std::set<int> seen;
    table->ForEach([&](std::uintptr_t handle, const Thing& thing) {
        EXPECT_EQ(table->Find(handle), &thing);
        seen.insert(thing.value);
    });
    EXPECT_EQ(seen.size(), 2498U);
    EXPECT_EQ(seen.count(1) + seen.count(2499), 0U);
}

TEST(HandleTableTest, RemovedHandlesStayStaleWhenTheirSlotIsReused) {
    Table* table = &NewTable();
    const std::uintptr_t first = Add(*table, 1);
    EXPECT_NE(table->Remove(first), nullptr);
    EXPECT_EQ(table->Find(first), nullptr);
    EXPECT_EQ(table->Remove(first), nullptr);
    // Nor does the value the freed slot holds now, its even generation.
    EXPECT_EQ(table->Remove(first + kGenerationOne), nullptr);
    EXPECT_EQ(table->LiveCount(), 0);

    const std::uintptr_t second = Add(*table, 2); // takes the same slot
    EXPECT_NE(second, first);
    EXPECT_EQ(second & 0xFFFFFFFFU, first & 0xFFFFFFFFU);
    EXPECT_EQ(table->Find(first), nullptr);
    EXPECT_EQ(table->Remove(first), nullptr);
    ASSERT_NE(table->Find(second), nullptr);
    EXPECT_EQ(table->Find(second)->value, 2);
    EXPECT_EQ(table->LiveCount(), 1);
}

// Values made from a live handle by changing one part of it: none may reach the object, and
// none may remove it.
TEST(HandleTableTest, ValuesThatWereNeverGivenOutFindNothing) {
    Table* table = &NewTable();
    Add(*table, 0);
    const std::uintptr_t live = Add(*table, 1);
    const std::uintptr_t index = (live >> 4) & 0x0FFFFFFF;
    const std::vector<std::uintptr_t> forged = {
        0,
        live ^ kTag ^ kOtherTag,            // another table's tag, where this slot is live
        live & ~std::uintptr_t{0xF},        // no tag
        live ^ kGenerationOne,              // the even generation of a free slot
        live + 2 * kGenerationOne,          // a later generation
        live | (std::uintptr_t{1} << 31),   // an index beyond the table that masks to this slot
        live | (std::uintptr_t{0xF} << 28), // every index bit beyond the table
        (index << 4) | kTag,                // generation 0
        (std::uintptr_t{5000} << 4) | kTag | kGenerationOne, // a slot never made
    };
    for (const std::uintptr_t value : forged) {
        EXPECT_EQ(table->Find(value), nullptr) << std::hex << value;
        EXPECT_EQ(table->Remove(value), nullptr) << std::hex << value;
    }
    ASSERT_NE(table->Find(live), nullptr);
    EXPECT_EQ(table->Find(live)->value, 1);
    EXPECT_EQ(table->LiveCount(), 2);
}

TEST(HandleTableTest, LookupsRunWhileOtherThreadsInsertAndRemove) {
    Table* table = &NewTable();
    const std::uintptr_t stable = Add(*table, 42);
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const Thing* thing = table->Find(stable);
            if (thing == nullptr || thing->value != 42) {
                ++wrong;
            }
        }
    });
    for (int round = 0; round < 20000; ++round) {
        const std::uintptr_t handle = Add(*table, round);
        if (table->Find(handle) == nullptr || table->Find(handle)->value != round) {
            ++wrong;
        }
        table->Remove(handle);
        if (table->Find(handle) != nullptr) {
            ++wrong;
        }
    }
    stop = true;
    reader.join();
    EXPECT_EQ(wrong.load(), 0);
}

} // namespace
