// The subcommands of the tool.
#pragma once

#include <string>
#include <vector>

namespace orvel::cli {

/// Exit statuses: the operation was done; the library refused an input or an operation failed;
/// the command line was wrong.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

/// One subcommand: `orvel <name> ...`.
struct Command {
    const char* name;
    /// One line for the list of subcommands.
    const char* summary;
    /// The usage line, without "usage: ".
    const char* usage;
    /// The text of --help after the usage line.
    const char* help;
    /// Runs the subcommand on the arguments after its name. Throws UsageError or Failure.
    int (*run)(const std::vector<std::string>& arguments);
};

const Command& InfoCommand();
const Command& ConvertCommand();
const Command& PasteCommand();
const Command& DrawCommand();
const Command& AviCommand();
const Command& DemoCommand();
const Command& ShowCommand();
const Command& ClipboardCommand();

/// Every subcommand, in the order the help lists them.
std::vector<const Command*> AllCommands();

} // namespace orvel::cli
