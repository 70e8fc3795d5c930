// The compressor choice: ICCompressorChoose asks the application's chooser in place of the
// system dialog, then opens what was chosen; ICCompressorFree releases it.
#include "../win/error.h"
#include "detail/compressor_instances.h"
#include "video_compression.h"

#include <mutex>

namespace {

struct Chooser {
    std::mutex mutex;
    ICCOMPRESSORCHOOSER callback = nullptr;
    LPVOID context = nullptr;
};

Chooser& InstalledChooser() noexcept {
    static Chooser* chooser = new Chooser;
    return *chooser;
}

// The record a caller gets when it lets the choice initialise it.
void ResetChoice(COMPVARS& choice) noexcept {
    choice = COMPVARS{};
    choice.cbSize = sizeof(COMPVARS);
    choice.fccType = ICTYPE_VIDEO;
    choice.lQ = ICQUALITY_DEFAULT;
    choice.lKey = -1;
}

} // namespace

void VFWAPI ICSetCompressorChooser(ICCOMPRESSORCHOOSER chooser, LPVOID context) noexcept {
    Chooser& installed = InstalledChooser();
    std::lock_guard<std::mutex> guard(installed.mutex);
    installed.callback = chooser;
    installed.context = context;
}

BOOL VFWAPI ICCompressorChoose(HWND owner, UINT flags, LPVOID input, LPVOID data, PCOMPVARS choice,
                               LPCSTR title) noexcept {
    if (choice == nullptr || choice->cbSize != static_cast<LONG>(sizeof(COMPVARS))) {
        return FALSE;
    }
    ICCOMPRESSORCHOOSER callback = nullptr;
    LPVOID context = nullptr;
    {
        Chooser& installed = InstalledChooser();
        std::lock_guard<std::mutex> guard(installed.mutex);
        callback = installed.callback;
        context = installed.context;
    }
    if (callback == nullptr) {
        // No one to ask: the same answer as a dialog the user closed without choosing.
        return FALSE;
    }
    // The chooser works on a copy, so that a cancelled choice leaves the caller's record as it
    // was.
    COMPVARS proposal = *choice;
    if ((proposal.dwFlags & ICMF_COMPVARS_VALID) == 0) {
        ResetChoice(proposal);
    }
    if (callback(owner, flags, input, data, &proposal, title, context) == FALSE) {
        return FALSE;
    }
    if (proposal.fccType == 0) {
        proposal.fccType = ICTYPE_VIDEO;
    }
    HIC compressor = ICOpen(proposal.fccType, proposal.fccHandler, ICMODE_COMPRESS);
    if (compressor == nullptr) {
        return FALSE;
    }
    if (input != nullptr && (flags & ICMF_CHOOSE_ALLCOMPRESSORS) == 0 &&
        ICCompressQuery(compressor, static_cast<LPBITMAPINFO>(input), nullptr) != ICERR_OK) {
        // Only compressors that take the caller's frames are offered for them.
        orvel::platform::detail::CloseCompressorInstance(compressor);
        return FALSE;
    }
    if ((choice->dwFlags & ICMF_COMPVARS_VALID) != 0 && choice->hic != nullptr) {
        // A record that already held a choice gives up its compressor for the new one.
        orvel::platform::detail::CloseCompressorInstance(choice->hic);
    }
    proposal.cbSize = sizeof(COMPVARS);
    proposal.hic = compressor;
    proposal.dwFlags |= ICMF_COMPVARS_VALID;
    *choice = proposal;
    return TRUE;
}

void VFWAPI ICCompressorFree(PCOMPVARS choice) noexcept {
    if (choice == nullptr || (choice->dwFlags & ICMF_COMPVARS_VALID) == 0) {
        return;
    }
    if (choice->hic != nullptr) {
        // Releasing needs no resources, so it is not refused for lack of them.
        orvel::platform::detail::CloseCompressorInstance(choice->hic);
        choice->hic = nullptr;
    }
}
