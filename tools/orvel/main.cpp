// orvel: the command-line tool of the Orvel picture library.
#include "commands.h"
#include "failure.h"
#include "options.h"

#include <orvel/orvel.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

using namespace orvel::cli;

void PrintOverview(std::FILE* stream) {
    std::fputs("usage: orvel <command> [options] [files]\n"
               "\n"
               "Commands:\n",
               stream);
    for (const Command* command : AllCommands()) {
        std::fprintf(stream, "  %-9s %s\n", command->name, command->summary);
    }
    std::fputs("\n"
               "Run 'orvel <command> --help' for a command's options. 'orvel demo' needs no\n"
               "files at all.\n"
               "\n"
               "Exit status: 0 on success, 1 when the library refuses an input or an operation\n"
               "fails, 2 for a wrong command line.\n",
               stream);
}

const Command* FindCommand(const std::string& name) {
    for (const Command* command : AllCommands()) {
        if (name == command->name) {
            return command;
        }
    }
    return nullptr;
}

// --help anywhere before "--" asks for help rather than for work.
bool AsksForHelp(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--") {
            return false;
        }
        if (argument == "--help" || argument == "-h") {
            return true;
        }
    }
    return false;
}

int RunCommand(const Command& command, const std::vector<std::string>& arguments) {
    if (AsksForHelp(arguments)) {
        std::printf("usage: %s\n\n%s", command.usage, command.help);
        return kExitSuccess;
    }
    try {
        return command.run(arguments);
    } catch (const UsageError& error) {
        std::fprintf(stderr,
                     "orvel %s: %s\n"
                     "usage: %s\n"
                     "Try 'orvel %s --help' for more.\n",
                     command.name, error.what(), command.usage, command.name);
        return kExitUsage;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "orvel: %s\n", failure.what());
        return kExitFailure;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "orvel %s: out of memory\n", command.name);
        return kExitFailure;
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + std::min(argc, 2), argv + argc);
    if (argc < 2) {
        PrintOverview(stderr);
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--version" || name == "version") {
        std::printf("orvel %s (%s)\n", ORVEL_VERSION, orvel::formats::CodecVersions().c_str());
        return kExitSuccess;
    }
    if (name == "--help" || name == "-h" || name == "help") {
        PrintOverview(stdout);
        return kExitSuccess;
    }
    const Command* command = FindCommand(name);
    if (command == nullptr) {
        std::fprintf(stderr,
                     "orvel: unknown command '%s'\nusage: orvel <command> [options] "
                     "[files]\nTry 'orvel --help' for the list of commands.\n",
                     name.c_str());
        return kExitUsage;
    }
    return RunCommand(*command, arguments);
}
