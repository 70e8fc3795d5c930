#include "commands.h"

namespace orvel::cli {

std::vector<const Command*> AllCommands() {
    return {&InfoCommand(), &ConvertCommand(), &PasteCommand(), &DrawCommand(),
            &AviCommand(),  &DemoCommand(),    &ShowCommand(),  &ClipboardCommand()};
}

} // namespace orvel::cli
