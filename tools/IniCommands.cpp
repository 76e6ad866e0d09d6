#include "Cli.h"
namespace kuvana {
}
namespace kuvana { void addIniCommands(std::vector<Command> &) {} }
