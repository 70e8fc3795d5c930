#include "live_objects.h"

#include <sstream>

namespace orvel::test {

::testing::AssertionResult LiveObjects::Unchanged() const {
    const orvel::testing::LiveCounts now = orvel::testing::GetLiveCounts();
    if (now == before_) {
        return ::testing::AssertionSuccess();
    }
    std::ostringstream message;
    auto report = [&](const char* name, long before, long after) {
        if (before != after) {
            message << name << " " << before << " -> " << after << "; ";
        }
    };
    report("global blocks", before_.globalBlocks, now.globalBlocks);
    report("objects", before_.objects, now.objects);
    report("GDI objects", before_.gdiObjects, now.gdiObjects);
    report("device contexts", before_.deviceContexts, now.deviceContexts);
    report("DrawDib instances", before_.drawDibs, now.drawDibs);
    report("compressors", before_.compressors, now.compressors);
    report("windows", before_.windows, now.windows);
    report("open files", before_.openFiles, now.openFiles);
    return ::testing::AssertionFailure() << "live platform objects changed: " << message.str();
}

} // namespace orvel::test
