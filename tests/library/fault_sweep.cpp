#include "fault_sweep.h"

#include <algorithm>

namespace orvel::test {
namespace {

using orvel::testing::FaultSite;

struct Arming {
    const char* name;
    std::uint32_t sites;
    bool persistent;
};

struct NamedSite {
    FaultSite site;
    const char* name;
};

constexpr NamedSite kSites[] = {
    {orvel::testing::kFaultGlobalAlloc, "GlobalAlloc"},
    {orvel::testing::kFaultGlobalLock, "GlobalLock"},
    {orvel::testing::kFaultObjectAlloc, "object allocator"},
    {orvel::testing::kFaultCreatePalette, "palette creation"},
    {orvel::testing::kFaultDeviceContext, "device context"},
    {orvel::testing::kFaultCreateBitmap, "bitmap creation"},
    {orvel::testing::kFaultGetDIBits, "GetDIBits"},
    {orvel::testing::kFaultStretchDIBits, "StretchDIBits"},
    {orvel::testing::kFaultDrawDibOpen, "DrawDibOpen"},
    {orvel::testing::kFaultDrawDibDraw, "DrawDibDraw"},
    {orvel::testing::kFaultClipboard, "clipboard"},
    {orvel::testing::kFaultFileOpen, "file open"},
    {orvel::testing::kFaultFileRead, "file read"},
    {orvel::testing::kFaultFileWrite, "file write"},
    {orvel::testing::kFaultResource, "resource"},
    {orvel::testing::kFaultCompressor, "compressor"},
};

std::vector<Arming> Armings() {
    std::vector<Arming> armings = {
        {"all sites", orvel::testing::kFaultAllSites, false},
        {"all sites from the kth call on", orvel::testing::kFaultAllSites, true},
    };
    for (const NamedSite& named : kSites) {
        armings.push_back({named.name, named.site, false});
    }
    return armings;
}

std::string SiteName(std::uint32_t site) {
    for (const NamedSite& named : kSites) {
        if (named.site == site) {
            return named.name;
        }
    }
    return "site " + std::to_string(site);
}

bool Contains(const Statuses& statuses, const Status& status) {
    return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
}

// What the sweep knows of one run in which a refusal was injected.
struct RefusedRun {
    BOOL result = FALSE;
    bool threw = false;
    std::uint32_t site = 0;
    bool persistent = false; ///< every call from the first refusal on was refused, at any site
    Bytes pictureBefore;
    const Bytes* reference = nullptr;
};

const CDib* ObjectOf(const SweepCase& sweepCase, World& world) {
    return sweepCase.object ? sweepCase.object(world) : &world.picture;
}

const CHTErr* RecordOf(const SweepCase& sweepCase, World& world) {
    return sweepCase.record ? sweepCase.record(world) : ObjectOf(sweepCase, world);
}

Bytes ResultOf(const SweepCase& sweepCase, World& world) {
    return sweepCase.result ? sweepCase.result(world) : PictureState(ObjectOf(sweepCase, world));
}

void ExpectReleased(const CDib& picture) {
    if (picture.GetSafeHandle() == nullptr) {
        EXPECT_EQ(picture.GetPalette(), nullptr) << "an empty object keeps a palette object";
    }
}

void CheckRefused(const SweepCase& sweepCase, World& world, const RefusedRun& run) {
    const std::string site = SiteName(run.site);
    if (run.threw) {
        EXPECT_TRUE(sweepCase.passesReadErrors && run.site == orvel::testing::kFaultFileRead)
            << "an exception passed out after a refusal at " << site;
        const CDib* picture = ObjectOf(sweepCase, world);
        EXPECT_TRUE(picture == nullptr || picture->GetSafeHandle() == nullptr)
            << "the load released its picture first";
        return;
    }
    const CHTErr* record = RecordOf(sweepCase, world);
    const bool succeeded = record != nullptr ? record->IsSucceed() != FALSE : run.result != FALSE;
    // With every later call refused too, any armed site may have led to the outcome.
    const std::uint32_t sites = run.persistent ? orvel::testing::kFaultAllSites : run.site;
    if (succeeded) {
        EXPECT_NE(run.result, FALSE) << "success is recorded but 0 returned";
        if ((sites & sweepCase.absorbed) == 0) {
            EXPECT_EQ(ResultOf(sweepCase, world), *run.reference)
                << "the operation succeeded, but a refusal at " << site << " changed its result";
        }
        return;
    }
    if (record != nullptr) {
        const Status status = StatusOf(*record);
        EXPECT_TRUE(Contains(sweepCase.failures, status))
            << status << " is not a failure " << sweepCase.name << " may record";
        EXPECT_TRUE(run.persistent || Contains(StatusesOfSite(run.site), status))
            << status << " cannot come from a refusal at " << site;
    }
    const CDib* object = ObjectOf(sweepCase, world);
    const bool unchanged = PictureState(object) == run.pictureBefore;
    if (object == nullptr) {
        EXPECT_EQ(sweepCase.state, FailureState::NotAPicture);
        EXPECT_EQ(run.result, FALSE);
        return;
    }
    const CDib& picture = *object;
    switch (sweepCase.state) {
    case FailureState::Released:
        EXPECT_EQ(run.result, FALSE);
        if ((run.site & sweepCase.keepsPictureOn) != 0) {
            EXPECT_TRUE(unchanged)
                << "a refusal at " << site << " must leave the picture as it was";
        } else {
            ExpectReleased(picture);
        }
        break;
    case FailureState::ReleasedOrEmpty:
        EXPECT_EQ(run.result, FALSE);
        EXPECT_EQ(picture.GetSafeHandle(), nullptr) << "the new picture or nothing";
        EXPECT_EQ(picture.GetPalette(), nullptr);
        break;
    case FailureState::Unchanged:
        EXPECT_EQ(run.result, FALSE);
        EXPECT_TRUE(unchanged) << "a failure must leave the picture as it was";
        break;
    case FailureState::Converted:
        if (run.result == FALSE) {
            EXPECT_TRUE(unchanged) << "a conversion that returns 0 keeps the old picture";
        } else {
            ExpectReleased(picture);
        }
        break;
    case FailureState::NotAPicture:
        EXPECT_EQ(run.result, FALSE);
        break;
    }
}

} // namespace

World::World() : files() {
    orvel::testing::ResetSystemPalette();
    EXPECT_TRUE(dc.CreateCompatibleDC(nullptr));
    EXPECT_TRUE(surface.CreateBitmap(8, 6, 1, 32, nullptr));
    previousSurface = dc.SelectObject(&surface);
    EXPECT_TRUE(window.Create(nullptr, "sweep", 0, RECT{0, 0, 32, 24}, nullptr, 1));
}

World::~World() {
    ICSetCompressorChooser(nullptr, nullptr);
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    if (previousSurface != nullptr) {
        dc.SelectObject(previousSurface);
    }
    dc.DeleteDC();
    windowDc.reset();
    window.DestroyWindow();
    if (packed != nullptr) {
        GlobalFree(packed);
    }
    if (handedOver != nullptr) {
        GlobalFree(handedOver);
    }
}

Statuses StatusesOfSite(std::uint32_t site) {
    switch (site) {
    case orvel::testing::kFaultGlobalAlloc:
        return {SystemError(ERROR_NOT_ENOUGH_MEMORY)};
    case orvel::testing::kFaultGlobalLock:
        return {SystemError(ERROR_DISCARDED), kProgError14};
    case orvel::testing::kFaultObjectAlloc:
        // Class error 3 for the picture family, 4 for a compressor's format buffers.
        return {ClassError(3), ClassError(4)};
    case orvel::testing::kFaultCreatePalette:
        return {ClassError(4), SystemError(ERROR_NOT_ENOUGH_MEMORY)};
    case orvel::testing::kFaultGetDIBits:
    case orvel::testing::kFaultResource:
        return {SystemError(ERROR_NOT_ENOUGH_MEMORY)};
    case orvel::testing::kFaultStretchDIBits:
        // The platform's DrawDib draws through StretchDIBits too.
        return {SystemError(ERROR_NOT_ENOUGH_MEMORY), ClassError(5)};
    case orvel::testing::kFaultDeviceContext:
        // A refused screen context reaches GetDIBits as no context, which it refuses as an
        // invalid handle; elsewhere a refused context only costs a halftone palette.
        return {SystemError(ERROR_INVALID_HANDLE)};
    case orvel::testing::kFaultDrawDibOpen:
        return {ClassError(2)};
    case orvel::testing::kFaultDrawDibDraw:
        return {ClassError(5)};
    case orvel::testing::kFaultClipboard:
        return {ClassError(10), SystemError(ERROR_ACCESS_DENIED),
                SystemError(ERROR_NOT_ENOUGH_MEMORY)};
    case orvel::testing::kFaultFileOpen:
        return {FileError(CFileException::tooManyOpenFiles)};
    case orvel::testing::kFaultFileWrite:
        return {FileError(CFileException::diskFull)};
    case orvel::testing::kFaultCompressor:
        return {ClassError(1), ClassError(3), ClassError(4), ClassError(5),
                ClassError(7), ClassError(8), ClassError(9)};
    default:
        // Bitmaps and file reads: nothing the library records comes of them.
        return {};
    }
}

void Sweep(const SweepCase& sweepCase) {
    SCOPED_TRACE(sweepCase.name);
    Bytes reference;
    {
        World world;
        sweepCase.prepare(world);
        const BOOL result = sweepCase.run(world);
        EXPECT_NE(result, FALSE) << "the operation fails without any refusal";
        if (const CHTErr* record = RecordOf(sweepCase, world); record != nullptr) {
            EXPECT_EQ(StatusOf(*record), kSuccess) << "the operation fails without any refusal";
        }
        reference = ResultOf(sweepCase, world);
        EXPECT_EQ(orvel::testing::GetLiveCounts().lockedBlocks, 0) << "a block left locked";
    }

    for (const Arming& arming : Armings()) {
        for (long nth = 1;; ++nth) {
            SCOPED_TRACE(std::string(arming.name) + ", call " + std::to_string(nth));
            const orvel::testing::LiveCounts before = orvel::testing::GetLiveCounts();
            bool fired = false;
            {
                World world;
                sweepCase.prepare(world);
                RefusedRun run;
                run.pictureBefore = PictureState(ObjectOf(sweepCase, world));
                run.reference = &reference;
                run.persistent = arming.persistent;
                orvel::testing::InjectFault(arming.sites, nth, arming.persistent);
                try {
                    run.result = sweepCase.run(world);
                } catch (const CFileException&) {
                    run.threw = true;
                }
                fired = orvel::testing::FaultFired();
                run.site = orvel::testing::FirstFailedSite();
                orvel::testing::ClearFault();
                if (fired) {
                    SCOPED_TRACE("refused: " + SiteName(run.site));
                    CheckRefused(sweepCase, world, run);
                } else {
                    // Completed without reaching the refusal: exactly the run without one.
                    EXPECT_FALSE(run.threw);
                    EXPECT_EQ(ResultOf(sweepCase, world), reference);
                }
                // Pictures, hand-outs and the clipboard's blocks alike: none stays locked.
                EXPECT_EQ(orvel::testing::GetLiveCounts().lockedBlocks, 0) << "a block left locked";
                EXPECT_EQ(GetOpenClipboardWindow(), nullptr) << "the clipboard left open";
            }
            const orvel::testing::LiveCounts after = orvel::testing::GetLiveCounts();
            EXPECT_EQ(after, before) << "live platform objects changed";
            if (!fired || ::testing::Test::HasFatalFailure()) {
                break;
            }
            if (nth >= 2000) {
                ADD_FAILURE() << "the sweep never got past the refusals";
                break;
            }
        }
    }
}

Bytes PictureState(const CDib* dib) {
    if (dib == nullptr) {
        return {};
    }
    Bytes state = BlockBytes(dib->GetSafeHandle());
    const Bytes colours = PaletteColours(dib->GetPalette());
    state.insert(state.end(), colours.begin(), colours.end());
    return state;
}

TEST_P(SweepTest, EveryRefusalLeavesAnAllowedStatusAndStateAndNoLeak) {
    Sweep(GetParam());
}

} // namespace orvel::test
