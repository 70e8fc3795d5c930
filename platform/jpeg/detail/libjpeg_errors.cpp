#include "libjpeg_errors.h"

#include <string>

#include <jerror.h>

namespace orvel::jpeg::detail {
namespace {

[[noreturn]] void JumpOnError(j_common_ptr common) {
    auto* record = reinterpret_cast<ErrorRecord*>(common->err);
    record->code = record->manager.msg_code;
    (*common->err->format_message)(common, record->message);
    std::longjmp(record->jump, 1);
}

void NoteWarning(j_common_ptr common, int level) {
    // Level -1 is a warning about the data; higher levels are trace messages.
    auto* record = reinterpret_cast<ErrorRecord*>(common->err);
    if (level < 0 && record->manager.msg_code == JWRN_JPEG_EOF) {
        record->endedEarly = true;
    }
}

} // namespace

void InstallErrorRecord(jpeg_common_struct& common, ErrorRecord& record) noexcept {
    common.err = jpeg_std_error(&record.manager);
    record.manager.error_exit = JumpOnError;
    record.manager.emit_message = NoteWarning;
}

Error ErrorFromRecord(const ErrorRecord& record, const char* what) {
    Failure failure = Failure::corrupt;
    switch (record.code) {
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:
        failure = Failure::noMemory;
        break;
    case JERR_FILE_WRITE:
        failure = Failure::writeFailed;
        break;
    case JERR_INPUT_EMPTY:
    case JERR_INPUT_EOF:
        failure = Failure::truncated;
        break;
    case JERR_NOT_COMPILED:
    case JERR_NO_ARITH_TABLE:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_BAD_PRECISION:
        failure = Failure::unsupported;
        break;
    default:
        break;
    }
    return Error{failure, std::string("JPEG ") + what + ": " + record.message};
}

Error ErrorOfCode(int code, const char* what) {
    ErrorRecord record;
    jpeg_common_struct common{};
    common.err = jpeg_std_error(&record.manager);
    record.manager.msg_code = code;
    record.code = code;
    (*record.manager.format_message)(&common, record.message);
    return ErrorFromRecord(record, what);
}

} // namespace orvel::jpeg::detail
