#include "Cli.h"
namespace kuvana {
}
namespace kuvana { void addConsoleCommand(std::vector<Command> &) {} }
