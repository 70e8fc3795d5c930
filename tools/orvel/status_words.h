// The library's status records in words, for messages a user can act on.
#pragma once

#include <orvel/orvel.h>

#include <string>

namespace orvel::cli {

/// Which class set a class error: the picture classes (CDib, CConvertDib) and the compressor
/// (CDibComp) number their class errors independently.
enum class StatusSource { Picture, Compressor };

/// "what went wrong (class error 1)": the words for a (kind, code) pair followed by the pair
/// itself, so that a report names both the reason and the code a developer looks up.
std::string StatusInWords(unsigned int kind, unsigned long code, StatusSource source);

/// The words alone for a (kind, code) pair, without the pair.
std::string ReasonInWords(unsigned int kind, unsigned long code, StatusSource source);

/// "class", "system", "file" or "program": the kind as a report names it.
std::string KindName(unsigned int kind);

/// The same for the pair a record holds.
std::string StatusInWords(const CHTErr& record, StatusSource source);

/// The words alone for the cause of a file exception (0 to 14); "unknown file error" otherwise.
std::string FileCauseInWords(unsigned long cause);

/// The words alone for a last-error number of the platform; "unknown system error" for numbers
/// the platform does not set.
std::string SystemErrorInWords(unsigned long code);

/// The words alone for a class error of the given source; "unknown class error" otherwise.
std::string ClassErrorInWords(unsigned long code, StatusSource source);

} // namespace orvel::cli
