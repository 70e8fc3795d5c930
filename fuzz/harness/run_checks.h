// What a run checks after each step, and how it records a broken promise.
#pragma once

#include "picture_harness.h"

#include <orvel/orvel.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace orvel::fuzz {

/// A status record read in one go.
struct Outcome {
    BOOL flag = FALSE;
    unsigned int kind = 0;
    unsigned long code = 0;

    friend bool operator==(const Outcome&, const Outcome&) = default;
};

Outcome OutcomeOf(const CHTErr& record);
std::string Describe(const Outcome& outcome);

constexpr Outcome kSucceeded{TRUE, HTERR_FILE, 0};
constexpr Outcome ClassError(unsigned long code) {
    return {FALSE, HTERR_CLASS, code};
}
constexpr Outcome SystemError(unsigned long code) {
    return {FALSE, HTERR_SYSTEM, code};
}
constexpr Outcome kProgError14{FALSE, HTERR_PROG, 14};

/// A refusal of the testing ceiling: the block a picture would need is over kRunBlockLimitBytes.
constexpr Outcome kOverCeiling = SystemError(ERROR_NOT_ENOUGH_MEMORY);

/// The findings of one run.
class RunChecks {
public:
    /// Records `what` unless `held`.
    void Expect(bool held, std::string_view what);
    /// Records a finding unless the record holds one of `allowed`.
    void ExpectOutcome(const CHTErr& record, std::initializer_list<Outcome> allowed,
                       std::string_view step);
    /// Records a finding when `picture` holds a block that is locked: outside an operation no
    /// picture block may be.
    void ExpectUnlocked(const CDib& picture, std::string_view step);
    /// Records a finding unless `picture` holds a picture in the form the library promises after
    /// every successful installation: a canonical block (40-byte header, BI_RGB, bottom-up rows
    /// right after a full colour table, all inside the block), a cached header equal to the
    /// block's, and a logical palette with one entry per colour-table entry.
    void ExpectInstalled(const CDib& picture, std::string_view step);
    /// Records a finding unless the record and the object agree: success holds a picture, a
    /// failed object holds either nothing or a block it keeps.
    void ExpectConsistent(const CDib& picture, BOOL result, std::string_view step);

    Findings Take() { return std::move(findings_); }

private:
    Findings findings_;
};

/// The bytes of a block, copied out (empty for a null or unlockable block).
std::vector<BYTE> BlockBytes(HGLOBAL block);

/// The colour table and pixel rows of an installed picture, as a reader of the picture sees
/// them: header fields that describe the pixels, then the table, then the rows.
struct PictureContent {
    LONG width = 0;
    LONG height = 0;
    WORD bitCount = 0;
    std::vector<BYTE> colours;
    std::vector<BYTE> rows;

    friend bool operator==(const PictureContent&, const PictureContent&) = default;
};
PictureContent ContentOf(const CDib& picture);

/// Empties the clipboard, so that what a run put there does not outlive it.
void EmptyTheClipboard();

} // namespace orvel::fuzz
