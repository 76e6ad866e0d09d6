// uuid: new time-based UUIDs.
#include "Cli.h"

#include <kuvanaTools/kuUUID.h>

namespace kuvana {

namespace {

int uuid(Io &io, const Args &args)
{
    args.expect(0, 0);
    unsigned long count = parseNumber(args.value("--count", "1"), 100000, "count");
    Json j;
    j.beginArray();
    for (unsigned long i = 0; i < count; i++) {
        uint8_t b[16];
        kuUUID_Generate(b);
        std::string h = hex(b, 16);
        std::string text = h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" +
                           h.substr(16, 4) + "-" + h.substr(20);
        if (args.has("--json"))
            j.value(text);
        else
            io.out.print("%s\n", text.c_str());
    }
    if (args.has("--json"))
        io.out.put(j.endArray().text());
    return kOk;
}

} // namespace

void addUuidCommand(std::vector<Command> &commands)
{
    commands.push_back({"uuid", "", "[--count N] [--json]", "new time-based UUIDs", "",
                        {kJson, {"--count", true}}, uuid});
}

} // namespace kuvana
