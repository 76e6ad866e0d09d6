#include "Cli.h"
namespace kuvana {
}
namespace kuvana { void addProtocolInfoCommands(std::vector<Command> &) {} }
