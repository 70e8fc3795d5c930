#include "live_objects.h"

namespace orvel::test {

::testing::AssertionResult LiveObjects::Unchanged() const {
    const orvel::testing::LiveCounts now = orvel::testing::GetLiveCounts();
    if (now == before_) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "live platform objects changed: " << orvel::testing::LiveCountChanges(before_, now);
}

} // namespace orvel::test
